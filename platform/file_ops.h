// File and folder operations shared by the wizards: existence tests, folder paths, deleting and
// copying single files, counting, copying and deleting folder trees, size text and path rebasing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "platform/cancel.h"
#include "platform/file_system.h"
#include "platform/system.h"
#include "platform/types.h"

namespace tessaly {

// Paths built during a tree walk hold at most 519 characters (buffers of 520 with terminator);
// single paths such as a rebased one at most 259.
constexpr size_t kTreePathCapacity = 520;
constexpr size_t kPathCapacity = 260;

// File-name patterns ("*.*", "*.wav") of a tree operation, sorted and unique.
using PatternSet = std::set<std::wstring>;

// Statistics of a tree operation. The caller owns it, resets it with ResetProgress before a run,
// and may read it from its progress callback (which runs on the walking thread).
struct TreeOperationProgress {
  uint8_t callerFlag = 0;               // the caller's own use
  uint32_t copyCallbackReason = 0;      // last reason the system's file copy reported
  uint32_t callerNumbers[3] = {};       // the caller's own use
  uint64_t callerLargeNumbers[2] = {};  // the caller's own use
  uint64_t fileBytesCopied = 0;         // bytes of the current file copied so far
  uint64_t fileSize = 0;                // total size of the current file
  uint32_t callerValue = 0;             // the caller's own use
  void* copyUserData = nullptr;         // the user value handed to the copy-progress routine
  std::wstring currentFile;             // the file about to be processed (< 520 characters)
  std::wstring currentFolder;           // the folder being walked (< 520 characters)
  uint32_t errors = 0;                  // failures counted during the run
  uint32_t filesDone = 0;               // files copied or deleted successfully
  uint32_t foldersVisited = 0;          // folders entered, the start folder included
  uint32_t filesCounted = 0;            // files found by CountTree
  uint64_t bytesCounted = 0;            // total size of the files found by CountTree
  std::wstring firstFolderLink;         // the first folder link CountTree met (not entered)
  uint32_t callerExtra[2] = {};         // the caller's own use
};

// Called once per file on the walking thread, after currentFile is set and before the file is
// copied or deleted; receives null when the operation runs without a record. It cannot stop the
// walk: the caller sets the cancel flag for that. It finds its caller's state through the record
// (see TreeProgressWith).
using TreeProgressCallback = void (*)(TreeOperationProgress* progress);

// A progress record that carries its caller's state, so that a per-file callback, which gets only
// the record, finds that state through it:
//   TreeProgressWith<Observer> progress{observer};  ...  StateOf(*record).FileStarted(...)
template <class State>
struct TreeProgressWith : TreeOperationProgress {
  explicit TreeProgressWith(State& caller) : state(&caller) {}
  State* state;
  // The state of `record`, which must have been made as a TreeProgressWith<State>.
  static State& StateOf(TreeOperationProgress& record) {
    return *static_cast<TreeProgressWith&>(record).state;
  }
};

// True if the file or folder exists; `found` then describes it. A trailing backslash is ignored
// except on a drive root; a root yields find data with only the folder attribute. A path with
// wild cards is not a path and never exists.
bool PathExists(FileSystem& fs, std::wstring_view path, FindData* found = nullptr);

// True if the path exists and is a folder (links to folders included); false for an empty path.
bool IsDirectory(FileSystem& fs, std::wstring_view path);

// True for a folder entry other than "." and ".."; `isLink` tells whether it is a reparse point
// (a symbolic link or junction).
bool IsRealSubfolder(const FindData& entry, bool& isLink);

// True only if the source was written more than 2 seconds after the target.
bool IsSourceNewer(const FindData& source, const FindData& target);

// Creates every missing folder of `path`. An empty path gives 87; a path that names an existing
// file gives 183 and one that runs through a file 3; a drive root is only tested (3 no root
// folder, 15 unknown drive). The drive and the server and share of a UNC path are never created.
[[nodiscard]] ErrorCode CreateDirectoryTree(FileSystem& fs, std::wstring_view path);

// Removes the read-only attribute if set.
[[nodiscard]] ErrorCode ClearReadOnly(FileSystem& fs, std::wstring_view path);

// Deletes a file, read-only or not; a missing file counts as deleted.
[[nodiscard]] ErrorCode DeleteOneFile(FileSystem& fs, std::wstring_view path);

// Removes an empty folder (or a folder link itself), read-only or not; a missing one counts as
// removed.
[[nodiscard]] ErrorCode RemoveFolder(FileSystem& fs, std::wstring_view path);

// Copies `source` over `target`. With `onlyIfNewer`, a missing source gives 2 and an existing
// target is kept (result 0) unless the source is newer by more than 2 seconds. A read-only
// target is made writable first; a folder of the target's name gives 5, newer or not.
// `routine`, `userData` and `cancel` go to the system's copy.
[[nodiscard]] ErrorCode CopyOneFile(FileSystem& fs, std::wstring_view source,
                                    std::wstring_view target, bool onlyIfNewer,
                                    CopyProgressRoutine routine, void* userData, CancelToken cancel,
                                    uint32_t copyFlags);

// Zeroes every field and empties both paths.
void ResetProgress(TreeOperationProgress& progress);

// Counts the files below `folder` that match `patterns` into progress.filesCounted and
// progress.bytesCounted. Folder links are not followed. A cancelled count returns 0; an empty
// folder path 87.
[[nodiscard]] ErrorCode CountTree(FileSystem& fs, const PatternSet& patterns,
                                  std::wstring_view folder, CancelToken cancel,
                                  TreeOperationProgress& progress);

// The optional arguments of a tree copy, named at the call:
//   CopyTree(fs, system, from, patterns, to, {.onlyIfNewer = true, .progress = &progress});
struct CopyTreeOptions {
  // A file that exists at the target is replaced only by a source newer by more than 2 seconds.
  bool onlyIfNewer = false;
  CancelToken cancel = kNeverCancelled;
  // Called before each file (see TreeProgressCallback); the statistics go to `progress`.
  TreeProgressCallback onFile = nullptr;
  TreeOperationProgress* progress = nullptr;
  // The system copy's progress routine and its user value.
  CopyProgressRoutine copyRoutine = nullptr;
  void* copyUserData = nullptr;

