#include "harness/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>

namespace scalecheck::harness {
namespace {

sockaddr_in loopbackAddress(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  return address;
}

}  // namespace

Fd bindLoopback(bool listening, int& port) {
  Fd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address = loopbackAddress(0);  // port 0: the system chooses
  socklen_t size = sizeof address;
  auto* generic = reinterpret_cast<sockaddr*>(&address);
  const int yes = 1;
  if (!socket.valid() ||
      (!listening && ::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0) ||
      ::bind(socket.get(), generic, size) != 0 || (listening && ::listen(socket.get(), 4) != 0) ||
      ::getsockname(socket.get(), generic, &size) != 0) {
    return Fd();
  }
  port = ntohs(address.sin_port);
  return socket;
}

Fd connectLoopback(int port) {
  Fd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in address = loopbackAddress(port);
  if (!socket.valid() ||
      ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return Fd();
  }
  return socket;
}

}  // namespace scalecheck::harness
