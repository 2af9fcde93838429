#pragma once

#include "console/port_facts.h"
#include "platform/console.h"
#include "platform/services.h"

namespace scalecheck::console {

// The program as operators know it, started without arguments: the banner,
// the two questions (line settings and port), the link opened, readings
// until Esc, the link closed. Every failure is explained and waits for one
// key. Returns the exit status, always 0.
int runDialog(platform::Console& console, platform::Services& services, PortFacts& ports);

// The banner's first lines: the title, its rule and the Esc hint.
void writeTitle(platform::Console& console);

}  // namespace scalecheck::console
