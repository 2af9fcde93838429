#include "link/scale_link.h"

#include "link/bounded_text.h"
#include "platform/numeric_locale.h"

namespace scalecheck {

char probeDecimalSeparator() {
  char text[8];
  platform::formatFixed(text, sizeof text, static_cast<double>(0.1F), 1);
  return text[1];
}

ScaleLink::ScaleLink(const LinkSettings& settings, platform::Services& services)
    : settings_(settings),
      services_(services),
      serial_(services.serialPorts, services.clock),
      tcp_(services.sockets, services.clock),
      deviceDump_(services.files, kDeviceDumpPath) {
  platform::selectLocale("ru-RU");
  decimalSeparator_ = probeDecimalSeparator();
  // A host text that fills its buffer keeps its first 15 characters.
  settings_.host[kHostSize - 1] = '\0';
}

ScaleLink::~ScaleLink() {
  // Whatever mode the link was given, nothing it holds outlives it.
  serial_.close();
  tcp_.close();
}

bool ScaleLink::open() {
  switch (settings_.mode) {
    case LinkMode::kRs232:
      return serial_.open(settings_, lastError_);
    case LinkMode::kTcp:
      return tcp_.open(settings_);
    case LinkMode::kNone:
      break;
  }
  return false;
}

void ScaleLink::close() {
  switch (settings_.mode) {
    case LinkMode::kRs232:
      serial_.close();
      break;
    case LinkMode::kTcp:
      tcp_.close();
      break;
    case LinkMode::kNone:
      break;
  }
}

LinkError ScaleLink::errorText(char* text, std::int32_t* detail) const {
  const char* message = linkErrorMessage(lastError_);
  if (text != nullptr) copyBounded(text, kErrorTextSize, message != nullptr ? message : "");
  if (detail != nullptr) {
    *detail = message != nullptr ? 100 + static_cast<std::int32_t>(lastError_) : 0;
  }
  return lastError_;
}

bool ScaleLink::writeBytes(const std::uint8_t* bytes, std::int32_t length) {
  switch (settings_.mode) {
    case LinkMode::kRs232:
      return serial_.writeBytes(bytes, length);
    case LinkMode::kTcp:
      return tcp_.writeBytes(bytes, length);
    case LinkMode::kNone:
      break;
  }
  return false;
}

bool ScaleLink::readReply(std::uint8_t* buffer, std::int32_t& count) {
  switch (settings_.mode) {
    case LinkMode::kRs232:
      return serial_.readReply(buffer, count);
    case LinkMode::kTcp:
      return tcp_.readReply(buffer, count);
    case LinkMode::kNone:
      break;
  }
  return false;
}

void ScaleLink::recordErrorIfNone(LinkError code) {
  if (lastError_ == LinkError::kNone) lastError_ = code;
}

}  // namespace scalecheck
