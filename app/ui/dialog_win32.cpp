// The dialog base, tool tips and message boxes.
#include "app/ui/dialog_win32.h"

#include <commctrl.h>

#include "app/ui/color_edit_win32.h"
#include "app/ui/proc_subclass_win32.h"

namespace tessaly {
namespace {

LRESULT CALLBACK RelayToTips(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The tool controls of tool tips: each one's tip window (null: no longer relayed). comctl32's
// TTF_SUBCLASS would relay through SetWindowSubclass, which under Wine asks the wineserver for a
// window property on every message the control gets: filling a list box with tips went from
// 16 ms to 113 ms for 550 lines.
CProcSubclass<HWND>& RelayedControls() {
  static CProcSubclass<HWND> controls(RelayToTips);
  return controls;
}

// The messages a tip window takes through TTM_RELAYEVENT.
bool IsRelayedMouseMessage(UINT message) {
  switch (message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: return true;
    default: return false;
  }
}

LRESULT CALLBACK RelayToTips(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* control = RelayedControls().Find(hwnd);
  if (!control) return DefWindowProcW(hwnd, message, wParam, lParam);
  const WNDPROC original = control->original;
  if (control->data && IsRelayedMouseMessage(message)) {
    MSG relayed{};
    relayed.hwnd = hwnd;
    relayed.message = message;
    relayed.wParam = wParam;
    relayed.lParam = lParam;
    relayed.time = static_cast<DWORD>(GetMessageTime());
    const DWORD position = GetMessagePos();
    relayed.pt = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    SendMessageW(control->data, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
  }
  if (message == WM_NCDESTROY) RelayedControls().Forget(hwnd);
  return CallWindowProcW(original, hwnd, message, wParam, lParam);
}

// Gives the control its own procedure back; when another subclass came after ours, only stops
// relaying (ours stays in the chain and lets everything through).
void StopRelaying(HWND control) {
  if (RelayedControls().Remove(control)) return;
  if (auto* relayed = RelayedControls().Find(control)) relayed->data = nullptr;
}

HINSTANCE resourceModule = nullptr;  // SetProgramModule's choice; null: the program

}  // namespace

HINSTANCE ProgramModule() { return resourceModule ? resourceModule : GetModuleHandleW(nullptr); }

void SetProgramModule(HINSTANCE module) { resourceModule = module; }

std::wstring ProgramFilePath() {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(buffer, length);
}

INT_PTR CDialog::DoModal(HWND owner) {
  return DialogBoxParamW(ProgramModule(), MAKEINTRESOURCEW(templateId_), owner, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lParam);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
  } else {
    self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  }
  // Messages before WM_INITDIALOG (WM_SETFONT) have no object yet.
  if (!self) return FALSE;
  INT_PTR result = FALSE;
  try {
    result = self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    // No exception may cross into user32; a page that cannot go on ends like a failed page.
    self->EndDialog(-1);
    result = TRUE;
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    self->hwnd_ = nullptr;
  }
  return result;
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (OnCommand(id, HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return TRUE;
      if (id == IDOK || id == IDCANCEL) {
        EndDialog(id);
        return TRUE;
      }
      return FALSE;
    }
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (!OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return FALSE;
      SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_SYSCOMMAND: return OnSysCommand(static_cast<UINT>(wParam)) ? TRUE : FALSE;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      // The coloured path fields choose their own colours (read-only edits ask with
      // WM_CTLCOLORSTATIC).
      if (CColorEdit* edit = CColorEdit::FromHandle(reinterpret_cast<HWND>(lParam))) {
        return reinterpret_cast<INT_PTR>(edit->OnCtlColor(reinterpret_cast<HDC>(wParam)));
      }
      break;
    case WM_DESTROY: OnDestroy(); return FALSE;
    case WM_SIZE:
      if (OnSize()) return TRUE;
      break;
    case WM_SIZING:
      if (OnSizing()) return FALSE;  // the rectangle is left as the user dragged it
      break;
    case WM_GETMINMAXINFO:
      if (OnGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam))) return TRUE;
      break;
    case WM_DPICHANGED:
      if (OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam))) return TRUE;
      break;
    default: break;
  }
  INT_PTR result = FALSE;
  return OnMessage(message, wParam, lParam, result) ? result : FALSE;
}

void CDialog::EndDialog(INT_PTR code) {
  if (hwnd_) ::EndDialog(hwnd_, code);
}

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

std::wstring CDialog::ItemText(int id) const { return WindowText(Item(id)); }

void CDialog::SetItemText(int id, std::wstring_view text) {
  SetDlgItemTextW(hwnd_, id, std::wstring(text).c_str());
}

bool CDialog::IsChecked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }

void CDialog::SetCheck(int id, bool checked) {
  CheckDlgButton(hwnd_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void CDialog::EnableItem(int id, bool enabled) { EnableWindow(Item(id), enabled ? TRUE : FALSE); }

CToolTips::~CToolTips() { Destroy(); }

bool CToolTips::Create(HWND dialog) {
  Destroy();
  dialog_ = dialog;
  tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog,
                          nullptr, ProgramModule(), nullptr);
  if (!tips_) return false;
  // Long tips wrap instead of running off the screen.
  SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, 400);
  return true;
}

bool CToolTips::Create(HWND dialog, std::span<const ToolTipText> tips) {
  if (!Create(dialog)) return false;
  for (const ToolTipText& tip : tips) Add(tip.id, tip.text);
  Activate(true);
  return true;
}

bool CToolTips::Add(int id, const wchar_t* text) {
  HWND control = GetDlgItem(dialog_, id);
  if (!tips_ || !control) return false;
  TOOLINFOW info{};
  info.cbSize = sizeof info;
  info.uFlags = TTF_IDISHWND;  // the mouse messages come through RelayToTips
  info.hwnd = dialog_;
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = const_cast<wchar_t*>(text);
  if (!SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info))) return false;
  if (!RelayedControls().Install(control, tips_)) return false;
  tools_.push_back(control);
  return true;
}

void CToolTips::Activate(bool active) {
  if (tips_) SendMessageW(tips_, TTM_ACTIVATE, active ? TRUE : FALSE, 0);
}

void CToolTips::Destroy() {
  for (HWND tool : tools_) StopRelaying(tool);
  tools_.clear();
  if (tips_) DestroyWindow(tips_);
  tips_ = nullptr;
}

int ShowMessage(HWND owner, std::wstring_view text, MessageStyle style) {
  UINT flags = MB_OK;
  switch (style) {
    case MessageStyle::Error: flags = MB_OK | MB_ICONERROR; break;
    case MessageStyle::Warning: flags = MB_OK | MB_ICONEXCLAMATION; break;
    case MessageStyle::Question: flags = MB_YESNO | MB_ICONQUESTION; break;
    case MessageStyle::WarningQuestion: flags = MB_YESNO | MB_ICONEXCLAMATION; break;
    case MessageStyle::WarningOkCancel: flags = MB_OKCANCEL | MB_ICONEXCLAMATION; break;
    case MessageStyle::Information: flags = MB_OK | MB_ICONINFORMATION; break;
    case MessageStyle::Plain: flags = MB_OK; break;
  }
  if (!owner) owner = GetActiveWindow();
  return MessageBoxW(owner, std::wstring(text).c_str(), L"Tessaly", flags);
}

}  // namespace tessaly
