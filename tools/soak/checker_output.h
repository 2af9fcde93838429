#pragma once

#include <string>

namespace scalecheck::soak {

// Records in a "#Log.csv": each ends in CR LF. -1 when it cannot be read.
int countLogRecords(const std::string& path);

// Frames of scale-sim's default layout in a "#DeviceIO", one a block.
// -1 when it cannot be read.
int countDumpBlocks(const std::string& path);

// The polls and readings the summary line of `screen` counts
// ("Опросов: 12, показаний: 10 ..."); false when it shows none.
bool parseSummary(const std::string& screen, int& polls, int& readings);

}  // namespace scalecheck::soak
