// Index pages: every index page of the Access-made fixtures decodes, keeps its invariants and
// re-encodes to Access's own bytes; synthetic pages of every shape round-trip, compress only
// when they must and are read in place; damaged pages are errors naming the page.
#include "jet/IndexPage.h"

#include "JetTest.h"
#include "jet/Error.h"
#include "jet/IndexTree.h"

#include <algorithm>
#include <map>
#include <random>

using namespace jet;
using Bytes = std::vector<std::uint8_t>;

namespace {

// The index pages of one Access-made file, decoded.
struct FixturePages {
    std::string name;
    JetVersion version;
    std::size_t pageSize;
    std::string bytes;
    std::map<std::uint32_t, IndexPage> pages;

    std::span<const std::uint8_t> page(std::size_t n) const {
        return {reinterpret_cast<const std::uint8_t*>(bytes.data()) + n * pageSize, pageSize};
    }
    std::string where(std::size_t n) const { return name + ", page " + std::to_string(n); }
};

// Every fixture's index pages, read once.
const std::vector<FixturePages>& fixturePages() {
    static const std::vector<FixturePages> all = [] {
        std::vector<FixturePages> out;
        for (const auto& path : jettest::fixtureDatabases()) {
            const bool jet3 = path.filename().string().find("V1997") != std::string::npos;
            FixturePages f{path.filename().string(),
                           jet3 ? JetVersion::Jet3 : JetVersion::Jet4,
                           jet3 ? 2048u : 4096u,
                           testsupport::readFile(path),
                           {}};
            for (std::size_t n = 1; n < f.bytes.size() / f.pageSize; ++n)
                if (auto t = f.page(n)[0]; t == kIndexLeafPage || t == kIndexIntermediatePage)
                    f.pages[static_cast<std::uint32_t>(n)] =
                        decodeIndexPage(f.page(n), f.where(n), f.version);
            out.push_back(std::move(f));
        }
        return out;
    }();
    return all;
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
    return std::tie(a.key, a.dataPage, a.dataRow) < std::tie(b.key, b.dataPage, b.dataRow);
}

IndexPageEntry entry(Bytes key, std::uint32_t page, std::uint8_t row, std::uint32_t child = 0) {
    return {std::move(key), page, row, child};
}

// n ascending leaf entries with keys 7F 80 hi mid lo (a Long-like key).
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

std::vector<IndexPageEntry> withChildren(std::vector<IndexPageEntry> v) {
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i].childPage = 0x0A000000u + static_cast<std::uint32_t>(i);
    return v;
}

Bytes encode(const IndexPage& p) {
    Bytes out(4096, 0xEE);
    encodeIndexPage(p, out);
    return out;
}

} // namespace

TEST(IndexPageAccessTest, EveryPageDecodesAndJet4PagesReencodeToAccessBytes) {
    std::size_t pages = 0, entries = 0, compressed = 0, intermediate = 0, jet3 = 0;
    for (const FixturePages& f : fixturePages()) {
        const Format& F = formatFor(f.version);
        for (const auto& [n, p] : f.pages) {
            SCOPED_TRACE(f.where(n));
            const std::size_t used = usedBytes(f.page(n), F);
            EXPECT_EQ(p.freeSpace, F.indexEntryCapacity() - used);
            EXPECT_GE(p.owner, 2u);
            for (std::size_t i = 0; i + 1 < p.entries.size(); ++i)
                EXPECT_TRUE(entryBefore(p.entries[i], p.entries[i + 1])) << "entry " << i;
            for (const auto& e : p.entries) {
                ASSERT_FALSE(e.key.empty());
                // Every key starts with a column flag.
                EXPECT_TRUE(e.key[0] == 0x7F || e.key[0] == 0x80 || e.key[0] == 0x00 ||
                            e.key[0] == 0xFF);
                EXPECT_LT(e.dataPage, f.bytes.size() / f.pageSize);
            }
            if (f.version == JetVersion::Jet3) {
                jet3 += p.entries.size();
                continue;
            }
            // Header, entry bitmap and entries as Access wrote them; past them Access leaves
            // whatever the page held before, we leave zeros.
            const Bytes again = encode(p);
            const auto end = static_cast<long>(F.indexFirstEntry + used);
            EXPECT_TRUE(std::equal(again.begin(), again.begin() + end, f.page(n).begin()))
                << "re-encoded page differs from Access's";
            EXPECT_TRUE(std::all_of(again.begin() + end, again.end(), [](auto b) { return !b; }));
            ++pages;
            entries += p.entries.size();
            compressed += p.prefixLength > 0;
            intermediate += !p.leaf;
        }
    }
    if (fixturePages().empty())
        GTEST_SKIP() << "fixtures not present";
    // The fixtures hold a two-level index with a compressed full leaf (compIndexTestV2000).
    EXPECT_GT(pages, 100u);
    EXPECT_GT(entries, 2000u);
    EXPECT_GE(compressed, 1u);
    EXPECT_GE(intermediate, 1u);
    EXPECT_GT(jet3, 100u);
}

// --- synthetic pages ---

