#pragma once

#include <cstddef>
#include <string>

#include "harness/deadline.h"
#include "harness/fd.h"

namespace scalecheck::harness {

// A new pseudo-terminal. Both ends close on exec, so no child inherits one
// it was not given.
struct Pty {
  Fd master;                 // the device's (or the operator's) side
  Fd terminal;               // the side a program opens as its port or terminal
  std::string terminalPath;  // /dev/pts/N
};
bool openPty(Pty& pty);

// A pseudo-terminal whose master side the caller plays (a device, or an
// operator's terminal); the code under test opens the terminal side by its
// path. The pair holds that side too, unused, for its whole life: the
// kernel hands a freed pty number to the next openpty of any process, and
// the path must never come to lead to another test's terminal, not even
// after the master has gone.
class PtyPair {
 public:
  PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return pty_.master.valid(); }
  int master() const { return pty_.master.get(); }
  const std::string& slavePath() const { return pty_.terminalPath; }

  bool send(const std::string& bytes) const;

  // Up to `count` bytes that the terminal side wrote, waiting for them at
  // most until `deadline`.
  std::string receive(std::size_t count, const Deadline& deadline = Deadline()) const;

  // The other end goes away, as a pulled USB adapter does: the terminal
  // is hung up and its path vanishes, but its number stays taken.
  void closeMaster() { pty_.master.reset(); }

 private:
  Pty pty_;
};

}  // namespace scalecheck::harness
