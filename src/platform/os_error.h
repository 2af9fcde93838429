#pragma once

#include <cstdint>
#include <string>

namespace scalecheck::platform {

// What a failed OS call means to the program, so that a message can say
// why in the operator's words. The OS's own code stays beside it.
enum class FailureKind : std::uint8_t {
  kNone = 0,
  kNoDevice,         // nothing at that name (ENOENT, ENODEV; ERROR_FILE_NOT_FOUND)
  kNoPermission,     // the user may not open it (EACCES, EPERM)
  kBusy,             // another program holds it (EBUSY, a lock; ERROR_ACCESS_DENIED at open)
  kNotSerial,        // it exists but is no serial device (ENOTTY)
  kSettingsRefused,  // the driver refused the line settings
  kGone,             // the device or peer went away while in use (EIO, ENXIO, POLLHUP, reset)
  kRefused,          // the peer refused the connection (ECONNREFUSED)
  kUnreachable,      // no way to the peer: network unreachable, no route (ENETUNREACH)
  kTimedOut,         // no connection within the window
  kNameNotFound,     // the host name could not be resolved (a resolver code)
  kNotRegularFile,   // a data file's name is taken by a FIFO, device or folder
  kOther,            // anything else: the OS text says what
};

// Which numbering `code` belongs to.
enum class ErrorDomain : std::uint8_t {
  kSystem = 0,  // errno on POSIX, GetLastError / WSAGetLastError on Windows
  kResolver,    // getaddrinfo's own codes (EAI_* on POSIX)
};

struct OsError {
  FailureKind kind = FailureKind::kNone;
  int code = 0;  // 0 when the OS gave no code
  ErrorDomain domain = ErrorDomain::kSystem;

  bool failed() const { return kind != FailureKind::kNone; }
};

// The OS's own description of the error (strerror, gai_strerror,
// FormatMessage), as Windows-1251 text without a line end; empty for code 0.
std::string osErrorText(const OsError& error);

// The failure kind of a system error code met while using an open device
// or connection: kGone for the codes that mean it went away, else kOther.
FailureKind classifyInUseError(int code);

// The failure kind of the system error code of a connect that failed:
// kRefused, kUnreachable or kTimedOut where the code says so, else kOther.
FailureKind classifyConnectError(int code);

}  // namespace scalecheck::platform
