#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/link_settings.h"
#include "platform/device_holders.h"
#include "platform/os_error.h"
#include "platform/port_list.h"

namespace scalecheck::console {

// Texts that say why a link could not be made, and what else holds or offers
// a port. Each is Windows-1251, built only from what it is given, and comes
// after the operator's usual messages without changing them. Names the system supplies
// show in printable ASCII only ('?' for any other byte), so that no name can
// send control sequences to the terminal.

// What is known about a serial port that would not open.
struct SerialOpenFailure {
  platform::PortInfo tried;                     // the device tried (describePort)
  platform::OsError error;                      // why the open failed
  LinkSettings settings;                        // the line settings asked for
  std::vector<platform::PortInfo> ports;        // the ports the system has (listSerialPorts)
  std::vector<platform::DeviceHolder> holders;  // who has it open (otherHolders)
  std::string missingGroup;                     // the group that gives access (missingGroupFor)
};

// The line that follows "Не смог подключиться к весам. 108, ...": "\r\n",
// the device tried and why it did not open.
std::string serialOpenFailureText(const SerialOpenFailure& failure);

// The line that follows a failed connect to the host and port of
// `settings`, which was given `windowMs` to succeed.
std::string tcpConnectFailureText(const LinkSettings& settings, const platform::OsError& error,
                                  std::uint32_t windowMs);

// The warning at start that other processes have `device` open as well:
// what they read, the scale's bytes among it, the checker never sees. Empty
// when there are none.
std::string otherHoldersWarning(const std::string& device,
                                const std::vector<platform::DeviceHolder>& holders);

// The port list: one port a line (name, device, by-id name, description),
// or one line saying that no serial port was found; each line ends in CR LF.
std::string portListText(const std::vector<platform::PortInfo>& ports);

}  // namespace scalecheck::console
