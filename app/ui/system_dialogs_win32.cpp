// The system's dialogs and the shell's "open" for the pages.
#include "app/ui/system_dialogs_win32.h"

#include <shellapi.h>

#include "app/ui/dialog_win32.h"
#include "app/ui/skin_win32.h"
#include "platform/text.h"
#include "platform/win32/shell_win32.h"

namespace tessaly {

std::optional<std::wstring> PickFolder(HWND owner, std::wstring_view initialFolder,
                                       const wchar_t* title) {
  const std::wstring start(initialFolder);
  wchar_t chosen[MAX_PATH] = L"";
  HRESULT result;
  {
    CSkinSuspend systemColours;
    result = BrowseForFolder(owner, start.empty() ? nullptr : start.c_str(), title, chosen);
  }
  // S_FALSE is a choice too: COM was already initialised on this thread.
  if (FAILED(result)) return std::nullopt;
  return std::wstring(chosen);
}

std::optional<std::wstring> PickFileToOpen(HWND owner, const wchar_t* filter, const wchar_t* defExt,
                                           const wchar_t* title, std::wstring_view currentFile) {
  std::wstring initialFolder(currentFile);
  if (!initialFolder.empty()) path::RemoveFileSpec(initialFolder);
  wchar_t file[MAX_PATH] = L"";
  DWORD result;
  {
    CSkinSuspend systemColours;
    result = ChooseFile(owner, filter, file, defExt, title,
                        initialFolder.empty() ? nullptr : initialFolder.c_str());
  }
  if (result != 0) return std::nullopt;
  return std::wstring(file);
}

std::wstring ShellOpenFailureMessage(ShellTarget kind, std::wstring_view name, INT_PTR error) {
  const auto code = static_cast<uint32_t>(error);
  if (kind == ShellTarget::File) {
    return FormatText(L"Attempt to open file %s failed with error %lu.", name, code);
  }
  return FormatText(L"Attempt to browse to %s failed with error %lu.", name, code);
}

bool OpenWithShell(HWND owner, ShellTarget kind, const std::wstring& target,
                   const std::wstring& parameters, std::wstring_view shownName) {
  const INT_PTR result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(owner, L"open", target.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                    nullptr, SW_SHOWNORMAL));
  if (result > 32) return true;
  ShowMessage(owner, ShellOpenFailureMessage(kind, shownName.empty() ? target : shownName, result),
              MessageStyle::Error);
  return false;
}

}  // namespace tessaly
