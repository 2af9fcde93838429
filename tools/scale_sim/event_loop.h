#pragma once

#include "activity_log.h"
#include "endpoint.h"
#include "signals.h"
#include "simulator.h"

namespace scalecheck::sim {

// Runs the scale until quit (a command or a signal) or until the link
// fails. Waits in ppoll() for input, a signal or the next byte's deadline;
// never spins. Returns the exit status: 0, or 1 when the link failed.
int runEventLoop(Endpoint& endpoint, Simulator& simulator, SignalRequests& signals,
                 ActivityLog& log);

}  // namespace scalecheck::sim
