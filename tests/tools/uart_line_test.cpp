#include "uart_line.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace scalecheck::sim {
namespace {

constexpr UartSettings k8N1{9600, 8, Parity::kNone, 1};
constexpr UartSettings k7E1{9600, 7, Parity::kEven, 1};
constexpr UartSettings k7O1{9600, 7, Parity::kOdd, 1};
constexpr UartSettings k7N2{9600, 7, Parity::kNone, 2};
constexpr UartSettings k8E1{9600, 8, Parity::kEven, 1};

UartSettings at(UartSettings line, std::uint32_t baud) {
  line.baud = baud;
  return line;
}

constexpr int kPe = line_error::kParity;
constexpr int kFe = line_error::kFraming;
constexpr int kBreak = line_error::kBreak | line_error::kFraming;

// A byte received and its line_error bits.
using Got = std::pair<int, int>;

// `bytes` sent back to back from time 0, all the receiver made of them.
std::vector<ReceivedByte> across(const UartSettings& sender, const UartSettings& receiver,
                                 const std::string& bytes, UartLine line = UartLine()) {
  Nanos start = 0;
  for (char byte : bytes) start = line.send(static_cast<std::uint8_t>(byte), sender, start);
  return line.receive(receiver, kNanosPerSecond * 1000);
}

std::vector<Got> values(const std::vector<ReceivedByte>& received) {
  std::vector<Got> got;
  for (const ReceivedByte& byte : received) got.emplace_back(byte.value, byte.errors);
  return got;
}

// Worked out bit by bit on paper: the sender's bits at the receiver's
// sampling moments (just after the middle of each of its own bits, counted
// from an edge).
TEST(UartLine, KnownPatternsAtKnownSettings) {
  struct Case {
    const char* name;
    UartSettings sender;
    UartSettings receiver;
    std::string sent;
    std::vector<Got> received;
  };
  const Case cases[] = {
      // Twice the rate: each sent bit is sampled twice; the stop sample
      // falls on a 0, and the next edge starts a second character.
      {"2x", k8N1, at(k8N1, 19200), "U", {{0x66, kFe}, {0xE6, 0}}},
      // Half the rate: the start samples of the first two edges find the
      // line back at 1 (glitches); the third edge gives a character.
      {"half", k8N1, at(k8N1, 4800), "\x05", {{0xFE, 0}}},
      // 7E1 read as 8N1: the parity bit becomes bit 7 ('T' has odd ones).
      {"7E1 as 8N1", k7E1, k8N1, "ST", {{0x53, 0}, {0xD4, 0}}},
      {"7E1 as 7O1", k7E1, k7O1, "ST", {{0x53, kPe}, {0x54, kPe}}},
      // 8N1 read as 7E1: bit 7 (0) is taken as parity, right for 'S' only.
      {"8N1 as 7E1", k8N1, k7E1, "ST", {{0x53, 0}, {0x54, kPe}}},
      // 8N1 read as 7N2: bit 7 is the stop bit; the next start realigns.
      {"8N1 as 7N2", k8N1, k7N2, "ST", {{0x53, kFe}, {0x54, kFe}}},
      // ...and a NUL holds the line at 0 through the stop sample: a break.
      {"NUL as 7N2", k8N1, k7N2, std::string(1, '\0'), {{0x00, kBreak}}},
      // Back to back 8N1 read as 8E1: the stop sample hits the next start
      // bit, and the hunt resumes in the middle of 'T'.
      {"8N1 stream as 8E1", k8N1, k8E1, "ST", {{0x53, kPe | kFe}, {0xF5, kPe}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(values(across(c.sender, c.receiver, c.sent)), c.received) << c.name;
  }
}

TEST(UartLine, EqualSettingsPassEveryByteAtItsStopSample) {
  for (const UartSettings& line : {k8N1, k7E1, k7O1, k7N2, k8E1, at(k8N1, 115200)}) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
    const std::vector<ReceivedByte> received = across(line, line, all);
    ASSERT_EQ(received.size(), all.size()) << describeLine(line);
    for (std::size_t i = 0; i < received.size(); ++i) {
      const ReceivedByte& byte = received[i];
      ASSERT_EQ(byte.value, i & line.dataMask()) << describeLine(line) << " byte " << i;
      ASSERT_EQ(byte.errors, 0) << describeLine(line) << " byte " << i;
      ASSERT_FALSE(byte.garbled);
      // Handed over in the middle of the first stop bit, counted in bits
      // from the start of its character.
      const double bits = static_cast<double>(byte.complete) * line.baud / 1e9 -
                          static_cast<double>(i * line.bitsPerCharacter());
      const double stopBit = line.bitsPerCharacter() - line.stopBits;
      ASSERT_GE(bits, stopBit + 0.5 - 1e-3) << describeLine(line) << " byte " << i;
      ASSERT_LE(bits, stopBit + 0.5 + 1.0 / 16) << describeLine(line) << " byte " << i;
    }
  }
}

TEST(UartLine, GivesBytesOnlyOnceTheWireIsFinalUpToTheirStopSample) {
  UartLine line;
  line.send('A', k8N1, 0);
  const Nanos stopSample = line.nextCompletion(k8N1).value_or(0);
  ASSERT_GT(stopSample, 0);
  EXPECT_TRUE(line.receive(k8N1, stopSample - 1).empty());
  EXPECT_FALSE(line.quiet(k8N1, stopSample));
  EXPECT_EQ(values(line.receive(k8N1, stopSample)), (std::vector<Got>{{'A', 0}}));
  // A sender that stops takes back what the receiver has not seen begin.
  line.send('B', k8N1, millis(5));
  line.withdrawUnobserved();
  EXPECT_FALSE(line.nextCompletion(k8N1));
  EXPECT_TRUE(line.quiet(k8N1, millis(5)));
  // Nothing can start in what was already looked at.
  EXPECT_TRUE(line.receive(k8N1, millis(5)).empty());
  line.send('C', k8N1, 0);
  EXPECT_EQ(line.nextCompletion(k8N1), millis(5) + stopSample);
}

TEST(UartLine, NoiseGarblesTheSameBytesForTheSameSeed) {
  const std::string sent(200, 'S');
  const auto noisy = [&](std::uint64_t seed) {
    return across(k8N1, k8N1, sent, UartLine(BitNoise(0.01, seed)));
  };
  const std::vector<Got> first = values(noisy(7));
  EXPECT_EQ(values(noisy(7)), first);
  EXPECT_NE(values(noisy(8)), first);
  std::size_t garbled = 0;
  for (const ReceivedByte& byte : noisy(7)) garbled += byte.garbled ? 1 : 0;
  EXPECT_GT(garbled, 0U);
  EXPECT_EQ(values(across(k8N1, k8N1, sent, UartLine(BitNoise(0.0, 7)))).size(), sent.size());
}

}  // namespace
}  // namespace scalecheck::sim
