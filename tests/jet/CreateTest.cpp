// New databases and tables: what the engine writes reads back as written through our reader
// and mdbtools, and a definition Access would refuse changes nothing.
#include "jet/Create.h"

#include "JetTest.h"
#include "jet/Check.h"
#include "support/Command.h"

namespace fs = std::filesystem;
using namespace jet;
using ::testing::HasSubstr;
using testsupport::haveMdbTools;
using testsupport::quote;
using testsupport::run;

TEST(Create, EmptyDatabaseHasTheSystemTablesAndNoUserTables) {
    testsupport::TempDir tmp;
    createDatabase(tmp / "new.mdb");
    auto db = Database::OpenDatabase(tmp / "new.mdb");
    const auto& h = db.File().header();
    EXPECT_EQ(h.version, JetVersion::Jet4);
    EXPECT_EQ(h.codePage, 1252);
    EXPECT_EQ(h.sortOrder, 0x0409u);
    EXPECT_GT(h.creationDate, 40000.0);
    EXPECT_TRUE(db.TableNames().empty());
    const std::string system =
        "MSysObjects\nMSysACEs\nMSysQueries\nMSysRelationships\nMSysAccessObjects\n";
    std::string names;
    for (const auto& e : db.Catalog())
        names += utf8(e.name) + "\n";
    EXPECT_EQ(names, system);
    // Access keeps the engine's own four tables on pages 2 to 5.
    for (std::uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(db.Catalog()[i].tdefPage, 2 + i);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
    db.Close();

    EXPECT_THROW(createDatabase(tmp / "new.mdb"), Error); // never over an existing file
    if (haveMdbTools()) {
        EXPECT_EQ(run("mdb-tables -S -1 " + quote((tmp / "new.mdb").string())).out, system);
    }
}

TEST(Create, TableDefinitionReadsBackAsWritten) {
    testsupport::TempDir tmp;
    const fs::path file = tmp / "t.mdb";
    jettest::withTable(file, jettest::everyType()).Close();
    auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    ASSERT_EQ(db.TableNames(), std::vector<std::u16string>{u"Every Type"});
    const TableDef& d = db.GetTable(u"every type").def();
    const NewTable want = jettest::everyType();
    ASSERT_EQ(d.columns.size(), want.columns.size());
    std::uint16_t fixedEnd = 0;
    for (std::size_t i = 0; i < d.columns.size(); ++i) {
        const ColumnDef& c = d.columns[i];
        SCOPED_TRACE(utf8(c.name));
        EXPECT_EQ(c.name, want.columns[i].name);
        EXPECT_EQ(c.type, want.columns[i].type);
        EXPECT_EQ(c.number, i);
        EXPECT_EQ(c.autoNumber(), want.columns[i].autoNumber);
        if (c.type == ColumnType::Text) {
            EXPECT_EQ(c.length, 2 * want.columns[i].size);
            EXPECT_TRUE(c.compressedUnicode());
        }
        if (c.fixed() && c.type != ColumnType::Boolean) {
            EXPECT_EQ(c.fixedOffset, fixedEnd); // fixed columns packed in column order
            fixedEnd = static_cast<std::uint16_t>(fixedEnd + c.length);
        }
    }
    ASSERT_EQ(d.indexes.size(), 4u);
    EXPECT_TRUE(d.indexes[0].primaryKey());
    EXPECT_TRUE(d.realIndexes[d.indexes[0].realIndex].unique());
    const RealIndex& byName = d.realIndexes[d.indexes[1].realIndex];
    EXPECT_TRUE(byName.unique());
    ASSERT_EQ(byName.columns.size(), 2u);
    EXPECT_FALSE(byName.columns[0].ascending);
    EXPECT_TRUE(byName.columns[1].ascending);
    EXPECT_EQ(d.realIndexes[d.indexes[2].realIndex].columns.size(), 3u);
    EXPECT_FALSE(d.realIndexes[d.indexes[3].realIndex].unique());
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
    if (haveMdbTools()) {
        const auto schema = run("mdb-schema --indexes " + quote(file.string())).out;
        for (const char* s : {"[Every Type]", "[Notes]\t\t\tMemo", "[Price]\t\t\tCurrency",
                              "[Flag]\t\t\tBoolean", "[When]\t\t\tDateTime"})
            EXPECT_NE(schema.find(s), std::string::npos) << s << "\n" << schema;
    }
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

// Tables created after thousands of data pages keep maps that reach their own pages.
TEST(Create, ManyTablesFarIntoTheFile) {
    testsupport::TempDir tmp;
    const fs::path file = tmp / "many.mdb";
    createDatabase(file);
    auto db = Database::OpenDatabase(file);
    std::uint32_t lastDefinition = 0;
    for (int t = 0; t < 5; ++t) {
        std::u16string name = u"T" + utf16(std::to_string(t));
        createTable(db, {name,
                         {{u"ID", ColumnType::Long, 0, true}, {u"Text", ColumnType::Text, 255}},
                         {{u"PrimaryKey", {{u"ID"}}, true}, {u"ByText", {{u"Text"}}}}});
        lastDefinition = db.GetTable(name).def().page;
        auto rs = db.OpenRecordset(name);
        for (int i = 0; i < 3000; ++i) {
            rs.AddNew();
            rs["Text"] = std::u16string(200, static_cast<char16_t>(u'a' + i % 26));
            rs.Update();
        }
    }
    EXPECT_GT(lastDefinition, 512u); // past what a map starting at page 0 reaches
    db.Close();
    auto again = Database::OpenDatabase(file, OpenMode::ReadOnly);
    EXPECT_EQ(checkDatabase(again), std::vector<std::string>{});
    EXPECT_EQ(again.TableNames(), (std::vector<std::u16string>{u"T0", u"T1", u"T2", u"T3", u"T4"}));
    EXPECT_EQ(again.OpenRecordset(u"T4").RecordCount(), 3000);
}
