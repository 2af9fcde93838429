#include "console/program.h"

#include "console/command_line.h"
#include "console/detect_session.h"
#include "console/dialog.h"
#include "console/open_failure_reason.h"
#include "console/polling_session.h"
#include "console/system_text.h"
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
constexpr auto kMissingPortFolder = cp1251("Внимание: папки «");
constexpr auto kNotMapped =
    cp1251("» из SCALECHECK_PORT_DIR нет, номера COM-портов открываются без сопоставления.\r\n");

// COM numbers are mapped through $SCALECHECK_PORT_DIR: a misspelt folder
// would otherwise pass unnoticed, comN reaching the system's own port
// rather than the one mapped.
void warnOfMissingPortFolder(platform::Console& console, PortFacts& ports) {
  const std::string folder = ports.missingPortFolder();
  if (folder.empty()) return;
  writeErrorText(console, kMissingPortFolder.c_str() + shownArgument(folder) + kNotMapped.c_str());
}

// The exit status of a run that ended so.
int exitStatusOf(SessionEnd end) {
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

// The banner's first lines, then the link polled as after the dialog, or
// scanned for its settings; no key is waited for, so that scripts can run
// it without a terminal.
int runFromCommandLine(const CommandLine& line, platform::Console& console,
                       platform::Services& services, PortFacts& ports) {
  LinkSettings settings = line.settings;
  if (settings.mode == LinkMode::kRs232 && settings.devicePath.empty()) {
    warnOfMissingPortFolder(console, ports);
  }
  platform::selectLocale("ru-RU");
  writeTitle(console);
  lookUpHostName(settings, services.sockets);
  ScaleLink link(settings, services);
  if (line.action == ProgramAction::kDetect) {
    return exitStatusOf(runDetectSession(link, console, ports));
  }
  writeText(console, kPolling.c_str() + linkDescription(link));
  SessionOptions options;
  options.pollLimit = line.pollLimit;
  options.tracePath = line.tracePath;
  options.events = line.events;
  options.readingsOnNewLine = true;
  return exitStatusOf(runPollingSession(link, console, services, ports, options));
}

}  // namespace

int runProgram(const std::vector<std::string>& arguments, platform::Console& console,
               platform::Services& services, PortFacts& ports) {
  // A run with options serves a shell or a script; the dialog keeps the
  // console as it always was.
  if (!arguments.empty()) console.followShellConventions();
  const CommandLine line = checkedOnSystem(parseCommandLine(arguments), services, ports);
  int status = 0;
  switch (line.action) {
    case ProgramAction::kDialog:
      status = runDialog(console, services, ports);
      break;
    case ProgramAction::kPoll:
    case ProgramAction::kDetect:
      status = runFromCommandLine(line, console, services, ports);
      break;
    case ProgramAction::kHelp:
      writeText(console, usageText());
      return 0;
    case ProgramAction::kVersion:
      writeText(console, std::string("scalecheck ") + programVersion() + "\r\n");
      return 0;
    case ProgramAction::kListPorts:
      warnOfMissingPortFolder(console, ports);
      writeText(console, portListText(ports.listPorts()));
      return 0;
    case ProgramAction::kUsageError:
      writeErrorText(console, kUsageError.c_str() + line.error + ".\r\n" + usageLine());
      return kExitUsage;
  }
  // The reasons of a link that did not open went where failures go; the
  // line break that ends them goes there too.
  if (status == kExitNotOpened) {
    writeErrorText(console, "\r\n");
  } else {
    writeText(console, "\r\n");
  }
  return status;
}

}  // namespace scalecheck::console
