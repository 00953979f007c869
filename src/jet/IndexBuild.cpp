#include "jet/IndexBuild.h"

#include "base/Coding.h"
#include "jet/Error.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>
#include <system_error>

namespace jet {

// --- key hashes ---

namespace {

std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 30;
    h *= 0xbf58476d1ce4e5b9ull;
    h ^= h >> 27;
    h *= 0x94d049bb133111ebull;
    return h ^ (h >> 31);
}

} // namespace

std::uint64_t KeyHashes::of(std::span<const std::uint8_t> key) {
    std::uint64_t h = 0x9e3779b97f4a7c15ull ^ key.size();
    std::size_t at = 0;
    for (; at + 8 <= key.size(); at += 8) {
        std::uint64_t w;
        std::memcpy(&w, key.data() + at, 8);
        h = mix(h ^ w);
    }
    std::uint64_t tail = 0;
    for (std::size_t k = at; k < key.size(); ++k)
        tail = (tail << 8) | key[k];
    h = mix(h ^ tail ^ (std::uint64_t(key.size() - at) << 56));
    return h == 0 ? 1 : h;
}

bool KeyHashes::mayHold(std::uint64_t hash) const {
    if (slots_.empty())
        return false;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        if (slots_[at] == hash)
            return true;
        if (slots_[at] == 0)
            return false;
    }
}

void KeyHashes::insert(std::uint64_t hash) {
    // At most half full, so probes stay short and an empty slot always ends one.
    if ((count_ + 1) * 2 > slots_.size()) {
        std::vector<std::uint64_t> old(std::max<std::size_t>(1024, slots_.size() * 2), 0);
        old.swap(slots_);
        count_ = 0;
        for (std::uint64_t h : old)
            if (h != 0)
                insert(h);
    }
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        if (slots_[at] == hash)
            return;
        if (slots_[at] == 0) {
            slots_[at] = hash;
            ++count_;
            return;
        }
    }
}

// --- gathered entries ---

namespace {

// entryLess, for a key and row held apart.
bool lessThan(std::span<const std::uint8_t> a, RowId ra, std::span<const std::uint8_t> b,
              RowId rb) {
    const int c = compareKeys(a, b);
    return c != 0 ? c < 0 : ra < rb;
}

} // namespace

void GatheredEntries::add(std::span<const std::uint8_t> key, RowId row) {
    if (key.size() > std::numeric_limits<std::uint16_t>::max())
        throw Error("an index key of " + std::to_string(key.size()) + " bytes, too long to gather");
    if (keyBlock_ < keyBlocks_.size() && keyUsed_ + key.size() > keyBlocks_[keyBlock_].size) {
        ++keyBlock_;
        keyUsed_ = 0;
    }
    if (keyBlock_ == keyBlocks_.size()) {
        // Blocks grow from 4 KB to 1 MB, so that a table of a few rows takes little.
        const std::size_t size =
            std::max(key.size(), std::size_t(4096) << std::min<std::size_t>(keyBlock_, 8));
        keyBlocks_.push_back({std::make_unique_for_overwrite<std::uint8_t[]>(size), size});
    }
    std::uint8_t* at = keyBlocks_[keyBlock_].bytes.get() + keyUsed_;
    if (!key.empty())
        std::memcpy(at, key.data(), key.size());
    keyUsed_ += key.size();
    if (count_ / kRecordBlock == records_.size())
        records_.push_back(std::make_unique_for_overwrite<Record[]>(kRecordBlock));
    records_[count_ / kRecordBlock][count_ % kRecordBlock] = {
        at, row.page, row.row, static_cast<std::uint16_t>(key.size())};
    ++count_;
}

void GatheredEntries::copyTo(std::size_t k, IndexEntry& e) const {
    const auto bytes = key(k);
    e.key.assign(bytes.begin(), bytes.end());
    e.row = row(k);
    e.child = 0;
}

