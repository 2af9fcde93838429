#include "fakes/fake_console.h"

#include <cstring>

#include "platform/cp1251.h"

namespace scalecheck::testing {

void FakeConsole::write(const char* text1251, std::size_t length) {
  output.append(text1251, length);
}

void FakeConsole::writeError(const char* text1251, std::size_t length) {
  output.append(text1251, length);
  if (shellConventions) errors.append(text1251, length);
}

void FakeConsole::readLine(char* buffer, std::size_t size) {
  ++linesRead;
  std::string line;
  if (!lines_.empty()) {
    line = lines_.front();
    lines_.pop_front();
  }
  const std::size_t kept = line.size() < size - 1 ? line.size() : size - 1;
  std::memcpy(buffer, line.data(), kept);
  buffer[kept] = '\0';
}

bool FakeConsole::keyWaiting() {
  keyLooks.push_back(clock_.now());
  return !keys_.empty() && keys_.front().first <= clock_.now();
}

int FakeConsole::readKey() {
  // A key pressed later is waited for; with none left, input has ended.
  if (keys_.empty()) return -1;
  clock_.advanceTo(keys_.front().first);
  const int key = keys_.front().second;
  keys_.pop_front();
  ++keysRead;
  return key;
}

bool FakeConsole::interruptRequested() {
  return clock_.now() >= interruptAt_;
}

bool FakeConsole::inputGone() {
  return clock_.now() >= inputGoneAt_;
}

std::string FakeConsole::utf8() {
  return platform::cp1251ToUtf8(output.data(), output.size());
}

}  // namespace scalecheck::testing
