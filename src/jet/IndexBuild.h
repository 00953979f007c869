// Gathering many index entries cheaply: hashes of the keys gathered for a unique index (no
// allocation per key), and sorted runs of entries spilled to a temporary file when what is
// gathered outgrows its memory budget, read back merged in key order.
#pragma once

#include "jet/IndexTree.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <span>
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
    void spill(std::size_t index, const std::vector<IndexEntry>& entries,
               const std::vector<std::uint32_t>& order);
    std::size_t runs(std::size_t index) const { return segments_[index].size(); }
    // Hands `out` every entry of index i's runs, run after run.
    void each(std::size_t index, const std::function<void(const IndexEntry&)>& out);
    // Hands `out` every entry of index i's runs and of `memory` (sorted), in order.
    void merge(std::size_t index, std::vector<IndexEntry>&& memory,
               const std::function<void(IndexEntry&&)>& out);

private:
    struct Segment {
        std::uint64_t offset = 0;
        std::uint64_t count = 0;
    };
    class Reader;
    void append(const std::vector<IndexEntry>& entries, const std::vector<std::uint32_t>& order);
    void mergeSegments(const std::vector<Segment>& from, std::vector<IndexEntry>&& memory,
                       const std::function<void(IndexEntry&&)>& out);
    void written();
    std::filesystem::path file_;
    std::fstream out_;
    std::uint64_t end_ = 0;
    std::vector<std::vector<Segment>> segments_;
};

} // namespace jet
