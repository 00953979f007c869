#include "app/AppDir.h"

#include "platform/HostPath.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace app {
namespace {

std::string withSeparator(const fs::path& folder) {
    auto text = hostpath::fromNative(folder.lexically_normal());
    if (text.empty() || (text.back() != '/' && text.back() != '\\'))
        text += static_cast<char>(fs::path::preferred_separator);
    return text;
}

bool isExecutableFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec); // a file found on PATH under the name is the one run
}

} // namespace

std::string programFolder(const std::string& argv0, const std::string& pathVariable,
                          const std::string& fallback) {
    fs::path started(argv0);
    std::error_code ec;
    if (started.has_parent_path())
        return withSeparator(fs::absolute(started, ec).parent_path());
#ifdef _WIN32
    const char listSeparator = ';';
#else
    const char listSeparator = ':';
#endif
    std::size_t start = 0;
    while (!argv0.empty() && start <= pathVariable.size()) {
        auto end = pathVariable.find(listSeparator, start);
        if (end == std::string::npos)
            end = pathVariable.size();
        fs::path dir = pathVariable.substr(start, end - start);
        if (dir.empty())
            dir = ".";
        if (isExecutableFile(dir / started))
            return withSeparator(fs::absolute(dir, ec));
        start = end + 1;
    }
    return withSeparator(fs::path(fallback));
}

} // namespace app
