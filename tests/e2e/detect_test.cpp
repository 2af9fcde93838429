// scalecheck --detect against scale-sim at a rate of its own on a
// pseudo-terminal: the simulator sees the rate the program sets on the
// port held open, so only the scale's rate reads; the command the verdict
// prints polls the scale as printed.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "e2e/scale_on_pty.h"

namespace scalecheck::e2e {
namespace {

struct DetectCase {
  const char* name;
  std::vector<std::string> scale;  // scale-sim's options
  const char* settings;            // the verdict's options; empty: no verdict
  const char* way;
};

void PrintTo(const DetectCase& row, std::ostream* out) {
  *out << row.name;
}

// A scan of every setting of a silent port takes under a minute; the
// safety bound of a run is well above it.
constexpr int kScanBoundMs = 100 * 1000;

class Detect : public ::testing::TestWithParam<DetectCase> {};

std::vector<std::string> wordsOf(const std::string& text) {
  std::istringstream words(text);
  std::vector<std::string> all;
  for (std::string word; words >> word;) all.push_back(word);
  return all;
}

// The arguments of the command the verdict prints, after its name.
std::vector<std::string> printedCommand(const std::string& output) {
  const std::string lead = "Опрос с этими настройками: scalecheck ";
  const std::size_t at = output.find(lead);
  if (at == std::string::npos) return {};
  const std::size_t from = at + lead.size();
  return wordsOf(output.substr(from, output.find('\n', from) - from));
}

TEST_P(Detect, NamesTheScalesRateAndWayOrNothing) {
  const DetectCase& row = GetParam();
  ScaleOnPty scale;
  const std::string& port = scale.device;
  ASSERT_TRUE(scale.start(row.scale));

  const ScriptRun scan = scale.run({"--port", port, "--detect"}, harness::Deadline(kScanBoundMs));
  const bool found = *row.settings != '\0';
  EXPECT_TRUE(scan.exitedWith(found ? 0 : 1)) << scan.output;
  if (!found) {
    EXPECT_EQ(scan.output.find("Найдено"), std::string::npos) << scan.output;
    EXPECT_NE(scan.output.find("Весы не найдены: на всех проверенных настройках (56) - тишина."),
              std::string::npos)
        << scan.output;
    return;
  }
  EXPECT_NE(scan.output.find(std::string(", способ ") + row.way + " ("), std::string::npos)
      << scan.output;
  std::vector<std::string> command = printedCommand(scan.output);
  std::vector<std::string> expected{"--port", port};
  for (const std::string& word : wordsOf(row.settings)) expected.push_back(word);
  ASSERT_EQ(command, expected) << scan.output;
  command.insert(command.end(), {"--count", "2"});
  const ScriptRun run = scale.run(command);
  EXPECT_TRUE(run.exitedWith(0)) << run.output;
  EXPECT_NE(run.output.find(std::string("показаний: 2 (") + row.way + ": 2)"), std::string::npos)
      << run.output;
}

INSTANTIATE_TEST_SUITE_P(
    Scales, Detect,
    ::testing::Values(DetectCase{"Stream4800",
                                 {"--kind", "stream", "--baud", "4800"},
                                 "--baud 4800 --data 8 --parity none --stop 1",
                                 "~22"},
                      DetectCase{"TwoStep19200",
                                 {"--kind", "two-step", "--baud", "19200"},
                                 "--baud 19200 --data 8 --parity none --stop 1",
                                 "AD"},
                      DetectCase{"Combined1200",
                                 {"--kind", "combined", "--baud", "1200"},
                                 "--baud 1200 --data 8 --parity none --stop 1",
                                 "ad"},
                      DetectCase{"Silent", {"--fault", "silence"}, "", ""}),
    [](const ::testing::TestParamInfo<DetectCase>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace scalecheck::e2e
