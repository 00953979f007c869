// New databases and tables: what the engine writes must read back the same through our reader,
// hold up under inserts and deletes with every index checked, and open in mdbtools.
#include "jet/Create.h"

#include "jet/Check.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/Export.h"
#include "support/Command.h"
#include "support/TempDir.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;
using namespace jet;

namespace {

using testsupport::haveMdbTools;
using testsupport::mdbTool;
using testsupport::Outcome;
using testsupport::quote;
using testsupport::run;

NewTable everyType() {
    using T = ColumnType;
    NewTable t;
    t.name = u"Every Type";
    t.columns = {{u"ID", T::Long, 0, true}, {u"Name", T::Text, 40}, {u"Notes", T::Memo},
                 {u"Small", T::Byte},       {u"Count", T::Int},     {u"Big", T::Long},
                 {u"Ratio", T::Float},      {u"Value", T::Double},  {u"Price", T::Money},
                 {u"When", T::DateTime},    {u"Flag", T::Boolean},  {u"Code", T::Text, 1}};
    t.indexes = {{u"PrimaryKey", {{u"ID"}}, true},
                 {u"ByName", {{u"Name", false}, {u"Big"}}, false, true},
                 {u"ByWhen", {{u"When"}, {u"Price", false}, {u"Code"}}},
                 {u"ByCount", {{u"Count"}}}};
    return t;
}

std::vector<std::string> problems(const fs::path& file) {
    auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    return checkDatabase(db);
}

std::string exported(const fs::path& file, const char16_t* table) {
    auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    std::ostringstream out;
    exportTable(db, table, out);
    return out.str();
}

} // namespace

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
    std::vector<std::u16string> system;
    for (const auto& e : db.Catalog())
        system.push_back(e.name);
    EXPECT_EQ(system, (std::vector<std::u16string>{u"MSysObjects", u"MSysACEs", u"MSysQueries",
                                                   u"MSysRelationships", u"MSysAccessObjects"}));
    // Access keeps the engine's own four tables on pages 2 to 5.
    for (std::uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(db.Catalog()[i].tdefPage, 2 + i);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
    db.Close();

    EXPECT_THROW(createDatabase(tmp / "new.mdb"), Error); // never over an existing file
    if (haveMdbTools()) {
        Outcome r = run("mdb-tables -S -1 " + quote((tmp / "new.mdb").string()));
        EXPECT_EQ(r.out, "MSysObjects\nMSysACEs\nMSysQueries\nMSysRelationships\n"
                         "MSysAccessObjects\n");
    }
}

TEST(Create, TableDefinitionReadsBackAsWritten) {
    testsupport::TempDir tmp;
    createDatabase(tmp / "t.mdb");
    {
        auto db = Database::OpenDatabase(tmp / "t.mdb");
        createTable(db, everyType());
        db.Close();
    }
    auto db = Database::OpenDatabase(tmp / "t.mdb", OpenMode::ReadOnly);
    ASSERT_EQ(db.TableNames(), std::vector<std::u16string>{u"Every Type"});
    const TableDef& d = db.GetTable(u"every type").def();
    const NewTable want = everyType();
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
}

