// The start-up check for a relocation that was cut off: its journal found and read, the question
// asked, the chosen way of ending it done and the outcome told. The program root answers through
// its message boxes and task dialogs; a test answers through a fake.
#pragma once

#include <cstddef>
#include <string>

#include "app/ui/choice_question.h"
#include "platform/file_system.h"
#include "platform/system.h"

namespace tessaly {

// How the check talks to the user.
class RecoveryPrompts {
 public:
  enum class Tone { Warning, Information, Error };
  virtual ~RecoveryPrompts() = default;
  // A message with an OK button.
  virtual void Tell(const std::wstring& text, Tone tone) = 0;
  // A yes/no question (warning): true for Yes.
  virtual bool Confirm(const std::wstring& question) = 0;
  // The index of the button of `question` that the user chose.
  virtual size_t Choose(const ChoiceQuestion& question) = 0;
};

// Asks about the relocation whose journal is found (nothing without one) and does what the user
// chose: finish the move, put the files back, or, when neither can be done, forget it after a
// second question. Deciding later changes nothing, so the next start asks again.
void CheckInterruptedRelocation(FileSystem& fs, System& system, RecoveryPrompts& prompts);

}  // namespace tessaly
