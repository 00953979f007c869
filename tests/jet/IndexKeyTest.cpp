// Index keys: the General sort table and text keys against the reference files recorded from
// Access-checked data, the fixed-width keys by the order they must produce, and every key stored
// in the Access-made fixtures against the key of its row.
#include "jet/IndexKey.h"

#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/GeneralSort.h"
#include "jet/IndexPage.h"
#include "jet/IndexSupport.h"
#include "jet/PageFile.h"
#include "jet/Table.h"
#include "support/TempDir.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <string>
#include <vector>

using namespace jet;
using Bytes = std::vector<std::uint8_t>;

namespace {

std::filesystem::path referenceFile(const char* name) {
    auto dir = testsupport::fixturesDir();
    if (dir.empty())
        return {};
    auto p = dir / "reference" / name;
    return std::filesystem::exists(p) ? p : std::filesystem::path{};
}

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    while (true) {
        auto tab = line.find('\t', from);
        parts.push_back(line.substr(from, tab - from));
        if (tab == std::string::npos)
            return parts;
        from = tab + 1;
    }
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

// Hex as the reference files write it: an odd digit count lost a leading 0.
Bytes unhex(std::string s) {
    if (s.size() % 2)
        s.insert(s.begin(), '0');
    Bytes b;
    for (std::size_t i = 0; i < s.size(); i += 2)
        b.push_back(static_cast<std::uint8_t>(std::stoi(s.substr(i, 2), nullptr, 16)));
    return b;
}

std::u16string fromUtf8(const std::string& s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        int n;
        if (c < 0x80) {
            cp = c;
            n = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            n = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            n = 3;
        } else {
            cp = c & 0x07;
            n = 4;
        }
        for (int k = 1; k < n; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
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

// The reference file's form of one of our codes.
std::string describe(const SortCode& c) {
    auto inl = [&] {
        return hex(Bytes(c.inlineBytes.begin(), c.inlineBytes.begin() + c.inlineCount));
    };
    switch (c.kind) {
    case SortClass::Unmapped:
        return "(unmapped)";
    case SortClass::Ignored:
        return "X";
    case SortClass::Simple:
        return "S" + inl();
    case SortClass::International:
        return "I" + inl() + "," + hex({c.accent});
    case SortClass::Unprintable:
        return "U" + hex({c.unprintable});
    }
    return "?";
}

std::string normalise(const std::string& code) {
    // Reference codes drop a leading 0 of each byte string; ours never do.
    std::string kind = code.substr(0, 1);
    std::string rest = code.substr(1);
    if (rest.empty())
        return kind;
    std::string out = kind;
    std::size_t from = 0;
    while (true) {
        auto comma = rest.find(',', from);
        out += hex(unhex(rest.substr(from, comma - from)));
        if (comma == std::string::npos)
            return out;
        out += ',';
        from = comma + 1;
    }
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

} // namespace

TEST(GeneralSortTest, EveryWindows1252CharacterHasTheReferenceCode) {
    auto file = referenceFile("general-sort-codes.tsv");
    if (file.empty())
        GTEST_SKIP() << "reference files not present";
    std::ifstream in(file, std::ios::binary);
    std::string line;
    int checked = 0;
    while (std::getline(in, line)) {
        auto parts = splitTabs(line);
        ASSERT_EQ(parts.size(), 2u) << line;
        auto c = static_cast<char16_t>(std::stoi(parts[0].substr(2), nullptr, 16));
        EXPECT_EQ(describe(generalSortCode(c)), normalise(parts[1])) << parts[0];
        ++checked;
    }
    EXPECT_EQ(checked, 256 + 27);
}

TEST(GeneralSortTest, CharactersOutsideWindows1252AreUnmapped) {
    for (char16_t c : {u'\u0100', u'\u0141', u'\u0416', u'\u4E2D', char16_t(0xD800), u'\uFFFF'})
        EXPECT_EQ(generalSortCode(c).kind, SortClass::Unmapped) << static_cast<int>(c);
}

TEST(IndexKeyTest, TextKeysMatchTheReferenceKeys) {
    auto file = referenceFile("text-keys.tsv");
    if (file.empty())
        GTEST_SKIP() << "reference files not present";
    std::ifstream in(file, std::ios::binary); // the texts hold control characters
    std::string line;
    int checked = 0, wrong = 0;
    while (std::getline(in, line)) {
        auto parts = splitTabs(line);
        ASSERT_EQ(parts.size(), 3u) << line;
        std::u16string text = fromUtf8(unescape(parts[0]));
        std::string asc = hex(textKeyBody(text, true));
        std::string desc = hex(textKeyBody(text, false));
        if (asc != parts[1] || desc != parts[2]) {
            if (++wrong <= 10)
                ADD_FAILURE() << "text '" << parts[0] << "'\n asc  " << asc << "\n want "
                              << parts[1] << "\n desc " << desc << "\n want " << parts[2];
        }
        ++checked;
    }
    EXPECT_EQ(wrong, 0) << "of " << checked;
    EXPECT_GT(checked, 600);
}

TEST(IndexKeyTest, TextKeyIsFlagThenBody) {
    Bytes asc, desc;
    appendTextKey(u"Smith", true, asc);
    appendTextKey(u"Smith", false, desc);
    Bytes ascBody = textKeyBody(u"Smith", true), descBody = textKeyBody(u"Smith", false);
    ascBody.insert(ascBody.begin(), 0x7F);
    descBody.insert(descBody.begin(), 0x80);
    EXPECT_EQ(asc, ascBody);
    EXPECT_EQ(desc, descBody);
}

TEST(IndexKeyTest, TextKeysAppendToWhatIsThere) {
    // Compound keys are built column by column into one buffer; a descending text must invert
    // only its own bytes.
    Bytes out = {0x12, 0x34};
    appendTextKey(u"ab", false, out);
    Bytes alone;
    appendTextKey(u"ab", false, alone);
    ASSERT_EQ(out.size(), 2 + alone.size());
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 2), (Bytes{0x12, 0x34}));
    EXPECT_EQ(Bytes(out.begin() + 2, out.end()), alone);
}

TEST(IndexKeyTest, TextSortsAsAccessSortsIt) {
    // Texts in General order, each strictly before the next; the key order must follow in both
    // directions. Æ and Þ sort as AE and TH; the hyphen only breaks ties.
    const std::vector<std::u16string> ordered = {u"",        u" x",    u"1",   u"9",         u"a",
                                                 u"A\u00C1", u"ab",    u"abc", u"\u00C6on",  u"b",
                                                 u"coop",    u"co-op", u"cz",  u"\u00DEorn", u"z"};
    for (std::size_t i = 0; i + 1 < ordered.size(); ++i) {
        Bytes a, b, da, db;
        appendTextKey(ordered[i], true, a);
        appendTextKey(ordered[i + 1], true, b);
        appendTextKey(ordered[i], false, da);
        appendTextKey(ordered[i + 1], false, db);
        EXPECT_LT(a, b) << i;
        EXPECT_GT(da, db) << i;
    }
}

TEST(IndexKeyTest, CaseAndTrailingBlanksDoNotChangeTextKeys) {
    EXPECT_EQ(textKeyBody(u"Smith", true), textKeyBody(u"SMITH", true));
    EXPECT_EQ(textKeyBody(u"Smith  ", true), textKeyBody(u"Smith", true));
    EXPECT_NE(textKeyBody(u"Smith", true), textKeyBody(u"Smyth", true));
}

TEST(IndexKeyTest, OnlyTheFirst255CharactersCount) {
    std::u16string a(255, u'a'), b = a;
    a += u"xyz";
    b += u"qrs";
    EXPECT_EQ(textKeyBody(a, true), textKeyBody(b, true));
    EXPECT_NE(textKeyBody(a.substr(0, 254) + u"b", true), textKeyBody(b, true));
}

TEST(IndexKeyTest, TextOutsideTheSortTableIsRefused) {
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

TEST(IndexKeyTest, NullKeysSortBeforeValuesGoingUpAndAfterGoingDown) {
    Bytes nullAsc, nullDesc, valueAsc, valueDesc;
    appendNullKey(true, nullAsc);
    appendNullKey(false, nullDesc);
    EXPECT_EQ(nullAsc, Bytes{0x00});
    EXPECT_EQ(nullDesc, Bytes{0xFF});
    for (ColumnType t : {ColumnType::Byte, ColumnType::Long, ColumnType::Double}) {
        Bytes zero(t == ColumnType::Byte ? 1 : t == ColumnType::Long ? 4 : 8, 0);
        EXPECT_LT(nullAsc, key(t, zero, true));
        EXPECT_GT(nullDesc, key(t, zero, false));
    }
    appendTextKey(u"", true, valueAsc);
    appendTextKey(u"", false, valueDesc);
    EXPECT_LT(nullAsc, valueAsc);
    EXPECT_GT(nullDesc, valueDesc);
}

// Each row: a type and its values in ascending order, as the row stores them.
struct OrderCase {
    const char* name;
    ColumnType type;
    std::vector<Bytes> ascending;
};

class FixedKeyOrderTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(FixedKeyOrderTest, KeysFollowValueOrderBothWays) {
    const OrderCase& c = GetParam();
    for (std::size_t i = 0; i + 1 < c.ascending.size(); ++i) {
        EXPECT_LT(key(c.type, c.ascending[i], true), key(c.type, c.ascending[i + 1], true))
            << c.name << " #" << i;
        EXPECT_GT(key(c.type, c.ascending[i], false), key(c.type, c.ascending[i + 1], false))
            << c.name << " #" << i;
    }
}

// A Decimal as the row holds it: sign byte, then the magnitude's four 32-bit words from the
// most significant, each little-endian.
Bytes decimal(bool negative, std::uint64_t high, std::uint64_t low) {
    Bytes b(17, 0);
    b[0] = negative ? 0x80 : 0x00;
    std::uint32_t words[4] = {
        static_cast<std::uint32_t>(high >> 32), static_cast<std::uint32_t>(high),
        static_cast<std::uint32_t>(low >> 32), static_cast<std::uint32_t>(low)};
    for (int w = 0; w < 4; ++w)
        for (int k = 0; k < 4; ++k)
            b[1 + w * 4 + k] = static_cast<std::uint8_t>(words[w] >> (8 * k));
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Types, FixedKeyOrderTest,
    ::testing::Values(
        OrderCase{"byte", ColumnType::Byte, {{0}, {1}, {0x7F}, {0x80}, {0xFF}}},
        OrderCase{"int",
                  ColumnType::Int,
                  {le<std::int16_t>(-32768), le<std::int16_t>(-256), le<std::int16_t>(-1),
                   le<std::int16_t>(0), le<std::int16_t>(1), le<std::int16_t>(255),
                   le<std::int16_t>(256), le<std::int16_t>(32767)}},
        OrderCase{"long",
                  ColumnType::Long,
                  {le<std::int32_t>(INT32_MIN), le<std::int32_t>(-65536), le<std::int32_t>(-1),
                   le<std::int32_t>(0), le<std::int32_t>(19), le<std::int32_t>(4813),
                   le<std::int32_t>(16777216), le<std::int32_t>(INT32_MAX)}},
        OrderCase{"money",
                  ColumnType::Money,
                  {le<std::int64_t>(INT64_MIN), le<std::int64_t>(-10000), le<std::int64_t>(0),
                   le<std::int64_t>(1), le<std::int64_t>(1LL << 40), le<std::int64_t>(INT64_MAX)}},
        OrderCase{"single",
                  ColumnType::Float,
                  {le<float>(-1e30f), le<float>(-2.5f), le<float>(-1e-30f), le<float>(0.0f),
                   le<float>(1e-30f), le<float>(0.5f), le<float>(2.5f), le<float>(1e30f)}},
        OrderCase{"double",
                  ColumnType::Double,
                  {le<double>(-1e300), le<double>(-1.0), le<double>(-1e-300), le<double>(0.0),
                   le<double>(1e-300), le<double>(1.0), le<double>(1.5), le<double>(1e300)}},
        OrderCase{"date",
                  ColumnType::DateTime,
                  {le<double>(-657434.0), le<double>(-1.25), le<double>(0.0), le<double>(0.5),
                   le<double>(29931.0), le<double>(2958465.99)}},
        OrderCase{"yes/no", ColumnType::Boolean, {{1}, {0}}},
        OrderCase{"guid",
                  ColumnType::Guid,
                  {Bytes(16, 0),
                   {0x00, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, // first group LE
                   {0x01, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                   {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                   {0xFF, 0xFF, 0xFF, 0xFF, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                   {0xFF, 0xFF, 0xFF, 0xFF, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}}}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& c : n)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return n;
    });

TEST(IndexKeyTest, DecimalKeysOrderAsJet4OrdersThem) {
    // Ascending follows the values. Descending reverses each sign's values, but Jet 4 keeps
    // all negatives before all positives (a known Access 2000-2003 quirk that files written
    // by Access depend on).
    const std::vector<Bytes> values = {decimal(true, 1, 0),  decimal(true, 0, 500),
                                       decimal(true, 0, 1),  decimal(false, 0, 0),
                                       decimal(false, 0, 1), decimal(false, 0, 1u << 31),
                                       decimal(false, 2, 0)};
    for (std::size_t i = 0; i + 1 < values.size(); ++i)
        EXPECT_LT(key(ColumnType::Numeric, values[i], true),
                  key(ColumnType::Numeric, values[i + 1], true))
            << i;
    EXPECT_GT(key(ColumnType::Numeric, values[0], false),
              key(ColumnType::Numeric, values[2], false));
    EXPECT_GT(key(ColumnType::Numeric, values[4], false),
              key(ColumnType::Numeric, values[6], false));
    EXPECT_LT(key(ColumnType::Numeric, values[2], false),
              key(ColumnType::Numeric, values[4], false));
}

TEST(IndexKeyTest, KeysAccessWroteForKnownValues) {
    // Keys read from Access-made files (compIndexTestV2000: a descending Long index; a
    // descending Null is the single byte 0xFF), and the single-byte and flag forms.
    EXPECT_EQ(hex(key(ColumnType::Long, le<std::int32_t>(19), false)), "807fffffec");
    EXPECT_EQ(hex(key(ColumnType::Long, le<std::int32_t>(4813), false)), "807fffed32");
    EXPECT_EQ(hex(key(ColumnType::Long, le<std::int32_t>(1), true)), "7f80000001");
    EXPECT_EQ(hex(key(ColumnType::Int, le<std::int16_t>(-2), true)), "7f7ffe");
    EXPECT_EQ(hex(key(ColumnType::Byte, {0x05}, false)), "80fa");
    EXPECT_EQ(hex(key(ColumnType::Double, le<double>(-1.0), true)), "7f400fffffffffffff");
    EXPECT_EQ(hex(key(ColumnType::Double, le<double>(1.0), false)), "80400fffffffffffff");
}

TEST(IndexKeyTest, GuidKeysAreTwoGroupsWithCounts) {
    Bytes raw = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    EXPECT_EQ(hex(key(ColumnType::Guid, raw, true)), "7f"
                                                     "0011223344556677"
                                                     "09"
                                                     "8899aabbccddeeff"
                                                     "08");
    EXPECT_EQ(hex(key(ColumnType::Guid, raw, false)), "80"
                                                      "ffeeddccbbaa9988"
                                                      "09"
                                                      "7766554433221100"
                                                      "f7");
}

TEST(IndexKeyTest, BinaryKeysPadTheLastGroup) {
    Bytes out;
    appendBinaryKey(Bytes{0x01, 0x02, 0x03}, true, out);
    EXPECT_EQ(hex(out), "7f"
                        "0102030000000000"
                        "03");
    out.clear();
    appendBinaryKey(Bytes{}, true, out);
    EXPECT_EQ(hex(out), "7f");
}

struct BadFixed {
    ColumnType type;
    std::size_t width;
};

class FixedKeyRefusalTest : public ::testing::TestWithParam<BadFixed> {};

TEST_P(FixedKeyRefusalTest, WrongTypesAndWidthsAreErrors) {
    Bytes out = {0xAB};
    EXPECT_THROW(appendFixedKey(GetParam().type, Bytes(GetParam().width, 0), true, out), Error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FixedKeyRefusalTest,
    ::testing::Values(BadFixed{ColumnType::Long, 2}, BadFixed{ColumnType::Long, 8},
                      BadFixed{ColumnType::Int, 4}, BadFixed{ColumnType::Double, 4},
                      BadFixed{ColumnType::Guid, 17}, BadFixed{ColumnType::Numeric, 16},
                      BadFixed{ColumnType::Boolean, 0}, BadFixed{ColumnType::Text, 4},
                      BadFixed{ColumnType::Memo, 12}, BadFixed{ColumnType::Ole, 12},
                      BadFixed{ColumnType::Binary, 8}));

// --- keys Access stored ---

namespace {

std::vector<std::filesystem::path> accessJet4Files() {
    std::vector<std::filesystem::path> out;
    auto root = testsupport::fixturesDir();
    if (root.empty())
        return out;
    for (const char* dir : {"access-made", "templates/jet4"}) {
        if (!std::filesystem::exists(root / dir))
            continue;
        for (const auto& e : std::filesystem::directory_iterator(root / dir)) {
            std::string n = e.path().filename().string();
            for (char& c : n)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (n.ends_with(".mdb") && n.find("v1997") == std::string::npos)
                out.push_back(e.path());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Leaf entries of the tree under `root`, left to right.
std::vector<IndexEntry> treeEntries(PageFile& f, std::uint32_t root, const std::string& where) {
    IndexPageLoader load = [&](std::uint32_t n) {
        if (n == 0 || n >= f.pageCount())
            throw Error(where + ": page " + std::to_string(n) + " outside the file");
        auto v = f.page(n)->view();
        return Bytes(v.begin(), v.end());
    };
    std::uint32_t page = root;
    for (int depth = 0;; ++depth) {
        if (depth > 16)
            throw Error(where + ": too deep");
        Bytes b = load(page);
        IndexNode n = decodeIndexNode(b, where, load);
        if (n.leaf)
            break;
        page = n.entries.at(0).child;
    }
    std::vector<IndexEntry> out;
    for (int guard = 0; page != 0 && guard < 100000; ++guard) {
        IndexNode n = decodeIndexNode(load(page), where, load);
        out.insert(out.end(), n.entries.begin(), n.entries.end());
        page = n.next;
    }
    return out;
}

bool keyableColumn(ColumnType t) {
    return t == ColumnType::Text || t == ColumnType::Memo || hasFixedKey(t);
}

} // namespace

TEST(IndexKeyAccessTest, StoredKeysAreTheKeysOfTheRows) {
    auto files = accessJet4Files();
    if (files.empty())
        GTEST_SKIP() << "fixtures not present";
    std::map<ColumnType, std::size_t> verified; // keys compared, per column type
    std::size_t indexes = 0, skipped = 0, outside = 0, descending = 0, nulls = 0;
    for (const auto& path : files) {
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
                std::string where = path.filename().string() + ", table " + utf8(d.name) +
                                    ", index #" + std::to_string(i);
                SCOPED_TRACE(where);
                bool keyable = !ri.columns.empty();
                for (const auto& ic : ri.columns) {
                    const ColumnDef* c = d.columnByNumber(ic.columnNumber);
                    keyable = keyable && c && keyableColumn(c->type);
                }
                if (!keyable) {
                    ++skipped;
                    continue;
                }
                // Keys Access stored, by the row they stand for; all in key order.
                std::vector<IndexEntry> got = treeEntries(t.file(), ri.firstPage, where);
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
                        ++outside; // text outside Windows-1252: refused, nothing to compare
                        continue;
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
    EXPECT_GT(indexes, 20u);
    EXPECT_GT(verified[ColumnType::Text], 100u);
    EXPECT_GT(verified[ColumnType::Long], 500u);
    EXPECT_GT(descending, 0u);
    std::string summary;
    for (const auto& [type, n] : verified)
        summary += " type " + std::to_string(static_cast<int>(type)) + ": " + std::to_string(n);
    std::cout << "[ verified ] " << indexes << " indexes (" << skipped << " of other types, "
              << outside << " with text outside Windows-1252, " << nulls << " null keys);"
              << summary << "\n";
}
