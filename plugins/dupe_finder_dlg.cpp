// The duplicate finder page and the worker that runs the search for it.
#include "plugins/dupe_finder_dlg.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "app/tessaly_app_win32.h"
#include "platform/file_ops.h"
#include "platform/text.h"
#include "app/ui/list_box_win32.h"
#include "platform/win32/shell_win32.h"
#include "plugins/dupe_search.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

constexpr ToolTipText kTips[] = {
    {IDC_SHOW_DUPLICATES, L"Show or hide files with duplicates."},
    {IDC_SHOW_SINGLES, L"Show or hide unique (single-instance) files."},
    {IDC_DUPLICATE_NAMES, L"List of detected files with duplicates. Select a file to see more info."},
    {IDC_DUPLICATE_DELETE, L"Delete selected file."},
    {IDC_DUPLICATE_BROWSE, L"Browse to selected file in Windows Explorer."},
    {IDC_DUPLICATE_LAUNCH,
     L"Opens selected file in an external plugin host (configured in Preferences)."},
    {IDC_UNEXPECTED_NAMES,
     L"List of discovered files for different OS platforms. Select a file to see more info."},
    {IDC_UNEXPECTED_DELETE, L"Delete selected file."},
    {IDC_UNEXPECTED_BROWSE, L"Browse to selected file in Windows Explorer."},
};

// The worker reports every file it examines; thousands a second would each repaint status line
// 2 at once. The line takes the newest text at most every 50 ms instead, which the eye cannot
// tell apart and which keeps the page from spending more time painting than the search takes.
constexpr DWORD kFileLineInterval = 50;

constexpr const wchar_t* kColumns[] = {L"Folder", L"Date", L"Version", L"Size", L"Platform"};
constexpr wchar_t kNoFilesFound[] = L"(no files found)";

