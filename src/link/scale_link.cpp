#include "link/scale_link.h"

#include "link/bounded_text.h"
#include "platform/numeric_locale.h"

namespace scalecheck {

namespace {

Transport& transportOf(LinkMode mode, SerialTransport& serial, TcpTransport& tcp,
                       NoTransport& none) {
  switch (mode) {
    case LinkMode::kRs232:
      return serial;
    case LinkMode::kTcp:
      return tcp;
    case LinkMode::kNone:
      break;
  }
  return none;
}

}  // namespace

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
      none_(services.clock),
      active_(transportOf(settings.mode, serial_, tcp_, none_)),
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
  stream_ = StreamMemory{};
  if (!transport().open(settings_, lastError_)) return false;
  meantOpen_ = true;
  return true;
}

void ScaleLink::close() {
  transport().close();
  meantOpen_ = false;
}

bool ScaleLink::connectionLost() const {
  return meantOpen_ && (!transport().isOpen() || transport().gone());
}

bool ScaleLink::restoreConnection() {
  if (!connectionLost()) return true;
  Transport& connection = transport();
  connection.close();  // the dead handle first: the device may be back under the same name
  stream_ = StreamMemory{};
  if (!connection.open(settings_, lastError_)) return false;
  if (connectionObserver_ != nullptr) connectionObserver_->connectionReopened();
  return true;
}

bool ScaleLink::changeLineSettings(const LinkSettings& line) {
  settings_.baudRate = line.baudRate;
  settings_.dataBits = line.dataBits;
  settings_.parity = line.parity;
  settings_.stopBits = line.stopBits;
  stream_ = StreamMemory{};
  return transport().applyLineSettings(settings_);
}

std::string ScaleLink::linkTarget() const {
  return active_.target(settings_);
}

void ScaleLink::observeTraffic(TrafficObserver* observer) {
  serial_.setObserver(observer);
  tcp_.setObserver(observer);
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
  return transport().writeBytes(bytes, length);
}

bool ScaleLink::readReply(std::uint8_t* buffer, std::int32_t& count) {
  return transport().readReply(buffer, count);
}

void ScaleLink::recordErrorIfNone(LinkError code) {
  if (lastError_ == LinkError::kNone) lastError_ = code;
}

}  // namespace scalecheck
