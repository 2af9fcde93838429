#include "control_command.h"

#include "escapes.h"
#include "option_values.h"

namespace scalecheck::sim {
namespace {

constexpr std::string_view kSpaces = " \t\r";

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kSpaces);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kSpaces);
  return text.substr(first, last - first + 1);
}

struct PlainCommand {
  const char* word;
  CommandKind kind;
};

constexpr PlainCommand kPlainCommands[] = {
    {"pause", CommandKind::kPause},   {"resume", CommandKind::kResume},
    {"stable", CommandKind::kStable}, {"unstable", CommandKind::kUnstable},
    {"quit", CommandKind::kQuit},
};

bool parseWithArgument(std::string_view word, std::string_view argument, ControlCommand& out,
                       std::string& error) {
  if (word == "weight") {
    out.kind = CommandKind::kWeight;
    if (parseWeight(argument, out.weight)) return true;
    error = "weight needs a number such as 2.5";
  } else if (word == "unit") {
    out.kind = CommandKind::kUnit;
    if (parseUnit(argument, out.unit)) return true;
    error = "unit is one of kg, g, t, mg, none";
  } else if (word == "fault") {
    out.kind = CommandKind::kFault;
    if (parseFault(argument, out.fault)) return true;
    error = "fault is one of none, silence, short, nak, no-unit, garbage";
  } else {
    error = "unknown command \"" + describeBytes(word) + "\"";
  }
  return false;
}

}  // namespace

bool parseControlCommand(std::string_view line, ControlCommand& out, std::string& error) {
  const std::string_view text = trimmed(line);
  const std::size_t space = text.find_first_of(kSpaces);
  const std::string_view word = text.substr(0, space);
  const std::string_view argument =
      space == std::string_view::npos ? std::string_view() : trimmed(text.substr(space));
  for (const PlainCommand& plain : kPlainCommands) {
    if (word != plain.word) continue;
    if (!argument.empty()) {
      error = std::string(word) + " takes no argument";
      return false;
    }
    out.kind = plain.kind;
    return true;
  }
  ControlCommand command;
  if (!parseWithArgument(word, argument, command, error)) return false;
  out = command;
  return true;
}

}  // namespace scalecheck::sim
