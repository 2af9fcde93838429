#pragma once

#include <string>

namespace scalecheck::bench {

// A whole decimal number from `low` to `high`.
bool parseCount(const char* text, int low, int high, int& value);

// `name` in the folder of the running program `argv0`, as the build puts
// the programs side by side.
std::string besideProgram(const char* argv0, const std::string& name);

// The absolute path of an existing file, which survives a change of
// folder; empty with the reason in `error` when there is none.
std::string absolutePath(const std::string& path, std::string& error);

// "load average: 0.08 0.10 0.20", or empty when it cannot be read.
std::string loadAverageText();

}  // namespace scalecheck::bench
