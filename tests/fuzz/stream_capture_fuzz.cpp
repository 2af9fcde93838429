// One stream capture on a link to a scale of the input's scenario (see
// link_scenario.h): the bytes it streams, their times and the faults.

#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "link_scenario.h"
#include "protocol/stream_capture.h"

namespace scalecheck::fuzzing {
namespace {

bool isLineEnd(char byte) {
  return byte == '\r' || byte == '\n';
}

// The 21 bytes after a CR LF the scale sent; a stretch cut short at 43
// bytes ends in a NUL instead of its 44th byte.
bool isCutFrame(const std::string& frame, const std::string& sent) {
  const std::string head = "\r\n" + frame.substr(0, kStreamFrameBytes - 1);
  return frame.size() == kStreamFrameBytes &&
         (sent.find("\r\n" + frame) != std::string::npos ||
          (frame.back() == '\0' && sent.find(head) != std::string::npos));
}

// Printable text up to a line end, as the scale sent it after a line end
// or as the first thing it sent.
bool isWholeFrame(const std::string& frame, const std::string& sent) {
  const std::size_t end = frame.find_first_of("\r\n");
  if (end == 0 || end == std::string::npos ||
      frame.find_first_not_of("\r\n", end) != std::string::npos || frame.size() - end > 2) {
    return false;
  }
  for (std::size_t i = 0; i < end; ++i) {
    if (frame[i] < 0x20 || frame[i] > 0x7E) return false;
  }
  for (std::size_t at = sent.find(frame); at != std::string::npos; at = sent.find(frame, at + 1)) {
    if (at == 0 || isLineEnd(sent[at - 1])) return true;
  }
  return false;
}

void requireCapture(bool captured, const std::uint8_t (&frame)[64], std::int32_t count,
                    const std::string& sent, LinkError before, LinkError after) {
  if (captured) {
    require(count >= 2 && count < static_cast<std::int32_t>(kStreamCaptureBytes),
            "a capture counts the frame it hands");
    const auto length = static_cast<std::size_t>(count);
    require(holdsCanary(frame + length, sizeof frame - length),
            "a capture writes its frame and no more");
    const std::string cut(reinterpret_cast<const char*>(frame), length);
    require(isCutFrame(cut, sent) || isWholeFrame(cut, sent),
            "a captured frame is 21 bytes the scale sent after a CR LF, or a whole frame it sent");
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
