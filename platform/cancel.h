// CancelFlag: the one cancel token of every worker and engine. Another thread sets it to non-zero
// to ask the work to stop; the work polls it and returns soon after. It is an int rather than a
// bool because the system's file copy (CopyFileExW) reads the same flag through a BOOL*.
// CancelToken: how work that can be stopped is handed its flag, or kNeverCancelled.
#pragma once

#include <atomic>
#include <cstddef>

namespace tessaly {

using CancelFlag = std::atomic<int>;
static_assert(sizeof(CancelFlag) == sizeof(int) && CancelFlag::is_always_lock_free,
              "the copy routine reads the cancel flag as an int");

// True once `flag` has been set. Relaxed: the flag orders nothing, it only asks to stop.
inline bool StopRequested(const CancelFlag& flag) {
  return flag.load(std::memory_order_relaxed) != 0;
}

// The cancel parameter of work that can be stopped: a caller's flag, or none at all. Passed by
// value; a flag converts to it, so a call reads `cancel_` or `kNeverCancelled`, never a null.
class CancelToken {
 public:
  constexpr CancelToken() = default;                               // never cancelled
  constexpr CancelToken(const CancelFlag& flag) : flag_(&flag) {}  // NOLINT: a flag is a token
  CancelToken(std::nullptr_t) = delete;                            // "no flag" is kNeverCancelled

  bool Requested() const { return flag_ != nullptr && StopRequested(*flag_); }
  // The flag itself for the system's copy, which polls it while it copies; null for none.
  const CancelFlag* Flag() const { return flag_; }

 private:
  const CancelFlag* flag_ = nullptr;
};

// Work handed this token always runs to its end.
inline constexpr CancelToken kNeverCancelled{};

}  // namespace tessaly