std::vector<std::uint32_t> GatheredEntries::sortedOrder() const {
    // Keys gathered in order (a rising primary key) stay as they are.
    bool inOrder = true;
    for (std::size_t k = 1; k < count_ && inOrder; ++k)
        inOrder = !lessThan(key(k), row(k), key(k - 1), row(k - 1));
    if (inOrder) {
        std::vector<std::uint32_t> order(count_);
        std::iota(order.begin(), order.end(), 0u);
        return order;
    }
    return prefixSortedOrder(
        count_, [&](std::size_t k) { return key(k); },
        [&](std::size_t a, std::size_t b) { return lessThan(key(a), row(a), key(b), row(b)); });
}

// --- runs ---
//
// Each entry in a run: key length (2 bytes), the key, the row's page (4) and slot (2), little
// endian.

namespace {

constexpr std::size_t kReadBuffer = 1 << 16;

void putLE(std::vector<char>& out, std::uint64_t v, int bytes) {
    for (int b = 0; b < bytes; ++b)
        out.push_back(static_cast<char>((v >> (8 * b)) & 0xFF));
}

} // namespace

class IndexRuns::Reader {
public:
    Reader(const std::filesystem::path& file, Segment s)
        : in_(file, std::ios::binary), left_(s.count) {
        in_.seekg(static_cast<std::streamoff>(s.offset));
        if (!in_)
            throw Error(file.string() + ": cannot read the index runs back");
        where_ = file.string();
    }

    // The next entry of the run into `e`; false at its end.
    bool next(IndexEntry& e) {
        if (left_ == 0)
            return false;
        --left_;
        e.child = 0;
        // Nearly every entry lies whole in the buffer, and is read straight from it.
        const std::size_t ahead = buf_.size() - at_;
        if (ahead >= 2) {
            const std::uint8_t* at = buf_.data() + at_;
            const std::size_t size = coding::getU16({at, 2}, 0);
            if (ahead >= 2 + size + 6) {
                e.key.assign(at + 2, at + 2 + size);
                e.row = rowAt(at + 2 + size);
                at_ += 2 + size + 6;
                return true;
            }
        }
        std::uint8_t head[2];
        take(head, 2);
        e.key.resize(coding::getU16(head, 0));
        take(e.key.data(), e.key.size());
        std::uint8_t row[6];
        take(row, 6);
        e.row = rowAt(row);
        return true;
    }

private:
    static RowId rowAt(const std::uint8_t* bytes) {
        return {coding::getU32({bytes, 6}, 0), coding::getU16({bytes, 6}, 4)};
    }

    void take(std::uint8_t* to, std::size_t n) {
        while (n > 0) {
            if (at_ == buf_.size()) {
                buf_.resize(kReadBuffer);
                in_.read(reinterpret_cast<char*>(buf_.data()), kReadBuffer);
                buf_.resize(static_cast<std::size_t>(in_.gcount()));
                in_.clear();
                at_ = 0;
                if (buf_.empty())
                    throw Error(where_ + ": the index runs end early");
            }
            const std::size_t k = std::min(n, buf_.size() - at_);
            std::memcpy(to, buf_.data() + at_, k);
            at_ += k;
            to += k;
            n -= k;
        }
    }

    std::ifstream in_;
    std::string where_;
    std::uint64_t left_;
    std::vector<std::uint8_t> buf_;
    std::size_t at_ = 0;
};

// Appends one run to the file.
class IndexRuns::Writer {
public:
    explicit Writer(IndexRuns& runs) : runs_(runs) {
        start_.offset = runs.end_;
        buf_.reserve(kReadBuffer + 512);
    }

    void put(std::span<const std::uint8_t> key, RowId row) {
        if (key.size() > std::numeric_limits<std::uint16_t>::max())
            throw Error(runs_.file_.string() + ": an index key too long to set aside");
        if (start_.count == 0)
            start_.first = {std::vector<std::uint8_t>(key.begin(), key.end()), row};
        start_.last.key.assign(key.begin(), key.end());
        start_.last.row = row;
        putLE(buf_, key.size(), 2);
        buf_.insert(buf_.end(), key.begin(), key.end());
        putLE(buf_, row.page, 4);
        putLE(buf_, row.row, 2);
        ++start_.count;
        if (buf_.size() >= kReadBuffer)
            write();
    }

