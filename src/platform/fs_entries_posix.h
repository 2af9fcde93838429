#pragma once

#include <string>
#include <vector>

namespace scalecheck::platform {

// Small reads of the file system that the port list and the holder scan share.
// Each fails quietly: what cannot be read is treated as absent.

// The names in a folder, without "." and ".."; none when it cannot be read.
std::vector<std::string> entryNames(const std::string& folder);

// The text of a symbolic link; empty when `path` is no link or unreadable.
std::string linkText(const std::string& path);

// The first line of a small text file (a sysfs attribute, /proc/PID/comm),
// without its line end and trailing blanks; empty when unreadable.
std::string firstLine(const std::string& path);

// folder/name.
std::string pathIn(const std::string& folder, const std::string& name);

// The part of a path after its last '/'.
std::string lastComponent(const std::string& path);

}  // namespace scalecheck::platform
