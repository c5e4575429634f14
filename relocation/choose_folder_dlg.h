// CChooseFolderDlg: the relocation wizard's first page. The user names the folder to relocate
// and its new place; the page shows the Full Target Path, checks both folders and asks before it
// lets the wizard go on.
#pragma once

#include <string>

#include "app/ui/page_win32.h"
#include "relocation/folder_choice.h"

namespace tessaly {

class CChooseFolderDlg : public CPage {
 public:
  explicit CChooseFolderDlg(const PageContext& context);

  void SetInputs(FolderChoice choice) { choice_ = std::move(choice); }
  // The fields as the page closed with them (stored whatever ended it).
  const FolderChoice& Choice() const { return choice_; }
  // The Full Target Path the user confirmed with Next; empty when the page ended otherwise.
  const std::wstring& ConfirmedTarget() const { return confirmedTarget_; }

 protected:
  std::span<const Anchor> Anchors() const override;
  bool OnInitPage() override;
  void OnDestroyPage() override;
  bool OnPageCommand(int id, int notifyCode, HWND control) override;
  bool OnButton(int id) override;
  bool CanGoNext() override;

 private:
  void UpdateMode();
  void UpdateFullTarget();
  void ReadFields();
  void Browse(int editId, const wchar_t* title);

  FolderChoice choice_;
  std::wstring confirmedTarget_;
};

}  // namespace tessaly
