#pragma once

#include "platform/console.h"
#include "platform/services.h"

namespace scalecheck::console {

// The whole program: the banner, the two questions (line settings and
// port), the link opened, readings until Esc, the link closed. Every failure
// is explained and waits for one key. Returns the exit status, always 0.
int runScaleCheck(platform::Console& console, platform::Services& services);

}  // namespace scalecheck::console
