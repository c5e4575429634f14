// Report-style list views from a table of columns.
#include "app/ui/list_view_win32.h"

#include <commctrl.h>

#include <numeric>

namespace tessaly::listview {

void InsertColumns(HWND list, std::span<const wchar_t* const> captions, std::span<const int> shares,
                   int spareShares) {
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
  RECT client{};
  GetClientRect(list, &client);
  const int total = std::accumulate(shares.begin(), shares.end(), spareShares);
  const int w = total > 0 ? (client.right - client.left) / total : 0;
  for (size_t i = 0; i < captions.size(); ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = shares[i] * w;
    column.pszText = const_cast<wchar_t*>(captions[i]);
    column.iSubItem = static_cast<int>(i);
    SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
}

int AppendRow(HWND list, const std::wstring& firstCell, LPARAM data) {
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = ListView_GetItemCount(list);
  item.pszText = const_cast<wchar_t*>(firstCell.c_str());
  item.lParam = data;
  return static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void SetCell(HWND list, int row, int column, const std::wstring& text) {
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void BeginFill(HWND list) {
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
}

void EndFill(HWND list) {
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

bool SelectedData(HWND list, LPARAM& data) {
  const int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  if (row < 0) return false;
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return false;
  data = item.lParam;
  return true;
}

}  // namespace tessaly::listview
