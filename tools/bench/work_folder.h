#pragma once

#include <string>

namespace scalecheck::bench {

// A new private folder under $TMPDIR (or /tmp) named `name`.XXXXXX, for
// the port links and the files the checker writes.
bool makeWorkFolder(const std::string& name, std::string& folder, std::string& error);

// Removes the folder and the files in it (it holds no folders).
void removeWorkFolder(const std::string& folder);

}  // namespace scalecheck::bench
