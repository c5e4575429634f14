// The window skin: the theme's brushes, a creation hook that finds our dialogs and message
// boxes, and a subclass on each that answers the colour requests of its controls.
//
// The dialogs and message boxes are subclassed by replacing their window procedure, not with
// comctl32's SetWindowSubclass: that one looks its chain up in a window property on every message,
// and under Wine each property lookup is a request to the wineserver, which roughly doubled the
// cost of every message sent to a skinned page (the finder page gets one per file found).
#include "app/ui/skin_win32.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <cwchar>

#include "app/ui/proc_subclass_win32.h"

namespace tessaly {
namespace {

// What a subclassed window is.
enum : DWORD_PTR { kSkinDialog = 1, kSkinMessageBox = 2 };

LRESULT CALLBACK SkinWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Process-wide state, used from the UI thread only.
struct SkinState {
  bool on = false;
  SkinTheme theme;
  HBRUSH windowBrush = nullptr;
  HBRUSH editBrush = nullptr;
  HBRUSH readOnlyBrush = nullptr;
  HBRUSH listBrush = nullptr;
  HBRUSH borderBrush = nullptr;
  HHOOK hook = nullptr;
  DWORD hookThread = 0;
  HINSTANCE module = nullptr;  // the program: its skins and its dialog templates
  int suspended = 0;
  CProcSubclass<DWORD_PTR> skinned{SkinWindowProc};  // the windows skinned, with their kind

  HBRUSH* Brushes[5] = {&windowBrush, &editBrush, &readOnlyBrush, &listBrush, &borderBrush};

  void ReleaseBrushes() {
    for (HBRUSH* brush : Brushes) {
      if (*brush) DeleteObject(*brush);
      *brush = nullptr;
    }
  }
  ~SkinState() {
    if (hook) UnhookWindowsHookEx(hook);
    ReleaseBrushes();
  }
};

SkinState& State() {
  static SkinState state;
  return state;
}

HINSTANCE ProgramModule() {
  const SkinState& s = State();
  return s.module ? s.module : GetModuleHandleW(nullptr);
}

bool ClassIs(HWND hwnd, const wchar_t* name) {
  wchar_t className[64];
  return GetClassNameW(hwnd, className, 64) > 0 && _wcsicmp(className, name) == 0;
}

// Our dialogs come from the program's templates. Message boxes are dialogs of user32's own:
// Windows creates them with user32's instance handle, Wine with none. Everything else, such as
// the common dialogs of comdlg32 and shell32 (whose templates live in those modules), keeps the
// system colours.
DWORD_PTR KindOf(HWND hwnd, HINSTANCE instance) {
  if (!ClassIs(hwnd, L"#32770")) return 0;
  if (instance == ProgramModule()) return kSkinDialog;
  if (!instance || instance == GetModuleHandleW(L"user32.dll")) return kSkinMessageBox;
  return 0;
}

// Windows 10 1809 and later draw a dark title bar when asked: attribute 20 (immersive dark
// mode), or 19 on the builds before 20H1. dwmapi is looked up at run time; older systems and
// Wine simply refuse, which is fine.
void AskForDarkTitleBar(HWND hwnd) {
  using SetAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
  static const SetAttributeFn setAttribute = []() -> SetAttributeFn {
    wchar_t path[MAX_PATH];
    const UINT n = GetSystemDirectoryW(path, MAX_PATH - 16);
    if (n == 0 || n >= MAX_PATH - 16) return nullptr;
    wcscat(path, L"\\dwmapi.dll");
    HMODULE dwm = LoadLibraryW(path);  // kept for the life of the process
    if (!dwm) return nullptr;
    return reinterpret_cast<SetAttributeFn>(
        reinterpret_cast<void*>(GetProcAddress(dwm, "DwmSetWindowAttribute")));
  }();
  if (!setAttribute || (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) return;
  const BOOL dark = TRUE;
  if (FAILED(setAttribute(hwnd, 20, &dark, sizeof dark)))
    setAttribute(hwnd, 19, &dark, sizeof dark);
}

// Themed check boxes, radio buttons and group boxes (common controls 6 with visual styles)
// draw their text in the theme's colour and ignore SetTextColor from WM_CTLCOLORSTATIC, which
// would leave dark text on our dark background. SetWindowTheme(L"", L"") takes the visual
// style off just these controls, so they fall back to the classic drawing, which takes both
// brush and text colour from WM_CTLCOLORSTATIC. NM_CUSTOMDRAW could keep the themed glyphs,
// but would mean drawing the label ourselves (wrapping, prefixes, focus, disabled state) for
// every such button; the classic glyphs are the smaller and surer change. A themed drop-down
// list combo box is treated alike, so its face always pairs our text with our background.
// Push buttons and push-like check boxes keep their system look.
// Group boxes are painted by the skin itself: a themed group box draws its caption in the
// theme's colour whatever WM_CTLCOLORSTATIC says, and not every system honours
// SetWindowTheme(L"", L"") (Wine keeps the theme), which would leave a dark caption on the
// dark background. The frame and caption drawn here look alike everywhere.
constexpr UINT_PTR kGroupBoxSubclassId = 0x47727042;  // "GrpB"

void PaintGroupBox(HWND box, HDC dc) {
  const SkinState& s = State();
  RECT rect;
  GetClientRect(box, &rect);
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0));
  HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
  wchar_t caption[256] = {};
  GetWindowTextW(box, caption, 256);
  SIZE textSize{};
  GetTextExtentPoint32W(dc, caption[0] ? caption : L"X", caption[0] ? lstrlenW(caption) : 1,
                        &textSize);

