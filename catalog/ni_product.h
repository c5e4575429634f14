// CNiProduct: one Native Instruments product as its registry key describes it, with the file
// names our file database knows for it, their version texts, its type and content kinds.
#pragma once

#include <cstdint>
#include <string>

#include "catalog/product_kinds.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/types.h"

namespace tessaly {

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
  [[nodiscard]] ErrorCode LoadFromRegistry(Registry& registry, RegRoot hive, const wchar_t* keyName,
                                           bool view32);
  // The same for HKLM with the products key already open through the view: the product's key is
  // opened below it rather than by its whole path from the hive.
  ErrorCode LoadFromProductsKey(RegistryKey& products, const wchar_t* keyName, bool view32);

  // The value name, form and field of `kind`; for ContentDir this is SystemContentDir when the
  // record has SystemContentDir.
  ValueDescription DescribeValue(ValueKind kind) const;

  std::wstring GetKeyName() const { return keyName; }
  // The text of a text kind (ContentDir/SystemContentDir, ContentVersion, InstallDir, the two
  // plugin folders, SNO); empty for any other kind.
  std::wstring GetValue(ValueKind kind) const;
  // The version text of productfile::App, Plugin32 or Plugin64; empty for anything else.
  std::wstring GetFileVersion(ProductFile selector) const;
  std::wstring GetAppFile() const { return appFile; }
  std::wstring GetPluginFile() const { return pluginFile; }
  // A null name empties the field.
  void SetFiles(const wchar_t* app, const wchar_t* plugin);
  // Fills key name, file names and type word of a file-database entry; false (nothing changed)
  // when the key name or the type word is null.
  bool SetFileDatabaseEntry(const wchar_t* key, const wchar_t* app, const wchar_t* plugin,
                            const wchar_t* typeWordText);

  // The hints' type when they set one, else the type of the record's value signature.
  ProductType GetType() const {
    return productType != ProductType::None ? productType : DeriveType();
  }
  ProductType DeriveType() const;
  // The values present without the two plugin folders (HasPluginFolder still tells of one).
  ValueKinds Signature() const {
    return presentValues & ~(valuekind::InstallVstDir | valuekind::InstallVst64Dir);
  }

  // The folder kinds whose folder is missing, and the files that are missing.
  BrokenPaths GetBrokenPaths(FileSystem& fs) const;
  // Joins the folder of `kind` (InstallDir or a plugin folder) and `file` into `out` (emptied
  // first; left empty when the folder is empty or the join would reach 260 characters); true when
  // something exists there.
  bool MakeFilePath(FileSystem& fs, ValueKind kind, const wchar_t* file, std::wstring& out) const;
  void RefreshFileVersions(FileSystem& fs, System& system);
  // 0; 2 when the file does not exist; 87 for another selector; the version reader's error.
  [[nodiscard]] ErrorCode RefreshFileVersion(FileSystem& fs, System& system, ProductFile selector);

  // Writes the text of a text kind as REG_SZ into the existing machine key through the record's
  // own view. With `onlyIfPresent`, a kind the record lacks is left alone (0). 87 for a kind
  // without text, 21 for a record never read, else the registry's error. The field changes only
  // after the registry took the value.
  [[nodiscard]] ErrorCode WriteValue(Registry& registry, ValueKind kind, bool onlyIfPresent,
                                     RegRoot hive, const std::wstring& text);
  // Writes a DWORD kind (Visibility, UserListIndex, UserRemoved) into the existing key of the
  // user hive through the record's own view. 87 for another kind, 21 for a record never read.
  [[nodiscard]] ErrorCode WriteUserValue(Registry& registry, ValueKind kind, uint32_t number);

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
  std::wstring vstDir;    // InstallVSTDir
  std::wstring vst64Dir;  // InstallVST64Dir
  std::wstring pluginFile;
  std::wstring plugin32FileVersion;
  std::wstring plugin64FileVersion;
  std::wstring keyName;
  std::wstring typeWord;  // a file-database entry's Type, stored as it is
  std::wstring keyPath;   // relative to the hive; empty until the key was read
  std::wstring sno;
  ProductType productType = ProductType::None;
  ValueKinds userValues;
  ContentKinds contentKinds;
  ValueKinds presentValues;

 private:
  void ReadMachineValues(RegistryKey& key);
  void ReadUserValues(RegistryKey& key);
};

}  // namespace tessaly
