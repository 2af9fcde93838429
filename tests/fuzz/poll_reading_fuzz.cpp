// Polls, a second apart, on a link to a scale of the input's scenario (see
// link_scenario.h): what it streams and answers, and the faults of its
// port, its network and its peer.

#include <cstdint>
#include <cstring>

#include "fuzz_check.h"
#include "link_scenario.h"
#include "protocol/acquisition.h"

namespace scalecheck::fuzzing {
namespace {

constexpr std::uint64_t kPollPeriodMs = 1000;  // the poll loop's pause between polls

bool isOpenFailure(LinkError code) {
  return code == LinkError::kSerialOpen || code == LinkError::kChannelSettings ||
         code == LinkError::kTcpConnect;
}

bool sameReading(const WeightReading& a, const WeightReading& b) {
  return a.valid == b.valid && a.acquisitionMode == b.acquisitionMode &&
         a.stability == b.stability && a.hasPoint == b.hasPoint && a.decimals == b.decimals &&
         a.weight == b.weight && a.preciseWeight == b.preciseWeight && a.unit == b.unit &&
         std::memcmp(a.weightText, b.weightText, sizeof a.weightText) == 0;
}

void requireReading(const WeightReading& reading, ScaleLink& link) {
  require(reading.valid == 1, "a poll's reading is valid");
  require(reading.acquisitionMode >= AcquisitionMode::kStream &&
              reading.acquisitionMode <= AcquisitionMode::kTwoStep,
          "a poll's reading says how it came");
  require(reading.stability == StabilityState::kStable ||
              reading.stability == StabilityState::kUnstable,
          "a poll's reading states its stability");
  require(reading.unit >= WeightUnit::kMilligram && reading.unit <= WeightUnit::kTonne,
          "a poll's reading states its unit");
  require(terminatedWithin(reading.weightText, kWeightTextSize),
          "a poll's weight text ends within its 16 bytes");
  require(reading.weight == static_cast<float>(reading.preciseWeight),
          "a poll's float weight is its double weight rounded");
  require(sameReading(reading, link.lastReading()), "a poll hands back the link's reading");
  require(link.lastError() != LinkError::kNoData, "a successful poll leaves no code 10");
}

void requireFailure(const WeightReading& out, ScaleLink& link) {
  require(holdsCanary(&out, sizeof out), "a failed poll leaves its output untouched");
  require(link.lastReading().valid == 0, "a failed poll clears the link's reading");
  const LinkError code = link.lastError();
  require(code == LinkError::kNoData || code == LinkError::kUnknownStream || isOpenFailure(code),
          "a failed poll leaves code 10, 11, or the code of a failed reopening");
}

// The cause agrees with the outcome and with what was heard.
void requireReport(const PollReport& report, bool polled, const WeightReading& out) {
  require((report.cause == PollCause::kNone) == polled, "a poll has a cause exactly when it fails");
  require(report.mode == (polled ? out.acquisitionMode : AcquisitionMode::kNone),
          "the report says how a reading came");
  require(!polled || report.framesRecognised > 0, "a reading is a recognised frame");
  require(report.cause != PollCause::kSilence || report.bytesHeard == 0,
          "silence is a poll that heard nothing");
  const bool needsBytes =
      report.cause == PollCause::kBytesWithoutFrame || report.cause == PollCause::kFrameRejected ||
      report.cause == PollCause::kNak || report.cause == PollCause::kAckWithoutFrame;
  require(!needsBytes || report.bytesHeard > 0, "a cause from bytes heard heard bytes");
  require(report.cause != PollCause::kNak || report.nakSeen, "NAK is a cause only when seen");
  require(report.cause == PollCause::kFrameRejected || report.rejection == FrameRejection::kNone,
          "a rejection is given only with a rejected frame");
}

void checkPolls(const LinkScenario& scenario) {
  testing::FakeServices fake;
  ScenarioPlayer player(scenario, fake);
  {
    ScaleLink link(player.settings(), fake.services);
    if (!link.open()) {
      require(isOpenFailure(link.lastError()), "a failed open leaves code 8, 2 or 9");
      player.requireHandlesBalanced(link);
      return;
    }
    for (int poll = 0; poll < scenario.polls; ++poll) {
      player.stream();
      WeightReading out;
      fillCanary(&out, sizeof out);
      const std::uint64_t start = fake.clock.now();
      const std::size_t sentBefore = player.bytesSent();
      PollReport report;
      const bool polled = pollReading(link, out, report);
      require(fake.clock.now() - start <= pollBoundMs(scenario.tcp),
              "a poll keeps to its time limits");
      requireReport(report, polled, out);
      if (polled) {
        requireReading(out, link);
        // A lone ENQ may have been answered with a frame of the stream.
        require(
            out.acquisitionMode != AcquisitionMode::kStream || player.bytesSent() - sentBefore <= 1,
            "a scale that streams is asked nothing but ENQ");
      } else {
        requireFailure(out, link);
      }
      player.requireHandlesBalanced(link);
      fake.clock.advanceBy(kPollPeriodMs);
    }
  }
  player.requireAllReleased();
}

}  // namespace
}  // namespace scalecheck::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace scalecheck::fuzzing;
  runChecked([&] { checkPolls(drawScenario(data, size)); });
  return 0;
}
