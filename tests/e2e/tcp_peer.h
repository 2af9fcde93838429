#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "harness/deadline.h"
#include "harness/fd.h"
#include "harness/fd_io.h"
#include "harness/loopback.h"

namespace scalecheck::e2e {

// A TCP peer on 127.0.0.1 that plays a script, for what scale-sim does not
// do on purpose (such as hanging up in the middle of a reply). Connections
// are served one after another on a thread of its own; `serve` gets each
// with its number (0 for the first) and returns when done with it.
class ScriptedTcpPeer {
 public:
  // What a script reads from: the connection, and a descriptor that turns
  // readable when the peer is being stopped.
  struct Connection {
    int fd;
    int stopping;
    // Reads until `wanted` has come; false at the end of the connection,
    // when the peer stops, or when nothing comes within the safety bound.
    bool awaitByte(char wanted) const {
      const harness::Deadline deadline;
      char byte = 0;
      do {
        if (!awaitReadable(deadline) || ::read(fd, &byte, 1) != 1) return false;
      } while (byte != wanted);
      return true;
    }
    bool awaitReadable(const harness::Deadline& deadline) const {
      pollfd watched[2] = {{fd, POLLIN, 0}, {stopping, POLLIN, 0}};
      return ::poll(watched, 2, deadline.remainingMs()) > 0 && watched[1].revents == 0;
    }
    bool send(const std::string& bytes) const { return harness::writeAll(fd, bytes); }
  };
  using Script = std::function<void(const Connection&, int number)>;

  explicit ScriptedTcpPeer(Script script)
      : script_(std::move(script)), listener_(harness::bindLoopback(true, port_)) {
    if (!listener_.valid() || !harness::makePipe(stopping_, stop_)) return;
    thread_ = std::thread([this] { acceptInTurn(); });
  }

  ~ScriptedTcpPeer() {
    if (stop_.valid()) static_cast<void>(harness::writeAll(stop_.get(), "x"));
    if (thread_.joinable()) thread_.join();
  }
  ScriptedTcpPeer(const ScriptedTcpPeer&) = delete;
  ScriptedTcpPeer& operator=(const ScriptedTcpPeer&) = delete;

  int port() const { return port_; }
  int accepted() const { return accepted_; }

 private:
  void acceptInTurn() {
    const Connection waiting{listener_.get(), stopping_.get()};
    for (int number = 0;; ++number) {
      if (!waiting.awaitReadable(harness::Deadline(24 * 60 * 60 * 1000))) return;
      const int connection = ::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) return;
      ++accepted_;
      script_(Connection{connection, stopping_.get()}, number);
      ::close(connection);
    }
  }

  Script script_;
  int port_ = 0;
  harness::Fd listener_;
  harness::Fd stopping_;  // turns readable once the peer is being stopped
  harness::Fd stop_;      // written to stop it
  std::atomic<int> accepted_{0};
  std::thread thread_;
};

// A port on 127.0.0.1 that refuses connections: bound, so no one else takes
// it while the test runs, but not listening. A scale-sim told its number may
// listen on it all the same, so it also keeps a port across a restart.
class RefusingPort {
 public:
  RefusingPort() : fd_(harness::bindLoopback(false, port_)) {}

  int port() const { return port_; }

 private:
  int port_ = 0;
  harness::Fd fd_;
};

}  // namespace scalecheck::e2e
