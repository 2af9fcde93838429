#pragma once

#include <cstdint>

#include "fakes/virtual_clock.h"

namespace scalecheck::testing {

// A virtual clock whose every sleep runs past its time, as sleeps do on a
// busy machine.
class OversleepingClock : public VirtualClock {
 public:
  std::uint32_t overshootMs = 1;

  void sleep(std::uint32_t milliseconds) override {
    VirtualClock::sleep(milliseconds);
    if (milliseconds > 0) advanceBy(overshootMs);
  }
};

}  // namespace scalecheck::testing
