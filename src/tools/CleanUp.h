// Clean-up of the host's account folders: numbered data files the host leaves behind
// ("1.dat", "1999.DAT") are deleted from the folder of every account.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

// Unneeded: the name ends in "dat" in any case, and what is left without its last four
// characters is not empty and begins and ends with a digit.
bool isUnneededFile(std::string_view name);

struct CleanUpResult {
    std::int64_t accounts = 0;
    std::int64_t deleted = 0;
    std::vector<std::string> notDeleted; // files that matched but could not be deleted
    std::string lastAccountDir;
};

// Visits every account of appDir's account list in file order. progress(i) is called after
// account i (from 1). A file that cannot be deleted, or a folder that matches the rule, is
// left alone and, for files, listed in notDeleted.
CleanUpResult cleanAccountFolders(const std::string& appDir,
                                  const std::function<void(std::int64_t)>& progress);

} // namespace tools
