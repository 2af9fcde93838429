#include "harness/pty.h"

#include <fcntl.h>
#include <pty.h>

#include "harness/fd_io.h"

namespace scalecheck::harness {

bool openPty(Pty& pty) {
  int master = -1;
  int terminal = -1;
  char name[128] = {};
  if (openpty(&master, &terminal, name, nullptr, nullptr) != 0) return false;
  pty.master.reset(master);
  pty.terminal.reset(terminal);
  pty.terminalPath = name;
  return fcntl(master, F_SETFD, FD_CLOEXEC) == 0 && fcntl(terminal, F_SETFD, FD_CLOEXEC) == 0;
}

PtyPair::PtyPair() {
  if (!openPty(pty_)) pty_.master.reset();
}

bool PtyPair::send(const std::string& bytes) const {
  return writeAll(pty_.master.get(), bytes);
}

std::string PtyPair::receive(std::size_t count, const Deadline& deadline) const {
  std::string got;
  while (got.size() < count && !deadline.passed() &&
         readSome(pty_.master.get(), got, deadline.remainingMs(), count - got.size())) {
  }
  return got;
}

}  // namespace scalecheck::harness
