// Window-position memory: the arithmetic of restoring and saving a page's centre.
#include "app/ui/window_center.h"

namespace tessaly {

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

}  // namespace tessaly
