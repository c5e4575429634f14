// The Start page's wizard choices: radio-button ids in the order of the selection, and the
// description shown for each.
#pragma once

#include <array>
#include <string>

namespace tessaly {

// Radio-button ids by selection (wizard number); the selection counts positions, not ids.
inline constexpr std::array<int, 5> kWizardRadioIds = {1004, 1005, 1007, 1009, 1008};

// The description of a selection, paragraphs separated by an empty line; empty for a value that
// selects no wizard.
std::wstring WizardDescription(int selection);

// The selection of a radio-button id, -1 for an id that is not one of the choices.
int SelectionOfRadioId(int id);

}  // namespace tessaly
