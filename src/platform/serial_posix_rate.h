#pragma once

#include <cstdint>

namespace scalecheck::platform {

// A line rate of any value, through the termios2 ioctls (TCSETS2 with
// BOTHER): termios names only a table of standard rates, while drivers take
// any rate there and pick the divisor nearest to it. Kept apart from the
// termios code, whose header clashes with the kernel's <asm/termbits.h>.

// Sets both directions of the line on `fd` to `baud`. False, with errno
// set by the driver, when it refuses.
bool setAnyRate(int fd, std::uint32_t baud);

// The output rate in force on `fd` in bits per second, whatever way it was
// set. False, with errno set, where the system cannot tell.
bool rateInForce(int fd, std::uint32_t& baud);

}  // namespace scalecheck::platform
