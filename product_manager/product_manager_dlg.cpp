// The product manager page.
#include "product_manager/product_manager_dlg.h"

#include "app/ui/busy_text.h"
#include "app/ui/list_box_win32.h"
#include "app/ui/progress_throttle.h"
#include "app/ui/system_dialogs_win32.h"
#include "platform/text.h"
#include "product_manager/folder_change.h"
#include "registry_archive/change_backups.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

constexpr COLORREF kMissingColor = RGB(153, 0, 0);
constexpr COLORREF kPresentColor = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
// The worker shows the key being read at most this often: every key would cost a round trip
// between the threads per key, as much as reading the key itself.
constexpr ULONGLONG kProgressIntervalMs = 30;

// The scan's reports, sent from the worker thread to the page, which shows them on its own: each
// step with the number of products found so far, the key being read at most every
// kProgressIntervalMs.
class ScanReports : public ProductScanObserver {
 public:
  ScanReports(HWND page, const CNiLibrary& library) : page_(page), library_(library) {}

  void OnStep(ProductScanStep step) override {
    SendMessageW(page_, WM_PRODUCT_SCAN_STEP, static_cast<WPARAM>(step),
                 static_cast<LPARAM>(library_.Count()));
  }
  void OnKey(const wchar_t* keyName) override {
    if (!throttle_.Due(GetTickCount64())) return;
    SendMessageW(page_, WM_PRODUCT_SCAN_PROGRESS, 0, reinterpret_cast<LPARAM>(keyName));
  }

 private:
  HWND page_;
  const CNiLibrary& library_;
  CProgressThrottle throttle_{kProgressIntervalMs};
};

constexpr ToolTipText kTips[] = {
    {IDC_PM_PRODUCTS,
     L"List of installed products matching the selected search criteria. Select a product to see "
     L"detailed information."},
    {IDC_PM_SHOW_APPS, L"Show or hide application and plugin products."},
    {IDC_PM_SHOW_CONTENT, L"Show or hide content libraries."},
    {IDC_PM_SHOW_BUNDLES, L"Show or hide product bundles."},
    {IDC_PM_SHOW_UTILITIES, L"Show or hide drivers and utilities."},
    {IDC_PM_SHOW_UNRECOGNIZED,
     L"Show items that aren't necessarily full products, or that don't match regular install "
     L"patterns."},
    {IDC_PM_SHOW_VALID, L"Show products with only valid file and folder paths."},
    {IDC_PM_SHOW_BROKEN, L"Show items with one or more invalid file or folder paths."},
    {IDC_PM_INSTALL_DIR,
     L"Folder where application is installed. Red text indicates the folder was not found."},
    {IDC_PM_INSTALL_OPTIONS,
     L"Options for changing the install folder for this or other products."},
    {IDC_PM_VST32_DIR,
     L"Folder where 32-bit plugins are installed. Red text indicates the folder was not found."},
    {IDC_PM_VST32_OPTIONS,
     L"Options for changing the 32-bit plugin folder for this or other products."},
    {IDC_PM_VST64_DIR,
     L"Folder where 64-bit plugins are installed. Red text indicates the folder was not found."},
    {IDC_PM_VST64_OPTIONS,
     L"Options for changing the 64-bit plugin folder for this or other products."},
    {IDC_PM_CONTENT_DIR,
     L"Folder where library content is installed. Red text indicates the folder was not found."},
    {IDC_PM_CONTENT_OPTIONS,
     L"Options for changing the content folder for this or other products."},
    {IDC_PM_CONTENT_VERSION, L"Version of product's library content."},
    {IDC_PM_PRODUCT_TYPE, L"Indicates the type of selected product."},
    {IDC_PM_LIBRARY_TYPE, L"Indicates what kind of content the product contains."},
    {IDC_PM_BUNDLES, L"Bundle(s) that could have installed this product, where applicable."},
    {IDC_PM_APP_PATH,
     L"Path of this product's application file. Red text indicates the file was not found."},
    {IDC_PM_APP_LAUNCH, L"Launch the selected application."},
    {IDC_PM_PLUGIN32_PATH,
     L"Path of this product's main plugin file. Red text indicates the file was not found."},
    {IDC_PM_PLUGIN32_LAUNCH, L"Load selected plugin in your configured 32-bit plugin host."},
    {IDC_PM_PLUGIN64_PATH,
     L"Path of this product's main plugin file. Red text indicates the file was not found."},
    {IDC_PM_PLUGIN64_LAUNCH, L"Load selected plugin in your configured 64-bit plugin host."},
};