    // The run written.
    Segment finish() {
        write();
        runs_.written();
        return start_;
    }

private:
    void write() {
        runs_.out_.write(buf_.data(), static_cast<std::streamsize>(buf_.size()));
        runs_.end_ += buf_.size();
        buf_.clear();
    }

    IndexRuns& runs_;
    Segment start_;
    std::vector<char> buf_;
};

IndexRuns::IndexRuns(std::filesystem::path file, std::size_t indexes)
    : file_(std::move(file)), segments_(indexes) {
    out_.open(file_, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!out_)
        throw Error(file_.string() + ": cannot make a temporary file for the index entries");
}

IndexRuns::~IndexRuns() {
    out_.close();
    std::error_code ec;
    std::filesystem::remove(file_, ec);
}

void IndexRuns::written() {
    out_.flush();
    if (!out_)
        throw Error(file_.string() + ": cannot write the index entries (is the disk full?)");
}

void IndexRuns::spill(std::size_t index, const GatheredEntries& entries,
                      const std::vector<std::uint32_t>& order) {
    Writer w(*this);
    for (std::uint32_t at : order)
        w.put(entries.key(at), entries.row(at));
    segments_[index].push_back(w.finish());
}

void IndexRuns::each(std::size_t index, const std::function<void(const IndexEntry&)>& out) {
    IndexEntry e;
    for (const Segment& s : segments_[index]) {
        Reader r(file_, s);
        while (r.next(e))
            out(e);
    }
}

void IndexRuns::mergeSegments(const std::vector<Segment>& from, const GatheredEntries* memory,
                              const std::vector<std::uint32_t>& order,
                              const std::function<void(const IndexEntry&)>& out) {
    // Runs that follow one another (an index of rising keys, a primary key above all) are read
    // one after the other, with no comparisons.
    if (chained(from, memory, order)) {
        IndexEntry e;
        for (const Segment& s : from) {
            Reader r(file_, s);
            while (r.next(e))
                out(e);
        }
        for (std::uint32_t at : order) {
            memory->copyTo(at, e);
            out(e);
        }
        return;
    }
    // The runs' heads in a heap, smallest on top: a million entries from a dozen runs take a
    // few comparisons each, not one per run.
    std::vector<Reader> readers;
    std::vector<IndexEntry> heads(from.size());
    readers.reserve(from.size());
    std::vector<std::size_t> heap;
    for (std::size_t k = 0; k < from.size(); ++k) {
        readers.emplace_back(file_, from[k]);
        if (readers.back().next(heads[k]))
            heap.push_back(k);
    }
    auto later = [&](std::size_t a, std::size_t b) { return entryLess(heads[b], heads[a]); };
    std::make_heap(heap.begin(), heap.end(), later);
    auto mem = order.begin();
    IndexEntry e; // its key's room is used again, as the heads' are
    auto fromMemory = [&] {
        memory->copyTo(*mem++, e);
        out(e);
    };
    while (!heap.empty()) {
        const std::size_t best = heap.front();
        if (mem != order.end() &&
            lessThan(memory->key(*mem), memory->row(*mem), heads[best].key, heads[best].row)) {
            fromMemory();
            continue;
        }
        std::pop_heap(heap.begin(), heap.end(), later);
        out(heads[best]);
        if (readers[best].next(heads[best]))
            std::push_heap(heap.begin(), heap.end(), later);
        else
            heap.pop_back();
    }
    while (mem != order.end())
        fromMemory();
}

bool IndexRuns::chained(const std::vector<Segment>& from, const GatheredEntries* memory,
                        const std::vector<std::uint32_t>& order) {
    const IndexEntry* before = nullptr;
    for (const Segment& s : from) {
        if (s.count == 0)
            continue;
        if (before && !lessThan(before->key, before->row, s.first.key, s.first.row))
            return false;
        before = &s.last;
    }
    return !before || !memory || order.empty() ||
           lessThan(before->key, before->row, memory->key(order.front()),
                    memory->row(order.front()));
}

