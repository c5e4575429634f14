// The file database: reading FileDatabase.xml, and the check that lets the product manager skip
// its locate page.
#include "catalog/file_database.h"

#include <new>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "platform/file_ops.h"
#include "platform/text.h"

namespace tessaly {

ErrorCode CNiFileDatabase::Read(const wchar_t* path) {
  if (!path) return err::InvalidParameter;
  entries_.clear();
  try {
    std::vector<uint8_t> bytes;
    if (fs_->ReadFile(path, 0, SIZE_MAX, bytes) != err::Success) return err::InternalError;
    return ReadBytes(bytes.data(), bytes.size());
  } catch (const std::bad_alloc&) {
    return err::InternalError;
  }
}

ErrorCode CNiFileDatabase::ReadBytes(const uint8_t* data, size_t size) {
  entries_.clear();
  try {
    pugi::xml_document xml;
    if (!xml.load_buffer(data, size)) return err::InternalError;
    const pugi::xml_node root = xml.child("FileDatabase");
    if (!root) return err::InternalError;
    for (pugi::xml_node node = root.child("Product"); node; node = node.next_sibling()) {
      if (node.type() != pugi::node_element) continue;
      const pugi::xml_attribute key = node.attribute("RegKey");
      if (!key) continue;
      CNiProduct entry;
      entry.SetFileDatabaseEntry(FromUtf8(key.value()).c_str(),
                                 FromUtf8(node.child("AppFile").child_value()).c_str(),
                                 FromUtf8(node.child("PluginFile").child_value()).c_str(),
                                 FromUtf8(node.child("Type").child_value()).c_str());
      if (!Add(entry)) return err::InternalError;
    }
    return err::Success;
  } catch (const std::bad_alloc&) {
    return err::InternalError;
  }
}

bool CNiFileDatabase::Add(const CNiProduct& entry) {
  try {
    entries_.emplace(entry.keyName, entry);
    hasEntries_ = true;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

const CNiProduct* CNiFileDatabase::Find(std::wstring_view keyName) const {
  const auto found = entries_.find(keyName);
  return found == entries_.end() ? nullptr : &found->second;
}

void CNiFileDatabase::Clear() {
  entries_.clear();
  hasEntries_ = false;
}

ErrorCode CheckFileDatabase(CProfileStore& profile, FileSystem& fs, const wchar_t* path) {
  const std::wstring checked = path ? std::wstring(path)
                                    : profile.GetProfileString(kSettingsSection, kFileDatabasePath,
                                                               kDefaultFileDatabasePath);
  if (checked.empty()) return err::FileNotFound;
  // Checked and stored in full: a relative path would name another file, or none, once the
  // process's current folder changes (a shell file dialog may change it).
  std::wstring full;
  if (fs.GetFullPath(checked, full) != err::Success) full = checked;
  if (!PathExists(fs, full)) return err::FileNotFound;
  return profile.WriteProfileString(kSettingsSection, kFileDatabasePath, full) ? err::Success
                                                                               : err::InternalError;
}

}  // namespace tessaly
