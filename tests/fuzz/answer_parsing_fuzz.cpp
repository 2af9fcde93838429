// Any bytes as an operator's answer, NUL-terminated as the console hands
// it over: the port number and the leading integer.

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "console/answer_parsing.h"
#include "fuzz_check.h"

namespace scalecheck::fuzzing {
namespace {

// strtoll reads the same leading integer (white space, a sign, digits) and
// saturates at 64 bits: clamped to 32 bits, it is what leadingInteger gives.
std::int32_t referenceInteger(const char* text) {
  const long long value = std::strtoll(text, nullptr, 10);
  constexpr long long kHigh = std::numeric_limits<std::int32_t>::max();
  constexpr long long kLow = std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value > kHigh ? kHigh : value < kLow ? kLow : value);
}

void checkAnswer(const std::string& answer) {
  const std::int32_t port = console::portNumberFromAnswer(answer.c_str());
  require(port == 0 || (port >= 1 && port <= 256), "a port number is 0 or 1..256");
  require(console::leadingInteger(answer.c_str()) == referenceInteger(answer.c_str()),
          "the leading integer is read as strtoll reads it, clamped to 32 bits");
}

}  // namespace
}  // namespace scalecheck::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string answer(reinterpret_cast<const char*>(data), size);
  scalecheck::fuzzing::runChecked([&] { scalecheck::fuzzing::checkAnswer(answer); });
  return 0;
}
