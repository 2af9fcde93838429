#include "console/port_facts.h"

namespace scalecheck::console {
namespace {

class SystemPortFacts final : public PortFacts {
 public:
  std::vector<platform::PortInfo> listPorts() override { return platform::listSerialPorts(); }
  platform::PortInfo describe(const std::string& device) override {
    return platform::describePort(device);
  }
  std::vector<platform::DeviceHolder> holders(const std::string& device) override {
    return platform::otherHolders(device);
  }
  std::string missingGroup(const std::string& device) override {
    return platform::missingGroupFor(device);
  }
  platform::PortNameLookup lookUpName(const std::string& name) override {
    return platform::lookUpPortName(name);
  }
  bool isOwnTerminal(const std::string& device) override { return platform::isOwnTerminal(device); }
  std::string missingPortFolder() override { return platform::missingPortFolder(); }
};

}  // namespace

PortFacts& systemPortFacts() {
  static SystemPortFacts facts;
  return facts;
}

}  // namespace scalecheck::console
