#pragma once

#include <string>
#include <vector>

namespace scalecheck::sim {

// Reads the frames of a --frames file: each non-empty line is one frame,
// written with the escapes of escapes.h. The line end (LF, or CR LF from a
// Windows editor) is not part of the frame; a frame that ends in CR LF says
// so with \r\n. False, with `error` saying why, when the file cannot be read
// (the OS's reason), a line is malformed or too long (the line), or no frame
// is left.
bool loadFrames(const std::string& path, std::vector<std::string>& frames, std::string& error);

}  // namespace scalecheck::sim
