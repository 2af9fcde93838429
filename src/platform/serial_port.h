#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/os_error.h"

namespace scalecheck::platform {

// The Win32 device control block (DCB), member for member, so the link code
// can change exactly the members it means to and leave the driver's values in
// all others. Its size is 28 bytes, the value DCBlength must carry.
struct CommState {
  std::uint32_t length = 0;    // DCBlength
  std::uint32_t baudRate = 0;  // BaudRate
  std::uint32_t flags = 0;     // the bit fields fBinary .. fAbortOnError
  std::uint16_t reserved = 0;  // wReserved
  std::uint16_t xonLimit = 0;
  std::uint16_t xoffLimit = 0;
  std::uint8_t byteSize = 0;  // data bits, 5..8
  std::uint8_t parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t stopBits = 0;  // 0 one, 1 one and a half, 2 two
  char xonChar = 0;
  char xoffChar = 0;
  char errorChar = 0;
  char eofChar = 0;
  char evtChar = 0;
  std::uint16_t reserved1 = 0;
};
static_assert(sizeof(CommState) == 28, "CommState must match the Win32 DCB layout");

// Bits of CommState::flags, in the order of the DCB bit fields.
namespace dcb {
constexpr std::uint32_t kBinary = 0x0001;
constexpr std::uint32_t kParityCheck = 0x0002;
constexpr std::uint32_t kOutxCtsFlow = 0x0004;
constexpr std::uint32_t kOutxDsrFlow = 0x0008;
constexpr std::uint32_t kDtrControlMask = 0x0030;  // 0 disable, 1 enable, 2 handshake
constexpr std::uint32_t kDtrControlEnable = 0x0010;
constexpr std::uint32_t kDsrSensitivity = 0x0040;
constexpr std::uint32_t kTxContinueOnXoff = 0x0080;
constexpr std::uint32_t kOutX = 0x0100;
constexpr std::uint32_t kInX = 0x0200;
constexpr std::uint32_t kErrorChar = 0x0400;
constexpr std::uint32_t kNull = 0x0800;
constexpr std::uint32_t kRtsControlMask = 0x3000;  // 0 disable, 1 enable, 2 handshake, 3 toggle
constexpr std::uint32_t kRtsControlEnable = 0x1000;
constexpr std::uint32_t kRtsControlHandshake = 0x2000;
constexpr std::uint32_t kAbortOnError = 0x4000;
}  // namespace dcb

// COMMTIMEOUTS. All zero: a read returns only when every requested byte has
// arrived, a write when the driver has taken every byte.
struct CommTimeouts {
  std::uint32_t readInterval = 0;
  std::uint32_t readTotalMultiplier = 0;
  std::uint32_t readTotalConstant = 0;
  std::uint32_t writeTotalMultiplier = 0;
  std::uint32_t writeTotalConstant = 0;
};

// What ClearCommError reports besides the error word (COMSTAT).
struct CommStatus {
  std::uint32_t inQueue = 0;   // cbInQue: bytes waiting to be read
  std::uint32_t outQueue = 0;  // cbOutQue: bytes not yet sent
};

// Event mask bits (SetCommMask, WaitCommEvent) and purge flags (PurgeComm).
constexpr std::uint32_t kEventRxChar = 0x0001;   // EV_RXCHAR
constexpr std::uint32_t kEventTxEmpty = 0x0004;  // EV_TXEMPTY
constexpr std::uint32_t kPurgeTxAbort = 0x0001;  // PURGE_TXABORT
constexpr std::uint32_t kPurgeRxAbort = 0x0002;  // PURGE_RXABORT
constexpr std::uint32_t kPurgeTxClear = 0x0004;  // PURGE_TXCLEAR
constexpr std::uint32_t kPurgeRxClear = 0x0008;  // PURGE_RXCLEAR

// Line errors in the error word of the status query (ClearCommError's
// CE_ bits): what a receiver noticed about the bits of the bytes it took.
constexpr std::uint32_t kCommErrorOverrun = 0x0002;  // CE_OVERRUN: the UART's buffer overflowed
constexpr std::uint32_t kCommErrorParity = 0x0004;   // CE_RXPARITY: a parity bit was wrong
constexpr std::uint32_t kCommErrorFrame = 0x0008;    // CE_FRAME: a stop bit was missing
constexpr std::uint32_t kCommErrorBreak = 0x0010;    // CE_BREAK: the line held at 0

// One open serial port, used the way Win32 communications functions use a
// port handle opened for ordinary (non-overlapped) I/O. Every operation
// returns true on success, as the Win32 calls return nonzero.
class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // GetCommState / SetCommState.
  virtual bool getState(CommState& state) = 0;
  virtual bool setState(const CommState& state) = 0;
  // GetCommTimeouts / SetCommTimeouts. Elsewhere no driver time-outs
  // apply (all zero) and only those are taken.
  virtual bool getTimeouts(CommTimeouts& timeouts) = 0;
  virtual bool setTimeouts(const CommTimeouts& timeouts) = 0;
  // PurgeComm: discards the queues the flags name (it does not wait for them).
  virtual bool purge(std::uint32_t flags) = 0;
  // SetCommMask: the events a later waitEvent waits for (elsewhere only
  // EV_TXEMPTY can be waited for).
  virtual bool setEventMask(std::uint32_t mask) = 0;
  // WriteFile: returns once the driver has taken the bytes. Windows blocks
  // until it has (no write time-outs); elsewhere a driver whose queue stays
  // full is waited for at most `maxMilliseconds`, and the write then fails
  // with `written` short.
  virtual bool write(const std::uint8_t* bytes, std::uint32_t length, std::uint32_t& written,
                     std::uint32_t maxMilliseconds) = 0;
  // WaitCommEvent: returns when an event of the current mask occurs;
  // `events` names what happened and may be empty. Windows blocks until
  // then; elsewhere the wait returns with no event after `maxMilliseconds`.
  virtual bool waitEvent(std::uint32_t& events, std::uint32_t maxMilliseconds) = 0;
  // ClearCommError: reports and resets line errors, and how many bytes wait.
  virtual bool clearError(std::uint32_t& errors, CommStatus& status) = 0;
  // ReadFile into `buffer`; `got` may be less than `length` when the port's
  // time-outs allow it. Callers ask only for bytes the driver reported
  // waiting; where another program may take them first (POSIX has no
  // exclusive share mode for root), a read returns at once with the bytes
  // still there, possibly none, instead of waiting.
  virtual bool read(std::uint8_t* buffer, std::uint32_t length, std::uint32_t& got) = 0;
  // Gives up the processor while polling for input. On Windows this is
  // Sleep(1) (with the 1 ms timer period) and ignores the bound; elsewhere
  // it waits for input to arrive, at most `maxMilliseconds`, so that
  // polling costs no processor time.
  virtual void waitForInput(std::uint32_t maxMilliseconds) = 0;
  // CloseHandle. After a successful close the object holds no port.
  virtual bool close() = 0;
  // Why the last call that failed failed. kGone when the device went away
  // (an adapter pulled out, a pseudo-terminal's other end closed) rather
  // than merely staying quiet: the port must then be opened anew.
  virtual const OsError& lastError() const = 0;
};

class SerialPorts {
 public:
  virtual ~SerialPorts() = default;
  // CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0,
  // NULL): exclusive, non-overlapped. Null where Win32 gives
  // INVALID_HANDLE_VALUE, with the reason in `error`. Names are the Windows
  // ones ("com1", "\\.\com10"); other systems map them to their own
  // devices and also take a device path ("/dev/ttyUSB0").
  virtual std::unique_ptr<SerialPort> open(const char* name, OsError& error) = 0;
  // The device a name opens: the name itself on Windows, the mapped path
  // elsewhere. Opening what it gives opens that device, also after the name
  // has come to lead elsewhere.
  virtual std::string deviceFor(const char* name) = 0;
};

}  // namespace scalecheck::platform
