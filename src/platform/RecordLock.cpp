#include "platform/RecordLock.h"

#include "platform/RecordFile.h"

#include <cerrno>
#include <cstring>
#include <thread>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace platform {

namespace {
constexpr auto kRetryEvery = std::chrono::milliseconds(50);
}

#ifdef _WIN32

RecordLock::RecordLock(const std::filesystem::path& file, std::uint64_t offset,
                       std::uint64_t length, Kind kind, std::chrono::milliseconds patience)
    : offset_(offset), length_(length) {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    handle_ = h;
    DWORD flags = LOCKFILE_FAIL_IMMEDIATELY;
    if (kind == Kind::Exclusive)
        flags |= LOCKFILE_EXCLUSIVE_LOCK;
    auto deadline = std::chrono::steady_clock::now() + patience;
    while (true) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset_);
        at.OffsetHigh = static_cast<DWORD>(offset_ >> 32);
        if (LockFileEx(h, flags, 0, static_cast<DWORD>(length_), static_cast<DWORD>(length_ >> 32),
                       &at)) {
            held_ = true;
            return;
        }
        if (GetLastError() != ERROR_LOCK_VIOLATION || std::chrono::steady_clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(kRetryEvery);
    }
    bool violation = GetLastError() == ERROR_LOCK_VIOLATION;
    release();
    if (violation)
        throw records::FileError(file.string() + " is locked by another program");
}

void RecordLock::release() {
    if (!handle_)
        return;
    if (held_) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset_);
        at.OffsetHigh = static_cast<DWORD>(offset_ >> 32);
        UnlockFileEx(static_cast<HANDLE>(handle_), 0, static_cast<DWORD>(length_),
                     static_cast<DWORD>(length_ >> 32), &at);
    }
    CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
    held_ = false;
}

#else

namespace {
// Open-file-description locks belong to this descriptor, so closing another descriptor of the
// same file (the record file's own) does not drop them, and two locks in one process conflict
// as they would between programs.
#ifdef F_OFD_SETLK
constexpr int kSetLock = F_OFD_SETLK;
#else
constexpr int kSetLock = F_SETLK;
#endif

bool setLock(int fd, short type, std::uint64_t offset, std::uint64_t length) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    return ::fcntl(fd, kSetLock, &fl) == 0;
}
} // namespace

RecordLock::RecordLock(const std::filesystem::path& file, std::uint64_t offset,
                       std::uint64_t length, Kind kind, std::chrono::milliseconds patience)
    : offset_(offset), length_(length) {
    // A shared lock needs a descriptor open for reading, an exclusive one for writing.
    fd_ = ::open(file.c_str(), (kind == Kind::Exclusive ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd_ < 0)
        return;
    short type = kind == Kind::Exclusive ? F_WRLCK : F_RDLCK;
    auto deadline = std::chrono::steady_clock::now() + patience;
    while (true) {
        if (setLock(fd_, type, offset_, length_)) {
            held_ = true;
            return;
        }
        int err = errno;
        bool conflict = err == EAGAIN || err == EACCES;
        if (!conflict) {
            // The file system does not lock (some network shares): read without the lock.
            release();
            return;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            release();
            throw records::FileError(file.string() + " is locked by another program");
        }
        std::this_thread::sleep_for(kRetryEvery);
    }
}

void RecordLock::release() {
    if (fd_ < 0)
        return;
    if (held_)
        setLock(fd_, F_UNLCK, offset_, length_);
    ::close(fd_);
    fd_ = -1;
    held_ = false;
}

#endif

RecordLock::~RecordLock() {
    release();
}

} // namespace platform
