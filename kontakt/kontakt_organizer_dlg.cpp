// The Libraries-tab page.
#include "kontakt/kontakt_organizer_dlg.h"

#include <commctrl.h>

#include <algorithm>

#include "app/ui/list_view_win32.h"
#include "platform/text.h"
#include "registry_archive/change_backups.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

constexpr const wchar_t* kExplanation =
    L"This changes the order in which items appear in the Libraries tab of Kontakt. You can force "
    L"frequently-used products to the top of the list and hide rarely-used products. Click Apply "
    L"Sort to save your changes to Kontakt.";

constexpr ToolTipText kTips[] = {
    {IDC_KONTAKT_LIBRARIES,
     L"List of detected Kontakt libraries. If a Kontakt Player-certified instrument you own isn't "
     L"appearing here, try enabling the 'Extend search' feature."},
    {IDC_FORCE_TO_TOP,
     L"When checked, indicates that this library should always appear at the top of the Libraries "
     L"tab instead of being sorted alphabetically."},
    {IDC_HIDE_LIBRARY,
     L"When checked, indicates that this library should not appear in the Libraries tab."},
    {IDC_FORCE_ALL_TO_TOP, L"Toggles the 'force to top' attribute for all libraries at once."},
    {IDC_HIDE_ALL, L"Toggles the 'hide' attribute for all libraries at once."},
    {IDC_IGNORE_ARTICLES,
     L"When checked, ignores articles (a, an, the) when sorting products alphabetically."},
    {IDC_EXTEND_SEARCH,
     L"Widens the search for potential Kontakt libraries in the event that some older or "
     L"third-party libraries aren't showing up in this window. Some non-Kontakt products might "
     L"appear in the list when you use this feature- it is a harmless side-effect."},
    {IDC_APPLY_SORT,
     L"Applies your selected options to Native Instruments Kontakt. Kontakt should be closed "
     L"before you use this feature."},
};

std::wstring ProductCell(const CNiProduct& r) { return r.keyName; }
std::wstring TopCell(const CNiProduct& r) { return r.userListIndex == 0 ? L"Yes" : L""; }
std::wstring HiddenCell(const CNiProduct& r) { return r.userRemoved != 0 ? L"Yes" : L""; }

constexpr ListViewColumn<CNiProduct> kColumns[] = {
    {L"Product", 8, ProductCell},
    {L"Top of List", 1, TopCell},
    {L"Hidden", 1, HiddenCell},
};
constexpr CListViewTable kTable(kColumns);

// The controls that stay off while the libraries load.
constexpr int kLoadLocked[] = {IDC_APPLY_SORT,       IDC_BACK,          IDCANCEL,
                               IDC_IGNORE_ARTICLES,  IDC_EXTEND_SEARCH, IDC_KONTAKT_LIBRARIES,
                               IDC_FORCE_ALL_TO_TOP, IDC_HIDE_ALL};

constexpr Anchor kAnchors[] = {
    GrowWidth(IDC_KONTAKT_EXPLANATION), GrowBoth(IDC_KONTAKT_LIBRARIES),
    FollowBottom(IDC_FORCE_TO_TOP),     FollowBottom(IDC_HIDE_LIBRARY),
    FollowBottom(IDC_FORCE_ALL_TO_TOP), FollowBottom(IDC_HIDE_ALL),
    FollowBottom(IDC_IGNORE_ARTICLES),  FollowBottom(IDC_EXTEND_SEARCH),
    FollowBottomRight(IDC_BACK),        FollowBottomRight(IDC_APPLY_SORT),
    FollowBottomRight(IDCANCEL),
};

}  // namespace

CKontaktOrganizerDlg::CKontaktOrganizerDlg(const PageContext& context)
    : CPage(context, IDD_KONTAKT_ORGANIZER, PageOptions{}),
      library_(context.registry, context.files, context.system) {}

bool CKontaktOrganizerDlg::OnInitPage() {
  SetCheck(IDC_IGNORE_ARTICLES, inputs_.ignoreArticles);
  SetCheck(IDC_EXTEND_SEARCH, inputs_.extendSearch);
  kTable.SetUp(Item(IDC_KONTAKT_LIBRARIES));
  // Locked from the start: the first load begins once the page has appeared.
  loading_ = true;
  PostMessageW(Hwnd(), WM_KONTAKT_LOAD_START, 0, 0);
  return true;
}

