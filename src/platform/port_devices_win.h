#pragma once

#include <vector>

#include "platform/port_list.h"

namespace scalecheck::platform {

// The present devices of the Ports class (SetupAPI), each with the port
// name its driver entered and its friendly name; empty where the system
// has none or cannot tell.
std::vector<PortDevice> presentPortDevices();

}  // namespace scalecheck::platform
