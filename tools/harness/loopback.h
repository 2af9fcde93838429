#pragma once

#include "harness/fd.h"

namespace scalecheck::harness {

// A TCP socket bound to 127.0.0.1 on a port the system picks, so that
// callers running side by side never collide; listening when asked (bound
// but not listening, the port refuses connections and no one else takes
// it). Sets `port`; the descriptor is invalid when the system refuses.
Fd bindLoopback(bool listening, int& port);

// A connection to 127.0.0.1:`port`, made blocking; invalid when refused.
Fd connectLoopback(int port);

}  // namespace scalecheck::harness
