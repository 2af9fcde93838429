#pragma once

#include <time.h>

#include <chrono>
#include <cstdint>
#include <functional>

#include "harness/deadline.h"
#include "harness/pty.h"

namespace scalecheck::posix_test {

// Bound of every wait in these tests: only ever reached when something is
// broken, never what a test measures.
constexpr int kSafetyMs = 10000;

// A pseudo-terminal: the test plays the device (or the operator's
// terminal) on the master side; the code under test opens the slave path.
using harness::PtyPair;

// Checks `condition` until it holds or the safety bound passes; `pause`
// waits between checks (on the device under test where there is one).
inline bool eventually(const std::function<bool()>& condition, const std::function<void()>& pause) {
  const harness::Deadline deadline(kSafetyMs);
  while (!condition()) {
    if (deadline.passed()) return false;
    pause();
  }
  return true;
}

inline void pauseOneMs() {
  timespec pause{0, 1000000L};
  nanosleep(&pause, nullptr);
}

inline std::int64_t elapsedMs(std::chrono::steady_clock::time_point since) {
  return harness::millisecondsSince(since);
}

}  // namespace scalecheck::posix_test
