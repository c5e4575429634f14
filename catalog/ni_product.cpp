// The record of one Native Instruments product: its registry values, files and classification.
#include "catalog/ni_product.h"

#include <memory>

#include "platform/file_ops.h"
#include "platform/file_version.h"
#include "platform/ni_installation.h"
#include "platform/text.h"

namespace tessaly {
namespace {

using Form = CNiProduct::ValueForm;

struct KindEntry {
  ValueKind kind{};
  const wchar_t* name;
  Form form;
  std::wstring CNiProduct::*text;
  uint32_t CNiProduct::*number;
};

// The values a machine key is read for, in the order they are taken.
constexpr KindEntry kKinds[] = {
    {valuekind::ContentDir, ni::kContentDir, Form::Text, &CNiProduct::contentDir, nullptr},
    {valuekind::ContentVersion, ni::kContentVersion, Form::Text, &CNiProduct::contentVersion,
     nullptr},
    {valuekind::Hu, ni::kHu, Form::Presence, nullptr, nullptr},
    {valuekind::InstallDir, ni::kInstallDir, Form::Text, &CNiProduct::installDir, nullptr},
    {valuekind::InstallVstDir, ni::kInstallVstDir, Form::Text, &CNiProduct::vstDir, nullptr},
    {valuekind::InstallVst64Dir, ni::kInstallVst64Dir, Form::Text, &CNiProduct::vst64Dir, nullptr},
    {valuekind::Jdx, ni::kJdx, Form::Presence, nullptr, nullptr},
    {valuekind::Key, ni::kKey, Form::Presence, nullptr, nullptr},
    {valuekind::Sno, ni::kSno, Form::Text, &CNiProduct::sno, nullptr},
    {valuekind::SystemId, ni::kSystemId, Form::Presence, nullptr, nullptr},
    {valuekind::Visibility, ni::kVisibility, Form::Dword, nullptr, &CNiProduct::visibility},
    {valuekind::SystemContentDir, ni::kSystemContentDir, Form::Text, &CNiProduct::contentDir,
     nullptr},
    {valuekind::UserListIndex, ni::kUserListIndex, Form::Dword, nullptr,
     &CNiProduct::userListIndex},
    {valuekind::UserRemoved, ni::kUserRemoved, Form::Dword, nullptr, &CNiProduct::userRemoved},
};

const KindEntry* FindKind(ValueKind kind) {
  for (const KindEntry& entry : kKinds) {
    if (entry.kind == kind) return &entry;
  }
  return nullptr;
}

// Index into kKinds of a machine value's name (the user values excluded), or -1.
int MachineKindOf(std::wstring_view name) {
  for (int i = 0; i < int(std::size(kKinds)); ++i) {
    const KindEntry& entry = kKinds[i];
    if (entry.kind == valuekind::UserListIndex || entry.kind == valuekind::UserRemoved) continue;
    if (EqualsNoCase(name, entry.name)) return i;
  }
  return -1;
}

uint32_t DwordOf(const uint8_t* data, uint32_t size) {
  uint8_t bytes[4] = {};
  for (uint32_t i = 0; i < size && i < 4; ++i) bytes[i] = data[i];
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
         uint32_t(bytes[3]) << 24;
}

uint32_t ViewAccess(bool view32) { return view32 ? access::Wow64_32Key : access::Wow64_64Key; }

// "SOFTWARE\Native Instruments\(name)" when it fits the shell's path limit.
bool MakeKeyPath(const wchar_t* keyName, std::wstring& out) {
  out = ni::kProductsKey;
  return path::Append(out, keyName, kPathCapacity);
}

// The read buffers of one key: value names of 1024 characters and data of 2048 bytes, with room
// for a terminator of our own after the data, since the registry does not promise one.
struct ReadBuffers {
  wchar_t name[kRegistryNameChars];
  alignas(4) uint8_t data[kRegistryDataBytes + 2];
};

}  // namespace

// Clears in place, so that a record reused for many keys keeps its texts' storage.
void CNiProduct::Reset() {
  readFromMachine = view32 = false;
  serial = userListIndex = userRemoved = visibility = 0;
  productType = ProductType::None;
  userValues = presentValues = {};
  contentKinds = {};
  for (std::wstring* text : {&appFile, &appFileVersion, &contentDir, &contentVersion, &installDir,
                             &vstDir, &vst64Dir, &pluginFile, &plugin32FileVersion,
                             &plugin64FileVersion, &keyName, &typeWord, &keyPath, &sno}) {
    text->clear();
  }
}

CNiProduct::ValueDescription CNiProduct::DescribeValue(ValueKind kind) const {
  if (kind == valuekind::ContentDir && (presentValues & valuekind::SystemContentDir)) {
    kind = valuekind::SystemContentDir;
  }
  const KindEntry* entry = FindKind(kind);
  if (!entry) return {};
  return {entry->name, entry->form, entry->text, entry->number};
}

std::wstring CNiProduct::GetValue(ValueKind kind) const {
  switch (kind) {
    case valuekind::ContentDir:
    case valuekind::SystemContentDir: return contentDir;
    case valuekind::ContentVersion: return contentVersion;
    case valuekind::InstallDir: return installDir;
    case valuekind::InstallVstDir: return vstDir;
    case valuekind::InstallVst64Dir: return vst64Dir;
    case valuekind::Sno: return sno;
    default: return {};
  }
}

std::wstring CNiProduct::GetFileVersion(ProductFile selector) const {
  switch (selector) {
    case productfile::App: return appFileVersion;
    case productfile::Plugin32: return plugin32FileVersion;
    case productfile::Plugin64: return plugin64FileVersion;
    default: return {};
  }
}

void CNiProduct::SetFiles(const wchar_t* app, const wchar_t* plugin) {
  appFile = app ? app : L"";
  pluginFile = plugin ? plugin : L"";
}

bool CNiProduct::SetFileDatabaseEntry(const wchar_t* key, const wchar_t* app, const wchar_t* plugin,
                                      const wchar_t* typeWordText) {
  if (!key || !typeWordText) return false;
  keyName = key;
  SetFiles(app, plugin);
  typeWord = typeWordText;
  return true;
}

ErrorCode CNiProduct::LoadFromRegistry(Registry& registry, RegRoot hive, const wchar_t* name,
                                       bool readView32) {
  if (!name) return err::InvalidParameter;
  try {
    std::wstring path;
    if (!MakeKeyPath(name, path)) return err::InternalError;
    std::unique_ptr<RegistryKey> key;
    if (ErrorCode e = registry.OpenKey(hive, path, access::Read | ViewAccess(readView32), key)) {
      return e;
    }
    if (hive != RegRoot::LocalMachine) {
      ReadUserValues(*key);
      return err::Success;
    }
    Reset();
    view32 = readView32;
    ReadMachineValues(*key);
    keyPath = std::move(path);
    readFromMachine = true;
    keyName = name;
    return err::Success;
  } catch (const std::bad_alloc&) {
    return err::InternalError;
  }
}

ErrorCode CNiProduct::LoadFromProductsKey(RegistryKey& products, const wchar_t* name,
                                          bool readView32) {
  if (!name) return err::InvalidParameter;
  try {
    std::wstring path;
    if (!MakeKeyPath(name, path)) return err::InternalError;
    std::unique_ptr<RegistryKey> key;
    if (ErrorCode e = products.OpenSubKey(name, access::Read | ViewAccess(readView32), key)) {
      return e;
    }
    Reset();
    view32 = readView32;
    ReadMachineValues(*key);
    keyPath = std::move(path);
    readFromMachine = true;
    keyName = name;
    return err::Success;
  } catch (const std::bad_alloc&) {
    return err::InternalError;
  }
}

// Takes the key's values by enumerating them (one call per value, which a query per known name
// would cost for every name, present or not). A value whose data does not fit the buffer is
// looked at once more by name only: a presence value still counts, text and numbers do not.
void CNiProduct::ReadMachineValues(RegistryKey& key) {
  ReadBuffers buffers;  // not zero-filled: only what the registry stored is read
  bool haveSystemContent = false;
  std::wstring systemContent;
  for (uint32_t index = 0;; ++index) {
    uint32_t nameLength = kRegistryNameChars;
    uint32_t size = kRegistryDataBytes;
    ErrorCode e = key.EnumValueInto(index, buffers.name, nameLength, nullptr, buffers.data, &size);
    if (e == err::NoMoreItems) break;
    bool dataFits = true;
    if (e == err::MoreData) {
      nameLength = kRegistryNameChars;
      e = key.EnumValueInto(index, buffers.name, nameLength, nullptr, nullptr, nullptr);
      dataFits = false;
      if (e == err::MoreData) continue;  // a name too long for the buffer is no known value
    }
    // Any other failure (1018 for a key deleted while it is read) would repeat for every later
    // index: the values read so far stand.
    if (e != err::Success) break;
    const int found = MachineKindOf(std::wstring_view(buffers.name, nameLength));
    if (found < 0) continue;
    const KindEntry& entry = kKinds[found];
    switch (entry.form) {
      case Form::Presence: break;
      case Form::Dword:
        if (!dataFits || size > 4) continue;
        this->*entry.number = DwordOf(buffers.data, size);
        break;
      case Form::Text: {
        if (!dataFits) continue;
        // Read as into a zero-filled buffer: the last byte of an odd length pairs with a zero
        // and is a character of its own.
        buffers.data[size] = 0;
        buffers.data[size + 1] = 0;
        std::wstring text = FromUtf16Bytes(buffers.data, size + (size & 1));
        if (entry.kind == valuekind::SystemContentDir) {
          systemContent = std::move(text);
          haveSystemContent = true;
          continue;
        }
        this->*entry.text = std::move(text);
        break;
      }
      case Form::None: continue;
    }
    presentValues |= entry.kind;
    if (entry.kind == valuekind::InstallVstDir || entry.kind == valuekind::InstallVst64Dir) {
      presentValues |= valuekind::HasPluginFolder;
    }
  }
  // SystemContentDir is the content folder whenever it exists, ContentDir or not.
  if (haveSystemContent) {
    contentDir = std::move(systemContent);
    presentValues |= valuekind::SystemContentDir | valuekind::ContentDir;
  }
}

void CNiProduct::ReadUserValues(RegistryKey& key) {
  for (ValueKind kind : {valuekind::UserListIndex, valuekind::UserRemoved}) {
    const KindEntry* entry = FindKind(kind);
    uint8_t data[4] = {};
    uint32_t size = sizeof data;
    if (key.QueryValueInto(entry->name, nullptr, data, &size) != err::Success) continue;
    this->*entry->number = DwordOf(data, size);
    userValues |= kind;
  }
}

ProductType CNiProduct::DeriveType() const {
  struct Signature {
    uint32_t values;
    ProductType type;
  };
  static constexpr Signature kSignatures[] = {
      {0x0001, producttype::Content},   {0x0003, producttype::Content},
      {0x0383, producttype::Content},   {0x0389, producttype::Content},
      {0x0403, producttype::Content},   {0x0783, producttype::Content},
      {0x07C5, producttype::Content},   {0x07C7, producttype::Content},
      {0x0803, producttype::Content},   {0x0008, producttype::Utility},
      {0x0388, producttype::AppPlugin}, {0x0B88, producttype::AppPlugin},
      {0x0B8B, producttype::AppPlugin}, {0x1B8B, producttype::AppPlugin},
      {0x0B89, producttype::Bundle},
  };
  const uint32_t signature = this->Signature().ToBits();
  for (const auto& entry : kSignatures) {
    if (entry.values == signature) return entry.type;
  }
  return producttype::Unknown;
}

bool CNiProduct::MakeFilePath(FileSystem& fs, ValueKind kind, const wchar_t* file,
                              std::wstring& out) const {
  out.clear();
  if (!file || !*file) return false;
  std::wstring joined = GetValue(kind);
  if (joined.empty() || joined.size() >= kPathCapacity) return false;
  if (!path::Append(joined, file, kPathCapacity)) return false;
  out = std::move(joined);
  return PathExists(fs, out);
}

BrokenPaths CNiProduct::GetBrokenPaths(FileSystem& fs) const {
  BrokenPaths broken;
  std::wstring file;
  auto missingFolder = [&](ValueKind kind, const std::wstring& folder) {
    if ((presentValues & kind) && !IsDirectory(fs, folder)) broken.folders |= kind;
  };
  auto missingFile = [&](ValueKind kind, const std::wstring& name, ProductFile bit) {
    if ((presentValues & kind) && !name.empty() && !MakeFilePath(fs, kind, name.c_str(), file)) {
      broken.files |= bit;
    }
  };
  missingFolder(valuekind::ContentDir, contentDir);
  missingFolder(valuekind::InstallDir, installDir);
  missingFile(valuekind::InstallDir, appFile, productfile::App);
  missingFolder(valuekind::InstallVstDir, vstDir);
  missingFile(valuekind::InstallVstDir, pluginFile, productfile::Plugin32);
  missingFolder(valuekind::InstallVst64Dir, vst64Dir);
  missingFile(valuekind::InstallVst64Dir, pluginFile, productfile::Plugin64);
  return broken;
}

ErrorCode CNiProduct::RefreshFileVersion(FileSystem& fs, System& system, ProductFile selector) {
  ValueKind kind{};
  const std::wstring* file = &pluginFile;
  std::wstring* version = nullptr;
  switch (selector) {
    case productfile::App:
      kind = valuekind::InstallDir;
      file = &appFile;
      version = &appFileVersion;
      break;
    case productfile::Plugin32:
      kind = valuekind::InstallVstDir;
      version = &plugin32FileVersion;
      break;
    case productfile::Plugin64:
      kind = valuekind::InstallVst64Dir;
      version = &plugin64FileVersion;
      break;
    default: return err::InvalidParameter;
  }
  std::wstring path;
  if (!MakeFilePath(fs, kind, file->c_str(), path)) return err::FileNotFound;
  std::wstring text;
  const ErrorCode e = GetFileVersionString(fs, system, path, text);
  // A file without a version text shows none.
  *version = e == err::Success ? std::move(text) : std::wstring();
  return e;
}

void CNiProduct::RefreshFileVersions(FileSystem& fs, System& system) {
  struct Step {
    ValueKind kind;
    ProductFile selector;
    std::wstring CNiProduct::*version;
  };
  static constexpr Step kSteps[] = {
      {valuekind::InstallDir, productfile::App, &CNiProduct::appFileVersion},
      {valuekind::InstallVstDir, productfile::Plugin32, &CNiProduct::plugin32FileVersion},
      {valuekind::InstallVst64Dir, productfile::Plugin64, &CNiProduct::plugin64FileVersion},
  };
  for (const Step& step : kSteps) {
    if (presentValues & step.kind) {
      // A file without a version shows none; the page has nothing more to say about it.
      (void)RefreshFileVersion(fs, system, step.selector);
    } else {
      (this->*step.version).clear();
    }
  }
}

ErrorCode CNiProduct::WriteValue(Registry& registry, ValueKind kind, bool onlyIfPresent,
                                 RegRoot hive, const std::wstring& text) {
  if (onlyIfPresent && !(presentValues & kind)) return err::Success;
  const ValueDescription value = DescribeValue(kind);
  if (value.form != ValueForm::Text) return err::InvalidParameter;
  if (keyPath.empty()) return err::NotReady;
  try {
    std::unique_ptr<RegistryKey> key;
    if (ErrorCode e = registry.OpenKey(hive, keyPath, access::Write | ViewAccess(view32), key)) {
      return e;
    }
    if (ErrorCode e = WriteString(*key, value.name, text)) return e;
    this->*value.text = text;
    presentValues |= kind;
    if (kind == valuekind::InstallVstDir || kind == valuekind::InstallVst64Dir) {
      presentValues |= valuekind::HasPluginFolder;
    }
    return err::Success;
  } catch (const std::bad_alloc&) {
    return err::InternalError;
  }
}

ErrorCode CNiProduct::WriteUserValue(Registry& registry, ValueKind kind, uint32_t number) {
  const ValueDescription value = DescribeValue(kind);
  if (value.form != ValueForm::Dword) return err::InvalidParameter;
  if (keyPath.empty()) return err::NotReady;
  try {
    std::unique_ptr<RegistryKey> key;
    if (ErrorCode e = registry.OpenKey(RegRoot::CurrentUser, keyPath,
                                       access::Write | ViewAccess(view32), key)) {
      return e;
    }
    if (ErrorCode e = WriteDword(*key, value.name, number)) return e;
    this->*value.number = number;
    return err::Success;
  } catch (const std::bad_alloc&) {
    return err::InternalError;
  }
}

}  // namespace tessaly
