// Index keys and pages: the General sort table and text keys against the reference files recorded
// from Access-checked data, the fixed-width keys by the order they must produce and the bytes
// Access writes; pages encoded, decoded and read in place, damaged ones refused naming the page;
// and every index page in the Access-made fixtures against what the engine makes of it.
#include "JetTest.h"
#include "jet/Error.h"
#include "jet/GeneralSort.h"
#include "jet/IndexKey.h"
#include "jet/IndexPage.h"
#include "jet/IndexRowKeys.h"
#include "jet/IndexTree.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <random>

using namespace jet;
using Bytes = std::vector<std::uint8_t>;

namespace {

// The rows of a reference file, split at tabs; none when the file is absent.
std::vector<std::vector<std::string>> referenceRows(const char* name) {
    const auto p = jettest::fixture(std::string("reference/") + name);
    return p.empty() ? std::vector<std::vector<std::string>>{}
                     : jettest::tsv(testsupport::readFile(p));
}

std::string hex(const Bytes& b) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (auto x : b) {
        s += digits[x >> 4];
        s += digits[x & 15];
    }
    return s;
}

std::string unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char n = s[i] == '\\' && i + 1 < s.size() ? s[++i] : 0;
        out += !n ? s[i] : n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
    }
    return out;
}

// Our code in the sort code file's form: class letter, then comma-separated hex byte strings in
// capitals without a leading 0.
std::string describe(const SortCode& c) {
    auto piece = [](const Bytes& b) {
        std::string s = hex(b);
        std::transform(s.begin(), s.end(), s.begin(), ::toupper);
        return s.substr(s.size() > 1 && s[0] == '0' ? 1 : 0);
    };
    const std::string inl =
        piece(Bytes(c.inlineBytes.begin(), c.inlineBytes.begin() + c.inlineCount));
    switch (c.kind) {
    case SortClass::Unmapped:
        return "(unmapped)";
    case SortClass::Ignored:
        return "X";
    case SortClass::Simple:
        return "S" + inl;
    case SortClass::International:
        return "I" + inl + "," + piece({c.accent});
    case SortClass::Unprintable:
        return "U" + piece({c.unprintable});
    }
    return "?";
}

Bytes key(ColumnType t, const Bytes& raw, bool ascending) {
    Bytes out;
    appendFixedKey(t, raw, ascending, out);
    return out;
}

Bytes nullKey(bool ascending) {
    Bytes out;
    appendNullKey(ascending, out);
    return out;
}

template <typename T>
Bytes le(T v) {
    Bytes b(sizeof(T));
    std::memcpy(b.data(), &v, sizeof(T)); // test machines are little-endian, as the files are
    return b;
}

template <typename T>
std::vector<Bytes> les(std::initializer_list<T> values) {
    std::vector<Bytes> out;
    for (T v : values)
        out.push_back(le(v));
    return out;
}

