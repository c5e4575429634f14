// Window-position memory and placement: the arithmetic of restoring and saving a page's centre and
// of keeping the page on one monitor's work area.
#include "app/ui/window_center.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tessaly {
namespace {

// Distance along one axis from `value` to the half-open range [low, high).
int64_t AxisDistance(int value, int low, int high) {
  if (value < low) return int64_t{low} - value;
  if (value >= high) return int64_t{value} - (high - 1);
  return 0;
}

// One axis of the placement: the start of a span of `length` (at most the area's length) centred
// on `center` and moved inside [low, high).
int PlaceOnAxis(int length, int center, int low, int high) {
  const int start = center - length / 2;
  return std::clamp(start, low, high - length);
}

}  // namespace

ScreenPoint CenterOf(const ScreenRect& rect) {
  return {rect.left + (rect.right - rect.left) / 2, rect.top + (rect.bottom - rect.top) / 2};
}

ScreenPoint ChooseWindowCenter(const ScreenRect& window, int storedX, int storedY,
                               const ScreenRect& virtualScreen) {
  ScreenPoint center{storedX, storedY};
  if (storedX == -1 && storedY == -1) center = CenterOf(window);
  const bool inside = center.x >= virtualScreen.left && center.x < virtualScreen.right &&
                      center.y >= virtualScreen.top && center.y < virtualScreen.bottom;
  if (!inside) center = CenterOf(virtualScreen);
  return center;
}

ScreenPoint TopLeftForCenter(const ScreenRect& window, ScreenPoint center) {
  const ScreenPoint current = CenterOf(window);
  return {window.left + center.x - current.x, window.top + center.y - current.y};
}

int MonitorForPoint(std::span<const MonitorArea> monitors, ScreenPoint point) {
  int best = -1;
  int64_t bestDistance = std::numeric_limits<int64_t>::max();
  for (size_t i = 0; i < monitors.size(); ++i) {
    const ScreenRect& m = monitors[i].monitor;
    const int64_t dx = AxisDistance(point.x, m.left, m.right);
    const int64_t dy = AxisDistance(point.y, m.top, m.bottom);
    const int64_t distance = dx * dx + dy * dy;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = static_cast<int>(i);
    }
  }
  return best;
}

ScreenRect PlaceInWorkArea(ScreenSize size, ScreenPoint center, const ScreenRect& workArea) {
  const int width = std::clamp(size.cx, 0, std::max(workArea.Width(), 0));
  const int height = std::clamp(size.cy, 0, std::max(workArea.Height(), 0));
  const int left = PlaceOnAxis(width, center.x, workArea.left, workArea.right);
  const int top = PlaceOnAxis(height, center.y, workArea.top, workArea.bottom);
  return {left, top, left + width, top + height};
}

}  // namespace tessaly
