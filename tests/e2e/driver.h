// The end-to-end driver: starts a program under test, finds its pages and message boxes by
// title, reads and operates their controls from outside, saves screenshots, and resets the
// program's registry and files between tests. Runs inside Wine beside the program it drives.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"
#include "platform/win32/win32_api.h"

namespace tessaly::e2e {

using Milliseconds = std::chrono::milliseconds;
constexpr Milliseconds kDefaultTimeout{10000};

// A Windows path from an environment variable holding a Windows path or a Unix one (which maps
// to drive Z:); empty when the variable is not set.
std::wstring PathFromEnvironment(const wchar_t* name);
// The program under test: TESSALY_EXE.
std::wstring ProgramPath();

// One run of a program. Move-only; a run still going when the object dies is killed, so a
// failed test never leaves its program up to disturb the next one.
class ProgramRun {
 public:
  ProgramRun() = default;
  ~ProgramRun();
  ProgramRun(ProgramRun&& other) noexcept;
  ProgramRun& operator=(ProgramRun&& other) noexcept;
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // Starts `exe` with `args` (quoted as the C runtime expects) in `currentFolder`, by default
  // the program's own folder (as a Start-menu shortcut starts it); the CreateProcessW error or 0.
  ErrorCode Start(const std::wstring& exe, const std::vector<std::wstring>& args = {},
                  const std::wstring& currentFolder = {});
  // True while the process runs.
  bool Running() const;
  // The process id (0 before Start).
  DWORD ProcessId() const { return processId_; }
  // The exit code once the process has ended within `timeout`, nothing if it still runs.
  std::optional<uint32_t> WaitForExit(Milliseconds timeout = kDefaultTimeout);
  // Ends the process (exit code 0xDEAD) and waits for it to go.
  void Kill();

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
};

// Sets an environment variable of the driver (inherited by programs it starts) for its lifetime.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::wstring name, const std::wstring& value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::wstring name_;
  std::optional<std::wstring> previous_;
};

// Calls `condition` every 50 ms until it holds (true) or `timeout` passes (false).
bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout = kDefaultTimeout);

// --- Windows ------------------------------------------------------------------------------
// The visible top-level window of the run whose title is exactly `title`; nullptr at timeout.
HWND FindPage(const ProgramRun& run, std::wstring_view title,
              Milliseconds timeout = kDefaultTimeout);
// True once `window` is destroyed or hidden, false at timeout.
bool WaitForClose(HWND window, Milliseconds timeout = kDefaultTimeout);
// A window's title (the system's copy; never blocks on a hung program).
std::wstring Title(HWND window);
// A window's rectangle in screen coordinates (empty when the window is gone).
RECT WindowRect(HWND window);
// Posts WM_SYSCOMMAND `command` (SC_CLOSE, SC_MINIMIZE, ...) as the system menu would.
bool SysCommand(HWND window, WPARAM command);

// A message box of the program under test, as the user sees it.
struct MessageBoxInfo {
  HWND window = nullptr;
  HWND owner = nullptr;
  std::wstring caption;
  std::wstring text;
  std::vector<int> buttons;  // ids of its buttons among IDOK..IDCONTINUE, in id order
  bool Has(int button) const;
};
// The message box of the run owned by `owner` (any owner when nullptr): a visible #32770 with
// a text static 0xFFFF and no controls but statics and buttons 1-11; nothing at timeout.
std::optional<MessageBoxInfo> FindMessageBox(const ProgramRun& run, HWND owner = nullptr,
                                             Milliseconds timeout = kDefaultTimeout);
// Clicks `button` of the box and waits for the box to close; false if it has no such button or
// stays open.
bool Answer(const MessageBoxInfo& box, int button, Milliseconds timeout = kDefaultTimeout);

// --- Dialogs and controls by their texts ----------------------------------------------------
// A child control as the user sees it.
struct DialogControl {
  HWND window = nullptr;
  int id = 0;
  std::wstring className;  // "Button", "Static", "Edit", ...
  DWORD style = 0;
  std::wstring caption;        // its text as the control holds it, access-key marks included
  std::wstring shown;          // its first line as shown: "&&" as "&", a lone "&" gone
  wchar_t accessKey = 0;       // the letter after a lone "&", upper case; 0 when none
  RECT rect{};                 // in screen coordinates
  bool IsPushOrCheck() const;  // a push button, check box or radio button (not a group box)
};
// The direct children of `dialog` in z-order (the order Tab walks), hidden ones included.
std::vector<DialogControl> DialogControls(HWND dialog);
// A visible #32770 window of the run, owned by `owner` (any owner when nullptr) and captioned
// `caption`, that is not a message box: a task dialog, say. nullptr at timeout.
HWND FindDialog(const ProgramRun& run, HWND owner, std::wstring_view caption,
                Milliseconds timeout = kDefaultTimeout);
