#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <map>

#include "platform/com_number.h"
#include "platform/fs_entries_posix.h"
#include "platform/port_list_posix.h"

namespace scalecheck::platform {
namespace {

// sysfs puts a USB adapter's maker and product on the USB device, one level
// above the interface an ACM port hangs on, two above a usb-serial port.
constexpr int kUsbDeviceLevels = 3;

bool exists(const std::string& path) {
  struct stat entry {};
  // lstat: a link counts, whatever it points to.
  return lstat(path.c_str(), &entry) == 0;
}

// comN with N from 1 to 256 and no leading zero: the names through which a
// COM number reaches a mapping.
bool isComMapping(const std::string& name) {
  return name.compare(0, 3, "com") == 0 && comNumberFromDigits(name.c_str() + 3) != 0;
}

// A terminal of the serial core whose port type is 0 has no UART behind it:
// Linux keeps ttyS0..ttyS3 whether the machine has those ports or not.
bool isSerialPort(const std::string& terminal) {
  return exists(terminal + "/device") && firstLine(terminal + "/type") != "0";
}

std::string joined(const std::string& first, const std::string& second) {
  if (first.empty()) return second;
  if (second.empty()) return first;
  return first + " " + second;
}

// Maker and product of the USB device above the terminal's device; empty
// for a port that is not on USB.
std::string usbDescription(const std::string& terminal) {
  char resolved[PATH_MAX];
  if (realpath((terminal + "/device").c_str(), resolved) == nullptr) return "";
  std::string folder = resolved;
  for (int level = 0; level < kUsbDeviceLevels && !folder.empty(); ++level) {
    if (exists(folder + "/idVendor")) {
      return joined(firstLine(folder + "/manufacturer"), firstLine(folder + "/product"));
    }
    folder = folder.substr(0, folder.rfind('/'));
  }
  return "";
}

// Terminal name to its name in the by-id folder.
std::map<std::string, std::string> byIdNames(const std::string& folder) {
  std::map<std::string, std::string> names;
  for (const std::string& entry : entryNames(folder)) {
    const std::string terminal = lastComponent(linkText(pathIn(folder, entry)));
    if (terminal.empty()) continue;
    auto found = names.find(terminal);
    if (found == names.end()) {
      names.emplace(terminal, entry);
    } else if (naturalLess(entry, found->second)) {
      found->second = entry;  // one fixed choice, whatever order the folder gives
    }
  }
  return names;
}

void addSysfsPorts(const PortListRoots& roots, std::vector<PortInfo>& ports) {
  const std::map<std::string, std::string> byId = byIdNames(roots.serialById);
  for (const std::string& name : entryNames(roots.sysClassTty)) {
    const std::string terminal = pathIn(roots.sysClassTty, name);
    if (!isSerialPort(terminal)) continue;
    PortInfo port = describePort(pathIn(roots.dev, name));
    const auto found = byId.find(name);
    if (found != byId.end()) port.byId = found->second;
    port.description = usbDescription(terminal);
    ports.push_back(port);
  }
}

void addComMappings(const std::string& folder, std::vector<PortInfo>& ports) {
  if (folder.empty()) return;
  for (const std::string& name : entryNames(folder)) {
    if (isComMapping(name)) ports.push_back(describePort(pathIn(folder, name)));
  }
}

}  // namespace

PortListRoots systemPortListRoots() {
  PortListRoots roots;
  const char* portDir = std::getenv("SCALECHECK_PORT_DIR");
  if (portDir != nullptr) roots.portDir = portDir;
  return roots;
}

std::vector<PortInfo> listSerialPorts(const PortListRoots& roots) {
  std::vector<PortInfo> ports;
  addSysfsPorts(roots, ports);
  addComMappings(roots.portDir, ports);
  sortNaturally(ports);
  return ports;
}

std::vector<PortInfo> listSerialPorts() {
  return listSerialPorts(systemPortListRoots());
}

PortInfo describePort(const std::string& device) {
  PortInfo port;
  port.name = lastComponent(device);
  port.device = device;
  port.linkTarget = linkText(device);
  struct stat target {};
  // Followed through any links: a link whose device is gone is not present.
  port.present = stat(device.c_str(), &target) == 0;
  return port;
}

}  // namespace scalecheck::platform
