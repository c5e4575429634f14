// The relocation engine: count, space check, copy, rename, link, delete.
#include "relocation/relocation_engine.h"

#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "platform/text.h"
#include "relocation/copy_check.h"
#include "relocation/folder_identity.h"
#include "relocation/relocation_journal.h"

namespace tessaly {
namespace {

constexpr int kRenameCandidates = 260;

// Sixteen hexadecimal digits from the system's random source, mixed with the clock and a counter
// so that two runs never share them even where the random source is weak.
std::wstring RandomRunName() {
  static std::atomic<uint64_t> counter{0};
  std::random_device device;
  uint64_t value = (uint64_t(device()) << 32) ^ device();
  value ^=
      uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) * 0x9E3779B97F4A7C15ull;
  value ^= ++counter * 0xBF58476D1CE4E5B9ull;
  return FormatText(L"%08lx%08lx", static_cast<uint32_t>(value >> 32),
                    static_cast<uint32_t>(value));
}

// The run's progress record, which carries the observer that its callbacks report to.
using RunProgress = TreeProgressWith<RelocationObserver>;

// The per-file callback of the tree operations. Without a record (the deletion runs without
// one) it has nothing to report.
void FileCallback(TreeOperationProgress* progress) {
  if (progress) RunProgress::StateOf(*progress).FileStarted(progress->currentFile);
}

// The system copy's progress routine; its user value is the run's record.
uint32_t CopyRoutine(const CopyProgress& copy, void* userData) {
  auto& progress = *static_cast<RunProgress*>(userData);
  progress.fileSize = copy.totalFileSize;
  progress.fileBytesCopied = copy.totalBytesTransferred;
  progress.copyCallbackReason = copy.callbackReason;
  progress.copyUserData = userData;
  progress.state->CopyProgress(copy.totalBytesTransferred, copy.totalFileSize, copy.callbackReason);
  return kProgressContinue;
}

class Run {
 public:
  Run(FileSystem& fs, System& system, const RelocationRequest& request, CancelToken cancel,
      RelocationObserver& observer)
      : fs_(fs),
        system_(system),
        cancel_(cancel),
        observer_(observer),
        source_(request.source),
        target_(request.target),
        linkOnly_(request.linkOnly),
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
  // What the target holds when the source folder gets its own name back.
  enum class Copy { Whole, Partial, Gone };

  RelocationResult CopyFiles();
  // Finds where the journal goes; the refusal of a move that cannot keep one (or that would
  // replace the journal of an earlier run that did not end), or empty.
  std::wstring JournalRefusal();
  // Removes the journal once the source is back at its Original Location or the run is done; a
  // journal that cannot be removed is said in the log.
  void ClearJournal();
  // One walk of the whole source before anything is copied: the refusal of names that Windows
  // cannot hold side by side or at all, and of folder links that cannot be made again at the
  // target (one that leads nowhere, or a target where no link can be made), or empty. Notes
  // where each link of the copy must lead.
  std::wstring SurveyRefusal();
  // The refusal of a link that leads nowhere, or of a target where links cannot be made.
  std::wstring LinkRefusal(const std::vector<std::wstring>& links);
  RelocationResult RenameLinkAndDelete();
  // Compares the renamed source with the target; null when the copy is whole, else the ended run.
  std::optional<RelocationResult> CheckTheCopy(const std::wstring& renamed);
  // Newer files kept at the target that differ from their originals: each is logged, and the
  // originals go only when the user says so; otherwise the source is put back. Null to go on.
  std::optional<RelocationResult> AskAboutKeptNewer(const std::wstring& renamed,
                                                    const CopyCheck& check);
  // "3/5/2024 12:00:00 UTC".
  std::wstring TimeText(FileTime time);
  // After a failure between the rename and the deletion: the source folder gets its own name
  // back, and the message (`lead` and where the files are) says so.
  RelocationResult PutSourceBack(const std::wstring& renamed, const std::wstring& lead, Copy copy,
                                 bool cancelled = false);

