#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options.h"

namespace scalecheck::sim {
namespace {

ParsedCommandLine parse(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "scale-sim");
  return parseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

struct GoodLine {
  std::vector<const char*> arguments;
  bool (*holds)(const SimOptions&);
};

TEST(SimOptions, GoodCommandLinesSetWhatTheySay) {
  const GoodLine lines[] = {
      {{"--pty", "/tmp/ports/com1"},
       [](const SimOptions& o) {
         return o.link == LinkKind::kPty && o.linkPath == "/tmp/ports/com1" &&
                o.kind == ScaleKind::kStream && o.line == UartSettings{} && o.delayMs == 20 &&
                o.frame.stable && o.fault == Fault::kNone && o.noise == 0.0;
       }},
      {{"--tcp", "0", "--kind", "two-step"},
       [](const SimOptions& o) {
         return o.link == LinkKind::kTcp && o.tcpHost == "127.0.0.1" && o.tcpPort == 0 &&
                o.kind == ScaleKind::kTwoStep;
       }},
      {{"--tcp=0.0.0.0:5001", "--kind=combined"},
       [](const SimOptions& o) {
         return o.tcpHost == "0.0.0.0" && o.tcpPort == 5001 && o.kind == ScaleKind::kCombined;
       }},
      {{"--tcp", "[::1]:65535"},
       [](const SimOptions& o) { return o.tcpHost == "::1" && o.tcpPort == 65535; }},
      {{"--device", "/dev/ttyUSB0", "--7e1", "--baud", "4800"},
       [](const SimOptions& o) {
         return o.link == LinkKind::kDevice && o.line == UartSettings{4800, 7, Parity::kEven, 1};
       }},
      {{"--pty", "p", "--baud", "12345", "--data", "7", "--parity", "odd", "--stop", "2", "--noise",
        "1e-3", "--seed", "18446744073709551615"},
       [](const SimOptions& o) {
         return o.line == UartSettings{12345, 7, Parity::kOdd, 2} && o.noise == 0.001 &&
                o.noiseSeed == 18446744073709551615ULL;
       }},
      {{"--pty", "p", "--weight", "-12.5", "--decimals", "2", "--unit", "g", "--unstable"},
       [](const SimOptions& o) {
         return o.frame.weight == -12.5 && o.frame.decimals == 2 && o.frame.unit == Unit::kGram &&
                !o.frame.stable;
       }},
      {{"--pty", "p", "--weight", "+7", "--sign", "-", "--unit", "none"},
       [](const SimOptions& o) {
         return o.frame.weight == 7.0 && o.frame.sign == SignMode::kMinus &&
                o.frame.unit == Unit::kNone;
       }},
      {{"--pty", "p", "--fault", "no-unit", "--delay", "0", "--interval", "1000", "-v"},
       [](const SimOptions& o) {
         return o.fault == Fault::kNoUnit && o.delayMs == 0 && o.intervalMs == 1000 && o.verbose;
       }},
      {{"--pty", "p", "--pause-after", "3000", "--pause-for", "2000"},
       [](const SimOptions& o) { return o.pauseAfterMs == 3000 && o.pauseForMs == 2000; }},
      {{"--pty", "p", "--template", "%s %W %u\\r\\n", "--7e1", "--8n1"},
       [](const SimOptions& o) {
         return o.frameTemplate == "%s %W %u\\r\\n" && o.line == UartSettings{};
       }},
      {{"--pty", "p", "--frames", "frames.txt", "--kind", "two-step"},
       [](const SimOptions& o) { return o.framesFile == "frames.txt"; }},
      // Six decimals still make a frame a reader takes whole.
      {{"--pty", "p", "--weight", "123.456789", "--decimals", "6"},
       [](const SimOptions& o) { return o.frame.decimals == 6; }},
  };
  for (const GoodLine& line : lines) {
    const ParsedCommandLine parsed = parse(line.arguments);
    SCOPED_TRACE(line.arguments.front() + std::string(" ") + line.arguments.back());
    ASSERT_EQ(parsed.outcome, ParseOutcome::kRun) << parsed.error;
    EXPECT_TRUE(line.holds(parsed.options));
  }
}

TEST(SimOptions, HelpWinsOverEverythingElse) {
  EXPECT_EQ(parse({"--help"}).outcome, ParseOutcome::kHelp);
  EXPECT_EQ(parse({"--pty", "p", "-h"}).outcome, ParseOutcome::kHelp);
  EXPECT_EQ(parse({"--version", "--help"}).outcome, ParseOutcome::kHelp);
  EXPECT_EQ(parse({"--version"}).outcome, ParseOutcome::kVersion);
}

struct BadLine {
  std::vector<const char*> arguments;
  const char* errorPart;
};

TEST(SimOptions, BadCommandLinesSayWhatIsWrong) {
  const BadLine lines[] = {
      {{}, "say where the scale is"},
      {{"--pty", "p", "--tcp", "0"}, "only one of"},
      {{"--pty"}, "--pty needs a value"},
      {{"--pty", ""}, "path is empty"},
      {{"--pty", "p", "--kind", "both"}, "\"both\" is not one of stream, two-step, combined"},
      {{"--pty", "p", "--unit", "lb"}, "not one of kg"},
      {{"--pty", "p", "--fault", "fire"}, "not one of none"},
      {{"--pty", "p", "--sign", "x"}, "not one of auto"},
      {{"--pty", "p", "--weight", "abc"}, "--weight:"},
      {{"--pty", "p", "--weight", "1e3"}, "--weight:"},
      {{"--pty", "p", "--weight", "nan"}, "--weight:"},
      {{"--pty", "p", "--weight", "1000000000"}, "--weight:"},
      {{"--pty", "p", "--weight", ""}, "--weight:"},
      {{"--pty", "p", "--decimals", "7"}, "from 0 to 6"},
      {{"--pty", "p", "--baud", "0"}, "at least 50"},
      {{"--pty", "p", "--baud", "-9600"}, "not a whole number"},
      {{"--pty", "p", "--data", "9"}, "\"9\" is neither 7 nor 8"},
      {{"--pty", "p", "--parity", "mark"}, "not one of none, even, odd"},
      {{"--pty", "p", "--stop", "1.5"}, "neither 1 nor 2"},
      {{"--pty", "p", "--noise", "1.5"}, "not a bit error rate"},
      {{"--pty", "p", "--noise", "inf"}, "not a bit error rate"},
      {{"--tcp", "0", "--noise", "0.01"}, "--noise needs --pty"},
      {{"--pty", "p", "--delay", "10001"}, "from 0 to 10000"},
      {{"--tcp", "65536"}, "from 0 to 65535"},
      {{"--tcp", ":80"}, "host before"},
      {{"--pty", "p", "--stable=yes"}, "takes no value"},
      {{"--pty", "p", "--colour"}, "unknown option --colour"},
      {{"--pty", "p", "extra"}, "unexpected argument extra"},
      {{"--pty", "p", "--template", "x", "--frames", "f"}, "not both"},
      {{"--pty", "p", "--template", ""}, "template is empty"},
      {{"--pty", "p", "--template", "%Q"}, "unknown placeholder %Q"},
      {{"--pty", "p", "--template", "%u"}, "empty frame"},
      {{"--pty", "p", "--template", "S %W kg\\q"}, "unknown escape \\q"},
      {{"--pty", "p", "--kind", "two-step", "--interval", "100"}, "stream only"},
      {{"--pty", "p", "--pause-for", "100"}, "needs --pause-after"},
      {{"--pty", "p", "--weight", "123456.123456", "--decimals", "6"}, "25-byte frame"},
  };
  for (const BadLine& line : lines) {
    const ParsedCommandLine parsed = parse(line.arguments);
    SCOPED_TRACE(line.errorPart);
    EXPECT_EQ(parsed.outcome, ParseOutcome::kError);
    EXPECT_NE(parsed.error.find(line.errorPart), std::string::npos) << parsed.error;
  }
}

TEST(SimOptions, LongFramesPassWithATemplateOfTheirOwn) {
  // The length check protects the default layout only; a user template may
  // be long on purpose.
  const ParsedCommandLine parsed = parse(
      {"--pty", "p", "--weight", "123456.123456", "--decimals", "6", "--template", "%s%W kg"});
  EXPECT_EQ(parsed.outcome, ParseOutcome::kRun) << parsed.error;
}

}  // namespace
}  // namespace scalecheck::sim
