// Change backups: the values a change is about to write, saved before it and put back on request.
//
// Like the first-run backups, every operation here is a boundary: whatever throws below it
// becomes 1359, so that no page sees an exception.
#include "registry_archive/change_backups.h"

#include <algorithm>
#include <memory>
#include <utility>

#include <pugixml.hpp>

#include "platform/text.h"
#include "registry_archive/archive_xml.h"
#include "registry_archive/base64.h"
#include "registry_archive/registry_archive.h"

namespace tessaly {

namespace {

constexpr const wchar_t* kFilePrefix = L"Change-";
constexpr const wchar_t* kFileSuffix = L".xml";
// Change-YYYYMMDD-HHMMSS-mmm-NNN.xml: the name sorts as the capture time does.
constexpr size_t kFileNameLength = 34;
constexpr int kMaxSameMillisecond = 1000;

uint32_t ViewFlag(bool view32) { return view32 ? access::Wow64_32Key : access::Wow64_64Key; }

bool IsChangeBackupName(std::wstring_view name) {
  if (name.size() != kFileNameLength || !StartsWithNoCase(name, kFilePrefix) ||
      !EqualsNoCase(name.substr(name.size() - 4), kFileSuffix))
    return false;
  const std::wstring_view middle = name.substr(7, kFileNameLength - 7 - 4);
  for (size_t i = 0; i < middle.size(); ++i) {
    const bool dash = i == 8 || i == 15 || i == 19;
    if (dash ? middle[i] != L'-' : (middle[i] < L'0' || middle[i] > L'9')) return false;
  }
  return true;
}

std::wstring Digits(unsigned value, int width) {
  std::wstring text = std::to_wstring(value);
  if (text.size() < size_t(width)) text.insert(0, size_t(width) - text.size(), L'0');
  return text;
}

std::wstring FileNameFor(const LocalTime& t, int sequence) {
  return kFilePrefix + Digits(t.year, 4) + Digits(t.month, 2) + Digits(t.day, 2) + L"-" +
         Digits(t.hour, 2) + Digits(t.minute, 2) + Digits(t.second, 2) + L"-" +
         Digits(t.milliseconds, 3) + L"-" + Digits(unsigned(sequence), 3) + kFileSuffix;
}

// The change backups of `folder` by name, oldest first.
std::vector<std::wstring> ChangeBackupNames(FileSystem& fs, const std::wstring& folder) {
  std::vector<std::wstring> names;
  fs.FindFiles(folder + L"\\Change-*.xml", [&names](const FindData& entry) {
    if (!(entry.attributes & attr::Directory) && IsChangeBackupName(entry.name))
      names.push_back(entry.name);
    return true;
  });
  std::sort(names.begin(), names.end(),
            [](const std::wstring& a, const std::wstring& b) { return CompareNoCase(a, b) < 0; });
  return names;
}

using archive_xml::AddAsciiChild;
using archive_xml::AddTextChild;

// The child Subkey of `parent` named `name` (without regard to case), added with an empty
// LastWrite when missing.
pugi::xml_node SubkeyOf(pugi::xml_node parent, std::wstring_view name) {
  for (pugi::xml_node child = parent.child("Subkey"); child; child = child.next_sibling("Subkey"))
    if (EqualsNoCase(FromUtf8(child.attribute("name").value()), name)) return child;
  pugi::xml_node child = parent.append_child("Subkey");
  if (!child || !child.append_attribute("name").set_value(ToUtf8(name).c_str()) ||
      !AddAsciiChild(child, "LastWrite", Base64Encode(std::vector<uint8_t>(8, 0))))
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
      !AddTextChild(archive, "RootSubkey", kArchiveRootSubkey) || !AddAsciiChild(archive, "LocalLoadTime", time) ||
      !AddTextChild(archive, "Force32", view32 ? L"Yes" : L"No"))
    return {};
  pugi::xml_node root = archive.append_child("Subkey");
  if (!root || !root.append_attribute("name").set_value(ToUtf8(kArchiveRootSubkey).c_str()) ||
      !AddAsciiChild(root, "LastWrite", Base64Encode(std::vector<uint8_t>(8, 0))))
    return {};
  return archive;
}

// The components of `keyPath` below SOFTWARE\Native Instruments; false when it lies elsewhere.
bool ComponentsBelowRoot(std::wstring_view keyPath, std::vector<std::wstring>& out) {
  const std::wstring_view root = kArchiveRootSubkey;
  if (keyPath.size() <= root.size() + 1 || !StartsWithNoCase(keyPath, root) ||
      keyPath[root.size()] != L'\\')
    return false;
  std::wstring_view rest = keyPath.substr(root.size() + 1);
  while (!rest.empty()) {
    const size_t slash = rest.find(L'\\');
    const std::wstring_view part = rest.substr(0, slash);
    if (part.empty()) return false;
    out.emplace_back(part);
    rest = slash == std::wstring_view::npos ? std::wstring_view() : rest.substr(slash + 1);
  }
  return !out.empty();
}

// Adds the present state of one value to the document: 0, or the error that must stop the change.
ErrorCode CaptureValue(Registry& registry, pugi::xml_node change, const std::string& time,
                       const ChangedValue& value) {
  if (value.hive != RegRoot::LocalMachine && value.hive != RegRoot::CurrentUser)
    return err::InvalidParameter;
  std::vector<std::wstring> components;
  if (!ComponentsBelowRoot(value.keyPath, components)) return err::InvalidParameter;

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

  pugi::xml_node element = ArchiveFor(change, value.hive, value.view32, time).child("Subkey");
  for (const std::wstring& component : components) element = SubkeyOf(element, component);
  if (!element) return err::InternalError;
  for (pugi::xml_node saved = element.child("Value"); saved; saved = saved.next_sibling("Value"))
    if (EqualsNoCase(FromUtf8(saved.attribute("name").value()), value.valueName))
      return err::Success;

  if (RegKeyInfo info; key->QueryInfo(info) == err::Success) {
    std::vector<uint8_t> lastWrite(8);
    for (int i = 0; i < 8; ++i) lastWrite[i] = uint8_t(info.lastWriteTime >> (8 * i));
    element.child("LastWrite").text().set(Base64Encode(lastWrite).c_str());
  }
  pugi::xml_node saved = AddValue(element);
  if (!saved || !saved.append_attribute("name").set_value(ToUtf8(value.valueName).c_str()))
    return err::InternalError;
  if (queried == err::FileNotFound) {
    if (!saved.append_attribute("absent").set_value("Yes")) return err::InternalError;
    return err::Success;
  }
  if (!saved.append_attribute("type").set_value(ToUtf8(ValueTypeName(type)).c_str()) ||
      !saved.append_attribute("size").set_value(std::to_string(data.size()).c_str()) ||
      !saved.text().set(Base64Encode(data).c_str()))
    return err::InternalError;
  return err::Success;
}

using archive_xml::BufferWriter;

ErrorCode LoadDocument(FileSystem& fs, std::wstring_view path, pugi::xml_document& document) {
  if (path.empty()) return err::InvalidParameter;
  std::vector<uint8_t> bytes;
  const ErrorCode read = fs.ReadFile(path, 0, SIZE_MAX, bytes);
  if (read == err::FileNotFound || read == err::PathNotFound) return err::FileNotFound;
  if (read != err::Success || !document.load_buffer(bytes.data(), bytes.size()))
    return err::InternalError;
  return err::Success;
}

bool IsAbsentMarker(pugi::xml_node value) {
  return EqualsNoCase(FromUtf8(value.attribute("absent").value()), L"yes");
}

// A key of a change backup below the root: a name of its own, one path component, and values
// that can be put back exactly as recorded.
bool IsValidKey(pugi::xml_node key, bool isRoot) {
  const std::wstring name = FromUtf8(key.attribute("name").value());
  if (!isRoot && (name.empty() || name.find(L'\\') != std::wstring::npos)) return false;
  for (pugi::xml_node value = key.child("Value"); value; value = value.next_sibling("Value")) {
    if (!value.attribute("name")) return false;
    if (IsAbsentMarker(value)) continue;
    if (!value.attribute("type") || !value.attribute("size") ||
        ArchiveValueSize(value.attribute("size").value()) > Base64Decode(value.child_value()).size())
      return false;
  }
  for (pugi::xml_node child = key.child("Subkey"); child; child = child.next_sibling("Subkey"))
    if (!IsValidKey(child, false)) return false;
  return true;
}

// Only what the program's own change backups hold is written back: an edited file that names
// another hive or key is refused whole, before anything is written.
bool IsValidArchive(pugi::xml_node archive) {
  const std::optional<RegRoot> hive = HiveFromName(FromUtf8(archive.child_value("Hive")));
  const pugi::xml_node root = archive.child("Subkey");
  if (!hive || (*hive != RegRoot::LocalMachine && *hive != RegRoot::CurrentUser) ||
      !archive.child("RootSubkey") || !archive.child("Force32") || !root ||
      !EqualsNoCase(FromUtf8(archive.child_value("RootSubkey")), kArchiveRootSubkey))
    return false;
  const std::wstring rootName = FromUtf8(root.attribute("name").value());
  if (!rootName.empty() && !EqualsNoCase(rootName, kArchiveRootSubkey)) return false;
  return IsValidKey(root, true);
}

void UndoKey(Registry& registry, RegRoot hive, bool view32, pugi::xml_node element,
             const std::wstring& path, UndoCounts& counts) {
  if (element.child("Value")) {
    std::unique_ptr<RegistryKey> key;
    const ErrorCode opened = registry.OpenKey(hive, path, access::Write | ViewFlag(view32), key);
    const bool keyGone = opened == err::FileNotFound || opened == err::PathNotFound;
    for (pugi::xml_node value = element.child("Value"); value;
         value = value.next_sibling("Value")) {
      const std::wstring name = FromUtf8(value.attribute("name").value());
      ErrorCode result = opened != err::Success ? opened : key ? err::Success : err::InternalError;
      if (IsAbsentMarker(value)) {
        // A value that did not exist before the change is deleted; one already gone is back.
        if (keyGone) {
          result = err::Success;
        } else if (result == err::Success) {
          result = key->DeleteValue(name);
          if (result == err::FileNotFound) result = err::Success;
        }
      } else if (result == err::Success) {
        const std::vector<uint8_t> data = Base64Decode(value.child_value());
        result = key->SetValue(name, ValueTypeFromName(FromUtf8(value.attribute("type").value())),
                               data.data(), ArchiveValueSize(value.attribute("size").value()));
      }
      ++(result == err::Success ? counts.restored : counts.failed);
    }
  }
  for (pugi::xml_node child = element.child("Subkey"); child; child = child.next_sibling("Subkey"))
    UndoKey(registry, hive, view32, child,
            path + L"\\" + FromUtf8(child.attribute("name").value()), counts);
}

}  // namespace

