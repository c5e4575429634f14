// CProgressThrottle: lets a stream of progress reports through at most once per interval. A
// worker may report thousands of items a second; showing each would cost the page more time
// painting (and the threads a round trip each) than the work itself.
#pragma once

#include <cstdint>

namespace tessaly {

class CProgressThrottle {
 public:
  explicit constexpr CProgressThrottle(uint64_t intervalMs) : interval_(intervalMs) {}

  // True when the report that comes at `nowMs` (a millisecond tick count, such as
  // GetTickCount64's) is to be shown: the first one, and then each one that comes at least the
  // interval after the last one shown.
  bool Due(uint64_t nowMs) {
    if (shown_ && nowMs - last_ < interval_) return false;
    shown_ = true;
    last_ = nowMs;
    return true;
  }

 private:
  uint64_t interval_;
  uint64_t last_ = 0;
  bool shown_ = false;
};

}  // namespace tessaly
