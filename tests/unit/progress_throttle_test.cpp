// The progress throttle: the first report and then at most one per interval.
#include "app/ui/progress_throttle.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessaly {
namespace {

TEST(ProgressThrottleTest, LetsTheFirstReportAndThenOnePerIntervalThrough) {
  const struct {
    const char* name;
    uint64_t interval;
    std::vector<uint64_t> ticks;
    std::vector<bool> due;
  } cases[] = {
      {"the first passes even at tick 0", 30, {0, 1, 29, 30}, {true, false, false, true}},
      {"measured from the last shown, not the last asked",
       50,
       {1000, 1040, 1049, 1050, 1099, 1100},
       {true, false, false, true, false, true}},
      {"a long pause lets the next one through", 30, {5, 500, 501}, {true, true, false}},
      {"no interval lets every report through", 0, {7, 7, 8}, {true, true, true}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CProgressThrottle throttle(c.interval);
    std::vector<bool> due;
    for (uint64_t tick : c.ticks) due.push_back(throttle.Due(tick));
    EXPECT_EQ(due, c.due);
  }
}

}  // namespace
}  // namespace tessaly
