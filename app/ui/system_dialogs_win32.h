// The system's own dialogs and the shell's "open", as every page uses them: the folder browser
// and the open-file dialog with the skin switched off around them, questions whose answers are
// named actions, and opening a file or a web address with the program's failure message.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/ui/choice_question.h"
#include "platform/win32/win32_api.h"

namespace tessaly {

// Shows the shell's folder browser, starting at `initialFolder` (none when empty), in system
// colours. The chosen folder; nothing when the user cancelled or the browser failed.
std::optional<std::wstring> PickFolder(HWND owner, std::wstring_view initialFolder,
                                       const wchar_t* title);

// Shows the open-file dialog in system colours, starting in the folder of `currentFile` (the
// dialog's own choice when empty). `filter` holds description/pattern pairs, double-null-
// terminated. The chosen file; nothing when the user cancelled or the dialog failed.
std::optional<std::wstring> PickFileToOpen(HWND owner, const wchar_t* filter, const wchar_t* defExt,
                                           const wchar_t* title, std::wstring_view currentFile);

// Asks `question`, captioned "Tessaly" with a warning icon and owned by `owner` (the thread's
// active window when null): in a task dialog with one button per choice, in the skin's colours
// where its controls are ordinary windows; where the system has no task dialog (comctl32 before
// version 6), in a message box with the question's box text. The index of the chosen button.
// The later choice is the default button, and Esc and the close box choose it.
size_t AskChoice(HWND owner, const ChoiceQuestion& question);
// The message-box form alone, as AskChoice shows it where there is no task dialog.
size_t AskChoiceInMessageBox(HWND owner, const ChoiceQuestion& question);
// Whether this process has the task dialog (TaskDialogIndirect of comctl32 version 6).
bool HasTaskDialog();

// What OpenWithShell opens, which words its failure message.
enum class ShellTarget {
  File,     // "Attempt to open file %s failed with error %lu."
  Address,  // "Attempt to browse to %s failed with error %lu."
};

// The message OpenWithShell shows when the shell answers `error` (32 or less) for `name`.
std::wstring ShellOpenFailureMessage(ShellTarget kind, std::wstring_view name, INT_PTR error);

// Opens `target` with the shell's "open" verb, shown normally, passing `parameters` when there
// are any. On failure shows the failure message, owned by `owner`, naming `shownName` (the
// target when empty), and returns false.
bool OpenWithShell(HWND owner, ShellTarget kind, const std::wstring& target,
                   const std::wstring& parameters = {}, std::wstring_view shownName = {});

}  // namespace tessaly
