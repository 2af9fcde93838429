#pragma once

#include <cstdint>
#include <string>

#include "console/port_facts.h"
#include "link/scale_link.h"
#include "platform/console.h"
#include "platform/services.h"

namespace scalecheck::console {

struct SessionOptions {
  std::uint32_t pollLimit = 0;     // polls before the run ends; 0: until Esc or Ctrl+C
  std::string tracePath;           // the trace file; empty for none
  bool readingsOnNewLine = false;  // the readings start on a line of their own
  bool events = false;             // a time-stamped line for each event instead (RunEvents)
};

enum class SessionEnd : std::uint8_t {
  kNotOpened,  // the link could not be opened
  kNoReading,  // it was polled, and no poll gave a reading
  kReadings,   // at least one reading came
};

// One polling run, the same for the dialog and for the command line: the
// link opened; a warning when other programs hold its port; polls until
// Esc, Ctrl+C or the poll limit, each shown (or told as an event) and
// logged, with a line when a data file stops or starts taking records again; the files flushed, the
// records lost counted, one summary line (and, when bytes came that made
// no frame, a line suggesting --detect); the link closed. When the link
// cannot be opened: the usual "cannot connect" line, a line saying why, and the link left
// to the caller, who may wait for a key before it closes it.
SessionEnd runPollingSession(ScaleLink& link, platform::Console& console,
                             platform::Services& services, PortFacts& ports,
                             const SessionOptions& options);

// Opens the link; when it cannot be opened, the usual "cannot connect" line
// and a line saying why, and false.
bool openOrExplain(ScaleLink& link, platform::Console& console, PortFacts& ports);

// What the link reaches, for messages (Windows-1251, the port as typed; the
// trace makes it ASCII): "/dev/ttyUSB0, 9600,None,8,1" or "10.0.0.5:4001 (TCP)".
std::string linkDescription(const ScaleLink& link);

}  // namespace scalecheck::console