// The check boxes and the filter bits they stand for.
struct FilterBox {
  int id;
  ProductType type;  // its bit of the type filter, or None
  PathBits path;     // its bit of the path filter, or none
};
constexpr FilterBox kFilterBoxes[] = {
    {IDC_PM_SHOW_APPS, producttype::AppPlugin, {}},
    {IDC_PM_SHOW_CONTENT, producttype::Content, {}},
    {IDC_PM_SHOW_BUNDLES, producttype::Bundle, {}},
    {IDC_PM_SHOW_UTILITIES, producttype::Utility, {}},
    {IDC_PM_SHOW_UNRECOGNIZED, producttype::Unknown, {}},
    {IDC_PM_SHOW_VALID, producttype::None, pathbits::Valid},
    {IDC_PM_SHOW_BROKEN, producttype::None, pathbits::Broken},
};

// The colour edits, in the order of the page's CColorEdit members.
constexpr int kColorEditIds[] = {IDC_PM_INSTALL_DIR,  IDC_PM_VST32_DIR, IDC_PM_VST64_DIR,
                                 IDC_PM_CONTENT_DIR,  IDC_PM_APP_PATH,  IDC_PM_PLUGIN32_PATH,
                                 IDC_PM_PLUGIN64_PATH};

// The four folder kinds: their value kind, edit and Options button.
struct FolderControls {
  ValueKind kind;
  int edit;
  int options;
};
constexpr FolderControls kFolderControls[] = {
    {valuekind::ContentDir, IDC_PM_CONTENT_DIR, IDC_PM_CONTENT_OPTIONS},
    {valuekind::InstallDir, IDC_PM_INSTALL_DIR, IDC_PM_INSTALL_OPTIONS},
    {valuekind::InstallVstDir, IDC_PM_VST32_DIR, IDC_PM_VST32_OPTIONS},
    {valuekind::InstallVst64Dir, IDC_PM_VST64_DIR, IDC_PM_VST64_OPTIONS},
};

struct FileControls {
  int path;
  int launch;
  int version;
};
constexpr FileControls kAppRow{IDC_PM_APP_PATH, IDC_PM_APP_LAUNCH, IDC_PM_APP_VERSION};
constexpr FileControls kPlugin32Row{IDC_PM_PLUGIN32_PATH, IDC_PM_PLUGIN32_LAUNCH,
                                    IDC_PM_PLUGIN32_VERSION};
constexpr FileControls kPlugin64Row{IDC_PM_PLUGIN64_PATH, IDC_PM_PLUGIN64_LAUNCH,
                                    IDC_PM_PLUGIN64_VERSION};

// How the change-folder dialog ends: the ids of its three action buttons.
constexpr INT_PTR kUseForThisProduct = IDC_USE_FOR_PRODUCT;
constexpr INT_PTR kUseForAllProducts = IDC_USE_FOR_ALL;
constexpr INT_PTR kRelocateProducts = IDC_RELOCATE_PRODUCTS;

// A change whose backup could not be saved is not made.
void ShowBackupFailed(HWND page, ErrorCode error) {
  ShowMessage(page, ChangeBackupFailedMessage(error), MessageStyle::Error);
}

void SetSingleLine(HWND list, const wchar_t* text) {
  const wchar_t* lines[] = {text};
  SetListBoxLines(list, lines);
}

constexpr Anchor kAnchors[] = {
    {.caption = L"Status:", .growX = 100},
    GrowWidth(IDC_PM_STATUS),
    // The product list keeps its width and takes the height; the details take the width.
    {.caption = L"Products:", .growY = 100},
    {.id = IDC_PM_PRODUCTS, .growY = 100},
    FollowBottom(IDC_PM_SHOW_APPS),
    FollowBottom(IDC_PM_SHOW_CONTENT),
    FollowBottom(IDC_PM_SHOW_BUNDLES),
    FollowBottom(IDC_PM_SHOW_UTILITIES),
    FollowBottom(IDC_PM_SHOW_UNRECOGNIZED),
    FollowBottom(IDC_PM_SHOW_VALID),
    FollowBottom(IDC_PM_SHOW_BROKEN),
    {.caption = L"Product details:", .growX = 100, .growY = 100},
    GrowWidth(IDC_PM_INSTALL_DIR),
    GrowWidth(IDC_PM_VST32_DIR),
    GrowWidth(IDC_PM_VST64_DIR),
    GrowWidth(IDC_PM_CONTENT_DIR),
    GrowWidth(IDC_PM_CONTENT_VERSION),
    GrowWidth(IDC_PM_PRODUCT_TYPE),
    GrowWidth(IDC_PM_LIBRARY_TYPE),
    GrowWidth(IDC_PM_BUNDLES),
    GrowWidth(IDC_PM_APP_VERSION),
    GrowWidth(IDC_PM_APP_PATH),
    GrowWidth(IDC_PM_PLUGIN32_VERSION),
    GrowWidth(IDC_PM_PLUGIN32_PATH),
    GrowWidth(IDC_PM_PLUGIN64_VERSION),
    GrowWidth(IDC_PM_PLUGIN64_PATH),
    FollowRight(IDC_PM_INSTALL_OPTIONS),
    FollowRight(IDC_PM_VST32_OPTIONS),
    FollowRight(IDC_PM_VST64_OPTIONS),
    FollowRight(IDC_PM_CONTENT_OPTIONS),
    FollowRight(IDC_PM_APP_LAUNCH),
    FollowRight(IDC_PM_PLUGIN32_LAUNCH),
    FollowRight(IDC_PM_PLUGIN64_LAUNCH),
    FollowBottomRight(IDC_BACK),
    FollowBottomRight(IDCANCEL),
};

}  // namespace

