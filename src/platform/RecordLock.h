// A lock on a byte range of a file, held for the life of the object. The host's programs write
// their record files while we read them; holding a shared lock around a record read keeps a
// cooperating writer out for that moment. Other readers are not hindered.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>

namespace platform {

class RecordLock {
public:
    enum class Kind {
        Shared,    // readers: keeps writers out
        Exclusive, // writers: keeps everyone out
    };

    // Takes the lock, retrying while another program holds a conflicting one; throws
    // records::FileError naming the file when it is still held after `patience`. A file system
    // that does not lock at all is read without a lock. A missing file takes no lock.
    RecordLock(const std::filesystem::path& file, std::uint64_t offset, std::uint64_t length,
               Kind kind = Kind::Shared,
               std::chrono::milliseconds patience = std::chrono::milliseconds(2000));
    ~RecordLock();
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;

    bool held() const { return held_; }

private:
    void release();

#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    std::uint64_t offset_, length_;
    bool held_ = false;
};

} // namespace platform
