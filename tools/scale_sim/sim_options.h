#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "uart_settings.h"

namespace scalecheck::sim {

// How the scale is asked for a weight.
enum class ScaleKind {
  kStream,    // sends frames on its own and ignores requests
  kTwoStep,   // ENQ -> ACK, then DC1 -> frame
  kCombined,  // ENQ and DC1 together -> frame; a lone ENQ gets nothing
};

enum class Unit { kKilogram, kGram, kTonne, kMilligram, kNone };

enum class SignMode {
  kAuto,   // the weight's own sign
  kPlus,   // always "+", the weight shown without its sign
  kMinus,  // always "-"
};

enum class Fault {
  kNone,
  kSilence,  // never sends anything
  kShort,    // frames cut to kShortFrameLength bytes
  kNak,      // NAK where ACK belongs
  kNoUnit,   // unit letters after the number blanked out
  kGarbage,  // random characters without digits, CR or LF instead of frames
};

enum class LinkKind { kNone, kPty, kDevice, kTcp };

// What a "short" frame keeps: a combined-request reply must be longer than
// this to be read at all.
constexpr std::size_t kShortFrameLength = 10;

// What a frame shows. Changed at run time by the control commands.
struct FrameFields {
  double weight = 1.234;
  int decimals = 3;
  Unit unit = Unit::kKilogram;
  bool stable = true;
  SignMode sign = SignMode::kAuto;
};

// "ST,GS,+  1.234kg" CR LF: stability, a fixed field, sign, weight in seven
// characters, unit in two.
constexpr const char* kDefaultTemplate = "%S,GS,%+%W%U\\r\\n";

struct SimOptions {
  ScaleKind kind = ScaleKind::kStream;
  FrameFields frame;
  std::string frameTemplate = kDefaultTemplate;
  std::string framesFile;  // empty: frames come from the template
  UartSettings line;       // the scale's UART: 9600 8N1 unless told
  double noise = 0.0;      // bit error rate of a pseudo-terminal's line
  std::uint64_t noiseSeed = 1;
  // The scale's UART drops a byte with a parity or framing error instead
  // of taking it (on a modelled line only).
  bool strict = false;
  std::uint32_t delayMs = 20;    // a real scale answers within a few tens of ms
  std::uint32_t intervalMs = 0;  // stream: 0 sends frames back to back
  Fault fault = Fault::kNone;
  std::int64_t pauseAfterMs = -1;  // -1: no scheduled pause
  std::int64_t pauseForMs = -1;    // -1: a scheduled pause lasts for good
  LinkKind link = LinkKind::kNone;
  std::string linkPath;  // pty symlink or device path
  std::string tcpHost = "127.0.0.1";
  std::uint16_t tcpPort = 0;  // 0 with --tcp: any free port
  bool verbose = false;
};

}  // namespace scalecheck::sim
