#include "link_scenario.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>

#include "fuzz_check.h"

namespace scalecheck::fuzzing {
namespace {

using testing::kNever;
using testing::SerialCall;

constexpr std::size_t kTextMax = 128;  // a stretch of 44 bytes and more
constexpr int kSerialCalls = static_cast<int>(SerialCall::kClose) + 1;
constexpr const char* kHost = "10.0.0.5";
constexpr std::int32_t kPort = 4001;

namespace network_fault {
constexpr std::uint8_t kStartup = 0x01;
constexpr std::uint8_t kSocket = 0x02;
constexpr std::uint8_t kNonBlocking = 0x04;
constexpr std::uint8_t kUnresolvable = 0x08;
constexpr std::uint8_t kRefused = 0x10;
constexpr std::uint8_t kSend = 0x20;
}  // namespace network_fault

// A moment given in steps of `stepMs`, where `never` stands for none.
std::uint64_t momentOf(std::uint8_t b, std::uint8_t never, std::uint64_t stepMs,
                       std::uint64_t offsetSteps = 0) {
  return b == never ? kNever : (b - offsetSteps) * stepMs;
}

LinkScenario::SerialFault serialFault(std::uint8_t call, std::uint8_t count, std::uint8_t skip) {
  LinkScenario::SerialFault fault;
  fault.call = call % (kSerialCalls + 1) - 1;
  fault.count = count % 4 == 3 ? 1 << 30 : 1 + count % 4;
  fault.skip = skip;
  return fault;
}

// The longest each wait of the link may last, from its time limits.
// A stretch: the first byte within 300 ms, each of the 43 more within the
// 80 ms gap, and a cycle of a millisecond for each byte taken.
constexpr std::uint64_t kStretchMs = 300 + 43 * 80 + 44;
// A stream's frame: its first byte within a second; bursts after the first
// begin within a second of it, the last as long as a stretch; then, once,
// a second for the next frame's first byte, to measure the period.
constexpr std::uint64_t kStreamFrameMs = 1000 + 1000 + kStretchMs + 1000;
// RS-232: 200 ms of quiet line; a transmitter-empty wait of 256 ms, which a
// driver that reports no event may overrun by one of its returns (16 ms at
// most here); a reply of 21 bytes, the first within 351 ms, each next one
// within the 80 ms gap.
constexpr std::uint64_t kSerialQuietMs = 200;
constexpr std::uint64_t kSerialTransmitMs = 256 + 16;
constexpr std::uint64_t kSerialReplyMs = 351 + 21 * 80;
// TCP: a connect watched for 2048 ms; 128 ms of settling and 152 ms of
// watching before a stretch; a reply's first byte within 300 ms.
constexpr std::uint64_t kTcpConnectMs = 2048;
constexpr std::uint64_t kTcpWatchMs = 128 + 152;
constexpr std::uint64_t kTcpReplyMs = 300 + 21 * 80;
// The pauses after the ENQ, after the DC1 and (TCP only) after ENQ DC1.
constexpr std::uint64_t kAckDelayMs = 128;
constexpr std::uint64_t kDataDelayMs = 168;
constexpr std::uint64_t kTcpCombinedDelayMs = 168;

}  // namespace

LinkScenario drawScenario(const std::uint8_t* data, std::size_t size) {
  std::array<std::uint8_t, kScenarioBytes> b{};
  const std::size_t taken = std::min(size, kScenarioBytes);
  std::copy(data, data + taken, b.begin());
  LinkScenario s;
  s.tcp = (b[0] & 1) != 0;
  s.transmitMs = 2U + b[1];
  s.txEmptyNeverReported = (b[2] & 1) != 0;
  s.emptyEventMs = 1U + (b[2] >> 1) % 16U;
  s.writeTakes = b[3] % 3 - 1;
  s.serialFaults[0] = serialFault(b[4], b[5], b[6]);
  s.serialFaults[1] = serialFault(b[7], b[8], b[9]);
  s.removedAt = momentOf(b[10], 0, 64, 1);
  s.backAfter = momentOf(b[11], 255, 64);
  s.networkFaultsAt = momentOf(b[12], 0, 64, 1);
  s.networkFaults = b[13];
  s.acceptAfterMs = b[14] * 10U;
  s.peerClosesAfter = momentOf(b[15], 0, 32);
  s.streamAfterMs = b[16] * 4U;
  s.streamSpacingMs = b[17];
  s.answerAfterMs = b[18] * 2U;
  s.answerSpacingMs = b[19];
  s.polls = 1 + b[20] % 4;

  FuzzedDataProvider texts(data + taken, size - taken);
  s.stream = texts.ConsumeRandomLengthString(kTextMax);
  s.enqAnswer = texts.ConsumeRandomLengthString(kTextMax);
  s.dc1Answer = texts.ConsumeRandomLengthString(kTextMax);
  s.combinedAnswer = texts.ConsumeRandomLengthString(kTextMax);
  return s;
}

ScenarioPlayer::ScenarioPlayer(const LinkScenario& scenario, testing::FakeServices& fake)
    : scenario_(scenario), fake_(fake), start_(fake.clock.now()) {
  if (scenario_.tcp) {
    settings_ = testing::tcpLinkToServer(fake_.network, kHost, kPort);
    fake_.network.servers.begin()->second.acceptAfterMs = scenario_.acceptAfterMs;
    fake_.network.onConnect = [this](testing::FakeSocketState& peer) { onConnect(peer); };
  } else {
    settings_ = testing::serialLinkSettings();
    testing::FakeSerialDevice& device = fake_.serial;
    device.transmitMs = scenario_.transmitMs;
    device.txEmptyNeverReported = scenario_.txEmptyNeverReported;
    device.emptyEventMs = scenario_.emptyEventMs;
    device.writeTakes = scenario_.writeTakes;
    for (const LinkScenario::SerialFault& fault : scenario_.serialFaults) {
      if (fault.call >= 0)
        device.failNext(static_cast<SerialCall>(fault.call), fault.count, fault.skip);
    }
    device.onWrite = [this](const std::string& written) { answer(fake_.serial, written); };
  }
  fake_.clock.onAdvance([this] { onClockMoved(); });
}

void ScenarioPlayer::onClockMoved() {
  const std::uint64_t elapsed = fake_.clock.now() - start_;
  const LinkScenario& s = scenario_;
  fake_.serial.removed = s.removedAt != kNever && elapsed >= s.removedAt &&
                         (s.backAfter == kNever || elapsed < s.removedAt + s.backAfter);
  if (networkFaulty_ || s.networkFaultsAt == kNever || elapsed < s.networkFaultsAt) return;
  networkFaulty_ = true;
  testing::FakeNetwork& network = fake_.network;
  network.startupFails = (s.networkFaults & network_fault::kStartup) != 0;
  network.socketFails = (s.networkFaults & network_fault::kSocket) != 0;
  network.nonBlockingFails = (s.networkFaults & network_fault::kNonBlocking) != 0;
  if ((s.networkFaults & network_fault::kUnresolvable) != 0) network.unresolvable.insert(kHost);
  if ((s.networkFaults & network_fault::kRefused) != 0) {
    network.servers.begin()->second.refuses = true;
  }
  if ((s.networkFaults & network_fault::kSend) != 0) {
    for (auto& peer : network.sockets) peer->sendFails = true;
  }
}

void ScenarioPlayer::onConnect(testing::FakeSocketState& peer) {
  const std::uint64_t now = fake_.clock.now();
  peer.sendFails = networkFaulty_ && (scenario_.networkFaults & network_fault::kSend) != 0;
  if (scenario_.peerClosesAfter != kNever) peer.peerClosesAt = now + scenario_.peerClosesAfter;
  peer.onSend = [this, &peer](const std::string& sent) { answer(peer, sent); };
}

template <typename Peer>
void ScenarioPlayer::answer(Peer& peer, const std::string& written) const {
  const std::string* reply = nullptr;
  if (written == "\x05") reply = &scenario_.enqAnswer;
  if (written == "\x11") reply = &scenario_.dc1Answer;
  if (written == "\x05\x11") reply = &scenario_.combinedAnswer;
  // A write the driver took in part sends less than was asked.
  require(reply != nullptr || written.empty(), "the link sends only ENQ, DC1 or ENQ DC1");
  if (reply == nullptr || reply->empty()) return;
  peer.arriveAt(fake_.clock.now() + scenario_.answerAfterMs, *reply, scenario_.answerSpacingMs);
}

void ScenarioPlayer::stream() {
  if (scenario_.stream.empty()) return;
  const std::uint64_t at = fake_.clock.now() + scenario_.streamAfterMs;
  if (!scenario_.tcp) {
    fake_.serial.arriveAt(at, scenario_.stream, scenario_.streamSpacingMs);
  } else if (!fake_.network.sockets.empty()) {
    fake_.network.last().arriveAt(at, scenario_.stream, scenario_.streamSpacingMs);
  }
}

std::size_t ScenarioPlayer::bytesSent() const {
  std::size_t sent = fake_.serial.written.size();
  for (const auto& peer : fake_.network.sockets) sent += peer->sent.size();
  return sent;
}

void ScenarioPlayer::requireHandlesBalanced(const ScaleLink& link) const {
  const bool held = link.transport().isOpen();
  if (!scenario_.tcp) {
    require(fake_.serial.isOpen == held, "the port is open exactly while the link holds it");
    return;
  }
  const testing::FakeNetwork& network = fake_.network;
  const auto open = std::count_if(network.sockets.begin(), network.sockets.end(),
                                  [](const auto& peer) { return !peer->closed; });
  require(open == (held ? 1 : 0), "one socket is open exactly while the link holds it");
  require(network.startups - network.cleanups == (held ? 1 : 0),
          "one network startup is in force exactly while the link holds a socket");
}

void ScenarioPlayer::requireAllReleased() const {
  const testing::FakeNetwork& network = fake_.network;
  require(!fake_.serial.isOpen, "no port stays open after the link");
  require(std::none_of(network.sockets.begin(), network.sockets.end(),
                       [](const auto& peer) { return !peer->closed; }),
          "no socket stays open after the link");
  require(network.startups == network.cleanups, "every network startup is cleaned up");
}

std::uint64_t captureBoundMs(bool tcp) {
  return (tcp ? kTcpWatchMs : kSerialQuietMs) + kStreamFrameMs;
}

// A frame answering a lone ENQ is streamed: the stream is listened for
// once more before the combined request.
std::uint64_t pollBoundMs(bool tcp) {
  if (tcp) {
    return kTcpConnectMs + captureBoundMs(true) + kStreamFrameMs + kAckDelayMs + kDataDelayMs +
           kTcpCombinedDelayMs + 3 * kTcpReplyMs;
  }
  return captureBoundMs(false) + kStreamFrameMs + 3 * kSerialTransmitMs + kAckDelayMs +
         kDataDelayMs + 3 * kSerialReplyMs;
}

}  // namespace scalecheck::fuzzing
