// The texts of the main window's four instruction pages, in Windows-1252, lines joined by LF.
#pragma once

#include <string>

namespace app {

std::string instructionsText(); // "Import Instructions" page
std::string step1Text();
std::string step2Text();
std::string step3Text();

} // namespace app
