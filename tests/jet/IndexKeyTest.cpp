// Index keys: the General sort table and text keys against the reference files recorded from
// Access-checked data, the fixed-width keys by the order they must produce and the bytes Access
// writes, and every key stored in the Access-made fixtures against the key of its row.
#include "jet/IndexKey.h"

#include "JetTest.h"
#include "jet/Error.h"
#include "jet/GeneralSort.h"
#include "jet/IndexLayout.h"
#include "jet/IndexSupport.h"
#include "jet/Table.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

using namespace jet;
using Bytes = std::vector<std::uint8_t>;

namespace {

// The rows of a reference file, split at tabs; none when the file is absent.
std::vector<std::vector<std::string>> referenceRows(const char* name) {
    const auto p = jettest::fixtures() / "reference" / name;
    return std::filesystem::exists(p) ? jettest::tsv(testsupport::readFile(p))
                                      : std::vector<std::vector<std::string>>{};
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

// Hex as the sort code file writes it, in capitals, each byte string without its leading 0.
std::string evenHex(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s.size() % 2 ? "0" + s : s;
}

std::string unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        char n = s[++i];
        out += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
    }
    return out;
}

// The sort code file's form of one of our codes: class letter, then comma-separated hex.
std::string describe(const SortCode& c) {
    const std::string inl =
        hex(Bytes(c.inlineBytes.begin(), c.inlineBytes.begin() + c.inlineCount));
    switch (c.kind) {
    case SortClass::Unmapped:
        return "(unmapped)";
    case SortClass::Ignored:
        return "X";
    case SortClass::Simple:
        return "S" + inl;
    case SortClass::International:
        return "I" + inl + "," + hex({c.accent});
    case SortClass::Unprintable:
        return "U" + hex({c.unprintable});
    }
    return "?";
}

std::string normalise(const std::string& code) {
    std::string out = code.substr(0, 1);
    for (std::size_t from = 1; from < code.size();) {
        const auto comma = std::min(code.find(',', from), code.size());
        out += evenHex(code.substr(from, comma - from)) + (comma < code.size() ? "," : "");
        from = comma + 1;
    }
    return out;
}

Bytes key(ColumnType t, const Bytes& raw, bool ascending) {
    Bytes out;
    appendFixedKey(t, raw, ascending, out);
    return out;
}

template <typename T>
Bytes le(T v) {
    Bytes b(sizeof(T));
    std::memcpy(b.data(), &v, sizeof(T)); // test machines are little-endian, as the files are
    return b;
}

// A Decimal as the row holds it: sign byte, then the magnitude's four 32-bit words from the
// most significant, each little-endian.
Bytes decimal(bool negative, std::uint64_t high, std::uint64_t low) {
    Bytes b(17, 0);
    b[0] = negative ? 0x80 : 0x00;
    const std::uint32_t words[4] = {
        static_cast<std::uint32_t>(high >> 32), static_cast<std::uint32_t>(high),
        static_cast<std::uint32_t>(low >> 32), static_cast<std::uint32_t>(low)};
    for (int w = 0; w < 4; ++w)
        for (int k = 0; k < 4; ++k)
            b[1 + w * 4 + k] = static_cast<std::uint8_t>(words[w] >> (8 * k));
    return b;
}

} // namespace

TEST(GeneralSortTest, EveryWindows1252CharacterHasTheReferenceCode) {
    const auto rows = referenceRows("general-sort-codes.tsv");
    if (rows.empty())
        GTEST_SKIP() << "reference files not present";
    for (const auto& r : rows) {
        ASSERT_EQ(r.size(), 2u);
        auto c = static_cast<char16_t>(std::stoi(r[0].substr(2), nullptr, 16));
        EXPECT_EQ(describe(generalSortCode(c)), normalise(r[1])) << r[0];
    }
    EXPECT_EQ(rows.size(), 256u + 27);
}

// The reference texts cover case, blanks, accents, ligatures, punctuation that only breaks ties,
// control characters and texts past 255 characters.
TEST(IndexKeyTest, TextKeysMatchTheReferenceKeys) {
    const auto rows = referenceRows("text-keys.tsv");
    if (rows.empty())
        GTEST_SKIP() << "reference files not present";
    int wrong = 0;
    for (const auto& r : rows) {
        ASSERT_EQ(r.size(), 3u);
        const std::u16string text = utf16(unescape(r[0]));
        // Compound keys are built column by column into one buffer: each text adds its flag and
        // its own bytes (inverted going down) and leaves what is there alone.
        Bytes asc = {0x12}, desc = {0x12};
        appendTextKey(text, true, asc);
        appendTextKey(text, false, desc);
        if (hex(asc) != "127f" + r[1] || hex(desc) != "1280" + r[2]) {
            if (++wrong <= 10)
                ADD_FAILURE() << "text '" << r[0] << "'\n asc  " << hex(asc) << "\n want 127f"
                              << r[1] << "\n desc " << hex(desc) << "\n want 1280" << r[2];
        }
    }
    EXPECT_EQ(wrong, 0) << "of " << rows.size();
    EXPECT_GT(rows.size(), 600u);
}

