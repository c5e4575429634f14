// The change-folder dialog.
#include "product_manager/change_folder_dlg.h"

#include "app/ui/list_box_win32.h"
#include "app/ui/system_dialogs_win32.h"
#include "platform/text.h"
#include "platform/win32/shell_win32.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

constexpr ToolTipText kTips[] = {
    {IDC_FOLDER_LIST, L"List of folders that this product and others like it are currently using."},
    {IDC_USE_FOR_PRODUCT, L"Use selected folder for this product only."},
    {IDC_USE_FOR_ALL,
     L"Use selected folder for all products of the same type (for example, if you move all of "
     L"your plugins to a different directory)."},
    {IDC_RELOCATE_PRODUCTS,
     L"Reassigns the path of all products in the current item's parent folder to a new location "
     L"that you choose. (For example, if you move your entire Komplete library to a different "
     L"directory."},
    {IDC_SELECT_ANOTHER_FOLDER, L"Select a new folder to use for this product."},
    {IDC_OPEN_SELECTED_FOLDER, L"Open selected folder in Windows Explorer."},
};

constexpr Anchor kAnchors[] = {
    GrowWidth(IDC_FOLDER_PROMPT),
    GrowBoth(IDC_FOLDER_LIST),
    GrowWidthFollowBottom(IDC_USE_FOR_PRODUCT),
    GrowWidthFollowBottom(IDC_USE_FOR_ALL),
    GrowWidthFollowBottom(IDC_RELOCATE_PRODUCTS),
    FollowBottom(IDC_SELECT_ANOTHER_FOLDER),
    FollowBottom(IDC_OPEN_SELECTED_FOLDER),
    FollowBottomRight(IDCANCEL),
};

}  // namespace

CChangeFolderDlg::CChangeFolderDlg(const PageContext& context)
    : CPage(context, IDD_CHANGE_FOLDER, PageOptions{.wizardEndings = false}), relocate_(context) {}

void CChangeFolderDlg::SetInputs(const CNiProduct* product, ValueKind kind,
                                 std::vector<std::wstring>* folders) {
  product_ = product;
  kind_ = kind;
  folders_ = folders;
}

std::wstring CChangeFolderDlg::KeyName() const {
  return product_ ? product_->GetKeyName() : std::wstring();
}

std::span<const ToolTipText> CChangeFolderDlg::ToolTips() const { return kTips; }

bool CChangeFolderDlg::OnInitPage() {
  limit_ = false;
  selected_ = false;
  EnableItem(IDC_USE_FOR_PRODUCT, false);
  typeWord_ = ProductTypeWord(product_ ? product_->GetType() : producttype::None);
  kindWord_ = ValueKindWord(kind_);
  Fill();
  return true;
}

void CChangeFolderDlg::Fill() {
  if (!folders_ || !product_ || kind_ == ValueKind{}) return;
  HWND list = Item(IDC_FOLDER_LIST);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const std::wstring& folder : *folders_) {
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder.c_str()));
  }
  // The program's own comparison (A-Z folded), not the list box's locale-aware LB_FINDSTRINGEXACT.
  const std::wstring current = product_->GetValue(kind_);
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  LRESULT found = LB_ERR;
  for (LRESULT row = 0; row < count && found == LB_ERR; ++row) {
    if (EqualsNoCase(ListBoxText(list, row), current)) found = row;
  }
  // Without the current folder nothing is selected and the captions stay as the template has them.
  if (found == LB_ERR) return;
  lastIndex_ = static_cast<int>(found);
  SendMessageW(list, LB_SETCURSEL, found, 0);
  SetItemText(IDC_USE_FOR_ALL, changefolder::UseForAllCaption(typeWord_));
  SetItemText(IDC_USE_FOR_PRODUCT, changefolder::UseForProductCaption(KeyName()));
  SetItemText(IDC_FOLDER_PROMPT, changefolder::ChooseFolderPrompt(kindWord_, KeyName()));
  // The index is the last one handled, so "Use for %s only" stays disabled.
  OnSelectionChanged();
}

void CChangeFolderDlg::OnSelectionChanged() {
  HWND list = Item(IDC_FOLDER_LIST);
  const LRESULT index = SendMessageW(list, LB_GETCURSEL, 0, 0);
  if (index == LB_ERR) {
    selected_ = false;
    EnableItem(IDC_USE_FOR_PRODUCT, false);
    chosenFolder_.clear();
    return;
  }
  selected_ = true;
  // Once another folder than the product's own was selected, the button stays enabled.
  if (index != lastIndex_) EnableItem(IDC_USE_FOR_PRODUCT, true);
  lastIndex_ = static_cast<int>(index);
  chosenFolder_ = ListBoxText(list, index);
  oldParent_ = OldParentOf(chosenFolder_);
  SetItemText(IDC_RELOCATE_PRODUCTS, changefolder::RelocateCaption(typeWord_, oldParent_));
}

