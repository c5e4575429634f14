// The duplicate finder page and the worker that runs the search for it.
#include "plugins/dupe_finder_dlg.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "app/ui/list_box_win32.h"
#include "app/ui/list_view_win32.h"
#include "platform/file_ops.h"
#include "platform/text.h"
#include "platform/win32/shell_win32.h"
#include "plugins/dupe_finder_state.h"
#include "plugins/dupe_search.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

constexpr ToolTipText kTips[] = {
    {IDC_SHOW_DUPLICATES, L"Show or hide files with duplicates."},
    {IDC_SHOW_SINGLES, L"Show or hide unique (single-instance) files."},
    {IDC_DUPLICATE_NAMES,
     L"List of detected files with duplicates. Select a file to see more info."},
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
constexpr uint64_t kFileLineInterval = 50;

// A file row: the group's member and the folder of the first other row with the same content.
struct FileRow {
  const CPluginList::Member* member;
  std::wstring sameAs;
};

// The cells show what the search recorded (the machine type) and what was recorded when the
// group was first shown (the version): filling a list never reads a file.
std::wstring FolderCell(const FileRow& row) { return row.member->file.GetFolder(); }
std::wstring DateCell(const FileRow& row) { return row.member->file.GetDateText(); }
std::wstring VersionCell(const FileRow& row) { return row.member->file.RecordedVersionText(); }
std::wstring SizeCell(const FileRow& row) {
  const std::wstring size = FormatSize(row.member->file.GetSize());
  return size.empty() ? L"?" : size;
}
std::wstring PlatformCell(const FileRow& row) {
  return MachineTypeLabel(row.member->file.RecordedMachine());
}
std::wstring SameAsCell(const FileRow& row) { return row.sameAs; }

// Column numbers are those of CPluginList::Sort. With VST3 and CLAP plugins searched, copies
// are compared and a sixth column names the folder of an identical copy.
constexpr ListViewColumn<FileRow> kFileColumns[] = {
    {L"Folder", 4, FolderCell}, {L"Date", 1, DateCell},         {L"Version", 1, VersionCell},
    {L"Size", 1, SizeCell},     {L"Platform", 1, PlatformCell},
};
constexpr CListViewTable kFileTable(kFileColumns);
constexpr ListViewColumn<FileRow> kComparedFileColumns[] = {
    {L"Folder", 4, FolderCell}, {L"Date", 1, DateCell},         {L"Version", 1, VersionCell},
    {L"Size", 1, SizeCell},     {L"Platform", 1, PlatformCell}, {L"Same as", 3, SameAsCell},
};
constexpr CListViewTable kComparedFileTable(kComparedFileColumns);

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

void SetSingleLine(HWND list, const wchar_t* text) {
  const wchar_t* lines[] = {text};
  SetListBoxLines(list, lines);
}

constexpr Anchor kAnchors[] = {
    {.caption = L"Search status:", .growX = 100},
    GrowWidth(IDC_SEARCH_STATUS),
    GrowWidth(IDC_SEARCH_FILE),
    // The two halves share the height; in each, the file list takes the width.
    {.caption = L"Duplicate files:", .growX = 100, .growY = 50},
    {.id = IDC_DUPLICATE_NAMES, .growY = 50},
    {.id = IDC_DUPLICATE_FILES, .growX = 100, .growY = 50},
    FollowRight(IDC_DUPLICATE_DELETE),
    FollowRight(IDC_DUPLICATE_BROWSE),
    FollowRight(IDC_DUPLICATE_LAUNCH),
    {.caption = L"Unexpected files:", .growX = 100, .moveY = 50, .growY = 50},
    {.id = IDC_UNEXPECTED_NAMES, .moveY = 50, .growY = 50},
    {.id = IDC_UNEXPECTED_FILES, .growX = 100, .moveY = 50, .growY = 50},
    {.id = IDC_UNEXPECTED_DELETE, .moveX = 100, .moveY = 50},
    {.id = IDC_UNEXPECTED_BROWSE, .moveX = 100, .moveY = 50},
    FollowBottomRight(IDC_BACK),
    FollowBottomRight(IDCANCEL),
};

}  // namespace

