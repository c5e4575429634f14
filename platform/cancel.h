// CancelFlag: the one cancel token of every worker and engine. Another thread sets it to non-zero
// to ask the work to stop; the work polls it and returns soon after. It is an int rather than a
// bool because the system's file copy (CopyFileExW) reads the same flag through a BOOL*.
#pragma once

#include <atomic>

namespace tessaly {

using CancelFlag = std::atomic<int>;
static_assert(sizeof(CancelFlag) == sizeof(int) && CancelFlag::is_always_lock_free,
              "the copy routine reads the cancel flag as an int");

// True once `flag` has been set. Relaxed: the flag orders nothing, it only asks to stop.
inline bool StopRequested(const CancelFlag& flag) {
  return flag.load(std::memory_order_relaxed) != 0;
}

}  // namespace tessaly
