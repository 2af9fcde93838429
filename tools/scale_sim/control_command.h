#pragma once

#include <string>
#include <string_view>

#include "sim_options.h"

namespace scalecheck::sim {

// One line typed on standard input while the simulator runs.
enum class CommandKind { kPause, kResume, kWeight, kStable, kUnstable, kUnit, kFault, kQuit };

struct ControlCommand {
  CommandKind kind = CommandKind::kPause;
  double weight = 0.0;          // kWeight
  Unit unit = Unit::kKilogram;  // kUnit
  Fault fault = Fault::kNone;   // kFault
};

// Reads "pause", "resume", "weight 2.5", "stable", "unstable", "unit g",
// "fault nak", "quit"; spaces around words do not matter. False, with
// `error` set, for anything else.
bool parseControlCommand(std::string_view line, ControlCommand& out, std::string& error);

}  // namespace scalecheck::sim
