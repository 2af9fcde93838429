#include "console/poll_cause_text.h"

#include <cstddef>
#include <iterator>

#include "console/detect_text.h"
#include "console/system_text.h"
#include "platform/cp1251.h"

namespace scalecheck::console {
namespace {

using platform::cp1251;

constexpr auto kSilence = cp1251("тишина");
constexpr auto kAckWithoutFrame = cp1251("ACK без кадра");
constexpr auto kBytesWithoutFrame = cp1251("байты без кадра");
constexpr auto kDeviceGone = cp1251("устройство пропало");
constexpr auto kNotOpened = cp1251("порт не открыт");
constexpr auto kPeerClosed = cp1251("TCP-соединение закрыто");
constexpr auto kFrameRefused = cp1251("кадр не принят");
constexpr auto kNoStability = cp1251("кадр без буквы стабильности");
constexpr auto kNoNumber = cp1251("кадр без числа");
constexpr auto kNumberNotEnded = cp1251("кадр с незаконченным числом");
constexpr auto kNoUnit = cp1251("кадр без единицы");
constexpr auto kTooShort = cp1251("короткий кадр");
constexpr auto kSuggestion = cp1251(
    "\r\nБайты от весов приходят, но кадров в них нет: похоже, не та скорость или формат. "
    "Подберите настройки: scalecheck ");

// In the order of PollCause; a rejected frame is named by its rejection.
constexpr const char* kCauseNames[] = {
    "",
    kSilence.c_str(),
    "NAK",
    kAckWithoutFrame.c_str(),
    kBytesWithoutFrame.c_str(),
    nullptr,
    kDeviceGone.c_str(),
    kNotOpened.c_str(),
    kPeerClosed.c_str(),
};
constexpr const char* kCauseTraceTexts[] = {
    "",      "silence",     "NAK",        "ACK without a frame", "bytes without a frame",
    nullptr, "device gone", "not opened", "peer closed",
};
constexpr const char* kCauseKeywords[] = {
    "",      "silence",     "nak",        "ack-without-frame", "bytes-without-frame",
    nullptr, "device-gone", "not-opened", "peer-closed",
};
// In the order of FrameRejection.
constexpr const char* kRejectionNames[] = {
    kFrameRefused.c_str(),   kNoStability.c_str(), kNoNumber.c_str(),
    kNumberNotEnded.c_str(), kNoUnit.c_str(),      kTooShort.c_str(),
};
constexpr const char* kRejectionTraceTexts[] = {
    "frame rejected",
    "frame rejected: no stability letter",
    "frame rejected: no number",
    "frame rejected: number not ended",
    "frame rejected: no unit",
    "frame rejected: too short",
};
constexpr const char* kRejectionKeywords[] = {
    "frame-rejected",         "frame-no-stability", "frame-no-number",
    "frame-number-not-ended", "frame-no-unit",      "frame-too-short",
};
constexpr auto kCauses = static_cast<std::size_t>(PollCause::kPeerClosed) + 1;
constexpr auto kRejections = static_cast<std::size_t>(FrameRejection::kTooShort) + 1;
static_assert(std::size(kCauseNames) == kCauses && std::size(kCauseTraceTexts) == kCauses &&
              std::size(kCauseKeywords) == kCauses);
static_assert(std::size(kRejectionNames) == kRejections &&
              std::size(kRejectionTraceTexts) == kRejections &&
              std::size(kRejectionKeywords) == kRejections);

// A name from `causes`, or from `rejections` for a rejected frame.
const char* nameOf(PollCause cause, FrameRejection rejection, const char* const* causes,
                   const char* const* rejections) {
  const auto index = static_cast<std::size_t>(cause);
  if (index >= kCauses) return "";
  if (cause == PollCause::kFrameRejected) {
    const auto why = static_cast<std::size_t>(rejection);
    return rejections[why < kRejections ? why : 0];
  }
  return causes[index];
}

}  // namespace

std::string causeName(PollCause cause, FrameRejection rejection) {
  return nameOf(cause, rejection, kCauseNames, kRejectionNames);
}

std::string causeKeyword(PollCause cause, FrameRejection rejection) {
  return nameOf(cause, rejection, kCauseKeywords, kRejectionKeywords);
}

std::string causeTraceText(const PollReport& report) {
  const std::string text =
      nameOf(report.cause, report.rejection, kCauseTraceTexts, kRejectionTraceTexts);
  // The OS's reason, made ASCII as the trace is.
  const std::string reason = lostConnection(report.cause) ? shownName(osText(report.osError)) : "";
  return reason.empty() ? text : text + ": " + reason;
}

std::string detectSuggestion(const LinkSettings& settings) {
  return kSuggestion.c_str() + portOption(settings) + " --detect";
}

}  // namespace scalecheck::console
