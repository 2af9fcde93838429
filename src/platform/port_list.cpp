#include <algorithm>
#include <cstddef>

#include "platform/port_list.h"

namespace scalecheck::platform {
namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The run of digits starting at `at`, without its leading zeros; `at` moves
// past the run.
std::string digitRun(const std::string& text, std::size_t& at) {
  while (at < text.size() && text[at] == '0') ++at;
  const std::size_t start = at;
  while (at < text.size() && isDigit(text[at])) ++at;
  return text.substr(start, at - start);
}

// Negative, zero or positive as `left` sorts before, with or after `right`.
int naturalCompare(const std::string& left, const std::string& right) {
  std::size_t l = 0;
  std::size_t r = 0;
  while (l < left.size() && r < right.size()) {
    if (isDigit(left[l]) && isDigit(right[r])) {
      const std::string a = digitRun(left, l);
      const std::string b = digitRun(right, r);
      if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
      if (a != b) return a < b ? -1 : 1;
      continue;
    }
    const char a = lowerAscii(left[l++]);
    const char b = lowerAscii(right[r++]);
    if (a != b) return a < b ? -1 : 1;
  }
  if (l < left.size()) return 1;
  if (r < right.size()) return -1;
  return 0;
}

}  // namespace

bool naturalLess(const std::string& left, const std::string& right) {
  const int order = naturalCompare(left, right);
  // Names equal but for case or leading zeros still get one fixed order.
  return order != 0 ? order < 0 : left < right;
}

void sortNaturally(std::vector<PortInfo>& ports) {
  std::sort(ports.begin(), ports.end(),
            [](const PortInfo& a, const PortInfo& b) { return naturalLess(a.name, b.name); });
}

}  // namespace scalecheck::platform
