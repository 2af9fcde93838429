#pragma once

// Windows only: the conversion between CommState and the DCB it mirrors,
// shared by the serial port and its tests.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/serial_port.h"

namespace scalecheck::platform {

DCB commStateToDcb(const CommState& state);
CommState dcbToCommState(const DCB& dcb);

}  // namespace scalecheck::platform
