// The relocate-products dialog.
#include "product_manager/relocate_dlg.h"

#include "app/ui/system_dialogs_win32.h"
#include "product_manager/change_folder_text.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

constexpr Anchor kAnchors[] = {
    GrowBoth(IDC_RELOCATE_EXPLANATION),
    {.caption = L"Parent folder selection:", .growX = 100, .moveY = 100},
    GrowWidthFollowBottom(IDC_OLD_PARENT_LABEL),
    GrowWidthFollowBottom(IDC_OLD_PARENT),
    GrowWidthFollowBottom(IDC_NEW_PARENT_LABEL),
    GrowWidthFollowBottom(IDC_NEW_PARENT),
    FollowBottomRight(IDC_BROWSE_NEW_PARENT),
    FollowBottomRight(IDC_RELOCATE),
    FollowBottomRight(IDCANCEL),
};

}  // namespace

CRelocateDlg::CRelocateDlg(const PageContext& context)
    // It opens where the change-folder dialog's position puts it, but leaves that position alone.
    : CPage(context, IDD_RELOCATE_PRODUCTS,
            PageOptions{.savePosition = false, .wizardEndings = false}) {}

void CRelocateDlg::SetInputs(std::wstring oldParent, std::wstring typeWord, std::wstring kindWord) {
  oldParent_ = std::move(oldParent);
  typeWord_ = std::move(typeWord);
  kindWord_ = std::move(kindWord);
}

bool CRelocateDlg::OnInitPage() {
  SetItemText(IDC_RELOCATE_EXPLANATION, relocate::Explanation(kindWord_, typeWord_, oldParent_));
  SetItemText(IDC_OLD_PARENT_LABEL, relocate::OldParentLabel(kindWord_));
  SetItemText(IDC_OLD_PARENT, oldParent_);
  SetItemText(IDC_NEW_PARENT_LABEL, relocate::NewParentLabel(kindWord_));
  SetItemText(IDC_NEW_PARENT, newParent_);
  return true;
}

void CRelocateDlg::Browse() {
  // The browser starts at what the field shows, typed or browsed.
  const auto chosen = PickFolder(Hwnd(), ItemText(IDC_NEW_PARENT), L"Select a parent folder:");
  if (!chosen) return;
  newParent_ = *chosen;
  SetItemText(IDC_NEW_PARENT, newParent_);
}

void CRelocateDlg::Relocate() {
  newParent_ = ItemText(IDC_NEW_PARENT);
  const NewParentCheck check = CheckNewParent(Context().files, newParent_);
  if (check != NewParentCheck::Accepted) {
    ShowMessage(Hwnd(), NewParentCheckMessage(check, newParent_), MessageStyle::Error);
    return;
  }
  if (ShowMessage(Hwnd(), relocate::Question(kindWord_, newParent_), MessageStyle::Question) ==
      IDYES) {
    EndDialog(IDC_RELOCATE);
  }
}

bool CRelocateDlg::OnButton(int id) {
  switch (id) {
    case IDC_BROWSE_NEW_PARENT: Browse(); return true;
    case IDC_RELOCATE: Relocate(); return true;
    case IDOK:
      // Enter reaches the dialog as IDOK only when no button is the default: it ends nothing.
      return true;
    default: return false;
  }
}

std::span<const Anchor> CRelocateDlg::Anchors() const { return kAnchors; }

}  // namespace tessaly
