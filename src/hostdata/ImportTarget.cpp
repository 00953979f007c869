#include "hostdata/ImportTarget.h"

#include "hostdata/AccountList.h"
#include "hostdata/ImportDatabase.h"
#include "jet/PageFile.h"
#include "platform/HostPath.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace hostdata {
namespace {

bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec);
}

// The host's own files by name, wherever they are named: the account list, the saved formats
// and the creation log the run writes (the last two kept by the floors above this one).
bool hostFileName(const fs::path& target) {
    const auto name = hostpath::fromNative(target.filename());
    for (const char* host : {kAccountFile, "Formats.Dat", "ImportLog.doc"})
        if (hostpath::sameName(name, host))
            return true;
    return false;
}

// The account folders Account.dat lists and the one chosen for the import.
bool inAccountFolder(const HostFolders& host, const fs::path& target) {
    const auto folder = target.parent_path();
    if (!host.accountDir.empty() && sameFile(folder, hostpath::resolve(host.accountDir)))
        return true;
    try {
        for (const auto& a : readAccounts(host.appDir, records::CountRule::Rounded))
            if (!a.folderName().empty() &&
                sameFile(folder, hostpath::resolve(host.appDir + a.folderName())))
                return true;
    } catch (const std::exception&) {
        // An unreadable account list names no folder to protect.
    }
    return false;
}

} // namespace

std::string RefusedTarget(const HostFolders& host, const std::string& path) {
    const auto target = hostpath::resolve(path);
    if (hostpath::isDirectory(path))
        return path + " is a folder.  Please name a file for the import database.";
    if (!host.tabFile.empty() && sameFile(target, hostpath::resolve(host.tabFile)))
        return path + " is the TAB file being imported.  The import database needs a name of "
                      "its own.";
    if (hostFileName(target) || inAccountFolder(host, target))
        return path + " belongs to the Brandmoor program.  Please save the import database "
                      "under another name, outside the account folders.";
    if (TargetInUse(path))
        return InUseText(path);
    return {};
}

bool TargetInUse(const std::string& path) {
    return hostpath::isFile(path) && jet::lockedByAnother(hostpath::resolve(path));
}

std::string InUseText(const std::string& path) {
    return path + " is open in another program, so it was not replaced.  Close it there and "
                  "try again.";
}

} // namespace hostdata
