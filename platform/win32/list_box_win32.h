// Moving a CSafeStringList into and out of a list-box control.
#pragma once

#include <string>

#include "platform/safe_lists.h"
#include "platform/win32/win32_api.h"

namespace tessaly {

// The text of line `row` of a list box; empty when there is no such line.
std::wstring ListBoxText(HWND listBox, LRESULT row);
// Empties the list box, then adds every entry in list order.
void FillListBox(const CSafeStringList& list, HWND listBox);
// Clears the list, then adds every item of the list box in its order, skipping empty items and
// items already present (without regard to case).
void ReadListBox(CSafeStringList& list, HWND listBox);

}  // namespace tessaly
