#include "jet/PageFile.h"

#include "base/Coding.h"
#include "jet/Error.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#endif

namespace jet {
namespace {

#ifdef _WIN32
// The file calls report through GetLastError, the C runtime's through errno.
std::string systemError() {
    const DWORD code = GetLastError();
    if (code == 0)
        return std::strerror(errno);
    char text[256] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == '.'))
        text[--n] = '\0';
    return n > 0 ? std::string(text, n) : "system error " + std::to_string(code);
}
#else
std::string systemError() {
    return std::strerror(errno);
}
#endif

#ifdef _WIN32
int openFile(const std::filesystem::path& p, bool write) {
    return _wopen(p.c_str(), (write ? _O_RDWR : _O_RDONLY) | _O_BINARY);
}
bool lockFile(int fd) {
    auto h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    return LockFile(h, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF) != 0;
}
void unlockFile(int fd) {
    auto h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    UnlockFile(h, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF);
}
long long fileSize(int fd) {
    return _filelengthi64(fd);
}
// Windows has no pread/pwrite: ReadFile and WriteFile take the offset in an OVERLAPPED, and
// are repeated until all n bytes are moved; false on error or end of file.
template <typename Transfer>
bool transferAll(int fd, std::size_t n, long long off, Transfer transfer) {
    auto h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    std::size_t done = 0;
    while (done < n) {
        OVERLAPPED at{};
        const auto pos = static_cast<unsigned long long>(off) + done;
        at.Offset = static_cast<DWORD>(pos);
        at.OffsetHigh = static_cast<DWORD>(pos >> 32);
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
        DWORD moved = 0;
        if (!transfer(h, done, chunk, &moved, &at) || moved == 0)
            return false;
        done += moved;
    }
    return true;
}
bool readAt(int fd, std::uint8_t* buf, std::size_t n, long long off) {
    return transferAll(fd, n, off,
                       [&](HANDLE h, std::size_t done, DWORD chunk, DWORD* moved, OVERLAPPED* at) {
                           return ReadFile(h, buf + done, chunk, moved, at) != 0;
                       });
}
bool writeAt(int fd, const std::uint8_t* buf, std::size_t n, long long off) {
    return transferAll(fd, n, off,
                       [&](HANDLE h, std::size_t done, DWORD chunk, DWORD* moved, OVERLAPPED* at) {
                           return WriteFile(h, buf + done, chunk, moved, at) != 0;
                       });
}
// Pages that are neighbours in the file, in one write: gathered into one buffer first, when
// there are several.
bool writePagesAt(int fd, std::span<Page* const> pages, std::size_t pageSize, long long off) {
    if (pages.size() == 1)
        return writeAt(fd, pages[0]->bytes.data(), pageSize, off);
    thread_local std::vector<std::uint8_t> run;
    run.resize(pages.size() * pageSize);
    for (std::size_t k = 0; k < pages.size(); ++k)
        std::copy(pages[k]->bytes.begin(), pages[k]->bytes.end(),
                  run.begin() + static_cast<std::ptrdiff_t>(k * pageSize));
    return writeAt(fd, run.data(), run.size(), off);
}
void closeFile(int fd) {
    _close(fd);
}
#else
int openFile(const std::filesystem::path& p, bool write) {
    return ::open(p.c_str(), (write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
}
// flock locks belong to the open file, so a second open in the same process is refused too.
bool lockFile(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}
void unlockFile(int fd) {
    ::flock(fd, LOCK_UN);
}
long long fileSize(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return -1;
    return st.st_size;
}
// Repeats a partial pread until all n bytes are moved; false on error or end of file.
template <typename Transfer>
bool transferAll(std::size_t n, Transfer transfer) {
    std::size_t done = 0;
    while (done < n) {
        auto r = transfer(done);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        done += static_cast<std::size_t>(r);
    }
    return true;
}
bool readAt(int fd, std::uint8_t* buf, std::size_t n, long long off) {
    return transferAll(n, [&](std::size_t done) {
        return ::pread(fd, buf + done, n - done, static_cast<off_t>(off + done));
    });
}
// Pages that are neighbours in the file, in one write straight from where they lie.
bool writePagesAt(int fd, std::span<Page* const> pages, std::size_t pageSize, long long off) {
    std::array<iovec, 64> parts{};
    std::size_t first = 0; // the first page not yet wholly written
    std::size_t into = 0;  // bytes of it already written
    while (first < pages.size()) {
        std::size_t n = 0;
        for (std::size_t k = first; k < pages.size() && n < parts.size(); ++k, ++n) {
            const std::size_t skip = k == first ? into : 0;
            parts[n] = {pages[k]->bytes.data() + skip, pageSize - skip};
        }
        const auto at = off + static_cast<long long>(first * pageSize + into);
        const ssize_t r = ::pwritev(fd, parts.data(), static_cast<int>(n), static_cast<off_t>(at));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        const std::size_t done = into + static_cast<std::size_t>(r);
        first += done / pageSize;
        into = done % pageSize;
    }
    return true;
}
void closeFile(int fd) {
    ::close(fd);
}
#endif

// Asks the system to start writing what was written so far to the disk, without waiting: the
// flush at the end then has little left to wait for. Only Linux offers it; elsewhere the flush
// does it all.
void startWriteBack([[maybe_unused]] int fd) {
#ifdef __linux__
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

// The header area after offset 0x18 is scrambled with RC4 under a fixed key.
void rc4(std::span<std::uint8_t> data) {
    static constexpr std::array<std::uint8_t, 4> key{0xC7, 0xDA, 0x39, 0x6B};
    std::array<std::uint8_t, 256> s{};
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[i % 4]);
        std::swap(s[i], s[j]);
    }
    std::uint8_t a = 0, b = 0;
    for (auto& byte : data) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        byte ^= s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
}

std::uint64_t& sizeLimit() {
    static std::uint64_t limit = kAccessFileLimit;
    return limit;
}

std::size_t& syncStep() {
    static std::size_t step = std::size_t(128) << 20;
    return step;
}

} // namespace

