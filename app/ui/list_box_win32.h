// Filling list-box controls: the worker lists in and out, and whole sets of lines at once.
#pragma once

#include <span>
#include <string>

#include "platform/safe_lists.h"
#include "platform/win32/win32_api.h"

namespace tessaly {

// The text of line `row` of a list box; empty when there is no such line.
std::wstring ListBoxText(HWND listBox, LRESULT row);
// Empties the list box, then adds every entry in list order.
void FillListBox(const CSafeStringList& list, HWND listBox);
// Replaces every line of the list box with `lines` (a sorted list box orders them itself). The
// control neither repaints nor grows its storage per line: redraw is off while it fills and the
// room for all lines is reserved first, so hundreds of lines take milliseconds, not seconds.
void SetListBoxLines(HWND listBox, std::span<const wchar_t* const> lines);
// Clears the list, then adds every item of the list box in its order, skipping empty items and
// items already present (without regard to case).
void ReadListBox(CSafeStringList& list, HWND listBox);

}  // namespace tessaly
