#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace scalecheck::platform {

// The bytes a Windows text-mode stream stores for `bytes`: each LF as
// CR LF, nothing else changed. The file itself is written in binary on
// every system, so that both store the same bytes and a Ctrl+Z (0x1A)
// ending a frame stays (a text-mode stream opened with "a+" drops one that
// ends the file before appending).
std::string storedAsText(const char* bytes, std::size_t length);

// Whether a record that was written only in part may be cut back to the
// size the file had when it was opened: only while the file ends exactly
// with our own bytes. Another program that appended meanwhile has its
// records after ours, and cutting would destroy them; a fragment of ours
// is the lesser harm.
inline bool endIsOwnWrite(std::uint64_t sizeAtOpen, std::uint64_t written, std::uint64_t sizeNow) {
  return written > 0 && sizeNow == sizeAtOpen + written;
}

}  // namespace scalecheck::platform