CProductManagerDlg::CProductManagerDlg(const PageContext& context)
    : CPage(context, IDD_PRODUCT_MANAGER, PageOptions{}),
      library_(context.registry, context.files, context.system),
      changeFolder_(context) {}

bool CProductManagerDlg::OnInitPage() {
  for (size_t i = 0; i < colorEdits_.size(); ++i) {
    if (colorEdits_[i].Attach(Hwnd(), kColorEditIds[i])) colorEdits_[i].SetBackgroundColor(kWhite);
  }
  if (!Context().system.Is64BitWindows()) {
    EnableItem(IDC_PM_VST64_DIR, false);
    EnableItem(IDC_PM_PLUGIN64_PATH, false);
  }
  for (const FilterBox& box : kFilterBoxes) {
    SetCheck(box.id, inputs_.typeFilter.HasAny(box.type) || inputs_.pathFilter.HasAny(box.path));
  }
  SetSingleLine(Item(IDC_PM_PRODUCTS), kSearching);
  SetItemText(IDC_PM_STATUS, L"Searching for Native Instruments products...");
  ShowDetails();

  // Until its end message the worker owns the library and the folder lists; the page keeps its
  // controls away from them meanwhile.
  scanning_ = true;
  HWND page = Hwnd();
  // The scan fills the lists of the Options buttons by slot.
  static_assert([] {
    if (std::size(kFolderControls) != kProductFolderSlots) return false;
    for (size_t slot = 0; slot < kProductFolderSlots; ++slot) {
      if (kFolderControls[slot].kind != kProductFolderKinds[slot]) return false;
    }
    return true;
  }());
  // A thread that cannot be started ends at once with Failed, and ScanEnded lists what there is.
  (void)worker_.Start(
      page, WM_PRODUCT_SCAN_COMPLETE,
      [this, page, path = inputs_.fileDatabasePath](const CancelFlag& stop) -> ErrorCode {
        ScanReports reports(page, library_);
        RunProductScan(library_, path, folders_, stop, reports);
        return err::Success;
      });
  return true;
}

void CProductManagerDlg::OnDestroyPage() {
  ReadFilters();
  // The library goes with the page: stop the worker at its next key and wait for it, answering
  // its sent progress meanwhile.
  worker_.Stop();
}

bool CProductManagerDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_PRODUCT_SCAN_COMPLETE: ScanEnded(static_cast<WorkerEnd>(wParam)); break;
    case WM_PRODUCT_SCAN_STEP:
      ShowScanStep(static_cast<ProductScanStep>(wParam), static_cast<size_t>(lParam));
      break;
    case WM_PRODUCT_SCAN_PROGRESS:
      if (lParam != 0) {
        SetItemText(IDC_PM_STATUS,
                    FormatText(L"Scanning %s...", reinterpret_cast<const wchar_t*>(lParam)));
      }
      break;
    default: return CPage::OnMessage(message, wParam, lParam, result);
  }
  result = TRUE;
  return true;
}

void CProductManagerDlg::ShowScanStep(ProductScanStep step, size_t products) {
  switch (step) {
    case ProductScanStep::Initializing:
      SetItemText(IDC_PM_STATUS, L"Initializing file database...");
      break;
    case ProductScanStep::Gathering:
      SetItemText(IDC_PM_STATUS, L"Gathering install locations...");
      break;
    case ProductScanStep::Completed:
      SetItemText(IDC_PM_STATUS, FormatText(L"Completed scanning %lu product entries.",
                                            static_cast<uint32_t>(products)));
      break;
    default: break;
  }
}

