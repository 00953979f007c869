// Gathering many index entries cheaply: the entries themselves packed in large blocks, hashes of
// the keys gathered for a unique index (no allocation per key either), and sorted runs of entries
// spilled to a temporary file when what is gathered outgrows its memory budget, read back merged in
// key order.
#pragma once

#include "jet/IndexTree.h"

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace jet {

// A set of 64-bit key hashes, open addressing: a key whose hash is absent is certainly not
// gathered; one whose hash is present must be looked for among the entries.
class KeyHashes {
public:
    static std::uint64_t of(std::span<const std::uint8_t> key);
    bool mayHold(std::uint64_t hash) const;
    void insert(std::uint64_t hash);
    std::size_t bytes() const { return slots_.size() * sizeof(std::uint64_t); }

private:
    std::vector<std::uint64_t> slots_; // 0: empty
    std::size_t count_ = 0;
};

// Index entries gathered for one index, in the order they came: each key's bytes packed one
// after another in large blocks, and a small record per entry pointing at them. A million
// entries are then a few hundred allocations, not a million, and take under half the memory.
class GatheredEntries {
public:
    // Refuses (jet::Error) a key longer than a record notes; no index key comes near it.
    void add(std::span<const std::uint8_t> key, RowId row);
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    std::span<const std::uint8_t> key(std::size_t k) const {
        const Record& r = record(k);
        return {r.key, r.length};
    }
    RowId row(std::size_t k) const {
        const Record& r = record(k);
        return {r.page, r.slot};
    }
    // Entry k, its key copied into `e` (whose storage is reused).
    void copyTo(std::size_t k, IndexEntry& e) const;
    // Memory an entry with a key of `keyBytes` takes here.
    static std::size_t bytesFor(std::size_t keyBytes) { return sizeof(Record) + keyBytes; }
    // The positions of the entries in key order (entryLess's).
    std::vector<std::uint32_t> sortedOrder() const;

private:
    struct Record {
        const std::uint8_t* key; // in one of the blocks, which never move
        std::uint32_t page;
        std::uint16_t slot;
        std::uint16_t length;
    };
    struct KeyBlock {
        std::unique_ptr<std::uint8_t[]> bytes;
        std::size_t size;
    };
    static constexpr std::size_t kRecordBlock = 4096;
    const Record& record(std::size_t k) const {
        return records_[k / kRecordBlock][k % kRecordBlock];
    }
    std::vector<KeyBlock> keyBlocks_;
    std::size_t keyBlock_ = 0; // the block being filled
    std::size_t keyUsed_ = 0;  // bytes of it filled
    std::vector<std::unique_ptr<Record[]>> records_;
    std::size_t count_ = 0;
};

// Sorted runs of entries of a table's indexes, in one temporary file that is removed when this
// goes (also after a failure).
class IndexRuns {
public:
    IndexRuns(std::filesystem::path file, std::size_t indexes);
    ~IndexRuns();
    IndexRuns(const IndexRuns&) = delete;
    IndexRuns& operator=(const IndexRuns&) = delete;

    const std::filesystem::path& file() const { return file_; }
    // Appends `entries`, taken in `order` (which sorts them), as one run of index i.
    void spill(std::size_t index, const GatheredEntries& entries,
               const std::vector<std::uint32_t>& order);
    std::size_t runs(std::size_t index) const { return segments_[index].size(); }
    // Hands `out` every entry of index i's runs, run after run.
    void each(std::size_t index, const std::function<void(const IndexEntry&)>& out);
    // Hands `out` every entry of index i's runs and of `memory` (taken in `order`, which sorts
    // them), in order.
    void merge(std::size_t index, const GatheredEntries& memory,
               const std::vector<std::uint32_t>& order,
               const std::function<void(const IndexEntry&)>& out);

private:
    struct Segment {
        std::uint64_t offset = 0;
        std::uint64_t count = 0;
        IndexEntry first, last; // its lowest and highest entries (when count > 0)
    };
    class Reader;
    class Writer;
    void mergeSegments(const std::vector<Segment>& from, const GatheredEntries* memory,
                       const std::vector<std::uint32_t>& order,
                       const std::function<void(const IndexEntry&)>& out);
    void written();
    // Whether each run's entries all come after the run's before it, and memory's after them.
    static bool chained(const std::vector<Segment>& from, const GatheredEntries* memory,
                        const std::vector<std::uint32_t>& order);
    std::filesystem::path file_;
    std::fstream out_;
    std::uint64_t end_ = 0;
    std::vector<std::vector<Segment>> segments_;
};

// Lists of entries made on a thread of their own and taken, in blocks, on the caller's: the
// merge that puts an index's entries in order runs beside the writing of the leaves they fill,
// and goes on to the next list while the last blocks of one are taken. A failure on either side
// ends both: the maker's is thrown to the taker, and a taker that goes stops the maker.
class EntryPipe {
public:
    using Sink = std::function<void(const IndexEntry&)>;
    // `make(k, out)` hands `out` the entries of list k, for k from 0 to lists - 1.
    EntryPipe(std::size_t lists, std::function<void(std::size_t, const Sink&)> make);
    ~EntryPipe();
    EntryPipe(const EntryPipe&) = delete;
    EntryPipe& operator=(const EntryPipe&) = delete;

    // Entries as they travel: their keys packed one after another, which the other thread's
    // cache takes in far fewer lines than keys each in a room of its own.
    struct Block {
        struct Entry {
            std::uint32_t at; // in keys
            std::uint16_t size;
            RowId row;
            std::uint32_t child;
            // Worked out here, beside the entry before it in its list: 1 when it has a greater
            // key, 0 the same key on a later row, -1 when it does not follow (or is the first).
            std::int8_t follows;
        };
        std::vector<std::uint8_t> keys;
        std::vector<Entry> entries;
        bool last = false; // of its list
        std::span<const std::uint8_t> key(const Entry& e) const {
            return {keys.data() + e.at, e.size};
        }
    };

    // The next entries of the current list, in order; none when the list has ended, and the
    // following call starts the next one.
    const Block* next();

private:
    struct Stopped {};
    Block* freeBlock(); // waits for one; throws Stopped once the taker has gone
    void send(Block* b);
    void run(std::size_t lists, const std::function<void(std::size_t, const Sink&)>& make);

    static constexpr std::size_t kBlockBytes = std::size_t(64) << 10;
    std::vector<Block> blocks_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Block*> free_;
    std::deque<Block*> full_; // oldest first
    std::exception_ptr failed_;
    bool stop_ = false;
    Block* held_ = nullptr; // handed out by next()
    bool listEnded_ = false;
    std::thread maker_;
};

} // namespace jet