  // What a tree copy does beyond copying the matching files (all off: the plain copy below).
  // Every folder of the source is made at the target, the top one and empty ones included.
  bool wholeTree = false;
  // Each file is copied to a temporary name in its target folder and renamed to its own name
  // once whole, so that a file under its final name is always complete. A file that already has
  // the temporary name is left alone (the copy of that file fails with 80). With wholeTree, the
  // files of a folder that the copy makes are written under their own names into a folder of
  // the temporary name beside it instead, which takes the folder's name once they are whole.
  bool throughTemporaryName = false;
  // A folder link is made again at the target, leading to the place the source's link finally
  // leads to; an existing entry of its name that is not such a link is an error.
  bool recreateLinks = false;
  // With recreateLinks: a link whose place lies inside `linksFrom` (a final path) is made leading
  // to the same place inside `linksTo`, so that a link within the tree stays within its copy.
  std::wstring linksFrom{};
  std::wstring linksTo{};
  // With throughTemporaryName: the temporary name (empty: kPartialCopyName). A file or folder
  // of that name that the walk did not make is never replaced or deleted.
  std::wstring temporaryName{};
};

// The name a copy is written under until it is whole, when the options name none.
inline constexpr const wchar_t* kPartialCopyName = L"~tessaly-copy.partial";

// Copies the files below `source` that match `patterns` to the same places below `target`.
// Folder links are skipped with everything behind them, and a target folder is created only when
// a file is copied into it. Failing files are counted in progress.errors and the walk goes on.
// Result: the error code of the last file operation (0 if there was none), or 87 for an empty
// path or a target that is the source or lies inside it. A link or folder that the options ask
// for and that cannot be made counts as an error.
[[nodiscard]] ErrorCode CopyTree(FileSystem& fs, System& system, std::wstring_view source,
                                 const PatternSet& patterns, std::wstring_view target,
                                 const CopyTreeOptions& options);
// The same with each argument in its place; `callback`, `progress` and `routine` may be null.
[[nodiscard]] ErrorCode CopyTree(FileSystem& fs, System& system, std::wstring_view source,
                                 const PatternSet& patterns, std::wstring_view target,
                                 bool onlyIfNewer, CancelToken cancel,
                                 TreeProgressCallback callback, TreeOperationProgress* progress,
                                 CopyProgressRoutine routine, void* userData);

// The optional arguments of a tree deletion, named at the call:
//   DeleteTree(fs, patterns, folder, {.cancel = cancel, .removeFolders = true});
struct DeleteTreeOptions {
  CancelToken cancel = kNeverCancelled;
  // Called before each file (see TreeProgressCallback); the statistics go to `progress`.
  TreeProgressCallback onFile = nullptr;
  TreeOperationProgress* progress = nullptr;
  // The emptied folders go too, `folder` itself included.
  bool removeFolders = false;
};

// Deletes the files below `folder` that match `patterns`; with `removeFolders` also the emptied
// folders. A folder link is removed itself and its target left alone: each folder is looked at
// without following a link just before its contents go, so one that became a link meanwhile is
// removed as a link, never followed. Result: 0 when everything
// asked for is gone, else the error of the last failure (87 for an empty path).
[[nodiscard]] ErrorCode DeleteTree(FileSystem& fs, const PatternSet& patterns,
                                   std::wstring_view folder, const DeleteTreeOptions& options);
// The same with each argument in its place; `callback` and `progress` may be null.
[[nodiscard]] ErrorCode DeleteTree(FileSystem& fs, const PatternSet& patterns,
                                   std::wstring_view folder, CancelToken cancel,
                                   TreeProgressCallback callback, TreeOperationProgress* progress,
                                   bool removeFolders);

// "%.1f %s": the count in the largest unit (KB, MB, GB, TB) that it strictly exceeds, else in B.
std::wstring FormatSize(uint64_t bytes);

// Moves `path` from below `oldRoot` to below `newRoot`: 2 if it is not below the old root,
// 234 if the result has 260 characters or more, 87 for an empty argument.
[[nodiscard]] ErrorCode RebasePath(std::wstring_view path, std::wstring_view oldRoot,
                                   std::wstring_view newRoot, std::wstring& out);
// Moves `place` to the same place below `to` when it lies within `from` (by whole names), as
// RebasePath does without its 260-character limit; leaves it as it is otherwise. False, with
// `place` unchanged, when the result would not fit a long path.
bool RebaseWithin(std::wstring& place, std::wstring_view from, std::wstring_view to);

}  // namespace tessaly
