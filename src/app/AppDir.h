// The program folder, as the program was started: a link to the program placed in the host's
// folder counts as being in that folder, so the link is not followed.
#pragma once

#include <string>

namespace app {

// argv0: the program's name as started. pathVariable: the PATH the program was looked up
// in when argv0 names no folder. fallback: the folder of the program's own file, used when
// neither tells. The result ends with the native separator.
std::string programFolder(const std::string& argv0, const std::string& pathVariable,
                          const std::string& fallback);

} // namespace app
