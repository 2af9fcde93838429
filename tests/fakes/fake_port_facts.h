#pragma once

#include <map>
#include <string>
#include <vector>

#include "console/port_facts.h"

namespace scalecheck::testing {

// Fixed facts about the serial ports, instead of this machine's.
class FakePortFacts : public console::PortFacts {
 public:
  std::vector<platform::PortInfo> listPorts() override { return ports; }
  platform::PortInfo describe(const std::string& device) override {
    platform::PortInfo port;
    port.name = port.device = device;
    return port;
  }
  std::vector<platform::DeviceHolder> holders(const std::string& device) override {
    return holdersOf[device];
  }
  std::string missingGroup(const std::string& /*device*/) override { return group; }
  platform::PortNameLookup lookUpName(const std::string& name) override {
    const auto found = named.find(name);
    return {found != named.end() ? found->second : "", {}};
  }
  bool isOwnTerminal(const std::string& device) override { return device == "/dev/tty"; }
  std::string missingPortFolder() override { return missingFolder; }

  std::vector<platform::PortInfo> ports;
  std::map<std::string, std::vector<platform::DeviceHolder>> holdersOf;
  std::string group;
  std::map<std::string, std::string> named;  // port name to the device it leads to
  std::string missingFolder;
};

}  // namespace scalecheck::testing