// A Decimal as the row holds it: sign byte, then the magnitude's four 32-bit words from the
// most significant, each little-endian; `high` is the second word, `low` the last.
Bytes decimal(bool negative, std::uint32_t high, std::uint32_t low) {
    Bytes b(17, 0);
    b[0] = negative ? 0x80 : 0x00;
    for (int k = 0; k < 4; ++k) {
        b[5 + k] = static_cast<std::uint8_t>(high >> (8 * k));
        b[13 + k] = static_cast<std::uint8_t>(low >> (8 * k));
    }
    return b;
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

// The reference texts cover case, blanks, accents, ligatures, punctuation that only breaks ties,
// control characters and texts past 255 characters.
TEST(IndexKeyTest, SortCodesAndTextKeysMatchTheReference) {
    const auto codes = referenceRows("general-sort-codes.tsv");
    const auto texts = referenceRows("text-keys.tsv");
    if (codes.empty() || texts.empty())
        GTEST_SKIP() << "reference files not present";
    for (const auto& r : codes) {
        ASSERT_EQ(r.size(), 2u);
        auto c = static_cast<char16_t>(std::stoi(r[0].substr(2), nullptr, 16));
        EXPECT_EQ(describe(generalSortCode(c)), r[1]) << r[0];
    }
    EXPECT_EQ(codes.size(), 256u + 27);
    int wrong = 0;
    for (const auto& r : texts) {
        ASSERT_EQ(r.size(), 3u);
        const std::u16string text = utf16(unescape(r[0]));
        // Compound keys are built column by column into one buffer: each text adds its flag and
        // its own bytes (inverted going down) and leaves what is there alone.
        Bytes asc = {0x12}, desc = {0x12};
        appendTextKey(text, true, asc);
        appendTextKey(text, false, desc);
        if ((hex(asc) != "127f" + r[1] || hex(desc) != "1280" + r[2]) && ++wrong <= 10)
            ADD_FAILURE() << "text '" << r[0] << "'\n asc  " << hex(asc) << "\n want 127f" << r[1]
                          << "\n desc " << hex(desc) << "\n want 1280" << r[2];
    }
    EXPECT_EQ(wrong, 0) << "of " << texts.size();
    EXPECT_GT(texts.size(), 600u);
}

// Text outside the sort table, and values of the wrong type or width, have no key.
TEST(IndexKeyTest, WhatHasNoKeyIsRefused) {
    for (char16_t c : {u'\u0100', u'\u0141', u'\u0416', u'\u4E2D', char16_t(0xD800), u'\uFFFF'})
        EXPECT_EQ(generalSortCode(c).kind, SortClass::Unmapped) << static_cast<int>(c);
    Bytes out;
    EXPECT_THROW(appendTextKey(u"\U0001F600", false, out), Error);
    EXPECT_THAT(jettest::errorOf([&] { appendTextKey(u"Gda\u0144sk \u0416", true, out); }),
                ::testing::HasSubstr("U+0144"));
    const std::pair<ColumnType, std::size_t> cases[] = {
        {ColumnType::Long, 2},    {ColumnType::Long, 8},  {ColumnType::Int, 4},
        {ColumnType::Double, 4},  {ColumnType::Guid, 17}, {ColumnType::Numeric, 16},
        {ColumnType::Boolean, 0}, {ColumnType::Text, 4},  {ColumnType::Memo, 12},
        {ColumnType::Ole, 12},    {ColumnType::Binary, 8}};
    for (const auto& [type, width] : cases) {
        out = {0xAB};
        EXPECT_THROW(appendFixedKey(type, Bytes(width, 0), true, out), Error)
            << static_cast<int>(type) << " of " << width << " bytes";
    }
}

// The place an index column was found at when its definition was read is only a hint: a key
// built from the wrong column would put every row in the wrong place of the index.
TEST(IndexKeyTest, AKeyColumnIsFoundByItsNumberWhateverItsHintSays) {
    TableDef t;
    t.name = u"t";
    for (std::uint16_t n : {3, 5, 9})
        t.columns.push_back(ColumnDef{.name = u"c" + std::u16string(1, u'0' + n), .number = n});
    for (int hint : {0, 1, 2, 7, UINT16_MAX})
        EXPECT_EQ(columnPosition(t, IndexColumn{5, true, static_cast<std::uint16_t>(hint)}), 1u)
            << hint;
    EXPECT_THROW(columnPosition(t, IndexColumn{4, true, 1}), Error);
}

// Keys Access wrote (compIndexTestV2000: a descending Long index, where a Null is the single
// byte 0xFF), and the forms the fixtures hold no key of.
TEST(IndexKeyTest, KeyBytesForKnownValues) {
    auto binary = [](const Bytes& v, bool ascending) {
        Bytes out;
        appendBinaryKey(v, ascending, out);
        return out;
    };
    const Bytes guid = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                        0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    const std::pair<Bytes, const char*> cases[] = {
        {nullKey(true), "00"},
        {nullKey(false), "ff"},
        {key(ColumnType::Long, le<std::int32_t>(19), false), "807fffffec"},
        {key(ColumnType::Long, le<std::int32_t>(4813), false), "807fffed32"},
        {key(ColumnType::Long, le<std::int32_t>(1), true), "7f80000001"},
        {key(ColumnType::Int, le<std::int16_t>(-2), true), "7f7ffe"},
        {key(ColumnType::Byte, {0x05}, false), "80fa"},
        {key(ColumnType::Double, le<double>(-1.0), true), "7f400fffffffffffff"},
        {key(ColumnType::Double, le<double>(1.0), false), "80400fffffffffffff"},
        // GUIDs and binary: groups of 8 bytes, each followed by its count, the last one padded.
        {key(ColumnType::Guid, guid, true), "7f0011223344556677098899aabbccddeeff08"},
        {key(ColumnType::Guid, guid, false), "80ffeeddccbbaa9988097766554433221100f7"},
        {binary({0x01, 0x02, 0x03}, true), "7f010203000000000003"},
        {binary({}, true), "7f"},
    };
    for (const auto& [got, want] : cases)
        EXPECT_EQ(hex(got), want);
}

// Each type's values in ascending order, as the row stores them, and the order their descending
// keys sort in (indexes into the values; the reverse when none). Nulls come before every value
// going up and after every value going down.
TEST(IndexKeyTest, FixedKeysFollowValueOrderBothWays) {
    const struct {
        ColumnType type;
        std::vector<Bytes> up;
        std::vector<std::size_t> down = {};
    } cases[] = {
        {ColumnType::Byte, {{0}, {1}, {0x7F}, {0x80}, {0xFF}}},
        {ColumnType::Int, les<std::int16_t>({-32768, -256, -1, 0, 1, 255, 256, 32767})},
        {ColumnType::Long,
         les<std::int32_t>({INT32_MIN, -65536, -1, 0, 19, 4813, 16777216, INT32_MAX})},
        {ColumnType::Money, les<std::int64_t>({INT64_MIN, -10000, 0, 1, 1LL << 40, INT64_MAX})},
        {ColumnType::Float, les<float>({-1e30f, -2.5f, -1e-30f, 0.0f, 1e-30f, 0.5f, 2.5f, 1e30f})},
        {ColumnType::Double, les<double>({-1e300, -1.0, -1e-300, 0.0, 1e-300, 1.0, 1.5, 1e300})},
        {ColumnType::DateTime, les<double>({-657434.0, -1.25, 0.0, 0.5, 29931.0, 2958465.99})},
        {ColumnType::Boolean, {{1}, {0}}},
        {ColumnType::Guid,
         {Bytes(16, 0),
          {0x00, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, // first group LE
          {0x01, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
          {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
          {0xFF, 0xFF, 0xFF, 0xFF, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
          {0xFF, 0xFF, 0xFF, 0xFF, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}}},
        // Descending reverses each sign's values, but Jet 4 keeps all negatives before all
        // positives (a known Access 2000-2003 quirk that files written by Access depend on).
        {ColumnType::Numeric,
         {decimal(true, 1, 0), decimal(true, 0, 500), decimal(true, 0, 1), decimal(false, 0, 0),
          decimal(false, 0, 1), decimal(false, 0, 1u << 31), decimal(false, 2, 0)},
         {2, 1, 0, 6, 5, 4, 3}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        std::vector<std::size_t> down = c.down;
        for (std::size_t i = c.up.size(); down.size() < c.up.size();)
            down.push_back(--i);
        EXPECT_LT(nullKey(true), key(c.type, c.up.front(), true));
        EXPECT_GT(nullKey(false), key(c.type, c.up[down.back()], false));
        for (std::size_t i = 0; i + 1 < c.up.size(); ++i) {
            EXPECT_LT(key(c.type, c.up[i], true), key(c.type, c.up[i + 1], true)) << i;
            EXPECT_LT(key(c.type, c.up[down[i]], false), key(c.type, c.up[down[i + 1]], false))
                << i;
        }
    }
}

// --- what Access stored ---

// Every index page of every fixture decodes (in order, each key behind a column flag, each row
// pointer inside the file) and Jet 4 pages encode back to Access's bytes. (Their trees, and each
// row's key against the one Access stored, are `check`'s in FixtureReadTest.)
TEST(IndexAccessTest, PagesAreAccesss) {
    if (jettest::fixtureDatabases().empty())
        GTEST_SKIP() << "fixtures not present";
    std::size_t pages = 0, entries = 0, compressed = 0, intermediate = 0, jet3 = 0;
    for (const auto& path : jettest::fixtureDatabases()) {
        const bool isJet3 = path.filename().string().find("V1997") != std::string::npos;
        const Format& F = isJet3 ? kJet3Format : kJet4Format;
        const std::string file = testsupport::readFile(path);
        for (std::size_t n = 1; n < file.size() / F.pageSize; ++n) {
            const std::span<const std::uint8_t> page(
                reinterpret_cast<const std::uint8_t*>(file.data()) + n * F.pageSize, F.pageSize);
            if (page[0] != kIndexLeafPage && page[0] != kIndexIntermediatePage)
                continue;
            const std::string where = path.filename().string() + ", page " + std::to_string(n);
            SCOPED_TRACE(where);
            const IndexPage p = decodeIndexPage(page, where, F.version);
            const std::size_t used = usedBytes(page, F);
            EXPECT_EQ(p.freeSpace, F.indexEntryCapacity() - used);
            for (std::size_t i = 0; i + 1 < p.entries.size(); ++i) {
                const auto &a = p.entries[i], &b = p.entries[i + 1];
                EXPECT_LT(std::tie(a.key, a.dataPage, a.dataRow),
                          std::tie(b.key, b.dataPage, b.dataRow))
                    << "entry " << i;
            }
            for (const auto& e : p.entries) {
                ASSERT_FALSE(e.key.empty());
                EXPECT_TRUE(e.key[0] == 0x7F || e.key[0] == 0x80 || e.key[0] == 0x00 ||
                            e.key[0] == 0xFF);
                EXPECT_LT(e.dataPage, file.size() / F.pageSize);
            }
            if (isJet3) {
                jet3 += p.entries.size();
                continue;
            }
            // Header, entry bitmap and entries as Access wrote them; past them Access leaves
            // whatever the page held before, we leave zeros.
            const Bytes again = encode(p);
            const auto end = static_cast<long>(F.indexFirstEntry + used);
            EXPECT_TRUE(std::equal(again.begin(), again.begin() + end, page.begin()))
                << "re-encoded page differs from Access's";
            EXPECT_TRUE(std::all_of(again.begin() + end, again.end(), [](auto b) { return !b; }));
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

// Each shape encodes when it fits and decodes to what was encoded; the view finds every key in
// place, the shared prefix apart from each entry's own bytes.
TEST_P(IndexPageShapeTest, RoundTripsAndIsReadInPlace) {
    const Shape& c = GetParam();
    IndexPage p{c.leaf, 0x01020304, 77, 78, c.leaf ? 0u : 99u, 0, c.entries};
    if (c.prefix < 0) {
        Bytes out(4096);
        EXPECT_THROW(encodeIndexPage(p, out), Error);
        return;
    }
    const Bytes bytes = encode(p);
    const IndexPage back = decodeIndexPage(bytes, "test page");
    EXPECT_EQ(std::tie(back.leaf, back.owner, back.prevPage, back.nextPage, back.tailPage),
              std::tie(p.leaf, p.owner, p.prevPage, p.nextPage, p.tailPage));
    EXPECT_EQ(back.entries, c.entries);
    EXPECT_EQ(back.prefixLength, c.prefix);
    EXPECT_EQ(back.freeSpace, kJet4Format.indexEntryCapacity() - usedBytes(bytes, kJet4Format));
    const IndexPageView v(bytes, kJet4Format);
    for (std::size_t k = 0; k < v.count(); ++k) {
        const Bytes& key = c.entries[k].key;
        EXPECT_EQ(v.compare(key, k), 0) << k;
        const auto first = std::find_if(c.entries.begin(), c.entries.end(),
                                        [&](const auto& o) { return o.key == key; });
        EXPECT_EQ(v.lowerBound(key), static_cast<std::size_t>(first - c.entries.begin())) << k;
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

// What cannot be written is refused; a single child is an entry, not a tail, and a tail that
// loops or is missing is an error.
TEST(IndexPageTest, WritesAndTailsAtTheEdges) {
    // Out of order entries cannot share the prefix computed from the first and last.
    IndexPage p;
    p.entries = longKeys(500);
    p.entries[10].key = {0x7F};
    Bytes out(4096);
    EXPECT_THROW(encodeIndexPage(p, out), Error);
    IndexNode big;
    for (auto& e : longKeys(700))
        big.entries.push_back({e.key, RowId{e.dataPage, e.dataRow}, 0});
    Bytes b(4096, 0xAA);
    EXPECT_FALSE(encodeIndexNode(big, 1, b));
    EXPECT_EQ(b[0], 0xAA) << "nothing written";

    IndexNode n;
    n.leaf = false;
    n.entries.push_back(IndexEntry{{0x7F, 5, 0x01, 0x00}, RowId{9, 3}, 20});
    b.assign(4096, 0);
    ASSERT_TRUE(encodeIndexNode(n, 3, b));
    IndexPage raw = decodeIndexPage(b, "one child");
    EXPECT_EQ(raw.tailPage, 0u);
    ASSERT_EQ(raw.entries.size(), 1u);
    EXPECT_EQ(raw.entries[0].childPage, 20u);
    EXPECT_EQ(IndexPageView(b, kJet4Format).lastChild(), 20u) << "no tail: the last entry's";

    std::map<std::uint32_t, Bytes> store;
    IndexPageLoader loader = [&](std::uint32_t page) {
        if (!store.count(page))
            throw Error("no page " + std::to_string(page));
        return store[page];
    };
    IndexPage loop;
    loop.leaf = false;
    loop.entries = {entry({0x7F, 1}, 1, 1, 5)};
    loop.tailPage = 50;
    store[50] = encode(loop); // its own tail
    EXPECT_THROW(decodeIndexNode(store[50], "loop", loader), Error);
    loop.tailPage = 51;
    EXPECT_THROW(decodeIndexNode(encode(loop), "missing", loader), Error);
}

// --- damaged pages ---

// Each damage is refused naming the page and what is wrong; random damage, mostly to the header
// and bitmap where one byte changes the whole decode, is refused or read, never a crash.
TEST(IndexPageDamageTest, IsAnErrorNamingThePage) {
    const struct {
        const char* name;
        std::function<void(Bytes&)> apply;
        const char* says; // found in the message
    } cases[] = {
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
        EXPECT_THAT(jettest::errorOf([&] { decodeIndexPage(b, "f.mdb, page 9"); }),
                    ::testing::AllOf(::testing::StartsWith("f.mdb, page 9: "),
                                     ::testing::HasSubstr(c.says)));
    }
    // Leaves plain and compressed, and an intermediate page with a tail.
    IndexPage full{true, 7, 0, 0, 0, 0, longKeys(500)};
    IndexPage upper{false, 7, 0, 0, 99, 0, withChildren(longKeys(300))};
    const std::vector<Bytes> samples{encode(p), encode(full), encode(upper)};
    std::mt19937 rng(1234);
    std::size_t errors = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes b = samples[rng() % samples.size()];
        for (int h = 0, hits = 1 + static_cast<int>(rng() % 6); h < hits; ++h)
            b[rng() % 4 ? rng() % 0x1E0 : rng() % b.size()] = static_cast<std::uint8_t>(rng());
        try {
            for (const auto& e : decodeIndexPage(b, "fuzz").entries)
                ASSERT_LE(e.key.size(), 4096u);
        } catch (const Error&) {
            ++errors;
        }
    }
    EXPECT_GT(errors, 0u);
}
