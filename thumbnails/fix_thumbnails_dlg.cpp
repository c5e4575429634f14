// The thumbnail fixer's page.
#include "thumbnails/fix_thumbnails_dlg.h"

#include <commctrl.h>

#include "app/ui/list_view_win32.h"
#include "platform/text.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

std::wstring NameCell(const ThumbnailItem& item) { return item.name; }
// A failed copy shows the system's code beside its status word, so the user can tell why.
std::wstring StatusCell(const ThumbnailItem& item) {
  if (item.status == ThumbnailStatus::Error && item.error != err::Success) {
    return FormatText(L"%s (code %lu)", ThumbnailStatusWord(item.status), item.error);
  }
  return ThumbnailStatusWord(item.status);
}

// With a = width / 11, the name takes 7a and the status 3a; the eleventh share stays free for the
// vertical scroll bar.
constexpr ListViewColumn<ThumbnailItem> kColumns[] = {
    {L"Product Name", 7, NameCell},
    {L"Thumbnail Status", 3, StatusCell},
};
constexpr CListViewTable kTable(kColumns, 1);

// What stays off while a pass runs.
constexpr int kPassLocked[] = {IDC_BACK, IDC_FIX_THUMBNAILS, IDCANCEL, IDC_THUMBNAIL_LIST};

// The page neither stores its position when it closes nor has tool tips.
constexpr PageOptions kOptions{.systemMenu = true, .restorePosition = true, .savePosition = false};

constexpr Anchor kAnchors[] = {
    GrowWidth(IDC_THUMBNAIL_STATUS), GrowBoth(IDC_THUMBNAIL_LIST),
    FollowBottomRight(IDC_BACK),     FollowBottomRight(IDC_FIX_THUMBNAILS),
    FollowBottomRight(IDCANCEL),
};

}  // namespace

CDialogFixThumbnails::CDialogFixThumbnails(const PageContext& context)
    : CPage(context, IDD_FIX_THUMBNAILS, kOptions) {}

bool CDialogFixThumbnails::OnInitPage() {
  kTable.SetUp(Item(IDC_THUMBNAIL_LIST));
  // The buttons stay off, as the template has them, until the first pass has ended.
  running_ = true;
  PostMessageW(Hwnd(), WM_THUMBNAIL_PASS_START, 0, 0);
  return true;
}

void CDialogFixThumbnails::OnDestroyPage() {
  // The items go with the page: stop the pass at its next product folder and wait for it.
  worker_.Stop();
}

void CDialogFixThumbnails::UpdateControls() {
  for (int id : kPassLocked) EnableItem(id, !running_);
}

bool CDialogFixThumbnails::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_THUMBNAIL_PASS_START: StartPass(); break;
    case WM_THUMBNAIL_PASS_COMPLETE: PassEnded(static_cast<WorkerEnd>(wParam)); break;
    default: return CPage::OnMessage(message, wParam, lParam, result);
  }
  result = TRUE;
  return true;
}

// Posted only as running_ turns true (when the page opens, and on "Fix Thumbnails" while the page
// is idle), and running_ turns false only with the end message: one pass at a time.
void CDialogFixThumbnails::StartPass() {
  const ThumbnailPassMode mode = mode_;
  SetItemText(IDC_THUMBNAIL_STATUS, ThumbnailPassRunningText(mode));
  ListView_DeleteAllItems(Item(IDC_THUMBNAIL_LIST));
  items_.clear();
  startFailed_ = false;
  FileSystem& files = Context().files;
  System& system = Context().system;
  const ErrorCode startError =
      worker_.Start(Hwnd(), WM_THUMBNAIL_PASS_COMPLETE,
                    [this, &files, &system, mode](const CancelFlag& stop) -> ErrorCode {
                      return RunThumbnailPass(files, system, mode, items_, &stop);
                    });
  if (startError != err::Success) {
    // The end message that reports the failed start follows; the page stays locked.
    startFailed_ = true;
    ShowWorkerStartFailure(Hwnd(), startError);
  }
}

void CDialogFixThumbnails::PassEnded(WorkerEnd end) {
  // Stopped: the page is closing. A pass that never started leaves the page as its message said.
  if (end == WorkerEnd::Stopped || startFailed_) return;
  // A pass that ended early (a folder that is not there) shows what it found like any other.
  running_ = false;
  UpdateControls();
  const int column = lastSortColumn_;
  lastSortColumn_ = -1;
  SortByColumn(column == -1 ? 0 : column);
  SetItemText(IDC_THUMBNAIL_STATUS, ThumbnailPassSummaryText(mode_, counts_));
  mode_ = ThumbnailPassMode::Fix;
}

void CDialogFixThumbnails::SortByColumn(int column) {
  SortThumbnailItems(items_, column, lastSortColumn_);
  lastSortColumn_ = column;
  counts_ = CountThumbnailItems(items_);
  kTable.Fill(Item(IDC_THUMBNAIL_LIST), items_, [](const ThumbnailItem&) { return LPARAM(0); });
}

bool CDialogFixThumbnails::OnButton(int id) {
  if (id != IDC_FIX_THUMBNAILS) return false;
  if (!running_) {
    running_ = true;
    UpdateControls();
    PostMessageW(Hwnd(), WM_THUMBNAIL_PASS_START, 0, 0);
  }
  return true;
}

bool CDialogFixThumbnails::OnNotify(const NMHDR& header, LRESULT& result) {
  if (header.idFrom == IDC_THUMBNAIL_LIST && header.code == LVN_COLUMNCLICK && !running_) {
    SortByColumn(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
    return true;
  }
  return CPage::OnNotify(header, result);
}

std::span<const Anchor> CDialogFixThumbnails::Anchors() const { return kAnchors; }

}  // namespace tessaly
