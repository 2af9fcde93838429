#pragma once

#include <string>

namespace scalecheck::sim {

// Makes `linkPath` a symlink to `target`, creating the folders above it
// when missing. A symlink left there by an earlier run is replaced in one
// step (rename), so a reader never finds the name missing; anything else
// at `linkPath` is not touched and is an error.
bool placeSymlink(const std::string& target, const std::string& linkPath, std::string& error);

// Removes `linkPath` while it still points to `target`: a newer simulator
// may have taken the name over.
void removeSymlinkTo(const std::string& target, const std::string& linkPath);

}  // namespace scalecheck::sim