#ifdef __linux__
// Makes what was written so far durable on a thread of its own while more is written. The flush
// at the end waits for the disk to take in everything not yet made durable, hundreds of MB for a
// large import; so it finds only what came after the last of these. One at a time. A failure is
// kept for the flush to report, as the system reports a failed write only once.
class PageFile::EarlySync {
public:
    explicit EarlySync(int fd) : fd_(fd) {}
    ~EarlySync() { wait(); }

    // Starts one unless one is under way.
    void start() {
        if (running_.load(std::memory_order_acquire))
            return;
        wait();
        running_.store(true, std::memory_order_release);
        try {
            thread_ = std::thread([this] {
                if (::fdatasync(fd_) != 0)
                    error_ = errno;
                running_.store(false, std::memory_order_release);
            });
        } catch (const std::system_error&) {
            running_.store(false, std::memory_order_release); // the flush at the end does it all
        }
    }
    // Waits for the one under way; the error number of any that failed, or 0.
    int wait() {
        if (thread_.joinable())
            thread_.join();
        return error_;
    }

private:
    const int fd_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    int error_ = 0; // the thread's, read once it is joined
};
#else
// Elsewhere the flush at the end does it all.
class PageFile::EarlySync {
public:
    explicit EarlySync(int) {}
    void start() {}
    int wait() { return 0; }
};
#endif

void setFileSizeLimit(std::uint64_t bytes) {
    sizeLimit() = bytes;
}

void setEarlySyncStep(std::size_t bytes) {
    syncStep() = bytes;
}

std::size_t earlySyncStep() {
    return syncStep();
}

std::uint64_t fileSizeLimit() {
    return sizeLimit();
}

