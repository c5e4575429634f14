// Whether a page fits its screen at the screen's scale: the window inside the work area of its
// monitor, every visible control inside the client area, and no static text clipped (its text,
// measured with the pages' font at the page's scale, fits its rectangle).
#pragma once

#include <string>
#include <vector>

#include "platform/win32/win32_api.h"

namespace tessaly::e2e {

// Makes the driver per-monitor DPI aware, so that it reads other windows' rectangles in the
// screen's own pixels, as the program (which declares the same awareness) places them. Called
// once before the first check; harmless to call again.
void UseScreenPixels();

// What does not fit on `page`, one line a fault; empty when it all fits.
std::vector<std::string> FitFaults(HWND page);

// The page's DPI and its window size in logical pixels (at 96 DPI), for the run's log.
struct PageScale {
  int dpi = 96;
  int logicalWidth = 0, logicalHeight = 0;
};
PageScale ScaleOf(HWND page);

}  // namespace tessaly::e2e
