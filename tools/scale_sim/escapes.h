#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace scalecheck::sim {

// C-style escapes, so that frames with control bytes can be typed on a
// command line or in a text file: \r \n \t \0 \a \b \e \f \v \\ \" \' and
// \xH or \xHH.

// Decodes the escape that starts with the backslash at text[pos], appends its
// byte to `out` and moves `pos` past it. False, with `error` set, for an
// unknown escape, a lone backslash at the end or \x without a hex digit.
bool decodeEscapeAt(std::string_view text, std::size_t& pos, std::string& out, std::string& error);

// Decodes every escape of `text`; other characters are copied.
bool decodeEscapes(std::string_view text, std::string& out, std::string& error);

// The bytes as readable text for logs: printable ASCII as is, the usual
// escapes for the rest, so a log line never carries raw control bytes.
std::string describeBytes(std::string_view bytes);

}  // namespace scalecheck::sim
