#pragma once

#include <cstdint>
#include <string>

#include "link/link_error.h"
#include "link/link_settings.h"
#include "link/no_transport.h"
#include "link/record_file.h"
#include "link/serial_transport.h"
#include "link/stop_check.h"
#include "link/stream_memory.h"
#include "link/tcp_transport.h"
#include "link/transport.h"
#include "link/weight_reading.h"
#include "platform/services.h"

namespace scalecheck {

// Told when a poll opens a lost connection again, at that moment, so that
// a record of the run can say when the device came back.
class ConnectionObserver {
 public:
  virtual ~ConnectionObserver() = default;
  virtual void connectionReopened() = 0;
};

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
  // Before a poll: a connection the OS reported gone (an adapter pulled
  // out, a peer that closed) or dropped after a failed send is closed and
  // opened again, once a poll, for as long as the link is meant to be open.
  // False when it could not be; the open's own code (8, 2 or 9) is then
  // pending. What was learnt of the scale is forgotten: another may be there.
  bool restoreConnection();
  // True while the link is meant to be open but its connection is lost (the
  // OS reported the device or peer gone, or a failed send dropped it): the
  // next poll opens it again.
  bool connectionLost() const;
  // Each reopen that succeeds is told to `observer` (null: none).
  void observeConnection(ConnectionObserver* observer) { connectionObserver_ = observer; }
  // Puts the rate and framing of `line` in force on the port held, without
  // closing it (the settings steps of open: state, time-outs, purge). What
  // was learnt of the scale is forgotten: it was heard at other settings.
  // False when the port refused them or is not open; over TCP, whose line
  // is not ours, only the latter.
  bool changeLineSettings(const LinkSettings& line);
  // The pending code. `text` (room for kErrorTextSize bytes) receives its
  // Windows-1251 message and `detail` 100 + code; a code outside the table
  // gives an empty text and 0. Either may be null. The code stays pending.
  LinkError errorText(char* text, std::int32_t* detail) const;

  // The transport of the link's mode. Other modes fail at once.
  bool writeBytes(const std::uint8_t* bytes, std::int32_t length);
  bool readReply(std::uint8_t* buffer, std::int32_t& count);
  Transport& transport() { return active_; }
  const Transport& transport() const { return active_; }
  // The OS error of the last failure of the link's transport, so that a
  // message can say why.
  const platform::OsError& osError() const { return transport().osError(); }
  // The device or peer the link reaches, for messages: "/dev/ttyUSB0",
  // "com3" on Windows, or "192.168.0.7:4001".
  std::string linkTarget() const;
  // Every byte sent and received is shown to `observer` (null: none).
  void observeTraffic(TrafficObserver* observer);

  // State the weight protocol works with.
  const LinkSettings& settings() const { return settings_; }
  LinkError lastError() const { return lastError_; }
  void setLastError(LinkError code) { lastError_ = code; }
  // Records `code` unless another code is pending.
  void recordErrorIfNone(LinkError code);
  WeightReading& lastReading() { return lastReading_; }
  // Whether the scale streams, learnt by the polls; forgotten on every open.
  StreamMemory& streamMemory() { return stream_; }
  // Polls ask `check` (not owned; null: none) between their waits and give
  // up once it says so.
  void setStopCheck(StopCheck* check) { stopCheck_ = check; }
  bool stoppable() const { return stopCheck_ != nullptr; }
  bool stopRequested() { return stopCheck_ != nullptr && stopCheck_->stopRequested(); }
  char decimalSeparator() const { return decimalSeparator_; }
  platform::Clock& clock() { return services_.clock; }
  // The raw-frame dump "#DeviceIO", with the blocks it could not write yet.
  RecordFile& deviceDump() { return deviceDump_; }

 private:
  LinkSettings settings_;
  platform::Services& services_;
  SerialTransport serial_;
  TcpTransport tcp_;
  NoTransport none_;
  Transport& active_;       // the one of the link's mode, which never changes
  bool meantOpen_ = false;  // opened, and not closed since
  ConnectionObserver* connectionObserver_ = nullptr;
  RecordFile deviceDump_;
  WeightReading lastReading_;
  StreamMemory stream_;
  StopCheck* stopCheck_ = nullptr;
  LinkError lastError_ = LinkError::kNone;
  char decimalSeparator_ = ' ';
};

constexpr const char* kDeviceDumpPath = "#DeviceIO";

// The separator the selected locale writes: the second character of 0.1
// formatted with "%.1f".
char probeDecimalSeparator();

}  // namespace scalecheck
