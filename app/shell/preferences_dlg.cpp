// The Preferences dialog.
#include "app/shell/preferences_dlg.h"

#include "app/ui/system_dialogs_win32.h"
#include "platform/text.h"
#include "registry_archive/first_run_backups.h"
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
    {IDC_UNDO_CHANGE, L"Put back the product settings that one of Tessaly's changes replaced."},
};

// Description/pattern pairs for the open-file dialog, double-null-terminated.
constexpr wchar_t kProgramFilter[] = L"Program Files (*.exe)\0*.exe\0All Files (*.*)\0*.*\0";

}  // namespace

void RestoreOriginalSettings(HWND owner, Registry& registry, FileSystem& files, System& system,
                             CProfileStore& settings) {
  if (ShowMessage(owner,
                  L"This will restore your program settings to the state before you ran Tessaly "
                  L"for the first time. It will not delete or restore any files. Do you wish to "
                  L"proceed?",
                  MessageStyle::Question) != IDYES) {
    return;
  }
  RestoreFirstRunBackups(BackupContext{registry, files, system, settings});
}

CPreferencesDlg::CPreferencesDlg(const PreferencesInputs& inputs, bool is64BitWindows,
                                 std::function<void(HWND owner)> restore,
                                 std::function<void(HWND owner)> undo)
    : CDialog(IDD_PREFERENCES),
      inputs_(inputs),
      is64BitWindows_(is64BitWindows),
      restore_(std::move(restore)),
      undo_(std::move(undo)),
      host32_(inputs.host32),
      host64_(inputs.host64) {}

bool CPreferencesDlg::OnInitDialog() {
  tips_.Create(Hwnd(), kTips);
  if (!is64BitWindows_) EnableItem(IDC_BROWSE_HOST64, false);
  SetItemText(IDC_HOST32, inputs_.host32);
  SetItemText(IDC_HOST64, inputs_.host64);
  if (!inputs_.backupDateLine.empty()) {
    EnableItem(IDC_RESTORE_ORIGINAL, true);
    SetItemText(IDC_BACKUP_DATE, inputs_.backupDateLine);
  }
  return true;
}

void CPreferencesDlg::BrowseForHost(int editId, bool is64Bit) {
  if (const auto file = PickFileToOpen(
          Hwnd(), kProgramFilter, L"exe",
          is64Bit ? L"Locate a 64-bit VST plugin host." : L"Locate a 32-bit VST plugin host.",
          ItemText(editId))) {
    SetItemText(editId, *file);
  }
}

bool CPreferencesDlg::OnCommand(int id, int notifyCode, HWND control) {
  switch (id) {
    case IDC_BROWSE_HOST32: BrowseForHost(IDC_HOST32, false); return true;
    case IDC_BROWSE_HOST64: BrowseForHost(IDC_HOST64, true); return true;
    case IDC_RESTORE_ORIGINAL:
      if (restore_) restore_(Hwnd());
      return true;
    case IDC_UNDO_CHANGE:
      if (undo_) undo_(Hwnd());
      return true;
    case IDOK:
      host32_ = ItemText(IDC_HOST32);
      host64_ = ItemText(IDC_HOST64);
      EndDialog(IDOK);
      return true;
    default: return false;
  }
}

void CPreferencesDlg::OnDestroy() { tips_.Destroy(); }

}  // namespace tessaly
