#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fakes/virtual_clock.h"
#include "platform/serial_port.h"

namespace scalecheck::testing {

// The serial-port calls, for failure injection and the call log.
enum class SerialCall {
  kOpen,
  kGetState,
  kSetState,
  kGetTimeouts,
  kSetTimeouts,
  kPurge,
  kSetEventMask,
  kWrite,
  kWaitEvent,
  kClearError,
  kRead,
  kWaitForInput,
  kClose,
};

// A peer that makes its bytes as time passes rather than from a script (a
// simulated scale behind a modelled line): the device brings it up to the
// present before it looks at what has arrived.
class SerialPeer {
 public:
  virtual ~SerialPeer() = default;
  // Acts up to `now`; what it has sent by then arrives with arriveAt.
  virtual void catchUp(std::uint64_t now) = 0;
  // When it next acts; the maximum while it waits for nothing.
  virtual std::uint64_t nextEvent() const = 0;
};

// A scripted serial device on a virtual clock: bytes arrive at set times, a
// peer script can answer what is written, and any call can be made to fail.
class FakeSerialDevice {
 public:
  explicit FakeSerialDevice(VirtualClock& clock) : clock_(clock) {}

  // --- the script
  // `bytes` arrive at `time`, or from `time` on one every `spacingMs`; the
  // receiver noticed `lineErrors` (kCommError bits) in them.
  void arriveAt(std::uint64_t time, const std::string& bytes, std::uint32_t spacingMs = 0,
                std::uint32_t lineErrors = 0);
  void arriveAfter(std::uint64_t delay, const std::string& bytes, std::uint32_t spacingMs = 0) {
    arriveAt(clock_.now() + delay, bytes, spacingMs);
  }
  // Called with what each write sent, at the moment it was written.
  std::function<void(const std::string& written)> onWrite;
  // Makes bytes as time passes, besides the script; not owned.
  SerialPeer* peer = nullptr;
  // The next `count` calls of `call` fail (after `skip` calls succeed).
  void failNext(SerialCall call, int count = 1, int skip = 0);
  void failAlways(SerialCall call) { failNext(call, 1 << 30); }
  // The device's transmitter empties this long after a write; a waitEvent
  // for EV_TXEMPTY returns then. With `txEmptyNeverReported`, each wait
  // returns an empty event word every `emptyEventMs`, as Wine does on a pty.
  std::uint32_t transmitMs = 2;
  bool txEmptyNeverReported = false;
  std::uint32_t emptyEventMs = 5;
  // A write reports this many bytes taken (negative: all).
  int writeTakes = -1;
  // Whether a port is behind the name (CreateFileA succeeds).
  bool present = true;
  // The device has been pulled out: every call on a port opened before
  // fails as a removed device's do, and no open succeeds until `removed`
  // is set back.
  bool removed = false;
  // What a call made to fail reports.
  platform::OsError failureReported{platform::FailureKind::kOther, 5};
  // Line errors (kCommError* bits) the next status query reports besides
  // those of the bytes that arrived, and resets.
  std::uint32_t nextQueryErrors = 0;

  // --- what the code did
  const std::vector<SerialCall>& calls() const { return calls_; }
  bool called(SerialCall call) const;
  std::string openedName;
  bool isOpen = false;
  platform::CommState state;  // as the driver holds it
  platform::CommTimeouts timeouts{1, 2, 3, 4, 5};
  std::uint32_t eventMask = 0;
  std::vector<std::uint32_t> purges;
  std::string written;
  // Bytes that have arrived and not been read.
  std::size_t queued();
  std::string queuedBytes();

  // --- used by the fake port
  bool enter(SerialCall call);  // logs the call; false when it is to fail
  platform::OsError lastError;  // of the last call that failed
  void pump();                  // moves arrived bytes into the receive queue
  std::uint64_t nextArrival() const;
  VirtualClock& clock() { return clock_; }
  std::deque<std::uint8_t>& receiveQueue() { return receive_; }
  // The line errors of the bytes arrived since the last call.
  std::uint32_t takeLineErrors();
  std::uint64_t transmitterEmptyAt = 0;

 private:
  VirtualClock& clock_;
  struct Arrival {
    std::uint8_t byte;
    std::uint32_t lineErrors;
  };
  std::multimap<std::uint64_t, Arrival> arrivals_;
  std::deque<std::uint8_t> receive_;
  std::uint32_t lineErrors_ = 0;
  std::vector<SerialCall> calls_;
  struct Failure {
    int skip;
    int count;
  };
  std::map<SerialCall, Failure> failures_;
};

class FakeSerialPort : public platform::SerialPort {
 public:
  explicit FakeSerialPort(FakeSerialDevice& device) : device_(device) {}
  ~FakeSerialPort() override { device_.isOpen = false; }
  FakeSerialPort(const FakeSerialPort&) = delete;
  FakeSerialPort& operator=(const FakeSerialPort&) = delete;
  bool getState(platform::CommState& state) override;
  bool setState(const platform::CommState& state) override;
  bool getTimeouts(platform::CommTimeouts& timeouts) override;
  bool setTimeouts(const platform::CommTimeouts& timeouts) override;
  bool purge(std::uint32_t flags) override;
  bool setEventMask(std::uint32_t mask) override;
  bool write(const std::uint8_t* bytes, std::uint32_t length, std::uint32_t& written,
             std::uint32_t maxMilliseconds) override;
  bool waitEvent(std::uint32_t& events, std::uint32_t maxMilliseconds) override;
  bool clearError(std::uint32_t& errors, platform::CommStatus& status) override;
  bool read(std::uint8_t* buffer, std::uint32_t length, std::uint32_t& got) override;
  void waitForInput(std::uint32_t maxMilliseconds) override;
  bool close() override;
  const platform::OsError& lastError() const override { return device_.lastError; }

 private:
  FakeSerialDevice& device_;
};

class FakeSerialPorts : public platform::SerialPorts {
 public:
  explicit FakeSerialPorts(FakeSerialDevice& device) : device_(device) {}
  std::unique_ptr<platform::SerialPort> open(const char* name, platform::OsError& error) override;
  std::string deviceFor(const char* name) override { return kDevicePrefix + std::string(name); }
  static constexpr char kDevicePrefix[] = "fake:";
  std::vector<std::string> namesOpened;

 private:
  FakeSerialDevice& device_;
};

}  // namespace scalecheck::testing
