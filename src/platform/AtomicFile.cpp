#include "platform/AtomicFile.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <string>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace atomicfile {
namespace {

constexpr std::string_view kPartialSuffix = ".tarnfield-partial";

#ifdef _WIN32
unsigned long processId() {
    return GetCurrentProcessId();
}

bool processRunning(unsigned long pid) {
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!h)
        return GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(h, &code) && code == STILL_ACTIVE;
    CloseHandle(h);
    return running;
}

std::error_code lastError() {
    return {static_cast<int>(GetLastError()), std::system_category()};
}
#else
unsigned long processId() {
    return static_cast<unsigned long>(::getpid());
}

bool processRunning(unsigned long pid) {
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

std::error_code lastError() {
    return {errno, std::generic_category()};
}

std::error_code syncPath(const fs::path& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return lastError();
    std::error_code ec;
    if (::fsync(fd) != 0)
        ec = lastError();
    ::close(fd);
    return ec;
}
#endif

// The process id inside a partial name for target's name, or nothing for any other name.
bool leftoverOf(const std::string& name, const std::string& targetName, unsigned long& pid) {
    if (!name.starts_with(targetName + ".") || !name.ends_with(kPartialSuffix))
        return false;
    const char* first = name.data() + targetName.size() + 1;
    const char* last = name.data() + name.size() - kPartialSuffix.size();
    auto [end, ec] = std::from_chars(first, last, pid);
    return ec == std::errc() && end == last;
}

} // namespace

fs::path partialPath(const fs::path& target) {
    auto name = target.filename().string() + "." + std::to_string(processId());
    return target.parent_path() / (name + std::string(kPartialSuffix));
}

void removeLeftovers(const fs::path& target) {
    const auto folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const auto targetName = target.filename().string();
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        unsigned long pid = 0;
        if (leftoverOf(entry.path().filename().string(), targetName, pid) && pid != processId() &&
            !processRunning(pid))
            fs::remove(entry.path(), ec);
    }
}

std::error_code syncFile(const fs::path& file) {
#ifdef _WIN32
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return lastError();
    std::error_code ec;
    if (!FlushFileBuffers(h))
        ec = lastError();
    CloseHandle(h);
    return ec;
#else
    return syncPath(file, O_RDONLY);
#endif
}

std::error_code syncFolder(const fs::path& folder) {
#ifdef _WIN32
    // MoveFileEx with MOVEFILE_WRITE_THROUGH returns only once the rename is on disk.
    (void)folder;
    return {};
#else
    return syncPath(folder.empty() ? fs::path(".") : folder, O_RDONLY | O_DIRECTORY);
#endif
}

std::error_code replace(const fs::path& from, const fs::path& to) {
#ifdef _WIN32
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return lastError();
    return {};
#else
    if (::rename(from.c_str(), to.c_str()) != 0)
        return lastError();
    return syncFolder(to.parent_path());
#endif
}

void crashPoint(std::string_view where, std::int64_t step) {
    // Read once: an import passes here for every record.
    static const std::string wanted = [] {
        const char* set = std::getenv("TARNFIELD_CRASH_AT");
        return set ? std::string(set) : std::string();
    }();
    if (wanted.empty())
        return;
    const std::string here = std::string(where) + ":" + std::to_string(step);
    if (wanted == here + ":interrupt") {
        std::raise(SIGINT);
        return;
    }
    if (wanted != here)
        return;
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), 9);
#else
    ::raise(SIGKILL);
#endif
    std::_Exit(9);
}

} // namespace atomicfile
