#pragma once

#include <cstdint>
#include <string_view>

#include "sim_options.h"

namespace scalecheck::sim {

// Text to values for the command line and the control commands. Each returns
// false, leaving `out` as it was, when the text is not a valid value.

bool parseScaleKind(std::string_view text, ScaleKind& out);
bool parseUnit(std::string_view text, Unit& out);
bool parseSignMode(std::string_view text, SignMode& out);
bool parseFault(std::string_view text, Fault& out);
bool parseParity(std::string_view text, Parity& out);
// A probability such as 0.001 or 1e-4, from 0 to 1.
bool parseProbability(std::string_view text, double& out);
// Decimal digits only, at most `maximum`.
bool parseWholeNumber(std::string_view text, std::uint64_t maximum, std::uint64_t& out);
// A finite decimal number such as 1.234, -0.5 or +12; magnitude below
// kWeightLimit so that it can be written without an exponent.
bool parseWeight(std::string_view text, double& out);

constexpr double kWeightLimit = 1e9;
constexpr int kMaxDecimals = 6;

const char* unitName(Unit unit);
const char* faultName(Fault fault);

}  // namespace scalecheck::sim
