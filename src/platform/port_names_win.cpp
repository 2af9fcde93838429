#include <windows.h>

#include "platform/port_names.h"

namespace scalecheck::platform {

// Windows opens ports by their COM names, which the command line reads
// itself; no other name leads to a port.
PortNameLookup lookUpPortName(const std::string& /*name*/) {
  return {};
}

// The console's own device names, in any case, also in the device
// namespace.
bool isOwnTerminal(const std::string& device) {
  const std::string name = device.rfind("\\\\.\\", 0) == 0 ? device.substr(4) : device;
  for (const char* console : {"CON", "CONIN$", "CONOUT$"}) {
    if (lstrcmpiA(name.c_str(), console) == 0) return true;
  }
  return false;
}

std::string missingPortFolder() {
  return "";
}

}  // namespace scalecheck::platform
