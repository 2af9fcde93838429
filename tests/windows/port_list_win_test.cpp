#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/port_list.h"

namespace scalecheck::platform {
namespace {

std::vector<std::string> split(const char* text, char separator) {
  std::vector<std::string> parts;
  std::istringstream list(text != nullptr ? text : "");
  for (std::string part; std::getline(list, part, separator);) parts.push_back(part);
  return parts;
}

// The ports Wine registered at the start of its session and the port
// devices installed in its registry (wine_port_list.py names them, in
// natural order, in SCALECHECK_TEST_PORTS) must all be listed, in that
// order: each device's port with its friendly name (the "NAME=friendly
// name" entries of SCALECHECK_TEST_DESCRIPTIONS), each other port with the
// kernel device behind it.
TEST(WinePortList, ListsTheRegisteredPortsInNaturalOrder) {
  const char* names = std::getenv("SCALECHECK_TEST_PORTS");
  if (names == nullptr) GTEST_SKIP() << "needs wine_port_list.py";
  const std::vector<std::string> expected = split(names, ',');
  std::map<std::string, std::string> described;
  for (const std::string& entry : split(std::getenv("SCALECHECK_TEST_DESCRIPTIONS"), '|')) {
    described[entry.substr(0, entry.find('='))] = entry.substr(entry.find('=') + 1);
  }

  std::vector<std::string> listed;
  for (const PortInfo& port : listSerialPorts()) {
    for (const std::string& name : expected) {
      if (port.name != name) continue;
      listed.push_back(port.name);
      if (described.count(name) != 0) {
        EXPECT_EQ(port.description, described[name]);
      } else {
        EXPECT_EQ(port.device.rfind("\\Device\\", 0), 0U) << port.name << ": " << port.device;
      }
    }
  }
  EXPECT_EQ(listed, expected);
}

}  // namespace
}  // namespace scalecheck::platform
