// The arithmetic of resizable pages: which controls grow and which follow an edge when a page
// changes size (an anchor table per page), the sizes a page may take, and scaling between DPIs.
#pragma once

#include <span>
#include <vector>

#include "app/ui/window_center.h"

namespace tessaly {

// How one control follows a change of its page's client size: each field is the percentage of
// the change in width (X) or height (Y) by which the control moves or grows. A control that
// follows the right edge moves by 100% of the width's change; a list that fills the width grows
// by 100%; two lists side by side grow by 50% each, the right one also moving by 50%.
// A control is named by its id or, when it has none (-1, as group boxes and labels often do), by
// its caption without access-key ampersands.
struct Anchor {
  int id = -1;
  const wchar_t* caption = nullptr;
  int moveX = 0, growX = 0, moveY = 0, growY = 0;
};

// Common anchors.
constexpr Anchor FollowBottomRight(int id) { return {.id = id, .moveX = 100, .moveY = 100}; }
constexpr Anchor FollowRight(int id) { return {.id = id, .moveX = 100}; }
constexpr Anchor FollowBottom(int id) { return {.id = id, .moveY = 100}; }
constexpr Anchor GrowWidth(int id) { return {.id = id, .growX = 100}; }
constexpr Anchor GrowBoth(int id) { return {.id = id, .growX = 100, .growY = 100}; }
constexpr Anchor GrowWidthFollowBottom(int id) { return {.id = id, .growX = 100, .moveY = 100}; }

// The rectangle of a control laid out for a client area `delta` larger than the one `base` was
// drawn for (negative: smaller); a width or height never falls below 0.
ScreenRect AnchoredRect(const ScreenRect& base, const Anchor& anchor, ScreenSize delta);

// The smallest logical size a page may be made: 1280 x 672 logical pixels, what a 1280 x 720
// screen leaves beside a task bar.
inline constexpr ScreenSize kSmallestScreen{1280, 672};
inline constexpr int kLogicalDpi = 96;

// The smallest window size of a page whose template gives it `preferred` (all at the same DPI
// `dpi`): its preferred size where that fits kSmallestScreen at that scale, else that screen's.
ScreenSize MinimumPageSize(ScreenSize preferred, int dpi);

// The size a page opens at: the stored size (logical pixels, 0 when none) at `dpi`, not below the
// minimum; the preferred size when none is stored.
ScreenSize OpeningPageSize(ScreenSize preferred, ScreenSize storedLogical, int dpi);

// Converts between DPIs, rounding to the nearest pixel (as MulDiv does).
int ScaleForDpi(int value, int fromDpi, int toDpi);
ScreenSize ScaleForDpi(ScreenSize size, int fromDpi, int toDpi);
ScreenRect ScaleForDpi(const ScreenRect& rect, int fromDpi, int toDpi);

// The widths of a list's columns for a list now `newWidth` wide, when they were `widths` for a
// list `oldWidth` wide: each keeps its share, the rounding kept from piling up to the right.
std::vector<int> ScaleColumnWidths(std::span<const int> widths, int oldWidth, int newWidth);

}  // namespace tessaly
