// One stream capture on a link to a scale of the input's scenario (see
// link_scenario.h): the bytes it streams, their times and the faults.

#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "link_scenario.h"
#include "protocol/stream_capture.h"

namespace scalecheck::fuzzing {
namespace {

void requireCapture(bool captured, const std::uint8_t (&frame)[64], std::int32_t count,
                    const std::string& sent, LinkError before, LinkError after) {
  if (captured) {
    require(count == kStreamFrameBytes, "a capture counts its 21 bytes");
    require(holdsCanary(frame + kStreamFrameBytes, sizeof frame - kStreamFrameBytes),
            "a capture writes 21 bytes and no more");
    // The scale sent the stream once; a stretch cut short at 43 bytes ends
    // in a NUL instead of its 44th byte.
    const std::string cut(reinterpret_cast<const char*>(frame), kStreamFrameBytes);
    const std::string head = "\r\n" + cut.substr(0, kStreamFrameBytes - 1);
    require(sent.find("\r\n" + cut) != std::string::npos ||
                (cut.back() == '\0' && sent.find(head) != std::string::npos),
            "a captured frame is the bytes the scale sent after a CR LF");
    require(after == before, "a capture that finds a frame records no code");
    return;
  }
  require(holdsCanary(frame, sizeof frame) && holdsCanary(&count, sizeof count),
          "a failed capture leaves the frame and its count untouched");
  require(after == before || (before == LinkError::kNone && after == LinkError::kUnknownStream),
          "a failed capture records code 11 or nothing, and never over another code");
}

void checkCapture(const LinkScenario& scenario) {
  testing::FakeServices fake;
  ScenarioPlayer player(scenario, fake);
  {
    ScaleLink link(player.settings(), fake.services);
    if (!link.open()) return;
    player.stream();
    std::uint8_t frame[64];
    std::int32_t count = 0;
    fillCanary(frame, sizeof frame);
    fillCanary(&count, sizeof count);
    const LinkError before = link.lastError();
    const std::uint64_t start = fake.clock.now();
    const bool captured = captureStreamFrame(link, frame, count);
    require(fake.clock.now() - start <= captureBoundMs(scenario.tcp),
            "a capture keeps to its time limits");
    requireCapture(captured, frame, count, scenario.stream, before, link.lastError());
    player.requireHandlesBalanced(link);
  }
  player.requireAllReleased();
}

}  // namespace
}  // namespace scalecheck::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace scalecheck::fuzzing;
  runChecked([&] { checkCapture(drawScenario(data, size)); });
  return 0;
}
