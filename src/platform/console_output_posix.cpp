#include "platform/console_output_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>

#include "platform/console_terminal_posix.h"
#include "platform/monotonic_posix.h"

namespace scalecheck::platform {
namespace {

// An output that takes nothing for this long is held up for good as far as
// the run is concerned: its reader has stopped reading (a hung ssh client,
// a pager left at its prompt, a terminal frozen by Ctrl+S while an answer
// is typed). One second is the poll loop's own period, so a reading is
// delayed by at most that; its text is dropped, the log still has it.
constexpr int kOutputBoundMs = 1000;
// Bytes written at a time. A stream kept blocking is written only
// when poll reports room, and a terminal or pipe that does has room for
// this much.
constexpr std::size_t kChunk = 256;

// A description of the stream `fd` of this process's own, non-blocking, so
// that a write returns when the stream cannot take the bytes, while the one
// shared with the shell stays as it is. Only for a terminal or a pipe: a
// file never holds a write up, and reopened it would be written from its
// start. Where the reopen fails (EACCES for a terminal of another user,
// ENXIO for a pipe without reader, ENOENT without /proc), the stream itself
// is written.
int openOwnDescription(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return -1;
  if (!S_ISCHR(info.st_mode) && !S_ISFIFO(info.st_mode)) return -1;
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  return ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

}  // namespace

BoundedOutput::BoundedOutput(int fd, int wakeFd)
    : fd_(openOwnDescription(fd)), ownFd_(fd_ >= 0), wakeFd_(wakeFd) {
  if (!ownFd_) fd_ = fd;
}

BoundedOutput::~BoundedOutput() {
  if (ownFd_) ::close(fd_);
}

void BoundedOutput::write(const char* bytes, std::size_t size) {
  heldUp_ = !writeWithin(bytes, size, heldUp_ ? 0 : kOutputBoundMs);
}

// False when the output did not take all of the bytes: held up past the
// bound, gone (EPIPE, EIO), or a stop was requested meanwhile.
bool BoundedOutput::writeWithin(const char* bytes, std::size_t size, int boundMs) const {
  const std::uint64_t until = monotonicMilliseconds() + static_cast<std::uint64_t>(boundMs);
  std::size_t done = 0;
  while (done < size) {
    if (!ownFd_ && !awaitRoom(until)) return false;
    // EAGAIN: no room now. EPIPE or EIO: the reader has gone.
    const ssize_t written = ::write(fd_, bytes + done, std::min(size - done, kChunk));
    if (written > 0) {
      done += static_cast<std::size_t>(written);
      continue;
    }
    const bool again = written < 0 && ((errno == EINTR && !console_terminal::stopRequested()) ||
                                       (errno == EAGAIN && awaitRoom(until)));
    if (!again) return false;
  }
  return true;
}

// Waits until the output has room, at most until `untilMs` on the monotonic
// clock; false after that. Once a stop is requested it no longer waits, but
// an output with room still gets the text (the program's last words).
// Another signal, such as a resized window, does not end the wait.
bool BoundedOutput::awaitRoom(std::uint64_t untilMs) const {
  pollfd watched[2] = {{fd_, POLLOUT, 0}, {wakeFd_, POLLIN, 0}};
  const nfds_t count = wakeFd_ >= 0 ? 2 : 1;
  for (;;) {
    const std::uint64_t now = monotonicMilliseconds();
    const int waitMs =
        console_terminal::stopRequested() || now >= untilMs ? 0 : static_cast<int>(untilMs - now);
    const int ready = ::poll(watched, count, waitMs);
    if (ready < 0 && errno == EINTR && waitMs > 0) continue;
    return ready > 0 && watched[0].revents != 0;
  }
}

}  // namespace scalecheck::platform
