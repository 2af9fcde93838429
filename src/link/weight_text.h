#pragma once

#include <cstddef>

namespace scalecheck {

// A weight's text must fit its 16-byte field (15 characters). A formatted
// weight that is longer loses decimal digits from its end, and its separator
// when none remain: the value reads with less precision, never with a wrong
// magnitude. When even the sign and the integer digits are longer than
// `maxLength`, nothing can be cut truthfully and the function returns false,
// leaving the text as it was.
bool fitWeightText(char* text, std::size_t maxLength, char separator);

}  // namespace scalecheck
