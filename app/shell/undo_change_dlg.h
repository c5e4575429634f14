// CUndoChangeDlg: the change backups listed newest first (date, description), and the undo of
// the one chosen, opened from Preferences' "Undo a change...".
#pragma once

#include <vector>

#include "app/ui/dialog_win32.h"
#include "registry_archive/change_backups.h"

namespace tessaly {

class CUndoChangeDlg : public CDialog {
 public:
  CUndoChangeDlg(const BackupContext& context, std::vector<ChangeBackupEntry> backups);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode, HWND control) override;
  bool OnNotify(const NMHDR& header, LRESULT& result) override;
  void OnDestroy() override;

 private:
  void UndoSelected();

  BackupContext context_;
  std::vector<ChangeBackupEntry> backups_;
  CToolTips tips_;
};

// Lists the change backups and, when there are any, shows the dialog; with none it says so.
void UndoAChange(HWND owner, Registry& registry, FileSystem& files, System& system,
                 CProfileStore& settings);

}  // namespace tessaly
