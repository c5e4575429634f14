// CNiProduct: one Native Instruments product as its registry key describes it, with the file
// names our file database knows for it, their version texts, its type and content kinds.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/types.h"

namespace tessaly {

// Value kinds: one bit per registry value the record knows. The same bits make up the
// present-value set (machine hive) and the user-value set (user hive).
namespace valuekind {
constexpr uint32_t ContentDir = 0x1;
constexpr uint32_t ContentVersion = 0x2;
constexpr uint32_t Hu = 0x4;
constexpr uint32_t InstallDir = 0x8;
constexpr uint32_t InstallVstDir = 0x10;
constexpr uint32_t InstallVst64Dir = 0x20;
constexpr uint32_t Jdx = 0x40;
constexpr uint32_t Key = 0x80;
constexpr uint32_t Sno = 0x100;
constexpr uint32_t SystemId = 0x200;
constexpr uint32_t Visibility = 0x400;
constexpr uint32_t HasPluginFolder = 0x800;  // derived: set with InstallVstDir or InstallVst64Dir
constexpr uint32_t SystemContentDir = 0x1000;
constexpr uint32_t UserListIndex = 0x2000;
constexpr uint32_t UserRemoved = 0x4000;
// The kinds that make a key a product: any folder, ContentVersion, HU, JDX or Visibility.
constexpr uint32_t ProductEvidence = 0x47F;
}  // namespace valuekind

// Product types (one bit each).
namespace producttype {
constexpr uint32_t None = 0;
constexpr uint32_t AppPlugin = 1;
constexpr uint32_t Content = 2;
constexpr uint32_t Bundle = 4;
constexpr uint32_t Utility = 8;
constexpr uint32_t Unknown = 16;
constexpr uint32_t All = 0xFFFF;  // as a mask: every type
}  // namespace producttype

// Content kinds: the engines a content product is for.
namespace contentkind {
constexpr uint32_t Kontakt = 1;
constexpr uint32_t Kore = 2;
constexpr uint32_t Maschine = 4;
constexpr uint32_t Reaktor = 8;
constexpr uint32_t GuitarRig = 16;
constexpr uint32_t Battery = 32;
constexpr uint32_t Massive = 64;
constexpr uint32_t KompleteKontrol = 128;
constexpr uint32_t NksContent = 256;
constexpr uint32_t All = 0xFFFF;  // as a mask: any content
}  // namespace contentkind

// Which file a version text or a broken-path bit is about.
namespace productfile {
constexpr uint32_t App = 0x8000;
constexpr uint32_t Plugin32 = 0x10000;
constexpr uint32_t Plugin64 = 0x20000;
}  // namespace productfile

// The fixed buffers of a registry read: names of 1024 characters, data of 2048 bytes.
constexpr uint32_t kRegistryNameChars = 1024;
constexpr uint32_t kRegistryDataBytes = 2048;

class CNiProduct {
 public:
  enum class ValueForm { None, Text, Dword, Presence };
  // A record field by kind: the text or the number it is stored in.
  struct ValueDescription {
    const wchar_t* name = L"";  // empty for a kind without a value
    ValueForm form = ValueForm::None;
    std::wstring CNiProduct::*text = nullptr;
    uint32_t CNiProduct::*number = nullptr;
  };

  CNiProduct() = default;
  CNiProduct(const CNiProduct&) = default;
  CNiProduct& operator=(const CNiProduct&) = default;
  CNiProduct(CNiProduct&&) noexcept = default;
  CNiProduct& operator=(CNiProduct&&) noexcept = default;
  virtual ~CNiProduct() = default;

  void Reset();

  // Reads HKLM (every known value) or any other hive (only UserListIndex and UserRemoved) at
  // "SOFTWARE\Native Instruments\(keyName)" through the 32-bit or the 64-bit view.
  // 87 for a null name; 1359 when the key path would not fit 260 characters; the open error
  // (the record unchanged). Values that are missing or do not fit are simply absent.
  ErrorCode LoadFromRegistry(Registry& registry, RegRoot hive, const wchar_t* keyName,
                             bool view32);
  // The same for HKLM with the products key already open through the view: the product's key is
  // opened below it rather than by its whole path from the hive.
  ErrorCode LoadFromProductsKey(RegistryKey& products, const wchar_t* keyName, bool view32);

