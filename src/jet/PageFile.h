// The one way to the bytes of a database file: a bounded cache of pages over an open file.
//
// Pages are read on demand and kept in least-recently-used order; a page handed out stays valid
// while the caller holds it, even if the cache drops it meanwhile. Pages changed through
// writablePage() are written back on eviction, flush() and close. A file opened for writing is
// locked against other processes for as long as it stays open.
#pragma once

#include "jet/Format.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <list>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace jet {

struct Page {
    std::uint32_t number = 0;
    std::vector<std::uint8_t> bytes;
    bool dirty = false;
    std::span<const std::uint8_t> view() const { return bytes; }
    std::span<std::uint8_t> mut() { return bytes; }
};
using PageRef = std::shared_ptr<const Page>;
using MutablePageRef = std::shared_ptr<Page>;

// What the header page (page 0) says about the database.
struct DatabaseHeader {
    JetVersion version = JetVersion::Jet4;
    std::uint16_t codePage = 0;
    std::uint32_t sortOrder = 0;
    double creationDate = 0;
};

enum class OpenMode { ReadOnly, ReadWrite };

// Access opens no database larger than 2 GB.
inline constexpr std::uint64_t kAccessFileLimit = std::uint64_t(1) << 31;
// The size no file may grow past; lowered by tests to reach it quickly. Applies to every
// PageFile opened afterwards.
void setFileSizeLimit(std::uint64_t bytes);
std::uint64_t fileSizeLimit();
// How many bytes written make a file start, on a thread of its own, to make them durable; lowered
// by tests. Applies to every PageFile opened afterwards.
void setEarlySyncStep(std::size_t bytes);
std::size_t earlySyncStep();

// True when another open of the file (in this process or another) holds the write lock a
// database opened for writing takes. A missing or unreadable file holds no lock.
bool lockedByAnother(const std::filesystem::path& path);

// Scrambles (or unscrambles: the same operation) the RC4-masked area of a header page.
void scrambleHeader(std::span<std::uint8_t> area);

class PageFile {
public:
    // Opens and validates the header. Throws jet::Error for anything that is not an
    // unencrypted Jet 3 or Jet 4 database, or when another process holds a write lock.
    PageFile(const std::filesystem::path& path, OpenMode mode, std::size_t cachePages = 512);
    ~PageFile();
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    const Format& format() const { return *format_; }
    const DatabaseHeader& header() const { return header_; }
    const std::string& name() const { return name_; }
    const std::filesystem::path& path() const { return path_; }
    bool writable() const { return mode_ == OpenMode::ReadWrite; }
    std::uint32_t pageCount() const { return pageCount_; }
    std::uint32_t pageSize() const { return format_->pageSize; }

    // A page of the file; throws when n is past the end.
    PageRef page(std::uint32_t n);
    // The same page, marked to be written back.
    MutablePageRef writablePage(std::uint32_t n);
    // Appends a zero-filled page and returns it (marked dirty). Throws FileSizeLimit when the
    // file would grow past fileSizeLimit().
    MutablePageRef appendPage();

    void flush();
    void close();

    // Bytes of index entries the tables of this file hold gathered in memory (IndexSupport's):
    // their budget is one for the whole file.
    std::size_t gatheredIndexBytes = 0;

    // Counters for tests and benchmarks.
    std::size_t cachedPages() const { return map_.size(); }
    std::size_t reads() const { return reads_; }

    // "file.mdb, page 12": the prefix of every message about a page.
    std::string where(std::uint32_t page) const;

private:
    class EarlySync;

    MutablePageRef load(std::uint32_t n);
    void remember(std::uint32_t n, std::list<MutablePageRef>::iterator at);
    void forgetRecent();
    void evict();
    // Writes the pages, those that are neighbours in the file together.
    void writeAll(std::vector<Page*>& pages);
    void readHeader();

    std::filesystem::path path_;
    std::string name_;
    OpenMode mode_;
    int fd_ = -1;
    const Format* format_ = &kJet4Format;
    DatabaseHeader header_;
    std::uint32_t pageCount_ = 0;
    std::size_t capacity_;
    static constexpr std::size_t kLargestCache = 2048; // pages
    std::uint64_t limit_;
    std::list<MutablePageRef> lru_; // front: most recently used
    std::unordered_map<std::uint32_t, std::list<MutablePageRef>::iterator> map_;
    // The last few pages found, looked at before the map: a run of inserts asks for the same
    // two pages of each table it fills, row after row. Forgotten when pages leave.
    struct Recent {
        std::uint32_t number = UINT32_MAX; // no page has it
        std::list<MutablePageRef>::iterator at;
    };
    std::array<Recent, 8> recent_{};
    std::size_t nextRecent_ = 0;
    std::size_t reads_ = 0;
    // Bytes written since the system was last asked to start writing them to the disk.
    std::size_t unstarted_ = 0;
    static constexpr std::size_t kWriteBackStep = std::size_t(32) << 20;
    // Bytes written since the last early sync began, and the syncs (files open for writing).
    std::size_t unsynced_ = 0;
    std::size_t syncStep_;
    std::unique_ptr<EarlySync> sync_;
};

} // namespace jet
