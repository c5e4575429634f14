// CRegistryArchive: capture, save, load and restore of a registry subtree as XML.
#include "registry_archive/registry_archive.h"

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/text.h"
#include "registry_archive/archive_xml.h"
#include "registry_archive/base64.h"

namespace tessaly {

namespace {

struct HiveEntry {
  uint32_t handle;
  const wchar_t* name;
};

constexpr std::array<HiveEntry, 10> kHives = {{
    {0x80000000u, L"HKEY_CLASSES_ROOT"},
    {0x80000001u, L"HKEY_CURRENT_USER"},
    {0x80000002u, L"HKEY_LOCAL_MACHINE"},
    {0x80000003u, L"HKEY_USERS"},
    {0x80000004u, L"HKEY_PERFORMANCE_DATA"},
    {0x80000005u, L"HKEY_CURRENT_CONFIG"},
    {0x80000006u, L"HKEY_DYN_DATA"},
    {0x80000007u, L"HKEY_CURRENT_USER_LOCAL_SETTINGS"},
    {0x80000050u, L"HKEY_PERFORMANCE_TEXT"},
    {0x80000060u, L"HKEY_PERFORMANCE_NLSTEXT"},
}};

// Indexed by type.
constexpr std::array<const wchar_t*, 12> kTypeNames = {
    L"REG_NONE",
    L"REG_SZ",
    L"REG_EXPAND_SZ",
    L"REG_BINARY",
    L"REG_DWORD",
    L"REG_DWORD_BIG_ENDIAN",
    L"REG_LINK",
    L"REG_MULTI_SZ",
    L"REG_RESOURCE_LIST",
    L"REG_FULL_RESOURCE_DESCRIPTOR",
    L"REG_RESOURCE_REQUIREMENTS_LIST",
    L"REG_QWORD",
};

using archive_xml::AddAsciiChild;
using archive_xml::AddTextChild;
using archive_xml::TextOf;

bool IsYes(std::wstring_view text) { return EqualsNoCase(text, L"yes"); }

using archive_xml::BufferWriter;

}  // namespace

std::vector<uint8_t> ArchiveTimeBytes(const LocalTime& t) {
  const uint16_t fields[8] = {t.year, t.month,  t.dayOfWeek, t.day,
                              t.hour, t.minute, t.second,    t.milliseconds};
  std::vector<uint8_t> bytes;
  for (const uint16_t f : fields) {
    bytes.push_back(uint8_t(f));
    bytes.push_back(uint8_t(f >> 8));
  }
  return bytes;
}

LocalTime ArchiveTimeFromBytes(const std::vector<uint8_t>& b) {
  const auto at = [&b](size_t i) { return uint16_t(b[2 * i] | b[2 * i + 1] << 8); };
  return LocalTime{at(0), at(1), at(2), at(3), at(4), at(5), at(6), at(7)};
}

size_t ArchiveValueSize(const char* text) {
  uint64_t n = 0;
  for (const char* p = text; *p >= '0' && *p <= '9'; ++p) {
    n = n * 10 + uint64_t(*p - '0');
    if (n > UINT32_MAX) return UINT32_MAX;
  }
  return size_t(n);
}

std::wstring HiveName(RegRoot hive) {
  for (const HiveEntry& e : kHives)
    if (e.handle == static_cast<uint32_t>(hive)) return e.name;
  return {};
}

std::optional<RegRoot> HiveFromName(std::wstring_view name) {
  for (const HiveEntry& e : kHives)
    if (EqualsNoCase(name, e.name)) return static_cast<RegRoot>(e.handle);
  return std::nullopt;
}

std::wstring ValueTypeName(uint32_t type) {
  return type < kTypeNames.size() ? kTypeNames[type] : L"";
}

uint32_t ValueTypeFromName(std::wstring_view name) {
  for (uint32_t type = 0; type < kTypeNames.size(); ++type)
    if (EqualsNoCase(name, kTypeNames[type])) return type;
  if (EqualsNoCase(name, L"REG_DWORD_LITTLE_ENDIAN")) return regtype::Dword;
  if (EqualsNoCase(name, L"REG_QWORD_LITTLE_ENDIAN")) return regtype::Qword;
  return regtype::None;
}

CRegistryArchive::CRegistryArchive(Registry& registry, FileSystem& fs, System& system)
    : registry_(registry), fs_(fs), system_(system) {}

CRegistryArchive::CRegistryArchive(Registry& registry, FileSystem& fs, System& system, RegRoot hive,
                                   bool force32Bit)
    : registry_(registry),
      fs_(fs),
      system_(system),
      hive_(hive),
      rootSubkey_(kArchiveRootSubkey),
      force32_(force32Bit) {}

uint32_t CRegistryArchive::ViewFlag() const {
  // The program is 32-bit, so without a flag it would see only the 32-bit view of HKLM.
  return force32_ ? access::Wow64_32Key : access::Wow64_64Key;
}

ErrorCode CRegistryArchive::Capture() noexcept {
  try {
    document_.reset();
    pugi::xml_node root = document_.append_child("RegistryArchive");
    if (!root) return err::InternalError;
    const std::vector<uint8_t> now = ArchiveTimeBytes(system_.GetLocalTime());
    if (!AddTextChild(root, "Hive", hive_ ? HiveName(*hive_) : std::wstring()) ||
        !AddTextChild(root, "RootSubkey", rootSubkey_) ||
        !AddAsciiChild(root, "LocalLoadTime", Base64Encode(now)) ||
        !AddTextChild(root, "Force32", force32_ ? L"Yes" : L"No"))
      return err::InternalError;
    CaptureKey(root, nullptr, rootSubkey_);
    return err::Success;
  } catch (...) {
    // Half an archive would restore as if the rest of the subtree had never existed.
    document_.reset();
    return err::InternalError;
  }
}

void CRegistryArchive::CaptureKey(pugi::xml_node parent, RegistryKey* parentKey,
                                  const std::wstring& name) {
  std::unique_ptr<RegistryKey> key;
  const uint32_t mask = access::Read | ViewFlag();
  const ErrorCode opened = parentKey ? parentKey->OpenSubKey(name, mask, key)
                           : hive_   ? registry_.OpenKey(*hive_, name, mask, key)
                                     : err::InvalidHandle;
  if (opened != err::Success || !key) return;

  RegKeyInfo info;
  if (key->QueryInfo(info) != err::Success) info = RegKeyInfo{};

  pugi::xml_node element = parent.append_child("Subkey");
  if (!element || !element.append_attribute("name").set_value(ToUtf8(name).c_str())) return;
  if (info.keyClass.size() >= 2 && !AddTextChild(element, "Class", info.keyClass)) return;
  std::vector<uint8_t> lastWrite(8);
  for (int i = 0; i < 8; ++i) lastWrite[i] = uint8_t(info.lastWriteTime >> (8 * i));
  if (!AddAsciiChild(element, "LastWrite", Base64Encode(lastWrite))) return;

  for (uint32_t index = 0;; ++index) {
    std::wstring valueName;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    if (key->EnumValue(index, valueName, &type, &data) != err::Success) break;
    pugi::xml_node value = element.append_child("Value");
    if (!value || !value.append_attribute("name").set_value(ToUtf8(valueName).c_str()) ||
        !value.append_attribute("type").set_value(ToUtf8(ValueTypeName(type)).c_str()) ||
        !value.append_attribute("size").set_value(std::to_string(data.size()).c_str()) ||
        !value.text().set(Base64Encode(data).c_str()))
      return;
  }

  for (uint32_t index = 0;; ++index) {
    std::wstring childName;
    if (key->EnumKey(index, childName) != err::Success) break;
    CaptureKey(element, key.get(), childName);
  }
}

ErrorCode CRegistryArchive::Save(std::wstring_view path) noexcept {
  if (path.empty()) return err::InvalidParameter;
  try {
    BufferWriter writer;
    document_.save(writer);  // tab indents, <?xml version="1.0"?>, UTF-8 without a byte-order mark
    if (fs_.WriteFile(path, writer.buffer.data(), writer.buffer.size()) != err::Success)
      return err::InternalError;
    return err::Success;
  } catch (...) {
    return err::InternalError;
  }
}

ErrorCode CRegistryArchive::LoadInto(pugi::xml_document& document,
                                     std::wstring_view path) noexcept {
  document.reset();
  if (path.empty()) return err::InvalidParameter;
  try {
    std::vector<uint8_t> bytes;
    const ErrorCode read = fs_.ReadFile(path, 0, SIZE_MAX, bytes);
    if (read == err::FileNotFound || read == err::PathNotFound) return err::FileNotFound;
    if (read != err::Success) return err::InternalError;
    if (document.load_buffer(bytes.data(), bytes.size())) return err::Success;
  } catch (...) {
  }
  document.reset();
  return err::InternalError;
}

ErrorCode CRegistryArchive::Load(std::wstring_view path) noexcept {
  return LoadInto(document_, path);
}

ErrorCode CRegistryArchive::Restore() noexcept {
  try {
    return RestoreDocument();
  } catch (...) {
    // Keys and values written before the failure stay: a restore only creates and overwrites,
    // so running it again completes it.
    return err::InternalError;
  }
}

ErrorCode CRegistryArchive::RestoreDocument() {
  const pugi::xml_node root = document_.child("RegistryArchive");
  const pugi::xml_node hiveNode = root.child("Hive");
  const pugi::xml_node rootSubkeyNode = root.child("RootSubkey");
  const pugi::xml_node force32Node = root.child("Force32");
  pugi::xml_node top = root.child("Subkey");
  if (!root || !hiveNode || !rootSubkeyNode || !force32Node || !top) return err::InternalError;

  // Only what the program itself archives is written back: a file edited to name another hive
  // or key must not become a way to write anywhere in the registry.
  const std::optional<RegRoot> hive = HiveFromName(TextOf(hiveNode));
  const std::wstring rootSubkey = TextOf(rootSubkeyNode);
  if (!hive || (*hive != RegRoot::LocalMachine && *hive != RegRoot::CurrentUser) ||
      !EqualsNoCase(rootSubkey, kArchiveRootSubkey))
    return err::InternalError;

  hive_ = hive;
  rootSubkey_ = rootSubkey;
  force32_ = IsYes(TextOf(force32Node));
  pugi::xml_attribute nameAttribute = top.attribute("name");
  if (!nameAttribute) nameAttribute = top.append_attribute("name");
  nameAttribute.set_value(ToUtf8(rootSubkey_).c_str());

  RestoreKey(top, nullptr, rootSubkey_);
  return err::Success;
}

void CRegistryArchive::RestoreKey(pugi::xml_node element, RegistryKey* parentKey,
                                  const std::wstring& name) {
  std::unique_ptr<RegistryKey> key;
  const uint32_t mask = access::Write | ViewFlag();
  const ErrorCode made = parentKey ? parentKey->CreateSubKey(name, L"", mask, key)
                                   : registry_.CreateKey(*hive_, name, L"", mask, key);
  if (made != err::Success || !key) return;

  for (pugi::xml_node value = element.child("Value"); value; value = value.next_sibling()) {
    const pugi::xml_attribute valueName = value.attribute("name");
    const pugi::xml_attribute type = value.attribute("type");
    const pugi::xml_attribute size = value.attribute("size");
    if (!valueName || !type || !size) continue;
    const std::vector<uint8_t> data = Base64Decode(value.child_value());
    const size_t count = ArchiveValueSize(size.value());
    // A size beyond the data comes only from an edited file; such a value is left alone rather
    // than written with bytes the archive does not hold.
    if (count > data.size()) continue;
    key->SetValue(FromUtf8(valueName.value()), ValueTypeFromName(FromUtf8(type.value())),
                  data.data(), count);
  }

  for (pugi::xml_node child = element.child("Subkey"); child; child = child.next_sibling("Subkey"))
    RestoreKey(child, key.get(), FromUtf8(child.attribute("name").value()));
}

ErrorCode CRegistryArchive::ReadArchiveDate(std::wstring_view path, std::wstring& out) noexcept {
  try {
    pugi::xml_document document;
    if (const ErrorCode loaded = LoadInto(document, path); loaded != err::Success) return loaded;
    const pugi::xml_node time = document.child("RegistryArchive").child("LocalLoadTime");
    if (!time) return err::InternalError;
    const std::vector<uint8_t> bytes = Base64Decode(time.child_value());
    if (bytes.size() < 16) return err::InternalError;
    return system_.FormatLocalDateTime(ArchiveTimeFromBytes(bytes), out);
  } catch (...) {
    return err::InternalError;
  }
}

}  // namespace tessaly
