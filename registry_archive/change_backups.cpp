// Change backups: the values a change is about to write, saved before it and put back on request.
//
// Like the first-run backups, every operation here is a boundary: whatever throws below it
// becomes 1359, so that no page sees an exception.
#include "registry_archive/change_backups.h"

#include <algorithm>
#include <memory>
#include <utility>

#include <pugixml.hpp>

#include "platform/calendar.h"
#include "platform/ni_installation.h"
#include "platform/text.h"
#include "registry_archive/archive_xml.h"
#include "registry_archive/base64.h"
#include "registry_archive/registry_archive.h"

namespace tessaly {

namespace {

constexpr std::wstring_view kFilePrefix = L"Change-";
constexpr std::wstring_view kFileSuffix = L".xml";
// Change-NNNNNNNNNN-YYYYMMDDTHHMMSSmmmZ.xml: a counter, then the UTC capture time.
constexpr size_t kCounterDigits = 10;
constexpr size_t kFileNameLength = 7 + kCounterDigits + 1 + 19 + 4;
// Change-YYYYMMDD-HHMMSS-mmm-NNN.xml, the local time of capture: the names of earlier versions.
constexpr size_t kLocalFileNameLength = 34;
constexpr int kMaxNameTries = 1000;

using archive_xml::AddAsciiChild;
using archive_xml::AddTextChild;
using archive_xml::BufferWriter;

uint32_t ViewFlag(bool view32) { return view32 ? access::Wow64_32Key : access::Wow64_64Key; }

bool AllDigits(std::wstring_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

bool HasAffixes(std::wstring_view name, size_t length) {
  return name.size() == length && StartsWithNoCase(name, kFilePrefix) &&
         EqualsNoCase(name.substr(name.size() - kFileSuffix.size()), kFileSuffix);
}

// The counter of a backup name of this version; nullopt for any other name.
std::optional<uint64_t> CounterOf(std::wstring_view name) {
  if (!HasAffixes(name, kFileNameLength)) return std::nullopt;
  const std::wstring_view counter = name.substr(kFilePrefix.size(), kCounterDigits);
  const std::wstring_view time = name.substr(kFilePrefix.size() + kCounterDigits + 1, 19);
  if (!AllDigits(counter) || name[kFilePrefix.size() + kCounterDigits] != L'-' ||
      !AllDigits(time.substr(0, 8)) || (time[8] != L'T' && time[8] != L't') ||
      !AllDigits(time.substr(9, 9)) || (time[18] != L'Z' && time[18] != L'z'))
    return std::nullopt;
  return std::stoull(std::wstring(counter));
}

// A backup name of earlier versions (local time of capture and a number).
bool IsLocalTimeName(std::wstring_view name) {
  if (!HasAffixes(name, kLocalFileNameLength)) return false;
  const std::wstring_view middle =
      name.substr(kFilePrefix.size(), kLocalFileNameLength - kFilePrefix.size() - 4);
  for (size_t i = 0; i < middle.size(); ++i) {
    const bool dash = i == 8 || i == 15 || i == 19;
    if (dash ? middle[i] != L'-' : (middle[i] < L'0' || middle[i] > L'9')) return false;
  }
  return true;
}

std::wstring Digits(uint64_t value, size_t width) {
  std::wstring text = std::to_wstring(value);
  if (text.size() < width) text.insert(0, width - text.size(), L'0');
  return text;
}

std::wstring FileNameFor(uint64_t counter, FileTime utc) {
  const LocalTime t = CalendarFromFileTime(utc).value_or(LocalTime{});
  return std::wstring(kFilePrefix) + Digits(counter, kCounterDigits) + L"-" + Digits(t.year, 4) +
         Digits(t.month, 2) + Digits(t.day, 2) + L"T" + Digits(t.hour, 2) + Digits(t.minute, 2) +
         Digits(t.second, 2) + Digits(t.milliseconds, 3) + L"Z" + std::wstring(kFileSuffix);
}

// A change backup of the folder, with what orders it among the others.
struct BackupName {
  std::wstring name;
  std::optional<uint64_t> counter;  // none: a name of earlier versions, older than every other
};

// The change backups of `folder`, oldest first. 0, or the error of listing the folder.
ErrorCode ChangeBackupNames(FileSystem& fs, const std::wstring& folder,
                            std::vector<BackupName>& names) {
  names.clear();
  const ErrorCode listed =
      fs.FindFiles(folder + L"\\Change-*.xml", [&names](const FindData& entry) {
        if (entry.attributes & attr::Directory) return true;
        if (const auto counter = CounterOf(entry.name)) {
          names.push_back({entry.name, counter});
        } else if (IsLocalTimeName(entry.name)) {
          names.push_back({entry.name, std::nullopt});
        }
        return true;
      });
  if (listed != err::Success && listed != err::FileNotFound) return listed;
  std::sort(names.begin(), names.end(), [](const BackupName& a, const BackupName& b) {
    if (a.counter.has_value() != b.counter.has_value()) return !a.counter.has_value();
    if (a.counter) return *a.counter < *b.counter;
    return CompareNoCase(a.name, b.name) < 0;
  });
  return err::Success;
}

constexpr const wchar_t* kMachineValues[] = {ni::kContentDir, ni::kSystemContentDir,
                                             ni::kInstallDir, ni::kInstallVstDir,
                                             ni::kInstallVst64Dir};
constexpr const wchar_t* kUserValues[] = {ni::kUserListIndex, ni::kUserRemoved};

// The product key of `keyPath`: its one component below SOFTWARE\Native Instruments; empty when
// the path is anything else.
std::wstring ProductKeyName(std::wstring_view keyPath) {
  const std::wstring_view root = kArchiveRootSubkey;
  if (keyPath.size() <= root.size() + 1 || !StartsWithNoCase(keyPath, root) ||
      keyPath[root.size()] != L'\\')
    return {};
  const std::wstring_view name = keyPath.substr(root.size() + 1);
  if (name.find(L'\\') != std::wstring_view::npos || name == L"." || name == L"..") return {};
  return std::wstring(name);
}

std::vector<uint8_t> LastWriteBytes(FileTime time) {
  std::vector<uint8_t> bytes(8);
  for (int i = 0; i < 8; ++i) bytes[i] = uint8_t(time >> (8 * i));
  return bytes;
}

// The child Subkey of `parent` named `name` (without regard to case), added with an empty
// LastWrite when missing.
pugi::xml_node SubkeyOf(pugi::xml_node parent, std::wstring_view name) {
  for (pugi::xml_node child = parent.child("Subkey"); child; child = child.next_sibling("Subkey"))
    if (EqualsNoCase(FromUtf8(child.attribute("name").value()), name)) return child;
  pugi::xml_node child = parent.append_child("Subkey");
  if (!child || !child.append_attribute("name").set_value(ToUtf8(name).c_str()) ||
      !AddAsciiChild(child, "LastWrite", Base64Encode(LastWriteBytes(0))))
    return {};
  return child;
}

// The value elements go before the key's subkeys, as in every archive.
pugi::xml_node AddValue(pugi::xml_node key) {
  const pugi::xml_node firstSubkey = key.child("Subkey");
  return firstSubkey ? key.insert_child_before("Value", firstSubkey) : key.append_child("Value");
}

// The archive of one hive and view inside the change document.
pugi::xml_node ArchiveFor(pugi::xml_node change, RegRoot hive, bool view32,
                          const std::string& time) {
  for (pugi::xml_node archive = change.child("RegistryArchive"); archive;
       archive = archive.next_sibling("RegistryArchive")) {
    if (HiveFromName(FromUtf8(archive.child_value("Hive"))) == hive &&
        EqualsNoCase(FromUtf8(archive.child_value("Force32")), L"yes") == view32)
      return archive;
  }
  pugi::xml_node archive = change.append_child("RegistryArchive");
  if (!archive || !AddTextChild(archive, "Hive", HiveName(hive)) ||
      !AddTextChild(archive, "RootSubkey", kArchiveRootSubkey) ||
      !AddAsciiChild(archive, "LocalLoadTime", time) ||
      !AddTextChild(archive, "Force32", view32 ? L"Yes" : L"No"))
    return {};
  pugi::xml_node root = archive.append_child("Subkey");
  if (!root || !root.append_attribute("name").set_value(ToUtf8(kArchiveRootSubkey).c_str()) ||
      !AddAsciiChild(root, "LastWrite", Base64Encode(LastWriteBytes(0))))
    return {};
  return archive;
}

bool SetNumber(pugi::xml_node node, const char* name, uint64_t number) {
  return node.append_attribute(name).set_value(std::to_string(number).c_str());
}

// Adds what the change writes beside the value's present state.
bool AddWritten(pugi::xml_node saved, const ChangedValue& value) {
  if (value.deletes) return saved.append_attribute("writtenAbsent").set_value("Yes");
  if (!value.written) return true;
  return SetNumber(saved, "writtenType", value.written->type) &&
         SetNumber(saved, "writtenSize", value.written->data.size()) &&
         saved.append_attribute("written").set_value(Base64Encode(value.written->data).c_str());
}

// Adds the present state of one value to the document: 0, or the error that must stop the change.
ErrorCode CaptureValue(Registry& registry, pugi::xml_node change, const std::string& time,
                       const ChangedValue& value) {
  const std::wstring product = ProductKeyName(value.keyPath);
  if (product.empty() || !IsChangeableValue(value.hive, value.valueName))
    return err::InvalidParameter;
  if (value.written && value.deletes) return err::InvalidParameter;

  std::unique_ptr<RegistryKey> key;
  const ErrorCode opened =
      registry.OpenKey(value.hive, value.keyPath, access::Read | ViewFlag(value.view32), key);
  // A change writes only into existing keys: one that is not there will not be written either.
  if (opened == err::FileNotFound || opened == err::PathNotFound) return err::Success;
  if (opened != err::Success) return opened;
  if (!key) return err::InternalError;

  uint32_t type = 0;
  std::vector<uint8_t> data;
  const ErrorCode queried = key->QueryValue(value.valueName, &type, &data);
  if (queried != err::Success && queried != err::FileNotFound) return queried;

  pugi::xml_node element =
      SubkeyOf(ArchiveFor(change, value.hive, value.view32, time).child("Subkey"), product);
  if (!element) return err::InternalError;
  for (pugi::xml_node saved = element.child("Value"); saved; saved = saved.next_sibling("Value"))
    if (EqualsNoCase(FromUtf8(saved.attribute("name").value()), value.valueName))
      return err::Success;

  if (RegKeyInfo info; key->QueryInfo(info) == err::Success)
    element.child("LastWrite").text().set(Base64Encode(LastWriteBytes(info.lastWriteTime)).c_str());
  pugi::xml_node saved = AddValue(element);
  if (!saved || !saved.append_attribute("name").set_value(ToUtf8(value.valueName).c_str()))
    return err::InternalError;
  if (queried == err::FileNotFound) {
    if (!saved.append_attribute("absent").set_value("Yes") || !AddWritten(saved, value))
      return err::InternalError;
    return err::Success;
  }
  if (!SetNumber(saved, "type", type) || !SetNumber(saved, "size", data.size()) ||
      !AddWritten(saved, value) || !saved.text().set(Base64Encode(data).c_str()))
    return err::InternalError;
  return err::Success;
}

ErrorCode LoadDocument(FileSystem& fs, std::wstring_view path, pugi::xml_document& document) {
  if (path.empty()) return err::InvalidParameter;
  std::vector<uint8_t> bytes;
  const ErrorCode read = fs.ReadFile(path, 0, SIZE_MAX, bytes);
  if (read == err::FileNotFound || read == err::PathNotFound) return err::FileNotFound;
  if (read != err::Success || !document.load_buffer(bytes.data(), bytes.size()))
    return err::InternalError;
  return err::Success;
}

bool IsYes(pugi::xml_attribute attribute) {
  return EqualsNoCase(FromUtf8(attribute.value()), L"yes");
}

// --- Reading a change backup --------------------------------------------------------------------

// One value as a change backup holds it.
struct SavedValue {
  std::wstring name;
  std::optional<RegistryValueData> before;  // none: the value did not exist
  enum class Written { kUnknown, kSet, kDeleted } written = Written::kUnknown;
  RegistryValueData writtenData;
};

struct SavedKey {
  RegRoot hive = RegRoot::LocalMachine;
  bool view32 = false;
  std::wstring path;
  std::vector<SavedValue> values;
};

struct SavedChange {
  std::wstring description;
  std::vector<SavedKey> keys;
};

// A `type` attribute: the number a save writes, or a name earlier versions wrote. nullopt for
// anything else (earlier versions read an unknown name as REG_NONE: that is refused now).
std::optional<uint32_t> ParseType(const char* text) {
  const std::wstring type = FromUtf8(text);
  if (AllDigits(type)) {
    if (type.size() > 10) return std::nullopt;
    const uint64_t number = std::stoull(type);
    if (number > 0xFFFFFFFFull) return std::nullopt;
    return uint32_t(number);
  }
  const uint32_t number = ValueTypeFromName(type);
  if (number == regtype::None && !EqualsNoCase(type, L"REG_NONE")) return std::nullopt;
  return number;
}

// The data of a value: `size` bytes of its Base64; false when it has fewer.
bool ParseData(const char* base64, const char* size, std::vector<uint8_t>& out) {
  out = Base64Decode(base64);
  const size_t wanted = ArchiveValueSize(size);
  if (wanted > out.size()) return false;
  out.resize(wanted);
  return true;
}

std::wstring KeyText(RegRoot hive, bool view32, std::wstring_view path, std::wstring_view value) {
  std::wstring text = HiveName(hive) + L"\\" + std::wstring(path);
  if (!value.empty()) text += L"\\" + std::wstring(value);
  if (hive == RegRoot::LocalMachine && view32) text += L" (32-bit view)";
  return text;
}

// One value element, or the reason it is refused.
bool ParseValue(pugi::xml_node element, RegRoot hive, const std::wstring& keyText,
                SavedValue& value, std::wstring& refused) {
  value.name = FromUtf8(element.attribute("name").value());
  if (!element.attribute("name") || !IsChangeableValue(hive, value.name)) {
    refused =
        L"the value \"" + value.name + L"\" of " + keyText + L", which Tessaly does not change";
    return false;
  }
  const std::wstring valueText = keyText + L"\\" + value.name;
  if (!IsYes(element.attribute("absent"))) {
    const std::optional<uint32_t> type = ParseType(element.attribute("type").value());
    if (!type) {
      refused = L"the value type \"" + FromUtf8(element.attribute("type").value()) + L"\" in " +
                valueText + L", which is not a type Tessaly writes";
      return false;
    }
    value.before = RegistryValueData{*type, {}};
    if (!element.attribute("size") ||
        !ParseData(element.child_value(), element.attribute("size").value(), value.before->data)) {
      refused = L"the value " + valueText + L", whose size is beyond its data";
      return false;
    }
  }
  if (IsYes(element.attribute("writtenAbsent"))) {
    value.written = SavedValue::Written::kDeleted;
  } else if (element.attribute("writtenType")) {
    const std::optional<uint32_t> type = ParseType(element.attribute("writtenType").value());
    if (!type || !ParseData(element.attribute("written").value(),
                            element.attribute("writtenSize").value(), value.writtenData.data)) {
      refused = L"what the change wrote into " + valueText + L", which cannot be read";
      return false;
    }
    value.writtenData.type = *type;
    value.written = SavedValue::Written::kSet;
  }
  return true;
}

// Reads a change backup without recursion: it holds only what a save writes (product keys one
// level below the root and their changeable values), and anything else refuses the whole file.
bool ParseChange(const pugi::xml_document& document, SavedChange& change, std::wstring& refused) {
  const pugi::xml_node root = document.child("RegistryChange");
  if (!root) {
    refused = L"no change of Tessaly";
    return false;
  }
  change.description = FromUtf8(root.child_value("Description"));
  for (pugi::xml_node archive = root.child("RegistryArchive"); archive;
       archive = archive.next_sibling("RegistryArchive")) {
    const std::wstring hiveText = FromUtf8(archive.child_value("Hive"));
    const std::optional<RegRoot> hive = HiveFromName(hiveText);
    if (!hive || (*hive != RegRoot::LocalMachine && *hive != RegRoot::CurrentUser)) {
      refused = L"the hive \"" + hiveText + L"\"";
      return false;
    }
    const std::wstring rootSubkey = FromUtf8(archive.child_value("RootSubkey"));
    if (!archive.child("RootSubkey") || !EqualsNoCase(rootSubkey, kArchiveRootSubkey)) {
      refused = L"the key \"" + rootSubkey + L"\"";
      return false;
    }
    const pugi::xml_node top = archive.child("Subkey");
    if (!archive.child("Force32") || !top || top.next_sibling("Subkey")) {
      refused = L"an archive without its view or its one root key";
      return false;
    }
    const std::wstring topName = FromUtf8(top.attribute("name").value());
    if (!topName.empty() && !EqualsNoCase(topName, kArchiveRootSubkey)) {
      refused = L"the key \"" + topName + L"\"";
      return false;
    }
    const bool view32 = EqualsNoCase(FromUtf8(archive.child_value("Force32")), L"yes");
    if (top.child("Value")) {
      refused = L"values of " + KeyText(*hive, view32, kArchiveRootSubkey, {}) +
                L" itself, which Tessaly does not change";
      return false;
    }
    for (pugi::xml_node product = top.child("Subkey"); product;
         product = product.next_sibling("Subkey")) {
      const std::wstring name = FromUtf8(product.attribute("name").value());
      SavedKey key{*hive, view32, std::wstring(kArchiveRootSubkey) + L"\\" + name, {}};
      const std::wstring keyText = KeyText(*hive, view32, key.path, {});
      if (!product.attribute("name") || ProductKeyName(key.path).empty()) {
        refused = L"the key " + keyText + L", which is not a product key";
        return false;
      }
      if (product.child("Subkey")) {
        refused = L"keys below " + keyText + L", deeper than Tessaly saves them";
        return false;
      }
      for (pugi::xml_node element = product.child("Value"); element;
           element = element.next_sibling("Value")) {
        SavedValue value;
        if (!ParseValue(element, *hive, keyText, value, refused)) return false;
        key.values.push_back(std::move(value));
      }
      change.keys.push_back(std::move(key));
    }
  }
  return true;
}

ErrorCode ReadChange(FileSystem& fs, std::wstring_view path, SavedChange& change,
                     std::wstring* refused) {
  pugi::xml_document document;
  if (const ErrorCode loaded = LoadDocument(fs, path, document); loaded != err::Success) {
    if (loaded == err::InternalError && refused) *refused = L"text that is not XML";
    return loaded;
  }
  std::wstring reason;
  if (!ParseChange(document, change, reason)) {
    if (refused) *refused = std::move(reason);
    return err::InternalError;
  }
  return err::Success;
}

// The present state of a value: nullopt when it does not exist; false when it cannot be read.
bool ReadPresent(Registry& registry, const SavedKey& key, const std::wstring& name,
                 std::optional<RegistryValueData>& out) {
  std::unique_ptr<RegistryKey> opened;
  if (registry.OpenKey(key.hive, key.path, access::Read | ViewFlag(key.view32), opened) !=
          err::Success ||
      !opened)
    return false;
  RegistryValueData present;
  const ErrorCode queried = opened->QueryValue(name, &present.type, &present.data);
  if (queried == err::FileNotFound) {
    out.reset();
    return true;
  }
  if (queried != err::Success) return false;
  out = std::move(present);
  return true;
}

}  // namespace

RegistryValueData TextValueData(std::wstring_view text) {
  return {regtype::Sz, ToUtf16Bytes(text, true)};
}

RegistryValueData DwordValueData(uint32_t number) {
  return {regtype::Dword,
          {uint8_t(number), uint8_t(number >> 8), uint8_t(number >> 16), uint8_t(number >> 24)}};
}

bool IsChangeableValue(RegRoot hive, std::wstring_view name) {
  const auto matches = [name](const wchar_t* allowed) { return EqualsNoCase(name, allowed); };
  if (hive == RegRoot::LocalMachine)
    return std::any_of(std::begin(kMachineValues), std::end(kMachineValues), matches);
  if (hive == RegRoot::CurrentUser)
    return std::any_of(std::begin(kUserValues), std::end(kUserValues), matches);
  return false;
}

ErrorCode SaveChangeBackup(const BackupContext& context, std::wstring_view description,
                           std::span<const ChangedValue> values, std::wstring* savedPath) noexcept {
  try {
    const LocalTime now = context.system.GetLocalTime();
    const FileTime utc = context.system.GetUtcTime();
    const std::string time = Base64Encode(ArchiveTimeBytes(now));
    pugi::xml_document document;
    pugi::xml_node change = document.append_child("RegistryChange");
    if (!change || !AddTextChild(change, "Description", description) ||
        !AddAsciiChild(change, "LocalLoadTime", time) ||
        !AddAsciiChild(change, "UtcTime", Base64Encode(LastWriteBytes(utc))))
      return err::InternalError;
    for (const ChangedValue& value : values)
      if (const ErrorCode e = CaptureValue(context.registry, change, time, value);
          e != err::Success)
        return e;

    std::wstring folder;
    if (const ErrorCode found = GetBackupFolder(context.fs, context.system, folder);
        found != err::Success)
      return found;
    // The counter follows the highest of the folder, so the new backup is the newest whatever
    // the clock says; a name already taken (another instance saving now) moves it on.
    std::vector<BackupName> names;
    if (const ErrorCode listed = ChangeBackupNames(context.fs, folder, names);
        listed != err::Success)
      return listed;
    uint64_t counter = 1;
    for (const BackupName& name : names)
      if (name.counter) counter = std::max(counter, *name.counter + 1);
    std::wstring name, path;
    for (int tries = 0; tries < kMaxNameTries && path.empty(); ++tries, ++counter) {
      name = FileNameFor(counter, utc);
      std::wstring candidate = folder + L"\\" + name;
      uint32_t attributes = 0;
      if (context.fs.GetAttributes(candidate, attributes) != err::Success)
        path = std::move(candidate);
    }
    if (path.empty()) return err::InternalError;

    BufferWriter writer;
    document.save(writer);
    if (context.fs.WriteFile(path, writer.buffer.data(), writer.buffer.size()) != err::Success) {
      // A half-written file would be listed as a change that cannot be undone.
      context.fs.DeleteFile(path);
      return err::InternalError;
    }
    if (savedPath) *savedPath = path;

    // Only after the new backup is safely on disk do the oldest ones go, and never the new one;
    // a file that cannot be removed stays, and is tried again after the next change.
    // The new backup is saved whatever happens here, so the change may go ahead.
    try {
      if (ChangeBackupNames(context.fs, folder, names) == err::Success) {
        for (size_t i = 0; i + kKeptChangeBackups < names.size(); ++i)
          if (!EqualsNoCase(names[i].name, name))
            context.fs.DeleteFile(folder + L"\\" + names[i].name);
      }
    } catch (...) {
    }
    return err::Success;
  } catch (...) {
    return err::InternalError;
  }
}

std::wstring ChangeBackupFailedMessage(ErrorCode error) {
  return L"Tessaly could not save a backup of the settings it was about to change (error " +
         std::to_wstring(error) + L"), so nothing was changed.";
}

ErrorCode ListChangeBackups(const BackupContext& context, std::vector<ChangeBackupEntry>& out,
                            std::wstring* folderOut) noexcept {
  try {
    out.clear();
    std::wstring folder;
    const ErrorCode found = GetBackupFolder(context.fs, context.system, folder);
    if (folderOut) *folderOut = folder;
    if (found != err::Success) return found;
    std::vector<BackupName> names;
    if (const ErrorCode listed = ChangeBackupNames(context.fs, folder, names);
        listed != err::Success)
      return listed;
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
      ChangeBackupEntry entry;
      entry.path = folder + L"\\" + name->name;
      pugi::xml_document document;
      if (LoadDocument(context.fs, entry.path, document) != err::Success) continue;
      const pugi::xml_node change = document.child("RegistryChange");
      if (!change) continue;
      // The UTC time in the zone of now; backups of earlier versions have only their local time.
      LocalTime when;
      const std::vector<uint8_t> utc = Base64Decode(change.child_value("UtcTime"));
      const std::vector<uint8_t> local = Base64Decode(change.child_value("LocalLoadTime"));
      FileTime utcTime = 0;
      for (size_t i = 0; i < utc.size() && i < 8; ++i) utcTime |= FileTime(utc[i]) << (8 * i);
      if (utc.size() == 8 && context.system.UtcToLocalTime(utcTime, when) == err::Success) {
      } else if (local.size() >= 16) {
        when = ArchiveTimeFromBytes(local);
      } else {
        continue;
      }
      if (context.system.FormatLocalDateTime(when, entry.date) != err::Success) continue;
      entry.description = FromUtf8(change.child_value("Description"));
      out.push_back(std::move(entry));
    }
    return err::Success;
  } catch (...) {
    out.clear();
    return err::InternalError;
  }
}

ErrorCode PreviewUndo(const BackupContext& context, std::wstring_view path, UndoPreview& preview,
                      std::wstring* refused) noexcept {
  try {
    preview = UndoPreview{};
    SavedChange change;
    if (const ErrorCode read = ReadChange(context.fs, path, change, refused); read != err::Success)
      return read;
    preview.description = change.description;
    for (const SavedKey& key : change.keys) {
      for (const SavedValue& value : key.values) {
        if (value.written == SavedValue::Written::kUnknown) {
          ++preview.notRecorded;
          continue;
        }
        std::optional<RegistryValueData> present;
        // A key or value that cannot be read is not overwritten either: the undo fails there.
        if (!ReadPresent(context.registry, key, value.name, present)) continue;
        const std::optional<RegistryValueData> written =
            value.written == SavedValue::Written::kSet
                ? std::optional<RegistryValueData>(value.writtenData)
                : std::nullopt;
        // What the change wrote, or what the undo puts back anyway, loses nothing.
        if (present == written || present == value.before) continue;
        preview.changedSince.push_back(KeyText(key.hive, key.view32, key.path, value.name));
      }
    }
    return err::Success;
  } catch (...) {
    preview = UndoPreview{};
    return err::InternalError;
  }
}

ErrorCode UndoChangeBackup(const BackupContext& context, std::wstring_view path, UndoCounts& counts,
                           std::wstring* refused, std::wstring* undoPath) noexcept {
  counts = UndoCounts{};
  try {
    SavedChange change;
    if (const ErrorCode read = ReadChange(context.fs, path, change, refused); read != err::Success)
      return read;

    // The undo is a change like any other: what it replaces is saved first.
    std::vector<ChangedValue> undone;
    for (const SavedKey& key : change.keys)
      for (const SavedValue& value : key.values)
        undone.push_back(
            {key.hive, key.view32, key.path, value.name, value.before, !value.before.has_value()});
    // A change whose keys were all gone when it was saved holds nothing, and puts back nothing.
    if (undone.empty()) return err::Success;
    if (const ErrorCode saved =
            SaveChangeBackup(context, L"Undo of: " + change.description, undone, undoPath);
        saved != err::Success)
      return saved;

    for (const SavedKey& key : change.keys) {
      std::unique_ptr<RegistryKey> opened;
      const ErrorCode open = context.registry.OpenKey(key.hive, key.path,
                                                      access::Write | ViewFlag(key.view32), opened);
      const bool keyGone = open == err::FileNotFound || open == err::PathNotFound;
      for (const SavedValue& value : key.values) {
        ErrorCode result = open != err::Success ? open : opened ? err::Success : err::InternalError;
        if (!value.before) {
          // A value that did not exist before the change is deleted; one already gone is back.
          if (keyGone) {
            result = err::Success;
          } else if (result == err::Success) {
            result = opened->DeleteValue(value.name);
            if (result == err::FileNotFound) result = err::Success;
          }
        } else if (result == err::Success) {
          result = opened->SetValue(value.name, value.before->type, value.before->data.data(),
                                    value.before->data.size());
        }
        ++(result == err::Success ? counts.restored : counts.failed);
      }
    }
    return err::Success;
  } catch (...) {
    return err::InternalError;
  }
}

std::wstring UndoQuestion(const ChangeBackupEntry& backup, const UndoPreview& preview) {
  std::wstring text = FormatText(L"This will put back the settings that the change \"%s\" of %s "
                                 L"replaced.",
                                 backup.description.c_str(), backup.date.c_str());
  if (!preview.changedSince.empty()) {
    text += L"\n\nThese settings have changed since and will be overwritten:";
    for (const std::wstring& value : preview.changedSince) text += L"\n" + value;
  }
  if (preview.notRecorded != 0) {
    text += L"\n\nThis backup was made by an earlier version of Tessaly and does not record what "
            L"the change wrote, so settings changed since cannot be shown; they will be "
            L"overwritten too.";
  }
  text += L"\n\nThe undo is saved as a change of its own, so that it can be undone. It will not "
          L"delete or restore any files. Do you wish to proceed?";
  return text;
}

std::wstring UndoRefusedMessage(std::wstring_view path, ErrorCode error,
                                std::wstring_view refused) {
  const std::wstring file(path);
  if (!refused.empty()) {
    return FormatText(L"The backup %s was not used, because it holds %s. A backup that Tessaly "
                      L"saved holds only the folders and Libraries-tab settings of products. "
                      L"Nothing was changed.",
                      file.c_str(), std::wstring(refused).c_str());
  }
  return FormatText(L"The backup %s could not be read (error %lu). Nothing was changed.",
                    file.c_str(), error);
}

std::wstring BackupFolderUnreadableMessage(std::wstring_view folder, ErrorCode error) {
  if (folder.empty()) {
    return FormatText(L"The folder of Tessaly's backups cannot be found or made (error %lu), so "
                      L"the changes that could be undone cannot be listed.",
                      error);
  }
  return FormatText(L"The folder of Tessaly's backups, %s, cannot be read (error %lu), so the "
                    L"changes that could be undone cannot be listed.",
                    std::wstring(folder).c_str(), error);
}

}  // namespace tessaly