struct Shape {
    const char* name;
    bool leaf;
    std::vector<IndexPageEntry> entries;
    int prefix; // the prefix length the page must carry; -1: the entries do not fit
};

class IndexPageShapeTest : public ::testing::TestWithParam<Shape> {};

// Each shape encodes when it fits and decodes to what was encoded; the view finds every entry in
// place, the shared prefix apart from each entry's own bytes.
TEST_P(IndexPageShapeTest, RoundTripsAndIsReadInPlace) {
    const Shape& c = GetParam();
    IndexPage p;
    p.leaf = c.leaf;
    p.owner = 0x01020304;
    p.prevPage = 77;
    p.nextPage = 78;
    p.tailPage = c.leaf ? 0 : 99;
    p.entries = c.entries;
    EXPECT_EQ(indexEntriesFit(c.leaf, c.entries), c.prefix >= 0);
    if (c.prefix < 0) {
        Bytes out(4096);
        EXPECT_THROW(encodeIndexPage(p, out), Error);
        return;
    }
    const Bytes bytes = encode(p);
    const IndexPage back = decodeIndexPage(bytes, "test page");
    EXPECT_EQ(back.leaf, c.leaf);
    EXPECT_EQ(std::tie(back.owner, back.prevPage, back.nextPage, back.tailPage),
              std::tie(p.owner, p.prevPage, p.nextPage, p.tailPage));
    EXPECT_EQ(back.entries, c.entries);
    EXPECT_EQ(back.prefixLength, c.prefix);
    EXPECT_EQ(back.freeSpace, kJet4Format.indexEntryCapacity() - usedBytes(bytes, kJet4Format));

    const IndexPageView v(bytes, kJet4Format);
    ASSERT_EQ(v.count(), c.entries.size());
    for (std::size_t k = 0; k < v.count(); ++k) {
        const IndexPageEntry& e = c.entries[k];
        EXPECT_EQ(v.key(k), e.key) << k;
        EXPECT_EQ(v.row(k), (RowId{e.dataPage, e.dataRow})) << k;
        if (!c.leaf) {
            EXPECT_EQ(v.child(k), e.childPage) << k;
        }
        EXPECT_EQ(v.compare(e.key, k), 0) << k;
        const auto first = std::find_if(c.entries.begin(), c.entries.end(),
                                        [&](const auto& o) { return o.key == e.key; });
        EXPECT_EQ(v.lowerBound(e.key), static_cast<std::size_t>(first - c.entries.begin())) << k;
    }
    if (!c.leaf) {
        EXPECT_EQ(v.lastChild(), 99u) << "the tail";
    }
    if (c.entries.empty())
        return;
    // Below every key, and shorter than the shared prefix; above every key.
    const Bytes below = {c.entries.front().key[0]};
    Bytes above = c.entries.back().key;
    above.push_back(0);
    EXPECT_EQ(v.lowerBound(below), 0u);
    EXPECT_LT(v.compare(below, 0), 0);
    EXPECT_EQ(v.lowerBound(above), v.count());
    EXPECT_GT(v.compare(above, v.count() - 1), 0);
}

