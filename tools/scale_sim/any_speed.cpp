#include "any_speed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace scalecheck::sim {

bool setAnySpeed(int fd, std::uint32_t baud) {
  termios2 settings{};
  if (ioctl(fd, TCGETS2, &settings) != 0) return false;
  settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  settings.c_ispeed = baud;
  settings.c_ospeed = baud;
  return ioctl(fd, TCSETS2, &settings) == 0;
}

bool readSpeedAndStopBits(int fd, std::uint32_t& baud, std::uint8_t& stopBits) {
  termios2 settings{};
  // The kernel keeps c_ospeed as a number whichever way the rate was set.
  if (ioctl(fd, TCGETS2, &settings) != 0) return false;
  baud = settings.c_ospeed;
  stopBits = (settings.c_cflag & CSTOPB) != 0 ? 2 : 1;
  return true;
}

}  // namespace scalecheck::sim
