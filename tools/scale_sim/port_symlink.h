#pragma once

#include <string>

namespace scalecheck::sim {

// mkdir -p of the folders above `path`.
bool makeParentFolders(const std::string& path, std::string& error);

// Makes `linkPath`, whose folder exists, a symlink to `target`. A symlink
// left there by an earlier run is replaced in one step (rename), so a
// reader never finds the name missing; anything else at `linkPath` is not
// touched and is an error.
bool placeSymlink(const std::string& target, const std::string& linkPath, std::string& error);

// Removes `linkPath` while it still points to `target`: a newer simulator
// may have taken the name over.
void removeSymlinkTo(const std::string& target, const std::string& linkPath);

}  // namespace scalecheck::sim
