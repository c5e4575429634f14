// CPluginList and CPluginMap: grouping, ids, column sorts and deletion of plugin files.
#include "plugins/plugin_map.h"

#include <algorithm>
#include <new>
#include <vector>

#include "platform/file_ops.h"

namespace tessaly {

namespace {

constexpr uint32_t kNoId = 0xFFFFFFFFu;

// FileTimeToSystemTime refuses times with the top bit set.
constexpr FileTime kLastConvertibleTime = 0x7FFFFFFFFFFFFFFFull;

uint64_t VersionOf(const CPluginFile& file) {
  return file.RecordedVersion().value_or(0);  // 0 when the file has none
}

// Deletes a bundle's folder tree. Only a folder is deleted this way, and a folder link only as
// the link: whatever lies behind it is never reached.
ErrorCode DeleteBundle(FileSystem& fs, const std::wstring& path) {
  uint32_t attributes = 0;
  const ErrorCode rc = fs.GetAttributes(path, attributes);
  if (rc == err::FileNotFound || rc == err::PathNotFound) return err::Success;
  if (rc != err::Success) return rc;
  if (!(attributes & attr::Directory)) return err::AccessDenied;
  if (attributes & attr::ReparsePoint) return RemoveFolder(fs, path);
  const ErrorCode deleted = DeleteTree(fs, PatternSet{L"*"}, path, {.removeFolders = true});
  return deleted == err::FileNotFound || deleted == err::PathNotFound ? err::Success : deleted;
}

// After a bundle's delete failed (DeleteTree goes on past a file it cannot remove, and reports
// the last failure, often the folder that stayed non-empty): its files are tried once more to
// find the one that is held, with that file's own error, and the member keeps what is left,
// that file first. 0 when nothing is left after all.
ErrorCode KeepWhatIsLeft(CPluginFile& bundle, ErrorCode rc) {
  FileSystem& fs = bundle.Files();
  const auto redirection = bundle.Sys().DisableFileRedirection();
  const std::wstring path = bundle.GetPath();
  std::vector<BundleMember> left;
  (void)ListBundle(fs, path, left);  // what could be listed is what is tried
  std::wstring heldFile;
  for (const BundleMember& member : left) {
    if (member.link) continue;
    const ErrorCode held = DeleteOneFile(fs, path + L"\\" + member.relativePath);
    if (held != err::Success) {
      heldFile = member.relativePath;
      rc = held;
      break;
    }
  }
  (void)ListBundle(fs, path, left);  // the tries above may have removed some
  if (left.empty() && DeleteBundle(fs, path) == err::Success) return err::Success;
  const auto held = std::find_if(left.begin(), left.end(), [&](const BundleMember& member) {
    return member.relativePath == heldFile;
  });
  if (held != left.end()) std::rotate(left.begin(), held, held + 1);
  bundle.SetBundleMembers(std::move(left));
  return rc;
}

}  // namespace

// --- CPluginList ------------------------------------------------------------------------------

bool CPluginList::Add(const CPluginFile& file) {
  try {
    // The node is made apart and spliced in, so a failed allocation changes nothing.
    std::list<Member> node;
    node.push_back(Member{nextId_, file});
    node.back().file.SetId(nextId_);
    files_.splice(files_.end(), node);
  } catch (const std::bad_alloc&) {
    return false;
  }
  ++count_;
  if (++nextId_ == kNoId) nextId_ = 0;
  return true;
}

void CPluginList::Sort(int column) {
  // std::list::sort is a stable merge sort: equal members keep their order.
  switch (column) {
    case kFolder:
      files_.sort([](const Member& a, const Member& b) {
        return CompareNoCase(a.file.GetPath(), b.file.GetPath()) < 0;
      });
      break;
    case kDate:
      files_.sort([](const Member& a, const Member& b) {
        const FileTime ta = a.file.Entry().lastWriteTime, tb = b.file.Entry().lastWriteTime;
        // A time that has no calendar date never goes first.
        if (ta > kLastConvertibleTime || tb > kLastConvertibleTime) return false;
        return ta < tb;
      });
      break;
    case kVersion:
      RecordVersions();
      files_.sort(
          [](const Member& a, const Member& b) { return VersionOf(a.file) < VersionOf(b.file); });
      break;
    case kSize:
      files_.sort(
          [](const Member& a, const Member& b) { return a.file.GetSize() < b.file.GetSize(); });
      break;
    case kPlatform:
      // The machine values order the labels: "?" (0), 32-bit, ARM, Itanium, 64-bit.
      for (Member& m : files_) {
        if (!m.file.IsMachineRecorded()) m.file.RecordMachine();
      }
      files_.sort([](const Member& a, const Member& b) {
        return a.file.RecordedMachine() < b.file.RecordedMachine();
      });
      break;
    default: break;
  }
}

void CPluginList::RecordVersions() {
  for (Member& m : files_) m.file.RecordVersion();
}

void CPluginList::Reverse() { files_.reverse(); }

ErrorCode CPluginList::DeleteById(uint32_t id) {
  try {
    auto it = files_.begin();
    while (it != files_.end() && it->id != id) ++it;
    if (it == files_.end()) return err::FileNotFound;
    const std::wstring path = it->file.GetPath();
    if (path.empty()) return err::NotReady;

    FileSystem& fs = it->file.Files();
    ErrorCode rc;
    {
      // The search saw the file with redirection off; a 32-bit program on 64-bit Windows would
      // otherwise reach another file under the system folder.
      const auto redirection = it->file.Sys().DisableFileRedirection();
      if (it->file.IsBundle()) {
        rc = DeleteBundle(fs, path);
      } else {
        rc = ClearReadOnly(fs, path);
        // The delete decides: a file that is gone is deleted, even when its attribute could not
        // be read or changed first (reporting that error would leave a member without a file).
        const ErrorCode deleted = fs.DeleteFile(path);
        rc = deleted == err::Success || deleted == err::FileNotFound ? err::Success : deleted;
      }
    }
    if (rc != 0) {
      if (it->file.IsBundle()) rc = KeepWhatIsLeft(it->file, rc);
      if (rc != 0) return rc;
    }
    files_.erase(it);
    --count_;
    return 0;
  } catch (...) {
    return err::InternalError;
  }
}

CPluginFile* CPluginList::FindById(uint32_t id) {
  for (Member& m : files_)
    if (m.id == id) return &m.file;
  return nullptr;
}

const CPluginFile* CPluginList::FindById(uint32_t id) const {
  for (const Member& m : files_)
    if (m.id == id) return &m.file;
  return nullptr;
}

// --- CPluginMap -------------------------------------------------------------------------------

bool CPluginMap::Add(const CPluginFile& file) {
  if (!file.IsFound()) return false;
  try {
    std::wstring key = file.GetKey();
    if (key.empty()) return false;
    auto it = groups_.find(key);
    if (it == groups_.end()) it = groups_.emplace(std::move(key), CPluginList()).first;
    return it->second.Add(file);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

CPluginList* CPluginMap::Find(std::wstring_view key) {
  auto it = groups_.find(key);
  return it == groups_.end() ? nullptr : &it->second;
}

const CPluginList* CPluginMap::Find(std::wstring_view key) const {
  auto it = groups_.find(key);
  return it == groups_.end() ? nullptr : &it->second;
}

uint32_t CPluginMap::CountGroups(uint32_t& singles, uint32_t& withDuplicates,
                                 uint32_t& total) const {
  singles = withDuplicates = total = 0;
  for (const auto& [key, list] : groups_) {
    if (list.Count() == 1) ++singles;
    if (list.Count() >= 2) ++withDuplicates;
    total += list.Count();
  }
  return static_cast<uint32_t>(groups_.size());
}

}  // namespace tessaly