// Turns the search's reports into the page's messages. The texts are sent, so they stay valid
// while the page uses them.
class PageReports : public DupeSearchObserver {
 public:
  explicit PageReports(HWND page) : page_(page) {}
  void OnSearchState(bool running) override {
    SendMessageW(page_, WM_DUPE_SEARCH_STATE, 0, running ? 1 : 0);
  }
  void OnStatus(const std::wstring& text) override {
    SendMessageW(page_, WM_DUPE_SEARCH_STATUS, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  void OnFile(const std::wstring& text) override {
    SendMessageW(page_, WM_DUPE_SEARCH_FILE, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }

 private:
  HWND page_;
};

void AddLine(HWND list, const wchar_t* text) {
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

void SetCell(HWND list, int row, int column, const std::wstring& text) {
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

}  // namespace

CDupeFinderDlg::CDupeFinderDlg() : CPage(IDD_DUPE_FINDER, PageOptions{}) {
  upper_.map = &expected_;
  upper_.namesId = IDC_DUPLICATE_NAMES;
  upper_.filesId = IDC_DUPLICATE_FILES;
  upper_.deleteId = IDC_DUPLICATE_DELETE;
  upper_.browseId = IDC_DUPLICATE_BROWSE;
  upper_.launchId = IDC_DUPLICATE_LAUNCH;
  lower_.map = &unexpected_;
  lower_.namesId = IDC_UNEXPECTED_NAMES;
  lower_.filesId = IDC_UNEXPECTED_FILES;
  lower_.deleteId = IDC_UNEXPECTED_DELETE;
  lower_.browseId = IDC_UNEXPECTED_BROWSE;
  lower_.launchId = 0;
}

CDupeFinderDlg::~CDupeFinderDlg() { StopWorker(); }

bool CDupeFinderDlg::OnInitPage() {
  expected_.Clear();
  unexpected_.Clear();
  folders_.Clear();
  SetCheck(IDC_SHOW_DUPLICATES, true);
  SetCheck(IDC_SHOW_SINGLES, false);
  AddLine(Item(IDC_DUPLICATE_NAMES), L"Searching...");
  AddLine(Item(IDC_UNEXPECTED_NAMES), L"Searching...");
  for (Half* half : {&upper_, &lower_}) EnableFileButtons(*half, false);

  tips_.Create(Hwnd(), kTips);

  CProfileStore& profile = TheApp().Profile();
  selectedPlatform_ = static_cast<int>(profile.GetProfileInt(kSettingsSection, kSelectedPlatform, 0));
  folders_.AddFromText(profile.GetProfileString(
      kSettingsSection, selectedPlatform_ != 0 ? kVstPaths64 : kVstPaths32, L""));

  for (Half* half : {&upper_, &lower_}) {
    HWND list = Item(half->filesId);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    RECT client;
    GetClientRect(list, &client);
    const int w = (client.right - client.left) / 8;
    for (int i = 0; i < 5; ++i) {
      LVCOLUMNW column{};
      column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
      column.fmt = LVCFMT_LEFT;
      column.cx = i == 0 ? 4 * w : w;
      column.pszText = const_cast<wchar_t*>(kColumns[i]);
      column.iSubItem = i;
      SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
  }

  stop_ = false;
  DWORD threadId = 0;
  worker_ = CreateThread(nullptr, 0, WorkerMain, this, 0, &threadId);
  return true;
}

DWORD WINAPI CDupeFinderDlg::WorkerMain(void* argument) {
  auto* page = static_cast<CDupeFinderDlg*>(argument);
  if (!page) return err::InvalidParameter;
  CTessalyApp& app = TheApp();
  PageReports reports(page->Hwnd());
  page->running_ = true;
  const DupeSearchResult result =
      RunDupeSearch(app.Files(), app.Sys(), page->folders_.Entries(), page->selectedPlatform_,
                    page->expected_, page->unexpected_, reports, page->stop_);
  if (result.completed) PostMessageW(page->Hwnd(), WM_DUPE_SEARCH_COMPLETE, 0, 0);
  return 0;
}

void CDupeFinderDlg::StopWorker() {
  if (!worker_) return;
  running_ = false;
  stop_ = true;
  // The worker may be inside a SendMessage to this page: keep answering sent messages while
  // waiting for it, so that neither waits for the other. The maps it fills outlive it.
  for (;;) {
    const DWORD wait = MsgWaitForMultipleObjects(1, &worker_, FALSE, INFINITE, QS_SENDMESSAGE);
    if (wait != WAIT_OBJECT_0 + 1) break;
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  CloseHandle(worker_);
  worker_ = nullptr;
}

void CDupeFinderDlg::OnDestroyPage() {
  StopWorker();
  tips_.Destroy();
}

bool CDupeFinderDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_DUPE_SEARCH_COMPLETE:
      RefillNames(true);
      break;
    case WM_DUPE_SEARCH_FILE:
      if (running_) ShowFileLine(reinterpret_cast<const wchar_t*>(lParam));
      break;
    case WM_DUPE_SEARCH_STATUS:
      if (running_) SetItemText(IDC_SEARCH_STATUS, reinterpret_cast<const wchar_t*>(lParam));
      break;
    case WM_DUPE_SEARCH_STATE:
      if (running_) {
        running_ = lParam != 0;
        // The last text (the summary) shows before the lists are filled.
        if (!running_) FlushFileLine();
        for (Half* half : {&upper_, &lower_}) {
          EnableFileButtons(*half, false);
          EnableItem(half->namesId, !running_);
          EnableItem(half->filesId, !running_);
        }
      }
      break;
    default:
      return CPage::OnMessage(message, wParam, lParam, result);
  }
  result = TRUE;
  return true;
}

void CDupeFinderDlg::ShowFileLine(const wchar_t* text) {
  pendingFileLine_ = text ? text : L"";
  const DWORD now = GetTickCount();
  if (now - lastFileLineTick_ >= kFileLineInterval) {
    lastFileLineTick_ = now;
    FlushFileLine();
  }
}

void CDupeFinderDlg::FlushFileLine() {
  if (pendingFileLine_.empty()) return;
  SetItemText(IDC_SEARCH_FILE, pendingFileLine_);
  pendingFileLine_.clear();
}

void CDupeFinderDlg::EnableFileButtons(Half& half, bool enabled) {
  EnableItem(half.browseId, enabled);
  EnableItem(half.deleteId, enabled);
  if (half.launchId) EnableItem(half.launchId, enabled);
}

void CDupeFinderDlg::FillNames(Half& half, bool singles, bool duplicates) {
  EnableFileButtons(half, false);
  ListView_DeleteAllItems(Item(half.filesId));
  half.rememberedRow = -1;
  half.group = nullptr;
  // All lines at once: a sorted list box filled line by line with redraw on repaints for each
  // line, which for thousands of names takes seconds.
  std::vector<const wchar_t*> lines;
  for (auto& [key, list] : half.map->GetGroups()) {
    const size_t count = list.Count();
    if ((count == 1 && singles) || (count >= 2 && duplicates)) lines.push_back(key.c_str());
  }
  if (lines.empty()) lines.push_back(kNoFilesFound);
  SetListBoxLines(Item(half.namesId), lines);
}

void CDupeFinderDlg::RefillNames(bool full) {
  FillNames(upper_, IsChecked(IDC_SHOW_SINGLES), IsChecked(IDC_SHOW_DUPLICATES));
  // Every name of the unexpected files is listed, whatever its count.
  if (full) FillNames(lower_, true, true);
}

void CDupeFinderDlg::NameSelected(Half& half) {
  HWND names = Item(half.namesId);
  const LRESULT selected = SendMessageW(names, LB_GETCURSEL, 0, 0);
  const int row = selected == LB_ERR ? -1 : static_cast<int>(selected);
  if (row != half.rememberedRow) {
    half.group = nullptr;
    if (row >= 0) {
      // A line that is no key ("(no files found)") shows no group; the file list stays.
      half.group = half.map->Find(ListBoxText(names, row));
      if (half.group) {
        half.group->Sort(half.sortColumn);
        FillFiles(half);
      }
    }
    half.rememberedRow = row;
  }
  EnableFileButtons(half, false);
}

void CDupeFinderDlg::FillFiles(Half& half) {
  HWND list = Item(half.filesId);
  ListView_DeleteAllItems(list);
  if (!half.group) return;
  int row = 0;
  for (const CPluginList::Member& member : half.group->Members()) {
    // The reads below are not const (the version resource is loaded on the way): a copy.
    CPluginFile file = member.file;
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    const std::wstring folder = file.GetFolder();
    item.pszText = const_cast<wchar_t*>(folder.c_str());
    item.lParam = static_cast<LPARAM>(member.id);
    const int inserted = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (inserted < 0) continue;
    SetCell(list, inserted, 1, file.GetDateText());
    SetCell(list, inserted, 2, file.GetFileVersionText());
    const std::wstring size = FormatSize(file.GetSize());
    SetCell(list, inserted, 3, size.empty() ? L"?" : size);
    uint16_t machine = 0;
    if (file.GetMachineType(machine) != err::Success) machine = 0;
    SetCell(list, inserted, 4, MachineTypeLabel(machine));
    ++row;
  }
}

CPluginFile* CDupeFinderDlg::SelectedFile(Half& half, uint32_t* id) {
  HWND list = Item(half.filesId);
  const int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  if (row < 0 || !half.group) return nullptr;
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  const auto fileId = static_cast<uint32_t>(item.lParam);
  if (id) *id = fileId;
  return half.group->FindById(fileId);
}

void CDupeFinderDlg::DeleteSelected(Half& half) {
  HWND list = Item(half.filesId);
  if (ListView_GetNextItem(list, -1, LVNI_SELECTED) < 0) return;
  uint32_t id = 0;
  CPluginFile* file = SelectedFile(half, &id);
  if (!file) return;  // no group shown, or no file of that id: the buttons stay as they are
  ErrorCode result = err::Success;
  const std::wstring path = file->GetPath();
  if (ShowMessage(Hwnd(),
                  FormatText(L"This will permanently delete %s. Are you sure you wish to continue?",
                             path.c_str()),
                  MessageStyle::Question) == IDYES) {
    result = half.group->DeleteById(id);
    if (result != err::Success) {
      ShowMessage(Hwnd(),
                  FormatText(L"Delete operation failed with error %lu. Make sure the file is not "
                             L"write-protected or currently in use.",
                             result),
                  MessageStyle::Error);
    } else {
      FillFiles(half);
    }
  }
  if (result == err::Success) EnableFileButtons(half, false);
}

CDupeFinderDlg::Half* CDupeFinderDlg::HalfOfFileList(int id) {
  if (id == upper_.filesId) return &upper_;
  if (id == lower_.filesId) return &lower_;
  return nullptr;
}

bool CDupeFinderDlg::OnCommand(int id, int notifyCode, HWND control) {
  switch (id) {
    case IDC_SHOW_DUPLICATES:
    case IDC_SHOW_SINGLES:
      if (notifyCode == BN_CLICKED) RefillNames(false);
      return true;
    case IDC_DUPLICATE_NAMES:
    case IDC_UNEXPECTED_NAMES:
      if (notifyCode == LBN_SELCHANGE) NameSelected(id == IDC_DUPLICATE_NAMES ? upper_ : lower_);
      return true;
    case IDC_DUPLICATE_BROWSE:
    case IDC_UNEXPECTED_BROWSE: {
      Half& half = id == IDC_DUPLICATE_BROWSE ? upper_ : lower_;
      if (CPluginFile* file = SelectedFile(half)) ShowInExplorer(file->GetPath().c_str());
      return true;
    }
    case IDC_DUPLICATE_DELETE:
    case IDC_UNEXPECTED_DELETE:
      DeleteSelected(id == IDC_DUPLICATE_DELETE ? upper_ : lower_);
      return true;
    case IDC_DUPLICATE_LAUNCH:
      // The host of the platform searched for, whatever the file's own machine type.
      if (CPluginFile* file = SelectedFile(upper_)) LaunchInPluginHost(selectedPlatform_ == 1, file->GetPath());
      return true;
    case IDC_BACK:
      EndDialog(IDC_BACK);
      return true;
    default:
      return false;
  }
}

bool CDupeFinderDlg::OnNotify(const NMHDR& header, LRESULT& result) {
  Half* half = HalfOfFileList(static_cast<int>(header.idFrom));
  if (!half) return false;
  if (header.code == LVN_COLUMNCLICK) {
    const int column = reinterpret_cast<const NMLISTVIEW&>(header).iSubItem;
    if (half->group) {
      if (column == half->sortColumn) {
        half->group->Reverse();
      } else {
        half->group->Sort(column);
      }
      FillFiles(*half);
      half->sortColumn = column;
    }
    result = 0;
    return true;
  }
  if (header.code == LVN_ITEMCHANGED) {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if ((change.uChanged & LVIF_STATE) && change.iItem >= 0 && (change.uNewState & LVIS_SELECTED)) {
      EnableFileButtons(*half, true);
    }
    result = 0;
    return true;
  }
  return false;
}

}  // namespace tessaly
