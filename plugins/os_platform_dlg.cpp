// The plugin folders page.
#include "plugins/os_platform_dlg.h"

#include <shellapi.h>

#include "app/ui/list_box_win32.h"
#include "app/ui/system_dialogs_win32.h"
#include "platform/file_ops.h"
#include "platform/locations.h"
#include "platform/text.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

constexpr ToolTipText kTips[] = {
    {IDC_PLUGIN_FOLDERS,
     L"List of folders to search for plugins. You can add and remove folders as needed"},
    {IDC_ADD_FOLDER, L"Add a new plugin folder to the search list."},
    {IDC_REMOVE_FOLDER, L"Remove the selected folder from the search list."},
    {IDC_OPEN_FOLDER, L"Open the selected folder in Windows Explorer."},
    {IDC_SEARCH_VST3_CLAP,
     L"Also list VST3 files and bundles and CLAP files, and show which copies are identical."},
};

constexpr Anchor kAnchors[] = {
    {.caption = L"Plugin platform:", .growX = 100},
    GrowWidth(IDC_RUNNING_WINDOWS),
    {.caption = L"Plugin folders:", .growX = 100, .growY = 100},
    GrowBoth(IDC_PLUGIN_FOLDERS),
    FollowRight(IDC_ADD_FOLDER),
    FollowRight(IDC_REMOVE_FOLDER),
    FollowRight(IDC_OPEN_FOLDER),
    FollowBottom(IDC_SEARCH_VST3_CLAP),
    FollowBottomRight(IDC_BACK),
    FollowBottomRight(IDC_NEXT),
    FollowBottomRight(IDCANCEL),
};

}  // namespace

COsPlatformDlg::COsPlatformDlg(const PageContext& context)
    : CPage(context, IDD_OS_PLATFORM, PageOptions{}) {}

std::span<const ToolTipText> COsPlatformDlg::ToolTips() const { return kTips; }

int COsPlatformDlg::ReadPlatform() const {
  if (IsChecked(IDC_PLATFORM_32)) return 0;
  if (IsChecked(IDC_PLATFORM_64)) return 1;
  return choice_.platform;
}

bool COsPlatformDlg::OnInitPage() {
  if (choice_.is64BitWindows) {
    SetItemText(IDC_RUNNING_WINDOWS, L"You are running 64-bit Windows.");
  } else {
    choice_.platform = 0;
    EnableItem(IDC_PLATFORM_64, false);
    SetItemText(IDC_RUNNING_WINDOWS, L"You are running 32-bit Windows.");
  }
  SetCheck(IDC_PLATFORM_32, choice_.platform == 0);
  SetCheck(IDC_PLATFORM_64, choice_.platform == 1);
  shownPlatform_ = choice_.platform;
  SetCheck(IDC_SEARCH_VST3_CLAP, choice_.modernFormats);
  FillListBox(choice_.FoldersOf(shownPlatform_), Item(IDC_PLUGIN_FOLDERS));
  return true;
}

void COsPlatformDlg::ShowPlatform(int platform) {
  if (shownPlatform_ != platform) {
    // The list box still shows the other platform's folders: keep its edits first.
    ReadListBox(choice_.FoldersOf(shownPlatform_), Item(IDC_PLUGIN_FOLDERS));
    FillListBox(choice_.FoldersOf(platform), Item(IDC_PLUGIN_FOLDERS));
  }
  shownPlatform_ = platform;
  choice_.platform = ReadPlatform();
  UpdateControls();
}

void COsPlatformDlg::SetModernFormats(bool on) {
  if (on && !choice_.modernFormats) {
    // The shown list's edits first, then the new formats' folders after what each list holds.
    ReadListBox(choice_.FoldersOf(shownPlatform_), Item(IDC_PLUGIN_FOLDERS));
    if (AddModernFormatFolders(Context().system, Context().files, choice_) != 0) {
      FillListBox(choice_.FoldersOf(shownPlatform_), Item(IDC_PLUGIN_FOLDERS));
    }
  }
  choice_.modernFormats = on;
  UpdateControls();
}

