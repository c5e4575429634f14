// A page's frame at any size and scale: the controls laid out by the page's anchor table from
// where the template put them, the sizes the page may take, and a change of monitor DPI.
#pragma once

#include <span>
#include <vector>

#include "app/ui/page_layout.h"
#include "platform/win32/win32_api.h"

namespace tessaly {

// The DPI of `window` (of the system when the system cannot say per window, as before Windows 10).
int WindowDpi(HWND window);
// The system metric `index` at `dpi` (at the system's DPI before Windows 10).
int SystemMetricForDpi(int index, int dpi);

class CPageLayout {
 public:
  CPageLayout() = default;
  ~CPageLayout();
  CPageLayout(const CPageLayout&) = delete;
  CPageLayout& operator=(const CPageLayout&) = delete;

  // Takes the page's controls as its template placed them, the base of every later layout, and
  // gives the page a sizing border (the client area keeps its size). Controls that `anchors`
  // does not name stay at the top left.
  void Capture(HWND page, std::span<const Anchor> anchors);
  int Dpi() const { return dpi_; }
  // The window size the template gives, and the smallest the page may be made, at the page's DPI.
  ScreenSize PreferredSize() const;
  ScreenSize MinimumSize() const;
  // Places every control for the present client size; list views' columns keep their shares.
  void Apply();
  // The page now shows at `dpi`: its controls' font is made again for that scale and every
  // later layout scales the template's places. The caller then gives the window its new size.
  void ChangeDpi(int dpi);
  // The user has dragged an edge: the size is the user's choice, worth keeping.
  void MarkUserSized() { userSized_ = true; }
  bool UserSized() const { return userSized_; }

 private:
  struct Item {
    HWND control;
    ScreenRect base;  // client coordinates at baseDpi_
    Anchor anchor;
  };

  HWND page_ = nullptr;
  std::vector<Item> items_;
  ScreenSize baseClient_;
  ScreenSize baseWindow_;
  int baseDpi_ = kLogicalDpi;
  int dpi_ = kLogicalDpi;
  HFONT font_ = nullptr;  // the font made for a new scale, owned here; null: the template's
  bool userSized_ = false;
};

}  // namespace tessaly
