// The plugin folders page.
#include "plugins/os_platform_dlg.h"

#include <shellapi.h>

#include "app/ui/skin_win32.h"
#include "app/tessaly_app_win32.h"
#include "platform/file_ops.h"
#include "platform/locations.h"
#include "platform/text.h"
#include "app/ui/list_box_win32.h"
#include "platform/win32/shell_win32.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

constexpr ToolTipText kTips[] = {
    {IDC_PLUGIN_FOLDERS, L"List of folders to search for plugins. You can add and remove folders as needed"},
    {IDC_ADD_FOLDER, L"Add a new plugin folder to the search list."},
    {IDC_REMOVE_FOLDER, L"Remove the selected folder from the search list."},
    {IDC_OPEN_FOLDER, L"Open the selected folder in Windows Explorer."},
};

}  // namespace

COsPlatformDlg::COsPlatformDlg() : CPage(IDD_OS_PLATFORM, PageOptions{}) {}

int COsPlatformDlg::ReadPlatform() const {
  if (IsChecked(IDC_PLATFORM_32)) return 0;
  if (IsChecked(IDC_PLATFORM_64)) return 1;
  return selectedPlatform_;
}

bool COsPlatformDlg::OnInitPage() {
  CTessalyApp& app = TheApp();
  CProfileStore& profile = app.Profile();
  selectedPlatform_ = profile.GetProfileInt(kSettingsSection, kSelectedPlatform, 0) == 1 ? 1 : 0;
  is64BitWindows_ = app.Sys().IsWow64();
  if (is64BitWindows_) {
    SetItemText(IDC_RUNNING_WINDOWS, L"You are running 64-bit Windows.");
  } else {
    selectedPlatform_ = 0;
    EnableItem(IDC_PLATFORM_64, false);
    SetItemText(IDC_RUNNING_WINDOWS, L"You are running 32-bit Windows.");
  }
  SetCheck(IDC_PLATFORM_32, selectedPlatform_ == 0);
  SetCheck(IDC_PLATFORM_64, selectedPlatform_ == 1);

  // A platform without stored folders starts from the default plugin folders.
  auto load = [&](CSafeStringList& list, const wchar_t* setting, bool want64) {
    list.Clear();
    const std::wstring text = profile.GetProfileString(kSettingsSection, setting, L"");
    if (text.empty()) {
      GetDefaultVstFolders(app.Sys(), app.Reg(), app.Files(), want64, list);
    } else {
      list.AddFromText(text);
    }
  };
  load(folders32_, kVstPaths32, false);
  if (is64BitWindows_) load(folders64_, kVstPaths64, true);

  shownPlatform_ = selectedPlatform_;
  FillListBox(FoldersOf(shownPlatform_), Item(IDC_PLUGIN_FOLDERS));

  tips_.Create(Hwnd(), kTips);
  UpdateButtons();
  return true;
}

void COsPlatformDlg::ShowPlatform(int platform) {
  if (shownPlatform_ != platform) {
    // The list box still shows the other platform's folders: keep its edits first.
    ReadListBox(FoldersOf(shownPlatform_), Item(IDC_PLUGIN_FOLDERS));
    FillListBox(FoldersOf(platform), Item(IDC_PLUGIN_FOLDERS));
  }
  shownPlatform_ = platform;
  selectedPlatform_ = ReadPlatform();
  UpdateButtons();
}

void COsPlatformDlg::UpdateButtons() {
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
  if (GetProgramFilesFolder(TheApp().Sys(), selectedPlatform_ == 1, initial) != err::Success) {
    initial.clear();
  }
  wchar_t chosen[MAX_PATH] = L"";
  HRESULT result;
  {
    CSkinSuspend systemColours;
    result = BrowseForFolder(Hwnd(), initial.empty() ? nullptr : initial.c_str(),
                             L"Add a VST plugin folder.", chosen);
  }
  // A folder already listed is added again; reading the list box back drops the copy.
  if (SUCCEEDED(result)) {
    SendMessageW(Item(IDC_PLUGIN_FOLDERS), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(chosen));
  }
}

void COsPlatformDlg::RemoveFolder() {
  HWND list = Item(IDC_PLUGIN_FOLDERS);
  const LRESULT row = SendMessageW(list, LB_GETCURSEL, 0, 0);
  if (row != LB_ERR) SendMessageW(list, LB_DELETESTRING, row, 0);
  UpdateButtons();
}

void COsPlatformDlg::OpenFolder() {
  const std::wstring folder = SelectedFolder();
  FindData found;
  if (!PathExists(TheApp().Files(), folder, &found)) {
    ShowMessage(Hwnd(), FormatText(L"%s doesn't appear to exist.", folder.c_str()),
                MessageStyle::Warning);
  } else if (found.attributes & attr::Directory) {
    ShellExecuteW(Hwnd(), L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  } else {
    ShowMessage(Hwnd(), FormatText(L"%s doesn't appear to be a valid directory.", folder.c_str()),
                MessageStyle::Warning);
  }
}

bool COsPlatformDlg::OnCommand(int id, int notifyCode, HWND control) {
  switch (id) {
    case IDC_PLATFORM_32:
    case IDC_PLATFORM_64:
      if (notifyCode == BN_CLICKED) ShowPlatform(id == IDC_PLATFORM_32 ? 0 : 1);
      return true;
    case IDC_PLUGIN_FOLDERS:
      if (notifyCode == LBN_SELCHANGE || notifyCode == LBN_SELCANCEL) UpdateButtons();
      return true;
    case IDC_ADD_FOLDER:
      AddFolder();
      return true;
    case IDC_REMOVE_FOLDER:
      RemoveFolder();
      return true;
    case IDC_OPEN_FOLDER:
      OpenFolder();
      return true;
    case IDC_NEXT:
      selectedPlatform_ = ReadPlatform();
      if (SendMessageW(Item(IDC_PLUGIN_FOLDERS), LB_GETCOUNT, 0, 0) <= 0) {
        ShowMessage(Hwnd(), L"You must specify at least one plugin folder in order to continue.",
                    MessageStyle::Error);
        return true;
      }
      EndDialog(IDC_NEXT);
      return true;
    case IDC_BACK:
      EndDialog(IDC_BACK);
      return true;
    default:
      return false;
  }
}

void COsPlatformDlg::OnDestroyPage() {
  CProfileStore& profile = TheApp().Profile();
  selectedPlatform_ = ReadPlatform();
  profile.WriteProfileInt(kSettingsSection, kSelectedPlatform, selectedPlatform_);
  // The list box shows the selected platform's folders (a click on a radio button moved them).
  ReadListBox(FoldersOf(selectedPlatform_), Item(IDC_PLUGIN_FOLDERS));
  // A list too long to store keeps the stored one.
  profile.WriteFolderList(kVstPaths32, folders32_);
  if (is64BitWindows_) profile.WriteFolderList(kVstPaths64, folders64_);
  tips_.Destroy();
}

}  // namespace tessaly
