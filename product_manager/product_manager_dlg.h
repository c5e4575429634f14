// CProductManagerDlg: the product manager's page. A worker reads every Native Instruments product
// from the registry; the page lists those its filters pass, shows the selected product's folders
// and files with the missing ones in red, launches them, and repairs a folder for one product,
// for every product of its type, or for those registered under an old parent folder.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "app/ui/color_edit_win32.h"
#include "app/ui/page_win32.h"
#include "app/ui/page_worker_win32.h"
#include "catalog/ni_library.h"
#include "product_manager/change_folder_dlg.h"
#include "product_manager/product_details.h"
#include "product_manager/product_filters.h"
#include "product_manager/product_scan.h"
#include "resources/page_messages.h"

namespace tessaly {

// The end message (WM_PRODUCT_SCAN_COMPLETE) is the page worker's: wParam a WorkerEnd.
class CProductManagerDlg : public CPage {
 public:
  explicit CProductManagerDlg(const PageContext& context);

  void SetInputs(ProductManagerInputs inputs) { inputs_ = std::move(inputs); }
  // The filters as the check boxes left them, for the settings.
  ProductTypes TypeFilter() const { return inputs_.typeFilter; }
  PathBits PathFilter() const { return inputs_.pathFilter; }

 protected:
  std::span<const Anchor> Anchors() const override;
  bool OnInitPage() override;
  void OnDestroyPage() override;
  bool OnPageCommand(int id, int notifyCode, HWND control) override;
  bool OnButton(int id) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  std::span<const ToolTipText> ToolTips() const override;
  void UpdateControls() override;

 private:
  // The folder kinds of the four Options buttons, and their lists.
  enum FolderSlot { kContentSlot, kInstallSlot, kVst32Slot, kVst64Slot, kFolderSlots };

  void ShowScanStep(ProductScanStep step, size_t products);
  void ScanEnded(WorkerEnd end);
  void ReadFilters();
  void RefillList();
  void SelectionChanged();
  void ShowDetails();
  void SelectByName(const std::wstring& keyName);
  void ClearSelection();
  void LaunchApplication();
  void ChangeFolder(FolderSlot slot);

  ProductManagerInputs inputs_;
  CNiLibrary library_;
  CProductList list_;
  ProductFolderLists folders_;
  CNiProduct* selected_ = nullptr;
  int lastIndex_ = -1;
  // True from the start of the scan until its end message: the library belongs to the worker.
  bool scanning_ = false;
  std::array<CColorEdit, 7> colorEdits_;
  CChangeFolderDlg changeFolder_;
  // Last member: destroyed first, so the worker has stopped before the library goes.
  CPageWorker worker_;
};

}  // namespace tessaly
