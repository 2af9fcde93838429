#pragma once

#include "link/scale_link.h"
#include "link/weight_reading.h"
#include "protocol/poll_report.h"

namespace scalecheck {

// Obtains one reading, finding out how the scale talks: frames it sends on
// its own, else the two-step request (ENQ, ACK, DC1, frame), else the
// combined request (ENQ DC1, frame). A scale found to stream is listened for
// by later polls, not asked. True with a copy of the link's new last reading
// in `out` and the raw frame appended to "#DeviceIO". False leaves `out`
// alone, the last reading cleared, and the code pending in the link
// (LinkError 10 unless another code was pending already).
bool pollReading(ScaleLink& link, WeightReading& out);
// The same, with what the poll heard and why it failed in `report`.
bool pollReading(ScaleLink& link, WeightReading& out, PollReport& report);

}  // namespace scalecheck
