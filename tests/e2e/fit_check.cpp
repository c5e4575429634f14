// The fit of a page on its screen, checked from outside the program.
#include "tests/e2e/fit_check.h"

#include <cstdio>

#include "platform/text.h"

namespace tessaly::e2e {
namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using SetProcessDpiAwarenessContextFn = BOOL(WINAPI*)(HANDLE);

FARPROC User32(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 ? GetProcAddress(user32, name) : nullptr;
}

std::string Describe(const RECT& r) {
  char text[96];
  std::snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
  return text;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

int DpiOf(HWND window) {
  static const auto getDpi =
      reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(User32("GetDpiForWindow")));
  if (getDpi) {
    if (const UINT dpi = getDpi(window)) return static_cast<int>(dpi);
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// The font every control of the program's pages draws in: the templates' font, "MS Shell Dlg" at
// 8 points, at the page's scale (the program makes no fonts of its own for its controls). The
// program's own font handle is of no use in this process: GDI handles belong to their process.
HFONT MakeTemplateFont(int dpi) {
  LOGFONTW font{};
  font.lfHeight = -MulDiv(8, dpi, 72);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  lstrcpyW(font.lfFaceName, L"MS Shell Dlg");
  return CreateFontIndirectW(&font);
}

// A text static whose text would not fit: the text, laid out as the static lays it out (words
// wrapped within its width), needs more room than the control's client area. The reason, or
// empty.
std::string ClippedStatic(HWND control, int dpi) {
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  const LONG kind = style & SS_TYPEMASK;
  if (kind != SS_LEFT && kind != SS_RIGHT && kind != SS_CENTER && kind != SS_LEFTNOWORDWRAP)
    return {};
  // Paths shortened with an ellipsis are made to fit by the control itself.
  if (style & (SS_ENDELLIPSIS | SS_PATHELLIPSIS | SS_WORDELLIPSIS)) return {};
  wchar_t buffer[2048] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer),
                           SMTO_ABORTIFHUNG, 2000, &copied) ||
      copied == 0) {
    return {};
  }
  RECT client{};
  GetClientRect(control, &client);
  HDC dc = GetDC(nullptr);
  HFONT font = MakeTemplateFont(dpi);
  HGDIOBJ previous = SelectObject(dc, font);
  RECT needed{0, 0, client.right, 0};
  UINT format = DT_CALCRECT | DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
  format |= kind == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK;
  DrawTextW(dc, buffer, static_cast<int>(copied), &needed, format);
  SelectObject(dc, previous);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  if (needed.right <= client.right && needed.bottom <= client.bottom) return {};
  char line[160];
  std::snprintf(line, sizeof line, "needs %ldx%ld, has %ldx%ld", needed.right, needed.bottom,
                client.right, client.bottom);
  return "static text clipped, " + std::string(line) + ": \"" + ToUtf8(buffer) + "\"";
}

}  // namespace

void UseScreenPixels() {
  static const bool done = [] {
    const auto perMonitor = reinterpret_cast<SetProcessDpiAwarenessContextFn>(
        reinterpret_cast<void*>(User32("SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 is the handle value -4.
    if (perMonitor && perMonitor(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) return true;
    return SetProcessDPIAware() != FALSE;
  }();
  (void)done;
}

std::vector<std::string> FitFaults(HWND page) {
  UseScreenPixels();
  std::vector<std::string> faults;
  RECT window{};
  if (!GetWindowRect(page, &window)) return {"the page is gone"};
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromWindow(page, MONITOR_DEFAULTTONEAREST), &monitor)) {
    return {"no monitor for the page"};
  }
  if (!Inside(window, monitor.rcWork)) {
    faults.push_back("window " + Describe(window) + " outside the work area " +
                     Describe(monitor.rcWork));
  }
  RECT client{};
  GetClientRect(page, &client);
  MapWindowPoints(page, nullptr, reinterpret_cast<POINT*>(&client), 2);
  const int dpi = DpiOf(page);
  for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    const std::string name = ToUtf8(ClassOf(child)) + " " + std::to_string(GetDlgCtrlID(child));
    RECT rect{};
    GetWindowRect(child, &rect);
    if (!Inside(rect, client)) {
      faults.push_back(name + " " + Describe(rect) + " outside the client area " +
                       Describe(client));
    }
    if (lstrcmpiW(ClassOf(child).c_str(), L"Static") == 0) {
      const std::string clipped = ClippedStatic(child, dpi);
      if (!clipped.empty()) faults.push_back(name + ": " + clipped);
    }
  }
  return faults;
}

PageScale ScaleOf(HWND page) {
  UseScreenPixels();
  PageScale scale;
  scale.dpi = DpiOf(page);
  RECT window{};
  GetWindowRect(page, &window);
  scale.logicalWidth = MulDiv(window.right - window.left, 96, scale.dpi);
  scale.logicalHeight = MulDiv(window.bottom - window.top, 96, scale.dpi);
  return scale;
}

}  // namespace tessaly::e2e
