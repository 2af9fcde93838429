#pragma once

// Windows only: the conversion between CommState and the DCB it mirrors,
// shared by the serial port and its tests.

#include <windows.h>

#include "platform/serial_port.h"

namespace scalecheck::platform {

DCB commStateToDcb(const CommState& state);
CommState dcbToCommState(const DCB& dcb);

}  // namespace scalecheck::platform