  RECT frame = rect;
  frame.top += textSize.cy / 2;
  HPEN pen = CreatePen(PS_SOLID, 1, s.theme.border);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, frame.left, frame.top, frame.right, frame.bottom);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(pen);

  if (caption[0]) {
    // The caption interrupts the top line, with a little space on either side.
    RECT text{rect.left + 8, rect.top, rect.left + 8 + textSize.cx + 4, rect.top + textSize.cy};
    if (text.right > rect.right) text.right = rect.right;
    FillRect(dc, &text, s.windowBrush);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, IsWindowEnabled(box) ? s.theme.groupText : s.theme.disabledText);
    text.left += 2;
    DrawTextW(dc, caption, -1, &text, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP);
  }
  if (oldFont) SelectObject(dc, oldFont);
}

LRESULT CALLBACK GroupBoxSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR) {
  switch (message) {
    case WM_NCDESTROY: RemoveWindowSubclass(hwnd, GroupBoxSubclassProc, id); break;
    case WM_PAINT:
      if (State().on) {
        PAINTSTRUCT paint;
        if (HDC dc = BeginPaint(hwnd, &paint)) {
          PaintGroupBox(hwnd, dc);
          EndPaint(hwnd, &paint);
        }
        return 0;
      }
      break;
    case WM_PRINTCLIENT:
      if (State().on) {
        PaintGroupBox(hwnd, reinterpret_cast<HDC>(wParam));
        return 0;
      }
      break;
    case WM_SETTEXT:
    case WM_ENABLE: {
      const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return result;
    }
    default: break;
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

BOOL CALLBACK FixChild(HWND child, LPARAM) {
  const SkinTheme& theme = State().theme;
  const LONG style = GetWindowLongW(child, GWL_STYLE);
  if (ClassIs(child, L"Button")) {
    switch (style & BS_TYPEMASK) {
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON:
      case BS_3STATE:
      case BS_AUTO3STATE:
        if (style & BS_PUSHLIKE) break;
        [[fallthrough]];
      case BS_GROUPBOX:
        SetWindowTheme(child, L"", L"");
        if ((style & BS_TYPEMASK) == BS_GROUPBOX)
          SetWindowSubclass(child, GroupBoxSubclassProc, kGroupBoxSubclassId, 0);
        break;
      default: break;
    }
  } else if (ClassIs(child, WC_COMBOBOXW)) {
    if ((style & 3) == CBS_DROPDOWNLIST) SetWindowTheme(child, L"", L"");
  } else if (ClassIs(child, WC_LISTVIEWW)) {
    // List views do not ask their parent for colours; they keep their own.
    ListView_SetBkColor(child, theme.listBackground);
    ListView_SetTextBkColor(child, theme.listBackground);
    ListView_SetTextColor(child, theme.listText);
  } else if (ClassIs(child, WC_TREEVIEWW)) {
    TreeView_SetBkColor(child, theme.listBackground);
    TreeView_SetTextColor(child, theme.listText);
  }
  return TRUE;
}

void ApplyToDialog(HWND dialog) {
  EnumChildWindows(dialog, FixChild, 0);
  AskForDarkTitleBar(dialog);
}

HBRUSH Answer(HDC dc, COLORREF text, COLORREF background, HBRUSH brush) {
  SetTextColor(dc, text);
  SetBkColor(dc, background);
  return brush;
}

// The colours of one WM_CTLCOLOR* request, or null to let the dialog answer it.
HBRUSH ControlColors(UINT message, HDC dc, HWND control) {
  const SkinState& s = State();
  const SkinTheme& t = s.theme;
  if (message != WM_CTLCOLORDLG && GetPropW(control, kSkinOwnColorsProp)) return nullptr;
  const bool enabled = IsWindowEnabled(control);
  switch (message) {
    case WM_CTLCOLORDLG: return Answer(dc, t.text, t.window, s.windowBrush);
    case WM_CTLCOLOREDIT:  // enabled edits, and the face of combo boxes
      return Answer(dc, t.editText, t.editBackground, s.editBrush);
    case WM_CTLCOLORLISTBOX: return Answer(dc, t.listText, t.listBackground, s.listBrush);
    case WM_CTLCOLORSCROLLBAR: return Answer(dc, t.text, t.border, s.borderBrush);
    case WM_CTLCOLORBTN:
      // Push buttons draw their face and text in system colours whatever the answer; the
      // brush only fills the corners around a themed face, which stand on our background.
      return Answer(dc, GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_BTNFACE), s.windowBrush);
    case WM_CTLCOLORSTATIC:
      // Read-only and disabled edit fields and disabled combo boxes ask as statics do.
      if (ClassIs(control, L"Edit") || ClassIs(control, WC_COMBOBOXW))
        return Answer(dc, enabled ? t.text : t.disabledText, t.readOnlyBackground, s.readOnlyBrush);
      if (!enabled) return Answer(dc, t.disabledText, t.window, s.windowBrush);
      if (ClassIs(control, L"Button") &&
          (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX)
        return Answer(dc, t.groupText, t.window, s.windowBrush);
      return Answer(dc, t.text, t.window, s.windowBrush);
    default: return nullptr;
  }
}

LRESULT CALLBACK SkinWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  SkinState& s = State();
  const auto* found = s.skinned.Find(hwnd);
  if (!found) return DefWindowProcW(hwnd, message, wParam, lParam);
  const auto window = *found;
  switch (message) {
    case WM_NCDESTROY: s.skinned.Forget(hwnd); break;
    case WM_INITDIALOG: {
      // The dialog procedure runs first, so children it creates or sets up are fixed too.
      const LRESULT result = CallWindowProcW(window.original, hwnd, message, wParam, lParam);
      if (s.on) ApplyToDialog(hwnd);
      return result;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
      if (s.on) {
        if (HBRUSH brush = ControlColors(message, reinterpret_cast<HDC>(wParam),
                                         reinterpret_cast<HWND>(lParam)))
          return reinterpret_cast<LRESULT>(brush);
      }
      break;
    case WM_ERASEBKGND:
      if (s.on) {
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, s.windowBrush);
        return TRUE;
      }
      break;
    case WM_PAINT:
      // A message box paints a light panel behind its buttons; the skin paints it dark. Its
      // text and icon are child controls and draw themselves.
      if (s.on && window.data == kSkinMessageBox) {
        PAINTSTRUCT paint;
        if (HDC dc = BeginPaint(hwnd, &paint)) {
          FillRect(dc, &paint.rcPaint, s.windowBrush);
          EndPaint(hwnd, &paint);
        }
        return 0;
      }
      break;
    default: break;
  }
  return CallWindowProcW(window.original, hwnd, message, wParam, lParam);
}

// Subclasses `hwnd` as a window of `kind`; for a window already subclassed, only its kind changes.
void Subclass(HWND hwnd, DWORD_PTR kind) { State().skinned.Install(hwnd, kind); }

// Subclassing at HCBT_CREATEWND puts the skin in front of the dialog procedure before the
// dialog's first message, so it sees WM_INITDIALOG after the controls exist.
LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
  const SkinState& s = State();
  if (code == HCBT_CREATEWND && s.on && s.suspended == 0) {
    const HWND hwnd = reinterpret_cast<HWND>(wParam);
    const auto* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
    if (const DWORD_PTR kind = KindOf(hwnd, create->lpcs->hInstance)) Subclass(hwnd, kind);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

ErrorCode SwitchOn(const SkinTheme& theme) {
  SkinState& s = State();
  HBRUSH brushes[5] = {CreateSolidBrush(theme.window), CreateSolidBrush(theme.editBackground),
                       CreateSolidBrush(theme.readOnlyBackground),
                       CreateSolidBrush(theme.listBackground), CreateSolidBrush(theme.border)};
  bool allMade = true;
  for (HBRUSH brush : brushes) allMade = allMade && brush;
  const DWORD thread = GetCurrentThreadId();
  if (allMade && (!s.hook || s.hookThread != thread)) {
    HHOOK hook = SetWindowsHookExW(WH_CBT, CreationHook, nullptr, thread);
    if (hook) {
      if (s.hook) UnhookWindowsHookEx(s.hook);
      s.hook = hook;
      s.hookThread = thread;
    } else {
      allMade = false;
    }
  }
  if (!allMade) {
    const DWORD error = GetLastError();
    for (HBRUSH brush : brushes)
      if (brush) DeleteObject(brush);
    return error ? error : err::NotEnoughMemory;
  }
  // Windows skinned so far keep answering with the brushes; swap them only now.
  s.ReleaseBrushes();
  for (int i = 0; i < 5; ++i) *s.Brushes[i] = brushes[i];
  s.theme = theme;
  s.on = true;
  return err::Success;
}

}  // namespace

CSkinFrameworkWrapper::~CSkinFrameworkWrapper() = default;

void CSkinFrameworkWrapper::SetUpFromResources(HINSTANCE module) {
  State().module = module;
  setUp_ = true;
}

bool CSkinFrameworkWrapper::LoadSkin(const wchar_t* name) {
  const HINSTANCE module = ProgramModule();
  HRSRC found = FindResourceW(module, name, MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!found) return false;
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return false;
  const std::string_view text(static_cast<const char*>(data), SizeofResource(module, found));
  return LoadSkinFromText(text) == err::Success;
}

CSkinSuspend::CSkinSuspend() { ++State().suspended; }
CSkinSuspend::~CSkinSuspend() { --State().suspended; }

bool SkinIsOn() { return State().on; }

const SkinTheme& CurrentSkinTheme() { return State().theme; }

ErrorCode LoadSkinFromText(std::string_view iniText) {
  SkinTheme theme;
  const ErrorCode parsed = ParseSkinTheme(iniText, theme);
  if (parsed != err::Success) return parsed;
  return SwitchOn(theme);
}

void UnloadSkin() {
  SkinState& s = State();
  if (s.hook) UnhookWindowsHookEx(s.hook);
  s.hook = nullptr;
  s.hookThread = 0;
  s.on = false;
  s.ReleaseBrushes();
  s.theme = SkinTheme{};
}

void SkinWindow(HWND dialog) {
  if (!SkinIsOn() || !IsWindow(dialog)) return;
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
  DWORD_PTR kind = KindOf(dialog, instance);
  if (!kind) kind = kSkinDialog;  // asked for explicitly
  Subclass(dialog, kind);
  ApplyToDialog(dialog);
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

}  // namespace tessaly
