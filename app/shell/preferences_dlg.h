// CPreferencesDlg: the plugin hosts and the restore of the first-run registry backups.
#pragma once

#include <functional>
#include <string>

#include "app/shell/shell_settings.h"
#include "app/ui/dialog_win32.h"

namespace tessaly {

class CPreferencesDlg : public CDialog {
 public:
  // `restore` is what Restore Original Settings does (it asks first), `undo` what "Undo a
  // change..." does; `is64BitWindows` enables the 64-bit Browse button.
  CPreferencesDlg(const PreferencesInputs& inputs, bool is64BitWindows,
                  std::function<void(HWND owner)> restore,
                  std::function<void(HWND owner)> undo = nullptr);

  // The host paths as typed when the dialog closed with OK.
  const std::wstring& Host32() const { return host32_; }
  const std::wstring& Host64() const { return host64_; }

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, int notifyCode, HWND control) override;
  void OnDestroy() override;

 private:
  void BrowseForHost(int editId, bool is64Bit);

  PreferencesInputs inputs_;
  bool is64BitWindows_;
  std::function<void(HWND)> restore_;
  std::function<void(HWND)> undo_;
  std::wstring host32_;
  std::wstring host64_;
  CToolTips tips_;
};

// Asks whether to restore the settings of the first run and, on Yes, restores the first-run
// archives; nothing is shown afterwards.
void RestoreOriginalSettings(HWND owner, Registry& registry, FileSystem& files, System& system,
                             CProfileStore& settings);

}  // namespace tessaly
