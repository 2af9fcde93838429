#include "options.h"

#include <limits>
#include <string_view>

#include "frame_format.h"
#include "option_values.h"

namespace scalecheck::sim {
namespace {

using Apply = bool (*)(SimOptions& options, std::string_view value, std::string& error);

struct OptionEntry {
  const char* name;
  const char* shortName;  // or nullptr
  bool takesValue;
  Apply apply;
};

constexpr std::uint64_t kMaxBaud = 4000000;
constexpr std::uint64_t kMaxDelayMs = 10000;
constexpr std::uint64_t kMaxIntervalMs = 60000;
constexpr std::uint64_t kMaxPauseMs = 7ULL * 24 * 3600 * 1000;  // a week
constexpr std::uint64_t kMaxTcpPort = 65535;

bool failWith(std::string& error, std::string text) {
  error = std::move(text);
  return false;
}

bool setWholeNumber(std::string_view value, std::uint64_t maximum, std::uint64_t& out,
                    std::string& error) {
  if (parseWholeNumber(value, maximum, out)) return true;
  return failWith(error, "\"" + std::string(value) + "\" is not a whole number from 0 to " +
                             std::to_string(maximum));
}

template <typename Number>
bool setNumber(std::string_view value, std::uint64_t maximum, Number& out, std::string& error) {
  std::uint64_t number = 0;
  if (!setWholeNumber(value, maximum, number, error)) return false;
  out = static_cast<Number>(number);
  return true;
}

bool setLink(SimOptions& options, LinkKind kind, std::string_view path, std::string& error) {
  if (options.link != LinkKind::kNone) {
    return failWith(error, "give only one of --pty, --device and --tcp");
  }
  if (path.empty()) return failWith(error, "the path is empty");
  options.link = kind;
  options.linkPath = std::string(path);
  return true;
}

// [HOST:]PORT, where HOST may be an IPv6 address in brackets.
bool setTcp(SimOptions& options, std::string_view value, std::string& error) {
  if (options.link != LinkKind::kNone) {
    return failWith(error, "give only one of --pty, --device and --tcp");
  }
  const std::size_t colon = value.rfind(':');
  std::string_view port = value;
  if (colon != std::string_view::npos) {
    std::string_view host = value.substr(0, colon);
    port = value.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
      host = host.substr(1, host.size() - 2);
    }
    if (host.empty()) return failWith(error, "the host before \":\" is empty");
    options.tcpHost = std::string(host);
  }
  if (!setNumber(port, kMaxTcpPort, options.tcpPort, error)) return false;
  options.link = LinkKind::kTcp;
  return true;
}

bool setEnum(bool parsed, std::string_view value, const char* choices, std::string& error) {
  if (parsed) return true;
  return failWith(error, "\"" + std::string(value) + "\" is not one of " + choices);
}

bool setEither(std::string_view value, std::uint8_t one, std::uint8_t other, std::uint8_t& out,
               std::string& error) {
  std::uint64_t number = 0;
  if (parseWholeNumber(value, other, number) && (number == one || number == other)) {
    out = static_cast<std::uint8_t>(number);
    return true;
  }
  return failWith(error, "\"" + std::string(value) + "\" is neither " + std::to_string(one) +
                             " nor " + std::to_string(other));
}

// The shorthands set the data bits and parity, one stop bit, and keep the rate.
UartSettings framed(UartSettings line, std::uint8_t dataBits, Parity parity) {
  line.dataBits = dataBits;
  line.parity = parity;
  line.stopBits = 1;
  return line;
}

constexpr OptionEntry kOptions[] = {
    {"--pty", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       return setLink(o, LinkKind::kPty, v, e);
     }},
    {"--device", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       return setLink(o, LinkKind::kDevice, v, e);
     }},
    {"--tcp", nullptr, true, setTcp},
    {"--kind", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       return setEnum(parseScaleKind(v, o.kind), v, "stream, two-step, combined", e);
     }},
    {"--weight", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       if (parseWeight(v, o.frame.weight)) return true;
       return failWith(e, "\"" + std::string(v) +
                              "\" is not a weight such as 1.234 or -0.5 (below 1000000000)");
     }},
    {"--decimals", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       return setNumber(v, kMaxDecimals, o.frame.decimals, e);
     }},
    {"--unit", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       return setEnum(parseUnit(v, o.frame.unit), v, "kg, g, t, mg, none", e);
     }},
    {"--stable", nullptr, false,
     [](SimOptions& o, std::string_view, std::string&) {
       o.frame.stable = true;
       return true;
     }},
    {"--unstable", nullptr, false,
     [](SimOptions& o, std::string_view, std::string&) {
       o.frame.stable = false;
       return true;
     }},
    {"--sign", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       return setEnum(parseSignMode(v, o.frame.sign), v, "auto, +, -", e);
     }},
    {"--template", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       if (v.empty()) return failWith(e, "the template is empty");
       o.frameTemplate = std::string(v);
       return true;
     }},
    {"--frames", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       if (v.empty()) return failWith(e, "the path is empty");
       o.framesFile = std::string(v);
       return true;
     }},
    {"--8n1", nullptr, false,
     [](SimOptions& o, std::string_view, std::string&) {
       o.line = framed(o.line, 8, Parity::kNone);
       return true;
     }},
    {"--7e1", nullptr, false,
     [](SimOptions& o, std::string_view, std::string&) {
       o.line = framed(o.line, 7, Parity::kEven);
       return true;
     }},
    {"--baud", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       if (!setNumber(v, kMaxBaud, o.line.baud, e)) return false;
       return o.line.baud >= 50 || failWith(e, "the baud rate must be at least 50");
     }},
    {"--data", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       return setEither(v, 7, 8, o.line.dataBits, e);
     }},
    {"--parity", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       return setEnum(parseParity(v, o.line.parity), v, "none, even, odd", e);
     }},
    {"--stop", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       return setEither(v, 1, 2, o.line.stopBits, e);
     }},
    {"--noise", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       if (parseProbability(v, o.noise)) return true;
       return failWith(e, "\"" + std::string(v) + "\" is not a bit error rate from 0 to 1");
     }},
    {"--seed", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       return setNumber(v, std::numeric_limits<std::uint64_t>::max(), o.noiseSeed, e);
     }},
    {"--strict", nullptr, false,
     [](SimOptions& o, std::string_view, std::string&) {
       o.strict = true;
       return true;
     }},
    {"--delay", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       return setNumber(v, kMaxDelayMs, o.delayMs, e);
     }},
    {"--interval", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       return setNumber(v, kMaxIntervalMs, o.intervalMs, e);
     }},
    {"--fault", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       return setEnum(parseFault(v, o.fault), v, "none, silence, short, nak, no-unit, garbage", e);
     }},
    {"--pause-after", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       return setNumber(v, kMaxPauseMs, o.pauseAfterMs, e);
     }},
    {"--pause-for", nullptr, true,
     [](SimOptions& o, std::string_view v, std::string& e) {
       return setNumber(v, kMaxPauseMs, o.pauseForMs, e);
     }},
    {"--verbose", "-v", false,
     [](SimOptions& o, std::string_view, std::string&) {
       o.verbose = true;
       return true;
     }},
};

