#include "fd_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace scalecheck::sim {

bool makeNonBlocking(int fd) {
  // fcntl F_GETFL: the flags, or -1 with errno; F_SETFL, F_SETFD: 0 or -1.
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return false;
  return fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

ReadResult readAvailable(int fd, std::string& bytes) {
  char buffer[256];
  // read: the count, 0 at the end, or -1 with errno.
  const ssize_t count = ::read(fd, buffer, sizeof buffer);
  if (count > 0) {
    bytes.assign(buffer, static_cast<std::size_t>(count));
    return ReadResult::kData;
  }
  if (count == 0) return ReadResult::kEnd;
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return ReadResult::kNothing;
  return ReadResult::kError;
}

void writeOrDrop(int fd, std::string_view bytes) {
  // write: the count taken, or -1 with errno (EAGAIN: the queue is full,
  // nobody reads). What is not taken now is lost, as on a real line.
  const ssize_t written = ::write(fd, bytes.data(), bytes.size());
  static_cast<void>(written);
}

}  // namespace scalecheck::sim
