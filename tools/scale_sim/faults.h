#pragma once

#include <cstdint>
#include <string>

#include "sim_options.h"

namespace scalecheck::sim {

// Random characters for the garbage fault; a fixed seed makes a run
// repeatable.
class GarbageSource {
 public:
  std::string next(std::size_t length);

 private:
  std::uint32_t state_ = 2463534242U;
};

// The frame as the fault makes the scale send it:
//   short    its first kShortFrameLength bytes;
//   no-unit  every g, k or t (either case) after its first digit blanked
//            with a space, so no unit letter follows the number;
//   garbage  as many random printable characters, none of them a digit, CR
//            or LF, so neither a frame end nor a number can be found.
// Other faults leave frames alone.
std::string applyFault(const std::string& frame, Fault fault, GarbageSource& garbage);

}  // namespace scalecheck::sim
