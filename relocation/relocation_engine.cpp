// The relocation engine: count, space check, copy, rename, link, delete.
#include "relocation/relocation_engine.h"

#include <optional>

#include "platform/text.h"
#include "relocation/copy_check.h"
#include "relocation/folder_identity.h"
#include "relocation/relocation_journal.h"

namespace tessaly {
namespace {

constexpr int kRenameCandidates = 260;

// The run's observer for the tree operations' per-file callback, which gets only the statistics.
thread_local RelocationObserver* tCurrentObserver = nullptr;

void FileCallback(TreeOperationProgress* progress) {
  if (progress && tCurrentObserver) tCurrentObserver->FileStarted(progress->currentFile);
}

struct CopyState {
  RelocationObserver* observer;
  TreeOperationProgress* progress;
};

uint32_t CopyRoutine(const CopyProgress& copy, void* userData) {
  auto* state = static_cast<CopyState*>(userData);
  state->progress->fileSize = copy.totalFileSize;
  state->progress->fileBytesCopied = copy.totalBytesTransferred;
  state->progress->copyCallbackReason = copy.callbackReason;
  state->progress->copyUserData = userData;
  state->observer->CopyProgress(copy.totalBytesTransferred, copy.totalFileSize,
                                copy.callbackReason);
  return kProgressContinue;
}

// Sets the observer for the per-file callback of this thread while a run lasts.
class ObserverScope {
 public:
  explicit ObserverScope(RelocationObserver& observer) : previous_(tCurrentObserver) {
    tCurrentObserver = &observer;
  }
  ~ObserverScope() { tCurrentObserver = previous_; }

 private:
  RelocationObserver* previous_;
};

class Run {
 public:
  Run(FileSystem& fs, System& system, const RelocationRequest& request, const CancelFlag& cancel,
      RelocationObserver& observer)
      : fs_(fs), system_(system), cancel_(cancel), observer_(observer),
        source_(request.source), target_(request.target), linkOnly_(request.linkOnly),
        compareContents_(request.compareContents) {
    path::RemoveBackslash(source_);
  }

  RelocationResult Go();

 private:
  RelocationResult Finish(bool success) {
    observer_.Finished(success);
    result_.success = success;
    return result_;
  }
  RelocationResult Fail(const std::wstring& message, bool recommendSteps = false) {
    observer_.Failed(message, recommendSteps, progress_.filesDone, progress_.errors);
    return Finish(false);
  }
  RelocationResult Cancelled() {
    observer_.LogLine(L"Operation canceled.");
    return Finish(false);
  }
  bool IsCancelled() const { return cancel_.load() != 0; }
  // What the target holds when the source folder gets its own name back.
  enum class Copy { Whole, Partial, Gone };

  RelocationResult CopyFiles();
  // Finds where the journal goes; the refusal of a move that cannot keep one (or that would
  // replace the journal of an earlier run that did not end), or empty.
  std::wstring JournalRefusal();
  // Removes the journal once the source is back at its Original Location or the run is done; a
  // journal that cannot be removed is said in the log.
  void ClearJournal();
  // Why the source cannot be copied whole when it holds folder links (one that leads nowhere, or
  // a target where no link can be made), or empty.
  std::wstring LinkRefusal();
  RelocationResult RenameLinkAndDelete();
  // Compares the renamed source with the target; null when the copy is whole, else the ended run.
  std::optional<RelocationResult> CheckTheCopy(const std::wstring& renamed);
  // After a failure between the rename and the deletion: the source folder gets its own name
  // back, and the message (`lead` and where the files are) says so.
  RelocationResult PutSourceBack(const std::wstring& renamed, const std::wstring& lead, Copy copy,
                                 bool cancelled = false);

