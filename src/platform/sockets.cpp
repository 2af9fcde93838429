#include "platform/sockets.h"

namespace scalecheck::platform {

// With the AF_INET hints the address is a sockaddr_in, laid out alike on
// every system: the family in two bytes, the port in two, then the four
// bytes of the address in network order.
bool Sockets::resolveHost4(const char* host, std::string& address, OsError& error) {
  constexpr int kInet = 2;  // AF_INET
  SocketAddress first;
  if (!resolveTcp4(host, nullptr, first, error)) return false;
  if (first.family != kInet || first.length < 8) {
    error = OsError{FailureKind::kOther, 0};
    return false;
  }
  address.clear();
  for (int i = 4; i < 8; ++i) {
    if (i > 4) address += '.';
    address += std::to_string(first.bytes[i]);
  }
  return true;
}

}  // namespace scalecheck::platform
