// The relocation's checks of a folder tree: the whole of a folder walked entry by entry (folder
// links reported, never followed), and a copy compared with its original before the original is
// deleted.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_ops.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace tessaly {

// Calls `visit` with each entry below `folder` (its path relative to `folder`, without a leading
// backslash, and its find data), a folder before its contents; folder links are visited and not
// entered. `visit` returns false to stop. Result: 0, or the error of a folder that could not be
// listed (the walk stops there) or 1359 for a path too long for a tree walk.
using TreeVisitor = std::function<bool(const std::wstring& relative, const FindData& entry)>;
[[nodiscard]] ErrorCode WalkTree(FileSystem& fs, std::wstring_view folder,
                                 const TreeVisitor& visit);

// What a copy check found first.
enum class CopyFault {
  None,
  Missing,     // nothing of that name in the copy
  NotAFolder,  // a file, or a folder link, where the original has a folder
  NotAFile,    // a folder where the original has a file
  SizeDiffers,
  ContentDiffers,
  ChangedSinceCopied,  // the original was written more than 2 seconds after its copy
  LinkDiffers,         // no folder link, or one that leads elsewhere, where the original has one
  Unreadable,          // the original or the copy could not be listed or read (see `error`)
  Cancelled,
};

// A file that the copy holds in a newer version (one that a copy only-if-newer keeps) which
// differs from the original: in size, or in contents when they are compared.
struct KeptNewerFile {
  std::wstring item;  // relative to the original folder
  uint64_t originalSize = 0;
  FileTime originalTime = 0;
  uint64_t copySize = 0;
  FileTime copyTime = 0;
};

struct CopyCheck {
  CopyFault fault = CopyFault::None;
  std::wstring item;  // the entry concerned, relative to the original folder
  ErrorCode error = err::Success;
  uint32_t filesChecked = 0;
  // Newer files kept in the copy that differ from their originals: the check passes with them,
  // and the caller decides whether those originals may go.
  std::vector<KeptNewerFile> keptNewer;

  bool Whole() const { return fault == CopyFault::None; }
  // "sub\b.wav is missing", for a message that says where the files are.
  std::wstring Describe() const;
};

struct CopyCheckOptions {
  bool compareContents = false;  // read both copies of every file and compare them
  // Where the copy's folder links must lead, by their path relative to the original (final
  // paths); a link not named here must lead where the original's link leads.
  std::map<std::wstring, std::wstring, LessNoCaseFn> linkPlaces;
  CancelToken cancel = kNeverCancelled;
  // Called with the original's path before each file is checked.
  std::function<void(const std::wstring& file)> onFile;
};

// Checks that every folder, file and folder link below `original` is at the same relative place
// below `copy`: a real folder for each folder (empty ones included), a file of the same size for
// each file (and, when asked, the same bytes), a folder link leading to the same place for each
// link. A file written more than 2 seconds after its copy was changed since it was copied and
// fails. A file that the copy holds in a version newer by more than 2 seconds (one that a copy
// only-if-newer keeps) passes when it is the same size (and, when compared, has the same bytes);
// otherwise it is listed in `keptNewer`. Entries that only the copy has do not matter.
CopyCheck CheckCopy(FileSystem& fs, std::wstring_view original, std::wstring_view copy,
                    const CopyCheckOptions& options);

}  // namespace tessaly
