#include <windows.h>

#include <cstring>
#include <utility>

#include "platform/port_devices_win.h"
#include "platform/port_list.h"

namespace scalecheck::platform {
namespace {

// Where serial port drivers enter the ports they serve: value name the
// kernel device (\Device\Serial0), value data the COM name.
constexpr const char* kSerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
// Kernel device names and COM names are a few dozen characters.
constexpr DWORD kNameSize = 256;
// The DOS device map lists every drive and device; the list grows from 64 KB
// up to a bound no system reaches.
constexpr std::size_t kDosListStart = 1U << 16U;
constexpr std::size_t kDosListLimit = 1U << 22U;

std::vector<PortInfo> registryPorts() {
  std::vector<PortInfo> ports;
  HKEY key = nullptr;
  // The key is missing until a serial port driver has started.
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_QUERY_VALUE, &key) !=
      ERROR_SUCCESS) {
    return ports;
  }
  for (DWORD index = 0;; ++index) {
    char device[kNameSize] = {};
    DWORD deviceLength = kNameSize;
    char name[kNameSize] = {};
    DWORD nameBytes = kNameSize - 1;  // room for a NUL the data may lack
    DWORD type = 0;
    // A value too long to be a port (ERROR_MORE_DATA) is skipped; any other
    // failure, ERROR_NO_MORE_ITEMS past the last value among them, ends the
    // list.
    const LONG status = RegEnumValueA(key, index, device, &deviceLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(name), &nameBytes);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) break;
    if (type != REG_SZ || name[0] == '\0') continue;
    PortInfo port;
    port.name = name;
    port.device = device;
    ports.push_back(port);
  }
  RegCloseKey(key);
  return ports;
}

// The kernel device a DOS device name stands for; empty when unknown.
std::string dosDeviceTarget(const char* name) {
  char target[kNameSize] = {};
  // Of the targets listed, the first is in force.
  if (QueryDosDeviceA(name, target, kNameSize) == 0) return "";
  return target;
}

std::vector<PortInfo> dosDevicePorts() {
  std::vector<PortInfo> ports;
  std::vector<char> names(kDosListStart);
  // With no name, QueryDosDeviceA lists every DOS device name, each NUL
  // terminated, the list ended by another NUL.
  DWORD length = 0;
  while ((length = QueryDosDeviceA(nullptr, names.data(), static_cast<DWORD>(names.size()))) == 0) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || names.size() >= kDosListLimit) return ports;
    names.assign(names.size() * 2, '\0');
  }
  const char* end = names.data() + length;
  for (const char* name = names.data(); name < end && *name != '\0';
       name += std::strlen(name) + 1) {
    if (!isComName(name)) continue;
    PortInfo port;
    port.name = name;
    port.device = dosDeviceTarget(name);
    ports.push_back(port);
  }
  return ports;
}

}  // namespace

// The device manager's names for the ports, over the drivers' own list;
// where the device manager gives nothing, that list alone.
std::vector<PortInfo> listSerialPorts() {
  std::vector<PortInfo> ports = registryPorts();
  if (ports.empty()) ports = dosDevicePorts();
  return mergePortDevices(std::move(ports), presentPortDevices());
}

PortInfo describePort(const std::string& device) {
  PortInfo port;
  port.name = device;
  port.device = device;
  return port;
}

}  // namespace scalecheck::platform
