#include "console/program.h"

#include "console/command_line.h"
#include "console/dialog.h"
#include "console/open_failure_reason.h"
#include "console/polling_session.h"
#include "console/tcp_address.h"
#include "console/version.h"
#include "console/write_text.h"
#include "link/scale_link.h"
#include "platform/cp1251.h"
#include "platform/numeric_locale.h"

namespace scalecheck::console {
namespace {

using platform::cp1251;

constexpr auto kUsageError = cp1251("Ошибка в параметрах: ");
constexpr auto kPolling = cp1251("\r\n  Опрос: ");

// The banner's first lines, then the link polled as after the dialog;
// no key is waited for, so that scripts can run it without a terminal.
int pollFromCommandLine(const CommandLine& line, platform::Console& console,
                        platform::Services& services, PortFacts& ports) {
  platform::selectLocale("ru-RU");
  writeTitle(console);
  LinkSettings settings = line.settings;
  lookUpHostName(settings, services.sockets);
  ScaleLink link(settings, services);
  writeText(console, kPolling.c_str() + linkDescription(link));
  SessionOptions options;
  options.pollLimit = line.pollLimit;
  options.tracePath = line.tracePath;
  options.readingsOnNewLine = true;
  const SessionEnd end = runPollingSession(link, console, services, ports, options);
  link.close();
  switch (end) {
    case SessionEnd::kNotOpened:
      return kExitNotOpened;
    case SessionEnd::kNoReading:
      return kExitNoReading;
    case SessionEnd::kReadings:
      break;
  }
  return kExitReadings;
}

}  // namespace

int runProgram(const std::vector<std::string>& arguments, platform::Console& console,
               platform::Services& services, PortFacts& ports) {
  const CommandLine line = parseCommandLine(arguments);
  int status = 0;
  switch (line.action) {
    case ProgramAction::kDialog:
      status = runDialog(console, services, ports);
      break;
    case ProgramAction::kPoll:
      status = pollFromCommandLine(line, console, services, ports);
      break;
    case ProgramAction::kHelp:
      writeText(console, usageText());
      return 0;
    case ProgramAction::kVersion:
      writeText(console, std::string("scalecheck ") + programVersion() + "\r\n");
      return 0;
    case ProgramAction::kListPorts:
      writeText(console, portListText(ports.listPorts()));
      return 0;
    case ProgramAction::kUsageError:
      writeText(console, kUsageError.c_str() + line.error + ".\r\n" + usageLine());
      return kExitUsage;
  }
  writeText(console, "\r\n");
  return status;
}

}  // namespace scalecheck::console
