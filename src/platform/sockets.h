#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/os_error.h"

namespace scalecheck::platform {

// The first entry of a resolved address list: what socket() and connect()
// need from an addrinfo.
struct SocketAddress {
  int family = 0;
  int type = 0;
  int protocol = 0;
  std::uint32_t length = 0;    // bytes of `bytes` in use
  unsigned char bytes[128]{};  // the sockaddr, large enough for any family
};

// Which of the three select() sets came back holding the socket.
struct Readiness {
  bool readable = false;
  bool writable = false;
  bool exceptional = false;
};

constexpr int kSocketError = -1;  // SOCKET_ERROR

// One socket, used the way Windows Sockets uses a SOCKET. On Windows a
// connect that fails is reported in the exception set, never in the write
// set; other systems keep to that, so "writable" always means connected.
class Socket {
 public:
  virtual ~Socket() = default;
  // ioctlsocket(FIONBIO, 1): 0 on success.
  virtual int setNonBlocking() = 0;
  // connect(): its result, 0 or kSocketError (normally "would block"). A
  // connect that failed outright, rather than being under way, leaves its
  // reason in lastError().
  virtual int connect(const SocketAddress& address) = 0;
  // select() with the socket in the read, write and exception sets and a
  // zero time-out: the number of sockets ready, or kSocketError.
  virtual int pollAll(Readiness& ready) = 0;
  // select() with the socket in the read set only and a zero time-out.
  virtual int pollReadable() = 0;
  // Gives up the processor while polling for input. On Windows this is
  // Sleep(1) (with the 1 ms timer period) and ignores the bound; elsewhere
  // it waits for input to arrive, at most `maxMilliseconds`.
  virtual void waitForInput(std::uint32_t maxMilliseconds) = 0;
  // ioctlsocket(FIONREAD): the bytes received and not yet read, or
  // kSocketError.
  virtual int bytesWaiting() = 0;
  // send() with flags 0: bytes sent, or kSocketError.
  virtual int send(const std::uint8_t* bytes, int length) = 0;
  // recv() with flags 0: bytes received, 0 when the peer has closed, or
  // kSocketError (also when nothing is waiting on a non-blocking socket).
  virtual int recv(std::uint8_t* buffer, int length) = 0;
  // shutdown(SD_BOTH); the result is not examined by callers.
  virtual void shutdownBoth() = 0;
  // closesocket(); the object holds no socket afterwards.
  virtual void close() = 0;
  // Why the last call that failed failed: kGone for a peer that reset or
  // closed the connection; for a connect the system failed (pollAll reports
  // it in the exception set), kRefused, kUnreachable or kTimedOut where
  // its code says so.
  virtual const OsError& lastError() const = 0;
};

class Sockets {
 public:
  virtual ~Sockets() = default;
  // WSAStartup(version): 0 on success. Each success must be ended by one
  // cleanup().
  virtual int startup(std::uint16_t version) = 0;
  // WSACleanup().
  virtual void cleanup() = 0;
  // getaddrinfo(host, port) with hints AF_INET, SOCK_STREAM, IPPROTO_TCP and
  // no flags; keeps the first entry and releases the list (freeaddrinfo).
  // On failure `error` holds the resolver's code (kNameNotFound).
  virtual bool resolveTcp4(const char* host, const char* port, SocketAddress& first,
                           OsError& error) = 0;
  // The dotted IPv4 address resolveTcp4 finds first for `host`. Windows
  // needs a startup() before. On failure `error` holds the resolver's code.
  virtual bool resolveHost4(const char* host, std::string& address, OsError& error);
  // socket(family, type, protocol); null for INVALID_SOCKET, with the
  // reason in `error`.
  virtual std::unique_ptr<Socket> open(int family, int type, int protocol, OsError& error) = 0;
};

}  // namespace scalecheck::platform
