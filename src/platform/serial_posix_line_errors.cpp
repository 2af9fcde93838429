#include "platform/serial_posix_line_errors.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "platform/serial_port.h"

namespace scalecheck::platform {

LineErrorCounter::LineErrorCounter(int fd) {
  read(fd, last_);
}

std::uint32_t LineErrorCounter::errorsSinceLastLook(int fd) {
  Counts now;
  if (!read(fd, now)) return 0;
  std::uint32_t errors = 0;
  if (now.overrun != last_.overrun) errors |= kCommErrorOverrun;
  if (now.parity != last_.parity) errors |= kCommErrorParity;
  if (now.frame != last_.frame) errors |= kCommErrorFrame;
  if (now.breaks != last_.breaks) errors |= kCommErrorBreak;
  last_ = now;
  return errors;
}

bool LineErrorCounter::read(int fd, Counts& counts) {
  if (!driverCounts_) return false;
  serial_icounter_struct driver{};
  // The counts run from the driver's start. ENOTTY or EINVAL: the driver
  // keeps none, and never will; anything else (EIO after a hang-up) the
  // status query reports itself.
  if (ioctl(fd, TIOCGICOUNT, &driver) != 0) {
    if (errno == ENOTTY || errno == EINVAL) driverCounts_ = false;
    return false;
  }
  // The UART's own overruns and those of the driver's buffer look the same
  // to the reader: bytes lost.
  counts = Counts{driver.overrun + driver.buf_overrun, driver.parity, driver.frame, driver.brk};
  return true;
}

}  // namespace scalecheck::platform
