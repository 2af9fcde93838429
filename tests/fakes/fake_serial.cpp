#include "fakes/fake_serial.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace scalecheck::testing {

void FakeSerialDevice::arriveAt(std::uint64_t time, const std::string& bytes,
                                std::uint32_t spacingMs, std::uint32_t lineErrors) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    arrivals_.emplace(time + i * spacingMs,
                      Arrival{static_cast<std::uint8_t>(bytes[i]), lineErrors});
  }
}

void FakeSerialDevice::failNext(SerialCall call, int count, int skip) {
  failures_[call] = Failure{skip, count};
}

bool FakeSerialDevice::called(SerialCall call) const {
  return std::find(calls_.begin(), calls_.end(), call) != calls_.end();
}

bool FakeSerialDevice::enter(SerialCall call) {
  calls_.push_back(call);
  if (removed && call != SerialCall::kOpen && call != SerialCall::kClose &&
      call != SerialCall::kWaitForInput) {
    lastError = platform::OsError{platform::FailureKind::kGone, 5};  // EIO
    return false;
  }
  auto found = failures_.find(call);
  if (found == failures_.end()) return true;
  Failure& failure = found->second;
  if (failure.skip > 0) {
    --failure.skip;
    return true;
  }
  if (failure.count <= 0) return true;
  --failure.count;
  lastError = failureReported;
  return false;
}

void FakeSerialDevice::pump() {
  if (peer != nullptr) peer->catchUp(clock_.now());
  auto end = arrivals_.upper_bound(clock_.now());
  for (auto it = arrivals_.begin(); it != end; ++it) {
    receive_.push_back(it->second.byte);
    lineErrors_ |= it->second.lineErrors;
  }
  arrivals_.erase(arrivals_.begin(), end);
}

std::uint64_t FakeSerialDevice::nextArrival() const {
  const std::uint64_t scripted =
      arrivals_.empty() ? std::numeric_limits<std::uint64_t>::max() : arrivals_.begin()->first;
  return peer != nullptr ? std::min(scripted, peer->nextEvent()) : scripted;
}

std::uint32_t FakeSerialDevice::takeLineErrors() {
  const std::uint32_t errors = lineErrors_;
  lineErrors_ = 0;
  return errors;
}

std::size_t FakeSerialDevice::queued() {
  pump();
  return receive_.size();
}

std::string FakeSerialDevice::queuedBytes() {
  pump();
  return std::string(receive_.begin(), receive_.end());
}

bool FakeSerialPort::getState(platform::CommState& state) {
  if (!device_.enter(SerialCall::kGetState)) return false;
  const std::uint32_t length = state.length;
  state = device_.state;
  state.length = length;  // GetCommState keeps the caller's DCBlength
  return true;
}

bool FakeSerialPort::setState(const platform::CommState& state) {
  if (!device_.enter(SerialCall::kSetState)) return false;
  device_.state = state;
  return true;
}

bool FakeSerialPort::getTimeouts(platform::CommTimeouts& timeouts) {
  if (!device_.enter(SerialCall::kGetTimeouts)) return false;
  timeouts = device_.timeouts;
  return true;
}

bool FakeSerialPort::setTimeouts(const platform::CommTimeouts& timeouts) {
  if (!device_.enter(SerialCall::kSetTimeouts)) return false;
  device_.timeouts = timeouts;
  return true;
}

bool FakeSerialPort::purge(std::uint32_t flags) {
  if (!device_.enter(SerialCall::kPurge)) return false;
  device_.purges.push_back(flags);
  device_.pump();
  if ((flags & platform::kPurgeRxClear) != 0) device_.receiveQueue().clear();
  return true;
}

bool FakeSerialPort::setEventMask(std::uint32_t mask) {
  if (!device_.enter(SerialCall::kSetEventMask)) return false;
  device_.eventMask = mask;
  return true;
}

