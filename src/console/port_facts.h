#pragma once

#include <string>
#include <vector>

#include "platform/device_holders.h"
#include "platform/port_list.h"
#include "platform/port_names.h"

namespace scalecheck::console {

// What the program asks the system about serial ports for its messages and
// checks: the ports there are, what is at a name, who holds a device, which
// group would give access, where a port name leads, whether a device is
// the program's own terminal, and a COM mapping folder that is missing. Tests answer with fixed
// facts instead of this machine's.
class PortFacts {
 public:
  virtual ~PortFacts() = default;
  virtual std::vector<platform::PortInfo> listPorts() = 0;
  virtual platform::PortInfo describe(const std::string& device) = 0;
  virtual std::vector<platform::DeviceHolder> holders(const std::string& device) = 0;
  virtual std::string missingGroup(const std::string& device) = 0;
  virtual platform::PortNameLookup lookUpName(const std::string& name) = 0;
  virtual bool isOwnTerminal(const std::string& device) = 0;
  virtual std::string missingPortFolder() = 0;
};

// This system's answers (listSerialPorts, describePort, otherHolders,
// missingGroupFor, lookUpPortName, isOwnTerminal, missingPortFolder).
PortFacts& systemPortFacts();

}  // namespace scalecheck::console
