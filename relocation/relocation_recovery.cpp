// The start-up check for a relocation that was cut off.
#include "relocation/relocation_recovery.h"

#include "relocation/interrupted_relocation.h"
#include "relocation/relocation_journal.h"

namespace tessaly {

void CheckInterruptedRelocation(FileSystem& fs, System& system, RecoveryPrompts& prompts) {
  using Tone = RecoveryPrompts::Tone;
  // The journal's own folder first, then where earlier versions kept it.
  std::wstring journalPath;
  if (FindRelocationJournal(fs, system, journalPath) != err::Success) return;
  RelocationJournal journal;
  const ErrorCode read = ReadRelocationJournal(fs, journalPath, journal);
  if (read == err::FileNotFound || read == err::PathNotFound) return;
  // A journal that cannot be read is never acted on.
  if (read != err::Success) {
    prompts.Tell(UnreadableJournalMessage(journalPath, read), Tone::Warning);
    return;
  }
  const InterruptedRelocation state = DescribeInterruptedRelocation(fs, journal);
  const auto tell = [&prompts](const RecoveryOutcome& outcome) {
    prompts.Tell(outcome.message, outcome.done ? Tone::Information : Tone::Error);
  };
  // When it can be neither finished nor put back, the only way out is to forget it: asked twice,
  // each question saying where the files are.
  const std::wstring finishRefusal = FinishRefusal(fs, journalPath, state);
  const std::wstring putBackRefusal = PutBackRefusal(fs, journalPath, state);
  if (!finishRefusal.empty() && !putBackRefusal.empty()) {
    const auto choice = static_cast<StuckChoice>(
        prompts.Choose(StuckRelocationChoice(state, journalPath, finishRefusal, putBackRefusal)));
    if (choice != StuckChoice::Forget ||
        !prompts.Confirm(ForgetRelocationQuestion(state, journalPath))) {
      return;  // decide later: the journal stays for the next start
    }
    tell(ForgetInterruptedRelocation(fs, journalPath, state));
    return;
  }
  switch (static_cast<RecoveryChoice>(
      prompts.Choose(InterruptedRelocationChoice(state, journalPath)))) {
    case RecoveryChoice::Finish:
      tell(FinishInterruptedRelocation(fs, journalPath, journal));
      return;
    case RecoveryChoice::PutBack:
      tell(PutBackInterruptedRelocation(fs, journalPath, journal));
      return;
    case RecoveryChoice::DecideLater: return;  // the journal stays for the next start
  }
}

}  // namespace tessaly
