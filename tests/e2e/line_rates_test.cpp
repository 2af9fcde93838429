// The built program against scale-sim at a rate of its own, on a pseudo-
// terminal: the simulator sees the rate the program set on its end, and
// only the scale's rate reads.

#include <gtest/gtest.h>

#include <string>

#include "e2e/checker_process.h"
#include "e2e/console_texts.h"
#include "e2e/scale_sim_process.h"
#include "e2e/scratch_dir.h"

namespace scalecheck::e2e {
namespace {

bool exitedWith(const ScriptRun& run, int code) {
  return run.status.exited && run.status.code == code;
}

TEST(LineRates, OnlyTheScalesRateReads) {
  ScratchDir work;
  ScratchDir ports;
  harness::SimProcess sim;
  const std::string port = ports.file("scale");
  ASSERT_TRUE(startSim(sim, {"--pty", port, "--kind", "two-step", "--baud", "4800"}));

  const ScriptRun right = runWith(work, ports, {"--port", port, "--baud", "4800", "--count", "2"});
  EXPECT_TRUE(exitedWith(right, 0)) << right.output;
  EXPECT_NE(right.output.find("Опросов: 2, показаний: 2 (AD: 2), ошибок: 0."), std::string::npos)
      << right.output;

  const ScriptRun wrong = runWith(work, ports, {"--port", port, "--count", "2"});
  EXPECT_TRUE(exitedWith(wrong, 1)) << wrong.output;
}

// The bytes are garbled, not lost: a 4800 stream reaches a 9600 reader as
// bytes that are no frame.
TEST(LineRates, AStreamAtAnotherRateArrivesGarbled) {
  ScratchDir work;
  ScratchDir ports;
  harness::SimProcess sim;
  const std::string port = ports.file("scale");
  ASSERT_TRUE(startSim(sim, {"--pty", port, "--baud", "4800"}));
  const ScriptRun run = runWith(work, ports, {"--port", port, "--count", "1", "--trace", "t"});
  EXPECT_TRUE(exitedWith(run, 1)) << run.output;
  const std::string trace = work.read("t");
  EXPECT_NE(trace.find("  < "), std::string::npos) << trace;
  EXPECT_EQ(trace.find("53 54 2C 47 53"), std::string::npos) << "a frame came whole:\n" << trace;
}

}  // namespace
}  // namespace scalecheck::e2e
