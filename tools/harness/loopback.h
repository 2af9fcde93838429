#pragma once

#include "harness/fd.h"

namespace scalecheck::harness {

// A TCP socket bound to 127.0.0.1 on a port the system picks, so that
// callers running side by side never collide; listening when asked. Bound
// but not listening, it holds the port: connections to it are refused, and
// no other bind to port 0 or connect takes it, while a program told its
// number may still listen on it (both ask for SO_REUSEADDR, as scale-sim
// does): the way to keep a port across a server's restart. Sets `port`;
// the descriptor is invalid when the system refuses.
Fd bindLoopback(bool listening, int& port);

// A connection to 127.0.0.1:`port`, made blocking; invalid when refused.
Fd connectLoopback(int port);

}  // namespace scalecheck::harness
