// The help page shipped with the program: the procedure of the instruction pages, the field
// catalogue of each file type, and what the verification messages and the creation log's lines
// mean. Built from the same texts and labels the windows use, so it cannot drift from them.
#pragma once

#include <string>

namespace app {

inline constexpr const char* kHelpFileName = "Tarnfield Help.html";

// The whole page as HTML, UTF-8.
std::string helpPageHtml();

} // namespace app
