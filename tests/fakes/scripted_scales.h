#pragma once

#include <algorithm>
#include <cstdint>
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

  // Frame k (`frameNumber(k)`, k = 0, 1, ...) begins at `at` + k times
  // `intervalMs`, or right after frame k - 1 when that is later (0: back to
  // back); one byte every `byteMs` (9: about 1200 baud), for `durationMs`.
  // `peer` is a serial device or a TCP peer.
  template <typename Peer, typename FrameNumber>
  static void streamEvery(Peer& peer, std::uint64_t at, FrameNumber frameNumber,
                          std::uint32_t intervalMs, std::uint32_t byteMs,
                          std::uint64_t durationMs = 20000) {
    std::uint64_t lineFree = at;
    for (std::uint64_t k = 0, start = at; start < at + durationMs; ++k) {
      const std::string frame = frameNumber(k);
      start = std::max(at + k * intervalMs, lineFree);
      peer.arriveAt(start, frame, byteMs);
      lineFree = start + frame.size() * byteMs;
    }
  }
};

}  // namespace scalecheck::testing
