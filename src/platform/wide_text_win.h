#pragma once

#include <string>

namespace scalecheck::platform {

// UTF-16 text of the system as Windows-1251 ('?' for a character the code
// page lacks); `length` characters, or up to the NUL for -1.
std::string wideToCp1251(const wchar_t* text, int length = -1);

}  // namespace scalecheck::platform