void CProductManagerDlg::ScanEnded(WorkerEnd end) {
  if (end == WorkerEnd::Stopped) return;
  // A worker that failed (memory, an exception) leaves what it read: list it.
  scanning_ = false;
  RefillList();
  UpdateControls();
}

std::span<const ToolTipText> CProductManagerDlg::ToolTips() const { return kTips; }

void CProductManagerDlg::UpdateControls() {
  for (const FilterBox& box : kFilterBoxes) EnableItem(box.id, !scanning_);
}

bool CProductManagerDlg::OnPageCommand(int id, int notifyCode, HWND control) {
  if (id != IDC_PM_PRODUCTS) return false;
  if (notifyCode == LBN_SELCHANGE) SelectionChanged();
  return true;
}

bool CProductManagerDlg::OnButton(int id) {
  for (const FilterBox& box : kFilterBoxes) {
    if (id != box.id) continue;
    if (!scanning_) {
      ReadFilters();
      RefillList();
    }
    return true;
  }
  for (int slot = 0; slot < kFolderSlots; ++slot) {
    if (id != kFolderControls[slot].options) continue;
    ChangeFolder(static_cast<FolderSlot>(slot));
    return true;
  }
  switch (id) {
    case IDC_PM_APP_LAUNCH: LaunchApplication(); return true;
    case IDC_PM_PLUGIN32_LAUNCH:
    case IDC_PM_PLUGIN64_LAUNCH: {
      const bool is64 = id == IDC_PM_PLUGIN64_LAUNCH;
      LaunchInPluginHost(Context(), is64,
                         ItemText(is64 ? IDC_PM_PLUGIN64_PATH : IDC_PM_PLUGIN32_PATH), Hwnd());
      return true;
    }
    default: return false;
  }
}

void CProductManagerDlg::ReadFilters() {
  ProductTypes types;
  PathBits paths;
  for (const FilterBox& box : kFilterBoxes) {
    if (!IsChecked(box.id)) continue;
    types |= box.type;
    paths |= box.path;
  }
  inputs_.typeFilter = types;
  inputs_.pathFilter = paths;
}

void CProductManagerDlg::RefillList() {
  ClearSelection();
  ShowDetails();
  list_.Refill(library_, Context().files, inputs_.typeFilter, inputs_.pathFilter);
  SetListBoxLines(Item(IDC_PM_PRODUCTS), list_.Names());
}

void CProductManagerDlg::ClearSelection() {
  selected_ = nullptr;
  lastIndex_ = -1;
}

void CProductManagerDlg::SelectionChanged() {
  if (scanning_) return;  // the placeholder line stands for no product
  const int index =
      static_cast<int>(SendDlgItemMessageW(Hwnd(), IDC_PM_PRODUCTS, LB_GETCURSEL, 0, 0));
  if (index != lastIndex_ && index != LB_ERR) {
    const std::wstring name = ListBoxText(Item(IDC_PM_PRODUCTS), index);
    selected_ = library_.FindByName(name);
    if (selected_) ShowDetails();
  }
  lastIndex_ = index;
}

void CProductManagerDlg::ShowDetails() {
  for (const FolderControls& folder : kFolderControls) EnableItem(folder.options, false);
  for (const FileControls& row : {kAppRow, kPlugin32Row, kPlugin64Row}) {
    EnableItem(row.launch, false);
    SetItemText(row.path, L"");
    SetItemText(row.version, L"");
  }
  for (int id : {IDC_PM_INSTALL_DIR, IDC_PM_VST32_DIR, IDC_PM_VST64_DIR, IDC_PM_CONTENT_DIR,
                 IDC_PM_CONTENT_VERSION, IDC_PM_PRODUCT_TYPE, IDC_PM_LIBRARY_TYPE}) {
    SetItemText(id, L"");
  }
  SendDlgItemMessageW(Hwnd(), IDC_PM_BUNDLES, CB_RESETCONTENT, 0, 0);
  if (!selected_) return;

  const ProductDetails details = DescribeProduct(*selected_, Context().files, library_.Bundles());
  auto color = [this](int id, bool missing) {
    if (CColorEdit* edit = CColorEdit::FromHandle(Item(id))) {
      edit->SetTextColor(missing ? kMissingColor : kPresentColor);
    }
  };
  const ProductDetails::Folder* folders[] = {&details.content, &details.install, &details.vst32,
                                             &details.vst64};
  for (int slot = 0; slot < kFolderSlots; ++slot) {
    const FolderControls& controls = kFolderControls[slot];
    color(controls.edit, folders[slot]->missing);
    if (!folders[slot]->options) continue;
    EnableItem(controls.options, true);
    SetItemText(controls.edit, folders[slot]->text);
  }
  SetItemText(IDC_PM_CONTENT_VERSION, details.contentVersion);
  SetItemText(IDC_PM_PRODUCT_TYPE, details.productType);
  SetItemText(IDC_PM_LIBRARY_TYPE, details.libraryType);
  const std::pair<const ProductDetails::FileRow*, FileControls> rows[] = {
      {&details.app, kAppRow},
      {&details.plugin32, kPlugin32Row},
      {&details.plugin64, kPlugin64Row}};
  for (const auto& [row, controls] : rows) {
    if (row->path.empty()) continue;
    SetItemText(controls.path, row->path);
    color(controls.path, row->missing);
    EnableItem(controls.launch, row->launch);
    SetItemText(controls.version, row->versionLabel);
  }
  for (const std::wstring& bundle : details.bundles) {
    SendDlgItemMessageW(Hwnd(), IDC_PM_BUNDLES, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(bundle.c_str()));
  }
  if (!details.bundles.empty()) SendDlgItemMessageW(Hwnd(), IDC_PM_BUNDLES, CB_SETCURSEL, 0, 0);
}

