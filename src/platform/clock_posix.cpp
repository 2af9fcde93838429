#include <sched.h>
#include <time.h>

#include <cerrno>
#include <cstdint>

#include "platform/clock.h"
#include "platform/monotonic_posix.h"

namespace scalecheck::platform {
namespace {

class PosixClock : public Clock {
 public:
  std::uint32_t tickCount() override { return static_cast<std::uint32_t>(monotonicMilliseconds()); }
  std::uint64_t tickCount64() override { return monotonicMilliseconds(); }

  void sleep(std::uint32_t milliseconds) override {
    if (milliseconds == 0) {
      // Ignored: where yielding is not supported the call simply returns,
      // as Sleep(0) does when no other thread is ready.
      static_cast<void>(sched_yield());
      return;
    }
    // Until the millisecond counter has moved on by `milliseconds`, as it
    // does on Windows, where Sleep ends on a tick of the timer. Every limit
    // of the program is measured on that counter: a sleep that ends just as
    // the counter reaches its mark keeps a schedule of many sleeps exact,
    // where a fixed span from some moment within a millisecond would be up
    // to a millisecond late each time. clock_nanosleep returns its error
    // instead of setting errno: EINTR when a signal came first, and the
    // sleep then goes on to the same moment (EINVAL cannot come from these
    // values).
    const std::uint64_t until = monotonicMilliseconds() + milliseconds;
    const timespec mark{static_cast<time_t>(until / 1000U),
                        static_cast<long>(until % 1000U) * 1000000L};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &mark, nullptr) == EINTR) {
    }
  }

  CalendarTime localTime() override {
    // The wall clock to the millisecond, as GetLocalTime gives it. Should
    // it or the conversion fail, the stamp shows the epoch rather than
    // garbage.
    timespec now{};
    tm local{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0 || localtime_r(&now.tv_sec, &local) == nullptr) {
      return CalendarTime{1970, 1, 1, 0, 0, 0, 0};
    }
    return CalendarTime{local.tm_year + 1900,
                        local.tm_mon + 1,
                        local.tm_mday,
                        local.tm_hour,
                        local.tm_min,
                        local.tm_sec,
                        static_cast<int>(now.tv_nsec / 1000000)};
  }
};

}  // namespace

Clock& systemClock() {
  static PosixClock clock;
  return clock;
}

}  // namespace scalecheck::platform
