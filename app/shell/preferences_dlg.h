// CPreferencesDlg: the plugin hosts and the restore of the first-run registry backups.
#pragma once

#include "app/ui/dialog_win32.h"

namespace tessaly {

class CPreferencesDlg : public CDialog {
 public:
  CPreferencesDlg();

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode, HWND control) override;
  void OnDestroy() override;

 private:
  void BrowseForHost(int editId, bool is64Bit);

  CToolTips tips_;
};

// Asks whether to restore the settings of the first run and, on Yes, restores the first-run
// archives; nothing is shown afterwards.
void RestoreOriginalSettings(HWND owner);

}  // namespace tessaly
