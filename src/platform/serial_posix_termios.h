#pragma once

#include <termios.h>

#include <cstdint>

#include "platform/serial_port.h"

namespace scalecheck::platform {

// The part of a DCB image that termios can carry, translated both ways
// without touching a device. Kept apart from the port so the framing that
// reaches the driver can be checked directly: a pseudo-terminal forces CS8
// and no parity, so reading one back proves nothing about 7E1.

// The speed_t for a baud rate, or false when termios has no such standard
// rate (such as 14400, 128000 and 256000, which Windows also offers): such a
// rate is set apart (setAnyRate).
bool baudToSpeed(std::uint32_t baud, speed_t& speed);
// The baud rate of a speed_t; 0 for one outside the table.
std::uint32_t speedToBaud(speed_t speed);

// Applies the DCB's line settings to `settings`: raw mode, receiver on,
// modem status ignored (CLOCAL), speed, data bits, parity, stop bits, parity
// checking, flow control, XON/XOFF characters, and reads that return after
// one byte. A rate outside the standard table leaves the speed as it was,
// for the caller to set apart. False, with `settings` unchanged, for values
// termios cannot express (rate 0, which would hang the line up; 9 data
// bits, RTS toggle, mark or space parity where CMSPAR is missing).
bool commStateToTermios(const CommState& state, termios& settings);

// Fills the line settings of a DCB image from `settings`. The modem-line
// fields (DTR and RTS control) are left to the caller, who knows the lines;
// a rate outside the standard table reads as 0, for the caller to read apart.
void termiosToCommState(const termios& settings, CommState& state);

}  // namespace scalecheck::platform
