// The relocation folder page.
#include "relocation/choose_folder_dlg.h"

#include "app/ui/system_dialogs_win32.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

constexpr const wchar_t* kIntroduction =
    L"This wizard helps you move your plugin and content files wherever you like without having to "
    L"re-install or re-configure any programs. If you have already moved your files to their new "
    L"location, select the \"I have already moved the files\" option to simply create a link that "
    L"redirects the old file location to the new one. If you haven't moved the files yet, leave "
    L"that option unchecked and the wizard will move the files for you.";

// The page's questions and refusals in the program's message boxes.
class PageDialogue : public FolderChoiceDialogue {
 public:
  explicit PageDialogue(HWND page) : page_(page) {}
  bool Ask(const std::wstring& question) override {
    return ShowMessage(page_, question, MessageStyle::Question) == IDYES;
  }
  void Tell(const std::wstring& error) override { ShowMessage(page_, error, MessageStyle::Error); }

 private:
  HWND page_;
};

constexpr Anchor kAnchors[] = {
    GrowWidth(IDC_RELOCATION_INTRO),  GrowWidth(IDC_ALREADY_MOVED),
    GrowWidth(IDC_ORIGINAL_LABEL),    GrowWidth(IDC_ORIGINAL_LOCATION),
    FollowRight(IDC_BROWSE_ORIGINAL), GrowWidth(IDC_NEW_LABEL),
    GrowWidth(IDC_NEW_LOCATION),      FollowRight(IDC_BROWSE_NEW_LOCATION),
    GrowWidth(IDC_FULL_TARGET_PATH),  GrowWidth(IDC_DIFFERENT_NAME),
    GrowWidth(IDC_COMPARE_CONTENTS),  FollowBottomRight(IDC_BACK),
    FollowBottomRight(IDC_NEXT),      FollowBottomRight(IDCANCEL),
};

}  // namespace

CChooseFolderDlg::CChooseFolderDlg(const PageContext& context)
    : CPage(context, IDD_CHOOSE_FOLDER, PageOptions{}) {}

bool CChooseFolderDlg::OnInitPage() {
  // Setting a field's text reports EN_CHANGE, whose handler reads every field back into
  // choice_: the stored values are taken from a copy, so the fields not yet set do not empty
  // them.
  const FolderChoice stored = choice_;
  SetItemText(IDC_ORIGINAL_LOCATION, stored.source);
  SetItemText(IDC_NEW_LOCATION, stored.newLocation);
  SetItemText(IDC_RELOCATION_INTRO, kIntroduction);
  SetCheck(IDC_ALREADY_MOVED, stored.linkOnly);
  SetCheck(IDC_DIFFERENT_NAME, stored.differentName);
  SetCheck(IDC_COMPARE_CONTENTS, stored.compareContents);
  UpdateMode();
  return true;
}

void CChooseFolderDlg::OnDestroyPage() { ReadFields(); }

void CChooseFolderDlg::ReadFields() {
  choice_.source = ItemText(IDC_ORIGINAL_LOCATION);
  choice_.newLocation = ItemText(IDC_NEW_LOCATION);
  choice_.linkOnly = IsChecked(IDC_ALREADY_MOVED);
  choice_.differentName = IsChecked(IDC_DIFFERENT_NAME);
  choice_.compareContents = IsChecked(IDC_COMPARE_CONTENTS);
}

void CChooseFolderDlg::UpdateMode() {
  ReadFields();
  const FolderModeTexts texts = TextsForMode(choice_.linkOnly, choice_.differentName);
  SetItemText(IDC_ORIGINAL_LABEL, texts.originalLabel);
  SetItemText(IDC_NEW_LABEL, texts.newLabel);
  SetItemText(IDC_DIFFERENT_NAME, texts.differentNameCaption);
  EnableItem(IDC_BROWSE_ORIGINAL, texts.browseOriginal);
  EnableItem(IDC_COMPARE_CONTENTS, texts.compareContents);
  UpdateFullTarget();
}

void CChooseFolderDlg::UpdateFullTarget() {
  ReadFields();
  SetItemText(IDC_FULL_TARGET_PATH, FullTargetPath(choice_));
}

void CChooseFolderDlg::Browse(int editId, const wchar_t* title) {
  if (const auto chosen = PickFolder(Hwnd(), ItemText(editId), title)) SetItemText(editId, *chosen);
}

bool CChooseFolderDlg::OnPageCommand(int id, int notifyCode, HWND control) {
  if (id != IDC_ORIGINAL_LOCATION && id != IDC_NEW_LOCATION) return false;
  if (notifyCode == EN_CHANGE) UpdateFullTarget();
  return true;
}

bool CChooseFolderDlg::OnButton(int id) {
  switch (id) {
    case IDC_ALREADY_MOVED:
    case IDC_DIFFERENT_NAME: UpdateMode(); return true;
    case IDC_BROWSE_ORIGINAL:
      Browse(IDC_ORIGINAL_LOCATION, L"Select the folder to relocate.");
      return true;
    case IDC_BROWSE_NEW_LOCATION:
      Browse(IDC_NEW_LOCATION, L"Select the relocated folder's destination.");
      return true;
    case IDC_RELOCATION_EXAMPLES:
      HandleSystemMenuCommand(Context().commands, syscmd::UserGuide, Hwnd());
      return true;
    default: return false;
  }
}

bool CChooseFolderDlg::CanGoNext() {
  UpdateMode();
  PageDialogue dialogue(Hwnd());
  std::wstring full;
  if (!CheckFolderChoice(Context().files, choice_, dialogue, full)) return false;
  confirmedTarget_ = full;
  return true;
}

std::span<const Anchor> CChooseFolderDlg::Anchors() const { return kAnchors; }

}  // namespace tessaly
