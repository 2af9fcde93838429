#pragma once

#include "link/record_file.h"
#include "link/scale_link.h"
#include "platform/clock.h"
#include "platform/console.h"

namespace scalecheck::console {

// Asks the scale for a weight about once a second, shows each reading as a
// line and appends it to the measurement log; a failed poll shows the
// link's error instead. Returns when the operator presses Esc (or asks the
// program to stop by Ctrl+C).
void runPollLoop(ScaleLink& link, platform::Console& console, platform::Clock& clock,
                 RecordFile& measurementLog);

}  // namespace scalecheck::console
