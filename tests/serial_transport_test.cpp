#include "link/serial_transport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_services.h"
#include "link/scale_link.h"

namespace scalecheck {
namespace {

using testing::FakeServices;
using testing::SerialCall;

LinkSettings serialSettings() {
  LinkSettings settings = testing::serialLinkSettings(3);
  settings.parity = parity::kEven;
  settings.dataBits = 7;
  return settings;
}

class SerialTransportTest : public ::testing::Test {
 protected:
  FakeServices fake;
  ScaleLink link{serialSettings(), fake.services};

  void openLink() { ASSERT_TRUE(link.open()); }

  testing::TimedReply read() { return testing::readTimed(link, fake.clock); }
};

TEST(SerialPortName, UsesTheDeviceNamespaceFromPortTen) {
  struct Case {
    std::int32_t number;
    const char* name;
  };
  const Case cases[] = {{1, "com1"}, {9, "com9"}, {10, "\\\\.\\com10"}, {256, "\\\\.\\com256"}};
  for (const Case& c : cases) {
    char name[kPortNameSize];
    serialPortName(c.number, name);
    EXPECT_STREQ(name, c.name);
  }
  char name[kPortNameSize];
  serialPortName(-2147483647 - 1, name);  // no COM number can overrun the name
  EXPECT_LT(std::string(name).size(), kPortNameSize);
}

TEST_F(SerialTransportTest, OpenConfiguresThePortAndKeepsTheDriversOtherSettings) {
  fake.serial.state.flags = 0xFFFFFFFF;  // every bit set by the driver
  fake.serial.state.xonLimit = 2048;
  fake.serial.state.xonChar = 0x11;
  openLink();
  EXPECT_EQ(fake.serial.openedName, "com3");
  const std::vector<SerialCall> expected = {SerialCall::kOpen,        SerialCall::kGetState,
                                            SerialCall::kSetState,    SerialCall::kGetTimeouts,
                                            SerialCall::kSetTimeouts, SerialCall::kPurge};
  EXPECT_EQ(fake.serial.calls(), expected);
  const platform::CommState& state = fake.serial.state;
  EXPECT_EQ(state.length, 28U);
  EXPECT_EQ(state.baudRate, 9600U);
  EXPECT_EQ(state.byteSize, 7);
  EXPECT_EQ(state.parity, 2);
  EXPECT_EQ(state.stopBits, 0);
  EXPECT_EQ(state.flags, (0xFFFFFFFFU & ~0x236CU) | 0x1011U);
  EXPECT_EQ(state.xonLimit, 2048);
  EXPECT_EQ(state.xonChar, 0x11);
  const platform::CommTimeouts& t = fake.serial.timeouts;
  EXPECT_EQ(t.readInterval + t.readTotalMultiplier + t.readTotalConstant + t.writeTotalMultiplier +
                t.writeTotalConstant,
            0U);
  EXPECT_EQ(fake.serial.purges, std::vector<std::uint32_t>{0x000C});
  EXPECT_TRUE(link.transport().isOpen());
  EXPECT_EQ(link.lastError(), LinkError::kNone);
}

// Other settings go onto the port held as open put them there, without
// closing it; errors of bytes taken before, and a stream heard before,
// belong to the settings before. Settings the port refuses fail the
// change, and the port stays.
TEST_F(SerialTransportTest, ChangingTheLineSettingsKeepsThePortOpen) {
  openLink();
  link.streamMemory().streaming = true;
  LinkSettings line = link.settings();
  line.baudRate = 1200;
  line.dataBits = 8;
  line.parity = parity::kNone;
  line.stopBits = stop_bits::kTwo;
  fake.serial.nextQueryErrors = platform::kCommErrorParity;
  ASSERT_TRUE(link.changeLineSettings(line));
  const std::vector<SerialCall> calls(fake.serial.calls().begin() + 6, fake.serial.calls().end());
  EXPECT_EQ(calls, (std::vector<SerialCall>{SerialCall::kGetState, SerialCall::kSetState,
                                            SerialCall::kGetTimeouts, SerialCall::kSetTimeouts,
                                            SerialCall::kPurge, SerialCall::kClearError}));
  const platform::CommState& state = fake.serial.state;
  EXPECT_EQ(
      std::vector<std::uint32_t>({state.baudRate, state.byteSize, state.parity, state.stopBits}),
      std::vector<std::uint32_t>({1200, 8, 0, 2}));
  EXPECT_EQ(link.settings().baudRate, 1200);
  EXPECT_EQ(link.transport().takeLineErrors().parity, 0U);
  EXPECT_FALSE(link.streamMemory().streaming);
  fake.serial.failNext(SerialCall::kSetState);
  EXPECT_FALSE(link.changeLineSettings(serialSettings()));
  EXPECT_TRUE(link.transport().isOpen());
  EXPECT_EQ(fake.serialPorts.namesOpened.size(), 1U);
}

TEST_F(SerialTransportTest, AMissingPortRecordsCode8AndOpeningClearsIt) {
  fake.serial.present = false;
  EXPECT_FALSE(link.open());
  EXPECT_EQ(link.lastError(), LinkError::kSerialOpen);
  EXPECT_FALSE(link.transport().isOpen());
  fake.serial.present = true;
  EXPECT_TRUE(link.open());
  EXPECT_EQ(link.lastError(), LinkError::kNone);
}

// Settings the port refuses are the channel-settings error (102), not a
// bare "0, ": the operator then knows the port exists.
TEST_F(SerialTransportTest, AFailedSetupStepClosesThePortAndRecordsCode2) {
  for (SerialCall step : {SerialCall::kGetState, SerialCall::kSetState, SerialCall::kGetTimeouts,
                          SerialCall::kSetTimeouts, SerialCall::kPurge}) {
    FakeServices f;
    ScaleLink l(serialSettings(), f.services);
    f.serial.present = false;
    EXPECT_FALSE(l.open());  // code 8 pending
    f.serial.present = true;
    f.serial.failNext(step);
    EXPECT_FALSE(l.open());
    EXPECT_EQ(l.lastError(), LinkError::kChannelSettings)
        << "the failed step's 2, not the pending 8";
    EXPECT_FALSE(l.transport().isOpen());
    EXPECT_FALSE(f.serial.isOpen);
    EXPECT_EQ(f.serial.calls().back(), SerialCall::kClose);
  }
}

TEST_F(SerialTransportTest, OtherPendingCodesSurviveOpening) {
  link.setLastError(LinkError::kUnknownStream);
  openLink();
  EXPECT_EQ(link.lastError(), LinkError::kUnknownStream);
}

TEST_F(SerialTransportTest, WithoutAPortWritesAndReadsFailWithoutCallingThePlatform) {
  const std::uint8_t enq = 0x05;
  EXPECT_FALSE(link.writeBytes(&enq, 1));
  std::uint8_t buffer[21];
  std::int32_t count = 0;
  EXPECT_FALSE(link.readReply(buffer, count));
  EXPECT_TRUE(fake.serial.calls().empty());
}

TEST_F(SerialTransportTest, WriteWaitsForTheTransmitterToEmpty) {
  openLink();
  fake.serial.transmitMs = 3;
  const std::uint8_t request[] = {0x05, 0x11};
  const std::uint64_t start = fake.clock.now();
  EXPECT_TRUE(link.writeBytes(request, 2));
  EXPECT_EQ(fake.serial.written, "\x05\x11");
  EXPECT_EQ(fake.serial.eventMask, platform::kEventTxEmpty);
  EXPECT_EQ(fake.clock.now() - start, 3U);
}

TEST_F(SerialTransportTest, WriteGivesUpWhenTheTransmitterNeverEmpties) {
  openLink();
  fake.serial.txEmptyNeverReported = true;  // an empty event word every 5 ms
  const std::uint8_t enq = 0x05;
  const std::uint64_t start = fake.clock.now();
  EXPECT_FALSE(link.writeBytes(&enq, 1));
  // The bound is checked after each wait returns: the first check at or
  // past 256 ms ends it.
  EXPECT_EQ(fake.clock.now() - start, 260U);
}

TEST_F(SerialTransportTest, WriteFailuresReturnFalseAndKeepThePort) {
  const std::uint8_t enq = 0x05;
  for (SerialCall call : {SerialCall::kSetEventMask, SerialCall::kWrite, SerialCall::kWaitEvent}) {
    FakeServices f;
    ScaleLink l(serialSettings(), f.services);
    ASSERT_TRUE(l.open());
    f.serial.failNext(call);
    EXPECT_FALSE(l.writeBytes(&enq, 1));
    EXPECT_TRUE(l.transport().isOpen());
  }
  openLink();
  fake.serial.writeTakes = 1;
  const std::uint8_t two[] = {0x05, 0x11};
  EXPECT_FALSE(link.writeBytes(two, 2)) << "a short write";
  EXPECT_FALSE(link.writeBytes(two, 0));
}

TEST_F(SerialTransportTest, ReplyEndsEightyMillisecondsAfterItsLastByte) {
  openLink();
  fake.serial.arriveAfter(10, "\x06");
  const testing::TimedReply reply = read();
  EXPECT_TRUE(reply.ok);
  EXPECT_EQ(reply.bytes, "\x06");
  EXPECT_EQ(reply.elapsed, 90U);
  EXPECT_EQ(fake.serial.eventMask, platform::kEventRxChar);
}

// Line errors change nothing in the reply; each status query that reported
// a kind counts once, until the counts are taken.
TEST_F(SerialTransportTest, LineErrorsAreCountedAndTheBytesKept) {
  openLink();
  fake.serial.nextQueryErrors = platform::kCommErrorParity | platform::kCommErrorFrame;
  fake.serial.arriveAfter(10, "\x06");
  EXPECT_EQ(read().bytes, "\x06");
  fake.serial.nextQueryErrors = platform::kCommErrorFrame | platform::kCommErrorOverrun;
  EXPECT_FALSE(read().ok);
  LineErrorCounts counts = link.transport().takeLineErrors();
  EXPECT_EQ(
      std::vector<std::uint32_t>({counts.overrun, counts.parity, counts.frame, counts.breaks}),
      std::vector<std::uint32_t>({1, 1, 2, 0}));
  counts = link.transport().takeLineErrors();
  EXPECT_EQ(counts.frame + counts.parity + counts.overrun + counts.breaks, 0U);
}

TEST_F(SerialTransportTest, FirstByteLimitIsStrictGapLimitIsNot) {
  struct Case {
    std::uint64_t firstByteAt;  // 0: no first byte
    std::uint64_t secondGap;    // 0: no second byte
    std::string expected;
    std::size_t leftQueued;
  };
  const Case cases[] = {
      {350, 0, "A", 0},  // 350 ms of silence still waits
      {352, 0, "", 1},   // past 350 the wait is over; the late byte stays queued
      {5, 79, "AB", 0},  // a gap under 80 ms continues the reply
      {5, 81, "A", 1},   // 80 ms of silence ended it; the next byte stays queued
  };
  for (const Case& c : cases) {
    FakeServices f;
    ScaleLink l(serialSettings(), f.services);
    ASSERT_TRUE(l.open());
    f.serial.arriveAfter(c.firstByteAt, "A");
    if (c.secondGap != 0) f.serial.arriveAfter(c.firstByteAt + c.secondGap, "B");
    std::uint8_t buffer[21] = {};
    std::int32_t count = 0;
    const bool ok = l.readReply(buffer, count);
    EXPECT_EQ(ok, !c.expected.empty()) << c.firstByteAt << "/" << c.secondGap;
    EXPECT_EQ(
        std::string(reinterpret_cast<char*>(buffer), ok ? static_cast<std::size_t>(count) : 0),
        c.expected);
    f.clock.advanceBy(1000);  // whatever was on its way has arrived
    EXPECT_EQ(f.serial.queued(), c.leftQueued);
  }
}

TEST_F(SerialTransportTest, SilenceLeavesTheCallersBufferAlone) {
  openLink();
  std::uint8_t buffer[21];
  std::fill(std::begin(buffer), std::end(buffer), 0xAA);
  std::int32_t count = 99;
  const std::uint64_t start = fake.clock.now();
  EXPECT_FALSE(link.readReply(buffer, count));
  EXPECT_EQ(fake.clock.now() - start, 351U);
  EXPECT_EQ(count, 99);
  for (std::uint8_t byte : buffer) EXPECT_EQ(byte, 0xAA);
}

TEST_F(SerialTransportTest, TheTwentySecondByteIsTakenAndDropped) {
  openLink();
  const std::string reply = "ST,GS,+  1.234kg\r\nABCDEFG";  // 25 bytes at once
  fake.serial.arriveAfter(20, reply);
  const testing::TimedReply got = read();
  EXPECT_EQ(got.bytes, reply.substr(0, 21));
  EXPECT_EQ(got.elapsed, 20U) << "returns at once, without waiting for silence";
  EXPECT_EQ(fake.serial.queuedBytes(), "EFG");
}

TEST_F(SerialTransportTest, BytesAlreadyWaitingStartTheReply) {
  openLink();
  fake.serial.arriveAt(fake.clock.now(), "\x06");
  fake.clock.advanceBy(500);
  fake.serial.arriveAfter(30, "X");
  const testing::TimedReply reply = read();
  EXPECT_EQ(reply.bytes, "\x06X");
}

TEST_F(SerialTransportTest, APortFailureMidReplyHandsBackWhatCame) {
  openLink();
  fake.serial.arriveAfter(5, "AB", 1);
  fake.serial.arriveAfter(40, "C");
  fake.serial.failNext(SerialCall::kClearError, 1, 2);  // the poll that would see "C" fails
  EXPECT_EQ(read().bytes, "AB");
  EXPECT_EQ(fake.serial.queuedBytes(), "C");
  fake.serial.arriveAfter(5, "C");
  fake.serial.failNext(SerialCall::kRead);
  EXPECT_FALSE(read().ok);
  fake.serial.failNext(SerialCall::kSetEventMask);
  fake.serial.arriveAfter(5, "D");
  EXPECT_FALSE(read().ok);
}

TEST_F(SerialTransportTest, LimitsHoldAcrossTheTickCounterWrap) {
  testing::FakeServices f;
  f.clock.advanceTo(0xFFFFFFFFULL - 40);  // the 32-bit tick wraps during the reply
  ScaleLink l(serialSettings(), f.services);
  ASSERT_TRUE(l.open());
  f.serial.arriveAfter(30, "A");
  f.serial.arriveAfter(100, "B");
  std::uint8_t buffer[21];
  std::int32_t count = 0;
  const std::uint64_t start = f.clock.now();
  ASSERT_TRUE(l.readReply(buffer, count));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(f.clock.now() - start, 180U);
}

TEST_F(SerialTransportTest, CloseReleasesThePortOnlyWhenClosingSucceeds) {
  openLink();
  fake.serial.failNext(SerialCall::kClose);
  link.close();
  EXPECT_TRUE(link.transport().isOpen());
  link.close();
  EXPECT_FALSE(link.transport().isOpen());
  EXPECT_FALSE(fake.serial.isOpen);
}

}  // namespace
}  // namespace scalecheck