bool lockedByAnother(const std::filesystem::path& path) {
    const int fd = openFile(path, true);
    if (fd < 0)
        return false;
    const bool locked = !lockFile(fd);
    if (!locked)
        unlockFile(fd);
    closeFile(fd);
    return locked;
}

void scrambleHeader(std::span<std::uint8_t> area) {
    rc4(area);
}

PageFile::PageFile(const std::filesystem::path& path, OpenMode mode, std::size_t cachePages)
    : path_(path), name_(path.filename().string()), mode_(mode),
      capacity_(cachePages < 8 ? 8 : cachePages), limit_(sizeLimit()), syncStep_(syncStep()) {
    fd_ = openFile(path, mode == OpenMode::ReadWrite);
    if (fd_ < 0)
        throw Error(name_ + ": cannot open: " + systemError());
    if (mode == OpenMode::ReadWrite && !lockFile(fd_)) {
        closeFile(fd_);
        fd_ = -1;
        throw Error(name_ + ": the database is in use by another program (it is locked)");
    }
    try {
        readHeader();
    } catch (...) {
        if (mode_ == OpenMode::ReadWrite)
            unlockFile(fd_);
        closeFile(fd_);
        fd_ = -1;
        throw;
    }
}

PageFile::~PageFile() {
    try {
        close();
    } catch (...) {
        // A destructor cannot report; close() explicitly to see write errors.
    }
}

// Header page:
//   OFFSET SIZE MEANING
//   0x00   4    00 01 00 00
//   0x04   16   "Standard Jet DB\0" ("Standard ACE DB\0" in .accdb files)
//   0x14   4    version: 0 Jet 3, 1 Jet 4, 2 and up ACE
//   0x18   126/128 RC4-scrambled area (Jet 3 / Jet 4), holding:
//   0x3A   2    Jet 3: sort order
//   0x3C   2    code page
//   0x3E   4    database key: non-zero when the pages are encrypted
//   0x42   20/40 database password (Jet 4: each byte XOR the creation date's integer part)
//   0x6E   4    Jet 4: sort order
//   0x72   8    Jet 4: creation date
void PageFile::readHeader() {
    long long size = fileSize(fd_);
    if (size < 0)
        throw Error(name_ + ": cannot read the file size: " + systemError());
    std::vector<std::uint8_t> head(static_cast<std::size_t>(size < 4096 ? size : 4096));
    if (!head.empty() && !readAt(fd_, head.data(), head.size(), 0))
        throw Error(name_ + ": cannot read the header page: " + systemError());
    coding::Bytes b(head);
    static constexpr std::uint8_t magic[4] = {0x00, 0x01, 0x00, 0x00};
    if (head.size() < 0x18 + 128 || std::memcmp(head.data(), magic, 4) != 0)
        throw Error(name_ + ": not an Access database (no Jet header)");
    std::string id = coding::getBytesAsString(b, 4, 15);
    if (id == "Standard ACE DB")
        throw Error(name_ + ": an Access 2007 or later (.accdb, ACE) database is not supported");
    if (id != "Standard Jet DB")
        throw Error(name_ + ": not an Access database (header says '" + id + "')");
    std::uint32_t v = coding::getU32(b, 0x14);
    if (v > 1)
        throw Error(name_ + ": unsupported Jet version code " + std::to_string(v) +
                    " (ACE formats are not supported)");
    header_.version = static_cast<JetVersion>(v);
    format_ = &formatFor(header_.version);
    const std::size_t ps = format_->pageSize;
    if (static_cast<unsigned long long>(size) % ps != 0)
        throw Error(name_ + ": the file is truncated (" + std::to_string(size) +
                    " bytes is not a whole number of " + std::to_string(ps) + "-byte pages)");
    if (static_cast<unsigned long long>(size) < 3 * ps)
        throw Error(name_ + ": the file is truncated (only " + std::to_string(size / ps) +
                    " pages)");
    pageCount_ = static_cast<std::uint32_t>(size / ps);

    std::vector<std::uint8_t> h(head.begin(), head.begin() + ps);
    const std::size_t scrambled = header_.version == JetVersion::Jet3 ? 126 : 128;
    rc4(std::span<std::uint8_t>(h).subspan(0x18, scrambled));
    coding::Bytes d(h);
    header_.codePage = coding::getU16(d, 0x3C);
    if (coding::getU32(d, 0x3E) != 0)
        throw Error(name_ + ": the database is encrypted (not supported)");
    if (header_.version == JetVersion::Jet3) {
        header_.sortOrder = coding::getU16(d, 0x3A);
        for (std::size_t i = 0; i < 20; ++i)
            if (d[0x42 + i] != 0)
                throw Error(name_ + ": the database is protected by a password (not supported)");
    } else {
        header_.sortOrder = coding::getU32(d, 0x6E);
        header_.creationDate = coding::getF64(d, 0x72);
        std::uint8_t mask[4] = {0, 0, 0, 0};
        double cd = header_.creationDate;
        if (cd > -2147483648.0 && cd < 2147483647.0)
            coding::putLE<std::int32_t>(coding::MutableBytes(mask), 0,
                                        static_cast<std::int32_t>(cd));
        for (std::size_t i = 0; i < 40; ++i)
            if ((d[0x42 + i] ^ mask[i % 4]) != 0)
                throw Error(name_ + ": the database is protected by a password (not supported)");
    }
}

