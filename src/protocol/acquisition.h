#pragma once

#include "link/scale_link.h"
#include "link/weight_reading.h"

namespace scalecheck {

// Obtains one reading, finding out afresh how the scale talks: frames it
// sends on its own, else the two-step request (ENQ, ACK, DC1, frame), else
// the combined request (ENQ DC1, frame). True with a copy of the link's new
// last reading in `out` and the raw frame appended to "#DeviceIO". False
// leaves `out` alone, the last reading cleared, and the cause pending in the
// link (LinkError 10 unless another code was pending already).
bool pollReading(ScaleLink& link, WeightReading& out);

}  // namespace scalecheck
