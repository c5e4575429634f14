// The relocate-products dialog.
#include "product_manager/relocate_dlg.h"

#include "app/ui/skin_win32.h"
#include "platform/win32/shell_win32.h"
#include "product_manager/change_folder_text.h"
#include "resources/resource.h"

namespace tessaly {

CRelocateDlg::CRelocateDlg(const PageContext& context)
    : CDialog(IDD_RELOCATE_PRODUCTS), context_(context) {}

void CRelocateDlg::SetInputs(std::wstring oldParent, std::wstring typeWord, std::wstring kindWord) {
  oldParent_ = std::move(oldParent);
  typeWord_ = std::move(typeWord);
  kindWord_ = std::move(kindWord);
}

bool CRelocateDlg::OnInitDialog() {
  RestoreWindowCenter(Hwnd(), context_.settings);
  AddSystemMenuCommands(GetSystemMenu(Hwnd(), FALSE));
  icons_.SetOn(Hwnd());
  SetItemText(IDC_RELOCATE_EXPLANATION, relocate::Explanation(kindWord_, typeWord_, oldParent_));
  SetItemText(IDC_OLD_PARENT_LABEL, relocate::OldParentLabel(kindWord_));
  SetItemText(IDC_OLD_PARENT, oldParent_);
  SetItemText(IDC_NEW_PARENT_LABEL, relocate::NewParentLabel(kindWord_));
  SetItemText(IDC_NEW_PARENT, newParent_);
  return true;
}

void CRelocateDlg::Browse() {
  // The browser starts at what the field shows, typed or browsed.
  const std::wstring start = ItemText(IDC_NEW_PARENT);
  wchar_t chosen[MAX_PATH] = L"";
  HRESULT result;
  {
    CSkinSuspend systemColours;
    result = BrowseForFolder(Hwnd(), start.empty() ? nullptr : start.c_str(),
                             L"Select a parent folder:", chosen);
  }
  if (FAILED(result)) return;
  newParent_ = chosen;
  SetItemText(IDC_NEW_PARENT, newParent_);
}

void CRelocateDlg::Relocate() {
  newParent_ = ItemText(IDC_NEW_PARENT);
  const NewParentCheck check = CheckNewParent(context_.files, newParent_);
  if (check != NewParentCheck::Accepted) {
    ShowMessage(Hwnd(), NewParentCheckMessage(check, newParent_), MessageStyle::Error);
    return;
  }
  if (ShowMessage(Hwnd(), relocate::Question(kindWord_, newParent_), MessageStyle::Question) ==
      IDYES) {
    EndDialog(IDC_RELOCATE);
  }
}

bool CRelocateDlg::OnCommand(int id, int notifyCode, HWND control) {
  if (notifyCode != BN_CLICKED) return false;
  switch (id) {
    case IDC_BROWSE_NEW_PARENT:
      Browse();
      return true;
    case IDC_RELOCATE:
      Relocate();
      return true;
    case IDOK:
      // Enter reaches the dialog as IDOK only when no button is the default: it ends nothing.
      return true;
    default:
      return false;
  }
}

bool CRelocateDlg::OnSysCommand(UINT command) {
  // The commands appended to the system menu act as on every page.
  return HandleSystemMenuCommand(context_.commands, command, Hwnd());
}

}  // namespace tessaly
