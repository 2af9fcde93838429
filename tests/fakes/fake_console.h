#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "fakes/virtual_clock.h"
#include "platform/console.h"

namespace scalecheck::testing {

// A console with typed answers, keys pressed at set virtual times, and the
// output kept as the Windows-1251 bytes the program wrote.
class FakeConsole : public platform::Console {
 public:
  explicit FakeConsole(VirtualClock& clock) : clock_(clock) {}

  void write(const char* text1251, std::size_t length) override;
  void writeError(const char* text1251, std::size_t length) override;
  void followShellConventions() override { shellConventions = true; }
  void readLine(char* buffer, std::size_t size) override;
  bool keyWaiting() override;
  int readKey() override;
  bool interruptRequested() override;
  bool inputGone() override;

  void typeLine(const std::string& line) { lines_.push_back(line); }
  void pressKeyAt(std::uint64_t time, int key) { keys_.emplace_back(time, key); }
  void interruptAt(std::uint64_t time) { interruptAt_ = time; }
  void inputGoneAt(std::uint64_t time) { inputGoneAt_ = time; }

  std::string output;  // Windows-1251 bytes, as written, standard error's too
  std::string errors;  // those that went to standard error
  bool shellConventions = false;
  std::string utf8();  // the output as a terminal shows it
  int keysRead = 0;
  int linesRead = 0;
  std::vector<std::uint64_t> keyLooks;  // when keyWaiting was asked

 private:
  VirtualClock& clock_;
  std::deque<std::string> lines_;
  std::deque<std::pair<std::uint64_t, int>> keys_;
  std::uint64_t interruptAt_ = UINT64_MAX;
  std::uint64_t inputGoneAt_ = UINT64_MAX;
};

}  // namespace scalecheck::testing
