// Anchors, page sizes and DPI scaling.
#include "app/ui/page_layout.h"

#include <algorithm>
#include <cstdint>

namespace tessaly {
namespace {

int Part(int change, int percent) {
  // Rounded toward negative infinity for both signs, so that growing and shrinking by the same
  // amount land on the same pixel.
  const int64_t product = int64_t{change} * percent;
  return static_cast<int>(product >= 0 ? product / 100 : -((-product + 99) / 100));
}

}  // namespace

ScreenRect AnchoredRect(const ScreenRect& base, const Anchor& anchor, ScreenSize delta) {
  const int left = base.left + Part(delta.cx, anchor.moveX);
  const int top = base.top + Part(delta.cy, anchor.moveY);
  const int width = std::max(0, base.Width() + Part(delta.cx, anchor.growX));
  const int height = std::max(0, base.Height() + Part(delta.cy, anchor.growY));
  return {left, top, left + width, top + height};
}

int ScaleForDpi(int value, int fromDpi, int toDpi) {
  if (fromDpi <= 0 || fromDpi == toDpi) return value;
  const int64_t product = int64_t{value} * toDpi;
  const int64_t half = fromDpi / 2;
  return static_cast<int>(product >= 0 ? (product + half) / fromDpi
                                       : -((-product + half) / fromDpi));
}

ScreenSize ScaleForDpi(ScreenSize size, int fromDpi, int toDpi) {
  return {ScaleForDpi(size.cx, fromDpi, toDpi), ScaleForDpi(size.cy, fromDpi, toDpi)};
}

ScreenRect ScaleForDpi(const ScreenRect& rect, int fromDpi, int toDpi) {
  return {ScaleForDpi(rect.left, fromDpi, toDpi), ScaleForDpi(rect.top, fromDpi, toDpi),
          ScaleForDpi(rect.right, fromDpi, toDpi), ScaleForDpi(rect.bottom, fromDpi, toDpi)};
}

ScreenSize MinimumPageSize(ScreenSize preferred, int dpi) {
  const ScreenSize limit = ScaleForDpi(kSmallestScreen, kLogicalDpi, dpi);
  return {std::min(preferred.cx, limit.cx), std::min(preferred.cy, limit.cy)};
}

ScreenSize OpeningPageSize(ScreenSize preferred, ScreenSize storedLogical, int dpi) {
  if (storedLogical.cx <= 0 || storedLogical.cy <= 0) return preferred;
  const ScreenSize stored = ScaleForDpi(storedLogical, kLogicalDpi, dpi);
  const ScreenSize minimum = MinimumPageSize(preferred, dpi);
  return {std::max(stored.cx, minimum.cx), std::max(stored.cy, minimum.cy)};
}

std::vector<int> ScaleColumnWidths(std::span<const int> widths, int oldWidth, int newWidth) {
  std::vector<int> scaled;
  scaled.reserve(widths.size());
  if (oldWidth <= 0) {
    scaled.assign(widths.begin(), widths.end());
    return scaled;
  }
  // Each column ends where its share of the running total ends.
  int64_t before = 0;
  int placed = 0;
  for (const int width : widths) {
    before += width;
    const int end = static_cast<int>(before * newWidth / oldWidth);
    scaled.push_back(std::max(0, end - placed));
    placed = std::max(placed, end);
  }
  return scaled;
}

}  // namespace tessaly