std::string PageFile::where(std::uint32_t page) const {
    return name_ + ", page " + std::to_string(page);
}

MutablePageRef PageFile::load(std::uint32_t n) {
    if (fd_ < 0)
        throw Error(name_ + ": the database is closed");
    if (n >= pageCount_)
        throw Error(where(n) + ": page number is past the end of the file (" +
                    std::to_string(pageCount_) + " pages)");
    for (const Recent& r : recent_)
        if (r.number == n) {
            lru_.splice(lru_.begin(), lru_, r.at);
            return *r.at;
        }
    auto it = map_.find(n);
    if (it != map_.end()) {
        lru_.splice(lru_.begin(), lru_, it->second);
        remember(n, it->second);
        return *it->second;
    }
    auto p = std::make_shared<Page>();
    p->number = n;
    p->bytes.resize(format_->pageSize);
    if (!readAt(fd_, p->bytes.data(), p->bytes.size(),
                static_cast<long long>(n) * format_->pageSize))
        throw Error(where(n) + ": read failed: " + systemError());
    ++reads_;
    lru_.push_front(p);
    map_[n] = lru_.begin();
    evict();
    return p;
}

void PageFile::remember(std::uint32_t n, std::list<MutablePageRef>::iterator at) {
    recent_[nextRecent_] = {n, at};
    nextRecent_ = (nextRecent_ + 1) % recent_.size();
}

void PageFile::forgetRecent() {
    recent_.fill(Recent{});
}

void PageFile::evict() {
    if (map_.size() <= capacity_)
        return;
    // Pages leave in groups, so that the changed ones among them go out in a few long writes
    // rather than one write each. Pages still held by a caller stay: dropping them would let two
    // copies of a page diverge.
    const std::size_t keep = capacity_ - std::min<std::size_t>(capacity_ / 8, 64);
    std::vector<std::list<MutablePageRef>::iterator> leaving;
    std::vector<Page*> changed;
    std::size_t left = map_.size();
    for (auto it = lru_.end(); left > keep && it != lru_.begin();) {
        --it;
        if (it->use_count() > 1)
            continue;
        leaving.push_back(it);
        if ((*it)->dirty)
            changed.push_back(it->get());
        --left;
    }
    // Written before they leave: a failed write keeps them, still changed.
    writeAll(changed);
    forgetRecent();
    for (auto it : leaving) {
        map_.erase((*it)->number);
        lru_.erase(it);
    }
}

