#pragma once

#include <cstdint>
#include <string>

#include "link/link_settings.h"

namespace scalecheck::console {

// The two fixed line settings an operator chooses from: 1 is 9600,None,8,1;
// 2 is 9600,Even,7,1 (the RLV model).
constexpr std::int32_t kFirstLineOption = 1;
constexpr std::int32_t kLastLineOption = 2;

// An RS-232 link with the line settings of `option` (1 or 2), no port named.
LinkSettings serialLineOption(std::int32_t option);

// As the dialog names line settings: "9600,Even,7,1".
std::string lineSettingsText(const LinkSettings& settings);

}  // namespace scalecheck::console
