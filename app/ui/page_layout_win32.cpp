// Laying out a page's controls by its anchor table, and following a change of DPI.
#include "app/ui/page_layout_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "app/ui/dialog_win32.h"

namespace tessaly {
namespace {

// Functions of Windows 10 (1607 and later), looked up so that the program still starts on
// Windows 7.
template <typename Function>
Function User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
                : nullptr;
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using SetDialogDpiChangeBehaviorFn = BOOL(WINAPI*)(HWND, int, int);
constexpr int kDialogDpiChangeDisableAll = 0x0001;  // DDC_DISABLE_ALL

ScreenRect ToScreenRect(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

std::wstring WithoutAmpersands(std::wstring text) {
  std::wstring plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&' && i + 1 < text.size()) ++i;  // "&&" stands for one '&'
    plain += text[i];
  }
  return plain;
}

Anchor AnchorOf(HWND control, std::span<const Anchor> anchors) {
  const int id = GetDlgCtrlID(control);
  for (const Anchor& anchor : anchors) {
    if (anchor.id != -1 && anchor.id == id) return anchor;
  }
  if (id == -1 || id == 0xFFFF) {
    const std::wstring caption = WithoutAmpersands(WindowText(control));
    for (const Anchor& anchor : anchors) {
      if (anchor.id == -1 && anchor.caption && caption == anchor.caption) return anchor;
    }
  }
  return {};
}

bool IsListView(HWND control) {
  wchar_t name[32] = {};
  GetClassNameW(control, name, 32);
  return lstrcmpiW(name, WC_LISTVIEWW) == 0;
}

int ClientWidth(HWND control) {
  RECT client{};
  GetClientRect(control, &client);
  return client.right - client.left;
}

// Gives a list view's columns their share of its new client width.
void ScaleColumns(HWND list, int oldWidth, int newWidth) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  const int count = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  if (count <= 0 || oldWidth <= 0 || oldWidth == newWidth) return;
  std::vector<int> widths;
  for (int i = 0; i < count; ++i) {
    widths.push_back(static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, i, 0)));
  }
  const std::vector<int> scaled = ScaleColumnWidths(widths, oldWidth, newWidth);
  for (int i = 0; i < count; ++i) SendMessageW(list, LVM_SETCOLUMNWIDTH, i, scaled[i]);
}

}  // namespace

int WindowDpi(HWND window) {
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpiForWindow && window) {
    if (const UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : kLogicalDpi;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kLogicalDpi;
}

int SystemMetricForDpi(int index, int dpi) {
  static const auto forDpi = User32Function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
  return forDpi ? forDpi(index, static_cast<UINT>(dpi)) : GetSystemMetrics(index);
}

CPageLayout::~CPageLayout() {
  if (font_) DeleteObject(font_);
}

void CPageLayout::Capture(HWND page, std::span<const Anchor> anchors) {
  page_ = page;
  items_.clear();
  baseDpi_ = dpi_ = WindowDpi(page);
  RECT client{};
  GetClientRect(page, &client);
  baseClient_ = {client.right - client.left, client.bottom - client.top};
  for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
    items_.push_back({child, ToScreenRect(rect), AnchorOf(child, anchors)});
  }

  // The sizing border, with the window grown around the unchanged client area. The page follows
  // a change of DPI itself (ChangeDpi), so the system's own rescaling of dialogs stays off.
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(page, GWL_STYLE)) | WS_THICKFRAME;
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(page, GWL_EXSTYLE));
  SetWindowLongPtrW(page, GWL_STYLE, style);
  static const auto adjustForDpi =
      User32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
  RECT window{0, 0, baseClient_.cx, baseClient_.cy};
  if (!adjustForDpi || !adjustForDpi(&window, style, FALSE, exStyle, static_cast<UINT>(dpi_))) {
    AdjustWindowRectEx(&window, style, FALSE, exStyle);
  }
  baseWindow_ = {window.right - window.left, window.bottom - window.top};
  SetWindowPos(page, nullptr, 0, 0, baseWindow_.cx, baseWindow_.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  static const auto setDialogDpiChange =
      User32Function<SetDialogDpiChangeBehaviorFn>("SetDialogDpiChangeBehavior");
  if (setDialogDpiChange) {
    setDialogDpiChange(page, kDialogDpiChangeDisableAll, kDialogDpiChangeDisableAll);
  }
}

ScreenSize CPageLayout::PreferredSize() const { return ScaleForDpi(baseWindow_, baseDpi_, dpi_); }

ScreenSize CPageLayout::MinimumSize() const { return MinimumPageSize(PreferredSize(), dpi_); }

void CPageLayout::Apply() {
  if (!page_ || items_.empty()) return;
  RECT client{};
  GetClientRect(page_, &client);
  if (client.right <= 0 || client.bottom <= 0) return;  // minimised
  const ScreenSize base = ScaleForDpi(baseClient_, baseDpi_, dpi_);
  const ScreenSize delta{client.right - base.cx, client.bottom - base.cy};
  std::vector<std::pair<HWND, int>> lists;  // list views and their client widths before
  HDWP batch = BeginDeferWindowPos(static_cast<int>(items_.size()));
  for (const Item& item : items_) {
    const ScreenRect r = AnchoredRect(ScaleForDpi(item.base, baseDpi_, dpi_), item.anchor, delta);
    if (IsListView(item.control)) lists.emplace_back(item.control, ClientWidth(item.control));
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOCOPYBITS;
    if (batch) {
      batch =
          DeferWindowPos(batch, item.control, nullptr, r.left, r.top, r.Width(), r.Height(), flags);
    } else {
      SetWindowPos(item.control, nullptr, r.left, r.top, r.Width(), r.Height(), flags);
    }
  }
  if (batch) EndDeferWindowPos(batch);
  for (const auto& [list, oldWidth] : lists) ScaleColumns(list, oldWidth, ClientWidth(list));
  RedrawWindow(page_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CPageLayout::ChangeDpi(int dpi) {
  if (!page_ || dpi <= 0 || dpi == dpi_) return;
  // The controls' font, made again at the new scale from the one they show now.
  HFONT current = reinterpret_cast<HFONT>(SendMessageW(page_, WM_GETFONT, 0, 0));
  LOGFONTW logFont{};
  if (current && GetObjectW(current, sizeof logFont, &logFont) == sizeof logFont) {
    logFont.lfHeight = ScaleForDpi(logFont.lfHeight, dpi_, dpi);
    logFont.lfWidth = ScaleForDpi(logFont.lfWidth, dpi_, dpi);
    if (HFONT font = CreateFontIndirectW(&logFont)) {
      SendMessageW(page_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      for (const Item& item : items_) {
        SendMessageW(item.control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
      }
      if (font_) DeleteObject(font_);
      font_ = font;
    }
  }
  dpi_ = dpi;
}

}  // namespace tessaly