const OptionEntry* findOption(std::string_view name) {
  for (const OptionEntry& entry : kOptions) {
    if (name == entry.name || (entry.shortName != nullptr && name == entry.shortName)) {
      return &entry;
    }
  }
  return nullptr;
}

bool checkConsistency(const SimOptions& options, std::string& error) {
  if (options.link == LinkKind::kNone) {
    return failWith(error, "say where the scale is: --pty PATH, --device DEV or --tcp PORT");
  }
  if (!options.framesFile.empty() && options.frameTemplate != kDefaultTemplate) {
    return failWith(error, "give --template or --frames, not both");
  }
  if (options.intervalMs > 0 && options.kind != ScaleKind::kStream) {
    return failWith(error, "--interval applies to --kind stream only");
  }
  if (options.pauseForMs >= 0 && options.pauseAfterMs < 0) {
    return failWith(error, "--pause-for needs --pause-after");
  }
  if ((options.noise > 0.0 || options.strict) && options.link != LinkKind::kPty) {
    return failWith(error, std::string(options.strict ? "--strict" : "--noise") +
                               " needs --pty: a serial device or a socket carries bytes, not bits");
  }
  std::string frame;
  std::string why;
  if (!renderFrame(options.frameTemplate, options.frame, frame, why)) {
    return failWith(error, "--template: " + why);
  }
  // Only %u can come out empty, for the unit "none" a command may set later.
  // A stream of empty frames would be a stream of nothing, sent without end.
  FrameFields noUnit = options.frame;
  noUnit.unit = Unit::kNone;
  renderFrame(options.frameTemplate, noUnit, frame, why);
  if (frame.empty()) return failWith(error, "--template: it can make an empty frame");
  return frameFitsReader(options, options.frame, error);
}

