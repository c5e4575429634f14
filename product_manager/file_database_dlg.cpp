// The locate-file-database page.
#include "product_manager/file_database_dlg.h"

#include "app/ui/system_dialogs_win32.h"
#include "catalog/file_database.h"
#include "platform/text.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

// Description/pattern pairs for the open-file dialog, double-null-terminated.
constexpr wchar_t kDatabaseFilter[] = L"XML Files (*.xml)\0*.xml\0All Files (*.*)\0*.*\0";

// The page opens where the system puts it and leaves the stored position alone.
constexpr PageOptions kOptions{.systemMenu = true, .restorePosition = false, .savePosition = false};

constexpr Anchor kAnchors[] = {
    GrowWidth(IDC_FILE_DATABASE_PATH), FollowRight(IDC_FILE_DATABASE_BROWSE),
    FollowBottomRight(IDC_BACK),       FollowBottomRight(IDC_NEXT),
    FollowBottomRight(IDCANCEL),
};

}  // namespace

CFileDatabaseDlg::CFileDatabaseDlg(const PageContext& context)
    : CPage(context, IDD_FILE_DATABASE, kOptions) {}

ErrorCode CFileDatabaseDlg::CheckTypedPath() {
  const std::wstring typed = ItemText(IDC_FILE_DATABASE_PATH);
  return CheckFileDatabase(Context().settings, Context().files, typed.c_str());
}

void CFileDatabaseDlg::Browse() {
  if (const auto file =
          PickFileToOpen(Hwnd(), kDatabaseFilter, L"xml", L"Locate the file database.",
                         ItemText(IDC_FILE_DATABASE_PATH))) {
    SetItemText(IDC_FILE_DATABASE_PATH, *file);
  }
}

bool CFileDatabaseDlg::OnButton(int id) {
  if (id != IDC_FILE_DATABASE_BROWSE) return false;
  Browse();
  return true;
}

void CFileDatabaseDlg::OnBack() {
  // Back keeps a path that exists, but never complains about one that does not.
  (void)CheckTypedPath();
}

bool CFileDatabaseDlg::CanGoNext() {
  if (CheckTypedPath() == err::Success) return true;
  ShowMessage(Hwnd(), L"Unable to open file. Please select a valid file.\r\n", MessageStyle::Error);
  return false;
}

std::span<const Anchor> CFileDatabaseDlg::Anchors() const { return kAnchors; }

}  // namespace tessaly
