#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace scalecheck::platform {

// The tick counters a limit can run on: GetTickCount (32 bits, wrapping;
// the link's limits) and GetTickCount64 (the poll loop's).
template <typename Tick>
Tick readTicks(Clock& clock);
template <>
inline std::uint32_t readTicks<std::uint32_t>(Clock& clock) {
  return clock.tickCount();
}
template <>
inline std::uint64_t readTicks<std::uint64_t>(Clock& clock) {
  return clock.tickCount64();
}

// A time limit: `limitMs` from the moment it starts. Elapsed time is an
// unsigned difference of two ticks, so the 32-bit counter's wrap does no
// harm. A limit passes when the elapsed time reaches it; a limit written
// as "more than N" is a limit of N + 1.
template <typename Tick>
class BasicDeadline {
 public:
  BasicDeadline(Clock& clock, Tick limitMs)
      : clock_(&clock), start_(readTicks<Tick>(clock)), limit_(limitMs) {}

  Tick elapsed() const { return static_cast<Tick>(readTicks<Tick>(*clock_) - start_); }
  bool passed() const { return elapsed() >= limit_; }
  // What is left of the limit; 0 once it has passed.
  Tick remaining() const {
    const Tick spent = elapsed();
    return spent >= limit_ ? 0 : static_cast<Tick>(limit_ - spent);
  }
  // The same limit, or another, afresh from now: a gap limit after each byte.
  void restart() { start_ = readTicks<Tick>(*clock_); }
  void restart(Tick limitMs) {
    limit_ = limitMs;
    restart();
  }

 private:
  Clock* clock_;
  Tick start_;
  Tick limit_;
};

using Deadline = BasicDeadline<std::uint32_t>;
using Deadline64 = BasicDeadline<std::uint64_t>;

// Sleeps until the counter reaches `tick`, or not at all when it has; at
// most `mostMs` at a time.
template <typename Tick>
void sleepUntil(Clock& clock, Tick tick, Tick mostMs = static_cast<Tick>(~Tick{0})) {
  const Tick left = static_cast<Tick>(tick - readTicks<Tick>(clock));
  // A difference above half the counter's range means the tick has passed.
  if (left != 0 && left < (static_cast<Tick>(~Tick{0}) >> 1)) {
    clock.sleep(static_cast<std::uint32_t>(left < mostMs ? left : mostMs));
  }
}

// Steps of `stepMs` on one schedule from its start: the k-th step ends at
// start + k * step however long each sleep ran, so that the overshoots of
// many short sleeps do not add up.
template <typename Tick>
class BasicStepSchedule {
 public:
  BasicStepSchedule(Clock& clock, Tick stepMs)
      : clock_(&clock), next_(readTicks<Tick>(clock)), step_(stepMs) {}

  // Sleeps until the end of the next step, but never longer than one step
  // at a time: a counter coarser than the step (GetTickCount on Windows
  // moves in jumps of about 15.6 ms, whatever the timer period) would
  // otherwise make every sleep between two jumps longer than the last. A
  // schedule left behind by such a jump catches up without sleeping.
  void sleepToNextStep() {
    next_ = static_cast<Tick>(next_ + step_);
    sleepUntil(*clock_, next_, step_);
  }

 private:
  Clock* clock_;
  Tick next_;
  Tick step_;
};

using StepSchedule = BasicStepSchedule<std::uint32_t>;
using StepSchedule64 = BasicStepSchedule<std::uint64_t>;

}  // namespace scalecheck::platform
