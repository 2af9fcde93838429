#include <cstddef>
#include <cstring>

#include "platform/comm_state_win.h"

namespace scalecheck::platform {

// CommState is the DCB byte for byte, the bit-field word included: a copy of
// the whole block converts either way, and these checks prove the layouts
// agree member by member.
static_assert(sizeof(DCB) == sizeof(CommState), "DCB size");
static_assert(offsetof(DCB, DCBlength) == offsetof(CommState, length), "DCBlength");
static_assert(offsetof(DCB, BaudRate) == offsetof(CommState, baudRate), "BaudRate");
static_assert(offsetof(DCB, BaudRate) + 4 == offsetof(CommState, flags), "bit-field word");
static_assert(offsetof(DCB, wReserved) == offsetof(CommState, reserved), "wReserved");
static_assert(offsetof(DCB, XonLim) == offsetof(CommState, xonLimit), "XonLim");
static_assert(offsetof(DCB, XoffLim) == offsetof(CommState, xoffLimit), "XoffLim");
static_assert(offsetof(DCB, ByteSize) == offsetof(CommState, byteSize), "ByteSize");
static_assert(offsetof(DCB, Parity) == offsetof(CommState, parity), "Parity");
static_assert(offsetof(DCB, StopBits) == offsetof(CommState, stopBits), "StopBits");
static_assert(offsetof(DCB, XonChar) == offsetof(CommState, xonChar), "XonChar");
static_assert(offsetof(DCB, XoffChar) == offsetof(CommState, xoffChar), "XoffChar");
static_assert(offsetof(DCB, ErrorChar) == offsetof(CommState, errorChar), "ErrorChar");
static_assert(offsetof(DCB, EofChar) == offsetof(CommState, eofChar), "EofChar");
static_assert(offsetof(DCB, EvtChar) == offsetof(CommState, evtChar), "EvtChar");
static_assert(offsetof(DCB, wReserved1) == offsetof(CommState, reserved1), "wReserved1");
static_assert(kEventRxChar == EV_RXCHAR && kEventTxEmpty == EV_TXEMPTY, "event bits");
static_assert(kPurgeTxAbort == PURGE_TXABORT && kPurgeRxAbort == PURGE_RXABORT &&
                  kPurgeTxClear == PURGE_TXCLEAR && kPurgeRxClear == PURGE_RXCLEAR,
              "purge flags");
static_assert(kCommErrorOverrun == CE_OVERRUN && kCommErrorParity == CE_RXPARITY &&
                  kCommErrorFrame == CE_FRAME && kCommErrorBreak == CE_BREAK,
              "line error bits");

DCB commStateToDcb(const CommState& state) {
  DCB dcb{};
  std::memcpy(&dcb, &state, sizeof dcb);
  return dcb;
}

CommState dcbToCommState(const DCB& dcb) {
  CommState state;
  // CommState is trivially copyable; only its member initialisers make the
  // compiler call it non-trivial.
  std::memcpy(static_cast<void*>(&state), &dcb, sizeof state);
  return state;
}

namespace {

// A port handle opened for non-overlapped I/O. Each Win32 call below returns
// nonzero on success and zero on failure (GetLastError tells why), which is
// exactly the boolean the interface passes on.
class WinSerialPort final : public SerialPort {
 public:
  explicit WinSerialPort(HANDLE handle) : handle_(handle) {}
  ~WinSerialPort() override { close(); }
  WinSerialPort(const WinSerialPort&) = delete;
  WinSerialPort& operator=(const WinSerialPort&) = delete;

  bool getState(CommState& state) override {
    DCB dcb = commStateToDcb(state);  // carries DCBlength in
    if (GetCommState(handle_, &dcb) == 0) return failed(FailureKind::kNotSerial);
    state = dcbToCommState(dcb);
    return true;
  }

  bool setState(const CommState& state) override {
    DCB dcb = commStateToDcb(state);
    return SetCommState(handle_, &dcb) != 0 || failed(FailureKind::kSettingsRefused);
  }

  bool getTimeouts(CommTimeouts& timeouts) override {
    COMMTIMEOUTS native{};
    if (GetCommTimeouts(handle_, &native) == 0) return failed(FailureKind::kNotSerial);
    timeouts = CommTimeouts{native.ReadIntervalTimeout, native.ReadTotalTimeoutMultiplier,
                            native.ReadTotalTimeoutConstant, native.WriteTotalTimeoutMultiplier,
                            native.WriteTotalTimeoutConstant};
    return true;
  }

