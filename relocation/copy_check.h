// The relocation's checks of a folder tree: the whole of a folder walked entry by entry (folder
// links reported, never followed), and a copy compared with its original before the original is
// deleted.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/file_ops.h"
#include "platform/file_system.h"

namespace tessaly {

// Calls `visit` with each entry below `folder` (its path relative to `folder`, without a leading
// backslash, and its find data), a folder before its contents; folder links are visited and not
// entered. `visit` returns false to stop. Result: 0, or the error of a folder that could not be
// listed (the walk stops there) or 1359 for a path too long for a tree walk.
using TreeVisitor = std::function<bool(const std::wstring& relative, const FindData& entry)>;
ErrorCode WalkTree(FileSystem& fs, std::wstring_view folder, const TreeVisitor& visit);

// What a copy check found first.
enum class CopyFault {
  None,
  Missing,         // nothing of that name in the copy
  NotAFolder,      // a file, or a folder link, where the original has a folder
  NotAFile,        // a folder where the original has a file
  SizeDiffers,
  ContentDiffers,
  LinkDiffers,     // no folder link, or one that leads elsewhere, where the original has one
  Unreadable,      // the original or the copy could not be listed or read (see `error`)
  Cancelled,
};

struct CopyCheck {
  CopyFault fault = CopyFault::None;
  std::wstring item;        // the entry concerned, relative to the original folder
  ErrorCode error = err::Success;
  uint32_t filesChecked = 0;

  bool Whole() const { return fault == CopyFault::None; }
  // "sub\b.wav is missing", for a message that says where the files are.
  std::wstring Describe() const;
};

struct CopyCheckOptions {
  bool compareContents = false;  // read both copies of every file and compare them
  const CancelFlag* cancel = nullptr;
  // Called with the original's path before each file is checked.
  std::function<void(const std::wstring& file)> onFile;
};

// Checks that every folder, file and folder link below `original` is at the same relative place
// below `copy`: a real folder for each folder (empty ones included), a file of the same size for
// each file (and, when asked, the same bytes), a folder link leading to the same place for each
// link. A file that the copy holds in a version newer by more than 2 seconds (one that a copy
// only-if-newer keeps) passes as it is. Entries that only the copy has do not matter.
CopyCheck CheckCopy(FileSystem& fs, std::wstring_view original, std::wstring_view copy,
                    const CopyCheckOptions& options);

}  // namespace tessaly