CDupeFinderDlg::CDupeFinderDlg(const PageContext& context)
    : CPage(context, IDD_DUPE_FINDER, PageOptions{}), fileLineThrottle_(kFileLineInterval) {
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

std::span<const ToolTipText> CDupeFinderDlg::ToolTips() const { return kTips; }

bool CDupeFinderDlg::OnInitPage() {
  expected_.Clear();
  unexpected_.Clear();
  SetCheck(IDC_SHOW_DUPLICATES, true);
  SetCheck(IDC_SHOW_SINGLES, false);
  for (Half* half : {&upper_, &lower_}) {
    SetSingleLine(Item(half->namesId), kSearching);
    if (inputs_.modernFormats) {
      kComparedFileTable.SetUp(Item(half->filesId));
    } else {
      kFileTable.SetUp(Item(half->filesId));
    }
  }

  // The worker reads only its own copies and the maps, which the page leaves alone until the
  // end message says the worker is done with them.
  searching_ = true;
  running_ = true;
  const PageContext& context = Context();
  HWND page = Hwnd();
  // A thread that cannot be started ends at once with Failed and its error, which SearchEnded
  // shows like any failed search.
  (void)worker_.Start(
      page, WM_DUPE_SEARCH_COMPLETE,
      [this, &context, page, folders = inputs_.folders.Entries(), platform = inputs_.platform,
       options = DupeSearchOptions{inputs_.modernFormats}](const CancelFlag& stop) -> ErrorCode {
        PageReports reports(page);
        const DupeSearchResult result =
            RunDupeSearch(context.files, context.system, folders, platform, expected_, unexpected_,
                          reports, stop, options);
        return result.completed ? err::Success : result.error;
      });
  return true;
}

void CDupeFinderDlg::OnDestroyPage() {
  // Back and Quit do not wait for the search, but the maps it fills go with the page: stop the
  // worker at its next test and wait for it, answering its sent reports meanwhile.
  running_ = false;
  worker_.Stop();
}

void CDupeFinderDlg::UpdateControls() {
  const DupeFinderControls state =
      DupeFinderControlState(searching_, upper_.rowChosen, lower_.rowChosen);
  EnableItem(IDC_SHOW_DUPLICATES, state.showCheckBoxes);
  EnableItem(IDC_SHOW_SINGLES, state.showCheckBoxes);
  for (Half* half : {&upper_, &lower_}) {
    const bool buttons = half == &upper_ ? state.upperFileButtons : state.lowerFileButtons;
    EnableItem(half->namesId, state.lists);
    EnableItem(half->filesId, state.lists);
    EnableItem(half->browseId, buttons);
    if (half->launchId) EnableItem(half->launchId, buttons);
    EnableItem(half->deleteId, buttons);
  }
}

bool CDupeFinderDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_DUPE_SEARCH_COMPLETE:
      SearchEnded(static_cast<WorkerEnd>(wParam), static_cast<ErrorCode>(lParam));
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
      }
      break;
    default: return CPage::OnMessage(message, wParam, lParam, result);
  }
  result = TRUE;
  return true;
}

void CDupeFinderDlg::SearchEnded(WorkerEnd end, ErrorCode error) {
  // A stopped search belongs to a page that is closing: its results go with it.
  if (!searching_ || end == WorkerEnd::Stopped) return;
  worker_.Stop();  // the thread has posted this as its last act: it is ending or gone
  searching_ = false;
  running_ = false;
  FlushFileLine();
  if (end == WorkerEnd::Failed) {
    // What was found before the failure is listed; the status line says the search is partial.
    SetItemText(IDC_SEARCH_STATUS,
                FormatText(L"The search failed with error %lu. The lists show what was found "
                           L"before it stopped.",
                           error));
  }
  RefillNames(true);
  UpdateControls();
}

void CDupeFinderDlg::ShowFileLine(const wchar_t* text) {
  pendingFileLine_ = text ? text : L"";
  if (fileLineThrottle_.Due(GetTickCount64())) FlushFileLine();
}

void CDupeFinderDlg::FlushFileLine() {
  if (pendingFileLine_.empty()) return;
  SetItemText(IDC_SEARCH_FILE, pendingFileLine_);
  pendingFileLine_.clear();
}

void CDupeFinderDlg::ForgetChosenRow(Half& half) {
  half.rowChosen = false;
  UpdateControls();
}

void CDupeFinderDlg::FillNames(Half& half, bool singles, bool duplicates) {
  half.rememberedRow = -1;
  half.group = nullptr;
  FillFiles(half);  // empty: no group is shown
  SetListBoxLines(Item(half.namesId), NamesListLines(*half.map, singles, duplicates));
  ForgetChosenRow(half);
}

void CDupeFinderDlg::RefillNames(bool full) {
  if (searching_) return;  // the maps are the worker's until its end message
  FillNames(upper_, IsChecked(IDC_SHOW_SINGLES), IsChecked(IDC_SHOW_DUPLICATES));
  // Every name of the unexpected files is listed, whatever its count.
  if (full) FillNames(lower_, true, true);
}