  FileSystem& fs_;
  System& system_;
  CancelToken cancel_;
  RelocationObserver& observer_;
  std::wstring source_;
  std::wstring target_;
  bool linkOnly_;
  PatternSet patterns_{L"*.*"};
  bool compareContents_;
  RunProgress progress_{observer_};
  uint32_t filesFound_ = 0;  // by the count, for the check's progress
  std::wstring journalPath_;
  std::wstring sourceFinal_;  // the source's and the target's final paths before the copy
  std::wstring targetFinal_;
  std::wstring runName_;        // random, this run's own: no file can have it already
  std::wstring temporaryName_;  // this run's name for a file being copied
  std::map<std::wstring, std::wstring, LessNoCaseFn> linkPlaces_;  // where the copy's links lead
  std::unique_ptr<System::NamedLock> lock_;                        // held while the run lasts
  FileSystem::ItemIdentity checkedIdentity_;  // the renamed folder as it was checked
  bool identityKnown_ = false;
  RelocationResult result_;
};

RelocationResult Run::Go() {
  if (const std::wstring refusal = SourceRootRefusal(source_); !refusal.empty()) {
    return Fail(refusal);
  }
  // One relocation at a time on the machine, whichever copy of the program runs it: two would
  // replace each other's journal.
  if (system_.AcquireNamedLock(kRelocationLockName, lock_) == err::AlreadyExists) {
    return Fail(FormatText(L"Another copy of Tessaly is relocating files now. Nothing was moved: "
                           L"your files are still in %s. Please wait until it has finished, then "
                           L"try again.",
                           source_.c_str()));
  }
  // The Original Location by the names it has on disk: renamed and linked under a short name
  // ("STRING~1"), the folder would lose its own name.
  if (const std::wstring longName = LongForm(fs_, source_); !EqualsNoCase(longName, source_)) {
    observer_.LogLine(FormatText(L"%s is named %s on disk; that name is used.", source_.c_str(),
                                 longName.c_str()));
    source_ = longName;
  }
  if (const std::wstring refusal = TargetLengthRefusal(target_, source_); !refusal.empty()) {
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
  // The copy must land in the target itself, not wherever a link on the way leads.
  if (const std::wstring link = FirstLinkOnTheWay(fs_, target_); !link.empty()) {
    return Fail(FormatText(L"%s is a folder link, so files copied to %s would be written wherever "
                           L"it leads. Nothing was moved: your files are still in %s. Please "
                           L"choose a Full Target Path that passes through no folder link.",
                           link.c_str(), target_.c_str(), source_.c_str()));
  }
  sourceFinal_ = FinalForm(fs_, source_);
  targetFinal_ = FinalForm(fs_, target_);
  runName_ = RandomRunName();
  temporaryName_ = L"~tessaly-copy-" + runName_ + L".partial";
  observer_.LogLine(FormatText(L"Discovering files in %s...", source_.c_str()));
  ResetProgress(progress_);
  const ErrorCode counted = CountTree(fs_, patterns_, source_, cancel_, progress_);
  if (cancel_.Requested()) return Cancelled();
  // A folder that cannot be listed now would be missing from the copy.
  if (counted != err::Success || progress_.errors != 0) {
    return Fail(FormatText(L"Unable to read every folder of %s (%lu errors), so nothing was moved.",
                           source_.c_str(), progress_.errors != 0 ? progress_.errors : 1u));
  }
  const uint32_t filesCounted = progress_.filesCounted;
  const uint64_t bytesCounted = progress_.bytesCounted;
  if (const std::wstring refusal = SurveyRefusal(); !refusal.empty()) return Fail(refusal);
  progress_.filesCounted = filesCounted;
  progress_.bytesCounted = bytesCounted;
  filesFound_ = progress_.filesCounted;
  observer_.PhaseStarted(L"Copy files progress:", progress_.filesCounted);
  observer_.LogLine(FormatText(L"Found %lu files in source, totaling %s in size.",
                               progress_.filesCounted, FormatSize(progress_.bytesCounted).c_str()));

  std::wstring root = target_;
  if (!path::IsRoot(root) && !path::StripToRoot(root)) {
    return Fail(
        FormatText(L"Unable to find root of %s. Please select a complete target folder path.",
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
    return Fail(
        FormatText(L"ERROR: There isn't enough room on on %s to copy the files from %s. You "
                   L"need at least %s free in order to proceed.",
                   root.c_str(), source_.c_str(), FormatSize(progress_.bytesCounted).c_str()));
  }

  observer_.LogLine(FormatText(L"Copying files to %s...", target_.c_str()));
  ResetProgress(progress_);
  // The whole tree, empty folders and links included, each file under its own name only once
  // it is whole, so that a later run never takes a partial file for a newer copy. A link that
  // leads inside the source leads inside the copy.
  const ErrorCode copied = CopyTree(fs_, system_, source_, patterns_, target_,
                                    {.onlyIfNewer = true,
                                     .cancel = cancel_,
                                     .onFile = FileCallback,
                                     .progress = &progress_,
                                     .copyRoutine = CopyRoutine,
                                     .copyUserData = &progress_,
                                     .wholeTree = true,
                                     .throughTemporaryName = true,
                                     .recreateLinks = true,
                                     .linksFrom = sourceFinal_,
                                     .linksTo = targetFinal_,
                                     .temporaryName = temporaryName_});
  if (cancel_.Requested()) return Cancelled();
  if (copied != err::Success) {
    return Fail(FormatText(L"Error %lu attempting to copy files.", copied));
  }
  observer_.LogLine(
      FormatText(L"Copied %lu files with %lu errors.", progress_.filesDone, progress_.errors));
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
    return FormatText(L"Unable to find or create Tessaly's folder in your local application data "
                      L"(error %lu), where the record of this relocation is kept while it runs. "
                      L"Nothing was moved: your files are still in %s.",
                      e, source_.c_str());
  }
  // One journal at a time: the record of a run that did not end is never replaced, here or
  // where earlier versions kept it.
  std::wstring earlier;
  const bool hasEarlier = GetEarlierRelocationJournalPath(fs_, system_, earlier) == err::Success;
  for (const std::wstring& journal : {journalPath_, earlier}) {
    if (journal.empty() || !PathExists(fs_, journal)) continue;
    return FormatText(L"An earlier relocation did not end; it is recorded in %s. Nothing was "
                      L"moved: start Tessaly again to finish that relocation or to put its folder "
                      L"back first.",
                      journal.c_str());
  }
  // The folders Tessaly keeps its own records in never move: the journal would go with the
  // source it describes.
  std::wstring journalFolder = journalPath_;
  path::RemoveFileSpec(journalFolder);
  std::wstring backups = earlier;
  if (hasEarlier) path::RemoveFileSpec(backups);
  const std::wstring sourceFinal = FinalForm(fs_, source_);
  for (const std::wstring& kept : {journalFolder, backups}) {
    if (kept.empty()) continue;
    const std::wstring keptFinal = FinalForm(fs_, kept);
    if (path::CommonPrefix(keptFinal, sourceFinal) < sourceFinal.size()) continue;
    return FormatText(L"%s holds %s, where Tessaly keeps its own records (the record of a "
                      L"relocation while it runs, and your settings backups), so it cannot be "
                      L"relocated. Nothing was moved: your files are still in %s. Please choose "
                      L"a folder inside it instead.",
                      source_.c_str(), kept.c_str(), source_.c_str());
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

namespace {

// The first few of `names`, joined for a message: "a, b and c", "a, b, c and 4 others".
std::wstring FewNames(const std::vector<std::wstring>& names) {
  constexpr size_t kShown = 3;
  std::wstring text;
  for (size_t i = 0; i < names.size() && i < kShown; ++i) {
    if (i > 0) text += (i + 1 == names.size()) ? L" and " : L", ";
    text += names[i];
  }
  if (names.size() > kShown) {
    text += FormatText(L" and %lu others", static_cast<uint32_t>(names.size() - kShown));
  }
  return text;
}

// Folds a name as the file system compares names: A-Z and the Latin-1 letters.
std::wstring Folded(std::wstring name) {
  for (wchar_t& c : name) {
    if ((c >= L'a' && c <= L'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c = wchar_t(c - 32);
  }
  return name;
}

}  // namespace

std::wstring Run::SurveyRefusal() {
  std::set<std::wstring> seen;                   // each relative path, folded
  std::map<std::wstring, std::wstring> firstOf;  // folded path -> the name first met
  std::vector<std::wstring> trailing, clashes, links;
  const ErrorCode walked =
      WalkTree(fs_, source_, [&](const std::wstring& relative, const FindData& entry) {
        const wchar_t last = entry.name.empty() ? L'\0' : entry.name.back();
        if (last == L'.' || last == L' ')
          trailing.push_back(L"\"" + source_ + L"\\" + relative + L"\"");
        const std::wstring folded = Folded(relative);
        if (!seen.insert(folded).second) {
          clashes.push_back(FormatText(L"\"%s\\%s\" and \"%s\"", source_.c_str(),
                                       firstOf[folded].c_str(), entry.name.c_str()));
        } else {
          firstOf[folded] = relative;
        }
        if (entry.IsDirectory() && entry.IsReparsePoint()) links.push_back(relative);
        return true;
      });
  if (walked != err::Success) {
    return FormatText(L"Unable to read every folder of %s (error %lu), so nothing was moved.",
                      source_.c_str(), walked);
  }
  if (!trailing.empty()) {
    return FormatText(L"Windows cannot copy or delete a file or folder whose name ends with a dot "
                      L"or a space: %s. Nothing was moved: your files are still in %s. Please "
                      L"rename them and try again.",
                      FewNames(trailing).c_str(), source_.c_str());
  }
  if (!clashes.empty()) {
    return FormatText(L"These names differ only in case, and Windows keeps only one of each at "
                      L"the target: %s. Nothing was moved: your files are still in %s. Please "
                      L"rename one of each and try again.",
                      FewNames(clashes).c_str(), source_.c_str());
  }
  return LinkRefusal(links);
}

std::wstring Run::LinkRefusal(const std::vector<std::wstring>& links) {
  if (links.empty()) return {};
  for (const std::wstring& relative : links) {
    const std::wstring link = source_ + L"\\" + relative;
    std::wstring place;
    if (ErrorCode unreadable = fs_.GetFinalPath(link, place)) {
      return FormatText(L"The folder link %s leads to nothing that can be found (error %lu), so "
                        L"it cannot be made again in %s. Nothing was moved: please repair or "
                        L"remove the link and try again.",
                        link.c_str(), unreadable, target_.c_str());
    }
    // A link within the source is made again within the copy; the check expects it there (a
    // place too long to rebase cannot be copied either, and the copy says so).
    RebaseWithin(place, sourceFinal_, targetFinal_);
    linkPlaces_[relative] = place;
  }
  const std::wstring first = source_ + L"\\" + links.front();
  // A trial link beside the target tells whether links can be made there. It leads to the folder
  // that holds it (a link to nothing is not even listed under Wine); its name is this run's own,
  // and only a link this run made is removed.
  std::wstring folder = target_;
  while (!IsDirectory(fs_, folder) && path::RemoveFileSpec(folder)) {
  }
  std::wstring trial = folder;
  ErrorCode made = err::InvalidParameter;
  if (path::Append(trial, L"~tessaly-link-trial-" + runName_, kTreePathCapacity)) {
    made = fs_.CreateFolderLink(trial, folder);
    FindData link;
    const bool there = made == err::Success && PathExists(fs_, trial, &link);
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
    if (cancel_.Requested()) return Cancelled();
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
      // Whatever part of it was written; the message says why the run ends either way.
      (void)ClearRelocationJournal(fs_, journalPath_);
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
      const std::wstring refused =
          FormatText(L"Failed to rename %s to %s in order to create symbolic link (error code "
                     L"%lu). Files might be in use.",
                     source_.c_str(), renamed.c_str(), e);
      // The steps that finish by hand delete the source: they are shown only once the copy is
      // known to hold every file of it as it is.
      CopyCheckOptions options;
      options.compareContents = compareContents_;
      options.cancel = cancel_;
      const CopyCheck check = CheckCopy(fs_, source_, target_, options);
      if (check.Whole() && check.keptNewer.empty()) {
        return Fail(refused + FormatText(L" Nothing was moved: your files are still in %s, and "
                                         L"every one of them is also in %s, checked.",
                                         source_.c_str(), target_.c_str()),
                    true);
      }
      return Fail(refused + FormatText(L" Nothing was moved: your files are still in %s, and "
                                       L"what was copied is in %s.",
                                       source_.c_str(), target_.c_str()));
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
    // The folder that is checked is the one that may be deleted, and no other.
    const ErrorCode identified = RenamedFolderIdentity(fs_, renamed, checkedIdentity_);
    if (identified == err::NotAReparsePoint) {
      return PutSourceBack(renamed,
                           FormatText(L"%s became a link after %s was renamed, so nothing was "
                                      L"checked or deleted.",
                                      renamed.c_str(), source_.c_str()),
                           Copy::Whole);
    }
    identityKnown_ = identified == err::Success;
    // Nothing is deleted that is not in the copy; once renamed, nothing more is written into the
    // original by its path.
    if (std::optional<RelocationResult> stop = CheckTheCopy(renamed)) return *stop;
  }

  observer_.LogLine(
      L"Creating symbolic link so applications can find files at their new location...");
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
  if (const std::wstring failure =
          DeleteRenamedFolder(fs_, renamed, target_, cancel_, FileCallback,
                              identityKnown_ ? &checkedIdentity_ : nullptr);
      !failure.empty()) {
    return Fail(failure);
  }
  result_.renamedFolder.clear();
  ClearJournal();
  return Finish(true);
}

std::optional<RelocationResult> Run::CheckTheCopy(const std::wstring& renamed) {
  observer_.PhaseStarted(L"Check files progress:", filesFound_);
  observer_.LogLine(
      FormatText(L"Checking that every file and folder of %s is in %s (alternate data "
                 L"streams are not copied)...",
                 renamed.c_str(), target_.c_str()));
  CopyCheckOptions options;
  options.compareContents = compareContents_;
  options.linkPlaces = linkPlaces_;
  options.cancel = cancel_;
  options.onFile = [this](const std::wstring& file) { observer_.FileStarted(file); };
  const CopyCheck check = CheckCopy(fs_, renamed, target_, options);
  if (check.Whole() && !check.keptNewer.empty()) return AskAboutKeptNewer(renamed, check);
  if (check.Whole()) return std::nullopt;
  if (check.fault == CopyFault::Cancelled) return PutSourceBack(renamed, L"", Copy::Partial, true);
  return PutSourceBack(renamed, CopyMismatchText(target_, source_, check), Copy::Partial);
}

std::wstring Run::TimeText(FileTime time) {
  const uint64_t seconds = (time / kFileTimeTicksPerSecond) % (24 * 3600);
  return system_.FormatDate(time) +
         FormatText(L" %02lu:%02lu:%02lu UTC", static_cast<uint32_t>(seconds / 3600),
                    static_cast<uint32_t>(seconds / 60 % 60), static_cast<uint32_t>(seconds % 60));
}

std::optional<RelocationResult> Run::AskAboutKeptNewer(const std::wstring& renamed,
                                                       const CopyCheck& check) {
  const uint32_t count = static_cast<uint32_t>(check.keptNewer.size());
  observer_.LogLine(FormatText(L"%lu files in %s were kept because they are newer than your "
                               L"originals, and they differ from them:",
                               count, target_.c_str()));
  for (const KeptNewerFile& file : check.keptNewer) {
    observer_.LogLine(FormatText(L"%s: original %llu bytes, changed %s; kept in %s: %llu bytes, "
                                 L"changed %s.",
                                 file.item.c_str(), file.originalSize,
                                 TimeText(file.originalTime).c_str(), target_.c_str(),
                                 file.copySize, TimeText(file.copyTime).c_str()));
  }
  const std::wstring question = FormatText(
      L"%lu files in %s are newer versions that differ from your originals (they are listed in "
      L"the log), so Tessaly kept them instead of copying your originals over them.\n\n"
      L"Delete your originals of these files anyway?\n\n"
      L"Yes: your originals of these files are deleted with the rest of %s once the link is "
      L"made, and only the newer versions stay.\n"
      L"No: nothing is deleted; %s gets its own name back, so your originals are in %s and the "
      L"newer versions stay in %s.",
      count, target_.c_str(), renamed.c_str(), renamed.c_str(), source_.c_str(), target_.c_str());
  if (observer_.ConfirmDeletingDifferingOriginals(question)) {
    observer_.LogLine(
        FormatText(L"Deleting the originals of these %lu files too, as you chose.", count));
    return std::nullopt;
  }
  return PutSourceBack(renamed,
                       FormatText(L"%lu files in %s differ from your originals and are newer, and "
                                  L"you chose to keep both versions.",
                                  count, target_.c_str()),
                       Copy::Whole);
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
    // No recommended steps here: deleting the folder they call the old one would lose files.
    return Fail(opening +
                FormatText(L" %s could not be renamed back to %s (error %lu): your files are in "
                           L"%s%s. Rename %s back to %s to use them where they were.",
                           renamed.c_str(), source_.c_str(), e, renamed.c_str(), copyWords.c_str(),
                           renamed.c_str(), source_.c_str()));
  }
  result_.renamedFolder.clear();
  ClearJournal();
  if (cancelled) {
    // Said, not only logged: the page may be closing, and the user should know where things are.
    return Fail(FormatText(L"Operation canceled. %s has its own name back: nothing was moved, "
                           L"your files are still in %s%s.",
                           source_.c_str(), source_.c_str(), copyWords.c_str()));
  }
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

std::wstring TargetLengthRefusal(const std::wstring& target, const std::wstring& source) {
  // A longer path cannot be reached by every program that looks for the files there.
  if (target.size() < kPathCapacity) return {};
  return FormatText(L"The Full Target Path %s has %lu characters; Windows programs can use paths "
                    L"of at most %lu. Nothing was moved: your files are still in %s. Please "
                    L"choose a shorter New Location or folder name.",
                    target.c_str(), static_cast<uint32_t>(target.size()),
                    static_cast<uint32_t>(kPathCapacity - 1), source.c_str());
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

ErrorCode RenamedFolderIdentity(FileSystem& fs, const std::wstring& renamed,
                                FileSystem::ItemIdentity& out) {
  const ErrorCode e = fs.GetItemIdentity(renamed, out);
  if (e == err::Success && out.IsLink()) return err::NotAReparsePoint;
  return e == err::Success ? err::Success : err::NotSupported;
}

std::wstring DeleteRenamedFolder(FileSystem& fs, const std::wstring& renamed,
                                 const std::wstring& target, CancelToken cancel,
                                 TreeProgressCallback onFile,
                                 const FileSystem::ItemIdentity* checked) {
  if (checked) {
    FileSystem::ItemIdentity now;
    if (fs.GetItemIdentity(renamed, now) != err::Success || !now.SameItem(*checked) ||
        now.IsLink()) {
      return FormatText(L"%s is no longer the folder that was checked against the copy (it was "
                        L"replaced or became a link), so nothing was deleted from it. Your files "
                        L"are in %s; whatever %s holds now was left as it is.",
                        renamed.c_str(), target.c_str(), renamed.c_str());
    }
  }
  if (ErrorCode e = DeleteTree(fs, PatternSet{L"*.*"}, renamed,
                               {.cancel = cancel, .onFile = onFile, .removeFolders = true})) {
    return FormatText(L"Error %lu attempting to delete files from renamed folder %s.", e,
                      renamed.c_str());
  }
  // A deletion that returns with the folder still there did not end as it should: a cancelled one
  // returns as soon as it stops, with the result of its last file.
  if (!PathExists(fs, renamed)) return {};
  if (cancel.Requested()) {
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
                               CancelToken cancel, RelocationObserver& observer) {
  try {
    return Run(fs, system, request, cancel, observer).Go();
  } catch (const std::bad_alloc&) {
    observer.Failed(L"Out of memory.", false, 0, 0);
    observer.Finished(false);
    return {};
  }
}

}  // namespace tessaly