bool FakeSerialPort::write(const std::uint8_t* bytes, std::uint32_t length, std::uint32_t& written,
                           std::uint32_t /*maxMilliseconds*/) {
  if (!device_.enter(SerialCall::kWrite)) return false;
  const std::uint32_t taken =
      device_.writeTakes < 0 ? length
                             : std::min(length, static_cast<std::uint32_t>(device_.writeTakes));
  const std::string sent(reinterpret_cast<const char*>(bytes), taken);
  device_.written += sent;
  written = taken;
  device_.transmitterEmptyAt = device_.clock().now() + device_.transmitMs;
  if (device_.onWrite) device_.onWrite(sent);
  return true;
}

bool FakeSerialPort::waitEvent(std::uint32_t& events, std::uint32_t maxMilliseconds) {
  if (!device_.enter(SerialCall::kWaitEvent)) return false;
  VirtualClock& clock = device_.clock();
  if ((device_.eventMask & platform::kEventTxEmpty) != 0) {
    if (device_.txEmptyNeverReported) {
      clock.advanceBy(device_.emptyEventMs);
      events = 0;
      return true;
    }
    // A transmitter that will not empty within the bound (POSIX bounds
    // the wait; Windows would block) gives no event by then.
    if (device_.transmitterEmptyAt > clock.now() + maxMilliseconds) {
      clock.advanceBy(maxMilliseconds);
      events = 0;
      return true;
    }
    clock.advanceTo(device_.transmitterEmptyAt);
    events = platform::kEventTxEmpty;
    return true;
  }
  // The link waits only for the transmitter to empty; input is polled.
  throw std::runtime_error("waitEvent without EV_TXEMPTY: the link never waits so");
}

bool FakeSerialPort::clearError(std::uint32_t& errors, platform::CommStatus& status) {
  if (!device_.enter(SerialCall::kClearError)) return false;
  device_.pump();
  // Reset by the query, as ClearCommError does: those of the bytes that
  // arrived, and those a test set for the next query.
  errors = device_.takeLineErrors() | device_.nextQueryErrors;
  device_.nextQueryErrors = 0;
  status.inQueue = static_cast<std::uint32_t>(device_.receiveQueue().size());
  status.outQueue = 0;
  return true;
}

bool FakeSerialPort::read(std::uint8_t* buffer, std::uint32_t length, std::uint32_t& got) {
  if (!device_.enter(SerialCall::kRead)) return false;
  device_.pump();
  auto& queue = device_.receiveQueue();
  // With no driver time-outs a read waits for every byte it asked for; the
  // code under test never asks for bytes that are not waiting.
  if (queue.size() < length) throw std::runtime_error("read would block: bytes not waiting");
  for (std::uint32_t i = 0; i < length; ++i) {
    buffer[i] = queue.front();
    queue.pop_front();
  }
  got = length;
  return true;
}

void FakeSerialPort::waitForInput(std::uint32_t maxMilliseconds) {
  device_.enter(SerialCall::kWaitForInput);
  device_.pump();
  if (!device_.receiveQueue().empty()) return;
  VirtualClock& clock = device_.clock();
  clock.advanceTo(std::min(clock.now() + maxMilliseconds, device_.nextArrival()));
}

bool FakeSerialPort::close() {
  if (!device_.enter(SerialCall::kClose)) return false;
  device_.isOpen = false;
  return true;
}

std::unique_ptr<platform::SerialPort> FakeSerialPorts::open(const char* name,
                                                            platform::OsError& error) {
  // The transport opens what deviceFor gave; the name it stands for is kept.
  const std::string given = name;
  const std::string windowsName =
      given.rfind(kDevicePrefix, 0) == 0 ? given.substr(sizeof kDevicePrefix - 1) : given;
  namesOpened.push_back(windowsName);
  error = platform::OsError{};
  if (!device_.enter(SerialCall::kOpen) || !device_.present || device_.removed || device_.isOpen) {
    error = device_.isOpen ? platform::OsError{platform::FailureKind::kBusy, 5}
                           : platform::OsError{platform::FailureKind::kNoDevice, 2};
    return nullptr;
  }
  device_.openedName = windowsName;
  device_.isOpen = true;
  return std::make_unique<FakeSerialPort>(device_);
}

}  // namespace scalecheck::testing
