// libFuzzer entry point over the registry readers of the catalog: the input describes registry
// values (names known to the product record or arbitrary up to past the name buffer, any type,
// data up to past the data buffer), which go into an in-memory registry under a product key in
// both views, its user key and a content catalog key. Then the product record is read from each
// hive and view and the catalog loaded, and what they took is checked against the values.
//
// Input: one byte of flags, then up to kMaxValues values, each
//   where (1 byte: bits 0-1 are 64-bit view, 32-bit view, user key, catalog key)
//   name  (1 byte: below 0x80 a known name, 0x40 of it upper-casing it; else arbitrary:
//          2 bytes length, 1 byte unit count, that many UTF-16LE units repeated to the length)
//   type  (1 byte; 0xF0 and above stand for 0xFFFFFFxx)
//   data  (2 bytes length, 1 byte count, that many bytes repeated to the length; none: the
//          count byte itself repeated)
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "catalog/ni_library.h"
#include "catalog/ni_product.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/fake_registry.h"

namespace {

using namespace tessaly;
using fuzz::HasNul;
using fuzz::TextOfUtf16;
using fuzz::TextOfZeroFilledUtf16;

namespace flag {
constexpr uint8_t Machine32 = 0x1;
constexpr uint8_t NoKey64 = 0x2;
constexpr uint8_t NoKey32 = 0x4;
constexpr uint8_t NoUserKey = 0x8;
constexpr uint8_t NoCatalogKey = 0x10;
}  // namespace flag

constexpr size_t kMaxValues = 16;
constexpr size_t kMaxNameChars = 1100;  // past the 1024 characters of the name buffer
constexpr size_t kMaxDataBytes = 2112;  // past the 2048 bytes of the data buffer
constexpr const wchar_t* kProductKey = L"SOFTWARE\\Native Instruments\\X";

// The value names the product record knows, as its registry key spells them.
constexpr const wchar_t* kKnownNames[] = {L"ContentDir",
                                          L"SystemContentDir",
                                          L"ContentVersion",
                                          L"InstallDir",
                                          L"InstallVSTDir",
                                          L"InstallVST64Dir",
                                          L"HU",
                                          L"JDX",
                                          L"KEY",
                                          L"SNO",
                                          L"SYSTEMID",
                                          L"Visibility",
                                          L"UserListIndex",
                                          L"UserRemoved"};

enum class Form { Text, Dword, Presence };
struct MachineKind {
  const wchar_t* name;
  ValueKind kind;
  Form form;
  std::wstring CNiProduct::*text;
};
constexpr MachineKind kMachineKinds[] = {
    {L"ContentDir", valuekind::ContentDir, Form::Text, &CNiProduct::contentDir},
    {L"SystemContentDir", valuekind::SystemContentDir, Form::Text, nullptr},
    {L"ContentVersion", valuekind::ContentVersion, Form::Text, &CNiProduct::contentVersion},
    {L"InstallDir", valuekind::InstallDir, Form::Text, &CNiProduct::installDir},
    {L"InstallVSTDir", valuekind::InstallVstDir, Form::Text, &CNiProduct::vstDir},
    {L"InstallVST64Dir", valuekind::InstallVst64Dir, Form::Text, &CNiProduct::vst64Dir},
    {L"SNO", valuekind::Sno, Form::Text, &CNiProduct::sno},
    {L"Visibility", valuekind::Visibility, Form::Dword, nullptr},
    {L"HU", valuekind::Hu, Form::Presence, nullptr},
    {L"JDX", valuekind::Jdx, Form::Presence, nullptr},
    {L"KEY", valuekind::Key, Form::Presence, nullptr},
    {L"SYSTEMID", valuekind::SystemId, Form::Presence, nullptr},
};
constexpr ValueKinds kMachineBits =
    valuekind::ContentDir | valuekind::ContentVersion | valuekind::Hu | valuekind::InstallDir |
    valuekind::InstallVstDir | valuekind::InstallVst64Dir | valuekind::Jdx | valuekind::Key |
    valuekind::Sno | valuekind::SystemId | valuekind::Visibility | valuekind::HasPluginFolder |
    valuekind::SystemContentDir;
constexpr ValueKinds kUserBits = valuekind::UserListIndex | valuekind::UserRemoved;

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Take(uint8_t& out) {
    if (at_ >= size_) return false;
    out = data_[at_++];
    return true;
  }
  bool Take16(uint16_t& out) {
    uint8_t lo = 0, hi = 0;
    if (!Take(lo) || !Take(hi)) return false;
    out = uint16_t(lo | hi << 8);
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

struct Value {
  int where = 0;
  std::wstring name;
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

bool ReadValue(Input& in, Value& value) {
  uint8_t where = 0, nameMode = 0, type = 0, count = 0;
  uint16_t length = 0;
  if (!in.Take(where) || !in.Take(nameMode)) return false;
  value.where = where & 3;
  if (nameMode < 0x80) {
    value.name = kKnownNames[(nameMode & 0x3F) % std::size(kKnownNames)];
    if (nameMode & 0x40) {
      for (wchar_t& c : value.name) {
        if (c >= L'a' && c <= L'z') c = wchar_t(c - 32);
      }
    }
  } else {
    if (!in.Take16(length) || !in.Take(count)) return false;
    std::vector<wchar_t> units;
    for (uint8_t i = 0; i < count % 9; ++i) {
      uint16_t unit = 0;
      if (!in.Take16(unit)) return false;
      units.push_back(wchar_t(unit));
    }
    if (units.empty()) units.push_back(L'n');
    for (size_t i = 0; i < length % kMaxNameChars; ++i)
      value.name.push_back(units[i % units.size()]);
  }
  if (!in.Take(type)) return false;
  value.type = type >= 0xF0 ? 0xFFFFFF00u | type : type;
  if (!in.Take16(length) || !in.Take(count)) return false;
  std::vector<uint8_t> pattern;
  for (uint8_t i = 0; i < count; ++i) {
    uint8_t byte = 0;
    if (!in.Take(byte)) break;
    pattern.push_back(byte);
  }
  if (pattern.empty()) pattern.push_back(count);
  for (size_t i = 0; i < length % kMaxDataBytes; ++i)
    value.data.push_back(pattern[i % pattern.size()]);
  return true;
}

uint32_t Dword(const std::vector<uint8_t>& data) {
  uint32_t number = 0;
  for (size_t i = 0; i < data.size() && i < 4; ++i) number |= uint32_t(data[i]) << (8 * i);
  return number;
}

// The values of one key as the registry holds them, in enumeration order.
struct StoredValue {
  std::wstring name;
  std::vector<uint8_t> data;
};
std::vector<StoredValue> StoredValues(const FakeRegistry& registry, RegRoot root,
                                      const std::wstring& path, RegView view) {
  std::vector<StoredValue> values;
  for (const std::wstring& name : registry.ValueNames(root, path, view)) {
    auto data = registry.ReadBytes(root, path, name, nullptr, view);
    FUZZ_CHECK(data.has_value(), "a listed value cannot be read");
    values.push_back({name, *data});
  }
  return values;
}

bool NameFits(const std::wstring& name) { return name.size() < kRegistryNameChars; }
bool DataFits(const std::vector<uint8_t>& data) { return data.size() <= kRegistryDataBytes; }

// What a record read from the machine holds: its values taken in order, each that fits.
struct MachineExpectation {
  ValueKinds present;
  uint32_t visibility = 0;
  std::wstring contentDir, contentVersion, installDir, vstDir, vst64Dir, sno;
};
MachineExpectation ExpectMachine(const std::vector<StoredValue>& values) {
  MachineExpectation out;
  CNiProduct fields;
  bool haveSystemContent = false;
  std::wstring systemContent;
  for (const StoredValue& value : values) {
    if (!NameFits(value.name)) continue;
    for (const MachineKind& kind : kMachineKinds) {
      if (!EqualsNoCase(value.name, kind.name)) continue;
      switch (kind.form) {
        case Form::Presence: out.present |= kind.kind; break;
        case Form::Dword:
          if (value.data.size() > 4) break;
          out.visibility = Dword(value.data);
          out.present |= kind.kind;
          break;
        case Form::Text:
          if (!DataFits(value.data)) break;
          if (kind.kind == valuekind::SystemContentDir) {
            systemContent = TextOfZeroFilledUtf16(value.data);
            haveSystemContent = true;
            break;
          }
          fields.*kind.text = TextOfZeroFilledUtf16(value.data);
          out.present |= kind.kind;
          break;
      }
    }
  }
  if (haveSystemContent) {
    fields.contentDir = systemContent;
    out.present |= valuekind::SystemContentDir | valuekind::ContentDir;
  }
  if (out.present & (valuekind::InstallVstDir | valuekind::InstallVst64Dir)) {
    out.present |= valuekind::HasPluginFolder;
  }
  out.contentDir = fields.contentDir;
  out.contentVersion = fields.contentVersion;
  out.installDir = fields.installDir;
  out.vstDir = fields.vstDir;
  out.vst64Dir = fields.vst64Dir;
  out.sno = fields.sno;
  return out;
}

void CheckTexts(const CNiProduct& record) {
  for (const std::wstring* text : {&record.contentDir, &record.contentVersion, &record.installDir,
                                   &record.vstDir, &record.vst64Dir, &record.sno}) {
    FUZZ_CHECK(text->size() <= kRegistryDataBytes / 2, "a text longer than the data buffer");
    FUZZ_CHECK(!HasNul(*text), "a text with a NUL");
  }
}

// A record that no read may have touched.
constexpr ValueKinds kUntouchedBits = ValueKinds::FromBits(0x80000000u);
CNiProduct Untouched() {
  CNiProduct record;
  record.keyName = L"before";
  record.sno = L"before";
  record.presentValues = kUntouchedBits;
  record.userValues = kUntouchedBits;
  record.userListIndex = 0xA5A5A5A5u;
  return record;
}
bool IsUntouched(const CNiProduct& record) {
  return record.keyName == L"before" && record.sno == L"before" &&
         record.presentValues == kUntouchedBits && record.userValues == kUntouchedBits &&
         record.userListIndex == 0xA5A5A5A5u && record.keyPath.empty();
}

void CheckRecord(FakeRegistry& registry, bool view32) {
  const RegView view = view32 ? RegView::Key32 : RegView::Key64;
  CNiProduct record = Untouched();
  ErrorCode e =
      registry.Exists(RegRoot::LocalMachine, kProductKey, view) ? err::Success : err::FileNotFound;
  FUZZ_CHECK(record.LoadFromRegistry(registry, RegRoot::LocalMachine, L"X", view32) == e,
             "the machine key's answer is not its opening's");
  if (e != err::Success) {
    FUZZ_CHECK(IsUntouched(record), "a failed read changed the record");
  } else {
    CheckTexts(record);
    FUZZ_CHECK((record.presentValues & ~kMachineBits).Empty(), "a present bit of no machine value");
    FUZZ_CHECK(record.userValues.Empty(), "the machine read set user values");
    const auto values = StoredValues(registry, RegRoot::LocalMachine, kProductKey, view);
    for (const StoredValue& value : values) {
      for (const MachineKind& kind : kMachineKinds) {
        if (kind.form == Form::Presence || !EqualsNoCase(value.name, kind.name)) continue;
        // Windows keeps one value per name, so this one alone decides the kind.
        // (SystemContentDir, when it fits, also makes ContentDir present.)
        const bool fromSystemContent = kind.kind == valuekind::ContentDir &&
                                       (record.presentValues & valuekind::SystemContentDir);
        if (!DataFits(value.data) && !fromSystemContent) {
          FUZZ_CHECK(!(record.presentValues & kind.kind),
                     "a value larger than the data buffer is present");
        }
      }
    }
    const MachineExpectation want = ExpectMachine(values);
    FUZZ_CHECK(record.presentValues == want.present, "present values differ from the key's");
    FUZZ_CHECK(record.visibility == want.visibility, "Visibility differs from the key's");
    FUZZ_CHECK(record.contentDir == want.contentDir, "the content folder differs");
    FUZZ_CHECK(record.contentVersion == want.contentVersion, "ContentVersion differs");
    FUZZ_CHECK(record.installDir == want.installDir, "InstallDir differs");
    FUZZ_CHECK(record.vstDir == want.vstDir, "InstallVSTDir differs");
    FUZZ_CHECK(record.vst64Dir == want.vst64Dir, "InstallVST64Dir differs");
    FUZZ_CHECK(record.sno == want.sno, "SNO differs");
    FUZZ_CHECK(record.keyName == L"X" && record.keyPath == kProductKey && record.readFromMachine &&
                   record.view32 == view32,
               "the record does not name its key");
  }

  // The user key adds the user values, and nothing else changes.
  const CNiProduct machine = record;
  e = registry.Exists(RegRoot::CurrentUser, kProductKey, view) ? err::Success : err::FileNotFound;
  FUZZ_CHECK(record.LoadFromRegistry(registry, RegRoot::CurrentUser, L"X", view32) == e,
             "the user key's answer is not its opening's");
  FUZZ_CHECK(record.presentValues == machine.presentValues && record.sno == machine.sno &&
                 record.contentDir == machine.contentDir && record.keyName == machine.keyName &&
                 record.visibility == machine.visibility,
             "the user read changed machine values");
  if (e != err::Success) {
    FUZZ_CHECK(record.userValues == machine.userValues &&
                   record.userListIndex == machine.userListIndex &&
                   record.userRemoved == machine.userRemoved,
               "a failed user read changed the record");
    return;
  }
  ValueKinds wantBits = machine.userValues;
  for (ValueKind kind : {valuekind::UserListIndex, valuekind::UserRemoved}) {
    const wchar_t* name = kind == valuekind::UserListIndex ? L"UserListIndex" : L"UserRemoved";
    uint32_t CNiProduct::*field =
        kind == valuekind::UserListIndex ? &CNiProduct::userListIndex : &CNiProduct::userRemoved;
    const auto data = registry.ReadBytes(RegRoot::CurrentUser, kProductKey, name, nullptr, view);
    if (data && data->size() <= 4) {
      wantBits |= kind;
      FUZZ_CHECK(record.*field == Dword(*data), "a user value differs from the key's");
    } else {
      FUZZ_CHECK(record.*field == machine.*field, "a user value without a fitting value changed");
    }
  }
  FUZZ_CHECK(record.userValues == wantBits, "user values differ from the key's");
  FUZZ_CHECK((record.userValues & ~kUntouchedBits & ~kUserBits).Empty(),
             "a user bit of no user value");
}

const wchar_t* CatalogPath(uint32_t type) {
  switch (type) {
    case CNiCatalog::kMaschine: return L"SOFTWARE\\Native Instruments\\Maschine Content";
    case CNiCatalog::kReaktor: return L"SOFTWARE\\Native Instruments\\Reaktor Content";
    default: return L"SOFTWARE\\Native Instruments\\Content";
  }
}

void CheckCatalog(FakeRegistry& registry, uint32_t type) {
  CNiCatalog catalog;
  const bool exists = registry.Exists(RegRoot::LocalMachine, CatalogPath(type), RegView::Key64);
  const ErrorCode e = catalog.Load(registry, type);
  if (!exists) {
    FUZZ_CHECK(e == err::FileNotFound && catalog.Count() == 0, "a missing catalog key loaded");
    return;
  }
  FUZZ_CHECK(e == err::Success && catalog.Type() == type, "a catalog key did not load");
  const auto values =
      StoredValues(registry, RegRoot::LocalMachine, CatalogPath(type), RegView::Key64);
  std::set<std::wstring, LessNoCaseFn> names, unfit;
  for (const StoredValue& value : values) {
    if (NameFits(value.name) && DataFits(value.data)) {
      names.insert(TextOfUtf16(value.data));
    } else {
      unfit.insert(TextOfUtf16(value.data));
    }
  }
  FUZZ_CHECK(catalog.Count() <= values.size(), "more names than values");
  FUZZ_CHECK(catalog.Count() == names.size(), "the catalog's names differ from the key's");
  CNiProduct record;
  for (const std::wstring& name : names) {
    record.keyName = name;
    FUZZ_CHECK(catalog.Contains(record), "a value's product is not in the catalog");
  }
  for (const std::wstring& name : unfit) {
    if (names.count(name)) continue;
    record.keyName = name;
    FUZZ_CHECK(!catalog.Contains(record), "a value that does not fit the buffers was taken");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  uint8_t flags = 0;
  if (!in.Take(flags)) return 0;
  FakeRegistry registry(!(flags & flag::Machine32));
  const uint32_t catalogType = ((flags >> 5) & 3) == 1   ? CNiCatalog::kMaschine
                               : ((flags >> 5) & 3) == 2 ? CNiCatalog::kReaktor
                                                         : CNiCatalog::kContent;
  const std::wstring catalogPath = CatalogPath(catalogType);
  if (!(flags & flag::NoKey64))
    registry.CreateKeyAt(RegRoot::LocalMachine, kProductKey, RegView::Key64);
  if (!(flags & flag::NoKey32))
    registry.CreateKeyAt(RegRoot::LocalMachine, kProductKey, RegView::Key32);
  if (!(flags & flag::NoUserKey)) registry.CreateKeyAt(RegRoot::CurrentUser, kProductKey);
  if (!(flags & flag::NoCatalogKey)) {
    registry.CreateKeyAt(RegRoot::LocalMachine, catalogPath, RegView::Key64);
  }

  Value value;
  for (size_t i = 0; i < kMaxValues && ReadValue(in, value); ++i, value = Value{}) {
    switch (value.where) {
      case 0:
        registry.SetBytes(RegRoot::LocalMachine, kProductKey, value.name, value.type, value.data,
                          RegView::Key64);
        break;
      case 1:
        registry.SetBytes(RegRoot::LocalMachine, kProductKey, value.name, value.type, value.data,
                          RegView::Key32);
        break;
      case 2:
        registry.SetBytes(RegRoot::CurrentUser, kProductKey, value.name, value.type, value.data);
        break;
      default:
        registry.SetBytes(RegRoot::LocalMachine, catalogPath, value.name, value.type, value.data,
                          RegView::Key64);
        break;
    }
  }

  CheckRecord(registry, false);
  CheckRecord(registry, true);
  CheckCatalog(registry, catalogType);
  return 0;
}
