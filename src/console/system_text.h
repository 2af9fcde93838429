#pragma once

#include <string>

#include "platform/os_error.h"

namespace scalecheck::console {

// Texts the system supplies (file, device and process names, command-line
// arguments, the OS's description of an error), made fit for the console.

// Printable ASCII as it is, '?' for any other byte (control bytes, and
// bytes of an encoding not Windows-1251), so that no name can send control
// sequences to the terminal.
std::string shownName(const std::string& name);

// A command-line argument as the operator typed it, in Windows-1251 (see
// argumentAs1251), control characters as '?' like shownName's.
std::string shownArgument(const std::string& argument);

// A port's description: Windows gives it in Windows-1251 (the device
// manager's friendly name, "Последовательный порт (COM1)" on a Russian
// system), so its Cyrillic letters are shown too; any other byte that is no
// printable ASCII shows as '?'.
std::string shownDescription(const std::string& description);

// The OS's description of an error on one line, without a closing full stop.
std::string osText(const platform::OsError& error);

// ": text (код N)", as much of it as the error has.
std::string osDetail(const platform::OsError& error);

}  // namespace scalecheck::console
