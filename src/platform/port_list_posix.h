#pragma once

#include <string>
#include <vector>

#include "platform/port_list.h"

namespace scalecheck::platform {

// Where Linux tells about its serial ports. Tests point these at a tree of
// their own.
struct PortListRoots {
  std::string sysClassTty = "/sys/class/tty";
  std::string dev = "/dev";
  std::string serialById = "/dev/serial/by-id";
  std::string portDir;  // the folder of COM mappings; empty for none
};

// The real roots, with $SCALECHECK_PORT_DIR as the folder of COM mappings.
PortListRoots systemPortListRoots();

// listSerialPorts, from the given roots.
std::vector<PortInfo> listSerialPorts(const PortListRoots& roots);

}  // namespace scalecheck::platform
