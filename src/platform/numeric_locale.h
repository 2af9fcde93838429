#pragma once

#include <cstddef>

namespace scalecheck::platform {

// The runtime library's locale, as far as numbers go. Selecting "ru-RU"
// gives the decimal comma on every machine: where the system has no such
// locale (many Linux machines have none), the comma is supplied here, so the
// program behaves alike everywhere. Numbers are formatted and converted by
// our own locale-independent code with the selected separator, never by the
// C runtime's state, which differs between systems.

// setlocale(LC_ALL, name), and records the decimal separator that locale
// uses. True when the system itself knew the locale.
bool selectLocale(const char* name);

// The selected locale's decimal separator ('.' before any selection).
char decimalSeparator();

// printf's "%.<decimals>f" under the selected locale. Writes at most
// size - 1 characters and a NUL; returns the length the full text has, as
// snprintf does.
std::size_t formatFixed(char* out, std::size_t size, double value, int decimals);
// The same with a given separator in place of the locale's.
std::size_t formatFixed(char* out, std::size_t size, double value, int decimals, char separator);

// printf's "%.<digits>E" with a given separator: "-1,23456789E+14".
std::size_t formatScientific(char* out, std::size_t size, double value, int digits, char separator);

// strtod under the selected locale for texts of the form: optional white
// space, optional sign, digits, and at most one separator followed by
// digits. Conversion stops at the first character that cannot continue the
// number; a text with no digits gives 0.
double convertDecimal(const char* text);
// The same with a given separator in place of the locale's.
double convertDecimal(const char* text, char separator);

}  // namespace scalecheck::platform