void CKontaktOrganizerDlg::OnDestroyPage() {
  inputs_.ignoreArticles = IsChecked(IDC_IGNORE_ARTICLES);
  inputs_.extendSearch = IsChecked(IDC_EXTEND_SEARCH);
  // The library goes with the page: stop the loader at its next key and wait for it.
  worker_.Stop();
}

std::span<const ToolTipText> CKontaktOrganizerDlg::ToolTips() const { return kTips; }

void CKontaktOrganizerDlg::UpdateControls() {
  for (int id : kLoadLocked) EnableItem(id, !loading_);
  const bool row = !loading_ && tab_.Selected() != nullptr;
  EnableItem(IDC_FORCE_TO_TOP, row);
  EnableItem(IDC_HIDE_LIBRARY, row);
}

bool CKontaktOrganizerDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_KONTAKT_LOAD_START: StartLoad(); break;
    case WM_KONTAKT_LOAD_COMPLETE:
      LoadEnded(static_cast<WorkerEnd>(wParam), static_cast<ErrorCode>(lParam));
      break;
    default: return CPage::OnMessage(message, wParam, lParam, result);
  }
  result = TRUE;
  return true;
}

void CKontaktOrganizerDlg::StartLoad() {
  const bool extend = IsChecked(IDC_EXTEND_SEARCH);
  SetItemText(IDC_KONTAKT_EXPLANATION, L"Loading Kontakt library information...");
  tab_.ClearSelection();
  loading_ = true;
  UpdateControls();
  ListView_DeleteAllItems(Item(IDC_KONTAKT_LIBRARIES));
  startFailed_ = false;
  const ErrorCode startError = worker_.Start(Hwnd(), WM_KONTAKT_LOAD_COMPLETE,
                                             [this, extend](const CancelFlag& stop) -> ErrorCode {
                                               return LoadLibrariesTab(library_, extend, &stop);
                                             });
  if (startError != err::Success) {
    // The end message that reports the failed start follows; the page stays locked.
    startFailed_ = true;
    ShowWorkerStartFailure(Hwnd(), startError);
  }
}

void CKontaktOrganizerDlg::LoadEnded(WorkerEnd end, ErrorCode error) {
  // A loader that never started leaves the page locked, as its message said.
  if (end == WorkerEnd::Stopped || startFailed_) return;
  loading_ = false;
  if (end != WorkerEnd::Completed) {
    // Nothing that was not shown may be written by "Apply Sort...".
    library_.records().clear();
    ShowMessage(Hwnd(),
                FormatText(L"Encountered error %lu attempting to load Kontakt libraries. Are any "
                           L"installed?",
                           error),
                MessageStyle::Error);
  } else {
    lastSortColumn_ = -1;
    SortByColumn(0);
  }
  SetItemText(IDC_KONTAKT_EXPLANATION, kExplanation);
  UpdateControls();
}

void CKontaktOrganizerDlg::SortByColumn(int column) {
  if (column == lastSortColumn_) {
    std::reverse(library_.records().begin(), library_.records().end());
  } else {
    library_.Sort(column, IsChecked(IDC_IGNORE_ARTICLES));
  }
  lastSortColumn_ = column;
  Refill();
  UpdateSelection();
}

void CKontaktOrganizerDlg::Refill() {
  kTable.Fill(Item(IDC_KONTAKT_LIBRARIES), library_.records(),
              [](const CNiProduct& r) { return static_cast<LPARAM>(r.serial); });
}

bool CKontaktOrganizerDlg::SerialOfRow(int row, uint32_t& serial) {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (row < 0 || !ListView_GetItem(Item(IDC_KONTAKT_LIBRARIES), &item)) return false;
  serial = static_cast<uint32_t>(item.lParam);
  return true;
}

CNiProduct* CKontaktOrganizerDlg::RecordOfRow(int row) {
  uint32_t serial = 0;
  return SerialOfRow(row, serial) ? library_.FindBySerial(serial) : nullptr;
}

