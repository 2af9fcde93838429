#include "console/port_inspection.h"

namespace scalecheck::console {
namespace {

class SystemPortInspection final : public PortInspection {
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
};

}  // namespace

PortInspection& systemPortInspection() {
  static SystemPortInspection inspection;
  return inspection;
}

}  // namespace scalecheck::console
