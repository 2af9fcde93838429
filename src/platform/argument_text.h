#pragma once

#include <string>

namespace scalecheck::platform {

// A command-line argument in Windows-1251, the code page of every text the
// program shows, so that a message can quote it as the operator typed it.
// POSIX passes arguments in UTF-8, Windows in its ANSI code page. A
// character Windows-1251 lacks, and a byte that is no character, become
// one '?' each.
std::string argumentAs1251(const std::string& argument);

}  // namespace scalecheck::platform