void CProductManagerDlg::SelectByName(const std::wstring& keyName) {
  HWND list = Item(IDC_PM_PRODUCTS);
  const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  int found = -1;
  for (int i = 0; i < count && found < 0; ++i) {
    if (EqualsNoCase(ListBoxText(list, i), keyName)) found = i;
  }
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(found), 0);
  lastIndex_ = found;
  selected_ = library_.FindByName(keyName);
  if (selected_) selected_->RefreshFileVersions(Context().files, Context().system);
  ShowDetails();
}

void CProductManagerDlg::LaunchApplication() {
  OpenWithShell(Hwnd(), ShellTarget::File, ItemText(IDC_PM_APP_PATH));
}

void CProductManagerDlg::ChangeFolder(FolderSlot slot) {
  if (!selected_ || scanning_) return;
  const ValueKind kind = kFolderControls[slot].kind;
  changeFolder_.SetInputs(selected_, kind, &folders_[slot]);
  const INT_PTR code = changeFolder_.DoModal(Hwnd());
  if (code != kUseForThisProduct && code != kUseForAllProducts && code != kRelocateProducts) return;

  const std::wstring keyName = selected_->keyName;
  FolderChange change;
  change.kind = kind;
  change.scope = code == kUseForThisProduct   ? FolderChangeScope::OneProduct
                 : code == kUseForAllProducts ? FolderChangeScope::AllOfType
                                              : FolderChangeScope::Relocate;
  change.folder = changeFolder_.ChosenFolder();
  // "Use for all" limited to the products in this product's current folder.
  if (code == kUseForAllProducts && changeFolder_.Limit())
    change.onlyFrom = selected_->GetValue(kind);
  change.oldParent = changeFolder_.OldParent();
  change.newParent = changeFolder_.NewParent();

  const BackupContext backup{Context().registry, Context().files, Context().system,
                             Context().settings};
  if (change.scope == FolderChangeScope::OneProduct) {
    const FolderChangeResult result =
        ChangeProductFolder(library_, backup, *selected_, change, nullptr, nullptr);
    if (result.backupFailed) {
      ShowBackupFailed(Hwnd(), result.error);
      return;
    }
    if (result.error != err::Success) {
      ShowMessage(
          Hwnd(),
          FormatText(L"Attempt to update %s failed with error %lu.", keyName.c_str(), result.error),
          MessageStyle::Error);
      return;
    }
    selected_->RefreshFileVersions(Context().files, Context().system);
    ShowDetails();
    return;
  }
  CNiProduct& product = *selected_;
  ClearSelection();
  ShowDetails();
  const FolderChangeResult result =
      ChangeProductFolder(library_, backup, product, change, nullptr, nullptr);
  if (result.backupFailed) {
    SelectByName(keyName);
    ShowBackupFailed(Hwnd(), result.error);
    return;
  }
  if (change.scope == FolderChangeScope::Relocate) library_.GatherValues(kind, folders_[slot]);
  SelectByName(keyName);
  ShowMessage(Hwnd(),
              FormatText(L"Successfully processed %lu products. Encountered %lu errors.",
                         static_cast<uint32_t>(result.done), result.errors),
              MessageStyle::Information);
}

std::span<const Anchor> CProductManagerDlg::Anchors() const { return kAnchors; }

}  // namespace tessaly
