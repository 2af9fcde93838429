#pragma once

#include <cstdint>

namespace scalecheck::sim {

// Linux's termios2 calls, which take and give the rate as a number, so that
// rates outside the termios table (12345, 250000) work too. A file of their
// own: <asm/termbits.h> clashes with <termios.h>.

// Sets both rates of terminal `fd` to `baud`, the rest of its settings
// kept. False with errno set when the driver refuses.
bool setAnySpeed(int fd, std::uint32_t baud);

// The output rate and the stop bits (1 or 2) set on terminal `fd`; on a
// pseudo-terminal's master, those the terminal end was given. False with
// errno set when they cannot be read.
bool readSpeedAndStopBits(int fd, std::uint32_t& baud, std::uint8_t& stopBits);

}  // namespace scalecheck::sim
