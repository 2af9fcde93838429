#pragma once

#include <cstdint>

namespace scalecheck::platform {

// Local calendar time, as the measurement log (to the second) and the
// events of a run (to the millisecond) stamp it.
struct CalendarTime {
  int year = 0;   // four digits
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0;
  int second = 0;
  int millisecond = 0;  // 0..999
};

// The millisecond counters and sleeps of the OS. On Windows these are
// GetTickCount, GetTickCount64 and Sleep; elsewhere a monotonic clock stands
// in for them. Elapsed times are always unsigned differences of two ticks, so
// the 32-bit counter may wrap (every 49.7 days) without harm.
class Clock {
 public:
  virtual ~Clock() = default;
  // GetTickCount: milliseconds, wrapping at 2^32.
  virtual std::uint32_t tickCount() = 0;
  // GetTickCount64: milliseconds, never wraps in practice.
  virtual std::uint64_t tickCount64() = 0;
  // Sleep(ms). Sleep(0) gives up the rest of the time slice and returns.
  virtual void sleep(std::uint32_t milliseconds) = 0;
  // The local time of this moment.
  virtual CalendarTime localTime() = 0;
};

// Elapsed milliseconds from `start` to `now` on the wrapping 32-bit counter.
inline std::uint32_t ticksSince(std::uint32_t start, std::uint32_t now) {
  return now - start;
}

}  // namespace scalecheck::platform