// Clicks the enabled, visible button of `dialog` whose first line shows `shown` (posted BM_CLICK,
// as Click); false when there is none.
bool PressButton(HWND dialog, std::wstring_view shown);
// The control that has the keyboard focus in the thread of `window`; nullptr when none.
HWND FocusedControl(HWND window);
// Posts a key press (WM_KEYDOWN, WM_KEYUP) to the focused control of `window`'s thread, as the
// keyboard would deliver it to the modal loop (which hands Tab, Enter and Esc to the dialog).
bool PressKey(HWND window, UINT virtualKey);

// --- Controls by id -----------------------------------------------------------------------
// Messages that need an answer go with a timeout, so a hung program fails the test, not the run.
// The control `id` of `page`; nullptr when there is none.
HWND Control(HWND page, int id);
// The control's text (WM_GETTEXT); nothing when the control is missing or does not answer.
std::optional<std::wstring> Text(HWND page, int id);
// Sets the control's text (WM_SETTEXT, which an edit reports to its page as EN_CHANGE).
bool SetText(HWND page, int id, std::wstring_view text);
// BST_UNCHECKED, BST_CHECKED or BST_INDETERMINATE; nothing when missing or not answering.
std::optional<int> CheckState(HWND page, int id);
// Whether the control exists and is enabled / visible.
bool IsEnabled(HWND page, int id);
bool IsVisible(HWND page, int id);
// Clicks a button as the user would (posted BM_CLICK); false, without clicking, when the button
// is missing, disabled or hidden, since the user could not click it either.
bool Click(HWND page, int id);
// Clicks a button and returns once the page has handled the click (a sent BM_CLICK), so that
// what the click changes can be read at once without racing the page. Only for buttons whose
// handler opens no window: a message box would hold the driver until the send times out.
bool ClickAndWait(HWND page, int id);
// On the Start page: chooses the wizard of the radio button `wizardId`, waits until it is checked
// and presses Next.
bool ChooseWizard(HWND start, int wizardId);
// From the Start page that `run` shows: chooses `wizardId` and returns the wizard's first page
// (kWizards of page_titles.h names it); null when any step fails.
HWND EnterWizard(const ProgramRun& run, int wizardId);
// Starts the program (in `folder`, or its own folder) and enters the wizard `wizardId`; null when
// any step fails.
HWND OpenWizard(ProgramRun& run, int wizardId, const std::wstring& folder = {});

// --- Lists -------------------------------------------------------------------------------
// The lines of a list box, in the control's order.
std::vector<std::wstring> ListBoxItems(HWND page, int id);
// The entries of a combo box's list, in the control's order, and the index of its selected entry
// (CB_ERR, -1, when none is selected); nothing when the control is missing or does not answer.
std::vector<std::wstring> ComboBoxItems(HWND page, int id);
std::optional<int> ComboBoxSelection(HWND page, int id);
// Selects the line `text` of a list box and tells the page, as a click would (LBN_SELCHANGE),
// returning once the page has handled it; false when there is no such line.
bool SelectListBoxItem(HWND page, int id, std::wstring_view text);
// The cells of a report-mode list view, row by row, `columns` cells each. List-view messages
// that carry structures need them in the program's memory, so these work through a buffer there.
std::vector<std::vector<std::wstring>> ListViewRows(HWND page, int id, int columns);
// Selects and focuses a list-view row as a click would (the page hears LVN_ITEMCHANGED).
bool SelectListViewRow(HWND page, int id, int row);
// A click on the header of column `column` (the page hears LVN_COLUMNCLICK), returning once the
// page has handled it.
bool ClickColumn(HWND page, int id, int column);

// --- Screenshots --------------------------------------------------------------------------
// Pixels, top row first, three bytes (R, G, B) each.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};
// The whole screen (the Wine virtual desktop: pages, their title bars and message boxes).
Image CaptureScreen();
// The image as a PNG file's bytes (8-bit RGB, zlib-compressed, filtered row by row).
std::vector<uint8_t> EncodePng(const Image& image);
// Captures the screen into TESSALY_ARTIFACTS\<suite>.<test>\NN-name.png (NN counts the
// screenshots of the current test from 01) and returns the file's path; on failure a non-fatal
// test failure and an empty path.
std::wstring SaveScreenshot(std::wstring_view name);

// --- The program's state ------------------------------------------------------------------
// Deletes HKEY_CURRENT_USER\Software\Quillmoor\Tessaly with everything below; 0 when gone.
ErrorCode DeleteProgramSettings();
// (Documents)\Quillmoor\Tessaly Documents, where the program keeps its archives.
std::wstring ProgramDocumentsFolder();
// Deletes that folder with its contents; 0 when gone.
ErrorCode DeleteProgramDocuments();
// Deletes a folder tree (never following links into their targets); 0 when gone.
ErrorCode DeleteTree(const std::wstring& folder);
// Imports a .reg file with reg.exe into the given view (/reg:64, /reg:32 or reg's default);
// 0 on success, reg's failure as GenFailure, or the error of starting it.
ErrorCode ImportRegFile(const std::wstring& file, RegView view);

}  // namespace tessaly::e2e
