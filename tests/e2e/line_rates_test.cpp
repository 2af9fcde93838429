// The built program against scale-sim at a rate of its own, on a pseudo-
// terminal: the simulator sees the rate the program set on its end, and
// only the scale's rate reads.

#include <gtest/gtest.h>

#include <string>

#include "e2e/console_texts.h"
#include "e2e/scale_on_pty.h"

namespace scalecheck::e2e {
namespace {

TEST(LineRates, OnlyTheScalesRateReads) {
  ScaleOnPty scale;
  const std::string& port = scale.device;
  ASSERT_TRUE(scale.start({"--kind", "two-step", "--baud", "4800"}));

  const ScriptRun right = scale.run({"--port", port, "--baud", "4800", "--count", "2"});
  EXPECT_TRUE(right.exitedWith(0)) << right.output;
  EXPECT_NE(right.output.find("Опросов: 2, показаний: 2 (AD: 2), ошибок: 0."), std::string::npos)
      << right.output;

  // Twice the rate: the scale hears no ENQ in what arrives, and says nothing.
  const ScriptRun wrong = scale.run({"--port", port, "--count", "2"});
  EXPECT_TRUE(wrong.exitedWith(1)) << wrong.output;
  EXPECT_NE(wrong.output.find("(110: 2 (тишина: 2))"), std::string::npos) << wrong.output;

  // Some 7% off: the short requests still get through, the frames come back
  // garbled. The run says so, suggests the scan, and the trace says why each
  // poll failed.
  const ScriptRun nearly =
      scale.run({"--port", port, "--baud", "4480", "--count", "2", "--trace", "t"});
  EXPECT_TRUE(nearly.exitedWith(1)) << nearly.output;
  EXPECT_NE(nearly.output.find("(110: 2 (байты без кадра: 2))"), std::string::npos)
      << nearly.output;
  EXPECT_NE(nearly.output.find("scalecheck --port " + port + " --detect"), std::string::npos)
      << nearly.output;
  const std::string trace = scale.work.read("t");
  for (const char* outcome : {"poll 1: failed, 110, bytes without a frame",
                              "poll 2: failed, 110, bytes without a frame"}) {
    EXPECT_NE(trace.find(outcome), std::string::npos) << trace;
  }
}

// The bytes are garbled, not lost: a 4800 stream reaches a 9600 reader as
// bytes that are no frame.
TEST(LineRates, AStreamAtAnotherRateArrivesGarbled) {
  ScaleOnPty scale;
  ASSERT_TRUE(scale.start({"--baud", "4800"}));
  const ScriptRun run = scale.run({"--port", scale.device, "--count", "1", "--trace", "t"});
  EXPECT_TRUE(run.exitedWith(1)) << run.output;
  const std::string trace = scale.work.read("t");
  EXPECT_NE(trace.find("  < "), std::string::npos) << trace;
  EXPECT_EQ(trace.find("53 54 2C 47 53"), std::string::npos) << "a frame came whole:\n" << trace;
}

}  // namespace
}  // namespace scalecheck::e2e