// Entries 100 to 109 with one key.
std::vector<IndexPageEntry> withEqualRun(std::vector<IndexPageEntry> v) {
    for (std::size_t k = 101; k < 110; ++k)
        v[k].key = v[100].key;
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Pages, IndexPageShapeTest,
    ::testing::Values(
        Shape{"EmptyLeaf", true, {}, 0},
        Shape{"OneEntry", true, {entry({0x7F, 0x4A, 0x01, 0x00}, 0xABCDEF, 0xFE)}, 0},
        // 9-byte entries: 401 take 3609 of 3616 bytes; 402 must share their 7F 80 00, and then
        // take 9 + 6 bytes for each further entry.
        Shape{"LargestUncompressed", true, longKeys(401), 0},
        Shape{"FullLeafCompressed", true, longKeys(402), 3},
        Shape{"FilledToTheLastByte", true,
              [] {
                  auto v = longKeys(401);
                  v.back().key.resize(12, 0x01); // 400 * 9 + 16 = 3616
                  return v;
              }(),
              0},
        Shape{"CompressedNearlyFull", true, withEqualRun(longKeys(602)), 3}, // 3615
        Shape{"TooManyEvenCompressed", true, longKeys(604), -1},             // 3627
        Shape{"NothingInCommonCannotCompress", true,
              [] {
                  std::vector<IndexPageEntry> v;
                  for (int i = 0; i < 402; ++i)
                      v.push_back(entry({static_cast<std::uint8_t>(i / 2), 1, 2, 3, 4}, 1, 0));
                  return v;
              }(),
              -1},
        Shape{"Intermediate", false, withChildren(longKeys(30)), 0},
        Shape{"IntermediateCompressed", false, withChildren(longKeys(300, 70000)), 3},
        // Intermediate entries carry 4 more bytes.
        Shape{"IntermediateTooMany", false, withChildren(longKeys(401)), -1},
        Shape{"EqualKeysShareTheWholeKey", true,
              [] {
                  std::vector<IndexPageEntry> v;
                  for (int i = 0; i < 300; ++i)
                      v.push_back(entry(Bytes(10, 0x55), 5, static_cast<std::uint8_t>(i)));
                  return v;
              }(),
              10}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IndexPageTest, EncodingRefusesWhatCannotBeWritten) {
    IndexPage p;
    Bytes out(4096);
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

// --- nodes: tails, at the edges (trees of them are IndexTreeTest's) ---

TEST(IndexNodeTest, ASingleChildIsAnEntryNotATail) {
    IndexNode n;
    n.leaf = false;
    n.entries.push_back(IndexEntry{{0x7F, 5, 0x01, 0x00}, RowId{9, 3}, 20});
    Bytes b(4096);
    ASSERT_TRUE(encodeIndexNode(n, 3, b));
    IndexPage raw = decodeIndexPage(b, "one child");
    EXPECT_EQ(raw.tailPage, 0u);
    ASSERT_EQ(raw.entries.size(), 1u);
    EXPECT_EQ(raw.entries[0].childPage, 20u);
    EXPECT_EQ(IndexPageView(b, kJet4Format).lastChild(), 20u) << "no tail: the last entry's";
}

TEST(IndexNodeTest, BadTailsAndOversizedNodesAreRefused) {
    std::map<std::uint32_t, Bytes> store;
    IndexPageLoader loader = [&](std::uint32_t n) {
        if (!store.count(n))
            throw Error("no page " + std::to_string(n));
        return store[n];
    };
    IndexPage loop;
    loop.leaf = false;
    loop.entries = {entry({0x7F, 1}, 1, 1, 5)};
    loop.tailPage = 50;
    store[50] = encode(loop); // its own tail
    EXPECT_THROW(decodeIndexNode(store[50], "loop", loader), Error);
    loop.tailPage = 51;
    EXPECT_THROW(decodeIndexNode(encode(loop), "missing", loader), Error);

    IndexNode big;
    for (auto& e : longKeys(700))
        big.entries.push_back({e.key, RowId{e.dataPage, e.dataRow}, 0});
    Bytes b(4096, 0xAA);
    EXPECT_FALSE(encodeIndexNode(big, 1, b));
    EXPECT_EQ(b[0], 0xAA) << "nothing written";
}

// --- damaged pages ---

TEST(IndexPageDamageTest, IsAnErrorNamingThePage) {
    const struct {
        const char* name;
        std::function<void(Bytes&)> apply;
        const char* says; // found in the message
    } cases[] = {
        {"wrong size", [](Bytes& b) { b.pop_back(); }, "bytes, not 4095"},
        {"data page type", [](Bytes& b) { b[0] = 0x01; }, "not an index page"},
        {"bitmap past the end", [](Bytes& b) { b[0x1E0 - 1] = 0x80; }, "past the page"},
        {"prefix longer than the entry", [](Bytes& b) { b[24] = 10; }, "prefix"},
        // The shared prefix is key bytes, never a row pointer's.
        {"prefix into the row pointer", [](Bytes& b) { b[24] = 7; }, "too few"},
        {"entry too short", [](Bytes& b) { b[0x1B] = 0x04; }, "too few"},
        {"empty first entry", [](Bytes& b) { b[0x1B] |= 0x01; }, "empty entry"},
        {"intermediate entries too short",
         [](Bytes& b) {
             b[0] = kIndexIntermediatePage;
             std::fill(b.begin() + 0x1B, b.begin() + 0x1E0, 0);
             b[0x1B] = 0x80; // one 7-byte entry
         },
         "child page"},
    };
    IndexPage p;
    p.entries = longKeys(20);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes b = encode(p);
        c.apply(b);
        try {
            decodeIndexPage(b, "f.mdb, page 9");
            ADD_FAILURE() << "decoded a damaged page";
        } catch (const Error& e) {
            std::string m = e.what();
            EXPECT_EQ(m.rfind("f.mdb, page 9: ", 0), 0u) << m;
            EXPECT_NE(m.find(c.says), std::string::npos) << m;
        }
    }
}

TEST(IndexPageDamageTest, RandomDamageNeverCrashes) {
    std::vector<Bytes> samples;
    for (const FixturePages& f : fixturePages())
        for (const auto& [n, p] : f.pages)
            if (f.version == JetVersion::Jet4 && !p.entries.empty() && samples.size() < 40)
                samples.emplace_back(f.page(n).begin(), f.page(n).end());
    IndexPage fallback;
    fallback.entries = longKeys(500);
    samples.push_back(encode(fallback));
    std::mt19937 rng(1234);
    std::size_t errors = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes b = samples[rng() % samples.size()];
        for (int h = 0, hits = 1 + static_cast<int>(rng() % 6); h < hits; ++h) {
            // Mostly the header and bitmap, where one byte changes the whole decode.
            std::size_t at = rng() % 4 ? rng() % 0x1E0 : rng() % b.size();
            b[at] = static_cast<std::uint8_t>(rng());
        }
        try {
            for (const auto& e : decodeIndexPage(b, "fuzz").entries)
                ASSERT_LE(e.key.size(), 4096u);
        } catch (const Error&) {
            ++errors;
        }
    }
    EXPECT_GT(errors, 0u);
}