  bool setTimeouts(const CommTimeouts& timeouts) override {
    COMMTIMEOUTS native{timeouts.readInterval, timeouts.readTotalMultiplier,
                        timeouts.readTotalConstant, timeouts.writeTotalMultiplier,
                        timeouts.writeTotalConstant};
    return SetCommTimeouts(handle_, &native) != 0 || failed(FailureKind::kSettingsRefused);
  }

  bool purge(std::uint32_t flags) override {
    return PurgeComm(handle_, flags) != 0 || failed(FailureKind::kOther);
  }

  bool setEventMask(std::uint32_t mask) override {
    return SetCommMask(handle_, mask) != 0 || failed(FailureKind::kOther);
  }

  // The bound is not Windows': WriteFile without write time-outs returns
  // once the driver has taken the bytes, which with no flow control it does
  // at once. A second Ctrl+C ends the process should it ever hang.
  bool write(const std::uint8_t* bytes, std::uint32_t length, std::uint32_t& written,
             std::uint32_t /*maxMilliseconds*/) override {
    DWORD count = 0;
    const BOOL ok = WriteFile(handle_, bytes, length, &count, nullptr);
    written = count;
    return ok != 0 || failed(FailureKind::kOther);
  }

  // As write: the wait ends with the transmitter-empty event, which a line
  // without flow control gives within milliseconds, or with a removed
  // device's error.
  bool waitEvent(std::uint32_t& events, std::uint32_t /*maxMilliseconds*/) override {
    DWORD happened = 0;
    // No OVERLAPPED: blocks until an event of the mask, or a SetCommMask
    // from elsewhere, ends the wait (then with an empty event word).
    const BOOL ok = WaitCommEvent(handle_, &happened, nullptr);
    events = happened;
    return ok != 0 || failed(FailureKind::kOther);
  }

  bool clearError(std::uint32_t& errors, CommStatus& status) override {
    DWORD lineErrors = 0;
    COMSTAT queues{};
    if (ClearCommError(handle_, &lineErrors, &queues) == 0) return failed(FailureKind::kOther);
    errors = lineErrors;
    status.inQueue = queues.cbInQue;
    status.outQueue = queues.cbOutQue;
    return true;
  }

  bool read(std::uint8_t* buffer, std::uint32_t length, std::uint32_t& got) override {
    DWORD count = 0;
    const BOOL ok = ReadFile(handle_, buffer, length, &count, nullptr);
    got = count;
    return ok != 0 || failed(FailureKind::kOther);
  }

  // The link polls ClearCommError between these pauses; a wait on the
  // device itself would need overlapped I/O, which this port does not use.
  // Sleep(1) rather than a yield: Sleep(0) returns at once on an idle
  // machine, so polling with it keeps a core busy. With the 1 ms timer
  // period the program sets, a byte is seen at most about 1 ms later.
  void waitForInput(std::uint32_t /*maxMilliseconds*/) override { Sleep(1); }

  bool close() override {
    // INVALID_HANDLE_VALUE is also the current-process pseudo-handle, which
    // CloseHandle would "close" with success: never pass it on.
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    if (CloseHandle(handle_) == 0) return failed(FailureKind::kOther);
    handle_ = INVALID_HANDLE_VALUE;
    return true;
  }

  const OsError& lastError() const override { return lastError_; }

 private:
  // GetLastError of the call that just failed; the codes a removed device
  // gives count as gone whatever the call, others as `otherwise`.
  bool failed(FailureKind otherwise) {
    const auto code = static_cast<int>(GetLastError());
    const FailureKind kind = classifyInUseError(code);
    lastError_ = OsError{kind == FailureKind::kGone ? kind : otherwise, code};
    return false;
  }

  HANDLE handle_;
  OsError lastError_;
};

// Why CreateFileA refused a port.
FailureKind openFailureKind(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return FailureKind::kNoDevice;
    // Share mode 0: a port another program holds open is refused with
    // ERROR_ACCESS_DENIED, which for a COM port means exactly that.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return FailureKind::kBusy;
    default:
      return FailureKind::kOther;
  }
}

class WinSerialPorts : public SerialPorts {
 public:
  std::unique_ptr<SerialPort> open(const char* name, OsError& error) override {
    error = OsError{};
    // Share mode 0 keeps the port to ourselves; flags 0 means no overlapped
    // I/O. A failure gives INVALID_HANDLE_VALUE, never null.
    HANDLE handle =
        CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD code = GetLastError();
      error = OsError{openFailureKind(code), static_cast<int>(code)};
      return nullptr;
    }
    return std::make_unique<WinSerialPort>(handle);
  }

  std::string deviceFor(const char* name) override { return name != nullptr ? name : ""; }
};

}  // namespace

SerialPorts& systemSerialPorts() {
  static WinSerialPorts ports;
  return ports;
}

}  // namespace scalecheck::platform
