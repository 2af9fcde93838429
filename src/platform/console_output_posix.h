#pragma once

#include <cstddef>
#include <cstdint>

namespace scalecheck::platform {

// Standard output or standard error, every write with a bound: text that
// the stream cannot take in time is dropped rather than waited for without
// end.
class BoundedOutput {
 public:
  // `fd` is the stream (STDOUT_FILENO, STDERR_FILENO). `wakeFd` (-1: none)
  // turns readable when a stop is requested, which ends a wait for the
  // stream at once.
  BoundedOutput(int fd, int wakeFd);
  ~BoundedOutput();
  BoundedOutput(const BoundedOutput&) = delete;
  BoundedOutput& operator=(const BoundedOutput&) = delete;

  // Writes the bytes, or as many as the output takes within the bound. Once
  // a text has been dropped, later ones are tried without waiting until the
  // output takes one again, so that a held-up output holds up nothing else.
  void write(const char* bytes, std::size_t size);

 private:
  bool writeWithin(const char* bytes, std::size_t size, int boundMs) const;
  bool awaitRoom(std::uint64_t untilMs) const;

  int fd_;
  bool ownFd_;  // a non-blocking description of this console's own
  int wakeFd_;
  bool heldUp_ = false;
};

}  // namespace scalecheck::platform
