#include "console/poll_cause_text.h"

#include "console/system_text.h"
#include "link/tcp_transport.h"
#include "platform/cp1251.h"

namespace scalecheck::console {
namespace {

using platform::cp1251;

constexpr auto kSilence = cp1251("тишина");
constexpr auto kAckWithoutFrame = cp1251("ACK без кадра");
constexpr auto kBytesWithoutFrame = cp1251("байты без кадра");
constexpr auto kFrameRefused = cp1251("кадр не принят");
constexpr auto kNoStability = cp1251("кадр без буквы стабильности");
constexpr auto kNoNumber = cp1251("кадр без числа");
constexpr auto kNumberNotEnded = cp1251("кадр с незаконченным числом");
constexpr auto kNoUnit = cp1251("кадр без единицы");
constexpr auto kTooShort = cp1251("короткий кадр");
constexpr auto kDeviceGone = cp1251("устройство пропало");
constexpr auto kNotOpened = cp1251("порт не открыт");
constexpr auto kPeerClosed = cp1251("TCP-соединение закрыто");
constexpr auto kSuggestion = cp1251(
    "\r\nБайты от весов приходят, но кадров в них нет: похоже, не та скорость или формат. "
    "Подберите настройки: scalecheck ");

std::string rejectionName(FrameRejection rejection) {
  switch (rejection) {
    case FrameRejection::kNoStability:
      return kNoStability.c_str();
    case FrameRejection::kNoNumber:
      return kNoNumber.c_str();
    case FrameRejection::kNumberNotEnded:
      return kNumberNotEnded.c_str();
    case FrameRejection::kNoUnit:
      return kNoUnit.c_str();
    case FrameRejection::kTooShort:
      return kTooShort.c_str();
    case FrameRejection::kNone:
      break;
  }
  return kFrameRefused.c_str();
}

const char* rejectionTraceText(FrameRejection rejection) {
  switch (rejection) {
    case FrameRejection::kNoStability:
      return "frame rejected: no stability letter";
    case FrameRejection::kNoNumber:
      return "frame rejected: no number";
    case FrameRejection::kNumberNotEnded:
      return "frame rejected: number not ended";
    case FrameRejection::kNoUnit:
      return "frame rejected: no unit";
    case FrameRejection::kTooShort:
      return "frame rejected: too short";
    case FrameRejection::kNone:
      break;
  }
  return "frame rejected";
}

// "device gone: Input/output error"; the OS text made ASCII for the trace.
std::string withOsText(const char* what, const platform::OsError& error) {
  const std::string text = shownName(osText(error));
  return text.empty() ? what : std::string(what) + ": " + text;
}

}  // namespace

std::string causeName(PollCause cause, FrameRejection rejection) {
  switch (cause) {
    case PollCause::kSilence:
      return kSilence.c_str();
    case PollCause::kNak:
      return "NAK";
    case PollCause::kAckWithoutFrame:
      return kAckWithoutFrame.c_str();
    case PollCause::kBytesWithoutFrame:
      return kBytesWithoutFrame.c_str();
    case PollCause::kFrameRejected:
      return rejectionName(rejection);
    case PollCause::kDeviceGone:
      return kDeviceGone.c_str();
    case PollCause::kNotOpened:
      return kNotOpened.c_str();
    case PollCause::kPeerClosed:
      return kPeerClosed.c_str();
    case PollCause::kNone:
      break;
  }
  return "";
}

std::string causeTraceText(const PollReport& report) {
  switch (report.cause) {
    case PollCause::kSilence:
      return "silence";
    case PollCause::kNak:
      return "NAK";
    case PollCause::kAckWithoutFrame:
      return "ACK without a frame";
    case PollCause::kBytesWithoutFrame:
      return "bytes without a frame";
    case PollCause::kFrameRejected:
      return rejectionTraceText(report.rejection);
    case PollCause::kDeviceGone:
      return withOsText("device gone", report.osError);
    case PollCause::kNotOpened:
      return withOsText("not opened", report.osError);
    case PollCause::kPeerClosed:
      return withOsText("peer closed", report.osError);
    case PollCause::kNone:
      break;
  }
  return "";
}

std::string detectSuggestion(const LinkSettings& settings) {
  std::string port;
  if (settings.mode == LinkMode::kTcp) {
    port = "--tcp " + TcpTransport::peerName(settings);
  } else if (!settings.devicePath.empty()) {
    port = "--port " + settings.devicePath;
  } else {
    port = "--port com" + std::to_string(settings.comNumber);
  }
  return kSuggestion.c_str() + shownName(port) + " --detect";
}

}  // namespace scalecheck::console
