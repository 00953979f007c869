// Engine values as the program's Windows-1252 texts, and back: the one place where database
// text meets the program's strings.
#pragma once

#include "jet/Value.h"

#include <string>
#include <string_view>

namespace hostdata {

// Text as it stands, numbers in decimal, Null as the empty text.
std::string ansiText(const jet::Value& value);

jet::Value jetText(std::string_view ansiText);

} // namespace hostdata
