// Index pages: every index page of the Access-made fixtures decodes, keeps its invariants and
// re-encodes to Access's own bytes; synthetic pages round-trip, compress only when they must,
// keep tails; damaged pages are errors naming the page.
#include "jet/IndexPage.h"

#include "jet/Error.h"
#include "jet/IndexKey.h"
#include "jet/IndexLayout.h"
#include "jet/IndexTree.h"
#include "support/TempDir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <random>

using namespace jet;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

std::vector<fs::path> fixtureFiles(bool jet4) {
    std::vector<fs::path> out;
    auto root = testsupport::fixturesDir();
    if (root.empty())
        return out;
    for (const char* dir : {"access-made", "templates/jet4", "templates/jet4-empty"}) {
        if (!fs::exists(root / dir))
            continue;
        for (const auto& e : fs::directory_iterator(root / dir)) {
            std::string name = e.path().filename().string();
            std::string lower = name;
            std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
            if (lower.size() < 4 || lower.substr(lower.size() - 4) != ".mdb")
                continue;
            bool isJet3 = lower.find("v1997") != std::string::npos;
            if (isJet3 != !jet4)
                continue;
            out.push_back(e.path());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

struct FilePages {
    std::string name;
    std::size_t pageSize;
    std::string bytes;
    std::size_t count() const { return bytes.size() / pageSize; }
    std::span<const std::uint8_t> page(std::size_t n) const {
        return {reinterpret_cast<const std::uint8_t*>(bytes.data()) + n * pageSize, pageSize};
    }
    bool isIndexPage(std::size_t n) const {
        auto t = page(n)[0];
        return t == kIndexLeafPage || t == kIndexIntermediatePage;
    }
    std::string where(std::size_t n) const { return name + ", page " + std::to_string(n); }
};

FilePages load(const fs::path& p, std::size_t pageSize) {
    return {p.filename().string(), pageSize, testsupport::readFile(p)};
}

// Offset past the last entry, from the entry bitmap.
std::size_t usedBytes(std::span<const std::uint8_t> page, const Format& F) {
    for (std::size_t i = F.indexFirstEntry - F.indexEntryMask; i-- > 0;)
        if (std::uint8_t m = page[F.indexEntryMask + i])
            for (int bit = 7; bit >= 0; --bit)
                if (m & (1 << bit))
                    return i * 8 + static_cast<std::size_t>(bit);
    return 0;
}

bool entryBefore(const IndexPageEntry& a, const IndexPageEntry& b) {
    if (a.key != b.key)
        return a.key < b.key;
    return std::tie(a.dataPage, a.dataRow) < std::tie(b.dataPage, b.dataRow);
}

IndexPageEntry entry(Bytes key, std::uint32_t page, std::uint8_t row, std::uint32_t child = 0) {
    return {std::move(key), page, row, child};
}

// n ascending leaf entries with keys 7F 00 00 hi lo (a Long-like key).
std::vector<IndexPageEntry> longKeys(std::size_t n, std::uint32_t first = 1) {
    std::vector<IndexPageEntry> v;
    for (std::size_t i = 0; i < n; ++i) {
        auto k = static_cast<std::uint32_t>(first + i);
        v.push_back(entry({0x7F, 0x80, static_cast<std::uint8_t>(k >> 16),
                           static_cast<std::uint8_t>(k >> 8), static_cast<std::uint8_t>(k)},
                          100 + static_cast<std::uint32_t>(i / 50),
                          static_cast<std::uint8_t>(i % 50)));
    }
    return v;
}

Bytes encode(const IndexPage& p) {
    Bytes out(4096, 0xEE);
    encodeIndexPage(p, out);
    return out;
}

} // namespace

TEST(IndexPageAccessTest, EveryJet4IndexPageReencodesToAccessBytes) {
    auto files = fixtureFiles(true);
    if (files.empty())
        GTEST_SKIP() << "fixtures not present";
    const Format& F = kJet4Format;
    std::size_t pages = 0, entries = 0, compressed = 0, intermediate = 0;
    for (const auto& path : files) {
        FilePages f = load(path, 4096);
        for (std::size_t n = 1; n < f.count(); ++n) {
            if (!f.isIndexPage(n))
                continue;
            SCOPED_TRACE(f.where(n));
            auto original = f.page(n);
            IndexPage p = decodeIndexPage(original, f.where(n));
            const std::size_t used = usedBytes(original, F);
            EXPECT_EQ(p.freeSpace, F.indexEntryCapacity() - used);

            Bytes again = encode(p);
            // Header, entry bitmap and entries as Access wrote them; past them Access leaves
            // whatever the page held before.
            const std::size_t end = F.indexFirstEntry + used;
            EXPECT_TRUE(
                std::equal(again.begin(), again.begin() + static_cast<long>(end), original.begin()))
                << "re-encoded page differs from Access's";
            EXPECT_TRUE(std::all_of(again.begin() + static_cast<long>(end), again.end(),
                                    [](std::uint8_t b) { return b == 0; }));
            IndexPage back = decodeIndexPage(again, "re-encoded");
            EXPECT_EQ(back.entries, p.entries);
            EXPECT_EQ(back.prefixLength, p.prefixLength);

            ++pages;
            entries += p.entries.size();
            compressed += p.prefixLength > 0;
            intermediate += !p.leaf;
        }
    }
    // The fixtures hold a two-level index with a compressed full leaf (compIndexTestV2000).
    EXPECT_GT(pages, 100u);
    EXPECT_GT(entries, 2000u);
    EXPECT_GE(compressed, 1u);
    EXPECT_GE(intermediate, 1u);
}

TEST(IndexPageAccessTest, EntriesAreOrderedAndTreesHangTogether) {
    auto files = fixtureFiles(true);
    if (files.empty())
        GTEST_SKIP() << "fixtures not present";
    std::size_t links = 0, children = 0, tails = 0;
    for (const auto& path : files) {
        FilePages f = load(path, 4096);
        std::map<std::uint32_t, IndexPage> pages;
        for (std::size_t n = 1; n < f.count(); ++n)
            if (f.isIndexPage(n))
                pages[static_cast<std::uint32_t>(n)] = decodeIndexPage(f.page(n), f.where(n));
        auto lastUnder = [&](std::uint32_t page) {
            for (int depth = 0; depth < 8; ++depth) {
                const IndexPage& c = pages.at(page);
                if (!c.leaf && c.tailPage)
                    page = c.tailPage;
                else
                    return c.entries.back();
            }
            throw std::runtime_error("tail loop");
        };
        for (const auto& [n, p] : pages) {
            SCOPED_TRACE(f.where(n));
            for (std::size_t i = 0; i + 1 < p.entries.size(); ++i)
                EXPECT_TRUE(entryBefore(p.entries[i], p.entries[i + 1])) << "entry " << i;
            if (p.leaf) {
                EXPECT_EQ(p.tailPage, 0u);
            }
            if (p.nextPage) {
                ASSERT_TRUE(pages.count(p.nextPage));
                const IndexPage& next = pages.at(p.nextPage);
                EXPECT_EQ(next.prevPage, n);
                EXPECT_EQ(next.leaf, p.leaf);
                EXPECT_EQ(next.owner, p.owner);
                if (!p.entries.empty() && !next.entries.empty()) {
                    EXPECT_TRUE(entryBefore(p.entries.back(), next.entries.front()));
                }
                ++links;
            }
            if (p.prevPage) {
                ASSERT_TRUE(pages.count(p.prevPage));
                EXPECT_EQ(pages.at(p.prevPage).nextPage, n);
            }
            if (p.leaf)
                continue;
            // Each entry copies its child's last entry; the tail child comes after them all.
            for (const auto& e : p.entries) {
                ASSERT_TRUE(pages.count(e.childPage)) << "child " << e.childPage;
                EXPECT_EQ(pages.at(e.childPage).owner, p.owner);
                IndexPageEntry last = lastUnder(e.childPage);
                EXPECT_EQ(last.key, e.key);
                EXPECT_EQ(last.dataPage, e.dataPage);
                EXPECT_EQ(last.dataRow, e.dataRow);
                ++children;
            }
            if (p.tailPage) {
                ASSERT_TRUE(pages.count(p.tailPage));
                ASSERT_FALSE(p.entries.empty());
                EXPECT_TRUE(entryBefore(p.entries.back(), lastUnder(p.tailPage)));
                EXPECT_EQ(pages.at(p.entries.back().childPage).nextPage, p.tailPage);
                ++tails;
            }
        }
    }
    EXPECT_GE(links, 1u);
    EXPECT_GE(children, 1u);
    EXPECT_GE(tails, 1u);
}

TEST(IndexPageAccessTest, Jet3PagesDecodeWithTheirLayout) {
    auto files = fixtureFiles(false);
    if (files.empty())
        GTEST_SKIP() << "fixtures not present";
    const Format& F = kJet3Format;
    std::size_t entries = 0;
    for (const auto& path : files) {
        FilePages f = load(path, 2048);
        for (std::size_t n = 1; n < f.count(); ++n) {
            if (!f.isIndexPage(n))
                continue;
            SCOPED_TRACE(f.where(n));
            IndexPage p = decodeIndexPage(f.page(n), f.where(n), JetVersion::Jet3);
            EXPECT_EQ(p.freeSpace, F.indexEntryCapacity() - usedBytes(f.page(n), F));
            EXPECT_GE(p.owner, 2u);
            for (std::size_t i = 0; i + 1 < p.entries.size(); ++i)
                EXPECT_TRUE(entryBefore(p.entries[i], p.entries[i + 1])) << "entry " << i;
            for (const auto& e : p.entries) {
                ASSERT_FALSE(e.key.empty());
                // Every key starts with a column flag.
                EXPECT_TRUE(e.key[0] == 0x7F || e.key[0] == 0x80 || e.key[0] == 0x00 ||
                            e.key[0] == 0xFF);
                EXPECT_LT(e.dataPage, f.count());
            }
            entries += p.entries.size();
        }
    }
    EXPECT_GT(entries, 100u);
}

// --- synthetic pages ---

struct RoundTrip {
    const char* name;
    bool leaf;
    std::vector<IndexPageEntry> entries;
    std::uint16_t prefix; // expected prefix length
};

class IndexPageRoundTripTest : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(IndexPageRoundTripTest, DecodeGivesBackWhatWasEncoded) {
    const RoundTrip& c = GetParam();
    IndexPage p;
    p.leaf = c.leaf;
    p.owner = 0x01020304;
    p.prevPage = 77;
    p.nextPage = 78;
    p.tailPage = c.leaf ? 0 : 99;
    p.entries = c.entries;
    Bytes bytes = encode(p);
    IndexPage back = decodeIndexPage(bytes, "test page");
    EXPECT_EQ(back.leaf, c.leaf);
    EXPECT_EQ(back.owner, p.owner);
    EXPECT_EQ(back.prevPage, 77u);
    EXPECT_EQ(back.nextPage, 78u);
    EXPECT_EQ(back.tailPage, p.tailPage);
    EXPECT_EQ(back.entries, c.entries);
    EXPECT_EQ(back.prefixLength, c.prefix);
    EXPECT_EQ(back.freeSpace, 3616 - indexEntriesSize(c.leaf, c.entries));
}

std::vector<IndexPageEntry> withChildren(std::vector<IndexPageEntry> v) {
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i].childPage = 0x0A000000u + static_cast<std::uint32_t>(i);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Pages, IndexPageRoundTripTest,
    ::testing::Values(
        RoundTrip{"empty_leaf", true, {}, 0},
        RoundTrip{"one_entry", true, {entry({0x7F, 0x4A, 0x01, 0x00}, 0xABCDEF, 0xFE)}, 0},
        RoundTrip{"small_leaf_uncompressed", true, longKeys(40), 0},
        // 402 entries of 9 bytes = 3618 > 3616: must compress by the shared 7F 80 00.
        RoundTrip{"full_leaf_compressed", true, longKeys(402), 3},
        RoundTrip{"largest_uncompressed", true, longKeys(401), 0},
        RoundTrip{"intermediate", false, withChildren(longKeys(30)), 0},
        RoundTrip{"intermediate_compressed", false, withChildren(longKeys(300, 70000)), 3},
        RoundTrip{"equal_keys_compress_whole_key", true,
                  [] {
                      std::vector<IndexPageEntry> v;
                      for (int i = 0; i < 300; ++i)
                          v.push_back(entry(Bytes(10, 0x55), 5, static_cast<std::uint8_t>(i)));
                      return v;
                  }(),
                  10}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IndexPageTest, FitIsDecidedOnTheCompressedSize) {
    // 9-byte entries sharing 3 bytes: 401 fit plainly, then 6 bytes each after the first.
    EXPECT_TRUE(indexEntriesFit(true, longKeys(401)));
    EXPECT_TRUE(indexEntriesFit(true, longKeys(602)));  // 9 + 601 * 6 = 3615
    EXPECT_FALSE(indexEntriesFit(true, longKeys(604))); // 9 + 603 * 6 = 3627
    // Entries with nothing in common cannot compress.
    std::vector<IndexPageEntry> distinct;
    for (int i = 0; i < 402; ++i)
        distinct.push_back(entry({static_cast<std::uint8_t>(i / 2), 1, 2, 3, 4}, 1, 0));
    EXPECT_FALSE(indexEntriesFit(true, distinct));
    distinct.pop_back();
    EXPECT_TRUE(indexEntriesFit(true, distinct));
    // Intermediate entries carry 4 more bytes.
    EXPECT_FALSE(indexEntriesFit(false, withChildren(longKeys(401))));
}

TEST(IndexPageTest, EncodingRefusesWhatCannotBeWritten) {
    IndexPage p;
    p.entries = longKeys(700);
    Bytes out(4096);
    EXPECT_THROW(encodeIndexPage(p, out), Error);
    p.entries = {entry({0x7F, 1}, 0x1000000, 0)}; // page beyond 3 bytes
    EXPECT_THROW(encodeIndexPage(p, out), Error);
    p.entries = longKeys(3);
    Bytes small(2048);
    EXPECT_THROW(encodeIndexPage(p, small), Error);
    // Out of order entries cannot share the prefix computed from the first and last.
    p.entries = longKeys(500);
    p.entries[10].key = {0x7F};
    EXPECT_THROW(encodeIndexPage(p, out), Error);
}

// Lookups read keys in place, the shared prefix apart from each entry's own bytes.
TEST(IndexPageTest, TheViewFindsEveryKeyInPlace) {
    for (bool leaf : {true, false}) {
        IndexPage p;
        p.leaf = leaf;
        p.tailPage = leaf ? 0 : 4321;
        p.entries = leaf ? longKeys(602) : withChildren(longKeys(300, 70000));
        for (std::size_t k = 100; k < 110; ++k) // a run of equal keys
            p.entries[k].key = p.entries[100].key;
        Bytes b = encode(p);
        const IndexPageView v(b, kJet4Format);
        ASSERT_GT(v.prefixLength(), 0) << "the page must be compressed";
        ASSERT_EQ(v.count(), p.entries.size());
        for (std::size_t k = 0; k < v.count(); ++k) {
            const IndexPageEntry& e = p.entries[k];
            EXPECT_EQ(v.key(k), e.key) << k;
            EXPECT_EQ(v.row(k), (RowId{e.dataPage, e.dataRow})) << k;
            if (!leaf) {
                EXPECT_EQ(v.child(k), e.childPage) << k;
            }
            EXPECT_EQ(v.compare(e.key, k), 0) << k;
            EXPECT_EQ(v.lowerBound(e.key), k < 110 && k > 100 ? 100 : k) << k;
        }
        Bytes below = p.entries.front().key, above = p.entries.back().key;
        below.back() -= 1;
        above.push_back(0);
        EXPECT_EQ(v.lowerBound(below), 0u);
        EXPECT_LT(v.compare(below, 0), 0);
        EXPECT_EQ(v.lowerBound(above), v.count());
        EXPECT_GT(v.compare(above, v.count() - 1), 0);
        EXPECT_EQ(v.lowerBound(Bytes{0x7F, 0x80}), 0u) << "a key shorter than the prefix";
        if (!leaf) {
            EXPECT_EQ(v.lastChild(), 4321u) << "the tail";
            p.tailPage = 0;
            b = encode(p);
            EXPECT_EQ(IndexPageView(b, kJet4Format).lastChild(), p.entries.back().childPage);
        }
    }
}

// --- nodes with tails ---

namespace {

struct PageStore {
    std::map<std::uint32_t, Bytes> pages;
    IndexPageLoader loader() {
        return [this](std::uint32_t n) {
            auto it = pages.find(n);
            if (it == pages.end())
                throw Error("no page " + std::to_string(n));
            return it->second;
        };
    }
};

IndexEntry nodeEntry(std::uint8_t k, std::uint32_t row, std::uint32_t child = 0) {
    return IndexEntry{{0x7F, k, 0x01, 0x00}, RowId{row, 3}, child};
}

} // namespace

TEST(IndexNodeTest, TheLastChildOfAnIntermediatePageIsItsTail) {
    PageStore store;
    // Three leaves under one intermediate page.
    std::uint32_t leafPage[3] = {10, 11, 12};
    IndexNode parent;
    parent.leaf = false;
    for (int i = 0; i < 3; ++i) {
        IndexNode leaf;
        leaf.prev = i ? leafPage[i - 1] : 0;
        leaf.next = i < 2 ? leafPage[i + 1] : 0;
        for (int k = 0; k < 4; ++k)
            leaf.entries.push_back(nodeEntry(static_cast<std::uint8_t>(i * 10 + k), 200));
        Bytes b(4096);
        ASSERT_TRUE(encodeIndexNode(leaf, 42, b));
        store.pages[leafPage[i]] = b;
        IndexEntry sep = leaf.entries.back();
        sep.child = leafPage[i];
        parent.entries.push_back(sep);
    }
    Bytes b(4096);
    ASSERT_TRUE(encodeIndexNode(parent, 42, b));
    IndexPage raw = decodeIndexPage(b, "parent");
    EXPECT_FALSE(raw.leaf);
    EXPECT_EQ(raw.owner, 42u);
    EXPECT_EQ(raw.tailPage, 12u);
    ASSERT_EQ(raw.entries.size(), 2u);
    EXPECT_EQ(raw.entries[1].childPage, 11u);

    IndexNode back = decodeIndexNode(b, "parent", store.loader());
    ASSERT_EQ(back.entries.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(back.entries[i].key, parent.entries[i].key) << i;
        EXPECT_EQ(back.entries[i].row, parent.entries[i].row) << i;
        EXPECT_EQ(back.entries[i].child, leafPage[i]) << i;
    }

    // One level up: the tail is followed down to the leaf for its key.
    IndexNode root;
    root.leaf = false;
    root.entries.push_back(nodeEntry(0, 1, 30));
    IndexEntry up = parent.entries.back();
    up.child = 31;
    root.entries.push_back(up);
    store.pages[31] = b;
    Bytes r(4096);
    ASSERT_TRUE(encodeIndexNode(root, 42, r));
    IndexNode rootBack = decodeIndexNode(r, "root", store.loader());
    ASSERT_EQ(rootBack.entries.size(), 2u);
    EXPECT_EQ(rootBack.entries[1].key, parent.entries.back().key);
    EXPECT_EQ(rootBack.entries[1].child, 31u);
}

TEST(IndexNodeTest, ASingleChildIsAnEntryNotATail) {
    IndexNode n;
    n.leaf = false;
    n.entries.push_back(nodeEntry(5, 9, 20));
    Bytes b(4096);
    ASSERT_TRUE(encodeIndexNode(n, 3, b));
    IndexPage raw = decodeIndexPage(b, "one child");
    EXPECT_EQ(raw.tailPage, 0u);
    ASSERT_EQ(raw.entries.size(), 1u);
    EXPECT_EQ(raw.entries[0].childPage, 20u);
}

TEST(IndexNodeTest, TailLoopsAndMissingPagesAreErrors) {
    PageStore store;
    IndexPage loop;
    loop.leaf = false;
    loop.entries = {entry({0x7F, 1}, 1, 1, 5)};
    loop.tailPage = 50;
    store.pages[50] = encode(loop); // its own tail
    EXPECT_THROW(decodeIndexNode(store.pages[50], "loop", store.loader()), Error);
    loop.tailPage = 51;
    Bytes missing = encode(loop);
    EXPECT_THROW(decodeIndexNode(missing, "missing", store.loader()), Error);
}

TEST(IndexNodeTest, NodesThatDoNotFitAreReportedNotWritten) {
    IndexNode n;
    for (auto& e : longKeys(700))
        n.entries.push_back({e.key, RowId{e.dataPage, e.dataRow}, 0});
    Bytes b(4096, 0xAA);
    EXPECT_FALSE(encodeIndexNode(n, 1, b));
    EXPECT_EQ(b[0], 0xAA);
}

// --- damaged pages ---

struct Damage {
    const char* name;
    std::function<void(Bytes&)> apply;
    const char* says; // part of the message
};

class IndexPageDamageTest : public ::testing::TestWithParam<Damage> {};

TEST_P(IndexPageDamageTest, IsAnErrorNamingThePage) {
    IndexPage p;
    p.entries = longKeys(20);
    Bytes b = encode(p);
    GetParam().apply(b);
    try {
        decodeIndexPage(b, "f.mdb, page 9");
        FAIL() << "decoded a damaged page";
    } catch (const Error& e) {
        std::string m = e.what();
        EXPECT_EQ(m.rfind("f.mdb, page 9: ", 0), 0u) << m;
        EXPECT_NE(m.find(GetParam().says), std::string::npos) << m;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IndexPageDamageTest,
    ::testing::Values(Damage{"data_page_type", [](Bytes& b) { b[0] = 0x01; }, "not an index page"},
                      Damage{"bitmap_past_the_end", [](Bytes& b) { b[0x1E0 - 1] = 0x80; },
                             "past the page"},
                      Damage{"prefix_longer_than_entry", [](Bytes& b) { b[24] = 10; }, "prefix"},
                      // The shared prefix is key bytes, never a row pointer's.
                      Damage{"prefix_into_the_row_pointer", [](Bytes& b) { b[24] = 7; }, "too few"},
                      Damage{"entry_too_short", [](Bytes& b) { b[0x1B] = 0x04; }, "too few"},
                      Damage{"empty_first_entry", [](Bytes& b) { b[0x1B] |= 0x01; }, "empty entry"},
                      Damage{"intermediate_entries_too_short",
                             [](Bytes& b) {
                                 b[0] = kIndexIntermediatePage;
                                 std::fill(b.begin() + 0x1B, b.begin() + 0x1E0, 0);
                                 b[0x1B] = 0x80; // one 7-byte entry
                             },
                             "child page"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IndexPageDamageTest, WrongSizeIsAnError) {
    Bytes b(4095, 0);
    b[0] = kIndexLeafPage;
    EXPECT_THROW(decodeIndexPage(b, "short"), Error);
}

TEST(IndexPageDamageTest, RandomDamageNeverCrashes) {
    auto files = fixtureFiles(true);
    std::vector<Bytes> samples;
    for (const auto& path : files) {
        FilePages f = load(path, 4096);
        for (std::size_t n = 1; n < f.count() && samples.size() < 40; ++n)
            if (f.isIndexPage(n) && f.page(n)[27] != 0)
                samples.emplace_back(f.page(n).begin(), f.page(n).end());
    }
    if (samples.empty()) {
        IndexPage p;
        p.entries = longKeys(500);
        samples.push_back(encode(p));
    }
    std::mt19937 rng(1234);
    std::size_t errors = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes b = samples[rng() % samples.size()];
        int hits = 1 + static_cast<int>(rng() % 6);
        for (int h = 0; h < hits; ++h) {
            // Mostly the header and bitmap, where one byte changes the whole decode.
            std::size_t at = rng() % 4 ? rng() % 0x1E0 : rng() % b.size();
            b[at] = static_cast<std::uint8_t>(rng());
        }
        try {
            IndexPage p = decodeIndexPage(b, "fuzz");
            for (const auto& e : p.entries)
                ASSERT_LE(e.key.size(), 4096u);
        } catch (const Error&) {
            ++errors;
        }
    }
    EXPECT_GT(errors, 0u);
}

// --- IndexTree over real page bytes ---

namespace {

// Pages as bytes: every node goes through the codec on its way in and out.
class BytePages : public IndexPages {
public:
    std::map<std::uint32_t, Bytes> pages;
    std::uint32_t nextFree = 10;
    static constexpr std::uint32_t kOwner = 7;

    IndexPageLoader loader() {
        return [this](std::uint32_t n) { return pages.at(n); };
    }
    IndexNode load(std::uint32_t page) override {
        return decodeIndexNode(pages.at(page), "page " + std::to_string(page), loader());
    }
    void store(std::uint32_t page, const IndexNode& node) override {
        Bytes b(4096);
        if (!encodeIndexNode(node, kOwner, b))
            throw Error("page " + std::to_string(page) + " does not fit");
        pages[page] = b;
    }
    bool fits(const IndexNode& node) override {
        Bytes b(4096);
        return encodeIndexNode(node, kOwner, b);
    }
    std::uint32_t allocate() override {
        pages[nextFree] = Bytes(4096, 0);
        return nextFree++;
    }
    void release(std::uint32_t page) override { pages.erase(page); }
};

std::u16string randomName(std::mt19937& rng) {
    static const char16_t* parts[] = {u"Smith",         u"O'Brien", u"M\u00FCller", u"\u00C5berg",
                                      u"van der Berg",  u"Nguyen",  u"Le-Roy",      u"d'Arc",
                                      u"\u00C6thelred", u"Ng"};
    std::u16string s = parts[rng() % 10];
    s += u' ';
    for (int i = 0, n = 1 + static_cast<int>(rng() % 12); i < n; ++i)
        s += static_cast<char16_t>(u'a' + rng() % 26);
    return s;
}

} // namespace

// A tree laid out in bulk over real page bytes, then shrunk by removals.
TEST(IndexNodeTest, TreeOverEncodedPagesStaysSound) {
    BytePages store;
    store.store(1, IndexNode{}); // the root: an empty leaf
    std::mt19937 rng(99);
    std::vector<IndexEntry> model;
    for (std::uint32_t i = 0; i < 4000; ++i) {
        IndexEntry e;
        if (i % 3 == 0)
            appendTextKey(randomName(rng), i % 2 == 0, e.key);
        else
            appendTextKey(u"Same prefix for many keys " + randomName(rng), true, e.key);
        e.row = RowId{200 + i / 100, static_cast<std::uint16_t>(i % 100)};
        model.push_back(e);
    }
    // Leaves as full as the codec takes them, sharing prefixes where they must; the levels
    // above laid out over them.
    std::vector<IndexEntry> sorted = model;
    std::sort(sorted.begin(), sorted.end(), entryLess);
    std::vector<IndexNode> leaves(1);
    for (const IndexEntry& e : sorted) {
        leaves.back().entries.push_back(e);
        if (!store.fits(leaves.back())) {
            leaves.back().entries.pop_back();
            leaves.emplace_back().entries.push_back(e);
        }
    }
    std::vector<std::uint32_t> spare;
    const std::size_t capacity = kJet4Format.indexEntryCapacity();
    layOutLevels(store, 1, std::move(leaves), spare, capacity);
    IndexTree tree(store, 1, "test index");
    auto check = [&] {
        auto problems = tree.verify();
        EXPECT_TRUE(problems.empty()) << problems.front();
        std::sort(model.begin(), model.end(), entryLess);
        auto got = tree.entries();
        ASSERT_EQ(got.size(), model.size());
        for (std::size_t k = 0; k < got.size(); ++k) {
            ASSERT_EQ(got[k].key, model[k].key) << k;
            ASSERT_EQ(got[k].row, model[k].row) << k;
        }
        // The pages themselves look like Access's: tails on every intermediate page with more
        // than one child, the tail being the next page after the last entry's child.
        std::size_t tails = 0, compressed = 0;
        for (const auto& [n, bytes] : store.pages) {
            IndexPage p = decodeIndexPage(bytes, "page " + std::to_string(n));
            EXPECT_EQ(p.owner, BytePages::kOwner);
            compressed += p.prefixLength > 0;
            if (p.leaf || p.tailPage == 0)
                continue;
            ++tails;
            ASSERT_FALSE(p.entries.empty());
            IndexPage last = decodeIndexPage(store.pages.at(p.entries.back().childPage), "c");
            EXPECT_EQ(last.nextPage, p.tailPage);
        }
        EXPECT_GT(tails, 0u);
        EXPECT_GT(compressed, 0u);
    };
    check();
    EXPECT_GT(store.pages.size(), 20u);

    // Remove two thirds, in random order, and the tree must stay sound.
    std::shuffle(model.begin(), model.end(), rng);
    std::vector<IndexEntry> keep(model.begin() + static_cast<long>(model.size() * 2 / 3),
                                 model.end());
    for (std::size_t k = 0; k < model.size() * 2 / 3; ++k)
        ASSERT_TRUE(tree.remove(model[k].key, model[k].row)) << k;
    model = keep;
    check();
}
