// The tarnfield-mdb front end: exit codes and one-line messages, create and schema round trips,
// import, delete and check together. Its listings of the fixtures are compared with mdbtools'
// beside the reference dumps.
#include "JetTest.h"
#include "support/Command.h"

namespace fs = std::filesystem;

namespace {

using testsupport::haveMdbTools;
using testsupport::mdbTool;
using testsupport::Outcome;
using testsupport::quote;
using testsupport::run;

const fs::path kSchemas = TARNFIELD_SCHEMAS_DIR;

Outcome import(const std::string& db, const std::string& table, const fs::path& rows) {
    return mdbTool("import " + db + " " + table + " < " + quote(rows.string()));
}

// What a printed schema does not show of a new database with the table [Person Data]: the header,
// the system tables on the pages Access keeps them on, texts stored compressed, fixed columns
// packed in column order; and what mdbtools reads of its columns and properties.
void expectLaidOutAsAccessDoes(const fs::path& file) {
    auto db = jet::Database::OpenDatabase(file, jet::OpenMode::ReadOnly);
    const auto& h = db.File().header();
    EXPECT_EQ(h.version, jet::JetVersion::Jet4);
    EXPECT_EQ(h.codePage, 1252);
    EXPECT_EQ(h.sortOrder, 0x0409u);
    EXPECT_GT(h.creationDate, 40000.0);
    std::string names;
    for (const auto& e : db.Catalog())
        names += jet::utf8(e.name) + "\n";
    const std::string tables = "MSysObjects\nMSysACEs\nMSysQueries\nMSysRelationships\n"
                               "MSysAccessObjects\nPerson Data\n";
    EXPECT_EQ(names, tables);
    for (std::uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(db.Catalog()[i].tdefPage, 2 + i);
    std::uint16_t fixedEnd = 0;
    for (const jet::ColumnDef& c : db.GetTable(u"Person Data").def().columns) {
        SCOPED_TRACE(jet::utf8(c.name));
        EXPECT_EQ(c.compressedUnicode(),
                  c.type == jet::ColumnType::Text || c.type == jet::ColumnType::Memo);
        if (c.fixed() && c.type != jet::ColumnType::Boolean) {
            EXPECT_EQ(c.fixedOffset, fixedEnd);
            fixedEnd = static_cast<std::uint16_t>(fixedEnd + c.length);
        }
    }
    EXPECT_EQ(fixedEnd, 72u); // ID to n
    if (!haveMdbTools())
        return;
    const std::string f = quote(file.string());
    EXPECT_EQ(run("mdb-tables -S -1 " + f).out, tables);
    const auto schema = run("mdb-schema " + f).out;
    for (const char* s :
         {"[Name]\t\t\tText (25) NOT NULL", "[Notes]\t\t\tMemo", "[Fee]\t\t\tNumeric (10, 2)",
          "[On]\t\t\tBoolean", "[h]\t\t\tCurrency", "[i]\t\t\tDateTime", "[m]\t\t\tReplication ID"})
        EXPECT_NE(schema.find(s), std::string::npos) << s << "\n" << schema;
    EXPECT_NE(run("mdb-prop " + f + " MSysDb").out.find("AccessVersion: 08.50"), std::string::npos);
}

// Every failure exits 2 with one line; a failed create leaves no file and replaces none.
TEST(MdbTool, BadCallsExitTwoWithOneLine) {
    testsupport::TempDir tmp;
    testsupport::writeFile(tmp / "notes.mdb", std::string("just some text\n"));
    testsupport::writeFile(tmp / "bad.sql", std::string("CREATE TABLE [A] ([x] LONG);\n"
                                                        "CREATE INDEX [i] ON [A] ([y]);\n"));
    testsupport::writeFile(tmp / "typo.sql", std::string("CREATE TABLE [A] (\n  [x] LONGG\n);\n"));
    jet::createDatabase(tmp / "empty.mdb");
    const std::string t = tmp.path().string() + "/";
    const std::pair<std::string, const char*> cases[] = {
        {"", "usage"},
        {"frobnicate " + t + "notes.mdb", "usage"},
        {"export " + t + "notes.mdb", "usage"},
        {"tables " + t + "absent.mdb", "cannot open"},
        {"tables " + t + "notes.mdb", "not an Access database"},
        {"export " + t + "empty.mdb Nope", "no table named 'Nope'"},
        {"create " + t + "a.mdb " + t + "bad.sql", "no column named 'y'"},
        {"create " + t + "a.mdb " + t + "typo.sql", "typo.sql, line 2: unknown type 'LONGG'"},
        {"create " + t + "notes.mdb " + (kSchemas / "sysrestore.sql").string(), "notes.mdb"},
    };
    for (const auto& [args, message] : cases) {
        Outcome r = mdbTool(args);
        EXPECT_EQ(r.status, 2) << args << ": " << r.out;
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << args << ": " << r.out;
        EXPECT_NE(r.out.find(message), std::string::npos) << args << ": " << r.out;
    }
    EXPECT_FALSE(fs::exists(tmp / "a.mdb"));
    EXPECT_EQ(testsupport::readFile(tmp / "notes.mdb"), "just some text\n");
}

// Schema text builds a database whose printed schema is what the text says (types and their
// synonyms, sizes, NOT NULL, primary, unique, descending and null-ignoring indexes), laid out as
// Access lays it out, and which builds the same database again; so do the repository's own
// schemas. The host template's schema
// printed from the Access-made fixture is the one the repository keeps.
TEST(MdbTool, SchemaRoundTrip) {
    testsupport::TempDir tmp;
    testsupport::writeFile(tmp / "every.sql", std::string(R"(-- a comment
CREATE TABLE [Person Data] ([ID] COUNTER, Name TEXT(25) NOT NULL, [Notes] memo NULL,
    [Fee] DECIMAL(10, 2), [Raw] BINARY(16), [On] YESNO, c BYTE, d SHORT, f SINGLE, g DOUBLE,
    h CURRENCY, i DATETIME, l LONGBINARY, m GUID, n INTEGER,
    CONSTRAINT [PrimaryKey] PRIMARY KEY ([ID]), CONSTRAINT [u] UNIQUE ([Name] DESC, [Fee]));
create unique index [ByName] on [person data] ([Name] ASC, [ID] DESC);
CREATE INDEX [ByFee] ON [Person Data] ([Fee]) WITH DISALLOW NULL IGNORE NULL;
)"));
    const std::string every = R"(CREATE TABLE [Person Data] (
    [ID] COUNTER,
    [Name] TEXT(25) NOT NULL,
    [Notes] MEMO,
    [Fee] DECIMAL(10, 2),
    [Raw] BINARY(16),
    [On] BIT,
    [c] BYTE,
    [d] SHORT,
    [f] SINGLE,
    [g] DOUBLE,
    [h] CURRENCY,
    [i] DATETIME,
    [l] LONGBINARY,
    [m] GUID,
    [n] LONG
);
CREATE INDEX [PrimaryKey] ON [Person Data] ([ID]) WITH PRIMARY;
CREATE UNIQUE INDEX [u] ON [Person Data] ([Name] DESC, [Fee]);
CREATE UNIQUE INDEX [ByName] ON [Person Data] ([Name], [ID] DESC);
CREATE INDEX [ByFee] ON [Person Data] ([Fee]) WITH DISALLOW NULL IGNORE NULL;
)";
    std::vector<fs::path> schemas{tmp / "every.sql", kSchemas / "BRANDMDB.sql",
                                  kSchemas / "sysrestore.sql"};
    std::string fromAccess;
    if (const auto brand = jettest::fixture("templates/jet4/BRANDMDB.MDB"); !brand.empty()) {
        fromAccess = mdbTool("schema " + quote(brand.string())).out;
        testsupport::writeFile(tmp / "access.sql", fromAccess);
        schemas.push_back(tmp / "access.sql");
    }
    for (const fs::path& schema : schemas) {
        SCOPED_TRACE(schema.filename().string());
        const std::string first = quote((tmp / (schema.stem().string() + ".1.mdb")).string());
        const std::string second = quote((tmp / (schema.stem().string() + ".2.mdb")).string());
        Outcome made = mdbTool("create " + first + " " + quote(schema.string()));
        ASSERT_EQ(made.status, 0) << made.out;
        Outcome printed = mdbTool("schema " + first);
        ASSERT_EQ(printed.status, 0) << printed.out;
        testsupport::writeFile(tmp / "printed.sql", printed.out);
        made = mdbTool("create " + second + " " + quote((tmp / "printed.sql").string()));
        ASSERT_EQ(made.status, 0) << made.out;
        EXPECT_EQ(mdbTool("schema " + second).out, printed.out);
        Outcome check = mdbTool("check " + second);
        EXPECT_EQ(check.status, 0) << check.out;
        if (haveMdbTools()) {
            EXPECT_EQ(mdbTool("tables " + first).out, run("mdb-tables -1 " + first).out);
        }
        if (schema.stem() == "every") {
            EXPECT_EQ(printed.out, every);
            expectLaidOutAsAccessDoes(tmp / "every.1.mdb");
        }
        if (!fromAccess.empty() && schema.stem() != "sysrestore" && schema.stem() != "every") {
            EXPECT_EQ(printed.out, fromAccess);
        }
        if (schema.filename() != "BRANDMDB.sql")
            continue;
        Outcome rates = mdbTool("schema " + first + " Rates");
        for (const char* s : {"CREATE TABLE [Rates] (", "[Rate] CURRENCY", "[Insurer_ID] SHORT",
                              "ON [Rates] ([Rate_ID]) WITH PRIMARY;",
                              "CREATE INDEX [Insurer_ID] ON [Rates] ([Insurer_ID]);"})
            EXPECT_NE(rates.out.find(s), std::string::npos) << s << "\n" << rates.out;
    }
}

// A created template through the import's write pattern: rows in (texts with escapes, names of
// columns in any case, amounts with symbols), a duplicate key refused, a table emptied and
// filled again, the untouched table keeping its rows, a bad value named by its line, and
// `check` finding a wrong row count.
TEST(MdbTool, ImportDeleteAndCheckWorkTogether) {
    testsupport::TempDir tmp;
    const std::string db = quote((tmp / "BRANDMDB.MDB").string());
    ASSERT_EQ(mdbTool("create " + db + " " + quote((kSchemas / "BRANDMDB.sql").string())).status,
              0);
    testsupport::writeFile(
        tmp / "companies.tsv",
        std::string("company_name\tCOBRA_Admin_Fee\tDisabled_Admin_Fee\tADDRESS\n"
                    "Acme\t2.25\t$1,234.5\t\\N\n"
                    "Tab\\there\t\t7\tline\\nbreak\n"));
    testsupport::writeFile(tmp / "people.tsv",
                           std::string("Employee_ID\tLast_Name\tFirst_Name\tSocial\tNotes\n"
                                       "1\tO'Brien\tÉlise\t123-45-6789\tfirst\n"
                                       "2\tSmith\tJohn\t\\N\t\\N\n"
                                       "3\tsmith\tjohn\t987-65-4321\tthird\n"));
    testsupport::writeFile(tmp / "letters.tsv",
                           std::string("Title\tBody\tActive\nWelcome\tDear member\ttrue\n"));
    testsupport::writeFile(tmp / "bad.tsv",
                           std::string("Company_Name\tCOBRA_Admin_Fee\nA\t1\nB\tlots\n"));

    Outcome r = import(db, "Company_Information", tmp / "companies.tsv");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(mdbTool("export " + db + " Company_Information").out,
              "Company_Name\tADDRESS\tAddress_Overflow\tCity_State_Zip\tAdministrator\ttitle\t"
              "COBRA_Admin_Fee\tDisabled_Admin_Fee\n"
              "Acme\t\\N\t\\N\t\\N\t\\N\t\\N\t2.25\t1234.5000\n"
              "Tab\\there\tline\\nbreak\t\\N\t\\N\t\\N\t\\N\t\\N\t7.0000\n");
    ASSERT_EQ(import(db, "Active_Employees", tmp / "people.tsv").status, 0);
    ASSERT_EQ(import(db, "Letter_Templates", tmp / "letters.tsv").status, 0);
    r = import(db, "Active_Employees", tmp / "people.tsv");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("PrimaryKey"), std::string::npos) << r.out;
    ASSERT_EQ(mdbTool("delete " + db + " Active_Employees").status, 0);
    ASSERT_EQ(import(db, "Active_Employees", tmp / "people.tsv").status, 0);
    r = import(db, "Company_Information", tmp / "bad.tsv");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("line 3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("COBRA_Admin_Fee"), std::string::npos) << r.out;

    Outcome check = mdbTool("check " + db);
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_EQ(check.out, "");
    Outcome rows = mdbTool("export " + db + " Active_Employees");
    EXPECT_EQ(std::count(rows.out.begin(), rows.out.end(), '\n'), 4) << rows.out;
    EXPECT_NE(mdbTool("export " + db + " Letter_Templates").out.find("Welcome\tDear member\ttrue"),
              std::string::npos);
    if (haveMdbTools()) {
        EXPECT_NE(run("mdb-export " + db + " Active_Employees").out.find("\"O'Brien\",\"Élise\""),
                  std::string::npos);
    }

    // A definition that claims 5 rows where the pages hold 3: `check` says so and exits 1.
    const std::uint32_t tdef =
        jet::Database::OpenDatabase(tmp / "BRANDMDB.MDB", jet::OpenMode::ReadOnly)
            .GetTable(u"Active_Employees")
            .def()
            .page;
    std::string bytes = testsupport::readFile(tmp / "BRANDMDB.MDB");
    ASSERT_EQ(bytes[tdef * 4096 + 16], 3);
    bytes[tdef * 4096 + 16] = 5;
    testsupport::writeFile(tmp / "BRANDMDB.MDB", bytes);
    check = mdbTool("check " + db);
    EXPECT_EQ(check.status, 1) << check.out;
    EXPECT_NE(check.out.find("counts 5 rows, the pages hold 3"), std::string::npos) << check.out;
}

} // namespace
