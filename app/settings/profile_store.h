// The program's settings: named DWORD and text values in the current user's registry key
// HKCU\Software\<registry key>\<application name>\<section>, and the value names the pages use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "platform/safe_lists.h"

namespace tessaly {

// The one section every value lives in.
inline constexpr const wchar_t* kSettingsSection = L"Settings";

// The application shell's value names and the defaults that are not 0 or empty. Values that only
// one subsystem uses are named in that subsystem.
inline constexpr const wchar_t* kWizardSelection = L"WizardSelection";
inline constexpr const wchar_t* kFirstRun = L"FirstRun";
inline constexpr const wchar_t* kCenterX = L"CenterX";
inline constexpr const wchar_t* kCenterY = L"CenterY";
// A page's size as the user chose it, in logical pixels (96 DPI), one pair per page: the prefix
// followed by the page's template id (PageWidth126). Missing or 0: the template's size.
inline constexpr const wchar_t* kPageWidthPrefix = L"PageWidth";
inline constexpr const wchar_t* kPageHeightPrefix = L"PageHeight";
inline constexpr const wchar_t* kVstHost32 = L"VstHost32";
inline constexpr const wchar_t* kVstHost64 = L"VstHost64";
inline constexpr const wchar_t* kBackupHklmDefault = L"BackupHklmDefault.xml";
inline constexpr const wchar_t* kBackupHklm32Bit = L"BackupHklm32Bit.xml";
inline constexpr const wchar_t* kBackupHkcuDefault = L"BackupHkcuDefault.xml";

inline constexpr uint32_t kDefaultFirstRun = 1;
inline constexpr int kDefaultCenter = -1;  // CenterX and CenterY: no position stored

class CProfileStore {
 public:
  explicit CProfileStore(Registry& registry, std::wstring registryKey = L"Quillmoor",
                         std::wstring appName = L"Tessaly");
  virtual ~CProfileStore() = default;

  // The stored DWORD, or `defaultValue` (as unsigned) when the value is missing or not a DWORD.
  uint32_t GetProfileInt(std::wstring_view section, std::wstring_view name, int defaultValue);
  // Writes a DWORD, creating the keys on the way; true on success.
  bool WriteProfileInt(std::wstring_view section, std::wstring_view name, int value);
  // The stored REG_SZ text, or `defaultValue` (null meaning empty) when it is missing or not text.
  std::wstring GetProfileString(std::wstring_view section, std::wstring_view name,
                                const wchar_t* defaultValue);
  // Writes a REG_SZ text, creating the keys on the way; true on success.
  bool WriteProfileString(std::wstring_view section, std::wstring_view name,
                          std::wstring_view value);

  // Replaces `list` with the folders stored in the folder-list value `name` (VstPaths32 or
  // VstPaths64); returns how many there are (0: none stored, use the defaults).
  size_t ReadFolderList(std::wstring_view name, CSafeStringList& list);
  // Stores `list` joined with "|". A list whose text would exceed 2,048 characters is not
  // written, and the stored one stays; false then or when the write fails.
  bool WriteFolderList(std::wstring_view name, const CSafeStringList& list);

  // "Software\<registry key>\<application name>\<section>" under HKEY_CURRENT_USER.
  std::wstring SectionPath(std::wstring_view section) const;

 private:
  Registry& registry_;
  std::wstring registryKey_;
  std::wstring appName_;
};

}  // namespace tessaly
