#pragma once

#include <string>

#include "harness/fd.h"

namespace scalecheck::sim {

// One simulator per --pty path. The lock is an flock on a file beside the
// link (PATH.lock) held for the simulator's whole run. The kernel lets go of
// it when the process ends, however it ends, so a link left behind by a
// killed simulator is free to take over, while one a running simulator
// serves is not. (Looking at the link's own terminal cannot tell: a gone
// simulator's /dev/pts number is soon reused by an unrelated terminal.)
class PortLock {
 public:
  PortLock() = default;
  // Removes the lock file, then lets go of the lock.
  ~PortLock();
  PortLock(PortLock&& other) noexcept = default;
  PortLock& operator=(PortLock&& other) = delete;

  // Takes the lock for `linkPath`, whose folder exists. False, with `error`
  // set, when another simulator holds it or the lock file cannot be made.
  bool take(const std::string& linkPath, std::string& error);

 private:
  bool lockOpenFile(const std::string& linkPath, std::string& error);

  harness::Fd file_;
  std::string path_;
};

}  // namespace scalecheck::sim