void COsPlatformDlg::UpdateControls() {
  const bool selected = SendMessageW(Item(IDC_PLUGIN_FOLDERS), LB_GETCURSEL, 0, 0) != LB_ERR;
  EnableItem(IDC_OPEN_FOLDER, selected);
  EnableItem(IDC_REMOVE_FOLDER, selected);
}

std::wstring COsPlatformDlg::SelectedFolder() const {
  HWND list = Item(IDC_PLUGIN_FOLDERS);
  const LRESULT row = SendMessageW(list, LB_GETCURSEL, 0, 0);
  return row == LB_ERR ? std::wstring() : ListBoxText(list, row);
}

void COsPlatformDlg::AddFolder() {
  std::wstring initial;
  if (GetProgramFilesFolder(Context().system, choice_.platform == 1, initial) != err::Success) {
    initial.clear();
  }
  // A folder already listed is added again; reading the list box back drops the copy.
  if (const auto chosen = PickFolder(Hwnd(), initial, L"Add a VST plugin folder.")) {
    SendMessageW(Item(IDC_PLUGIN_FOLDERS), LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(chosen->c_str()));
  }
}

void COsPlatformDlg::RemoveFolder() {
  HWND list = Item(IDC_PLUGIN_FOLDERS);
  const LRESULT row = SendMessageW(list, LB_GETCURSEL, 0, 0);
  if (row != LB_ERR) SendMessageW(list, LB_DELETESTRING, row, 0);
  UpdateControls();
}

void COsPlatformDlg::OpenFolder() {
  const std::wstring folder = SelectedFolder();
  FindData found;
  if (!PathExists(Context().files, folder, &found)) {
    ShowMessage(Hwnd(), FormatText(L"%s doesn't appear to exist.", folder.c_str()),
                MessageStyle::Warning);
  } else if (found.attributes & attr::Directory) {
    ShellExecuteW(Hwnd(), L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  } else {
    ShowMessage(Hwnd(), FormatText(L"%s doesn't appear to be a valid directory.", folder.c_str()),
                MessageStyle::Warning);
  }
}

bool COsPlatformDlg::OnButton(int id) {
  switch (id) {
    case IDC_PLATFORM_32:
    case IDC_PLATFORM_64: ShowPlatform(id == IDC_PLATFORM_32 ? 0 : 1); return true;
    case IDC_SEARCH_VST3_CLAP: SetModernFormats(IsChecked(IDC_SEARCH_VST3_CLAP)); return true;
    default: return false;
  }
}

bool COsPlatformDlg::OnPageCommand(int id, int notifyCode, HWND control) {
  switch (id) {
    case IDC_PLUGIN_FOLDERS:
      if (notifyCode == LBN_SELCHANGE || notifyCode == LBN_SELCANCEL) UpdateControls();
      return true;
    case IDC_ADD_FOLDER: AddFolder(); return true;
    case IDC_REMOVE_FOLDER: RemoveFolder(); return true;
    case IDC_OPEN_FOLDER: OpenFolder(); return true;
    default: return false;
  }
}

bool COsPlatformDlg::CanGoNext() {
  choice_.platform = ReadPlatform();
  if (SendMessageW(Item(IDC_PLUGIN_FOLDERS), LB_GETCOUNT, 0, 0) <= 0) {
    ShowMessage(Hwnd(), L"You must specify at least one plugin folder in order to continue.",
                MessageStyle::Error);
    return false;
  }
  return true;
}

void COsPlatformDlg::OnDestroyPage() {
  choice_.platform = ReadPlatform();
  choice_.modernFormats = IsChecked(IDC_SEARCH_VST3_CLAP);
  // The list box shows the selected platform's folders (a click on a radio button moved them).
  ReadListBox(choice_.FoldersOf(choice_.platform), Item(IDC_PLUGIN_FOLDERS));
}

std::span<const Anchor> COsPlatformDlg::Anchors() const { return kAnchors; }

}  // namespace tessaly
