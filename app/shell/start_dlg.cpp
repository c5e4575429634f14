// The Start page: wizard choice, descriptions, the first-run backups and the skin switch.
#include "app/shell/start_dlg.h"

#include "app/shell/start_page_text.h"
#include "registry_archive/first_run_backups.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

constexpr Anchor kAnchors[] = {
    {.caption = L"Please choose a wizard:", .growX = 100},
    {.caption = L"Details:", .growX = 100, .growY = 100},
    GrowBoth(IDC_START_DESCRIPTION),
    FollowBottomRight(IDC_NEXT),
    FollowBottomRight(IDCANCEL),
};

}  // namespace

CStartDlg::CStartDlg(const PageContext& context) : CPage(context, IDD_START, PageOptions{}) {
  // The skin's own flag is new with every page, so each Start page sets it up again; loading the
  // theme while it is on only replaces it.
  if (!skin_.IsSetUp()) skin_.SetUpFromResources(ProgramModule());
  skin_.LoadSkin(L"NormalBlack.ini");
}

bool CStartDlg::OnInitPage() {
  for (size_t i = 0; i < kWizardRadioIds.size(); ++i) {
    SetCheck(kWizardRadioIds[i], static_cast<int>(i) == selection_);
  }
  ShowDescription();
  if (inputs_.firstRun) PostMessageW(Hwnd(), WM_FIRST_RUN_BACKUPS, 0, 0);
  // Posted after the backups' message, so it is handled once they are made.
  if (onShown_) PostMessageW(Hwnd(), WM_START_PAGE_SHOWN, 0, 0);
  return true;
}

void CStartDlg::ReadSelection() {
  // The position of the checked button in the group; none checked keeps the value.
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

bool CStartDlg::OnButton(int id) {
  if (SelectionOfRadioId(id) < 0) return false;
  ReadSelection();
  ShowDescription();
  return true;
}

bool CStartDlg::CanGoNext() {
  ReadSelection();
  if (selection_ == 4 && !Context().system.IsVistaOrLater()) {
    ShowMessage(Hwnd(), L"Sorry, this feature is only supported on Vista or later.",
                MessageStyle::Error);
    return false;
  }
  return true;
}

bool CStartDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  if (message == WM_FIRST_RUN_BACKUPS) {
    const PageContext& context = Context();
    MakeFirstRunBackups(
        BackupContext{context.registry, context.files, context.system, context.settings});
    result = TRUE;
    return true;
  }
  if (message == WM_START_PAGE_SHOWN) {
    // A modal dialog is made visible only once its queue is empty, and this message may come
    // first: show the page, so that the question stands over it rather than over nothing.
    if (!IsWindowVisible(Hwnd())) ShowWindow(Hwnd(), SW_SHOW);
    UpdateWindow(Hwnd());
    if (onShown_) onShown_(Hwnd());
    result = TRUE;
    return true;
  }
  return CPage::OnMessage(message, wParam, lParam, result);
}

void CStartDlg::OnDestroyPage() { ReadSelection(); }

std::span<const Anchor> CStartDlg::Anchors() const { return kAnchors; }

}  // namespace tessaly
