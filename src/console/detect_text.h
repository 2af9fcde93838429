#pragma once

#include <string>

#include "link/link_settings.h"
#include "protocol/settings_scan.h"

namespace scalecheck::console {

// The texts of a scan for the line settings (Windows-1251), each beginning
// with CR LF.

// "  Подбор настроек: /dev/ttyUSB0. Esc или Ctrl+C - прервать." `target` is
// the port or peer as messages name it.
std::string scanHeading(const std::string& target);

// One setting tried: what was tried, what came, what it gave:
// "  4800,Even,7,1  поток: байт 44, кадров 1, ошибки чётности - показание ~22".
std::string probeLine(const ProbeOutcome& outcome, bool serial);

// The settings found, the reading they gave, those that read the scale
// alike and why the one named was chosen, and the command that polls with
// them; `link` is the link scanned (its port as the operator named it).
std::string verdictText(const ScanVerdict& verdict, const LinkSettings& link);

// No setting read the scale: what was heard, and where to look.
std::string nothingFoundText(const ScanResult& result);

// The operator ended the scan: how far it came, then the verdict or what
// was heard so far.
std::string stoppedText(const ScanResult& result, const LinkSettings& link);

// The device or the connection went away during the scan.
std::string lostText();

// The command that polls with `line` on the port of `link`:
// "scalecheck --port /dev/ttyUSB0 --baud 4800 --data 7 --parity even --stop 1",
// "scalecheck --tcp 10.0.0.5:4001".
std::string pollCommandFor(const LinkSettings& link, const LineSetting& line);

// The port or peer as the operator names it on the command line, as typed
// (shownArgument): "--port com1", "--port /dev/ttyUSB0", "--tcp 10.0.0.5:4001".
std::string portOption(const LinkSettings& settings);

}  // namespace scalecheck::console
