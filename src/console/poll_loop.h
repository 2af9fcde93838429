#pragma once

#include "link/record_file.h"
#include "link/scale_link.h"
#include "platform/clock.h"
#include "platform/console.h"

namespace scalecheck::console {

// What the loop looks at after each 24 ms step: true when the operator
// asked to leave. Reads every key waiting (up to a bound per step), so that
// an Esc among keys pasted in a burst acts at once; true also on Ctrl+C or
// when the terminal has gone, since then no Esc can ever come.
bool leaveRequested(platform::Console& console);

// Asks the scale for a weight about once a second, shows each reading as a
// line and appends it to the measurement log; a failed poll shows the
// link's error instead. Returns when the operator presses Esc (or asks the
// program to stop by Ctrl+C, or the terminal has gone).
void runPollLoop(ScaleLink& link, platform::Console& console, platform::Clock& clock,
                 RecordFile& measurementLog);

}  // namespace scalecheck::console
