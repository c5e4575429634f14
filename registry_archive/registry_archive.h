// CRegistryArchive: a registry subtree copied into an XML document, saved to and loaded from a
// file, and written back into the registry.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "platform/file_system.h"
#include "platform/ni_installation.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace tessaly {

// The key every archive the program makes covers.
inline constexpr const wchar_t* kArchiveRootSubkey = ni::kProductsKey;

// The archive text of a predefined key ("HKEY_LOCAL_MACHINE"), empty for any other handle.
std::wstring HiveName(RegRoot hive);
// The predefined key of an archive text, compared without regard to case; nullopt if unknown.
std::optional<RegRoot> HiveFromName(std::wstring_view name);
// "REG_SZ" and so on; empty for a type above 11.
std::wstring ValueTypeName(uint32_t type);
// The type of a name, compared without regard to case; 0 (REG_NONE) for an unknown name.
uint32_t ValueTypeFromName(std::wstring_view name);
// The 16 bytes of a capture time (eight little-endian 16-bit fields, year first), and back from
// at least 16 bytes.
std::vector<uint8_t> ArchiveTimeBytes(const LocalTime& time);
LocalTime ArchiveTimeFromBytes(const std::vector<uint8_t>& bytes);
// A value's `size` attribute: its leading decimal digits, 0 if there are none; values beyond
// 32 bits saturate (no registry value is that large).
size_t ArchiveValueSize(const char* text);

class CRegistryArchive {
 public:
  // An empty archive, to be loaded from a file.
  CRegistryArchive(Registry& registry, FileSystem& fs, System& system);
  // An archive of SOFTWARE\Native Instruments in `hive`, in the 32-bit view if `force32Bit`.
  CRegistryArchive(Registry& registry, FileSystem& fs, System& system, RegRoot hive,
                   bool force32Bit);
  virtual ~CRegistryArchive() = default;
  CRegistryArchive(const CRegistryArchive&) = delete;
  CRegistryArchive& operator=(const CRegistryArchive&) = delete;

  // The operations never throw: anything that fails inside them, an allocation included, is 1359.
  // (The constructor for a hive copies the root path, so it can throw std::bad_alloc like any
  // string.)

  // Rebuilds the document from the registry: 0, or 1359 when its elements cannot be built.
  // A root key that cannot be opened leaves the document without a Subkey. An exception on the
  // way leaves the document empty.
  [[nodiscard]] ErrorCode Capture() noexcept;
  // Writes the document as UTF-8 XML: 87 for an empty path, 1359 when it cannot be written.
  [[nodiscard]] ErrorCode Save(std::wstring_view path) noexcept;
  // Replaces the document with a file's: 87 for an empty path, 2 when the file does not exist,
  // 1359 when it cannot be read or parsed (the document is left empty).
  [[nodiscard]] ErrorCode Load(std::wstring_view path) noexcept;
  // Creates and overwrites the archived keys and values. 1359, writing nothing, when an element
  // it needs is missing or the archive is not one of SOFTWARE\Native Instruments in
  // HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER. An exception on the way keeps what was written so far.
  [[nodiscard]] ErrorCode Restore() noexcept;
  // The capture time of an archive file as "date, time" in the user's formats. Errors as for
  // Load, 1359 also when the file has no capture time of 16 bytes, or the system's error.
  [[nodiscard]] ErrorCode ReadArchiveDate(std::wstring_view path, std::wstring& out) noexcept;

  std::optional<RegRoot> Hive() const { return hive_; }
  const std::wstring& RootSubkey() const { return rootSubkey_; }
  bool Force32() const { return force32_; }
  const pugi::xml_document& Document() const { return document_; }
  pugi::xml_document& Document() { return document_; }

 private:
  uint32_t ViewFlag() const;
  void CaptureKey(pugi::xml_node parent, RegistryKey* parentKey, const std::wstring& name);
  [[nodiscard]] ErrorCode RestoreDocument();
  void RestoreKey(pugi::xml_node element, RegistryKey* parentKey, const std::wstring& name);
  [[nodiscard]] ErrorCode LoadInto(pugi::xml_document& document, std::wstring_view path) noexcept;

  Registry& registry_;
  FileSystem& fs_;
  System& system_;
  std::optional<RegRoot> hive_;  // none when the archive was loaded from a file
  std::wstring rootSubkey_;
  pugi::xml_document document_;
  bool force32_ = false;
};

}  // namespace tessaly
