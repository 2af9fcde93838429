#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "fakes/fake_services.h"
#include "link/scale_link.h"

namespace scalecheck::fuzzing {

// A scale behind the fake serial line or TCP network, with the faults that
// strike it, as one input describes it. The input begins with a block of
// kScenarioBytes bytes, one a field (0 where the input has ended: a healthy
// RS-232 scale that answers at once and never streams):
//    0  bit 0: TCP instead of RS-232
//    1  serial transmitter empties 2 + b ms after a write (over 256: stuck)
//    2  bit 0: transmitter-empty never reported, the wait returning every
//       1 + (b >> 1) % 16 ms
//    3  a write takes all bytes, none or one (b % 3)
//  4-6, 7-9  two serial call failures: call (0 none, else SerialCall b - 1),
//       count (1 + b % 4, 4 meaning always), calls that succeed first
//   10  serial device pulled out at (b - 1) * 64 ms (0: never)
//   11  ... and back b * 64 ms later (255: never)
//   12  network faults from (b - 1) * 64 ms (0: never), which are
//   13  bits: startup fails, socket fails, non-blocking mode fails, host
//       unresolvable, connection refused, sends fail
//   14  peer accepts b * 10 ms after connect (over 2048: too late)
//   15  peer closes b * 32 ms after connect (0: never)
//   16  before each poll a streaming scale starts sending b * 4 ms later,
//   17  ... one byte every b ms
//   18  the scale answers a request b * 2 ms after it,
//   19  ... one byte every b ms
//   20  1 + b % 4 polls
// Then four texts in the form of libFuzzer's FuzzedDataProvider (each ended
// by a backslash and one more byte, "\\" for a backslash): what the scale
// streams before each poll, and its answers to ENQ, to DC1 and to ENQ DC1.
constexpr std::size_t kScenarioBytes = 21;

struct LinkScenario {
  bool tcp = false;
  std::uint32_t transmitMs = 2;
  bool txEmptyNeverReported = false;
  std::uint32_t emptyEventMs = 1;
  int writeTakes = -1;
  struct SerialFault {
    int call = -1;  // none
    int count = 0;
    int skip = 0;
  } serialFaults[2];
  std::uint64_t removedAt = testing::kNever;
  std::uint64_t backAfter = testing::kNever;
  std::uint64_t networkFaultsAt = testing::kNever;
  std::uint8_t networkFaults = 0;
  std::uint32_t acceptAfterMs = 0;
  std::uint64_t peerClosesAfter = testing::kNever;
  std::uint32_t streamAfterMs = 0;
  std::uint32_t streamSpacingMs = 0;
  std::uint32_t answerAfterMs = 0;
  std::uint32_t answerSpacingMs = 0;
  int polls = 1;
  std::string stream;
  std::string enqAnswer;
  std::string dc1Answer;
  std::string combinedAnswer;
};

LinkScenario drawScenario(const std::uint8_t* data, std::size_t size);

// Plays a scenario on the fakes from the clock's present moment: the scale
// answers requests and streams, faults strike when their time comes.
class ScenarioPlayer {
 public:
  ScenarioPlayer(const LinkScenario& scenario, testing::FakeServices& fake);
  ScenarioPlayer(const ScenarioPlayer&) = delete;
  ScenarioPlayer& operator=(const ScenarioPlayer&) = delete;

  const LinkSettings& settings() const { return settings_; }
  // What a streaming scale sends from now on, before a poll.
  void stream();
  // Bytes the link has sent to the scale so far.
  std::size_t bytesSent() const;
  // Fails the input unless the fakes hold exactly the connection the link
  // says it holds: one port or socket (and one network startup) at most.
  void requireHandlesBalanced(const ScaleLink& link) const;
  // The same once the link is gone: nothing held.
  void requireAllReleased() const;

 private:
  void onClockMoved();
  void onConnect(testing::FakeSocketState& peer);
  template <typename Peer>
  void answer(Peer& peer, const std::string& written) const;

  LinkScenario scenario_;
  testing::FakeServices& fake_;
  LinkSettings settings_;
  std::uint64_t start_;
  bool networkFaulty_ = false;
};

// Bounds on the virtual time of a stream capture and of a whole poll, from
// the link's time limits.
std::uint64_t captureBoundMs(bool tcp);
std::uint64_t pollBoundMs(bool tcp);

}  // namespace scalecheck::fuzzing
