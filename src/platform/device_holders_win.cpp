#include "platform/device_holders.h"

namespace scalecheck::platform {

// Windows tells who holds a port only through a kernel handle dump or a
// debugging tool; the message then says "another program" without a name.
std::vector<DeviceHolder> otherHolders(const std::string& /*device*/) {
  return {};
}

// A port's access is not a matter of groups on Windows.
std::string missingGroupFor(const std::string& /*device*/) {
  return "";
}

}  // namespace scalecheck::platform
