// The relocation engine: moves a folder of content to a new place and leaves a directory
// symbolic link at the old one (or, in link-only mode, only makes the link). It never loses a
// file: it refuses a target that is the source under another name, copies the whole tree (each
// file under its own name only once whole), goes on to rename only after a complete copy, deletes
// the renamed original only after finding every folder, file and link of it in the copy, puts the
// folder back under its own name when the check or the link fails, and says where everything is
// when it stops.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_ops.h"
#include "platform/file_system.h"
#include "platform/system.h"
#include "relocation/copy_check.h"

namespace tessaly {

struct RelocationRequest {
  std::wstring source;  // the Original Location (a trailing backslash is ignored)
  std::wstring target;  // the Full Target Path
  bool linkOnly = false;
  // Before the original is deleted, also read both copies of every file and compare them.
  bool compareContents = false;
};

// What the engine reports, in order, on the thread that runs it. Texts are valid during the call.
class RelocationObserver {
 public:
  virtual ~RelocationObserver() = default;
  // A line of the log.
  virtual void LogLine(const std::wstring& text) = 0;
  // A phase begins ("Copy files progress:", "Delete files progress:") over `files` files.
  virtual void PhaseStarted(const std::wstring& phase, uint32_t files) = 0;
  // A file is about to be copied or deleted.
  virtual void FileStarted(const std::wstring& file) = 0;
  // The system's copy of the current file moved on.
  virtual void CopyProgress(uint64_t bytesCopied, uint64_t fileSize, uint32_t reason) = 0;
  // The run failed with `message`; `recommendSteps`: also show the steps that finish by hand.
  // `filesDone` and `errors` are the current phase's counts.
  virtual void Failed(const std::wstring& message, bool recommendSteps, uint32_t filesDone,
                      uint32_t errors) = 0;
  // The run ended: with success, or with errors.
  virtual void Finished(bool success) = 0;
  // Asks whether the originals of files that differ from newer versions kept at the target may
  // be deleted anyway; true for Yes. Without an answer (no one to ask), No.
  virtual bool ConfirmDeletingDifferingOriginals(const std::wstring& question) {
    (void)question;
    return false;
  }
};

// Where the run left things, for the caller and the tests.
struct RelocationResult {
  bool success = false;
  // The source folder's temporary name while it still exists under that name (empty otherwise).
  std::wstring renamedFolder;
};

// The machine-wide lock a run holds from its start to its end.
inline constexpr const wchar_t* kRelocationLockName = L"Quillmoor.Tessaly.Relocation";

// Runs a relocation to its end or to the first failure; `cancel` (set by another thread) stops
// the counting, the copy and the deletion.
RelocationResult RunRelocation(FileSystem& fs, System& system, const RelocationRequest& request,
                               CancelToken cancel, RelocationObserver& observer);

// The refusal of a source that cannot be relocated (a drive root, or nothing), or empty.
std::wstring SourceRootRefusal(const std::wstring& source);

// The refusal of a Full Target Path of 260 characters or more, or empty.
std::wstring TargetLengthRefusal(const std::wstring& target, const std::wstring& source);

// The first free name "(source).orig0" ... "(source).orig259"; empty when all are taken.
std::wstring RenameCandidate(FileSystem& fs, const std::wstring& source);

// The steps after the rename, shared by a run and by the finish of a run that was cut off.

// The directory symbolic link at `link` to `target`: 0, the system's error, or 4390 when the call
// reported success but left no link there.
[[nodiscard]] ErrorCode MakeRelocationLink(FileSystem& fs, const std::wstring& link,
                                           const std::wstring& target);
// Deletes the renamed original once its files are known to be in `target`; empty when it is
// gone, otherwise the message of a deletion that failed or stopped early, naming the folder.
// `checked` is the identity the folder had when it was checked against the copy: a folder that
// is no longer that one (replaced, or made a link) is not touched. Null where the file system
// cannot tell identities.
std::wstring DeleteRenamedFolder(FileSystem& fs, const std::wstring& renamed,
                                 const std::wstring& target, CancelToken cancel,
                                 TreeProgressCallback onFile,
                                 const FileSystem::ItemIdentity* checked);
// The identity of the renamed folder before it is checked: 0 with `out` set; 50 where the file
// system cannot tell (`out` then unused); 4390 when it is a link, not a folder of its own.
[[nodiscard]] ErrorCode RenamedFolderIdentity(FileSystem& fs, const std::wstring& renamed,
                                              FileSystem::ItemIdentity& out);
// "The copy in (target) does not match (source): (what the check found)."
std::wstring CopyMismatchText(const std::wstring& target, const std::wstring& source,
                              const CopyCheck& check);

}  // namespace tessaly
