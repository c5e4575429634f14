// Where a page goes and how its controls follow a change of size: placement inside a monitor's
// work area, anchors, the sizes a page may take and the scaling between DPIs.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "app/ui/page_layout.h"
#include "app/ui/window_center.h"

namespace tessaly {

// Found by argument-dependent lookup, so outside the unnamed namespace; static, as it is this
// file's own.
static std::ostream& operator<<(std::ostream& out, const ScreenRect& r) {
  return out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

bool Inside(const ScreenRect& inner, const ScreenRect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

TEST(PlacementTest, APageStaysInsideTheWorkArea) {
  // A 1920 x 1080 monitor with a 40-pixel task bar at the bottom; a 1280 x 1024 one.
  const ScreenRect wide{0, 0, 1920, 1040};
  const ScreenRect small{0, 0, 1280, 984};
  struct Case {
    ScreenSize size;
    ScreenPoint center;
    ScreenRect work, expected;
  } cases[] = {
      // Fits where the stored centre puts it: the centre rule holds unchanged.
      {{900, 680}, {960, 520}, wide, {510, 180, 1410, 860}},
      {{901, 681}, {700, 400}, wide, {250, 60, 1151, 741}},
      // Would cross an edge: moved in just far enough, the size kept.
      {{900, 680}, {100, 520}, wide, {0, 180, 900, 860}},
      {{900, 680}, {1900, 1030}, wide, {1020, 360, 1920, 1040}},
      {{900, 680}, {960, 100}, wide, {510, 0, 1410, 680}},  // title bar above the top: brought down
      // The reported fault: 1,360 x 1,010 on a 1280 x 1024 screen less its task bar.
      {{1360, 1010}, {640, 512}, small, {0, 0, 1280, 984}},
      // Wider than the work area only: the width is the work area's, the height kept.
      {{2000, 500}, {960, 520}, wide, {0, 270, 1920, 770}},
      // Exactly the work area's size.
      {{1920, 1040}, {5, 5}, wide, {0, 0, 1920, 1040}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlaceInWorkArea(c.size, c.center, c.work), c.expected)
        << "size " << c.size.cx << "x" << c.size.cy << " centre " << c.center.x << ","
        << c.center.y;
  }
}

TEST(PlacementTest, WorkAreasAwayFromTheOrigin) {
  // A monitor left of the primary, its task bar on the left; and one above it.
  const ScreenRect left{-1280 + 60, 0, 0, 1024};
  const ScreenRect above{0, -1440, 2560, -40};
  for (const ScreenRect& work : {left, above}) {
    for (const ScreenSize size : {ScreenSize{400, 300}, ScreenSize{3000, 2000}}) {
      for (const ScreenPoint center : {CenterOf(work), ScreenPoint{work.left, work.top},
                                       ScreenPoint{work.right + 500, work.bottom + 500}}) {
        const ScreenRect placed = PlaceInWorkArea(size, center, work);
        EXPECT_TRUE(Inside(placed, work)) << placed << " in " << work;
        EXPECT_EQ(placed.Width(), std::min(size.cx, work.Width()));
        EXPECT_EQ(placed.Height(), std::min(size.cy, work.Height()));
      }
    }
  }
}

TEST(PlacementTest, TheMonitorHoldingTheCentreOrTheNearestOne) {
  const MonitorArea monitors[] = {
      {{0, 0, 1920, 1080}, {0, 0, 1920, 1040}},        // primary
      {{-1280, 56, 0, 1080}, {-1280, 56, 0, 1080}},    // left, its top lower
      {{1920, 0, 4480, 1440}, {1920, 0, 4480, 1400}},  // right, taller
  };
  struct Case {
    ScreenPoint point;
    int expected;
  } cases[] = {
      {{960, 540}, 0},       {{-1, 500}, 1},    {{-1280, 56}, 1},  // edges: left and top inside
      {{1920, 0}, 2},        {{1919, 1079}, 0},                    // right and bottom outside
      {{-640, 10}, 1},        // above the left monitor: nearer to it than to the primary
      {{-10, 10}, 0},         // just left of the primary's top, where the left one has no pixels
      {{3000, 1400}, 2},      // below the primary's bottom, inside the taller right monitor
      {{200, 2000}, 0},       // below the primary, nearer to it than to the right one
      {{-32000, -32000}, 1},  // a page closed while minimised
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MonitorForPoint(monitors, c.point), c.expected) << c.point.x << "," << c.point.y;
  }
  EXPECT_EQ(MonitorForPoint({}, {0, 0}), -1);
}

TEST(AnchorTest, ControlsFollowOrGrowByTheirShareOfTheChange) {
  const ScreenRect base{10, 20, 110, 70};  // 100 x 50
  struct Case {
    Anchor anchor;
    ScreenSize delta;
    ScreenRect expected;
  } cases[] = {
      {{.id = 1}, {300, 200}, base},  // stays at the top left
      {FollowBottomRight(1), {300, 200}, {310, 220, 410, 270}},
      {FollowBottomRight(1), {-30, -20}, {-20, 0, 80, 50}},
      {FollowRight(1), {40, 40}, {50, 20, 150, 70}},
      {FollowBottom(1), {40, 40}, {10, 60, 110, 110}},
      {GrowWidth(1), {40, 40}, {10, 20, 150, 70}},
      {GrowBoth(1), {40, 40}, {10, 20, 150, 110}},
      {GrowBoth(1), {-150, -80}, {10, 20, 10, 20}},  // never below nothing
      // Two lists side by side: the left grows by half, the right moves and grows by half.
      {{.id = 1, .growX = 50}, {101, 0}, {10, 20, 160, 70}},
      {{.id = 1, .moveX = 50, .growX = 50}, {101, 0}, {60, 20, 210, 70}},
      {{.id = 1, .growX = 50}, {-101, 0}, {10, 20, 59, 70}},
      {{.id = 1, .moveX = 50, .growX = 50}, {-101, 0}, {-41, 20, 8, 70}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AnchoredRect(base, c.anchor, c.delta), c.expected)
        << "move " << c.anchor.moveX << "/" << c.anchor.moveY << " grow " << c.anchor.growX << "/"
        << c.anchor.growY << " by " << c.delta.cx << "x" << c.delta.cy;
  }
}

TEST(AnchorTest, SideBySideListsNeverOverlapAndKeepTheirGap) {
  // The finder's name list grows by a third, its file list moves by a third and grows by two.
  const ScreenRect names{15, 87, 165, 217};
  const ScreenRect files{172, 87, 520, 217};
  const Anchor nameAnchor{.id = 1, .growX = 33};
  const Anchor fileAnchor{.id = 2, .moveX = 33, .growX = 67};
  for (int dx = -120; dx <= 400; dx += 7) {
    const ScreenRect n = AnchoredRect(names, nameAnchor, {dx, 0});
    const ScreenRect f = AnchoredRect(files, fileAnchor, {dx, 0});
    EXPECT_EQ(f.left - n.right, files.left - names.right) << "dx " << dx;
    EXPECT_NEAR(f.right, files.right + dx, 1) << "dx " << dx;
  }
}

TEST(PageSizeTest, MinimumAndOpeningSizes) {
  struct Case {
    ScreenSize preferred;
    ScreenSize stored;  // logical
    int dpi;
    ScreenSize minimum, opening;
  } cases[] = {
      // A page that fits 1280 x 672 cannot be made smaller than its template.
      {{800, 560}, {}, 96, {800, 560}, {800, 560}},
      // The finder's and product manager's pages: taller than 672 logical pixels.
      {{906, 680}, {}, 96, {906, 672}, {906, 680}},
      {{1359, 1010}, {}, 144, {1359, 1008}, {1359, 1010}},
      {{1812, 1346}, {}, 192, {1812, 1344}, {1812, 1346}},
      // A stored size, in logical pixels, is taken at the page's scale.
      {{906, 680}, {1000, 700}, 96, {906, 672}, {1000, 700}},
      {{1359, 1010}, {1000, 700}, 144, {1359, 1008}, {1500, 1050}},
      // ... but never below the minimum.
      {{906, 680}, {400, 300}, 96, {906, 672}, {906, 672}},
      {{906, 680}, {0, 700}, 96, {906, 672}, {906, 680}},  // half a size is none
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MinimumPageSize(c.preferred, c.dpi), c.minimum) << c.preferred.cx << " at " << c.dpi;
    EXPECT_EQ(OpeningPageSize(c.preferred, c.stored, c.dpi), c.opening)
        << c.preferred.cx << " stored " << c.stored.cx << " at " << c.dpi;
  }
}

TEST(DpiScaleTest, RoundsToTheNearestPixelBothWays) {
  struct Case {
    int value, from, to, expected;
  } cases[] = {
      {100, 96, 144, 150},   {101, 96, 144, 152},  // 151.5 rounds up
      {-101, 96, 144, -152}, {7, 96, 120, 9},      // 8.75
      {1280, 96, 192, 2560}, {2560, 192, 96, 1280}, {3, 144, 96, 2},
      {55, 96, 96, 55},      {55, 0, 96, 55},  // no scale known: unchanged
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScaleForDpi(c.value, c.from, c.to), c.expected)
        << c.value << " from " << c.from << " to " << c.to;
  }
  EXPECT_EQ(ScaleForDpi(ScreenRect{-10, 20, 30, 41}, 96, 144), (ScreenRect{-15, 30, 45, 62}));
}

