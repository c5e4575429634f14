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

void ReadListBox(CSafeStringList& list, HWND listBox) {
  std::vector<std::wstring> items;
  const LRESULT count = SendMessageW(listBox, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(listBox, LB_GETTEXTLEN, i, 0);
    if (length == LB_ERR) continue;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == LB_ERR ? 0 : static_cast<size_t>(copied));
    items.push_back(std::move(text));
  }
  list.Assign(items);
}

}  // namespace tessaly
