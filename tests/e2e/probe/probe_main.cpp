// A small program for the end-to-end driver's own tests: one page with an edit, a check box, a
// button that asks a Yes/No question, Next and Cancel; or, by environment, a recorder of its
// arguments (the stand-in for a program that Tessaly starts).
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "tests/e2e/probe/probe_ids.h"

namespace {

using namespace tessaly::e2e::probe;

HBRUSH backgroundBrush = nullptr;

void WriteString(HKEY key, const wchar_t* name, const std::wstring& value) {
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

HKEY OpenProbeKey() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

std::wstring ItemText(HWND dialog, int id) {
  const int length = GetWindowTextLengthW(GetDlgItem(dialog, id));
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetDlgItemTextW(dialog, id, text.data(), length + 1)));
  return text;
}

INT_PTR CALLBACK ProbeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: SetDlgItemTextW(dialog, IDC_PROBE_NAME, kInitialName); return TRUE;
    case WM_CTLCOLORDLG: return reinterpret_cast<INT_PTR>(backgroundBrush);
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_PROBE_ASK: {
          const int answer = MessageBoxW(dialog, kBoxText, kBoxCaption, MB_YESNO | MB_ICONQUESTION);
          if (HKEY key = OpenProbeKey()) {
            WriteString(key, L"Answer", answer == IDYES ? L"Yes" : answer == IDNO ? L"No" : L"?");
            RegCloseKey(key);
          }
          return TRUE;
        }
        case IDC_PROBE_NEXT:
          if (HKEY key = OpenProbeKey()) {
            WriteString(key, L"Name", ItemText(dialog, IDC_PROBE_NAME));
            const DWORD option = IsDlgButtonChecked(dialog, IDC_PROBE_OPTION) == BST_CHECKED;
            RegSetValueExW(key, L"Option", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&option),
                           sizeof option);
            RegCloseKey(key);
          }
          EndDialog(dialog, IDC_PROBE_NEXT);
          return TRUE;
        case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
      }
      break;
  }
  return FALSE;
}

// Appends each argument as one UTF-8 line to the file; exit code 0 when written.
int Record(const wchar_t* file) {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  std::string lines;
  for (int i = 1; i < count; ++i) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, args[i], -1, nullptr, 0, nullptr, nullptr);
    std::string line(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, args[i], -1, line.data(), n, nullptr, nullptr);
    line.resize(static_cast<size_t>(n > 0 ? n - 1 : 0));
    lines += line + "\n";
  }
  LocalFree(args);
  HANDLE handle = CreateFileW(file, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  DWORD written = 0;
  const BOOL ok =
      WriteFile(handle, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
  CloseHandle(handle);
  return ok ? 0 : static_cast<int>(GetLastError());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  wchar_t recordFile[MAX_PATH * 4];
  const DWORD n = GetEnvironmentVariableW(kRecordVariable, recordFile, MAX_PATH * 4);
  if (n > 0 && n < MAX_PATH * 4) return Record(recordFile);

  backgroundBrush = CreateSolidBrush(RGB(kBackground[0], kBackground[1], kBackground[2]));
  if (lstrcmpW(commandLine, kHangSwitch) == 0) {
    // A page that never answers again: shown, then its thread sleeps without pumping messages.
    HWND page = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_PROBE), nullptr, ProbeProc, 0);
    SetWindowTextW(page, kHungTitle);
    ShowWindow(page, SW_SHOW);
    UpdateWindow(page);
    Sleep(INFINITE);
  }
  const INT_PTR result =
      DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PROBE), nullptr, ProbeProc, 0);
  DeleteObject(backgroundBrush);
  return static_cast<int>(result);
}
