#pragma once

#include <string>
#include <string_view>

#include "sim_options.h"

namespace scalecheck::sim {

// Fills a frame template with what `fields` show. Placeholders:
//   %S  "ST" or "US"            %s  "S" or "U"
//   %+  "+" or "-"              %-  " " or "-"
//   %W  the weight without its sign, right-aligned in 7 characters; %NW in N
//       (1 to 99). At least one space always stands before the digits,
//       since a reader only takes a number that follows a space or "-".
//   %U  the unit in 2 characters ("kg", " g", "  ")   %u  the unit as is
//   %%  a percent sign
// and the escapes of escapes.h. False, with `error` set, for an unknown
// placeholder or escape.
bool renderFrame(std::string_view frameTemplate, const FrameFields& fields, std::string& out,
                 std::string& error);

// The weight's digits as the frame shows them: no sign, `decimals` digits
// after a point, rounded; independent of the C locale.
std::string weightDigits(double weight, int decimals);

// Whether the frame shows a minus sign for these fields.
bool showsMinus(const FrameFields& fields);

}  // namespace scalecheck::sim
