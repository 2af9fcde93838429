#pragma once

#include <cstdint>
#include <string>

#include "uart_settings.h"

namespace scalecheck::sim {

// Puts the terminal `fd` in raw mode with the line's framing and rate (any
// rate the driver takes), no flow control, modem lines ignored and both
// queues emptied. False, with `error` set, when the driver refuses.
bool configureSerialLine(int fd, const UartSettings& line, std::string& error);

// "what: strerror(errno)" for the error of the OS call just made.
std::string systemError(const std::string& what);

}  // namespace scalecheck::sim