ErrorCode SaveChangeBackup(const BackupContext& context, std::wstring_view description,
                           std::span<const ChangedValue> values,
                           std::wstring* savedPath) noexcept {
  try {
    const LocalTime now = context.system.GetLocalTime();
    const std::string time = Base64Encode(ArchiveTimeBytes(now));
    pugi::xml_document document;
    pugi::xml_node change = document.append_child("RegistryChange");
    if (!change || !AddTextChild(change, "Description", description) ||
        !AddAsciiChild(change, "LocalLoadTime", time))
      return err::InternalError;
    for (const ChangedValue& value : values)
      if (const ErrorCode e = CaptureValue(context.registry, change, time, value); e != err::Success)
        return e;

    std::wstring folder;
    if (const ErrorCode found = GetBackupFolder(context.fs, context.system, folder);
        found != err::Success)
      return found;
    std::wstring path;
    for (int sequence = 0; sequence < kMaxSameMillisecond && path.empty(); ++sequence) {
      std::wstring candidate = folder + L"\\" + FileNameFor(now, sequence);
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

    // Only after the new backup is safely on disk do the oldest ones go; a file that cannot be
    // removed stays, and is tried again after the next change.
    // The new backup is saved whatever happens here, so the change may go ahead.
    try {
      const std::vector<std::wstring> names = ChangeBackupNames(context.fs, folder);
      for (size_t i = 0; i + kKeptChangeBackups < names.size(); ++i)
        context.fs.DeleteFile(folder + L"\\" + names[i]);
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

ErrorCode ListChangeBackups(const BackupContext& context,
                            std::vector<ChangeBackupEntry>& out) noexcept {
  try {
    out.clear();
    std::wstring folder;
    if (const ErrorCode found = GetBackupFolder(context.fs, context.system, folder);
        found != err::Success)
      return found;
    const std::vector<std::wstring> names = ChangeBackupNames(context.fs, folder);
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
      ChangeBackupEntry entry;
      entry.path = folder + L"\\" + *name;
      pugi::xml_document document;
      if (LoadDocument(context.fs, entry.path, document) != err::Success) continue;
      const pugi::xml_node change = document.child("RegistryChange");
      const std::vector<uint8_t> time = Base64Decode(change.child_value("LocalLoadTime"));
      if (!change || time.size() < 16 ||
          context.system.FormatLocalDateTime(ArchiveTimeFromBytes(time), entry.date) !=
              err::Success)
        continue;
      entry.description = FromUtf8(change.child_value("Description"));
      out.push_back(std::move(entry));
    }
    return err::Success;
  } catch (...) {
    out.clear();
    return err::InternalError;
  }
}

ErrorCode UndoChangeBackup(const BackupContext& context, std::wstring_view path,
                           UndoCounts& counts) noexcept {
  counts = UndoCounts{};
  try {
    pugi::xml_document document;
    if (const ErrorCode loaded = LoadDocument(context.fs, path, document); loaded != err::Success)
      return loaded;
    const pugi::xml_node change = document.child("RegistryChange");
    // A change whose keys were all gone when it was saved holds no archive, and puts back nothing.
    if (!change) return err::InternalError;
    for (pugi::xml_node archive = change.child("RegistryArchive"); archive;
         archive = archive.next_sibling("RegistryArchive"))
      if (!IsValidArchive(archive)) return err::InternalError;
    for (pugi::xml_node archive = change.child("RegistryArchive"); archive;
         archive = archive.next_sibling("RegistryArchive")) {
      const RegRoot hive = *HiveFromName(FromUtf8(archive.child_value("Hive")));
      const bool view32 = EqualsNoCase(FromUtf8(archive.child_value("Force32")), L"yes");
      UndoKey(context.registry, hive, view32, archive.child("Subkey"), kArchiveRootSubkey, counts);
    }
    return err::Success;
  } catch (...) {
    return err::InternalError;
  }
}

}  // namespace tessaly
