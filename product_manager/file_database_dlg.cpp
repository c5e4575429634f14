// The locate-file-database page.
#include "product_manager/file_database_dlg.h"

#include "app/ui/skin_win32.h"
#include "catalog/file_database.h"
#include "platform/text.h"
#include "platform/win32/shell_win32.h"
#include "resources/resource.h"

namespace tessaly {
namespace {

// Description/pattern pairs for the open-file dialog, double-null-terminated.
constexpr wchar_t kDatabaseFilter[] = L"XML Files (*.xml)\0*.xml\0All Files (*.*)\0*.*\0";

// The page opens where the system puts it and leaves the stored position alone.
constexpr PageOptions kOptions{.systemMenu = true, .restorePosition = false, .savePosition = false};

}  // namespace

CFileDatabaseDlg::CFileDatabaseDlg(const PageContext& context)
    : CPage(context, IDD_FILE_DATABASE, kOptions) {}

ErrorCode CFileDatabaseDlg::CheckTypedPath() {
  const std::wstring typed = ItemText(IDC_FILE_DATABASE_PATH);
  return CheckFileDatabase(Context().settings, Context().files, typed.c_str());
}

void CFileDatabaseDlg::Browse() {
  std::wstring initialFolder = ItemText(IDC_FILE_DATABASE_PATH);
  if (!initialFolder.empty()) path::RemoveFileSpec(initialFolder);
  wchar_t file[MAX_PATH] = L"";
  DWORD result;
  {
    CSkinSuspend systemColours;
    result = ChooseFile(Hwnd(), kDatabaseFilter, file, L"xml", L"Locate the file database.",
                        initialFolder.empty() ? nullptr : initialFolder.c_str());
  }
  if (result == 0) SetItemText(IDC_FILE_DATABASE_PATH, file);
}

bool CFileDatabaseDlg::OnPageCommand(int id, int notifyCode, HWND control) {
  switch (id) {
    case IDC_FILE_DATABASE_BROWSE:
      if (notifyCode == BN_CLICKED) Browse();
      return true;
    case IDC_BACK:
      // Back keeps a path that exists, but never complains about one that does not.
      if (notifyCode == BN_CLICKED) CheckTypedPath();
      return false;  // the page base ends the page with Back
    default:
      return false;
  }
}

bool CFileDatabaseDlg::CanGoNext() {
  if (CheckTypedPath() == err::Success) return true;
  ShowMessage(Hwnd(), L"Unable to open file. Please select a valid file.\r\n", MessageStyle::Error);
  return false;
}

}  // namespace tessaly