void IndexRuns::merge(std::size_t index, const GatheredEntries& memory,
                      const std::vector<std::uint32_t>& order,
                      const std::function<void(const IndexEntry&)>& out) {
    // Runs beyond what is read at once are first merged into longer ones, a group at a time.
    constexpr std::size_t kOpenAtOnce = 32;
    std::vector<Segment>& runs = segments_[index];
    while (runs.size() > kOpenAtOnce) {
        const std::vector<Segment> group(runs.begin(), runs.begin() + kOpenAtOnce);
        Writer w(*this);
        mergeSegments(group, nullptr, {}, [&](const IndexEntry& e) { w.put(e.key, e.row); });
        runs.erase(runs.begin(), runs.begin() + kOpenAtOnce);
        runs.push_back(w.finish());
    }
    mergeSegments(runs, &memory, order, out);
}

// --- entries made on another thread ---

EntryPipe::EntryPipe(std::size_t lists, std::function<void(std::size_t, const Sink&)> make)
    : blocks_(4) {
    for (Block& b : blocks_) {
        b.keys.reserve(kBlockBytes);
        free_.push_back(&b);
    }
    maker_ = std::thread([this, lists, make = std::move(make)] { run(lists, make); });
}

EntryPipe::~EntryPipe() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    maker_.join();
}

EntryPipe::Block* EntryPipe::freeBlock() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stop_ || !free_.empty(); });
    if (stop_)
        throw Stopped{};
    Block* b = free_.back();
    free_.pop_back();
    b->keys.clear();
    b->entries.clear();
    b->last = false;
    return b;
}

void EntryPipe::send(Block* b) {
    {
        std::lock_guard lock(mutex_);
        full_.push_back(b);
    }
    changed_.notify_all();
}

void EntryPipe::run(std::size_t lists, const std::function<void(std::size_t, const Sink&)>& make) {
    try {
        // The last entry sent on, for the order of the first of the next block.
        std::vector<std::uint8_t> lastKey;
        RowId lastRow;
        for (std::size_t k = 0; k < lists; ++k) {
            Block* b = freeBlock();
            bool first = true;
            make(k, [&](const IndexEntry& e) {
                if (!b->entries.empty() && b->keys.size() + e.key.size() > kBlockBytes) {
                    const Block::Entry& last = b->entries.back();
                    lastKey.assign(b->key(last).begin(), b->key(last).end());
                    lastRow = last.row;
                    send(b);
                    b = freeBlock();
                }
                std::int8_t follows = -1;
                if (!first) {
                    const bool inBlock = !b->entries.empty();
                    const int order =
                        compareKeys(e.key, inBlock ? b->key(b->entries.back()) : lastKey);
                    const RowId before = inBlock ? b->entries.back().row : lastRow;
                    follows = order > 0 ? 1 : order == 0 && before < e.row ? 0 : -1;
                }
                first = false;
                b->entries.push_back({static_cast<std::uint32_t>(b->keys.size()),
                                      static_cast<std::uint16_t>(e.key.size()), e.row, e.child,
                                      follows});
                b->keys.insert(b->keys.end(), e.key.begin(), e.key.end());
            });
            b->last = true;
            send(b);
        }
    } catch (const Stopped&) {
    } catch (...) {
        {
            std::lock_guard lock(mutex_);
            failed_ = std::current_exception();
        }
        changed_.notify_all();
    }
}

const EntryPipe::Block* EntryPipe::next() {
    std::unique_lock lock(mutex_);
    if (held_) {
        free_.push_back(held_);
        held_ = nullptr;
        changed_.notify_all();
    }
    if (listEnded_) {
        listEnded_ = false;
        return nullptr;
    }
    changed_.wait(lock, [this] { return !full_.empty() || failed_; });
    if (full_.empty())
        std::rethrow_exception(failed_);
    held_ = full_.front();
    full_.pop_front();
    if (held_->entries.empty() && held_->last)
        return nullptr;
    listEnded_ = held_->last;
    return held_;
}

} // namespace jet
