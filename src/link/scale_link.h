#pragma once

#include <cstdint>

#include "link/link_error.h"
#include "link/link_settings.h"
#include "link/record_file.h"
#include "link/serial_transport.h"
#include "link/tcp_transport.h"
#include "link/weight_reading.h"
#include "platform/services.h"

namespace scalecheck {

// The one object through which the program talks to one scale: its
// settings, its open connection (a serial port or a TCP socket), the last
// reading and the pending error. Operations return true on success; the
// cause of a failure, where there is one, stays pending as lastError() until
// an operation clears it.
class ScaleLink {
 public:
  // Copies the settings and selects the "ru-RU" locale; opens nothing.
  explicit ScaleLink(const LinkSettings& settings,
                     platform::Services& services = platform::systemServices());
  ~ScaleLink();
  ScaleLink(const ScaleLink&) = delete;
  ScaleLink& operator=(const ScaleLink&) = delete;

  // Opens the transport the mode names; any other mode fails without a code.
  bool open();
  // Releases the connection of the link's mode.
  void close();
  // The pending code. `text` (room for kErrorTextSize bytes) receives its
  // Windows-1251 message and `detail` 100 + code; a code outside the table
  // gives an empty text and 0. Either may be null. The code stays pending.
  LinkError errorText(char* text, std::int32_t* detail) const;

  // The transport of the link's mode. Other modes fail at once.
  bool writeBytes(const std::uint8_t* bytes, std::int32_t length);
  bool readReply(std::uint8_t* buffer, std::int32_t& count);

  // State the weight protocol works with.
  const LinkSettings& settings() const { return settings_; }
  LinkError lastError() const { return lastError_; }
  void setLastError(LinkError code) { lastError_ = code; }
  // Records `code` unless another code is pending.
  void recordErrorIfNone(LinkError code);
  WeightReading& lastReading() { return lastReading_; }
  char decimalSeparator() const { return decimalSeparator_; }
  platform::SerialPort* serialPort() { return serial_.port(); }
  platform::Socket* socket() { return tcp_.socket(); }
  platform::Clock& clock() { return services_.clock; }
  // The raw-frame dump "#DeviceIO", with the blocks it could not write yet.
  RecordFile& deviceDump() { return deviceDump_; }

 private:
  LinkSettings settings_;
  platform::Services& services_;
  SerialTransport serial_;
  TcpTransport tcp_;
  RecordFile deviceDump_;
  WeightReading lastReading_;
  LinkError lastError_ = LinkError::kNone;
  char decimalSeparator_ = ' ';
};

constexpr const char* kDeviceDumpPath = "#DeviceIO";

// The separator the selected locale writes: the second character of 0.1
// formatted with "%.1f".
char probeDecimalSeparator();

}  // namespace scalecheck
