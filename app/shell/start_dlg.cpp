// The Start page: wizard choice, descriptions, the first-run backups and the skin switch.
#include "app/shell/start_dlg.h"

#include "app/shell/start_page_text.h"
#include "app/tessaly_app_win32.h"
#include "registry_archive/first_run_backups.h"
#include "resources/resource.h"

namespace tessaly {

CStartDlg::CStartDlg() : CPage(IDD_START, PageOptions{}) {
  // The skin's own flag is new with every page, so each Start page sets it up again; loading the
  // theme while it is on only replaces it.
  if (!skin_.IsSetUp()) skin_.SetUpFromResources(ProgramModule());
  skin_.LoadSkin(L"NormalBlack.ini");
}

bool CStartDlg::OnInitPage() {
  CProfileStore& profile = TheApp().Profile();
  selection_ = static_cast<int>(profile.GetProfileInt(kSettingsSection, kWizardSelection, 0));
  for (size_t i = 0; i < kWizardRadioIds.size(); ++i) {
    SetCheck(kWizardRadioIds[i], static_cast<int>(i) == selection_);
  }
  ShowDescription();
  if (profile.GetProfileInt(kSettingsSection, kFirstRun, kDefaultFirstRun) != 0) {
    PostMessageW(Hwnd(), kMsgFirstRunBackups, 0, 0);
  }
  return true;
}

void CStartDlg::ReadSelection() {
  // The position of the checked button in the group; none checked keeps the value, so that a
  // stored selection beyond the five wizards survives a visit in which nothing was clicked.
  for (size_t i = 0; i < kWizardRadioIds.size(); ++i) {
    if (IsChecked(kWizardRadioIds[i])) {
      selection_ = static_cast<int>(i);
      return;
    }
  }
}

void CStartDlg::ShowDescription() {
  SetItemText(IDC_START_DESCRIPTION, WizardDescription(selection_));
}

bool CStartDlg::OnCommand(int id, int notifyCode, HWND control) {
  if (SelectionOfRadioId(id) >= 0) {
    if (notifyCode == BN_CLICKED) {
      ReadSelection();
      ShowDescription();
    }
    return true;
  }
  if (id == IDC_NEXT) {
    ReadSelection();
    if (selection_ == 4 && !TheApp().Sys().IsVistaOrLater()) {
      ShowMessage(Hwnd(), L"Sorry, this feature is only supported on Vista or later.",
                  MessageStyle::Error);
      return true;
    }
    EndDialog(IDC_NEXT);
    return true;
  }
  return false;
}

bool CStartDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  if (message == kMsgFirstRunBackups) {
    MakeFirstRunBackups(TheApp().Backups());
    result = TRUE;
    return true;
  }
  return CPage::OnMessage(message, wParam, lParam, result);
}

void CStartDlg::OnDestroyPage() {
  ReadSelection();
  CProfileStore& profile = TheApp().Profile();
  profile.WriteProfileInt(kSettingsSection, kWizardSelection, selection_);
  profile.WriteProfileInt(kSettingsSection, kFirstRun, 0);
}

}  // namespace tessaly
