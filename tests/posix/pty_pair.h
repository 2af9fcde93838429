#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace scalecheck::posix_test {

// Bound of every wait in these tests: only ever reached when something is
// broken, never what a test measures.
constexpr int kSafetyMs = 10000;

// A pseudo-terminal: the test plays the device (or the operator's
// terminal) on the master side; the code under test opens the slave path.
class PtyPair {
 public:
  PtyPair() {
    int slave = -1;
    char name[128] = {};
    if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) return;
    slavePath_ = name;
    ::close(slave);  // the code under test opens its own
  }
  ~PtyPair() { closeMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0; }
  int master() const { return master_; }
  const std::string& slavePath() const { return slavePath_; }

  bool send(const std::string& bytes) const {
    return ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Up to `count` bytes that the slave side wrote, waiting for them at most
  // the safety bound.
  std::string receive(std::size_t count) const {
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSafetyMs);
    while (got.size() < count && std::chrono::steady_clock::now() < end) {
      pollfd entry{master_, POLLIN, 0};
      if (::poll(&entry, 1, 100) <= 0) continue;
      char buffer[64];
      const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) break;
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }

  // The other end goes away, as a pulled USB adapter does.
  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};

// Checks `condition` until it holds or the safety bound passes; `pause`
// waits between checks (on the device under test where there is one).
inline bool eventually(const std::function<bool()>& condition, const std::function<void()>& pause) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSafetyMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    pause();
  }
  return true;
}

inline void pauseOneMs() {
  timespec pause{0, 1000000L};
  nanosleep(&pause, nullptr);
}

inline std::int64_t elapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               since)
      .count();
}

}  // namespace scalecheck::posix_test
