#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "fd_io.h"
#include "uart_settings.h"

namespace scalecheck::sim {

enum class ReadOutcome {
  kData,         // bytes arrived
  kNothing,      // a wake-up without bytes
  kPeerChanged,  // a client connected or left; `note` says which
  kFailed,       // the link is gone; `note` says why
};

// Reads what `fd` holds into `bytes`: true with kData or kNothing in
// `outcome` while the descriptor is open; false when it has ended or failed,
// which each endpoint answers in its own way.
inline bool readOpenDescriptor(int fd, std::string& bytes, ReadOutcome& outcome) {
  switch (readAvailable(fd, bytes)) {
    case ReadResult::kData:
      outcome = ReadOutcome::kData;
      return true;
    case ReadResult::kNothing:
      outcome = ReadOutcome::kNothing;
      return true;
    case ReadResult::kEnd:
    case ReadResult::kError:
      break;
  }
  return false;
}

// Where the scale's bytes go and requests come from: a pseudo-terminal, a
// serial device or a TCP socket. Every descriptor is non-blocking.
class Endpoint {
 public:
  virtual ~Endpoint() = default;

  // The descriptor to watch for input.
  virtual int pollDescriptor() const = 0;

  // Called when pollDescriptor() reported readiness (input, hang-up or error).
  virtual ReadOutcome read(std::string& bytes, std::string& note) = 0;

  // Writes what the line takes now. Bytes that cannot be written (nobody
  // reads, no client) are dropped, as on a line where nobody listens.
  virtual void write(std::string_view bytes) = 0;

  // The machine-readable line printed once the link is ready.
  virtual std::string readyLine() const = 0;

  // The line settings of the reader's end where the link shows them; none
  // where a real line (a device) or no line (TCP) lies between.
  virtual std::optional<UartSettings> peerLine() const { return std::nullopt; }
};

}  // namespace scalecheck::sim
