// Which answer a pressed button of a choice question stands for.
#include "app/ui/choice_question.h"

namespace tessaly {

int ChoiceButtonId(size_t choice) { return kFirstChoiceId + static_cast<int>(choice); }

size_t ChoiceOfTaskDialog(const ChoiceQuestion& question, int pressedId) {
  for (size_t i = 0; i < question.buttons.size(); ++i) {
    if (ChoiceButtonId(i) == pressedId) return i;
  }
  return question.laterChoice;
}

size_t ChoiceOfMessageBox(const ChoiceQuestion& question, int answer) {
  for (size_t i = 0; i < question.buttons.size(); ++i) {
    if (static_cast<int>(question.buttons[i].boxButton) == answer) return i;
  }
  return question.laterChoice;
}

}  // namespace tessaly
