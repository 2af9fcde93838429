#pragma once

#include <string>
#include <vector>

namespace scalecheck::platform {

// Where a port name that is neither a COM name nor a path leads: the names
// --list shows for a device (ttyUSB0, a name of /dev/serial/by-id).
struct PortNameLookup {
  std::string device;               // what the name leads to; empty when nothing
  std::vector<std::string> places;  // where it was looked for, in order
};
PortNameLookup lookUpPortName(const std::string& name);

// True when `device` is the terminal the program itself runs on, whatever
// its name (/dev/tty, /dev/pts/N, /dev/stdout, CON on Windows): requests
// sent there would land on the operator's own screen.
bool isOwnTerminal(const std::string& device);

// The folder $SCALECHECK_PORT_DIR names, when it is set but is no folder:
// COM numbers are then not mapped. Empty otherwise, and always on Windows.
std::string missingPortFolder();

}  // namespace scalecheck::platform
