#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace scalecheck::fuzzing {

// A property that must hold for every input. When it does not, it is
// reported and the process aborts, which libFuzzer takes as a crash: the
// input is kept as an artifact and the run fails.
void require(bool holds, const char* property);

// Runs one input's checks. An exception from a fake (the virtual clock's
// report of a spin, a call that would block forever) fails the input too.
void runChecked(const std::function<void()>& check);

// Outputs are filled with this byte before a call; one that still holds it
// in every byte afterwards was left untouched.
constexpr std::uint8_t kCanaryByte = 0xA5;
void fillCanary(void* bytes, std::size_t size);
bool holdsCanary(const void* bytes, std::size_t size);

// Whether `text` holds its NUL within its `size` bytes.
bool terminatedWithin(const char* text, std::size_t size);

// Whether every byte of the NUL-terminated `text` is one of `allowed`.
bool onlyBytesOf(const char* text, const char* allowed);

}  // namespace scalecheck::fuzzing
