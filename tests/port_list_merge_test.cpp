#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/port_list.h"

namespace scalecheck::platform {
namespace {

// "name device [description]" a port, one a line.
std::string listed(const std::vector<PortInfo>& ports) {
  std::string text;
  for (const PortInfo& port : ports) {
    text += port.name + " " + port.device;
    if (!port.description.empty()) text += " [" + port.description + "]";
    text += "\n";
  }
  return text;
}

PortInfo registeredPort(const char* name, const char* device) {
  PortInfo port;
  port.name = name;
  port.device = device;
  return port;
}

TEST(PortDevices, NameTheRegisteredPortsAndAddThoseOnlyTheDeviceManagerHas) {
  const std::vector<PortInfo> registered = {registeredPort("COM10", "\\Device\\VCP0"),
                                            registeredPort("COM3", "\\Device\\Serial2"),
                                            registeredPort("COM1", "\\Device\\Serial0")};
  const std::vector<PortDevice> devices = {
      {"com3", "USB Serial Port (COM3)"},
      {"COM5", "Standard Serial over Bluetooth link (COM5)"},
      {"LPT1", "Printer Port (LPT1)"},
      {"COM10", ""},
  };
  EXPECT_EQ(listed(mergePortDevices(registered, devices)),
            "COM1 \\Device\\Serial0\n"
            "COM3 \\Device\\Serial2 [USB Serial Port (COM3)]\n"
            "COM5 COM5 [Standard Serial over Bluetooth link (COM5)]\n"
            "COM10 \\Device\\VCP0\n");
  EXPECT_EQ(listed(mergePortDevices(registered, {})),
            "COM1 \\Device\\Serial0\nCOM3 \\Device\\Serial2\nCOM10 \\Device\\VCP0\n")
      << "without the device manager, the registry's list as it is";
}

}  // namespace
}  // namespace scalecheck::platform
