#include "platform/HostPath.h"

#include "platform/Ansi.h"

#include <vector>

namespace fs = std::filesystem;

namespace hostpath {
namespace {

fs::path nativeName(std::string_view ansiName) {
#ifdef _WIN32
    return fs::path(ansi::toUtf16(ansiName));
#else
    auto utf8 = ansi::toUtf8(ansiName);
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
#endif
}

std::vector<std::string_view> splitComponents(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\' || path[i] == '/') {
            if (i > start)
                parts.push_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

// The entry of dir whose name equals name in any letter case; an exact match is preferred, and
// among several case-insensitive matches the first in name order, so the choice is stable.
std::optional<fs::path> findEntry(const fs::path& dir, std::string_view name) {
    std::error_code ec;
    fs::path exact = dir / nativeName(name);
    if (fs::exists(fs::symlink_status(exact, ec)))
        return exact;
    std::optional<fs::path> best;
    for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        auto candidate = it->path().filename();
        if (sameName(fromNative(candidate), name) && (!best || candidate < best->filename()))
            best = it->path();
    }
    return best;
}

} // namespace

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ansi::upper(a) == ansi::upper(b);
}

std::string fromNative(const fs::path& path) {
#ifdef _WIN32
    return ansi::fromUtf16(path.u16string());
#else
    auto u8 = path.u8string();
    return ansi::fromUtf8(std::string_view(reinterpret_cast<const char*>(u8.data()), u8.size()));
#endif
}

fs::path resolve(std::string_view hostPath) {
    fs::path result;
    std::string_view rest = hostPath;
#ifdef _WIN32
    if (rest.size() >= 2 && rest[1] == ':') {
        result = nativeName(rest.substr(0, 2)) / "\\";
        rest.remove_prefix(2);
    } else if (!rest.empty() && (rest[0] == '\\' || rest[0] == '/')) {
        result = "\\";
    }
#else
    if (!rest.empty() && (rest[0] == '\\' || rest[0] == '/'))
        result = "/";
#endif
    bool matching = true;
    for (auto part : splitComponents(rest)) {
        if (matching && part != "." && part != "..") {
            auto base = result.empty() ? fs::path(".") : result;
            if (auto found = findEntry(base, part)) {
                result = result.empty() ? found->filename() : result / found->filename();
                continue;
            }
            matching = false;
        }
        result /= nativeName(part);
    }
    return result;
}

bool exists(std::string_view hostPath) {
    std::error_code ec;
    return fs::exists(resolve(hostPath), ec);
}

bool isFile(std::string_view hostPath) {
    std::error_code ec;
    return fs::is_regular_file(resolve(hostPath), ec);
}

bool isDirectory(std::string_view hostPath) {
    std::error_code ec;
    return fs::is_directory(resolve(hostPath), ec);
}

std::optional<std::uint64_t> fileLength(std::string_view hostPath) {
    std::error_code ec;
    auto path = resolve(hostPath);
    if (!fs::is_regular_file(path, ec))
        return std::nullopt;
    auto size = fs::file_size(path, ec);
    if (ec)
        return std::nullopt;
    return size;
}

std::string folderOf(std::string_view hostPath) {
    const auto cut = hostPath.find_last_of("\\/");
    return std::string(cut == std::string_view::npos ? std::string_view()
                                                     : hostPath.substr(0, cut + 1));
}

} // namespace hostpath
