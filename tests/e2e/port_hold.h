#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <string>

namespace scalecheck::e2e {

// How a serial device is held by whoever opened it: the program takes its
// port with an advisory lock and the terminal's exclusive mode, and must
// give up both, or the next program (or the next run) finds it taken.
struct PortHold {
  bool exclusive = false;  // TIOCEXCL in force
  bool locked = false;     // an flock held elsewhere
};

inline PortHold holdOf(const std::string& device) {
  PortHold hold;
  // A refused open (EBUSY) means exclusive mode; root, as on CI, gets
  // through and reads the flag instead.
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    hold.exclusive = true;
    return hold;
  }
  int exclusive = 0;
  hold.exclusive = ioctl(fd, TIOCGEXCL, &exclusive) != 0 || exclusive != 0;
  // The lock taken here goes with the descriptor.
  hold.locked = flock(fd, LOCK_EX | LOCK_NB) != 0;
  ::close(fd);
  return hold;
}

// The line discipline settings of a terminal, read through its slave side.
inline bool terminalSettings(const std::string& terminal, termios& settings) {
  const int fd = ::open(terminal.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool read = tcgetattr(fd, &settings) == 0;
  ::close(fd);
  return read;
}

}  // namespace scalecheck::e2e
