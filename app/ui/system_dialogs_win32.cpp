// The system's dialogs and the shell's "open" for the pages.
#include "app/ui/system_dialogs_win32.h"

#include <commctrl.h>
#include <shellapi.h>

#include <vector>

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

namespace {

using TaskDialogIndirectFn = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

// TaskDialogIndirect is an export of comctl32 version 6 only (Windows Vista and later), which the
// program's manifest asks for: looked up at run time, so that the program still starts and asks
// in a message box where the system has an older comctl32. The library stays loaded.
TaskDialogIndirectFn TaskDialogFunction() {
  static const TaskDialogIndirectFn function = []() -> TaskDialogIndirectFn {
    HMODULE comctl = LoadLibraryW(L"comctl32.dll");
    if (!comctl) return nullptr;
    return reinterpret_cast<TaskDialogIndirectFn>(
        reinterpret_cast<void*>(GetProcAddress(comctl, "TaskDialogIndirect")));
  }();
  return function;
}

struct ChildClassSearch {
  const wchar_t* className;
  bool found = false;
};

// EnumChildWindows' callback: a function of the system's calling convention (a lambda is not one
// in the 32-bit build).
BOOL CALLBACK FindChildOfClass(HWND child, LPARAM param) {
  auto* search = reinterpret_cast<ChildClassSearch*>(param);
  wchar_t name[64];
  if (GetClassNameW(child, name, 64) > 0 && _wcsicmp(name, search->className) == 0) {
    search->found = true;
    return FALSE;
  }
  return TRUE;
}

bool HasChildOfClass(HWND window, const wchar_t* className) {
  ChildClassSearch search{className};
  EnumChildWindows(window, FindChildOfClass, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Where the task dialog is made of ordinary controls (as under Wine), the skin takes it like any
// dialog of ours; Windows draws it as one DirectUI surface that the skin cannot reach, and a dark
// frame around a light surface would be worse than the system's colours.
HRESULT CALLBACK TaskDialogEvents(HWND dialog, UINT notification, WPARAM, LPARAM, LONG_PTR) {
  if (notification == TDN_CREATED && !HasChildOfClass(dialog, L"DirectUIHWND")) SkinWindow(dialog);
  return S_OK;
}

}  // namespace

bool HasTaskDialog() { return TaskDialogFunction() != nullptr; }

size_t AskChoiceInMessageBox(HWND owner, const ChoiceQuestion& question) {
  bool cancel = false;
  for (const ChoiceButton& button : question.buttons)
    cancel |= button.boxButton == BoxButton::Cancel;
  // The box shows Yes, No (and Cancel) in that order; the later choice's is the default.
  UINT defaultButton = MB_DEFBUTTON1;
  if (question.laterChoice < question.buttons.size()) {
    const BoxButton later = question.buttons[question.laterChoice].boxButton;
    defaultButton = later == BoxButton::No       ? MB_DEFBUTTON2
                    : later == BoxButton::Cancel ? MB_DEFBUTTON3
                                                 : MB_DEFBUTTON1;
  }
  if (!owner) owner = GetActiveWindow();
  const int answer =
      MessageBoxW(owner, question.boxText.c_str(), L"Tessaly",
                  (cancel ? MB_YESNOCANCEL : MB_YESNO) | MB_ICONEXCLAMATION | defaultButton);
  return ChoiceOfMessageBox(question, answer);
}

size_t AskChoice(HWND owner, const ChoiceQuestion& question) {
  const TaskDialogIndirectFn taskDialog = TaskDialogFunction();
  if (!taskDialog) return AskChoiceInMessageBox(owner, question);
  if (!owner) owner = GetActiveWindow();
  // A command link shows its first line as the action and the rest as its note.
  std::vector<std::wstring> texts;
  std::vector<TASKDIALOG_BUTTON> buttons;
  for (size_t i = 0; i < question.buttons.size(); ++i) {
    texts.push_back(question.buttons[i].text + L"\n" + question.buttons[i].note);
  }
  for (size_t i = 0; i < texts.size(); ++i)
    buttons.push_back({ChoiceButtonId(i), texts[i].c_str()});
  TASKDIALOGCONFIG config{};
  config.cbSize = sizeof config;
  config.hwndParent = owner;
  config.hInstance = GetModuleHandleW(nullptr);
  config.dwFlags =
      TDF_USE_COMMAND_LINKS | TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
  config.pszWindowTitle = L"Tessaly";
  config.pszMainIcon = TD_WARNING_ICON;
  config.pszMainInstruction = question.instruction.c_str();
  config.pszContent = question.content.c_str();
  config.cButtons = static_cast<UINT>(buttons.size());
  config.pButtons = buttons.data();
  config.nDefaultButton = ChoiceButtonId(question.laterChoice);
  config.pfCallback = TaskDialogEvents;
  config.cxWidth = 300;  // dialog units: room for a path in each note
  int pressed = 0;
  HRESULT result;
  {
    CSkinSuspend untilItsControlsAreSeen;
    result = taskDialog(&config, &pressed, nullptr, nullptr);
  }
  // A task dialog that could not be shown (out of memory, a bad argument) asks in a message box.
  if (FAILED(result)) return AskChoiceInMessageBox(owner, question);
  return ChoiceOfTaskDialog(question, pressed);
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
      ShellExecuteW(owner, L"open", target.c_str(),
                    parameters.empty() ? nullptr : parameters.c_str(), nullptr, SW_SHOWNORMAL));
  if (result > 32) return true;
  ShowMessage(owner, ShellOpenFailureMessage(kind, shownName.empty() ? target : shownName, result),
              MessageStyle::Error);
  return false;
}

}  // namespace tessaly
