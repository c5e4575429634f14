// Tree walks of the relocation: every entry of a folder, and a copy compared with its original.
#include "relocation/copy_check.h"

#include <algorithm>
#include <map>
#include <vector>

#include "platform/text.h"

namespace tessaly {
namespace {

// Contents are compared this many bytes at a time.
constexpr size_t kCompareChunk = 1 << 20;

struct Walk {
  FileSystem& fs;
  const TreeVisitor& visit;
  bool stopped = false;

  ErrorCode Folder(const std::wstring& folder, const std::wstring& relative) {
    std::wstring query = folder;
    if (!path::Append(query, L"*.*", kTreePathCapacity)) return err::InternalError;
    // A snapshot of the listing, so that the visitor may act on the entries.
    std::vector<FindData> entries;
    const ErrorCode listed = fs.FindFiles(query, [&entries](const FindData& entry) {
      entries.push_back(entry);
      return true;
    });
    if (listed != err::Success && listed != err::FileNotFound) return listed;
    for (const FindData& entry : entries) {
      if (entry.name == L"." || entry.name == L"..") continue;
      std::wstring path = folder;
      std::wstring name = relative;
      if (!path::Append(path, entry.name, kTreePathCapacity) ||
          !path::Append(name, entry.name, kTreePathCapacity)) {
        return err::InternalError;
      }
      if (!visit(name, entry)) {
        stopped = true;
        return err::Success;
      }
      if (entry.IsDirectory() && !entry.IsReparsePoint()) {
        if (ErrorCode e = Folder(path, name)) return e;
        if (stopped) return err::Success;
      }
    }
    return err::Success;
  }
};

// The copy's entries, each folder listed once: the check of every entry of a folder of the
// original finds its counterpart in one listing of the copy's folder of that name, instead of
// asking for each entry by name. Only the folders on the walk's current path are kept.
class CopyListings {
 public:
  CopyListings(FileSystem& fs, const std::wstring& root) : fs_(fs), root_(root) {}

  // The copy's entry at `relative`, or null when there is none (or its folder cannot be listed).
  const FindData* Find(const std::wstring& relative) {
    const size_t cut = relative.find_last_of(L'\\');
    const std::wstring folder =
        cut == std::wstring::npos ? std::wstring() : relative.substr(0, cut);
    const std::wstring name = cut == std::wstring::npos ? relative : relative.substr(cut + 1);
    const size_t depth = static_cast<size_t>(std::count(folder.begin(), folder.end(), L'\\')) +
                         (folder.empty() ? 0 : 1);
    // The walk goes depth first: the listings above this folder are those of its own parents.
    if (depth >= levels_.size() || !EqualsNoCase(levels_[depth].folder, folder)) {
      levels_.resize(depth);
      levels_.push_back(List(folder));
    }
    const auto& entries = levels_[depth].entries;
    const auto found = entries.find(name);
    return found == entries.end() ? nullptr : &found->second;
  }

 private:
  struct Level {
    std::wstring folder;
    std::map<std::wstring, FindData, LessNoCaseFn> entries;  // by name, as Windows compares names
  };

  Level List(const std::wstring& folder) {
    Level level{folder, {}};
    std::wstring query = root_;
    if ((!folder.empty() && !path::Append(query, folder, kTreePathCapacity)) ||
        !path::Append(query, L"*.*", kTreePathCapacity)) {
      return level;
    }
    // A folder that cannot be listed has nothing to find in it: its entries are missing.
    (void)fs_.FindFiles(query, [&level](const FindData& entry) {
      if (entry.name != L"." && entry.name != L"..") level.entries.emplace(entry.name, entry);
      return true;
    });
    return level;
  }