  FileSystem& fs_;
  System& system_;
  const CancelFlag& cancel_;
  RelocationObserver& observer_;
  std::wstring source_;
  std::wstring target_;
  bool linkOnly_;
  PatternSet patterns_{L"*.*"};
  bool compareContents_;
  TreeOperationProgress progress_;
  uint32_t filesFound_ = 0;  // by the count, for the check's progress
  std::wstring journalPath_;
  RelocationResult result_;
};

RelocationResult Run::Go() {
  if (const std::wstring refusal = SourceRootRefusal(source_); !refusal.empty()) {
    return Fail(refusal);
  }
  // However the two are spelt, a folder is never copied onto itself or into itself.
  if (const std::wstring refusal = SameFolderRefusal(fs_, source_, target_); !refusal.empty()) {
    return Fail(refusal);
  }
  if (linkOnly_) return RenameLinkAndDelete();
  return CopyFiles();
}

RelocationResult Run::CopyFiles() {
  if (const std::wstring refusal = JournalRefusal(); !refusal.empty()) return Fail(refusal);
  observer_.LogLine(FormatText(L"Discovering files in %s...", source_.c_str()));
  ResetProgress(progress_);
  const ErrorCode counted = CountTree(fs_, patterns_, source_, &cancel_, progress_);
  if (IsCancelled()) return Cancelled();
  // A folder that cannot be listed now would be missing from the copy.
  if (counted != err::Success || progress_.errors != 0) {
    return Fail(FormatText(L"Unable to read every folder of %s (%lu errors), so nothing was moved.",
                           source_.c_str(), progress_.errors != 0 ? progress_.errors : 1u));
  }
  if (const std::wstring refusal = LinkRefusal(); !refusal.empty()) return Fail(refusal);
  filesFound_ = progress_.filesCounted;
  observer_.PhaseStarted(L"Copy files progress:", progress_.filesCounted);
  observer_.LogLine(FormatText(L"Found %lu files in source, totaling %s in size.",
                               progress_.filesCounted, FormatSize(progress_.bytesCounted).c_str()));

  std::wstring root = target_;
  if (!path::IsRoot(root) && !path::StripToRoot(root)) {
    return Fail(FormatText(L"Unable to find root of %s. Please select a complete target folder path.",
                           target_.c_str()));
  }
  // The free space of a share is asked of "\\server\share\": without its trailing backslash
  // the system refuses the name.
  if (root.back() != L'\\') root.push_back(L'\\');
  uint64_t freeBytes = 0;
  uint64_t totalBytes = 0;
  if (ErrorCode e = fs_.GetFreeSpace(root, freeBytes, totalBytes)) {
    observer_.LogLine(FormatText(L"Failed to get free disk space for %s (%lu).", root.c_str(), e));
    return Finish(false);
  }
  observer_.LogLine(
      FormatText(L"Free space in %s: %s.", root.c_str(), FormatSize(freeBytes).c_str()));
  if (progress_.bytesCounted > freeBytes) {
    return Fail(FormatText(L"ERROR: There isn't enough room on on %s to copy the files from %s. You "
                           L"need at least %s free in order to proceed.",
                           root.c_str(), source_.c_str(),
                           FormatSize(progress_.bytesCounted).c_str()));
  }

  observer_.LogLine(FormatText(L"Copying files to %s...", target_.c_str()));
  ResetProgress(progress_);
  CopyState state{&observer_, &progress_};
  // The whole tree, empty folders and links included, each file under its own name only once
  // it is whole, so that a later run never takes a partial file for a newer copy.
  const CopyTreeOptions options{true, true, true};
  const ErrorCode copied = CopyTree(fs_, system_, source_, patterns_, target_, true, &cancel_,
                                    FileCallback, &progress_, CopyRoutine, &state, options);
  if (IsCancelled()) return Cancelled();
  if (copied != err::Success) {
    return Fail(FormatText(L"Error %lu attempting to copy files.", copied));
  }
  observer_.LogLine(FormatText(L"Copied %lu files with %lu errors.", progress_.filesDone,
                               progress_.errors));
  // A copy with failed files is incomplete: the source must stay whole where it is.
  if (progress_.errors != 0) {
    return Fail(FormatText(L"%lu files could not be copied to %s, so nothing was moved: all your "
                           L"files are still in %s.",
                           progress_.errors, target_.c_str(), source_.c_str()));
  }
  return RenameLinkAndDelete();
}

std::wstring Run::JournalRefusal() {
  if (ErrorCode e = GetRelocationJournalPath(fs_, system_, journalPath_)) {
    return FormatText(L"Unable to find or create your Tessaly Documents folder (error %lu), where "
                      L"the record of this relocation is kept while it runs. Nothing was moved.",
                      e);
  }
  // One journal at a time: the record of a run that did not end is never replaced.
  if (PathExists(fs_, journalPath_)) {
    return FormatText(L"An earlier relocation did not end; it is recorded in %s. Nothing was "
                      L"moved: start Tessaly again to finish that relocation or to put its folder "
                      L"back first.",
                      journalPath_.c_str());
  }
  return {};
}

void Run::ClearJournal() {
  if (journalPath_.empty()) return;
  if (ErrorCode e = ClearRelocationJournal(fs_, journalPath_)) {
    observer_.LogLine(FormatText(L"Unable to remove %s (error %lu); Tessaly will ask about it when "
                                 L"it next starts.",
                                 journalPath_.c_str(), e));
  }
}

std::wstring Run::LinkRefusal() {
  // The count has just walked the source and noted its first folder link.
  const std::wstring& first = progress_.firstFolderLink;
  if (first.empty()) return {};
  std::wstring place;
  if (ErrorCode unreadable = fs_.GetFinalPath(first, place)) {
    return FormatText(L"The folder link %s leads to nothing that can be found (error %lu), so it "
                      L"cannot be made again in %s. Nothing was moved: please repair or remove "
                      L"the link and try again.",
                      first.c_str(), unreadable, target_.c_str());
  }
  // A trial link beside the target tells whether links can be made there. It leads to the folder
  // that holds it: a link to nothing is not even listed under Wine.
  std::wstring folder = target_;
  while (!IsDirectory(fs_, folder) && path::RemoveFileSpec(folder)) {
  }
  std::wstring trial = folder;
  ErrorCode made = err::InvalidParameter;
  if (AppendPath(trial, L"~tessaly-link-trial", kTreePathCapacity)) {
    made = fs_.CreateFolderLink(trial, folder);
    FindData link;
    const bool there = PathExists(fs_, trial, &link);
    if (made == err::Success && (!there || !link.IsReparsePoint())) made = err::NotAReparsePoint;
    if (there && link.IsReparsePoint()) fs_.RemoveFolder(trial);
  }
  if (made == err::Success) return {};
  return FormatText(L"%s is a folder link, and links cannot be made in %s (error %lu), so it "
                    L"could not be made again there. Nothing was moved.",
                    first.c_str(), folder.c_str(), made);
}

RelocationResult Run::RenameLinkAndDelete() {
  std::wstring renamed;
  if (!linkOnly_) {
    // The page may have closed after the copy's last file: nothing is renamed then.
    if (IsCancelled()) return Cancelled();
    renamed = RenameCandidate(fs_, source_);
    if (renamed.empty()) {
      return Fail(FormatText(L"Unable to determine what to rename directory %s now that files have "
                             L"been copied.",
                             source_.c_str()));
    }
    // The journal is on disk before the source leaves its place, so that a run cut off from here
    // on is found at the next start.
    if (ErrorCode e = WriteRelocationJournal(fs_, journalPath_,
                                             {source_, renamed, target_, compareContents_})) {
      ClearRelocationJournal(fs_, journalPath_);  // whatever part of it was written
      return Fail(FormatText(L"Unable to write %s (error %lu), the record that lets Tessaly finish "
                             L"or undo this relocation if it is cut off. Nothing was moved: your "
                             L"files are still in %s, and a copy of them is in %s.",
                             journalPath_.c_str(), e, source_.c_str(), target_.c_str()));
    }
    observer_.LogLine(FormatText(L"Renaming %s to %s (only temporary; files will be deleted after "
                                 L"operation is successful...)",
                                 source_.c_str(), renamed.c_str()));
    if (ErrorCode e = fs_.MoveFile(source_, renamed, 0)) {
      ClearJournal();
      return Fail(FormatText(L"Failed to rename %s to %s in order to create symbolic link (error "
                             L"code %lu). Files might be in use.",
                             source_.c_str(), renamed.c_str(), e),
                  true);
    }
    result_.renamedFolder = renamed;
    // A target that went with the rename was the source under another name: a link made now
    // would lead to itself.
    FindData target;
    if (!PathExists(fs_, target_, &target) || !target.IsDirectory() || target.IsReparsePoint()) {
      return PutSourceBack(renamed,
                           FormatText(L"%s is no longer a folder of its own after %s was renamed, "
                                      L"so no link was made.",
                                      target_.c_str(), source_.c_str()),
                           Copy::Gone);
    }
    // Nothing is deleted that is not in the copy; once renamed, nothing more is written into the
    // original by its path.
    if (std::optional<RelocationResult> stop = CheckTheCopy(renamed)) return *stop;
  }

  observer_.LogLine(L"Creating symbolic link so applications can find files at their new location...");
  if (ErrorCode linked = MakeRelocationLink(fs_, source_, target_)) {
    const std::wstring message =
        FormatText(L"Error %lu creating a symbolic link to %s.", linked, target_.c_str());
    if (linkOnly_) return Fail(message);
    return PutSourceBack(renamed, message, Copy::Whole);
  }
  if (linkOnly_) return Finish(true);

  observer_.PhaseStarted(L"Delete files progress:", 0);
  observer_.LogLine(FormatText(L"Deleting contents of %s...", renamed.c_str()));
  ResetProgress(progress_);
  if (const std::wstring failure = DeleteRenamedFolder(fs_, renamed, target_, &cancel_, FileCallback);
      !failure.empty()) {
    return Fail(failure);
  }
  result_.renamedFolder.clear();
  ClearJournal();
  return Finish(true);
}

std::optional<RelocationResult> Run::CheckTheCopy(const std::wstring& renamed) {
  observer_.PhaseStarted(L"Check files progress:", filesFound_);
  observer_.LogLine(FormatText(L"Checking that every file and folder of %s is in %s...",
                               renamed.c_str(), target_.c_str()));
  CopyCheckOptions options;
  options.compareContents = compareContents_;
  options.cancel = &cancel_;
  options.onFile = [this](const std::wstring& file) { observer_.FileStarted(file); };
  const CopyCheck check = CheckCopy(fs_, renamed, target_, options);
  if (check.Whole()) return std::nullopt;
  if (check.fault == CopyFault::Cancelled) return PutSourceBack(renamed, L"", Copy::Partial, true);
  return PutSourceBack(renamed, CopyMismatchText(target_, source_, check), Copy::Partial);
}

RelocationResult Run::PutSourceBack(const std::wstring& renamed, const std::wstring& lead,
                                    Copy copy, bool cancelled) {
  std::wstring copyWords;
  if (copy == Copy::Whole) {
    copyWords = FormatText(L", and a copy of them is in %s", target_.c_str());
  } else if (copy == Copy::Partial) {
    copyWords = FormatText(L", and what was copied is in %s", target_.c_str());
  }
  const std::wstring opening = cancelled ? std::wstring(L"Operation canceled.") : lead;
  if (ErrorCode e = fs_.MoveFile(renamed, source_, 0)) {
    return Fail(opening +
                    FormatText(L" %s could not be renamed back to %s (error %lu): your files are "
                               L"in %s%s. Rename %s back to %s to use them where they were.",
                               renamed.c_str(), source_.c_str(), e, renamed.c_str(),
                               copyWords.c_str(), renamed.c_str(), source_.c_str()),
                true);
  }
  result_.renamedFolder.clear();
  ClearJournal();
  if (cancelled) return Cancelled();
  return Fail(lead + FormatText(L" Nothing was moved: your files are still in %s%s.",
                                source_.c_str(), copyWords.c_str()));
}

}  // namespace

std::wstring SourceRootRefusal(const std::wstring& source) {
  // A drive root can be neither renamed nor replaced by a link.
  if (!source.empty() && !path::IsRoot(source) && !path::IsDriveSpec(source)) return {};
  return FormatText(L"%s is the root of a drive and cannot be relocated. Please select a folder "
                    L"inside it.",
                    source.c_str());
}

ErrorCode MakeRelocationLink(FileSystem& fs, const std::wstring& link, const std::wstring& target) {
  ErrorCode linked = fs.CreateFolderLink(link, target);
  if (linked == err::Success) {
    // A link call that reports success but left no link is a failed link.
    FindData made;
    if (!PathExists(fs, link, &made) || !made.IsReparsePoint()) linked = err::NotAReparsePoint;
  }
  return linked;
}

std::wstring DeleteRenamedFolder(FileSystem& fs, const std::wstring& renamed,
                                 const std::wstring& target, const CancelFlag* cancel,
                                 TreeProgressCallback onFile) {
  if (ErrorCode e = DeleteTree(fs, PatternSet{L"*.*"}, renamed, cancel, onFile, nullptr, true)) {
    return FormatText(L"Error %lu attempting to delete files from renamed folder %s.", e,
                      renamed.c_str());
  }
  // A deletion that returns with the folder still there did not end as it should: a cancelled one
  // returns as soon as it stops, with the result of its last file.
  if (!PathExists(fs, renamed)) return {};
  if (cancel && cancel->load() != 0) {
    return FormatText(L"Deleting files from renamed folder %s was canceled before it was done. "
                      L"Your files are in %s; what is left in %s is a copy of them and can be "
                      L"deleted.",
                      renamed.c_str(), target.c_str(), renamed.c_str());
  }
  return FormatText(L"Error %lu attempting to delete files from renamed folder %s.",
                    err::DirNotEmpty, renamed.c_str());
}

std::wstring CopyMismatchText(const std::wstring& target, const std::wstring& source,
                              const CopyCheck& check) {
  return FormatText(L"The copy in %s does not match %s: %s.", target.c_str(), source.c_str(),
                    check.Describe().c_str());
}

std::wstring RenameCandidate(FileSystem& fs, const std::wstring& source) {
  for (int n = 0; n < kRenameCandidates; ++n) {
    std::wstring candidate = FormatText(L"%s.orig%d", source.c_str(), n);
    // Any existing entry, file or folder, would make the rename fail.
    if (!PathExists(fs, candidate)) return candidate;
  }
  return {};
}

RelocationResult RunRelocation(FileSystem& fs, System& system, const RelocationRequest& request,
                               const CancelFlag& cancel, RelocationObserver& observer) {
  ObserverScope scope(observer);
  try {
    return Run(fs, system, request, cancel, observer).Go();
  } catch (const std::bad_alloc&) {
    observer.Failed(L"Out of memory.", false, 0, 0);
    observer.Finished(false);
    return {};
  }
}

}  // namespace tessaly