TEST(IndexKeyTest, TextOutsideTheSortTableIsRefused) {
    for (char16_t c : {u'\u0100', u'\u0141', u'\u0416', u'\u4E2D', char16_t(0xD800), u'\uFFFF'})
        EXPECT_EQ(generalSortCode(c).kind, SortClass::Unmapped) << static_cast<int>(c);
    Bytes out;
    EXPECT_THROW(appendTextKey(u"Gda\u0144sk", true, out), Error);
    EXPECT_THROW(textKeyBody(u"\U0001F600", false), Error);
    try {
        textKeyBody(u"\u0416", true);
        FAIL();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("U+0416"), std::string::npos) << e.what();
    }
}

// Keys Access wrote (compIndexTestV2000: a descending Long index, where a Null is the single
// byte 0xFF), and the forms the fixtures hold no key of.
TEST(IndexKeyTest, KeyBytesForKnownValues) {
    auto binary = [](const Bytes& v, bool ascending) {
        Bytes out;
        appendBinaryKey(v, ascending, out);
        return out;
    };
    auto null = [](bool ascending) {
        Bytes out;
        appendNullKey(ascending, out);
        return out;
    };
    const Bytes guid = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                        0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    const std::pair<Bytes, const char*> cases[] = {
        {null(true), "00"},
        {null(false), "ff"},
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

// Each row: a type and its values in ascending order, as the row stores them, and the order their
// descending keys sort in (indexes into the values; the reverse when none). Nulls come before
// every value going up and after every value going down.
struct OrderCase {
    const char* name;
    ColumnType type;
    std::vector<Bytes> up;
    std::vector<std::size_t> down = {};
};

class FixedKeyOrderTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(FixedKeyOrderTest, KeysFollowValueOrderBothWays) {
    const OrderCase& c = GetParam();
    std::vector<std::size_t> down = c.down;
    if (down.empty())
        for (std::size_t i = c.up.size(); i-- > 0;)
            down.push_back(i);
    Bytes nullAsc, nullDesc;
    appendNullKey(true, nullAsc);
    appendNullKey(false, nullDesc);
    EXPECT_LT(nullAsc, key(c.type, c.up.front(), true));
    EXPECT_GT(nullDesc, key(c.type, c.up[down.back()], false));
    for (std::size_t i = 0; i + 1 < c.up.size(); ++i) {
        EXPECT_LT(key(c.type, c.up[i], true), key(c.type, c.up[i + 1], true)) << i;
        EXPECT_LT(key(c.type, c.up[down[i]], false), key(c.type, c.up[down[i + 1]], false)) << i;
    }
}

template <typename T>
std::vector<Bytes> les(std::initializer_list<T> values) {
    std::vector<Bytes> out;
    for (T v : values)
        out.push_back(le(v));
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Types, FixedKeyOrderTest,
    ::testing::Values(
        OrderCase{"Byte", ColumnType::Byte, {{0}, {1}, {0x7F}, {0x80}, {0xFF}}},
        OrderCase{"Int", ColumnType::Int,
                  les<std::int16_t>({-32768, -256, -1, 0, 1, 255, 256, 32767})},
        OrderCase{"Long", ColumnType::Long,
                  les<std::int32_t>({INT32_MIN, -65536, -1, 0, 19, 4813, 16777216, INT32_MAX})},
        OrderCase{"Money", ColumnType::Money,
                  les<std::int64_t>({INT64_MIN, -10000, 0, 1, 1LL << 40, INT64_MAX})},
        OrderCase{"Single", ColumnType::Float,
                  les<float>({-1e30f, -2.5f, -1e-30f, 0.0f, 1e-30f, 0.5f, 2.5f, 1e30f})},
        OrderCase{"Double", ColumnType::Double,
                  les<double>({-1e300, -1.0, -1e-300, 0.0, 1e-300, 1.0, 1.5, 1e300})},
        OrderCase{"Date", ColumnType::DateTime,
                  les<double>({-657434.0, -1.25, 0.0, 0.5, 29931.0, 2958465.99})},
        OrderCase{"YesNo", ColumnType::Boolean, {{1}, {0}}},
        OrderCase{"Guid",
                  ColumnType::Guid,
                  {Bytes(16, 0),
                   {0x00, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, // first group LE
                   {0x01, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                   {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                   {0xFF, 0xFF, 0xFF, 0xFF, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                   {0xFF, 0xFF, 0xFF, 0xFF, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}}},
        // Descending reverses each sign's values, but Jet 4 keeps all negatives before all
        // positives (a known Access 2000-2003 quirk that files written by Access depend on).
        OrderCase{"Decimal",
                  ColumnType::Numeric,
                  {decimal(true, 1, 0), decimal(true, 0, 500), decimal(true, 0, 1),
                   decimal(false, 0, 0), decimal(false, 0, 1), decimal(false, 0, 1u << 31),
                   decimal(false, 2, 0)},
                  {2, 1, 0, 6, 5, 4, 3}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IndexKeyTest, WrongTypesAndWidthsAreRefused) {
    const std::pair<ColumnType, std::size_t> cases[] = {
        {ColumnType::Long, 2},    {ColumnType::Long, 8},  {ColumnType::Int, 4},
        {ColumnType::Double, 4},  {ColumnType::Guid, 17}, {ColumnType::Numeric, 16},
        {ColumnType::Boolean, 0}, {ColumnType::Text, 4},  {ColumnType::Memo, 12},
        {ColumnType::Ole, 12},    {ColumnType::Binary, 8}};
    for (const auto& [type, width] : cases) {
        Bytes out = {0xAB};
        EXPECT_THROW(appendFixedKey(type, Bytes(width, 0), true, out), Error)
            << static_cast<int>(type) << " of " << width << " bytes";
    }
}

// --- keys Access stored ---

// Every index of the Access-made Jet 4 files, read as a tree: sound by IndexTree::verify (order,
// levels, links, each separator its child's last entry with tails followed down), each page naming
// the table as its owner, and each row's key the one Access stored for it.
TEST(IndexKeyAccessTest, StoredKeysAreTheKeysOfTheRows) {
    std::map<ColumnType, std::size_t> verified; // keys compared, per column type
    std::size_t indexes = 0, descending = 0, nulls = 0;
    for (const auto& path : jettest::fixtureDatabases()) {
        if (path.filename().string().find("V1997") != std::string::npos)
            continue;
        auto db = Database::OpenDatabase(path, OpenMode::ReadOnly);
        for (const CatalogEntry& ce : db.Catalog()) {
            Table& t = db.GetTable(ce.name);
            const TableDef& d = t.def();
            auto rows = t.scan();
            std::vector<std::vector<Value>> values;
            for (const RowRef& r : rows)
                values.push_back(t.read(r));
            for (std::size_t i = 0; i < d.realIndexes.size(); ++i) {
                const RealIndex& ri = d.realIndexes[i];
                FileIndexPages pages(t, i);
                SCOPED_TRACE(pages.where());
                IndexTree tree(pages, pages.root(), pages.where());
                EXPECT_EQ(tree.verify(), std::vector<std::string>{});
                for (std::uint32_t n : treePages(pages))
                    EXPECT_EQ(StoredIndexPage(t, i, n)->owner(), d.page) << "page " << n;
                bool keyable = !ri.columns.empty();
                for (const auto& ic : ri.columns) {
                    const ColumnDef* c = d.columnByNumber(ic.columnNumber);
                    keyable = keyable && c &&
                              (c->type == ColumnType::Text || c->type == ColumnType::Memo ||
                               hasFixedKey(c->type));
                }
                if (!keyable)
                    continue;
                // Keys Access stored, by the row they stand for; all in key order.
                const std::vector<IndexEntry> got = tree.entries();
                for (std::size_t k = 0; k + 1 < got.size(); ++k)
                    ASSERT_TRUE(entryLess(got[k], got[k + 1])) << "entry " << k;
                std::map<RowId, Bytes> stored;
                for (const auto& e : got)
                    stored[e.row] = e.key;
                std::size_t expected = 0;
                for (std::size_t r = 0; r < rows.size(); ++r) {
                    bool allNull = true;
                    for (const auto& ic : ri.columns) {
                        const ColumnDef* c = d.columnByNumber(ic.columnNumber);
                        allNull = allNull &&
                                  isNull(values[r][static_cast<std::size_t>(c - d.columns.data())]);
                    }
                    if (allNull && (ri.flags & RealIndex::kIgnoreNullsFlag))
                        continue;
                    ++expected;
                    auto it = stored.find(rows[r].id);
                    ASSERT_NE(it, stored.end())
                        << "no entry for row " << rows[r].id.page << ":" << rows[r].id.row;
                    Bytes mine;
                    try {
                        mine = indexKey(d, i, values[r]);
                    } catch (const Error&) {
                        continue; // text outside Windows-1252: refused, nothing to compare
                    }
                    ASSERT_EQ(hex(mine), hex(it->second))
                        << "row " << rows[r].id.page << ":" << rows[r].id.row;
                    nulls += allNull;
                    for (const auto& ic : ri.columns)
                        ++verified[d.columnByNumber(ic.columnNumber)->type];
                }
                EXPECT_EQ(got.size(), expected);
                ++indexes;
                for (const auto& ic : ri.columns)
                    descending += !ic.ascending && !got.empty();
            }
        }
    }
    if (indexes == 0)
        GTEST_SKIP() << "fixtures not present";
    EXPECT_GT(indexes, 20u);
    EXPECT_GT(verified[ColumnType::Text], 100u);
    EXPECT_GT(verified[ColumnType::Long], 500u);
    EXPECT_GT(descending, 0u);
    EXPECT_GT(nulls, 0u);
}
