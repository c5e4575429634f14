// Where a page opens: the window-position memory that carries a page's centre to the next page.
#pragma once

namespace tessaly {

struct ScreenRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

struct ScreenPoint {
  int x = 0, y = 0;
  bool operator==(const ScreenPoint&) const = default;
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

}  // namespace tessaly