// Enough rows to split index pages and to spill past the first data pages, then a third of
// them deleted: every index must still hold exactly the rows, and mdbtools must read them.
TEST(Create, RowsGoInAndOutWithEveryIndexSound) {
    testsupport::TempDir tmp;
    const fs::path file = tmp / "rows.mdb";
    createDatabase(file);
    const int n = 1500;
    {
        auto db = Database::OpenDatabase(file);
        createTable(db, everyType());
        auto rs = db.OpenRecordset(u"Every Type");
        for (int i = 0; i < n; ++i) {
            rs.AddNew();
            rs["Name"] = u"Name " + utf16(std::to_string((i * 7919) % n)) + u" Ç'é";
            if (i % 5 == 0)
                rs["Notes"] = std::u16string(static_cast<std::size_t>(50 + i % 3000), u'x');
            rs["Small"] = i % 256;
            rs["Count"] = i % 100 - 50;
            rs["Big"] = i;
            rs["Ratio"] = i / 4.0;
            rs["Value"] = i * 1.5;
            rs["Price"] = u"12.34";
            rs["When"] = u"1974-09-21";
            rs["Flag"] = i % 2 == 0;
            if (i % 7)
                rs["Code"] = std::u16string(1, static_cast<char16_t>(u'A' + i % 26));
            rs.Update();
        }
        EXPECT_EQ(rs.RecordCount(), n);
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
            if (std::get<std::int32_t>(rs.GetValue(u"Big")) % 3 == 0)
                rs.Delete();
        db.Close();
    }
    EXPECT_EQ(problems(file), std::vector<std::string>{});
    {
        auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
        auto rs = db.OpenRecordset(u"Every Type");
        EXPECT_EQ(rs.RecordCount(), n - (n + 2) / 3);
        EXPECT_EQ(db.GetTable(u"Every Type").def().lastAutoNumber, static_cast<std::uint32_t>(n));
        rs.MoveFirst();
        EXPECT_EQ(rs.GetValue(u"ID"), Value(std::int32_t{2}));
        EXPECT_EQ(rs.GetValue(u"Price"), Value(Currency{123400}));
    }
    // A duplicate of a unique key is refused and changes nothing.
    {
        auto db = Database::OpenDatabase(file);
        auto rs = db.OpenRecordset(u"Every Type");
        rs.MoveFirst();
        std::u16string name = std::get<std::u16string>(rs.GetValue(u"Name"));
        Value big = rs.GetValue(u"Big");
        for (auto& c : name)
            c = c == u'ç' ? u'Ç' : static_cast<char16_t>(std::toupper(c));
        rs.AddNew();
        rs["Name"] = name; // keys ignore case
        rs["Big"] = big;
        try {
            rs.Update();
            ADD_FAILURE() << "duplicate accepted";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("ByName"), std::string::npos) << e.what();
        }
        db.Close();
    }
    EXPECT_EQ(problems(file), std::vector<std::string>{});
    if (!haveMdbTools())
        GTEST_SKIP() << "mdbtools not installed";
    Outcome theirs = run("mdb-export -d '\t' -Q " + quote(file.string()) + " 'Every Type'");
    ASSERT_EQ(theirs.status, 0);
    std::string ours = exported(file, u"Every Type");
    EXPECT_EQ(std::count(theirs.out.begin(), theirs.out.end(), '\n'),
              std::count(ours.begin(), ours.end(), '\n'));
    // Same names in the same scan order.
    auto names = [](const std::string& tsv) {
        std::vector<std::string> v;
        std::istringstream in(tsv);
        std::string line;
        while (std::getline(in, line)) {
            auto a = line.find('\t'), b = line.find('\t', a + 1);
            v.push_back(line.substr(a + 1, b - a - 1));
        }
        return v;
    };
    EXPECT_EQ(names(theirs.out), names(ours));
    Outcome schema = run("mdb-schema --indexes " + quote(file.string()) + " 2>/dev/null");
    for (const char* s : {"[Every Type]", "[Notes]\t\t\tMemo", "[Price]\t\t\tCurrency",
                          "[Flag]\t\t\tBoolean", "[When]\t\t\tDateTime"})
        EXPECT_NE(schema.out.find(s), std::string::npos) << s << "\n" << schema.out;
}

struct BadTable {
    const char* name;
    NewTable (*make)();
    const char* message;
};

class CreateBadTable : public ::testing::TestWithParam<BadTable> {};

TEST_P(CreateBadTable, IsRefusedAndChangesNothing) {
    testsupport::TempDir tmp;
    const fs::path file = tmp / "bad.mdb";
    createDatabase(file);
    {
        auto db = Database::OpenDatabase(file);
        createTable(db, {u"Existing", {{u"A", ColumnType::Long}}, {}});
        db.Close();
    }
    const std::string before = testsupport::readFile(file);
    {
        auto db = Database::OpenDatabase(file);
        try {
            createTable(db, GetParam().make());
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos)
                << e.what();
        }
        db.Close();
    }
    EXPECT_EQ(testsupport::readFile(file), before);
}

