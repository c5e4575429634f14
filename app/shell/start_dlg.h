// CStartDlg: the first page of every run; the user picks one of the five wizards.
#pragma once

#include "app/ui/page_win32.h"
#include "app/ui/skin_win32.h"

namespace tessaly {

// Posted by the Start page to itself to make the first-run backups once it has appeared.
constexpr UINT kMsgFirstRunBackups = WM_USER + 0x262;  // 0x662

class CStartDlg : public CPage {
 public:
  CStartDlg();

  // The zero-based position of the checked wizard (the wizard number); read after the run.
  int Selection() const { return selection_; }

 protected:
  bool OnInitPage() override;
  void OnDestroyPage() override;
  bool OnCommand(int id, int notifyCode, HWND control) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  void ReadSelection();
  void ShowDescription();

  CSkinFrameworkWrapper skin_;
  int selection_ = 0;
};

}  // namespace tessaly
