// A question whose answers are actions named in plain words ("Finish the move", "Put my files
// back", "Decide later"), and which answer a pressed button stands for. The kit asks it in a task
// dialog, one button per action; where the system has no task dialog, in a message box whose text
// says what its Yes, No and Cancel do.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tessaly {

// The message-box buttons a choice can stand for (the system's IDCANCEL, IDYES and IDNO).
enum class BoxButton : int { Cancel = 2, Yes = 6, No = 7 };

struct ChoiceButton {
  std::wstring text;  // what pressing it does, in a few words, with its access key ("&Finish ...")
  std::wstring note;  // what then happens, in a sentence or two
  BoxButton boxButton;  // the message-box button that stands for it where there is no task dialog
};

struct ChoiceQuestion {
  std::wstring instruction;           // the question, in one line
  std::wstring content;               // where things stand
  std::vector<ChoiceButton> buttons;  // in the order shown
  size_t laterChoice = 0;  // the harmless answer: the default button, and what Esc and the close
                           // box choose
  std::wstring boxText;    // the whole question as a message box asks it
};

// The task dialog's id of the button `choice`: above the system's IDOK..IDCONTINUE, so that the
// dialog's own cancel (Esc, the close box, IDCANCEL) never reads as a choice.
inline constexpr int kFirstChoiceId = 100;
int ChoiceButtonId(size_t choice);

// The choice that the task dialog's answer `pressedId` stands for: a choice's own button, or the
// later choice for anything else (Esc, the close box, a dialog that failed).
size_t ChoiceOfTaskDialog(const ChoiceQuestion& question, int pressedId);
// The choice that the message box's answer stands for, by each button's BoxButton; the later
// choice for an answer no button stands for (a box that failed answers 0).
size_t ChoiceOfMessageBox(const ChoiceQuestion& question, int answer);

}  // namespace tessaly
