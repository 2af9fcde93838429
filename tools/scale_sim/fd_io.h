#pragma once

#include <string>
#include <string_view>

namespace scalecheck::sim {

// Marks `fd` non-blocking and close-on-exec. False with errno set on failure.
bool makeNonBlocking(int fd);

enum class ReadResult { kData, kNothing, kEnd, kError };

// One read() of what is waiting; EAGAIN and EINTR give kNothing, 0 kEnd.
ReadResult readAvailable(int fd, std::string& bytes);

// Writes what `fd` takes now without waiting; the rest is dropped.
void writeOrDrop(int fd, std::string_view bytes);

}  // namespace scalecheck::sim
