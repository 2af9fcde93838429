#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "console/port_facts.h"
#include "link/link_settings.h"
#include "platform/services.h"

namespace scalecheck::console {

// What the program was asked to do from its command line.
enum class ProgramAction : std::uint8_t {
  kDialog,      // no arguments: the questions, then polling until Esc
  kHelp,        // --help, -h
  kVersion,     // --version
  kListPorts,   // --list
  kPoll,        // --port or --tcp: poll without questions
  kDetect,      // --detect with --port or --tcp: find the settings the scale answers at
  kUsageError,  // anything else
};

struct CommandLine {
  ProgramAction action = ProgramAction::kDialog;
  LinkSettings settings;        // kPoll, kDetect: the link; a port's name is yet to be looked up
  std::uint32_t pollLimit = 0;  // kPoll: polls before the run ends; 0: until Esc or Ctrl+C
  std::string tracePath;        // kPoll: the trace file; empty for none
  bool events = false;          // kPoll: a time-stamped line for each event (--events)
  std::string error;            // kUsageError: what is wrong, naming the argument (Windows-1251)
};

// Reads the arguments (without the program's name). --help anywhere asks for
// help; --version and --list stand alone; --port or --tcp (not both) start
// a run, with the line settings of option 1 or 2 (--settings) changed by
// --baud, --data, --parity and --stop, which only a serial port takes;
// --detect goes with --port or --tcp alone, since it finds those. An
// option's value follows it, or is joined to it by '=' (--baud=19200).
// Given twice, the later value counts.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The run `line` asks for (a poll or a scan), checked against the system before anything
// opens: a port's name looked up (refused when it leads nowhere), the
// program's own terminal refused as a port, and a trace file refused when
// it is a data file or cannot be written. Other actions pass unchanged.
CommandLine checkedOnSystem(CommandLine line, platform::Services& services, PortFacts& ports);

// The help of --help, and the one line shown after a mistake: Windows-1251,
// each line ending in CR LF.
std::string usageText();
std::string usageLine();

}  // namespace scalecheck::console
