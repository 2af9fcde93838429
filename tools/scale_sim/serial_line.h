#pragma once

#include <cstdint>
#include <string>

#include "sim_options.h"

namespace scalecheck::sim {

// Puts the terminal `fd` in raw mode with the line format and speed, no
// flow control, modem lines ignored and both queues emptied. A serial device needs a speed its
// driver knows (`needsSpeed`); a pseudo-terminal has no line, so an unknown speed is left alone
// there. False, with `error` set, when the driver refuses.
bool configureSerialLine(int fd, LineFormat format, std::uint32_t baud, bool needsSpeed,
                         std::string& error);

// "what: strerror(errno)" for the error of the OS call just made.
std::string systemError(const std::string& what);

}  // namespace scalecheck::sim
