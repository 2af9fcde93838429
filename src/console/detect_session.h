#pragma once

#include "console/polling_session.h"
#include "console/port_facts.h"
#include "link/scale_link.h"
#include "platform/console.h"

namespace scalecheck::console {

// A scan for the settings at which the link's scale answers: the link
// opened (or why not), one line per setting tried, then the settings
// found with the reading they gave and the command that polls with them,
// or what was heard; Esc or Ctrl+C ends the scan with what was learnt.
// The link is closed at the end. kReadings when settings were found.
SessionEnd runDetectSession(ScaleLink& link, platform::Console& console, PortFacts& ports);

}  // namespace scalecheck::console
