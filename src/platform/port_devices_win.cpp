// clang-format off
#include <windows.h>  // before setupapi.h, which needs its types
#include <setupapi.h>
// clang-format on

#include "platform/port_devices_win.h"
#include "platform/wide_text_win.h"

namespace scalecheck::platform {
namespace {

// GUID_DEVCLASS_PORTS: serial and printer ports.
constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
// Port names and friendly names are a few dozen characters.
constexpr DWORD kTextCharacters = 256;

// A text property of the device (SPDRP_FRIENDLYNAME, SPDRP_DEVICEDESC);
// empty where it has none.
std::string deviceText(HDEVINFO list, SP_DEVINFO_DATA& device, DWORD property) {
  wchar_t text[kTextCharacters + 1] = {};  // room for a NUL the data may lack
  DWORD type = 0;
  // A device without the property fails the call (ERROR_INVALID_DATA).
  if (SetupDiGetDeviceRegistryPropertyW(list, &device, property, &type,
                                        reinterpret_cast<BYTE*>(text),
                                        kTextCharacters * sizeof(wchar_t), nullptr) == FALSE ||
      type != REG_SZ) {
    return "";
  }
  return wideToCp1251(text);
}

// The PortName value its driver keeps in the device's hardware key ("COM3").
std::string portNameOf(HDEVINFO list, SP_DEVINFO_DATA& device) {
  HKEY key = SetupDiOpenDevRegKey(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
  if (key == INVALID_HANDLE_VALUE) return "";
  wchar_t name[kTextCharacters + 1] = {};
  DWORD bytes = kTextCharacters * sizeof(wchar_t);
  DWORD type = 0;
  // No such value, or one too long for a port name (ERROR_MORE_DATA):
  // no port.
  const LONG status =
      RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &bytes);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_SZ ? wideToCp1251(name) : "";
}

}  // namespace

std::vector<PortDevice> presentPortDevices() {
  std::vector<PortDevice> devices;
  HDEVINFO list = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (list == INVALID_HANDLE_VALUE) return devices;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  // Fails (ERROR_NO_MORE_ITEMS) past the last device.
  for (DWORD index = 0; SetupDiEnumDeviceInfo(list, index, &device) != FALSE; ++index) {
    PortDevice port;
    port.portName = portNameOf(list, device);
    if (port.portName.empty()) continue;
    // The friendly name carries the port ("USB Serial Port (COM3)"); a
    // device without one still has its description.
    port.friendlyName = deviceText(list, device, SPDRP_FRIENDLYNAME);
    if (port.friendlyName.empty()) port.friendlyName = deviceText(list, device, SPDRP_DEVICEDESC);
    devices.push_back(port);
  }
  // Its failure is ignored: nothing is left to do.
  SetupDiDestroyDeviceInfoList(list);
  return devices;
}

}  // namespace scalecheck::platform
