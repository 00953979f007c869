// New tables: schema text that is refused, a definition Access would refuse changing nothing,
// tables far into a file, and the page cache over a file of many pages. (What a new database holds
// is in MdbToolTest's schema round trip.)
#include "jet/Create.h"

#include "JetTest.h"
#include "jet/Check.h"
#include "jet/PageFile.h"
#include "jet/SchemaSql.h"
#include "support/Command.h"

namespace fs = std::filesystem;
using namespace jet;
using ::testing::HasSubstr;
using testsupport::haveMdbTools;
using testsupport::quote;
using testsupport::run;

namespace {

TEST(SchemaSql, BadTextNamesTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"CREATE TABLE t (c TEXT(256))", "line 1: size 256 of column 'c' is out of range"},
        {"CREATE TABLE t (c TEXT(0))", "out of range"},
        {"CREATE TABLE t (c MEMO(5))", "takes no size"},
        {"CREATE TABLE t (c VARIANT)", "unknown type 'VARIANT'"},
        {"CREATE TABLE t (\n c LONG,\n)", "line 3: expected a column name, found ')'"},
        {"CREATE TABLE t (c LONG", "expected ',', found the end of the text"},
        {"CREATE TABLE [t (c LONG)", "not closed"},
        {"CREATE VIEW v", "expected TABLE, INDEX or UNIQUE INDEX"},
        {"DROP TABLE t", "expected CREATE"},
        {"CREATE TABLE t (c LONG) CREATE TABLE u (c LONG)", "expected ';'"},
        {"CREATE TABLE t (c LONG);\nCREATE TABLE T (d LONG);",
         "line 2: table 'T' is created twice"},
        {"CREATE TABLE t (c LONG);\nCREATE INDEX i ON u (c);", "line 2: index 'i' is on table 'u'"},
        {"CREATE TABLE t (c LONG, CONSTRAINT k FOREIGN KEY (c))", "expected PRIMARY KEY or UNIQUE"},
        {"CREATE TABLE t (c LONG); CREATE INDEX i ON t (c) WITH", "after WITH"},
        {"CREATE TABLE t (c DECIMAL(30, 2))", "precision and scale"},
        {"CREATE TABLE t (c LONG NOT)", "expected NULL"},
        {"CREATE TABLE t (c LONG) $", "unexpected character '$'"},
    };
    for (const auto& [sql, message] : cases)
        EXPECT_THAT(jettest::errorOf([&] { parseSchemaSql(sql); }), HasSubstr(message)) << sql;
    EXPECT_TRUE(parseSchemaSql("  -- only a comment\n;;\n").empty());
}

TEST(Create, ABadTableIsRefusedAndChangesNothing) {
    using T = ColumnType;
    NewTable eleven{u"T", {}, {{u"I", {}}}};
    for (int i = 0; i < 11; ++i) {
        const std::u16string n(1, static_cast<char16_t>(u'A' + i));
        eleven.columns.push_back({n, T::Long});
        eleven.indexes[0].columns.push_back({n});
    }
    const std::pair<NewTable, const char*> cases[] = {
        {{u"EXISTING", {{u"A", T::Long}}, {}}, "already exists"},
        {{u"msysobjects", {{u"A", T::Long}}, {}}, "already exists"},
        {{u"T", {}, {}}, "0 columns"},
        {{u"T", {{u"A", T::Long}, {u"a", T::Int}}, {}}, "two columns are named"},
        {{u"T", {{u"A", T::Text, 256}}, {}}, "256 characters"},
        {{u"T", {{u"A", T::Text, 10, true}}, {}}, "only a long column"},
        {{u"T[1]", {{u"A", T::Long}}, {}}, "does not allow"},
        {{u"T", {{u"A", T::Long}}, {{u"I", {{u"B"}}}}}, "no column named 'B'"},
        {{u"T", {{u"A", T::Memo}}, {{u"I", {{u"A"}}}}}, "cannot be indexed"},
        {{u"T",
          {{u"A", T::Long}, {u"B", T::Long}},
          {{u"P1", {{u"A"}}, true}, {u"P2", {{u"B"}}, true}}},
         "already has a primary key"},
        {eleven, "11 columns (1 to 10 allowed)"},
    };
    testsupport::TempDir tmp;
    const fs::path file = tmp / "bad.mdb";
    jettest::withTable(file, {u"Existing", {{u"A", T::Long}}, {}}).Close();
    const std::string before = testsupport::readFile(file);
    for (const auto& [table, message] : cases) {
        auto db = Database::OpenDatabase(file);
        EXPECT_THAT(jettest::errorOf([&] { createTable(db, table); }), HasSubstr(message));
        db.Close();
        EXPECT_EQ(testsupport::readFile(file), before) << message;
    }
}

