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
    text += port.description.empty() ? "\n" : " [" + port.description + "]\n";
  }
  return text;
}

TEST(PortDevices, NameTheRegisteredPortsAndAddThoseOnlyTheDeviceManagerHas) {
  std::vector<PortInfo> registered(3);
  registered[0].name = "COM10";
  registered[0].device = "\\Device\\VCP0";
  registered[1].name = "COM1";
  registered[1].device = "\\Device\\Serial0";
  registered[2].name = "COM3";
  registered[2].device = "\\Device\\Serial2";
  const std::vector<PortDevice> devices = {{"com3", "USB Serial Port (COM3)"},
                                           {"COM5", "Serial over Bluetooth (COM5)"},
                                           {"LPT1", "Printer Port (LPT1)"}};
  EXPECT_EQ(listed(mergePortDevices(registered, devices)),
            "COM1 \\Device\\Serial0\nCOM3 \\Device\\Serial2 [USB Serial Port (COM3)]\n"
            "COM5 COM5 [Serial over Bluetooth (COM5)]\nCOM10 \\Device\\VCP0\n");
  EXPECT_EQ(listed(mergePortDevices(registered, {})),
            "COM1 \\Device\\Serial0\nCOM3 \\Device\\Serial2\nCOM10 \\Device\\VCP0\n");
}

}  // namespace
}  // namespace scalecheck::platform
