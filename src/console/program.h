#pragma once

#include <string>
#include <vector>

#include "console/port_facts.h"
#include "platform/console.h"
#include "platform/services.h"

namespace scalecheck::console {

// Exit statuses of a run with --port or --tcp; without arguments the
// program always ends with 0.
constexpr int kExitReadings = 0;   // at least one reading came
constexpr int kExitNoReading = 1;  // the link opened, but no poll gave a reading
constexpr int kExitUsage = 2;      // the command line is wrong
constexpr int kExitNotOpened = 3;  // the link could not be opened

// The program as a shell starts it, `arguments` without the program's name:
// the dialog when there are none, otherwise what they ask for (see
// parseCommandLine). A run ends with a line break, so that the shell's
// prompt starts on a line of its own. Returns the exit status.
int runProgram(const std::vector<std::string>& arguments, platform::Console& console,
               platform::Services& services, PortFacts& ports);

}  // namespace scalecheck::console
