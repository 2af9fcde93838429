#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "harness/deadline.h"
#include "harness/fd.h"

namespace scalecheck::harness {

// A pipe: what goes into `writeEnd` comes out of `readEnd`. Both ends close
// on exec, so no child started meanwhile inherits them; a child gets its
// end through Launch. False when the system has no descriptor to spare.
bool makePipe(Fd& readEnd, Fd& writeEnd);

// Reads what `fd` has within `timeoutMs`, at most `most` bytes, and appends
// it to `into`. False at the end of the data (end of file, or EIO on a
// terminal whose other side has closed) and on a read error; true
// otherwise, also when nothing came.
bool readSome(int fd, std::string& into, int timeoutMs, std::size_t most = 1024);

// Reads into `into` until `done` says what has come is enough; false when
// the data ends or `deadline` passes first.
bool readUntil(int fd, std::string& into, const Deadline& deadline,
               const std::function<bool(const std::string&)>& done);

// The next line `fd` delivers, without its LF; `unread` keeps what came
// after it for the next call. False when no whole line comes in time.
bool nextLine(int fd, std::string& unread, const Deadline& deadline, std::string& line);

// Writes all of `bytes`; false when the reader has gone.
bool writeAll(int fd, const std::string& bytes);

}  // namespace scalecheck::harness