  FileSystem& fs_;
  std::wstring root_;
  std::vector<Level> levels_;
};

// The place a folder link leads to, or empty when it leads nowhere that can be found.
std::wstring FinalPlace(FileSystem& fs, const std::wstring& link) {
  std::wstring place;
  if (fs.GetFinalPath(link, place) != err::Success) place.clear();
  return place;
}

// 0 when both files hold the same bytes, else the fault with its error.
CopyFault CompareContents(FileSystem& fs, const std::wstring& a, const std::wstring& b,
                          uint64_t size, CancelToken cancel, ErrorCode& error) {
  std::vector<uint8_t> left, right;
  for (uint64_t offset = 0; offset < size; offset += kCompareChunk) {
    if (cancel.Requested()) return CopyFault::Cancelled;
    if ((error = fs.ReadFile(a, offset, kCompareChunk, left)) ||
        (error = fs.ReadFile(b, offset, kCompareChunk, right))) {
      return CopyFault::Unreadable;
    }
    if (left != right) return CopyFault::ContentDiffers;
    if (left.empty()) break;  // the files ended early: their sizes told otherwise
  }
  return CopyFault::None;
}

}  // namespace

ErrorCode WalkTree(FileSystem& fs, std::wstring_view folder, const TreeVisitor& visit) {
  std::wstring root(folder);
  path::RemoveBackslash(root);
  Walk walk{fs, visit};
  return walk.Folder(root, L"");
}

std::wstring CopyCheck::Describe() const {
  const wchar_t* name = item.c_str();
  switch (fault) {
    case CopyFault::None: return {};
    case CopyFault::Missing: return FormatText(L"%s is missing", name);
    case CopyFault::NotAFolder: return FormatText(L"%s is not a folder there", name);
    case CopyFault::NotAFile: return FormatText(L"%s is a folder there, not a file", name);
    case CopyFault::SizeDiffers: return FormatText(L"%s has another size there", name);
    case CopyFault::ContentDiffers: return FormatText(L"%s has other contents there", name);
    case CopyFault::ChangedSinceCopied:
      return FormatText(L"%s was changed after it was copied", name);
    case CopyFault::LinkDiffers:
      return FormatText(L"%s is not a folder link to the same place there", name);
    case CopyFault::Unreadable:
      return item.empty() ? FormatText(L"the folders could not be read (error %lu)", error)
                          : FormatText(L"%s could not be read (error %lu)", name, error);
    case CopyFault::Cancelled: return L"the check was canceled";
  }
  return {};
}

CopyCheck CheckCopy(FileSystem& fs, std::wstring_view original, std::wstring_view copy,
                    const CopyCheckOptions& options) {
  CopyCheck check;
  std::wstring copyRoot(copy);
  path::RemoveBackslash(copyRoot);
  std::wstring originalRoot(original);
  path::RemoveBackslash(originalRoot);

  if (!IsDirectory(fs, copyRoot)) {
    check.fault = CopyFault::Missing;
    check.item = copyRoot;
    return check;
  }
  auto fault = [&check](CopyFault f, const std::wstring& item, ErrorCode e = err::Success) {
    check.fault = f;
    check.item = item;
    check.error = e;
    return false;
  };
  CopyListings copyEntries(fs, copyRoot);
  const ErrorCode walked =
      WalkTree(fs, originalRoot, [&](const std::wstring& relative, const FindData& entry) {
        if (options.cancel.Requested()) return fault(CopyFault::Cancelled, L"");
        std::wstring at = copyRoot, from = originalRoot;
        if (!path::Append(at, relative, kTreePathCapacity) ||
            !path::Append(from, relative, kTreePathCapacity)) {
          return fault(CopyFault::Unreadable, relative, err::InternalError);
        }
        const FindData* found = copyEntries.Find(relative);
        if (!found) return fault(CopyFault::Missing, relative);
        const FindData& there = *found;

        if (entry.IsDirectory() && entry.IsReparsePoint()) {
          if (!there.IsDirectory() || !there.IsReparsePoint()) {
            return fault(CopyFault::LinkDiffers, relative);
          }
          const auto expected = options.linkPlaces.find(relative);
          const std::wstring place =
              expected != options.linkPlaces.end() ? expected->second : FinalPlace(fs, from);
          if (place.empty() || !EqualsNoCase(place, FinalPlace(fs, at))) {
            return fault(CopyFault::LinkDiffers, relative);
          }
          return true;
        }
        if (entry.IsDirectory()) {
          // The files must be in the copy itself, not behind a link that may lead anywhere.
          if (!there.IsDirectory() || there.IsReparsePoint()) {
            return fault(CopyFault::NotAFolder, relative);
          }
          return true;
        }

        if (there.IsDirectory()) return fault(CopyFault::NotAFile, relative);
        if (options.onFile) options.onFile(from);
        ++check.filesChecked;
        // An original written after its copy was made is not what the copy holds.
        if (IsSourceNewer(entry, there)) return fault(CopyFault::ChangedSinceCopied, relative);
        // A newer version that the copy kept in place of this one passes only when it is the same
        // file; one that differs is listed, so that its original is never deleted unasked.
        const bool keptNewer = IsSourceNewer(there, entry);
        const auto listKept = [&] {
          check.keptNewer.push_back(
              {relative, entry.size, entry.lastWriteTime, there.size, there.lastWriteTime});
          return true;
        };
        if (there.size != entry.size) {
          return keptNewer ? listKept() : fault(CopyFault::SizeDiffers, relative);
        }
        if (options.compareContents) {
          ErrorCode e = err::Success;
          const CopyFault f = CompareContents(fs, from, at, entry.size, options.cancel, e);
          if (f == CopyFault::ContentDiffers && keptNewer) return listKept();
          if (f != CopyFault::None) return fault(f, relative, e);
        }
        return true;
      });
  if (walked != err::Success && check.fault == CopyFault::None) {
    check.fault = CopyFault::Unreadable;
    check.error = walked;
  }
  return check;
}

}  // namespace tessaly
