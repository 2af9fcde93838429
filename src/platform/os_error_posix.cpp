#include <netdb.h>

#include <cerrno>
#include <cstring>

#include "platform/os_error.h"

namespace scalecheck::platform {

std::string osErrorText(const OsError& error) {
  if (error.code == 0) return "";
  // The GNU strerror_r returns the text, which need not be in the buffer.
  if (error.domain == ErrorDomain::kResolver) return gai_strerror(error.code);
  char buffer[256] = {};
  return strerror_r(error.code, buffer, sizeof buffer);
}

FailureKind classifyInUseError(int code) {
  switch (code) {
    case EIO:    // a hung-up terminal: the other end or the adapter has gone
    case ENXIO:  // the device behind the descriptor no longer exists
    case ENODEV:
    case EBADF:  // the descriptor was revoked
    case ECONNRESET:
    case EPIPE:
    case ENOTCONN:
      return FailureKind::kGone;
    default:
      return FailureKind::kOther;
  }
}

FailureKind classifyConnectError(int code) {
  switch (code) {
    case ECONNREFUSED:  // nothing listens there: the peer's system answered with a reset
      return FailureKind::kRefused;
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ENETDOWN:
    case EHOSTDOWN:
    case EINVAL:  // what Linux gives for a route of type blackhole
      return FailureKind::kUnreachable;
    case ETIMEDOUT:
      return FailureKind::kTimedOut;
    default:
      return FailureKind::kOther;
  }
}

}  // namespace scalecheck::platform
