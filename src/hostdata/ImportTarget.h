// Where an import database may go. It takes the place of the file the user names, so that file
// must not be one the run still needs or the host owns, nor one another program is writing.
#pragma once

#include <string>

namespace hostdata {

struct HostFolders;

// Why path may not become the import database, as a message naming the file; empty when it
// may. The template's name has its own message, kept by the callers.
std::string RefusedTarget(const HostFolders& host, const std::string& path);

// True when path is open for writing in another program (the engine's lock is held).
bool TargetInUse(const std::string& path);
std::string InUseText(const std::string& path);

} // namespace hostdata
