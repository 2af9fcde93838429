#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/port_list.h"

namespace scalecheck::platform {
namespace {

// The ports Wine registered at the start of its session (wine_port_list.py
// names them, in natural order, in SCALECHECK_TEST_PORTS) must all be
// listed, in that order, each with the kernel device behind it.
TEST(WinePortList, ListsTheRegisteredPortsInNaturalOrder) {
  const char* names = std::getenv("SCALECHECK_TEST_PORTS");
  if (names == nullptr) GTEST_SKIP() << "needs wine_port_list.py";
  std::vector<std::string> expected;
  std::istringstream list(names);
  for (std::string name; std::getline(list, name, ',');) expected.push_back(name);

  std::vector<std::string> listed;
  for (const PortInfo& port : listSerialPorts()) {
    for (const std::string& name : expected) {
      if (port.name != name) continue;
      listed.push_back(port.name);
      EXPECT_EQ(port.device.rfind("\\Device\\", 0), 0U) << port.name << ": " << port.device;
    }
  }
  EXPECT_EQ(listed, expected);
}

}  // namespace
}  // namespace scalecheck::platform
