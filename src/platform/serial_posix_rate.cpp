#include "platform/serial_posix_rate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace scalecheck::platform {

bool setAnyRate(int fd, std::uint32_t baud) {
  termios2 settings{};
  if (ioctl(fd, TCGETS2, &settings) != 0) return false;
  settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  settings.c_ispeed = baud;
  settings.c_ospeed = baud;
  return ioctl(fd, TCSETS2, &settings) == 0;
}

bool rateInForce(int fd, std::uint32_t& baud) {
  termios2 settings{};
  // The kernel fills c_ospeed with the rate itself for a standard rate too.
  if (ioctl(fd, TCGETS2, &settings) != 0) return false;
  baud = settings.c_ospeed;
  return true;
}

}  // namespace scalecheck::platform
