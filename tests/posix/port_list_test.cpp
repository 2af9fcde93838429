#include "platform/port_list_posix.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/scratch_dir.h"

namespace scalecheck::platform {
namespace {

namespace fs = std::filesystem;

// A tree laid out as Linux shows its terminals.
class FakeSystem {
 public:
  std::string path(const std::string& relative) const { return dir_.file(relative); }

  void file(const std::string& relative, const std::string& content = "") const {
    fs::create_directories(fs::path(path(relative)).parent_path());
    std::ofstream(path(relative)) << content << "\n";
  }

  void link(const std::string& relative, const std::string& target) const {
    fs::create_directories(fs::path(path(relative)).parent_path());
    fs::create_symlink(target, path(relative));
  }

  // A terminal in sysfs on a device, with the serial core's port type if given.
  void terminal(const std::string& name, const std::string& device,
                const std::string& uartType = "") const {
    fs::create_directories(path(device));
    link("sys/class/tty/" + name + "/device", path(device));
    if (!uartType.empty()) file("sys/class/tty/" + name + "/type", uartType);
    file("dev/" + name);
  }

  PortListRoots roots() const {
    return {path("sys/class/tty"), path("dev"), path("dev/serial/by-id"), path("ports")};
  }

 private:
  e2e::ScratchDir dir_;
};

// name|device|by-id|description|link target|present, with the tree's path as "~".
std::string summary(const PortInfo& port, const std::string& root) {
  std::string text = port.name + "|" + port.device + "|" + port.byId + "|" + port.description +
                     "|" + port.linkTarget + "|" + (port.present ? "present" : "absent");
  for (std::size_t at = 0; (at = text.find(root, at)) != std::string::npos;) {
    text.replace(at, root.size(), "~");
  }
  return text;
}

TEST(PortList, FindsTheSerialPortsOfSysfsAndTheComMappings) {
  FakeSystem sys;
  sys.terminal("ttyS0", "sys/devices/pnp0/00:01", "4");
  sys.terminal("ttyS1", "sys/devices/platform/serial8250/1", "0");  // no UART behind it
  sys.terminal("ttyS2", "sys/devices/platform/serial8250/2", "4");
  sys.terminal("ttyS10", "sys/devices/pci0000:00/0000:00:16.3", "4");
  sys.file("sys/class/tty/tty0/dev", "4:0");  // a virtual console: no device
  sys.terminal("ttyUSB0", "sys/devices/usb1/1-1/1-1:1.0/ttyUSB0");
  sys.file("sys/devices/usb1/1-1/idVendor", "0403");
  sys.file("sys/devices/usb1/1-1/manufacturer", "FTDI");
  sys.file("sys/devices/usb1/1-1/product", "FT232R USB UART");
  sys.terminal("ttyACM0", "sys/devices/usb1/1-2/1-2:1.0");
  sys.file("sys/devices/usb1/1-2/idVendor", "2341");
  sys.file("sys/devices/usb1/1-2/product", "Scale USB");
  sys.link("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50-if00-port0", "../../ttyUSB0");
  sys.link("ports/com1", sys.path("dev/ttyUSB0"));
  sys.link("ports/com2", sys.path("dev/ttyUSB7"));  // the adapter is gone
  sys.link("ports/com01", sys.path("dev/ttyS0"));   // no COM number reaches it
  sys.file("ports/notes.txt");

  std::vector<std::string> found;
  for (const PortInfo& port : listSerialPorts(sys.roots())) {
    found.push_back(summary(port, sys.path("")));
  }
  const std::vector<std::string> expected = {
      "com1|~ports/com1|||~dev/ttyUSB0|present",
      "com2|~ports/com2|||~dev/ttyUSB7|absent",
      "ttyACM0|~dev/ttyACM0||Scale USB||present",
      "ttyS0|~dev/ttyS0||||present",
      "ttyS2|~dev/ttyS2||||present",
      "ttyS10|~dev/ttyS10||||present",
      "ttyUSB0|~dev/ttyUSB0|usb-FTDI_FT232R_USB_UART_A50-if00-port0|FTDI FT232R USB UART||present",
  };
  EXPECT_EQ(found, expected);
}

}  // namespace
}  // namespace scalecheck::platform
