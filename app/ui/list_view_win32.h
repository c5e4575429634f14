// Report-style list views from a table of columns: each column has its caption, its share of the
// control's width and the function that gives its cell text for a row. One table sets up the
// columns and fills the rows of every list view of a page.
#pragma once

#include <span>
#include <string>

#include "platform/win32/win32_api.h"

namespace tessaly {

template <typename Row>
struct ListViewColumn {
  const wchar_t* caption;
  int widthShare;  // the column's part of the client width, in shares
  std::wstring (*cellText)(const Row&);
};

namespace listview {
// Inserts left-aligned columns: with w = client width / (sum of shares + spareShares), column i
// is shares[i] * w wide; the spare shares stay free. Turns full-row selection on.
void InsertColumns(HWND list, std::span<const wchar_t* const> captions, std::span<const int> shares,
                   int spareShares = 0);
// Appends a row with the first cell's text and the item data; the row's index, or -1.
int AppendRow(HWND list, const std::wstring& firstCell, LPARAM data);
void SetCell(HWND list, int row, int column, const std::wstring& text);
// Deletes every row; redraw is turned off until EndFill.
void BeginFill(HWND list);
void EndFill(HWND list);
// The item data of the first selected row; false when no row is selected.
bool SelectedData(HWND list, LPARAM& data);
}  // namespace listview

template <typename Row, size_t N>
class CListViewTable {
 public:
  // `spareShares` of the width are left free beside the columns.
  constexpr explicit CListViewTable(const ListViewColumn<Row> (&columns)[N], int spareShares = 0)
      : columns_(columns), spareShares_(spareShares) {}

  void SetUp(HWND list) const {
    const wchar_t* captions[N];
    int shares[N];
    for (size_t i = 0; i < N; ++i) {
      captions[i] = columns_[i].caption;
      shares[i] = columns_[i].widthShare;
    }
    listview::InsertColumns(list, captions, shares, spareShares_);
  }

  // Replaces the rows with one per element of `rows`, in their order; `data` gives each row's
  // item data. The control repaints once, at the end.
  template <typename Rows, typename Data>
  void Fill(HWND list, const Rows& rows, Data data) const {
    listview::BeginFill(list);
    for (const Row& row : rows) {
      const int index = listview::AppendRow(list, columns_[0].cellText(row), data(row));
      if (index < 0) continue;
      for (size_t column = 1; column < N; ++column) {
        listview::SetCell(list, index, static_cast<int>(column), columns_[column].cellText(row));
      }
    }
    listview::EndFill(list);
  }

 private:
  const ListViewColumn<Row> (&columns_)[N];
  int spareShares_;
};

}  // namespace tessaly
