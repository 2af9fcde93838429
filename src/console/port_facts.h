#pragma once

#include <string>
#include <vector>

#include "platform/device_holders.h"
#include "platform/port_list.h"

namespace scalecheck::console {

// What the program asks the system about serial ports for its messages: the
// ports there are, what is at a name, who holds a device, and which group
// would give access. Tests answer with fixed facts instead of this
// machine's.
class PortFacts {
 public:
  virtual ~PortFacts() = default;
  virtual std::vector<platform::PortInfo> listPorts() = 0;
  virtual platform::PortInfo describe(const std::string& device) = 0;
  virtual std::vector<platform::DeviceHolder> holders(const std::string& device) = 0;
  virtual std::string missingGroup(const std::string& device) = 0;
};

// This system's answers (listSerialPorts, describePort, otherHolders,
// missingGroupFor).
PortFacts& systemPortFacts();

}  // namespace scalecheck::console
