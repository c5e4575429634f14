// CStartDlg: the first page of every run; the user picks one of the five wizards.
#pragma once

#include <functional>

#include "app/shell/shell_settings.h"
#include "app/ui/page_win32.h"
#include "app/ui/skin_win32.h"
#include "resources/page_messages.h"

namespace tessaly {

class CStartDlg : public CPage {
 public:
  // Switches the window skin on for the program.
  explicit CStartDlg(const PageContext& context);

  // Set before the run: the wizard to check and whether to make the first-run backups.
  void SetInputs(const StartPageInputs& inputs) {
    inputs_ = inputs;
    selection_ = inputs.selection;
  }
  // The zero-based position of the checked wizard (the wizard number) when the page closed; a
  // stored selection beyond the five wizards survives a visit in which nothing was clicked.
  int Selection() const { return selection_; }
  // Called once the page is on screen and its first-run backups are made, with the page as the
  // owner of whatever the program then asks.
  void SetOnShown(std::function<void(HWND page)> onShown) { onShown_ = std::move(onShown); }

 protected:
  std::span<const Anchor> Anchors() const override;
  bool OnInitPage() override;
  void OnDestroyPage() override;
  bool OnButton(int id) override;
  bool CanGoNext() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  void ReadSelection();
  void ShowDescription();

  CSkinFrameworkWrapper skin_;
  StartPageInputs inputs_;
  int selection_ = 0;
  std::function<void(HWND)> onShown_;
};

}  // namespace tessaly
