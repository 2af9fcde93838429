#pragma once

#include "link/scale_link.h"
#include "link/weight_reading.h"
#include "protocol/poll_report.h"

namespace scalecheck {

// Which ways a poll tries: all of them, as every poll of a run does, or
// only listening or only asking, as a scan of line settings does.
enum class PollWays : std::uint8_t {
  kAll,           // the stream, then the two-step and the combined request
  kStreamOnly,    // listening for frames the scale sends on its own
  kRequestsOnly,  // the two-step request, then the combined one
};

// Obtains one reading, finding out how the scale talks: frames it sends on
// its own, else the two-step request (ENQ, ACK, DC1, frame), else the
// combined request (ENQ DC1, frame). A scale found to stream is listened for
// by later polls, not asked. True with a copy of the link's new last reading
// in `out` and the raw frame appended to "#DeviceIO". False leaves `out`
// alone, the last reading cleared, and the code pending in the link
// (LinkError 10 unless another code was pending already).
bool pollReading(ScaleLink& link, WeightReading& out);
// The same, with what the poll heard and why it failed in `report`. A link
// with a stop check gives the poll up at its next wait once the check says
// so: the poll then fails with what it heard so far.
bool pollReading(ScaleLink& link, WeightReading& out, PollReport& report,
                 PollWays ways = PollWays::kAll);

}  // namespace scalecheck