  // The value name, form and field of `kind`; for ContentDir this is SystemContentDir when the
  // record has SystemContentDir.
  ValueDescription DescribeValue(uint32_t kind) const;

  std::wstring GetKeyName() const { return keyName; }
  // The text of a text kind (ContentDir/SystemContentDir, ContentVersion, InstallDir, the two
  // plugin folders, SNO); empty for any other kind.
  std::wstring GetValue(uint32_t kind) const;
  // The version text of productfile::App, Plugin32 or Plugin64; empty for anything else.
  std::wstring GetFileVersion(uint32_t selector) const;
  std::wstring GetAppFile() const { return appFile; }
  std::wstring GetPluginFile() const { return pluginFile; }
  // A null name empties the field.
  void SetFiles(const wchar_t* app, const wchar_t* plugin);
  // Fills key name, file names and type word of a file-database entry; false (nothing changed)
  // when the key name or the type word is null.
  bool SetFileDatabaseEntry(const wchar_t* key, const wchar_t* app, const wchar_t* plugin,
                            const wchar_t* typeWordText);

  // The hints' type when they set one, else the type of the record's value signature.
  uint32_t GetType() const { return productType != 0 ? productType : DeriveType(); }
  uint32_t DeriveType() const;
  // The values present without the two plugin folders (HasPluginFolder still tells of one).
  uint32_t Signature() const {
    return presentValues & ~(valuekind::InstallVstDir | valuekind::InstallVst64Dir);
  }

  // Bits of the folder kinds whose folder is missing, and of productfile:: for missing files.
  uint32_t GetBrokenPaths(FileSystem& fs) const;
  // Joins the folder of `kind` (InstallDir or a plugin folder) and `file` into `out` (emptied
  // first; left empty when the folder is empty or the join would reach 260 characters); true when
  // something exists there.
  bool MakeFilePath(FileSystem& fs, uint32_t kind, const wchar_t* file, std::wstring& out) const;
  void RefreshFileVersions(FileSystem& fs, System& system);
  // 0; 2 when the file does not exist; 87 for another selector; the version reader's error.
  ErrorCode RefreshFileVersion(FileSystem& fs, System& system, uint32_t selector);

  // Writes the text of a text kind as REG_SZ into the existing machine key through the record's
  // own view. With `onlyIfPresent`, a kind the record lacks is left alone (0). 87 for a kind
  // without text, 21 for a record never read, else the registry's error. The field changes only
  // after the registry took the value.
  ErrorCode WriteValue(Registry& registry, uint32_t kind, bool onlyIfPresent, RegRoot hive,
                       const std::wstring& text);
  // Writes a DWORD kind (Visibility, UserListIndex, UserRemoved) into the existing key of the
  // user hive through the record's own view. 87 for another kind, 21 for a record never read.
  ErrorCode WriteUserValue(Registry& registry, uint32_t kind, uint32_t number);

  // The record's fields. The library, the hints and the pages set the numbers directly.
  bool readFromMachine = false;
  bool view32 = false;
  uint32_t serial = 0;
  uint32_t userListIndex = 0;
  uint32_t userRemoved = 0;
  uint32_t visibility = 0;
  std::wstring appFile;
  std::wstring appFileVersion;
  std::wstring contentDir;  // ContentDir, replaced by SystemContentDir when that exists
  std::wstring contentVersion;
  std::wstring installDir;
  std::wstring vstDir;      // InstallVSTDir
  std::wstring vst64Dir;    // InstallVST64Dir
  std::wstring pluginFile;
  std::wstring plugin32FileVersion;
  std::wstring plugin64FileVersion;
  std::wstring keyName;
  std::wstring typeWord;    // a file-database entry's Type, stored as it is
  std::wstring keyPath;     // relative to the hive; empty until the key was read
  std::wstring sno;
  uint32_t productType = 0;
  uint32_t userValues = 0;
  uint32_t contentKinds = 0;
  uint32_t presentValues = 0;

 private:
  void ReadMachineValues(RegistryKey& key);
  void ReadUserValues(RegistryKey& key);
};

}  // namespace tessaly