void CDupeFinderDlg::NameSelected(Half& half) {
  if (searching_) return;
  HWND names = Item(half.namesId);
  const LRESULT selected = SendMessageW(names, LB_GETCURSEL, 0, 0);
  const int row = selected == LB_ERR ? -1 : static_cast<int>(selected);
  if (row != half.rememberedRow) {
    half.group = nullptr;
    if (row >= 0) {
      // A line that is no key ("(no files found)") shows no group; the file list stays.
      half.group = half.map->Find(ListBoxText(names, row));
      if (half.group) {
        // Once per file and visit: the version cells and sorts read what is recorded here.
        half.group->RecordVersions();
        half.group->Sort(half.sortColumn);
        FillFiles(half);
      }
    }
    half.rememberedRow = row;
  }
  ForgetChosenRow(half);
}

void CDupeFinderDlg::FillFiles(Half& half) {
  if (!half.group) {
    ListView_DeleteAllItems(Item(half.filesId));
    return;
  }
  std::vector<std::wstring> sameAs = SameAsCells(*half.group);
  std::vector<FileRow> rows;
  size_t index = 0;
  for (const CPluginList::Member& member : half.group->Members())
    rows.push_back({&member, std::move(sameAs[index++])});
  const auto data = [](const FileRow& row) { return static_cast<LPARAM>(row.member->id); };
  if (inputs_.modernFormats) {
    kComparedFileTable.Fill(Item(half.filesId), rows, data);
  } else {
    kFileTable.Fill(Item(half.filesId), rows, data);
  }
}

CPluginFile* CDupeFinderDlg::SelectedFile(Half& half, uint32_t* id) {
  LPARAM data = 0;
  if (!half.group || !listview::SelectedData(Item(half.filesId), data)) return nullptr;
  const auto fileId = static_cast<uint32_t>(data);
  if (id) *id = fileId;
  return half.group->FindById(fileId);
}

void CDupeFinderDlg::DeleteSelected(Half& half) {
  uint32_t id = 0;
  CPluginFile* file = SelectedFile(half, &id);
  if (!file) return;  // no row, no group shown, or no file of that id: the buttons stay
  ErrorCode result = err::Success;
  // A bundle is counted as it is now, not as the search saw it.
  std::vector<BundleMember> bundleFiles;
  if (file->IsBundle()) {
    const auto redirection = Context().system.DisableFileRedirection();
    (void)ListBundle(Context().files, file->GetPath(),
                     bundleFiles);  // the question counts what it saw
  }
  if (ShowMessage(Hwnd(), DeleteQuestion(*file, bundleFiles), MessageStyle::Question) == IDYES) {
    result = half.group->DeleteById(id);
    // A failed delete keeps the member (a bundle deleted in part with what is left of it).
    if (result != err::Success)
      ShowMessage(Hwnd(), DeleteFailedMessage(*file, result, file->BundleMembers()),
                  MessageStyle::Error);
    FillFiles(half);
  }
  if (result == err::Success) ForgetChosenRow(half);
}

CDupeFinderDlg::Half* CDupeFinderDlg::HalfOfFileList(int id) {
  if (id == upper_.filesId) return &upper_;
  if (id == lower_.filesId) return &lower_;
  return nullptr;
}

bool CDupeFinderDlg::OnButton(int id) {
  if (id != IDC_SHOW_DUPLICATES && id != IDC_SHOW_SINGLES) return false;
  RefillNames(false);
  return true;
}

bool CDupeFinderDlg::OnPageCommand(int id, int notifyCode, HWND control) {
  switch (id) {
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
      if (CPluginFile* file = SelectedFile(upper_)) {
        LaunchInPluginHost(Context(), inputs_.platform == 1, file->GetPath(), Hwnd());
      }
      return true;
    default: return false;
  }
}

bool CDupeFinderDlg::OnNotify(const NMHDR& header, LRESULT& result) {
  Half* half = HalfOfFileList(static_cast<int>(header.idFrom));
  if (!half) return false;
  result = 0;
  if (header.code == LVN_COLUMNCLICK) {
    const int column = reinterpret_cast<const NMLISTVIEW&>(header).iSubItem;
    if (half->group && !searching_) {
      if (column == half->sortColumn) {
        half->group->Reverse();
      } else {
        half->group->Sort(column);
      }
      FillFiles(*half);
      half->sortColumn = column;
    }
    return true;
  }
  if (header.code == LVN_ITEMCHANGED) {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if ((change.uChanged & LVIF_STATE) && change.iItem >= 0 && (change.uNewState & LVIS_SELECTED) &&
        !half->rowChosen) {
      half->rowChosen = true;
      UpdateControls();
    }
    return true;
  }
  return false;
}

std::span<const Anchor> CDupeFinderDlg::Anchors() const { return kAnchors; }

}  // namespace tessaly
