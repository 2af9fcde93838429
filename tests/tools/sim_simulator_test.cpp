#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "control_command.h"
#include "line_splitter.h"
#include "simulator.h"

namespace scalecheck::sim {
namespace {

constexpr Nanos kByte = 1041666;  // the first byte's end at 9600 baud

class RecordedEvents : public SimulatorEvents {
 public:
  void activity(Nanos, const std::string& text) override { log.push_back(text); }
  void scheduledPause(bool paused) override { pauses.push_back(paused); }
  std::vector<std::string> log;
  std::vector<bool> pauses;
};

SimOptions optionsFor(ScaleKind kind) {
  SimOptions options;
  options.kind = kind;
  options.link = LinkKind::kPty;
  options.linkPath = "p";
  return options;
}

// Everything the simulator sends from `from` to `to`, waking when it asks.
std::string runUntil(Simulator& simulator, Nanos from, Nanos to) {
  std::string sent = simulator.takeDue(from);
  Nanos now = from;
  for (std::optional<Nanos> wake = simulator.nextWake(now); wake && *wake <= to;
       wake = simulator.nextWake(now)) {
    // A wake-up is never earlier than the present.
    now = std::max(now, *wake);
    sent += simulator.takeDue(now);
  }
  return sent;
}

TEST(SimSimulator, TwoStepAnswersAfterTheDelayAtLineSpeed) {
  RecordedEvents events;
  Simulator simulator(optionsFor(ScaleKind::kTwoStep), {}, 0, events);
  EXPECT_FALSE(simulator.nextWake(0));
  simulator.receive("\x05", millis(100));
  EXPECT_EQ(simulator.nextWake(millis(100)), millis(120) + kByte);
  EXPECT_EQ(simulator.takeDue(millis(120) + kByte - 1), "");
  EXPECT_EQ(simulator.takeDue(millis(120) + kByte), "\x06");
  simulator.receive("\x11", millis(228));
  // 18 bytes: the last one has left 18.75 ms after the 20 ms delay.
  EXPECT_EQ(runUntil(simulator, millis(228), millis(248) + 18 * kByte - 1), "ST,GS,+  1.234kg\r");
  EXPECT_EQ(runUntil(simulator, millis(248) + 18 * kByte, millis(400)), "\n");
  EXPECT_FALSE(simulator.nextWake(millis(400)));
}

TEST(SimSimulator, StreamSendsFramesBackToBack) {
  RecordedEvents events;
  Simulator simulator(optionsFor(ScaleKind::kStream), {}, 0, events);
  // One second holds 960 bytes at 9600 baud: 53 whole frames and 6 bytes.
  const std::string second = runUntil(simulator, 0, kNanosPerSecond);
  EXPECT_EQ(second.size(), 960U);
  EXPECT_EQ(second.substr(0, 36), "ST,GS,+  1.234kg\r\nST,GS,+  1.234kg\r\n");
}

TEST(SimSimulator, AStreamFrameShowsTheWeightAtItsStart) {
  RecordedEvents events;
  SimOptions options = optionsFor(ScaleKind::kStream);
  options.intervalMs = 100;
  Simulator simulator(options, {}, 0, events);
  EXPECT_EQ(runUntil(simulator, 0, millis(50)), "ST,GS,+  1.234kg\r\n");
  EXPECT_EQ(simulator.nextWake(millis(50)), millis(100));
  std::string error;
  ASSERT_TRUE(simulator.apply(
      ControlCommand{CommandKind::kWeight, 2.0, Unit::kKilogram, Fault::kNone}, error));
  EXPECT_EQ(runUntil(simulator, millis(50), millis(150)), "ST,GS,+  2.000kg\r\n");
}

TEST(SimSimulator, PauseStopsMidFrameAndResumeStartsAfresh) {
  RecordedEvents events;
  Simulator simulator(optionsFor(ScaleKind::kStream), {}, 0, events);
  EXPECT_EQ(runUntil(simulator, 0, 5 * kByte + 10), "ST,GS");
  EXPECT_TRUE(simulator.setPaused(true));
  EXPECT_FALSE(simulator.setPaused(true));
  EXPECT_EQ(runUntil(simulator, millis(10), millis(500)), "");
  EXPECT_FALSE(simulator.nextWake(millis(500)));
  EXPECT_TRUE(simulator.setPaused(false));
  EXPECT_EQ(runUntil(simulator, millis(500), millis(500) + 3 * kByte + 10), "ST,");
}

TEST(SimSimulator, ScheduledPauseGoesQuietAndComesBack) {
  RecordedEvents events;
  SimOptions options = optionsFor(ScaleKind::kTwoStep);
  options.pauseAfterMs = 1000;
  options.pauseForMs = 500;
  Simulator simulator(options, {}, millis(10), events);
  EXPECT_EQ(simulator.nextWake(millis(10)), millis(1010));
  EXPECT_EQ(runUntil(simulator, 0, millis(1100)), "");
  EXPECT_EQ(events.pauses, std::vector<bool>{true});
  simulator.receive("\x05", millis(1100));
  EXPECT_EQ(runUntil(simulator, millis(1100), millis(1400)), "");
  EXPECT_EQ(simulator.nextWake(millis(1400)), millis(1510));
  simulator.takeDue(millis(1510));
  EXPECT_EQ(events.pauses, (std::vector<bool>{true, false}));
  simulator.receive("\x05", millis(1600));
  EXPECT_EQ(runUntil(simulator, millis(1600), millis(1700)), "\x06");
}

TEST(SimSimulator, ControlCommandsChangeTheNextFrame) {
  RecordedEvents events;
  Simulator simulator(optionsFor(ScaleKind::kCombined), {}, 0, events);
  std::string error;
  ControlCommand command;
  for (const char* line : {"weight -2.5", "unstable", "unit g"}) {
    ASSERT_TRUE(parseControlCommand(line, command, error)) << line;
    ASSERT_TRUE(simulator.apply(command, error)) << line;
  }
  simulator.receive("\x05\x11", 0);
  EXPECT_EQ(runUntil(simulator, 0, millis(100)), "US,GS,-  2.500 g\r\n");
  // A weight whose frame a reader could not take whole is refused.
  ASSERT_TRUE(parseControlCommand("weight 123456789.5", command, error));
  EXPECT_FALSE(simulator.apply(command, error));
  EXPECT_NE(error.find("byte frame"), std::string::npos);
  EXPECT_EQ(simulator.state().frame.weight, -2.5);
}

TEST(SimSimulator, SilenceAndANewClientDropWhatWasQueued) {
  RecordedEvents events;
  Simulator simulator(optionsFor(ScaleKind::kTwoStep), {}, 0, events);
  std::string error;
  simulator.receive("\x05", 0);
  simulator.peerChanged();
  EXPECT_EQ(runUntil(simulator, 0, millis(100)), "");
  simulator.receive("\x05", millis(100));
  ASSERT_TRUE(simulator.apply(
      ControlCommand{CommandKind::kFault, 0, Unit::kKilogram, Fault::kSilence}, error));
  EXPECT_EQ(runUntil(simulator, millis(100), millis(200)), "");
}

bool logged(const RecordedEvents& events, const std::string& line) {
  return std::find(events.log.begin(), events.log.end(), line) != events.log.end();
}

UartSettings at(std::uint32_t baud) {
  UartSettings line;
  line.baud = baud;
  return line;
}

// The checker's ENQ at 9600 reaches a 4800 scale as 0xFE (its first two
// falling edges are glitches at the slower rate), so it gets no ACK.
TEST(SimLine, ARequestAtAnotherRateIsMisheard) {
  RecordedEvents events;
  SimOptions options = optionsFor(ScaleKind::kTwoStep);
  options.verbose = true;
  options.line = at(4800);
  Simulator simulator(options, {}, 0, events);
  simulator.setPeerLine(at(9600), 0);
  EXPECT_TRUE(logged(events, "the checker's line is 9600 8N1; the scale's is 4800 8N1"));
  simulator.receive("\x05", millis(100));
  EXPECT_EQ(runUntil(simulator, millis(100), millis(1200)), "");
  EXPECT_TRUE(logged(events, "heard \"\\xFE\""));
  EXPECT_TRUE(logged(events, "garbled toward the scale: 1 of 1 bytes"));

  simulator.setPeerLine(at(4800), millis(1200));
  EXPECT_TRUE(logged(events, "the checker's line is 4800 8N1, as the scale's"));
  simulator.receive("\x05", millis(1300));
  EXPECT_EQ(runUntil(simulator, millis(1300), millis(1400)), "\x06");
}

// Read at twice its rate a stream is garbage with framing errors; once the
// rates agree again, whole frames follow at the pace of the line.
TEST(SimLine, AStreamAtAnotherRateIsGarbledUntilTheRatesAgree) {
  RecordedEvents events;
  SimOptions options = optionsFor(ScaleKind::kStream);
  options.verbose = true;
  Simulator simulator(options, {}, 0, events);
  simulator.setPeerLine(at(19200), 0);
  const std::string garbled = runUntil(simulator, 0, millis(1000));
  EXPECT_EQ(garbled.find("ST,GS"), std::string::npos) << garbled;
  EXPECT_GT(garbled.size(), 960U);  // more characters than were sent
  EXPECT_NE(simulator.takeLineErrors() & line_error::kFraming, 0);
  EXPECT_EQ(simulator.takeLineErrors(), 0);
  EXPECT_EQ(std::count_if(events.log.begin(), events.log.end(),
                          [](const std::string& line) { return line.rfind("garbled", 0) == 0; }),
            1);

  simulator.setPeerLine(at(9600), millis(1000));
  const std::string clean = runUntil(simulator, millis(1000), millis(1100));
  const std::string frames = "ST,GS,+  1.234kg\r\nST,GS,+  1.234kg\r\n";
  EXPECT_NE(clean.find(frames), std::string::npos) << clean;
  // Back on the plain path: each byte is due a character time after the last.
  const Nanos due = *simulator.nextWake(millis(1100));
  EXPECT_EQ(simulator.takeDue(due).size(), 1U);
  EXPECT_NEAR(static_cast<double>(*simulator.nextWake(due) - due), 1041666.7, 1.0);
  EXPECT_EQ(simulator.takeLineErrors(), 0);
}

// A UART of 7 data bits sends no eighth.
TEST(SimLine, ASevenBitScaleSendsSevenBits) {
  RecordedEvents events;
  SimOptions options = optionsFor(ScaleKind::kStream);
  options.line.dataBits = 7;
  options.line.parity = Parity::kEven;
  Simulator simulator(options, {"A\xC1\r\n"}, 0, events);
  EXPECT_EQ(runUntil(simulator, 0, millis(20)).substr(0, 8), "AA\r\nAA\r\n");
}

TEST(SimControl, CommandsParseOrSayWhy) {
  struct Case {
    const char* line;
    bool ok;
    CommandKind kind;
  };
  const Case cases[] = {
      {"pause", true, CommandKind::kPause},
      {"  resume \r", true, CommandKind::kResume},
      {"weight 2.5", true, CommandKind::kWeight},
      {"weight\t-0.125", true, CommandKind::kWeight},
      {"stable", true, CommandKind::kStable},
      {"unstable", true, CommandKind::kUnstable},
      {"unit mg", true, CommandKind::kUnit},
      {"fault garbage", true, CommandKind::kFault},
      {"quit", true, CommandKind::kQuit},
      {"weight", false, CommandKind::kWeight},
      {"weight heavy", false, CommandKind::kWeight},
      {"unit lb", false, CommandKind::kUnit},
      {"fault", false, CommandKind::kFault},
      {"pause now", false, CommandKind::kPause},
      {"jump", false, CommandKind::kPause},
  };
  for (const Case& c : cases) {
    ControlCommand command;
    std::string error;
    EXPECT_EQ(parseControlCommand(c.line, command, error), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ(command.kind, c.kind) << c.line;
    } else {
      EXPECT_FALSE(error.empty()) << c.line;
    }
  }
  ControlCommand command;
  std::string error;
  ASSERT_TRUE(parseControlCommand("fault no-unit", command, error));
  EXPECT_EQ(command.fault, Fault::kNoUnit);
}

TEST(SimControl, CommandLinesAreSplitAndBounded) {
  LineSplitter splitter;
  std::vector<std::string> lines;
  splitter.feed("pau", lines);
  EXPECT_TRUE(lines.empty());
  splitter.feed("se\nresume\nweight", lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"pause", "resume"}));
  lines.clear();
  splitter.feed(std::string(1000, 'x') + "\nquit\n", lines);
  ASSERT_EQ(lines.size(), 2U);
  EXPECT_EQ(lines[0].size(), LineSplitter::kMaxLineLength);
  EXPECT_EQ(lines[1], "quit");
}

}  // namespace
}  // namespace scalecheck::sim
