#pragma once

#include <cstdint>

#include "link/transport.h"
#include "link/weight_reading.h"
#include "platform/os_error.h"

namespace scalecheck {

// Why a poll gave no reading, from what it heard. Codes 10 and 11 stay as
// they are; this says what lies behind them.
enum class PollCause : std::uint8_t {
  kNone,               // a reading came
  kSilence,            // not one byte
  kNak,                // the request was refused with NAK
  kAckWithoutFrame,    // ENQ got its ACK, DC1 no frame
  kBytesWithoutFrame,  // bytes that are no text: a wrong rate or framing, noise
  kFrameRejected,      // text the frame parser refused (see FrameRejection)
  kDeviceGone,         // the OS reported the device gone during the poll
  kNotOpened,          // the link is not open, or opening it again failed
  kPeerClosed,         // the TCP peer closed or reset the connection
};

// The causes that say the connection was lost or never made; the report's
// OS error says why.
inline bool lostConnection(PollCause cause) {
  return cause == PollCause::kDeviceGone || cause == PollCause::kNotOpened ||
         cause == PollCause::kPeerClosed;
}

// How the connection of `transport`, found lost, went: a network peer
// closed it, or the device went away.
inline PollCause lossCause(const Transport& transport) {
  return transport.reachesNetworkPeer() ? PollCause::kPeerClosed : PollCause::kDeviceGone;
}

// Why the frame parser refused a frame.
enum class FrameRejection : std::uint8_t {
  kNone,
  kNoStability,     // no stability letter in the first five bytes
  kNoNumber,        // no number starts anywhere
  kNumberNotEnded,  // the number runs to the end of the frame
  kNoUnit,          // no unit letter after the number
  kTooShort,        // nothing to read, or a combined reply of 10 bytes or fewer
};

// What one poll heard, whatever its outcome: the one record the console,
// line-settings detection and event lines read.
struct PollReport {
  PollCause cause = PollCause::kNone;
  FrameRejection rejection = FrameRejection::kNone;  // with kFrameRejected
  std::uint32_t bytesHeard = 0;        // every byte received: the capture and the replies
  std::uint32_t bytesUnasked = 0;      // of them, those heard while listening
  std::uint32_t framesRecognised = 0;  // frames the parser accepted
  bool ackSeen = false;                // ENQ was answered with ACK
  bool nakSeen = false;                // ENQ or the combined request was answered with NAK
  platform::OsError osError;           // with kDeviceGone, kNotOpened, kPeerClosed
  AcquisitionMode mode = AcquisitionMode::kNone;  // with a reading: how it came
};

}  // namespace scalecheck
