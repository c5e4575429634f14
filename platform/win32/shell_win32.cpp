// Folder browser, open-file dialog and Explorer selection over shell32 and comdlg32.
#include "platform/win32/shell_win32.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include "platform/file_ops.h"
#include "platform/win32/win32_file_system.h"

namespace tessaly {
namespace {

constexpr DWORD kPathCharacters = MAX_PATH;

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM param, LPARAM data) {
  switch (message) {
    case BFFM_INITIALIZED:
      if (data) SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
      break;
    case BFFM_SELCHANGED: {
      wchar_t path[MAX_PATH] = {};
      if (SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(param), path)) {
        SendMessageW(window, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
      }
      break;
    }
  }
  return 0;
}

}  // namespace

HRESULT BrowseForFolder(HWND owner, const wchar_t* initialFolder, const wchar_t* title,
                        wchar_t* out) {
  if (!out) return E_INVALIDARG;
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(init)) return init;

  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.lpszTitle = title;
  info.ulFlags = BIF_NEWDIALOGSTYLE;
  info.lpfn = &BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(initialFolder);

  HRESULT result = init;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
  if (!item) {
    result = E_FAIL;
  } else {
    if (!SHGetPathFromIDListW(item, out)) result = E_FAIL;
    CoTaskMemFree(item);
  }
  CoUninitialize();
  return result;
}

DWORD ChooseFile(HWND owner, const wchar_t* filter, wchar_t* file, const wchar_t* defExt,
                 const wchar_t* title, const wchar_t* initialDir) {
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = kPathCharacters;
  dialog.lpstrTitle = title;
  dialog.lpstrInitialDir = initialDir;
  dialog.lpstrDefExt = defExt;
  dialog.Flags = OFN_HIDEREADONLY;
  if (GetOpenFileNameW(&dialog)) return ERROR_SUCCESS;
  const DWORD e = CommDlgExtendedError();
  return e == 0 ? ERROR_CANCELLED : e;
}

DWORD ShowInExplorer(const wchar_t* path) {
  if (!path) return ERROR_INVALID_PARAMETER;
  Win32FileSystem fs;
  if (!PathExists(fs, path)) return ERROR_FILE_NOT_FOUND;
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return ERROR_GEN_FAILURE;
  if (PIDLIST_ABSOLUTE item = ILCreateFromPathW(path)) {
    SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
    ILFree(item);
  }
  CoUninitialize();
  return ERROR_SUCCESS;
}

INT_PTR ExploreFolder(HWND owner, const wchar_t* folder) {
  return reinterpret_cast<INT_PTR>(
      ShellExecuteW(owner, L"explore", folder, nullptr, nullptr, SW_SHOWNORMAL));
}

}  // namespace tessaly