void CKontaktOrganizerDlg::WriteRow(int row, const CNiProduct& record) {
  HWND list = Item(IDC_KONTAKT_LIBRARIES);
  for (int column = 0; column < 3; ++column) {
    listview::SetCell(list, row, column, kColumns[column].cellText(record));
  }
}

void CKontaktOrganizerDlg::UpdateSelection() {
  const int row = ListView_GetNextItem(Item(IDC_KONTAKT_LIBRARIES), -1, LVNI_SELECTED);
  uint32_t serial = 0;
  if (SerialOfRow(row, serial)) {
    tab_.Select(row, serial);
  } else {
    tab_.ClearSelection();
  }
  const CNiProduct* selected = tab_.Selected();
  SetCheck(IDC_FORCE_TO_TOP, selected && selected->userListIndex == 0);
  SetCheck(IDC_HIDE_LIBRARY, selected && selected->userRemoved != 0);
  UpdateControls();
}

void CKontaktOrganizerDlg::RowChanged() {
  if (const CNiProduct* record =
          tab_.SetSelected(IsChecked(IDC_FORCE_TO_TOP), IsChecked(IDC_HIDE_LIBRARY))) {
    WriteRow(tab_.SelectedRow(), *record);
  }
}

void CKontaktOrganizerDlg::SetAll(bool forceToTop) {
  const bool on = IsChecked(forceToTop ? IDC_FORCE_ALL_TO_TOP : IDC_HIDE_ALL);
  const int rows = ListView_GetItemCount(Item(IDC_KONTAKT_LIBRARIES));
  for (int row = 0; row < rows; ++row) {
    CNiProduct* record = RecordOfRow(row);
    if (!record) continue;
    if (forceToTop) {
      SetForcedToTop(*record, on);
    } else {
      SetHidden(*record, on);
    }
    WriteRow(row, *record);
  }
}

void CKontaktOrganizerDlg::ApplySort() {
  if (ShowMessage(Hwnd(),
                  L"Make sure no instances of Kontakt are running before you continue. Click OK to "
                  L"proceed or click Cancel to leave your Kontakt settings alone.",
                  MessageStyle::WarningOkCancel) != IDOK) {
    return;
  }
  const CLibrariesTab::ApplyResult result = tab_.Apply(
      BackupContext{Context().registry, Context().files, Context().system, Context().settings},
      IsChecked(IDC_IGNORE_ARTICLES));
  if (result.backupError != err::Success) {
    ShowMessage(Hwnd(), ChangeBackupFailedMessage(result.backupError), MessageStyle::Error);
    return;
  }
  ShowMessage(Hwnd(),
              FormatText(L"Updated %lu products, %lu errors encountered.",
                         static_cast<uint32_t>(result.written), result.errors),
              MessageStyle::Information);
}

bool CKontaktOrganizerDlg::OnButton(int id) {
  if (loading_ && id != IDC_BACK && id != IDCANCEL) return true;
  switch (id) {
    case IDC_FORCE_TO_TOP:
    case IDC_HIDE_LIBRARY: RowChanged(); return true;
    case IDC_FORCE_ALL_TO_TOP: SetAll(true); return true;
    case IDC_HIDE_ALL: SetAll(false); return true;
    case IDC_IGNORE_ARTICLES:
      lastSortColumn_ = -1;
      SortByColumn(0);
      return true;
    case IDC_EXTEND_SEARCH: StartLoad(); return true;
    case IDC_APPLY_SORT: ApplySort(); return true;
    default: return false;
  }
}

bool CKontaktOrganizerDlg::OnNotify(const NMHDR& header, LRESULT& result) {
  if (header.idFrom != IDC_KONTAKT_LIBRARIES || loading_) return CPage::OnNotify(header, result);
  if (header.code == LVN_COLUMNCLICK) {
    SortByColumn(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
    return true;
  }
  if (header.code == LVN_ITEMCHANGED) {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    constexpr UINT kChosen = LVIS_SELECTED | LVIS_FOCUSED;
    if ((change.uChanged & LVIF_STATE) && (change.uNewState & kChosen) == kChosen) {
      UpdateSelection();
    }
    return true;
  }
  return CPage::OnNotify(header, result);
}

std::span<const Anchor> CKontaktOrganizerDlg::Anchors() const { return kAnchors; }

}  // namespace tessaly
