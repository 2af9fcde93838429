#pragma once

#include <string>
#include <vector>

namespace scalecheck::platform {

// A process that has a device open.
struct DeviceHolder {
  int pid = 0;
  std::string name;  // its command name as the system gives it; empty when unknown
};

// The processes other than this one that have `device` open, by process id.
// Linux looks through /proc and skips what it may not read (other users'
// processes, unless run as root); a process that also holds the master end
// of a pseudo-terminal is its other side, not another reader, and is left
// out. Windows has no cheap way to tell: none.
std::vector<DeviceHolder> otherHolders(const std::string& device);

// The group whose members may open `device`, when this user is not one of
// them and joining would give access; empty otherwise, and on Windows.
// Membership is that of this login session, so a group joined since then
// but not yet in force counts as missing.
std::string missingGroupFor(const std::string& device);

}  // namespace scalecheck::platform
