// The Preferences dialog.
#include "app/shell/preferences_dlg.h"

#include "app/settings/profile_store.h"
#include "app/ui/skin_win32.h"
#include "app/tessaly_app_win32.h"
#include "platform/text.h"
#include "platform/win32/shell_win32.h"
#include "registry_archive/registry_archive.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

constexpr ToolTipText kTips[] = {
    {IDC_HOST32, L"Path to plugin host for opening 32-bit plugins. Ideally this program should "
                 L"accept plugin paths as a command line parameter."},
    {IDC_BROWSE_HOST32, L"Locate a 32-bit plugin host."},
    {IDC_HOST64, L"Path to plugin host for opening 64-bit plugins. Ideally this program should "
                 L"accept plugin paths as a command line parameter."},
    {IDC_BROWSE_HOST64, L"Locate a 64-bit plugin host."},
    {IDC_RESTORE_ORIGINAL, L"Restore product settings to state when you first installed Tessaly."},
};

// Description/pattern pairs for the open-file dialog, double-null-terminated.
constexpr wchar_t kProgramFilter[] =
    L"Program Files (*.exe)\0*.exe\0All Files (*.*)\0*.*\0";

}  // namespace

void RestoreOriginalSettings(HWND owner) {
  if (ShowMessage(owner,
                  L"This will restore your program settings to the state before you ran Tessaly "
                  L"for the first time. It will not delete or restore any files. Do you wish to "
                  L"proceed?",
                  MessageStyle::Question) != IDYES) {
    return;
  }
  RestoreFirstRunBackups(TheApp().Backups());
}

CPreferencesDlg::CPreferencesDlg() : CDialog(IDD_PREFERENCES) {}

bool CPreferencesDlg::OnInitDialog() {
  CTessalyApp& app = TheApp();
  tips_.Create(Hwnd(), kTips);
  if (!app.Sys().IsWow64()) EnableItem(IDC_BROWSE_HOST64, false);
  CProfileStore& profile = app.Profile();
  SetItemText(IDC_HOST32, profile.GetProfileString(kSettingsSection, kVstHost32, L""));
  SetItemText(IDC_HOST64, profile.GetProfileString(kSettingsSection, kVstHost64, L""));

  const std::wstring archive = profile.GetProfileString(kSettingsSection, kBackupHklmDefault, L"");
  CRegistryArchive reader(app.Reg(), app.Files(), app.Sys());
  std::wstring date;
  if (reader.ReadArchiveDate(archive, date) == err::Success) {
    EnableItem(IDC_RESTORE_ORIGINAL, true);
    SetItemText(IDC_BACKUP_DATE, FormatText(L"Backup created on: %s", date.c_str()));
  }
  return true;
}

void CPreferencesDlg::BrowseForHost(int editId, bool is64Bit) {
  std::wstring initialFolder = ItemText(editId);
  if (!initialFolder.empty()) path::RemoveFileSpec(initialFolder);
  wchar_t file[MAX_PATH] = L"";
  DWORD result;
  {
    CSkinSuspend systemColours;
    result = ChooseFile(Hwnd(), kProgramFilter, file, L"exe",
                        is64Bit ? L"Locate a 64-bit VST plugin host."
                                : L"Locate a 32-bit VST plugin host.",
                        initialFolder.empty() ? nullptr : initialFolder.c_str());
  }
  if (result == 0) SetItemText(editId, file);
}

bool CPreferencesDlg::OnCommand(int id, int notifyCode, HWND control) {
  switch (id) {
    case IDC_BROWSE_HOST32:
      BrowseForHost(IDC_HOST32, false);
      return true;
    case IDC_BROWSE_HOST64:
      BrowseForHost(IDC_HOST64, true);
      return true;
    case IDC_RESTORE_ORIGINAL:
      RestoreOriginalSettings(Hwnd());
      return true;
    case IDOK: {
      CProfileStore& profile = TheApp().Profile();
      profile.WriteProfileString(kSettingsSection, kVstHost32, ItemText(IDC_HOST32));
      profile.WriteProfileString(kSettingsSection, kVstHost64, ItemText(IDC_HOST64));
      EndDialog(IDOK);
      return true;
    }
    default:
      return false;
  }
}

void CPreferencesDlg::OnDestroy() { tips_.Destroy(); }

}  // namespace tessaly
