#pragma once

#include <cstddef>

namespace scalecheck {

// A weight's text must fit its 16-byte field (15 characters). A formatted
// weight that is longer first loses decimal digits from its end (and its
// separator when none remain): it reads with less precision, never with a
// wrong magnitude. When even its sign and integer digits are too long (only
// weights of fifteen or more digits), the text becomes the weight in
// scientific notation with eight decimals, "-1,00000000E+14", which fits any
// magnitude below 1E+100. `value` is the weight the text stands for.
void fitWeightText(char* text, std::size_t maxLength, char separator, double value);

}  // namespace scalecheck
