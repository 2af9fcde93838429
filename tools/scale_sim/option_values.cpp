#include "option_values.h"

#include <charconv>
#include <cmath>

namespace scalecheck::sim {
namespace {

template <typename Value>
struct Named {
  const char* name;
  Value value;
};

constexpr Named<ScaleKind> kKinds[] = {
    {"stream", ScaleKind::kStream},
    {"two-step", ScaleKind::kTwoStep},
    {"combined", ScaleKind::kCombined},
};
constexpr Named<Unit> kUnits[] = {
    {"kg", Unit::kKilogram},  {"g", Unit::kGram},    {"t", Unit::kTonne},
    {"mg", Unit::kMilligram}, {"none", Unit::kNone},
};
constexpr Named<SignMode> kSigns[] = {
    {"auto", SignMode::kAuto},
    {"+", SignMode::kPlus},
    {"-", SignMode::kMinus},
};
constexpr Named<Fault> kFaults[] = {
    {"none", Fault::kNone}, {"silence", Fault::kSilence}, {"short", Fault::kShort},
    {"nak", Fault::kNak},   {"no-unit", Fault::kNoUnit},  {"garbage", Fault::kGarbage},
};

constexpr Named<Parity> kParities[] = {
    {"none", Parity::kNone},
    {"even", Parity::kEven},
    {"odd", Parity::kOdd},
};

template <typename Value, std::size_t N>
bool lookUp(const Named<Value> (&table)[N], std::string_view text, Value& out) {
  for (const Named<Value>& entry : table) {
    if (text == entry.name) {
      out = entry.value;
      return true;
    }
  }
  return false;
}

template <typename Value, std::size_t N>
const char* nameOf(const Named<Value> (&table)[N], Value value) {
  for (const Named<Value>& entry : table) {
    if (entry.value == value) return entry.name;
  }
  return "?";
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

bool parseScaleKind(std::string_view text, ScaleKind& out) {
  return lookUp(kKinds, text, out);
}
bool parseUnit(std::string_view text, Unit& out) {
  return lookUp(kUnits, text, out);
}
bool parseSignMode(std::string_view text, SignMode& out) {
  return lookUp(kSigns, text, out);
}
bool parseFault(std::string_view text, Fault& out) {
  return lookUp(kFaults, text, out);
}
bool parseParity(std::string_view text, Parity& out) {
  return lookUp(kParities, text, out);
}

const char* unitName(Unit unit) {
  return nameOf(kUnits, unit);
}
const char* faultName(Fault fault) {
  return nameOf(kFaults, fault);
}

bool parseWholeNumber(std::string_view text, std::uint64_t maximum, std::uint64_t& out) {
  if (text.empty() || !isDigit(text.front())) return false;
  std::uint64_t value = 0;
  const char* end = text.data() + text.size();
  const std::from_chars_result result = std::from_chars(text.data(), end, value);
  if (result.ec != std::errc() || result.ptr != end || value > maximum) return false;
  out = value;
  return true;
}

bool parseWeight(std::string_view text, double& out) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  // Plain decimal notation only: from_chars would also take "inf", "nan" and
  // exponents, which no scale shows.
  if (text.empty() || (!isDigit(text.front()) && text.front() != '-')) return false;
  for (char c : text) {
    if (!isDigit(c) && c != '.' && c != '-') return false;
  }
  double value = 0.0;
  const char* end = text.data() + text.size();
  const std::from_chars_result result =
      std::from_chars(text.data(), end, value, std::chars_format::fixed);
  if (result.ec != std::errc() || result.ptr != end) return false;
  if (!std::isfinite(value) || std::fabs(value) >= kWeightLimit) return false;
  out = value;
  return true;
}

bool parseProbability(std::string_view text, double& out) {
  // A digit or point first: from_chars would also take "inf" and "nan".
  if (text.empty() || (!isDigit(text.front()) && text.front() != '.')) return false;
  double value = 0.0;
  const char* end = text.data() + text.size();
  const std::from_chars_result result = std::from_chars(text.data(), end, value);
  if (result.ec != std::errc() || result.ptr != end || value > 1.0) return false;
  out = value;
  return true;
}

}  // namespace scalecheck::sim
