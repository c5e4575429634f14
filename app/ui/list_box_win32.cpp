// List-box filling and the transfer of the worker lists.
#include "app/ui/list_box_win32.h"

#include <cwchar>
#include <string>
#include <vector>

namespace tessaly {

void SetListBoxLines(HWND listBox, std::span<const wchar_t* const> lines) {
  SendMessageW(listBox, WM_SETREDRAW, FALSE, 0);
  SendMessageW(listBox, LB_RESETCONTENT, 0, 0);
  size_t characters = 0;
  for (const wchar_t* line : lines) characters += wcslen(line) + 1;
  SendMessageW(listBox, LB_INITSTORAGE, lines.size(), characters * sizeof(wchar_t));
  for (const wchar_t* line : lines) {
    SendMessageW(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
  }
  SendMessageW(listBox, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(listBox, nullptr, TRUE);
}

void FillListBox(const CSafeStringList& list, HWND listBox) {
  std::vector<const wchar_t*> lines;
  lines.reserve(list.Entries().size());
  for (const std::wstring& entry : list.Entries()) lines.push_back(entry.c_str());
  SetListBoxLines(listBox, lines);
}

std::wstring ListBoxText(HWND listBox, LRESULT row) {
  const LRESULT length = SendMessageW(listBox, LB_GETTEXTLEN, row, 0);
  if (length == LB_ERR) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied =
      SendMessageW(listBox, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()));
  text.resize(copied == LB_ERR ? 0 : static_cast<size_t>(copied));
  return text;
}

void ReadListBox(CSafeStringList& list, HWND listBox) {
  std::vector<std::wstring> items;
  const LRESULT count = SendMessageW(listBox, LB_GETCOUNT, 0, 0);
  // Empty lines (and lines gone meanwhile) are skipped by Assign.
  for (LRESULT i = 0; i < count; ++i) items.push_back(ListBoxText(listBox, i));
  list.Assign(items);
}

}  // namespace tessaly
