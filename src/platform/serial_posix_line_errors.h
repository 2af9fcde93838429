#pragma once

#include <cstdint>

namespace scalecheck::platform {

// The line errors a Linux driver counts for a port (TIOCGICOUNT), turned
// into the error word of the status query as ClearCommError reports it:
// each kind that occurred since the previous look. Pseudo-terminals and
// many USB adapters keep no counts (ENOTTY, EINVAL): they report none.
class LineErrorCounter {
 public:
  // Errors from before the port was opened are not this program's: the
  // counts seen now are where the first look starts.
  explicit LineErrorCounter(int fd);

  // kCommError* bits for the kinds whose counts grew since the last look.
  std::uint32_t errorsSinceLastLook(int fd);

 private:
  struct Counts {
    int overrun = 0;
    int parity = 0;
    int frame = 0;
    int breaks = 0;
  };
  bool read(int fd, Counts& counts);

  bool driverCounts_ = true;
  Counts last_;
};

}  // namespace scalecheck::platform