bool CChangeFolderDlg::Accept(FolderAction action) {
  const FolderCheck check = CheckChosenFolder(action, selected_, chosenFolder_);
  if (check == FolderCheck::Accepted) return true;
  ShowMessage(Hwnd(), FolderCheckMessage(check, chosenFolder_), MessageStyle::Error);
  return false;
}

void CChangeFolderDlg::SelectAnotherFolder() {
  OnSelectionChanged();
  const std::wstring title = changefolder::BrowseTitle(kindWord_, KeyName());
  const auto chosen = PickFolder(Hwnd(), chosenFolder_, title.c_str());
  if (!chosen) return;
  // Added even when the list already has it; the page's list keeps it for later runs, also when
  // this one is cancelled.
  HWND list = Item(IDC_FOLDER_LIST);
  const LRESULT row =
      SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(chosen->c_str()));
  if (row < 0) return;
  SendMessageW(list, LB_SETCURSEL, row, 0);
  if (folders_) folders_->push_back(*chosen);
  OnSelectionChanged();
}

void CChangeFolderDlg::OpenSelectedFolder() {
  OnSelectionChanged();
  if (CheckChosenFolder(FolderAction::UseForProduct, selected_, chosenFolder_) ==
      FolderCheck::NothingSelected) {
    ShowMessage(Hwnd(), FolderCheckMessage(FolderCheck::NothingSelected, chosenFolder_),
                MessageStyle::Error);
    return;
  }
  const std::wstring failure =
      changefolder::ExploreFailedMessage(ExploreFolder(Hwnd(), chosenFolder_.c_str()));
  if (!failure.empty()) ShowMessage(Hwnd(), failure, MessageStyle::Error);
}

void CChangeFolderDlg::UseForProduct() {
  OnSelectionChanged();
  if (Accept(FolderAction::UseForProduct)) EndDialog(IDC_USE_FOR_PRODUCT);
}

void CChangeFolderDlg::UseForAll() {
  OnSelectionChanged();
  if (!Accept(FolderAction::UseForAll)) return;
  if (ShowMessage(Hwnd(), changefolder::UseForAllQuestion(kindWord_, typeWord_, chosenFolder_),
                  MessageStyle::Question) != IDYES) {
    return;
  }
  const std::wstring current = product_ ? product_->GetValue(kind_) : std::wstring();
  if (!current.empty()) {
    limit_ = ShowMessage(Hwnd(), changefolder::LimitQuestion(typeWord_, current),
                         MessageStyle::Question) == IDYES;
  }
  EndDialog(IDC_USE_FOR_ALL);
}

void CChangeFolderDlg::RelocateProducts() {
  OnSelectionChanged();
  if (!Accept(FolderAction::Relocate)) return;
  relocate_.SetInputs(oldParent_, typeWord_, kindWord_);
  // Only a confirmed relocation ends this dialog; a cancelled one (or one that could not open)
  // leaves it open.
  if (relocate_.DoModal(Hwnd()) != IDC_RELOCATE) return;
  newParent_ = relocate_.NewParent();
  EndDialog(IDC_RELOCATE_PRODUCTS);
}

bool CChangeFolderDlg::OnPageCommand(int id, int notifyCode, HWND control) {
  if (id != IDC_FOLDER_LIST) return false;
  if (notifyCode == LBN_SELCHANGE) {
    OnSelectionChanged();
  } else if (notifyCode == LBN_DBLCLK) {
    // Ends with 1048 also on the product's own folder, whose button is still disabled.
    OnSelectionChanged();
    if (selected_) UseForProduct();
  }
  return true;
}

bool CChangeFolderDlg::OnButton(int id) {
  switch (id) {
    case IDC_USE_FOR_PRODUCT: UseForProduct(); return true;
    case IDC_USE_FOR_ALL: UseForAll(); return true;
    case IDC_RELOCATE_PRODUCTS: RelocateProducts(); return true;
    case IDC_SELECT_ANOTHER_FOLDER: SelectAnotherFolder(); return true;
    case IDC_OPEN_SELECTED_FOLDER: OpenSelectedFolder(); return true;
    case IDOK:
      // Enter while the default button "Use for %s only" is disabled: the page has no code 1.
      return true;
    default: return false;
  }
}

std::span<const Anchor> CChangeFolderDlg::Anchors() const { return kAnchors; }

}  // namespace tessaly
