#include "tools/CleanUp.h"

#include "hostdata/AccountList.h"
#include "platform/Ansi.h"
#include "platform/HostPath.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace tools {

bool isUnneededFile(std::string_view name) {
    if (name.size() < 5)
        return false;
    auto ext = ansi::upper(name.substr(name.size() - 3));
    if (ext != "DAT")
        return false;
    auto stem = name.substr(0, name.size() - 4);
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return digit(stem.front()) && digit(stem.back());
}

CleanUpResult cleanAccountFolders(const std::string& appDir,
                                  const std::function<void(std::int64_t)>& progress) {
    CleanUpResult result;
    auto accounts = hostdata::readAccounts(appDir, records::CountRule::Rounded);
    result.accounts = static_cast<std::int64_t>(accounts.size());
    for (std::size_t i = 0; i < accounts.size(); ++i) {
        result.lastAccountDir = appDir + accounts[i].folderName();
        auto folder = hostpath::resolve(result.lastAccountDir);
        // Names sorted, so that the same folder is always visited the same way.
        std::vector<fs::path> entries;
        std::error_code ec;
        for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
             it.increment(ec))
            entries.push_back(it->path());
        std::sort(entries.begin(), entries.end());
        for (const auto& entry : entries) {
            auto name = hostpath::fromNative(entry.filename());
            if (!isUnneededFile(name) || fs::is_directory(entry, ec))
                continue;
            if (fs::remove(entry, ec) && !ec)
                ++result.deleted;
            else
                result.notDeleted.push_back(result.lastAccountDir + name);
        }
        if (progress)
            progress(static_cast<std::int64_t>(i + 1));
    }
    return result;
}

} // namespace tools
