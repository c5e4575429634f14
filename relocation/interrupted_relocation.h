// A relocation that was cut off while its source was away from the Original Location (program
// ended, power lost): what its journal records, where things stand now, and the two ways to end
// it, finishing the move or putting the original back. Nothing here happens without the user's
// choice; the program root asks.
#pragma once

#include <string>

#include "app/ui/choice_question.h"
#include "platform/file_system.h"
#include "relocation/relocation_journal.h"

namespace tessaly {

// What stands at the Original Location now.
enum class OriginalPlace {
  Missing,
  Folder,         // a real folder
  LinkToTarget,   // a folder link leading to the Full Target Path
  LinkElsewhere,  // a folder link leading anywhere else, or nowhere that can be found
  Other,          // a file
};

// Where things stand, read from the disk.
struct InterruptedRelocation {
  RelocationJournal journal;
  OriginalPlace original = OriginalPlace::Missing;
  bool renamedExists = false;  // the renamed folder is a real folder
  bool copyExists = false;     // the Full Target Path is a real folder
};

InterruptedRelocation DescribeInterruptedRelocation(FileSystem& fs,
                                                    const RelocationJournal& journal);

// The question the program asks: where the original, the renamed folder and the copy are, and
// what Yes (finish), No (put the original back) and Cancel (decide later) do.
std::wstring InterruptedRelocationQuestion(const InterruptedRelocation& state,
                                           const std::wstring& journalPath);
// The same question with its answers named: "Finish the move", "Put my files back" and "Decide
// later", in the order of RecoveryChoice; the message box's Yes, No and Cancel stand for them.
enum class RecoveryChoice : size_t { Finish, PutBack, DecideLater };
ChoiceQuestion InterruptedRelocationChoice(const InterruptedRelocation& state,
                                           const std::wstring& journalPath);
// The message for a journal that cannot be read as one: it is left alone.
std::wstring UnreadableJournalMessage(const std::wstring& journalPath, ErrorCode error);

// How an action ended: `done` when the journal has been removed; the message says what happened
// and, on failure, where the files are.
struct RecoveryOutcome {
  bool done = false;
  std::wstring message;
};

// Why the journal cannot be acted on, or empty: every path must be full and plain, the renamed
// folder "(Original Location).orig<n>" beside the Original Location, and the copy a folder apart
// from both under any spelling (a link, "..", a short name). The text names what the journal
// names. Finishing and putting back refuse such a journal first.
std::wstring JournalRefusal(FileSystem& fs, const std::wstring& journalPath,
                            const RelocationJournal& journal);

// Why finishing, or putting back, would be refused, read from where things stand before anything
// is changed (the check of the copy aside); empty when it may be tried.
std::wstring FinishRefusal(FileSystem& fs, const std::wstring& journalPath,
                           const InterruptedRelocation& state);
std::wstring PutBackRefusal(FileSystem& fs, const std::wstring& journalPath,
                            const InterruptedRelocation& state);

// Where the original, the renamed folder and the copy are, in sentences.
std::wstring WhereTheFilesAre(const InterruptedRelocation& state);
// The question when both ways are refused: both reasons, where the files are, and Yes (forget
// the relocation, after a second question) or No (decide later).
std::wstring StuckRelocationQuestion(const InterruptedRelocation& state,
                                     const std::wstring& journalPath,
                                     const std::wstring& finishRefusal,
                                     const std::wstring& putBackRefusal);
// The same question with its answers named: "Forget this relocation" (Yes) and "Decide later"
// (No), in the order of StuckChoice.
enum class StuckChoice : size_t { Forget, DecideLater };
ChoiceQuestion StuckRelocationChoice(const InterruptedRelocation& state,
                                     const std::wstring& journalPath,
                                     const std::wstring& finishRefusal,
                                     const std::wstring& putBackRefusal);
// The second question before a relocation is forgotten, naming where the files are.
std::wstring ForgetRelocationQuestion(const InterruptedRelocation& state,
                                      const std::wstring& journalPath);
// Forgets the relocation: removes its journal and nothing else.
RecoveryOutcome ForgetInterruptedRelocation(FileSystem& fs, const std::wstring& journalPath,
                                            const InterruptedRelocation& state);

// Finishes the move: with the renamed original still there, checks it against the copy as a run
// does (contents too when the journal says so), makes the link at the Original Location if there
// is none, and deletes the renamed original. Removes the journal only when the move is finished.
RecoveryOutcome FinishInterruptedRelocation(FileSystem& fs, const std::wstring& journalPath,
                                            const RelocationJournal& journal);

// Puts the original back: removes a folder link at the Original Location (the link itself, never
// what it leads to) and renames the renamed folder back; the copy stays where it is. Removes the
// journal only when the original is back in its place.
RecoveryOutcome PutBackInterruptedRelocation(FileSystem& fs, const std::wstring& journalPath,
                                             const RelocationJournal& journal);

}  // namespace tessaly