// Five tables of 3000 rows, each created after the rows of the one before, built once.
const fs::path& manyTables() {
    static testsupport::TempDir tmp;
    static const fs::path file = [] {
        createDatabase(tmp / "many.mdb");
        auto db = Database::OpenDatabase(tmp / "many.mdb");
        for (int t = 0; t < 5; ++t) {
            std::u16string name = u"T" + utf16(std::to_string(t));
            createTable(db, {name,
                             {{u"ID", ColumnType::Long, 0, true}, {u"Text", ColumnType::Text, 255}},
                             {{u"PrimaryKey", {{u"ID"}}, true}, {u"ByText", {{u"Text"}}}}});
            auto rs = db.OpenRecordset(name);
            for (int i = 0; i < 3000; ++i) {
                rs.AddNew();
                rs["Text"] = std::u16string(200, static_cast<char16_t>(u'a' + i % 26));
                rs.Update();
            }
        }
        db.Close();
        return tmp / "many.mdb";
    }();
    return file;
}

// Tables created after thousands of data pages keep maps that reach their own pages.
TEST(Create, ManyTablesFarIntoTheFile) {
    auto db = Database::OpenDatabase(manyTables(), OpenMode::ReadOnly);
    EXPECT_GT(db.GetTable(u"T4").def().page, 512u); // past what a map starting at page 0 reaches
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
    EXPECT_EQ(db.TableNames(), (std::vector<std::u16string>{u"T0", u"T1", u"T2", u"T3", u"T4"}));
    EXPECT_EQ(db.OpenRecordset(u"T4").RecordCount(), 3000);
}

// The cache stays within its bound, keeps the pages callers hold and writes back changed ones.
TEST(JetPageCache, BoundedKeepsHeldPagesAndWritesChanges) {
    PageFile f(manyTables(), OpenMode::ReadOnly, 16);
    ASSERT_GT(f.pageCount(), 100u);
    auto held = f.page(5);
    for (std::uint32_t p = 0; p < f.pageCount(); ++p) {
        auto page = f.page(p);
        ASSERT_EQ(page->number, p);
        ASSERT_EQ(page->bytes.size(), 4096u);
        EXPECT_LE(f.cachedPages(), 16u);
    }
    // Still the same object: a second copy could diverge once pages are written.
    EXPECT_EQ(f.page(5).get(), held.get());
    const std::size_t before = f.reads();
    f.page(f.pageCount() - 1);
    EXPECT_EQ(f.reads(), before) << "the most recent page should be cached";
    EXPECT_THROW(f.page(f.pageCount()), Error);
    EXPECT_THROW(f.writablePage(3), Error) << "read-only";
    EXPECT_THROW(f.appendPage(), Error) << "read-only";

    // Changed pages survive eviction and closing.
    testsupport::TempDir tmp;
    const fs::path copy = jettest::writableCopy(tmp, manyTables());
    PageFile w(copy, OpenMode::ReadWrite, 8);
    w.writablePage(20)->bytes[100] ^= 0xFF;
    for (std::uint32_t p = 30; p < 60; ++p) // pushes page 20 out of the cache
        w.page(p);
    w.writablePage(21)->bytes[200] ^= 0xFF; // stays cached until close
    auto added = w.appendPage();
    added->bytes[0] = 0x01;
    const std::uint32_t appended = added->number;
    w.close();
    EXPECT_THROW(w.page(0), Error);
    const std::string original = testsupport::readFile(manyTables());
    const std::string after = testsupport::readFile(copy);
    ASSERT_EQ(after.size(), original.size() + 4096);
    EXPECT_EQ(static_cast<std::uint8_t>(after[20 * 4096 + 100]),
              static_cast<std::uint8_t>(original[20 * 4096 + 100] ^ 0xFF));
    EXPECT_EQ(static_cast<std::uint8_t>(after[21 * 4096 + 200]),
              static_cast<std::uint8_t>(original[21 * 4096 + 200] ^ 0xFF));
    EXPECT_EQ(after[static_cast<std::size_t>(appended) * 4096], 0x01);
}

// Changed pages leave the cache in groups, neighbours in the file written together: whatever the
// cache's size, every change reaches the file once, and nothing else changes.
TEST(JetPageCache, ChangedPagesReachTheFileWhateverTheGrouping) {
    const std::string original = testsupport::readFile(manyTables());
    const std::uint32_t pages = static_cast<std::uint32_t>(original.size() / 4096);
    ASSERT_GT(pages, 400u);
    for (std::size_t cache : {8u, 64u, 512u}) {
        SCOPED_TRACE(cache);
        testsupport::TempDir tmp;
        const fs::path copy = jettest::writableCopy(tmp, manyTables());
        std::string expect = original;
        {
            PageFile w(copy, OpenMode::ReadWrite, cache);
            // A run of neighbours, a few apart, and the same page twice, then every page read
            // so that all of them leave the cache at least once.
            std::vector<std::uint32_t> changed;
            for (std::uint32_t p = 100; p < 180; ++p)
                changed.push_back(p);
            for (std::uint32_t p : {7u, 9u, 250u, 251u, 253u, 100u})
                changed.push_back(p);
            for (std::uint32_t p : changed) {
                auto page = w.writablePage(p);
                page->bytes[p % 4000] ^= 0x5A;
                expect[static_cast<std::size_t>(p) * 4096 + p % 4000] ^= 0x5A;
            }
            for (std::uint32_t p = 0; p < pages; ++p)
                w.page(p);
            w.close();
        }
        EXPECT_TRUE(testsupport::readFile(copy) == expect);
    }
}

} // namespace
