#include "harness/fd_io.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace scalecheck::harness {

bool makePipe(Fd& readEnd, Fd& writeEnd) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  readEnd.reset(ends[0]);
  writeEnd.reset(ends[1]);
  return true;
}

bool readSome(int fd, std::string& into, int timeoutMs, std::size_t most) {
  pollfd watch{fd, POLLIN, 0};
  // A signal that came first is no failure: the caller looks again.
  const int ready = ::poll(&watch, 1, timeoutMs);
  if (ready < 0) return errno == EINTR;
  if (ready == 0) return true;
  char buffer[1024];
  const ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, most));
  if (got > 0) into.append(buffer, static_cast<std::size_t>(got));
  return got > 0 || (got < 0 && errno == EINTR);
}

bool readUntil(int fd, std::string& into, const Deadline& deadline,
               const std::function<bool(const std::string&)>& done) {
  while (!done(into)) {
    if (deadline.passed() || !readSome(fd, into, deadline.remainingMs())) return false;
  }
  return true;
}

bool nextLine(int fd, std::string& unread, const Deadline& deadline, std::string& line) {
  const auto whole = [](const std::string& text) { return text.find('\n') != std::string::npos; };
  if (!readUntil(fd, unread, deadline, whole)) return false;
  const std::size_t end = unread.find('\n');
  line = unread.substr(0, end);
  unread.erase(0, end + 1);
  return true;
}

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    // A reader that has gone fails the write with EPIPE where SIGPIPE is
    // ignored.
    const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace scalecheck::harness
