#include "fd_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace scalecheck::sim {

bool makeNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) return false;
  return fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

ReadResult readAvailable(int fd, std::string& bytes) {
  char buffer[256];
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
  // What the queue does not take now (EAGAIN: nobody reads) is lost, as on
  // a real line.
  const ssize_t written = ::write(fd, bytes.data(), bytes.size());
  static_cast<void>(written);
}

}  // namespace scalecheck::sim