TEST(ColumnWidthTest, ColumnsKeepTheirShareAndFillTheSameWidth) {
  struct Case {
    std::vector<int> widths;
    int oldWidth, newWidth;
    std::vector<int> expected;
  } cases[] = {
      {{100, 200, 100}, 400, 800, {200, 400, 200}},
      {{100, 200, 100}, 400, 200, {50, 100, 50}},
      {{33, 33, 33}, 100, 200, {66, 66, 66}},
      {{50, 50, 50}, 150, 100, {33, 33, 34}},  // the rounding does not pile up at the right
      {{100, 100}, 300, 600, {200, 200}},      // a spare third stays spare
      {{10, 20}, 0, 500, {10, 20}},            // no width known: unchanged
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScaleColumnWidths(c.widths, c.oldWidth, c.newWidth), c.expected)
        << c.oldWidth << " -> " << c.newWidth;
  }
  // Scaled there and back, the columns come back within a pixel each.
  const std::vector<int> widths{87, 174, 87, 60, 120};
  const std::vector<int> there = ScaleColumnWidths(widths, 522, 811);
  const std::vector<int> back = ScaleColumnWidths(there, 811, 522);
  for (size_t i = 0; i < widths.size(); ++i) EXPECT_NEAR(back[i], widths[i], 1) << i;
  EXPECT_EQ(std::accumulate(there.begin(), there.end(), 0), 528 * 811 / 522);
}

}  // namespace
}  // namespace tessaly
