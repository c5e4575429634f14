// COsPlatformDlg: the first page of the duplicate finder. The user picks the plugin platform to
// look for and edits the folders to search, one list per platform.
#pragma once

#include "app/ui/page_win32.h"
#include "platform/safe_lists.h"

namespace tessaly {

class COsPlatformDlg : public CPage {
 public:
  COsPlatformDlg();

 protected:
  bool OnInitPage() override;
  void OnDestroyPage() override;
  bool OnCommand(int id, int notifyCode, HWND control) override;

 private:
  // The position of the checked platform radio button (0 = 32-bit, 1 = 64-bit).
  int ReadPlatform() const;
  CSafeStringList& FoldersOf(int platform) { return platform == 0 ? folders32_ : folders64_; }
  void ShowPlatform(int platform);
  void UpdateButtons();
  void AddFolder();
  void RemoveFolder();
  void OpenFolder();
  std::wstring SelectedFolder() const;

  bool is64BitWindows_ = false;
  int selectedPlatform_ = 0;
  int shownPlatform_ = 0;
  CSafeStringList folders32_;
  CSafeStringList folders64_;
  CToolTips tips_;
};

}  // namespace tessaly
