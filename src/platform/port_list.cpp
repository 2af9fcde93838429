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

bool sameNameIgnoringCase(const std::string& left, const std::string& right) {
  if (left.size() != right.size()) return false;
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (lowerAscii(left[i]) != lowerAscii(right[i])) return false;
  }
  return true;
}

}  // namespace

bool isComName(const std::string& name) {
  if (name.size() < 4 || !sameNameIgnoringCase(name.substr(0, 3), "com")) return false;
  return std::all_of(name.begin() + 3, name.end(), isDigit);
}

std::vector<PortInfo> mergePortDevices(std::vector<PortInfo> registered,
                                       const std::vector<PortDevice>& devices) {
  for (const PortDevice& device : devices) {
    if (!isComName(device.portName)) continue;
    const auto known = std::find_if(registered.begin(), registered.end(), [&](const PortInfo& p) {
      return sameNameIgnoringCase(p.name, device.portName);
    });
    if (known != registered.end()) {
      known->description = device.friendlyName;
      continue;
    }
    PortInfo port;
    port.name = device.portName;
    port.device = device.portName;
    port.description = device.friendlyName;
    registered.push_back(port);
  }
  sortNaturally(registered);
  return registered;
}

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