PageRef PageFile::page(std::uint32_t n) {
    return load(n);
}

MutablePageRef PageFile::writablePage(std::uint32_t n) {
    if (mode_ != OpenMode::ReadWrite)
        throw Error(name_ + ": the database is open read-only");
    auto p = load(n);
    p->dirty = true;
    return p;
}

MutablePageRef PageFile::appendPage() {
    if (mode_ != OpenMode::ReadWrite)
        throw Error(name_ + ": the database is open read-only");
    if ((std::uint64_t(pageCount_) + 1) * format_->pageSize > limit_)
        throw FileSizeLimit(name_ + ": the database would grow past " + std::to_string(limit_) +
                            " bytes, the largest file Access opens");
    auto p = std::make_shared<Page>();
    p->number = pageCount_;
    p->bytes.assign(format_->pageSize, 0);
    // Written once, when it leaves the cache or the file is flushed: a page is always filled in
    // right after it is appended, and writing it zeroed first would write it twice.
    p->dirty = true;
    ++pageCount_;
    // A growing file gets a larger cache, up to a bound: what is written is read back.
    capacity_ = std::max(capacity_, std::min<std::size_t>(pageCount_ / 8, kLargestCache));
    lru_.push_front(p);
    map_[p->number] = lru_.begin();
    evict();
    return p;
}

void PageFile::writeAll(std::vector<Page*>& pages) {
    std::sort(pages.begin(), pages.end(),
              [](const Page* a, const Page* b) { return a->number < b->number; });
    const std::size_t size = format_->pageSize;
    for (std::size_t i = 0; i < pages.size();) {
        // Neighbours in the file go in one write.
        std::size_t j = i + 1;
        while (j < pages.size() && j - i < 64 && pages[j]->number == pages[j - 1]->number + 1)
            ++j;
        if (!writePagesAt(fd_, std::span(pages).subspan(i, j - i), size,
                          static_cast<long long>(pages[i]->number) * static_cast<long long>(size)))
            throw Error(where(pages[i]->number) + ": write failed: " + systemError());
        for (std::size_t k = i; k < j; ++k)
            pages[k]->dirty = false;
        i = j;
    }
    unstarted_ += pages.size() * size;
    if (unstarted_ >= kWriteBackStep) {
        startWriteBack(fd_);
        unstarted_ = 0;
    }
    unsynced_ += pages.size() * size;
    if (unsynced_ >= syncStep_) {
        if (!sync_)
            sync_ = std::make_unique<EarlySync>(fd_);
        sync_->start();
        unsynced_ = 0;
    }
}

void PageFile::flush() {
    if (fd_ < 0)
        return;
    std::vector<Page*> changed;
    for (auto& p : lru_)
        if (p->dirty)
            changed.push_back(p.get());
    writeAll(changed);
    if (sync_)
        if (const int error = sync_->wait(); error != 0)
            throw Error(name_ + ": flush failed: " + std::strerror(error));
#ifdef _WIN32
    if (mode_ == OpenMode::ReadWrite && _commit(fd_) != 0)
        throw Error(name_ + ": flush failed: " + systemError());
#else
    if (mode_ == OpenMode::ReadWrite && ::fsync(fd_) != 0)
        throw Error(name_ + ": flush failed: " + systemError());
#endif
}

void PageFile::close() {
    if (fd_ < 0)
        return;
    int fd = fd_;
    try {
        flush();
    } catch (...) {
        sync_.reset(); // waits: the file stays open while a sync is under way
        if (mode_ == OpenMode::ReadWrite)
            unlockFile(fd);
        closeFile(fd);
        fd_ = -1;
        throw;
    }
    if (mode_ == OpenMode::ReadWrite)
        unlockFile(fd);
    closeFile(fd);
    fd_ = -1;
    forgetRecent();
    lru_.clear();
    map_.clear();
}

} // namespace jet
