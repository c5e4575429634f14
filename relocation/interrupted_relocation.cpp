// A relocation cut off after its rename: the state on disk, the question, finish and put back.
#include "relocation/interrupted_relocation.h"

#include "platform/file_ops.h"
#include "platform/text.h"
#include "relocation/copy_check.h"
#include "relocation/folder_identity.h"
#include "relocation/relocation_engine.h"

namespace tessaly {
namespace {

const wchar_t* OriginalWords(OriginalPlace place) {
  switch (place) {
    case OriginalPlace::Missing: return L"nothing is there now";
    case OriginalPlace::Folder: return L"a folder is there now";
    case OriginalPlace::LinkToTarget: return L"a link to the copy is there now";
    case OriginalPlace::LinkElsewhere: return L"a link that does not lead to the copy is there now";
    case OriginalPlace::Other: return L"a file is there now";
  }
  return L"";
}

// " The copy is in T." when it is there.
std::wstring CopyWords(const InterruptedRelocation& state) {
  if (!state.copyExists) return {};
  return FormatText(L" The copy is in %s.", state.journal.target.c_str());
}

// Removes the journal once the action has done its work; a journal that stays is said.
RecoveryOutcome Done(FileSystem& fs, const std::wstring& journalPath, std::wstring message) {
  if (ErrorCode e = ClearRelocationJournal(fs, journalPath)) {
    return {false, message + FormatText(L" The record %s could not be removed (error %lu); "
                                        L"delete it by hand.",
                                        journalPath.c_str(), e)};
  }
  return {true, std::move(message)};
}

RecoveryOutcome Refused(std::wstring message) { return {false, std::move(message)}; }

// Neither the renamed folder nor the user's files at the Original Location are there: nothing
// to finish or put back.
std::wstring NothingThere(const InterruptedRelocation& state, const RelocationJournal& journal) {
  return FormatText(L"%s is not there, and %s holds no folder of your files, so nothing was "
                    L"changed.%s",
                    journal.renamed.c_str(), journal.source.c_str(), CopyWords(state).c_str());
}

}  // namespace

std::wstring JournalRefusal(FileSystem& fs, const std::wstring& journalPath,
                            const RelocationJournal& journal) {
  const std::wstring& source = journal.source;
  const std::wstring& renamed = journal.renamed;
  const std::wstring& target = journal.target;
  std::wstring fault;
  if (!IsPlainFullPath(source) || !IsPlainFullPath(renamed) || !IsPlainFullPath(target)) {
    fault = L"not every path in it is a full path";
  } else if (!SourceRootRefusal(source).empty()) {
    fault = L"its Original Location is the root of a drive";
  } else {
    // However the three are spelt (a link, "..", a short name), the copy must be a folder of
    // its own, apart from the original under both its names.
    const std::wstring copy = FinalForm(fs, target);
    const std::wstring original = PlaceForm(fs, source);
    const std::wstring renamedPlace = PlaceForm(fs, renamed);
    const std::wstring renamedFinal = FinalForm(fs, renamed);
    if (FoldersOverlap(copy, renamedPlace) || FoldersOverlap(copy, renamedFinal)) {
      fault = FormatText(L"the copy it names is the renamed folder itself, or lies inside it or "
                         L"holds it (%s)",
                         copy.c_str());
    } else if (FoldersOverlap(copy, original)) {
      fault = FormatText(L"the copy it names is the Original Location, or lies inside it or "
                         L"holds it (%s)",
                         copy.c_str());
    }
  }
  if (fault.empty()) return {};
  return FormatText(L"The record %s cannot be acted on: %s. It names as the Original Location "
                    L"%s, as your renamed files %s, and as the copy %s. Nothing was changed; "
                    L"check those folders yourself.",
                    journalPath.c_str(), fault.c_str(), source.c_str(), renamed.c_str(),
                    target.c_str());
}

InterruptedRelocation DescribeInterruptedRelocation(FileSystem& fs,
                                                    const RelocationJournal& journal) {
  InterruptedRelocation state;
  state.journal = journal;
  FindData found;
  if (PathExists(fs, journal.source, &found)) {
    if (!found.IsDirectory()) {
      state.original = OriginalPlace::Other;
    } else if (!found.IsReparsePoint()) {
      state.original = OriginalPlace::Folder;
    } else {
      std::wstring leadsTo;
      const bool toTarget = fs.GetFinalPath(journal.source, leadsTo) == err::Success &&
                            EqualsNoCase(leadsTo, FinalForm(fs, journal.target));
      state.original = toTarget ? OriginalPlace::LinkToTarget : OriginalPlace::LinkElsewhere;
    }
  }
  const auto isRealFolder = [&fs](const std::wstring& path) {
    FindData entry;
    return PathExists(fs, path, &entry) && entry.IsDirectory() && !entry.IsReparsePoint();
  };
  state.renamedExists = isRealFolder(journal.renamed);
  state.copyExists = isRealFolder(journal.target);
  return state;
}

namespace {

// Where the original, the renamed folder and the copy are, as both forms of the question list them.
std::wstring PlacesOfRelocation(const InterruptedRelocation& state) {
  const RelocationJournal& j = state.journal;
  const wchar_t* notFound = L" (not found)";
  return FormatText(L"Original Location: %s (%s)\n"
                    L"Your original files, renamed: %s%s\n"
                    L"The copy: %s%s",
                    j.source.c_str(), OriginalWords(state.original), j.renamed.c_str(),
                    state.renamedExists ? L"" : notFound, j.target.c_str(),
                    state.copyExists ? L"" : notFound);
}

constexpr wchar_t kInterruptedLead[] =
    L"A relocation of your files did not end when Tessaly last ran.";
constexpr wchar_t kDecideLaterWords[] =
    L"Nothing is changed, and Tessaly asks again when it next starts.";

std::wstring FinishWords(const RelocationJournal& j) {
  return FormatText(L"Tessaly checks the copy against your original files, links the Original "
                    L"Location to the copy, then deletes %s.",
                    j.renamed.c_str());
}

std::wstring PutBackWords(const RelocationJournal& j) {
  return FormatText(L"Tessaly renames %s back to %s; the copy is left as it is.", j.renamed.c_str(),
                    j.source.c_str());
}

std::wstring RecordedIn(const std::wstring& journalPath) {
  return FormatText(L"This relocation is recorded in %s.", journalPath.c_str());
}

}  // namespace

std::wstring InterruptedRelocationQuestion(const InterruptedRelocation& state,
                                           const std::wstring& journalPath) {
  const RelocationJournal& j = state.journal;
  return FormatText(L"%s\n\n%s\n\n"
                    L"Yes: finish the relocation. %s\n"
                    L"No: put your original files back. %s\n"
                    L"Cancel: decide later. %s\n\n%s",
                    kInterruptedLead, PlacesOfRelocation(state).c_str(), FinishWords(j).c_str(),
                    PutBackWords(j).c_str(), kDecideLaterWords, RecordedIn(journalPath).c_str());
}

ChoiceQuestion InterruptedRelocationChoice(const InterruptedRelocation& state,
                                           const std::wstring& journalPath) {
  const RelocationJournal& j = state.journal;
  ChoiceQuestion question;
  question.instruction = kInterruptedLead;
  question.content = PlacesOfRelocation(state) + L"\n\n" + RecordedIn(journalPath);
  question.buttons = {
      {L"&Finish the move", FinishWords(j), BoxButton::Yes},
      {L"&Put my files back", PutBackWords(j), BoxButton::No},
      {L"&Decide later", kDecideLaterWords, BoxButton::Cancel},
  };
  question.laterChoice = static_cast<size_t>(RecoveryChoice::DecideLater);
  question.boxText = InterruptedRelocationQuestion(state, journalPath);
  return question;
}

std::wstring UnreadableJournalMessage(const std::wstring& journalPath, ErrorCode error) {
  return FormatText(L"Tessaly found %s, the record of a relocation that did not end, but cannot "
                    L"read it (error %lu). Nothing was changed. The file names the folders "
                    L"concerned; check them, then delete the file.",
                    journalPath.c_str(), error);
}

std::wstring FinishRefusal(FileSystem& fs, const std::wstring& journalPath,
                           const InterruptedRelocation& state) {
  const RelocationJournal& journal = state.journal;
  if (std::wstring refusal = JournalRefusal(fs, journalPath, journal); !refusal.empty()) {
    return refusal;
  }
  if (!state.renamedExists) {
    if (state.original == OriginalPlace::LinkToTarget || state.original == OriginalPlace::Folder) {
      return {};
    }
    return NothingThere(state, journal);
  }
  if (!state.copyExists) {
    return FormatText(L"The copy %s is not there, so nothing was changed: your files are in %s. "
                      L"Start Tessaly again and choose No to put them back.",
                      journal.target.c_str(), journal.renamed.c_str());
  }
  if (state.original != OriginalPlace::Missing && state.original != OriginalPlace::LinkToTarget) {
    return FormatText(L"%s cannot be linked to the copy because %s. Nothing was changed: your "
                      L"files are in %s, and a copy of them is in %s.",
                      journal.source.c_str(), OriginalWords(state.original),
                      journal.renamed.c_str(), journal.target.c_str());
  }
  return {};
}

std::wstring PutBackRefusal(FileSystem& fs, const std::wstring& journalPath,
                            const InterruptedRelocation& state) {
  const RelocationJournal& journal = state.journal;
  if (std::wstring refusal = JournalRefusal(fs, journalPath, journal); !refusal.empty()) {
    return refusal;
  }
  if (!state.renamedExists) {
    if (state.original == OriginalPlace::Folder) return {};
    if (state.original == OriginalPlace::LinkToTarget) {
      return FormatText(L"%s was already deleted, so it cannot be put back: your files are in "
                        L"%s, and %s leads there. Start Tessaly again and choose Yes to finish "
                        L"the relocation.",
                        journal.renamed.c_str(), journal.target.c_str(), journal.source.c_str());
    }
    return NothingThere(state, journal);
  }
  if (state.original == OriginalPlace::Folder || state.original == OriginalPlace::Other) {
    return FormatText(L"%s cannot be renamed back to %s because %s. Nothing was changed: your "
                      L"files are in %s.%s",
                      journal.renamed.c_str(), journal.source.c_str(),
                      OriginalWords(state.original), journal.renamed.c_str(),
                      CopyWords(state).c_str());
  }
  return {};
}

RecoveryOutcome FinishInterruptedRelocation(FileSystem& fs, const std::wstring& journalPath,
                                            const RelocationJournal& journal) {
  const InterruptedRelocation state = DescribeInterruptedRelocation(fs, journal);
  if (std::wstring refusal = FinishRefusal(fs, journalPath, state); !refusal.empty()) {
    return Refused(std::move(refusal));
  }
  const std::wstring& source = journal.source;
  const std::wstring& renamed = journal.renamed;
  const std::wstring& target = journal.target;
  if (!state.renamedExists) {
    if (state.original == OriginalPlace::LinkToTarget) {
      return Done(fs, journalPath,
                  FormatText(L"The relocation was already finished: %s leads to %s, where your "
                             L"files are.",
                             source.c_str(), target.c_str()));
    }
    return Done(fs, journalPath,
                FormatText(L"Your files are in %s, where they were, so there was nothing to "
                           L"finish. Run the relocation wizard again to move them.",
                           source.c_str()));
  }
  // The folder that is checked is the one that may be deleted, and no other.
  FileSystem::ItemIdentity checkedIdentity;
  const ErrorCode identified = RenamedFolderIdentity(fs, renamed, checkedIdentity);
  if (identified == err::NotAReparsePoint) {
    return Refused(FormatText(L"%s is a link now, not the folder of your files, so nothing was "
                              L"changed. The copy is in %s.",
                              renamed.c_str(), target.c_str()));
  }
  // Nothing is deleted that is not in the copy, as in a run.
  CopyCheckOptions options;
  options.compareContents = journal.compareContents;
  const CopyCheck check = CheckCopy(fs, renamed, target, options);
  if (!check.Whole()) {
    return Refused(CopyMismatchText(target, renamed, check) +
                   FormatText(L" Nothing was deleted: your files are in %s, and what was copied "
                              L"is in %s.",
                              renamed.c_str(), target.c_str()));
  }
  // A newer file kept in the copy that differs from its original: the original is never deleted
  // unasked, and there is no one to ask here.
  if (!check.keptNewer.empty()) {
    return Refused(FormatText(L"%lu files in %s are newer versions that differ from your "
                              L"originals (the first is %s), so nothing was deleted: your "
                              L"originals are in %s, and the newer versions are in %s. Choose No "
                              L"to put your originals back, then move the files you want to keep "
                              L"by hand.",
                              static_cast<uint32_t>(check.keptNewer.size()), target.c_str(),
                              check.keptNewer.front().item.c_str(), renamed.c_str(),
                              target.c_str()));
  }
  if (state.original == OriginalPlace::Missing) {
    if (ErrorCode e = MakeRelocationLink(fs, source, target)) {
      return Refused(FormatText(L"Error %lu creating a symbolic link to %s. Nothing was deleted: "
                                L"your files are in %s, and a copy of them is in %s.",
                                e, target.c_str(), renamed.c_str(), target.c_str()));
    }
  }
  if (const std::wstring failure =
          DeleteRenamedFolder(fs, renamed, target, kNeverCancelled, nullptr,
                              identified == err::Success ? &checkedIdentity : nullptr);
      !failure.empty()) {
    return Refused(failure + FormatText(L" %s leads to %s, where your files are.", source.c_str(),
                                        target.c_str()));
  }
  return Done(fs, journalPath,
              FormatText(L"The relocation is finished: %s leads to %s, where your files are, and "
                         L"%s was deleted.",
                         source.c_str(), target.c_str(), renamed.c_str()));
}

RecoveryOutcome PutBackInterruptedRelocation(FileSystem& fs, const std::wstring& journalPath,
                                             const RelocationJournal& journal) {
  const InterruptedRelocation state = DescribeInterruptedRelocation(fs, journal);
  if (std::wstring refusal = PutBackRefusal(fs, journalPath, state); !refusal.empty()) {
    return Refused(std::move(refusal));
  }
  const std::wstring& source = journal.source;
  const std::wstring& renamed = journal.renamed;
  const std::wstring& target = journal.target;
  if (!state.renamedExists) {
    return Done(fs, journalPath, FormatText(L"Your files are already back in %s.", source.c_str()));
  }
  if (state.original == OriginalPlace::LinkToTarget ||
      state.original == OriginalPlace::LinkElsewhere) {
    // Removing a folder link removes the link alone; what it leads to stays. What stands there
    // is looked at once more just before it goes, opened without following it and listed (a
    // file system that follows links when it opens them still lists a link as one).
    FileSystem::ItemIdentity now;
    const bool opensAsFolder = fs.GetItemIdentity(source, now) == err::Success && !now.IsLink();
    FindData listed;
    if (opensAsFolder && !(PathExists(fs, source, &listed) && listed.IsReparsePoint())) {
      return Refused(FormatText(L"%s is no longer a link, so %s was not renamed back. Nothing was "
                                L"changed: your files are in %s.%s",
                                source.c_str(), renamed.c_str(), renamed.c_str(),
                                CopyWords(state).c_str()));
    }
    const ErrorCode removed = fs.RemoveFolder(source);
    if (removed != err::Success || PathExists(fs, source)) {
      return Refused(FormatText(L"The link %s could not be removed (error %lu), so %s was not "
                                L"renamed back. Nothing was changed: your files are in %s.%s",
                                source.c_str(),
                                removed != err::Success ? removed : err::AccessDenied,
                                renamed.c_str(), renamed.c_str(), CopyWords(state).c_str()));
    }
  }
  if (ErrorCode e = fs.MoveFile(renamed, source, 0)) {
    return Refused(FormatText(L"%s could not be renamed back to %s (error %lu): your files are in "
                              L"%s.%s Rename %s back to %s to use them where they were.",
                              renamed.c_str(), source.c_str(), e, renamed.c_str(),
                              CopyWords(state).c_str(), renamed.c_str(), source.c_str()));
  }
  // The link is made only once the copy was found whole, just before the deletion: the folder
  // put back may have lost files to that deletion, and the copy holds them all.
  if (state.original == OriginalPlace::LinkToTarget) {
    return Done(fs, journalPath,
                FormatText(L"Your files are back in %s. Some of them may have been deleted from "
                           L"it before the relocation stopped; all of them are in %s, which was "
                           L"left as it is.",
                           source.c_str(), target.c_str()));
  }
  return Done(fs, journalPath,
              FormatText(L"Your files are back in %s. The copy in %s was left as it is; delete it "
                         L"if you do not need it.",
                         source.c_str(), target.c_str()));
}

std::wstring WhereTheFilesAre(const InterruptedRelocation& state) {
  const RelocationJournal& j = state.journal;
  std::wstring where;
  if (state.renamedExists)
    where += FormatText(L" Your original files are in %s.", j.renamed.c_str());
  if (state.original == OriginalPlace::Folder) {
    where += FormatText(L" A folder is at %s.", j.source.c_str());
  } else if (state.original == OriginalPlace::LinkToTarget) {
    where += FormatText(L" %s leads to the copy.", j.source.c_str());
  }
  if (state.copyExists) where += FormatText(L" The copy is in %s.", j.target.c_str());
  if (where.empty()) {
    where = FormatText(L" Tessaly found none of %s, %s and %s.", j.source.c_str(),
                       j.renamed.c_str(), j.target.c_str());
  }
  return where.substr(1);
}

namespace {

constexpr wchar_t kStuckLead[] = L"A relocation of your files did not end when Tessaly last ran, "
                                 L"and it can be neither finished nor put back.";
constexpr wchar_t kForgetWords[] = L"Tessaly asks once more first. Nothing is moved or deleted; "
                                   L"only its record is.";

std::wstring StuckReasons(const InterruptedRelocation& state, const std::wstring& finishRefusal,
                          const std::wstring& putBackRefusal) {
  return FormatText(L"Finishing it: %s\n\nPutting it back: %s\n\n%s", finishRefusal.c_str(),
                    putBackRefusal.c_str(), WhereTheFilesAre(state).c_str());
}

}  // namespace

std::wstring StuckRelocationQuestion(const InterruptedRelocation& state,
                                     const std::wstring& journalPath,
                                     const std::wstring& finishRefusal,
                                     const std::wstring& putBackRefusal) {
  return FormatText(L"%s\n\n%s\n\nYes: forget this relocation. %s\nNo: decide later. %s\n\n%s",
                    kStuckLead, StuckReasons(state, finishRefusal, putBackRefusal).c_str(),
                    kForgetWords, kDecideLaterWords, RecordedIn(journalPath).c_str());
}

ChoiceQuestion StuckRelocationChoice(const InterruptedRelocation& state,
                                     const std::wstring& journalPath,
                                     const std::wstring& finishRefusal,
                                     const std::wstring& putBackRefusal) {
  ChoiceQuestion question;
  question.instruction = kStuckLead;
  question.content =
      StuckReasons(state, finishRefusal, putBackRefusal) + L"\n\n" + RecordedIn(journalPath);
  question.buttons = {
      {L"&Forget this relocation", kForgetWords, BoxButton::Yes},
      {L"&Decide later", kDecideLaterWords, BoxButton::No},
  };
  question.laterChoice = static_cast<size_t>(StuckChoice::DecideLater);
  question.boxText = StuckRelocationQuestion(state, journalPath, finishRefusal, putBackRefusal);
  return question;
}

std::wstring ForgetRelocationQuestion(const InterruptedRelocation& state,
                                      const std::wstring& journalPath) {
  return FormatText(L"Forget the relocation of %s?\n\n%s\n\n"
                    L"Tessaly deletes its record %s and will no longer ask about this "
                    L"relocation. Your files stay where they are, and new relocations can start "
                    L"again. Put them where you want them yourself.",
                    state.journal.source.c_str(), WhereTheFilesAre(state).c_str(),
                    journalPath.c_str());
}

RecoveryOutcome ForgetInterruptedRelocation(FileSystem& fs, const std::wstring& journalPath,
                                            const InterruptedRelocation& state) {
  return Done(fs, journalPath,
              L"Tessaly no longer asks about this relocation. " + WhereTheFilesAre(state));
}

}  // namespace tessaly
