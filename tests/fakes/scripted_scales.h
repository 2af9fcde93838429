#pragma once

#include <string>

#include "fakes/fake_serial.h"

namespace scalecheck::testing {

constexpr char kEnq = '\x05';
constexpr char kAck = '\x06';
constexpr char kNak = '\x15';
constexpr char kDc1 = '\x11';

// Scales on a fake serial line, answering `answerDelayMs` after a request
// ends, one byte a millisecond (about 9600 baud).
struct ScriptedScale {
  std::uint32_t answerDelayMs = 10;

  // ENQ alone -> `enqAnswer` (ACK for a two-step scale); DC1 -> `frame`.
  void twoStep(FakeSerialDevice& device, const std::string& frame,
               const std::string& enqAnswer = std::string(1, kAck)) const {
    const std::uint32_t delay = answerDelayMs;
    device.onWrite = [&device, frame, enqAnswer, delay](const std::string& written) {
      if (written == std::string(1, kEnq)) device.arriveAfter(delay, enqAnswer, 1);
      if (written == std::string(1, kDc1)) device.arriveAfter(delay, frame, 1);
    };
  }

  // ENQ and DC1 together -> `frame`; nothing else is answered.
  void combined(FakeSerialDevice& device, const std::string& frame) const {
    const std::uint32_t delay = answerDelayMs;
    device.onWrite = [&device, frame, delay](const std::string& written) {
      if (written == std::string{kEnq, kDc1}) device.arriveAfter(delay, frame, 1);
    };
  }

  // `frame` again and again, back to back, from now for `durationMs`.
  static void stream(FakeSerialDevice& device, const std::string& frame,
                     std::uint64_t durationMs = 60000) {
    std::string bytes;
    while (bytes.size() < durationMs) bytes += frame;
    device.arriveAfter(0, bytes, 1);
  }
};

}  // namespace scalecheck::testing
