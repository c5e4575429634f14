// List-box transfer of the worker lists.
#include "platform/win32/list_box_win32.h"

#include <string>
#include <vector>

namespace tessaly {

void FillListBox(const CSafeStringList& list, HWND listBox) {
  SendMessageW(listBox, LB_RESETCONTENT, 0, 0);
  for (const std::wstring& entry : list.Entries()) {
    SendMessageW(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
  }
}

std::wstring ListBoxText(HWND listBox, LRESULT row) {
  const LRESULT length = SendMessageW(listBox, LB_GETTEXTLEN, row, 0);
  if (length == LB_ERR) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied = SendMessageW(listBox, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()));
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
