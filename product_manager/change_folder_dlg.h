// CChangeFolderDlg: behind the product manager's Options buttons. It lists the folders products
// use for one folder kind, lets the user pick one or browse for another, and says how widely to
// use it: for the selected product, for all products of its type, or, through the
// relocate-products dialog, for the products of its type registered under the folder's parent.
// It writes nothing itself: the product manager carries out the choice it ends with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/ui/page_context_win32.h"
#include "app/ui/page_win32.h"
#include "catalog/ni_product.h"
#include "product_manager/change_folder_text.h"
#include "product_manager/relocate_dlg.h"

namespace tessaly {

class CChangeFolderDlg : public CPage {
 public:
  // One per page visit, run again for every Options click: the last list index, the chosen
  // folder, the old parent and the new parent keep what the previous run left until this run
  // changes them.
  explicit CChangeFolderDlg(const PageContext& context);

  // Before each DoModal(owner): the selected product, the value kind (1, 8, 16, 32) and the
  // page's folder list of that kind (shared: the dialog appends browsed folders to it).
  void SetInputs(const CNiProduct* product, ValueKind kind, std::vector<std::wstring>* folders);

  // DoModal(owner) ends with 1048 (use for this product), 1049 (use for all of the type), 1055
  // (relocate under the old parent) or 2 (cancel). A chosen folder is never longer than 259
  // characters; after 1055 the old parent is a full folder path.
  const std::wstring& ChosenFolder() const { return chosenFolder_; }
  // After 1049: limit to the products whose folder is the product's current folder.
  bool Limit() const { return limit_; }
  const std::wstring& OldParent() const { return oldParent_; }
  const std::wstring& NewParent() const { return newParent_; }

 protected:
  std::span<const Anchor> Anchors() const override;
  bool OnInitPage() override;
  bool OnPageCommand(int id, int notifyCode, HWND control) override;
  bool OnButton(int id) override;
  std::span<const ToolTipText> ToolTips() const override;

 private:
  // Lists the folders, selects the product's current one and words the captions.
  void Fill();
  // Brings the chosen folder, the old parent and button 1048 in line with the list's selection.
  void OnSelectionChanged();
  // Shows why the chosen folder cannot be used for `action`; true when it can.
  bool Accept(FolderAction action);
  std::wstring KeyName() const;
  void SelectAnotherFolder();
  void OpenSelectedFolder();
  void UseForProduct();
  void UseForAll();
  void RelocateProducts();

  CRelocateDlg relocate_;

  const CNiProduct* product_ = nullptr;
  ValueKind kind_{};
  std::vector<std::wstring>* folders_ = nullptr;
  std::wstring typeWord_;
  std::wstring kindWord_;

  int lastIndex_ = 0;
  bool selected_ = false;  // the list has a selection
  std::wstring chosenFolder_;
  bool limit_ = false;
  std::wstring oldParent_;
  std::wstring newParent_;
};

}  // namespace tessaly
