// The thin dialog base of the program's pages: a modal dialog over a template of the program's
// resources, with hooks for its messages and helpers by control id; tool tips; message boxes.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/win32_api.h"

namespace tessaly {

// The module whose resources hold the templates, icons and skin: the program itself, unless
// SetProgramModule named another (a test that runs the program's dialogs in its own process loads
// Tessaly.exe as a data file and names it here; null goes back to the program).
HINSTANCE ProgramModule();
void SetProgramModule(HINSTANCE module);
// The full path of the program's own file, empty if it cannot be read.
std::wstring ProgramFilePath();

class CDialog {
 public:
  explicit CDialog(int templateId) : templateId_(templateId) {}
  virtual ~CDialog() = default;
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;

  // Shows the dialog modally, owned by `owner` (none for a page), and returns the code it ended
  // with; -1 when its window cannot be created.
  INT_PTR DoModal(HWND owner = nullptr);
  HWND Hwnd() const { return hwnd_; }
  int TemplateId() const { return templateId_; }

 protected:
  // Hooks, called on the dialog's thread. A hook that returns false leaves the message to the
  // default handling (for commands: OK and Cancel end the dialog with their ids).
  virtual bool OnInitDialog() { return true; }
  virtual bool OnCommand(int id, int notifyCode, HWND control) { return false; }
  virtual bool OnNotify(const NMHDR& header, LRESULT& result) { return false; }
  virtual bool OnSysCommand(UINT command) { return false; }
  virtual void OnDestroy() {}
  // The frame's size and scale: the client area has a new size (WM_SIZE); the user drags an edge
  // (WM_SIZING); the smallest and largest sizes are asked for (WM_GETMINMAXINFO); the window has
  // moved to a monitor of another scale (WM_DPICHANGED: the new DPI and the suggested window
  // rectangle). Each returns true when it has handled the message.
  virtual bool OnSize() { return false; }
  virtual bool OnSizing() { return false; }
  virtual bool OnGetMinMaxInfo(MINMAXINFO& info) { return false; }
  virtual bool OnDpiChanged(int dpi, const RECT& suggested) { return false; }
  // Any other message; `result` is what the dialog procedure returns for it.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    return false;
  }

  void EndDialog(INT_PTR code);
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  std::wstring ItemText(int id) const;
  void SetItemText(int id, std::wstring_view text);
  bool IsChecked(int id) const;
  void SetCheck(int id, bool checked);
  void EnableItem(int id, bool enabled);

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  int templateId_;
  HWND hwnd_ = nullptr;
};

// The text of a window (a control, a dialog).
std::wstring WindowText(HWND window);

// The tip of one control.
struct ToolTipText {
  int id;
  const wchar_t* text;
};

// Tool tips of a dialog's controls, shown when the mouse rests on them. Each tool's window
// procedure is replaced by one that passes its mouse messages to the tip window (TTM_RELAYEVENT)
// before the control gets them; not TTF_SUBCLASS, whose subclass costs a wineserver request per
// message to the control under Wine.
class CToolTips {
 public:
  CToolTips() = default;
  ~CToolTips();
  CToolTips(const CToolTips&) = delete;
  CToolTips& operator=(const CToolTips&) = delete;

  // Creates the tip window for `dialog`; false if it cannot be created.
  bool Create(HWND dialog);
  // Creates it, registers `tips` and activates them; false if it cannot be created.
  bool Create(HWND dialog, std::span<const ToolTipText> tips);
  // Registers the tip of the control `id`; the text is copied.
  bool Add(int id, const wchar_t* text);
  void Activate(bool active);
  // Destroys the tip window (also done on destruction).
  void Destroy();

 private:
  HWND dialog_ = nullptr;
  HWND tips_ = nullptr;
  std::vector<HWND> tools_;  // the controls whose mouse messages go to the tips
};

// The program's message-box styles.
enum class MessageStyle {
  Error,            // OK, stop icon: failures and refused input
  Warning,          // OK, exclamation: something is not available
  Question,         // Yes/No, question icon: confirmations
  WarningQuestion,  // Yes/No, exclamation: offers to repair a configuration
  WarningOkCancel,  // OK/Cancel, exclamation: close another program first
  Information,      // OK, information icon: results and instructions
  Plain,            // OK, no icon
};

// Shows a message box captioned "Tessaly", owned by `owner` or, when null, by the thread's active
// window; returns the button pressed (IDOK, IDYES, ...).
int ShowMessage(HWND owner, std::wstring_view text, MessageStyle style);

}  // namespace tessaly
