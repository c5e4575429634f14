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

// Value names of the section and the defaults that are not 0 or empty.
inline constexpr const wchar_t* kWizardSelection = L"WizardSelection";
inline constexpr const wchar_t* kFirstRun = L"FirstRun";
inline constexpr const wchar_t* kCenterX = L"CenterX";
inline constexpr const wchar_t* kCenterY = L"CenterY";
inline constexpr const wchar_t* kVstHost32 = L"VstHost32";
inline constexpr const wchar_t* kVstHost64 = L"VstHost64";
inline constexpr const wchar_t* kSelectedPlatform = L"SelectedPlatform";
inline constexpr const wchar_t* kVstPaths32 = L"VstPaths32";
inline constexpr const wchar_t* kVstPaths64 = L"VstPaths64";
inline constexpr const wchar_t* kFileDatabasePath = L"FileDatabasePath";
inline constexpr const wchar_t* kProductCheckboxes = L"ProductCheckboxes";
inline constexpr const wchar_t* kShowPathFlags = L"ShowPathFlags";
inline constexpr const wchar_t* kIgnoreArticles = L"IgnoreArticles";
inline constexpr const wchar_t* kExtendSearch = L"ExtendSearch";
inline constexpr const wchar_t* kRelocateSource = L"RelocateSource";
inline constexpr const wchar_t* kRelocateTarget = L"RelocateTarget";
inline constexpr const wchar_t* kDontCopyFiles = L"DontCopyFiles";
inline constexpr const wchar_t* kCopyContentsOnly = L"CopyContentsOnly";
inline constexpr const wchar_t* kRelocateFinal = L"RelocateFinal";
inline constexpr const wchar_t* kBackupHklmDefault = L"BackupHklmDefault.xml";
inline constexpr const wchar_t* kBackupHklm32Bit = L"BackupHklm32Bit.xml";
inline constexpr const wchar_t* kBackupHkcuDefault = L"BackupHkcuDefault.xml";

inline constexpr uint32_t kDefaultFirstRun = 1;
inline constexpr int kDefaultCenter = -1;  // CenterX and CenterY: no position stored
inline constexpr const wchar_t* kDefaultFileDatabasePath = L"FileDatabase.xml";

// Product-type filter bits of the product manager (ProductCheckboxes).
namespace productbits {
constexpr uint32_t AppsAndPlugins = 1;
constexpr uint32_t ContentLibraries = 2;
constexpr uint32_t Bundles = 4;
constexpr uint32_t DriversAndUtilities = 8;
constexpr uint32_t Unrecognized = 16;
constexpr uint32_t Default = 15;
}  // namespace productbits

// Path-state filter bits of the product manager (ShowPathFlags).
namespace pathbits {
constexpr uint32_t Valid = 1;
constexpr uint32_t Broken = 2;
constexpr uint32_t Default = 3;
}  // namespace pathbits

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

  // ProductCheckboxes, 15 when it selects none of the four product types.
  uint32_t ReadProductCheckboxes();
  // ShowPathFlags, 3 when it selects neither valid nor broken paths.
  uint32_t ReadShowPathFlags();

  // "Software\<registry key>\<application name>\<section>" under HKEY_CURRENT_USER.
  std::wstring SectionPath(std::wstring_view section) const;

 private:
  Registry& registry_;
  std::wstring registryKey_;
  std::wstring appName_;
};

// The stored filter values brought back to something that shows products.
uint32_t NormalizeProductCheckboxes(uint32_t value);
uint32_t NormalizeShowPathFlags(uint32_t value);

}  // namespace tessaly
