// Where a page opens: the window-position memory that carries a page's centre to the next page,
// and the placement that keeps a page wholly inside the work area of one monitor.
#pragma once

#include <span>

namespace tessaly {

struct ScreenRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const ScreenRect&) const = default;
};

struct ScreenPoint {
  int x = 0, y = 0;
  bool operator==(const ScreenPoint&) const = default;
};

struct ScreenSize {
  int cx = 0, cy = 0;
  bool operator==(const ScreenSize&) const = default;
};

// The centre of a rectangle, halves truncated toward zero.
ScreenPoint CenterOf(const ScreenRect& rect);

// The centre a page opens on: the stored point, or the window's own centre when the pair
// (-1, -1) says none is stored; a point outside the virtual screen (left and top edges inside,
// right and bottom outside) is replaced by the virtual screen's centre.
ScreenPoint ChooseWindowCenter(const ScreenRect& window, int storedX, int storedY,
                               const ScreenRect& virtualScreen);

// The top-left corner that puts the centre of `window` on `center`, its size unchanged.
ScreenPoint TopLeftForCenter(const ScreenRect& window, ScreenPoint center);

// One monitor: its whole rectangle and its work area (the rectangle less the task bar).
struct MonitorArea {
  ScreenRect monitor;
  ScreenRect work;
};

// The index of the monitor that holds `point`, else of the one nearest to it (the smallest
// distance to its rectangle; the first of equals); -1 when there is none.
int MonitorForPoint(std::span<const MonitorArea> monitors, ScreenPoint point);

// The window rectangle of a page of size `size` whose centre should lie on `center`, kept wholly
// inside `workArea`: a page that fits is centred on `center` unless that would cross an edge, in
// which case it is moved in just far enough; a page wider or taller than the work area takes the
// work area's width or height. The title bar is then always on screen.
ScreenRect PlaceInWorkArea(ScreenSize size, ScreenPoint center, const ScreenRect& workArea);

}  // namespace tessaly