// One argument at argv[index], with its value if it takes one; moves index on.
// --help and --version set `asked`; help wins over the version.
bool parseOne(int argc, const char* const* argv, int& index, SimOptions& options,
              ParseOutcome& asked, std::string& error) {
  std::string_view argument = argv[index++];
  if (argument == "--help" || argument == "-h") {
    asked = ParseOutcome::kHelp;
    return true;
  }
  if (argument == "--version") {
    if (asked != ParseOutcome::kHelp) asked = ParseOutcome::kVersion;
    return true;
  }
  std::string_view name = argument;
  std::string_view value;
  const std::size_t equals = argument.find('=');
  const bool inlineValue = argument.rfind("--", 0) == 0 && equals != std::string_view::npos;
  if (inlineValue) {
    name = argument.substr(0, equals);
    value = argument.substr(equals + 1);
  }
  const OptionEntry* entry = findOption(name);
  if (entry == nullptr) {
    const bool looksLikeOption = !argument.empty() && argument.front() == '-';
    return failWith(error, (looksLikeOption ? "unknown option " : "unexpected argument ") +
                               std::string(argument));
  }
  if (!entry->takesValue && inlineValue) {
    return failWith(error, std::string(entry->name) + " takes no value");
  }
  if (entry->takesValue && !inlineValue) {
    if (index >= argc) return failWith(error, std::string(entry->name) + " needs a value");
    value = argv[index++];
  }
  std::string why;
  if (entry->apply(options, value, why)) return true;
  return failWith(error, std::string(entry->name) + ": " + why);
}

}  // namespace

bool frameFitsReader(const SimOptions& options, const FrameFields& fields, std::string& error) {
  if (options.frameTemplate != kDefaultTemplate || !options.framesFile.empty()) return true;
  std::string frame;
  std::string why;
  renderFrame(options.frameTemplate, fields, frame, why);
  if (frame.size() <= kLongestReadableFrame) return true;
  return failWith(error, "weight " + weightDigits(fields.weight, fields.decimals) + " makes a " +
                             std::to_string(frame.size()) + "-byte frame; a reader keeps " +
                             std::to_string(kLongestReadableFrame) +
                             " (fewer decimals, or --template to send it anyway)");
}

ParsedCommandLine parseCommandLine(int argc, const char* const* argv) {
  ParsedCommandLine parsed;
  ParseOutcome asked = ParseOutcome::kRun;
  int index = 1;
  while (index < argc) {
    if (!parseOne(argc, argv, index, parsed.options, asked, parsed.error)) return parsed;
  }
  if (asked != ParseOutcome::kRun) {
    parsed.outcome = asked;
    return parsed;
  }
  if (!checkConsistency(parsed.options, parsed.error)) return parsed;
  parsed.outcome = ParseOutcome::kRun;
  return parsed;
}

}  // namespace scalecheck::sim
