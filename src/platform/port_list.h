#pragma once

#include <string>
#include <vector>

namespace scalecheck::platform {

// One serial port of this system, as a technician looks for it. Texts are as
// the system gives them (bytes of a file name, a registry value).
struct PortInfo {
  std::string name;         // ttyUSB0; com1 (a COM mapping); COM3 on Windows
  std::string device;       // /dev/ttyUSB0; the mapping's own path; \Device\Serial2 on Windows
  std::string byId;         // its name in /dev/serial/by-id, which stays when others come and go
  std::string description;  // maker and product of a USB adapter, where the system keeps them
  std::string linkTarget;   // where a link (a COM mapping) points; empty for no link
  bool present = true;      // false when nothing is at the name, or a link points nowhere
};

// The serial ports of this system in natural order. Linux: the terminals of
// /sys/class/tty that sit on a device (a ttyS only with a UART found behind
// it) and the COM mappings of $SCALECHECK_PORT_DIR. Windows: the ports the
// registry's SERIALCOMM map names, else the COM names the DOS device map has.
std::vector<PortInfo> listSerialPorts();

// A present device of the system's Ports class, as its device manager
// shows it (Windows).
struct PortDevice {
  std::string portName;      // the name its driver took: "COM3", or "LPT1" for a printer port
  std::string friendlyName;  // "USB Serial Port (COM3)", Windows-1251
};

// The COM ports of the device manager and of the drivers' registry list as
// one list in natural order: each COM name once, with its friendly name as
// the description where the device manager has one, and its kernel device
// where the registry list names it. A port in only one of them is listed
// all the same; with no devices the list is `registered` as it is.
std::vector<PortInfo> mergePortDevices(std::vector<PortInfo> registered,
                                       const std::vector<PortDevice>& devices);

// Whether `name` is a COM name ("COM3", any case).
bool isComName(const std::string& name);

// What is at a name the program tried to open: on POSIX whether it is a
// link, where it points, and whether anything is there; on Windows the name
// alone.
PortInfo describePort(const std::string& device);

// Natural order of port names: runs of digits compare by value (ttyS2 before
// ttyS10, COM9 before COM10), letters regardless of case.
bool naturalLess(const std::string& left, const std::string& right);

// The ports sorted by name in natural order.
void sortNaturally(std::vector<PortInfo>& ports);

}  // namespace scalecheck::platform