INSTANTIATE_TEST_SUITE_P(
    Create, CreateBadTable,
    ::testing::Values(
        BadTable{"ExistingName",
                 [] {
                     return NewTable{u"EXISTING", {{u"A", ColumnType::Long}}, {}};
                 },
                 "already exists"},
        BadTable{"SystemName",
                 [] {
                     return NewTable{u"msysobjects", {{u"A", ColumnType::Long}}, {}};
                 },
                 "already exists"},
        BadTable{"NoColumns",
                 [] {
                     return NewTable{u"T", {}, {}};
                 },
                 "0 columns"},
        BadTable{"TwoColumnsOneName",
                 [] {
                     return NewTable{u"T", {{u"A", ColumnType::Long}, {u"a", ColumnType::Int}}, {}};
                 },
                 "two columns are named"},
        BadTable{"TextTooWide",
                 [] {
                     return NewTable{u"T", {{u"A", ColumnType::Text, 256}}, {}};
                 },
                 "256 characters"},
        BadTable{"TextAutonumber",
                 [] {
                     return NewTable{u"T", {{u"A", ColumnType::Text, 10, true}}, {}};
                 },
                 "only a long column"},
        BadTable{"BracketInName",
                 [] {
                     return NewTable{u"T[1]", {{u"A", ColumnType::Long}}, {}};
                 },
                 "does not allow"},
        BadTable{"IndexOnUnknownColumn",
                 [] {
                     return NewTable{u"T", {{u"A", ColumnType::Long}}, {{u"I", {{u"B"}}}}};
                 },
                 "no column named 'B'"},
        BadTable{"IndexOnMemo",
                 [] {
                     return NewTable{u"T", {{u"A", ColumnType::Memo}}, {{u"I", {{u"A"}}}}};
                 },
                 "cannot be indexed"},
        BadTable{"TwoPrimaryKeys",
                 [] {
                     return NewTable{u"T",
                                     {{u"A", ColumnType::Long}, {u"B", ColumnType::Long}},
                                     {{u"P1", {{u"A"}}, true}, {u"P2", {{u"B"}}, true}}};
                 },
                 "already has a primary key"},
        BadTable{"ElevenIndexColumns",
                 [] {
                     NewTable t{u"T", {}, {{u"I", {}}}};
                     for (int i = 0; i < 11; ++i) {
                         std::u16string n(1, static_cast<char16_t>(u'A' + i));
                         t.columns.push_back({n, ColumnType::Long});
                         t.indexes[0].columns.push_back({n});
                     }
                     return t;
                 },
                 "11 columns (1 to 10 allowed)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Create, ManyTablesFarIntoTheFile) {
    // Tables created after thousands of data pages keep maps that reach their own pages.
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
    EXPECT_EQ(problems(file), std::vector<std::string>{});
    auto again = Database::OpenDatabase(file, OpenMode::ReadOnly);
    EXPECT_EQ(again.TableNames(), (std::vector<std::u16string>{u"T0", u"T1", u"T2", u"T3", u"T4"}));
    EXPECT_EQ(again.OpenRecordset(u"T4").RecordCount(), 3000);
}

// The repository's own schemas build databases that read back as the schema says, and the
// schema printed from them builds the same database again.
TEST(CreateTool, SchemaRoundTrip) {
    testsupport::TempDir tmp;
    // And required columns, unique and descending indexes, which the repository's schemas lack.
    testsupport::writeFile(tmp / "required.sql",
                           std::string("CREATE TABLE [People] ([ID] COUNTER, [Name] TEXT(30) NOT "
                                       "NULL, [Born] DATETIME NOT NULL, [Note] MEMO);\n"
                                       "CREATE UNIQUE INDEX [ByName] ON [People] ([Name] DESC, "
                                       "[Born]);\n"));
    for (const char* name : {"BRANDMDB.sql", "sysrestore.sql", "required.sql"}) {
        SCOPED_TRACE(name);
        const fs::path schema = std::string(name) == "required.sql"
                                    ? tmp / name
                                    : fs::path(TARNFIELD_SCHEMAS_DIR) / name;
        const fs::path first = tmp / (std::string(name) + ".1.mdb");
        const fs::path second = tmp / (std::string(name) + ".2.mdb");
        Outcome made = mdbTool("create " + quote(first.string()) + " " + quote(schema.string()));
        ASSERT_EQ(made.status, 0) << made.out;
        Outcome printed = mdbTool("schema " + quote(first.string()));
        ASSERT_EQ(printed.status, 0) << printed.out;
        if (std::string(name) == "required.sql") {
            EXPECT_NE(printed.out.find("[Born] DATETIME NOT NULL"), std::string::npos)
                << printed.out;
        }
        testsupport::writeFile(tmp / "printed.sql", printed.out);
        made = mdbTool("create " + quote(second.string()) + " " +
                       quote((tmp / "printed.sql").string()));
        ASSERT_EQ(made.status, 0) << made.out;
        EXPECT_EQ(mdbTool("schema " + quote(second.string())).out, printed.out);
        Outcome check = mdbTool("check " + quote(second.string()));
        EXPECT_EQ(check.status, 0) << check.out;
        if (haveMdbTools()) {
            Outcome ours = mdbTool("tables " + quote(first.string()));
            Outcome theirs = run("mdb-tables -1 " + quote(first.string()));
            EXPECT_EQ(ours.out, theirs.out);
        }
    }
}

// The host template's schema as printed from the fixture rebuilds the same tables.
TEST(CreateTool, FixtureTemplateSchemaRebuilds) {
    const fs::path fixture = testsupport::fixturesDir() / "templates/jet4/BRANDMDB.MDB";
    if (testsupport::fixturesDir().empty() || !fs::exists(fixture))
        GTEST_SKIP() << "fixtures absent";
    testsupport::TempDir tmp;
    Outcome printed = mdbTool("schema " + quote(fixture.string()));
    ASSERT_EQ(printed.status, 0);
    testsupport::writeFile(tmp / "t.sql", printed.out);
    Outcome made = mdbTool("create " + quote((tmp / "t.mdb").string()) + " " +
                           quote((tmp / "t.sql").string()));
    ASSERT_EQ(made.status, 0) << made.out;
    EXPECT_EQ(mdbTool("schema " + quote((tmp / "t.mdb").string())).out, printed.out);
    // And the ours matches the fixture's.
    const fs::path ours = fs::path(TARNFIELD_SCHEMAS_DIR) / "BRANDMDB.sql";
    made = mdbTool("create " + quote((tmp / "o.mdb").string()) + " " + quote(ours.string()));
    ASSERT_EQ(made.status, 0) << made.out;
    EXPECT_EQ(mdbTool("schema " + quote((tmp / "o.mdb").string())).out, printed.out);
}

// A created template gets through the import's write pattern: rows in, every table emptied,
// rows in again, with the untouched table keeping its rows.
TEST(CreateTool, CreatedTemplateTakesRowsThroughTheTool) {
    testsupport::TempDir tmp;
    const std::string db = quote((tmp / "BRANDMDB.MDB").string());
    const fs::path schema = fs::path(TARNFIELD_SCHEMAS_DIR) / "BRANDMDB.sql";
    ASSERT_EQ(mdbTool("create " + db + " " + quote(schema.string())).status, 0);
    testsupport::writeFile(tmp / "people.tsv",
                           std::string("Employee_ID\tLast_Name\tFirst_Name\tSocial\tNotes\n"
                                       "1\tO'Brien\tÉlise\t123-45-6789\tfirst\n"
                                       "2\tSmith\tJohn\t\\N\t\\N\n"
                                       "3\tsmith\tjohn\t987-65-4321\tthird\n"));
    testsupport::writeFile(tmp / "letters.tsv", std::string("Title\tBody\tActive\n"
                                                            "Welcome\tDear member\ttrue\n"));
    const std::string people = quote((tmp / "people.tsv").string());
    ASSERT_EQ(mdbTool("import " + db + " Active_Employees < " + people).status, 0);
    ASSERT_EQ(
        mdbTool("import " + db + " Letter_Templates < " + quote((tmp / "letters.tsv").string()))
            .status,
        0);
    // A second person with the same key is refused.
    Outcome dup = mdbTool("import " + db + " Active_Employees < " + people);
    EXPECT_NE(dup.status, 0);
    EXPECT_NE(dup.out.find("PrimaryKey"), std::string::npos) << dup.out;
    ASSERT_EQ(mdbTool("delete " + db + " Active_Employees").status, 0);
    ASSERT_EQ(mdbTool("import " + db + " Active_Employees < " + people).status, 0);
    Outcome check = mdbTool("check " + db);
    EXPECT_EQ(check.status, 0) << check.out;
    Outcome rows = mdbTool("export " + db + " Active_Employees");
    EXPECT_EQ(std::count(rows.out.begin(), rows.out.end(), '\n'), 4) << rows.out;
    EXPECT_NE(mdbTool("export " + db + " Letter_Templates").out.find("Welcome\tDear member\ttrue"),
              std::string::npos);
    if (haveMdbTools()) {
        Outcome theirs = run("mdb-export " + db + " Active_Employees");
        EXPECT_NE(theirs.out.find("\"O'Brien\",\"Élise\""), std::string::npos) << theirs.out;
    }
}

TEST(CreateTool, BadSchemaLeavesNoFile) {
    testsupport::TempDir tmp;
    testsupport::writeFile(tmp / "bad.sql", std::string("CREATE TABLE [A] ([x] LONG);\n"
                                                        "CREATE INDEX [i] ON [A] ([y]);\n"));
    testsupport::writeFile(tmp / "typo.sql", std::string("CREATE TABLE [A] (\n  [x] LONGG\n);\n"));
    Outcome r = mdbTool("create " + quote((tmp / "a.mdb").string()) + " " +
                        quote((tmp / "bad.sql").string()));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("no column named 'y'"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(tmp / "a.mdb"));
    r = mdbTool("create " + quote((tmp / "a.mdb").string()) + " " +
                quote((tmp / "typo.sql").string()));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("typo.sql, line 2: unknown type 'LONGG'"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(tmp / "a.mdb"));
    // An existing file is never replaced.
    testsupport::writeFile(tmp / "keep.mdb", std::string("precious"));
    r = mdbTool("create " + quote((tmp / "keep.mdb").string()) + " " +
                quote((fs::path(TARNFIELD_SCHEMAS_DIR) / "sysrestore.sql").string()));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(testsupport::readFile(tmp / "keep.mdb"), "precious");
}
