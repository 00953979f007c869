// The write half: conversions on assignment, the mistakes a caller can make, long values,
// unique keys, locking and growth, on copies of the host template Access made (when the
// fixtures are there) and of the one the engine builds.
#include "jet/Write.h"

#include "JetTest.h"
#include "base/Coding.h"
#include "jet/Check.h"
#include "jet/Error.h"
#include "jet/Export.h"
#include "jet/IndexSupport.h"
#include "jet/UsageMap.h"

namespace fs = std::filesystem;
using namespace jet;
using jettest::Source;

namespace {

TEST(JetWrite, AssignmentConvertsAsAccessDoes) {
    struct Case {
        const char* table;
        const char* column;
        Value in;
        std::string expect; // export text of the result, or "error:<words of the message>"
    };
    const Case cases[] = {
        // text -> numbers
        {"Payments", "Employee_ID", std::u16string(u" 42 "), "42"},
        {"Payments", "Employee_ID", std::u16string(u"2.5"), "2"}, // half to even
        {"Payments", "Employee_ID", std::u16string(u"3.5"), "4"},
        {"Payments", "Employee_ID", std::u16string(u""), "\\N"}, // empty -> Null
        {"Payments", "Employee_ID", std::u16string(u"abc"), "error:not a number"},
        {"Payments", "Employee_ID", std::u16string(u"3000000000"), "error:range"},
        {"Insurance_Companies", "Insurer_ID", std::u16string(u"-32768"), "-32768"},
        {"Insurance_Companies", "Insurer_ID", std::u16string(u"32768"), "error:range"},
        {"Insurance_Companies", "Insurer_ID", true, "-1"},
        // currency: exact decimal, symbols and separators allowed
        {"Payments", "Amount", std::u16string(u"$1,234.5"), "1234.5000"},
        {"Payments", "Amount", std::u16string(u"0.1"), "0.1000"},
        {"Payments", "Amount", std::u16string(u"-0.00005"), "-0.0001"},
        {"Payments", "Amount", 19.99, "19.9900"},
        {"Payments", "Amount", std::u16string(u"ten"), "error:not an amount"},
        {"Company_Information", "COBRA_Admin_Fee", std::u16string(u"1.5"), "1.5"},
        {"Company_Information", "COBRA_Admin_Fee", std::u16string(u"0.1"), "0.1"},
        // dates
        {"Payments", "Payment_Date", std::u16string(u"12/31/2026"), "2026-12-31T00:00:00"},
        {"Payments", "Payment_Date", std::u16string(u"2026-02-30"), "error:not a date"},
        {"Payments", "Payment_Date", 2.5, "1900-01-01T12:00:00"},
        // yes/no
        {"Letter_Templates", "Active", std::u16string(u"Yes"), "true"},
        {"Letter_Templates", "Active", std::u16string(u"0"), "false"},
        {"Letter_Templates", "Active", Null{}, "false"},
        {"Letter_Templates", "Active", std::u16string(u"maybe"), "error:yes/no"},
        // numbers -> text, and the width of text columns
        {"Active_Employees", "Last_Name", static_cast<std::int32_t>(7), "7"},
        {"Active_Employees", "Last_Name", Currency{35000}, "3.5"},
        {"Active_Employees", "Last_Name", DateTime{27293.5}, "9/21/1974 12:00:00 PM"},
        {"Active_Employees", "Gender", std::u16string(u"MF"), "error:longer than the column's 1"},
        {"Active_Employees", "Gender", std::u16string(u""), ""},
        // GUIDs: any case in, upper case out
        {"Keys", "data", std::u16string(u"{01234567-89ab-CDEF-0123-456789ABCDEF}"),
         "{01234567-89AB-CDEF-0123-456789ABCDEF}"},
        {"Keys", "data", std::u16string(u"{0123}"), "error:not a GUID"},
        {"Keys", "data", std::u16string(u"{01234567-89ab-CDEF-0123-456789ABCDEX}"),
         "error:not a GUID"},
    };
    testsupport::TempDir tmp;
    auto db = jettest::fromSchema(tmp / "t.mdb", "BRANDMDB.sql");
    createTable(db, {u"Keys", {{u"data", ColumnType::Guid}}, {}});
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.table) + "." + c.column + " <- " + exportText(c.in));
        Table& t = db.GetTable(utf16(c.table));
        const ColumnDef* col = t.def().findColumn(utf16(c.column));
        ASSERT_NE(col, nullptr);
        if (c.expect.rfind("error:", 0) != 0) {
            const Value v = convertForColumn(t, *col, c.in);
            EXPECT_EQ(exportText(v), c.expect);
            if (col->type == ColumnType::Guid) {
                EXPECT_EQ(std::get<Guid>(v).bytes[0], 0x67); // first group stored little-endian
            }
            continue;
        }
        try {
            convertForColumn(t, *col, c.in);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            const std::string m = e.what();
            EXPECT_NE(m.find(c.expect.substr(6)), std::string::npos) << m;
            EXPECT_NE(m.find(c.column), std::string::npos) << "column not named: " << m;
        }
    }
}

TEST(JetWrite, Jet3FilesAreReadOnly) {
    JET_FIXTURE(src, "access-made/testV1997.mdb");
    testsupport::TempDir tmp;
    auto db = Database::OpenDatabase(jettest::writableCopy(tmp, src));
    auto rs = db.OpenRecordset("Table3"); // no rows; a plain insert
    rs.AddNew();
    rs["a"] = 1;
    try {
        rs.Update();
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("Jet 3"), std::string::npos) << e.what();
    }
}

class OnTemplate : public ::testing::TestWithParam<Source> {
protected:
    void SetUp() override {
        file = jettest::hostTemplate(tmp, GetParam());
        if (file.empty())
            GTEST_SKIP() << "fixture absent";
    }

    // Adds employees with these IDs and random names; the number of rows after.
    long addEmployees(Database& db, std::initializer_list<std::int32_t> ids) {
        auto rs = db.OpenRecordset("Active_Employees");
        for (std::int32_t id : ids) {
            rs.AddNew();
            rs["Employee_ID"] = id;
            rs["Last_Name"] = u"Smith";
            rs.Update();
        }
        return rs.RecordCount();
    }

    void expectSound(long employees) {
        auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
        EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
        EXPECT_EQ(db.OpenRecordset("Active_Employees").RecordCount(), employees);
    }

    testsupport::TempDir tmp;
    fs::path file;
};

INSTANTIATE_TEST_SUITE_P(Jet, OnTemplate, ::testing::Values(Source::Access, Source::Built),
                         jettest::sourceName);

TEST_P(OnTemplate, MistakesAreErrorsThatChangeNothing) {
    auto db = Database::OpenDatabase(file);
    auto rs = db.OpenRecordset("Company_Information");
    rs.MoveFirst();
    EXPECT_THROW(rs["Company_Name"] = u"x", Error) << "outside AddNew";
    EXPECT_THROW(rs["NoSuchColumn"], Error);
    rs.AddNew();
    EXPECT_THROW(rs.Delete(), Error);
    try {
        rs["Company_Name"] = std::u16string(200, u'x');
        FAIL() << "no error";
    } catch (const Error& e) {
        std::string m = e.what();
        EXPECT_NE(m.find("Company_Name"), std::string::npos) << m;
        EXPECT_NE(m.find("200 characters"), std::string::npos) << m;
    }
    rs.CancelUpdate();
    EXPECT_EQ(rs.RecordCount(), 1);
}

TEST_P(OnTemplate, SecondWriterIsRefusedReadersAreNot) {
    auto writer = Database::OpenDatabase(file);
    try {
        auto second = Database::OpenDatabase(file);
        FAIL() << "second writer allowed";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos) << e.what();
    }
    EXPECT_NO_THROW(Database::OpenDatabase(file, OpenMode::ReadOnly));
    writer.Close();
    EXPECT_NO_THROW(Database::OpenDatabase(file));
    EXPECT_THROW(writer.OpenRecordset("Rates"), Error);
}

// Live rows on long value pages ("LVAL" where data pages name their table).
std::size_t liveLongValueRows(Database& db) {
    PageFile& f = db.File();
    std::size_t n = 0;
    for (std::uint32_t p = 1; p < f.pageCount(); ++p) {
        auto v = f.page(p)->view();
        if (v[0] != 0x01 || coding::getU32(v, 4) != 0x4C41564C)
            continue;
        for (std::uint16_t r = 0; r < coding::getU16(v, kJet4Format.dataRowCount); ++r)
            if (!(coding::getU16(v, kJet4Format.dataRowTable + 2 * r) & kRowDeleted))
                ++n;
    }
    return n;
}

// Long values through every storage form: inline, one row on a long value page, and a chain
// over several pages, in a table with a primary key.
TEST_P(OnTemplate, MemoValuesOfEverySizeReadBack) {
    const std::size_t sizes[] = {0, 1, 200, 300, 4000, 5000, 20000, 70000};
    auto body = [](std::size_t n) {
        std::u16string s(n, u' ');
        for (std::size_t i = 0; i < n; ++i)
            s[i] = static_cast<char16_t>(i % 7 == 6 ? u'Ж' : u'a' + i % 26);
        return s;
    };
    auto db = Database::OpenDatabase(file);
    const std::size_t lvalRowsBefore = liveLongValueRows(db);
    const std::uint32_t pagesBefore = db.File().pageCount();
    {
        auto rs = db.OpenRecordset("Letter_Templates");
        for (std::size_t n : sizes) {
            rs.AddNew();
            rs["Title"] = utf16("size " + std::to_string(n));
            rs["Body"] = body(n);
            rs["Active"] = true;
            rs.Update();
        }
        db.Close();
    }
    db = Database::OpenDatabase(file);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
    EXPECT_GE(liveLongValueRows(db), lvalRowsBefore + 6) << "long memos live on their own pages";
    // Long value pages are the memo column's, on its own map, as Access keeps them.
    Table& t = db.GetTable(u"Letter_Templates");
    ASSERT_EQ(t.def().longValueMaps.size(), 1u);
    const auto owned = t.ownedPages();
    const auto column =
        UsageMap::read(db.File(), t.def().longValueMaps[0].usedPages, "Body").pages();
    std::size_t lvalPages = 0;
    for (std::uint32_t p = pagesBefore; p < db.File().pageCount(); ++p) {
        if (coding::getU32(db.File().page(p)->view(), 4) != 0x4C41564C)
            continue;
        ++lvalPages;
        EXPECT_EQ(std::count(owned.begin(), owned.end(), p), 0) << "page " << p;
        EXPECT_EQ(std::count(column.begin(), column.end(), p), 1) << "page " << p;
    }
    EXPECT_GT(lvalPages, 3u);
    auto rs = db.OpenRecordset("Letter_Templates");
    std::int32_t id = 4; // after the template's three letters
    for (std::size_t n : sizes) {
        ASSERT_TRUE(rs.FindFirst(utf16("[Title]='size " + std::to_string(n) + "'"))) << n;
        EXPECT_EQ(std::get<std::u16string>(rs["Body"].value()), body(n)) << n;
        EXPECT_EQ(std::get<std::int32_t>(rs["Letter_ID"].value()), id++) << "autonumber";
    }
    // mdbtools reads the same memo texts (this also covers the chained long values).
    jettest::expectMdbExportAgrees(file, "Letter_Templates",
                                   jettest::exportOf(db, u"Letter_Templates"), false);
    // Deleting the rows gives their long value rows back.
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        if (utf8(std::get<std::u16string>(rs["Title"].value())).rfind("size ", 0) == 0)
            rs.Delete();
    EXPECT_EQ(liveLongValueRows(db), lvalRowsBefore);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
}

// An inline map covers 512 pages from its start: enough rows to pass that make the engine switch
// the table's maps to the reference kind, which must keep every page.
TEST_P(OnTemplate, ATableGrowsPastTheReachOfItsInlineUsageMap) {
    {
        auto db = Database::OpenDatabase(file);
        auto rs = db.OpenRecordset("Company_Information");
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
            rs.Delete();
        for (int i = 0; i < 100000; ++i) {
            rs.AddNew();
            rs["Company_Name"] = u"Company " + utf16(std::to_string(i));
            rs.Update();
        }
        rs.Close();
        EXPECT_GT(db.File().pageCount(), 600u);
        db.Close();
    }
    auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
    EXPECT_EQ(db.GetTable(u"Company_Information").def().rowCount, 100000u);
    EXPECT_EQ(db.OpenRecordset("Company_Information").RecordCount(), 100000);
}

TEST_P(OnTemplate, UniqueKeysAreRefusedWhetherGatheredOrOnThePages) {
    auto db = Database::OpenDatabase(file);
    addEmployees(db, {1000});
    EXPECT_THROW(addEmployees(db, {1000}), Error) << "the first is only gathered";
    flushIndexes(db.GetTable(u"Active_Employees"));
    try {
        addEmployees(db, {1000});
        FAIL() << "the first is on the pages now";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("'PrimaryKey'"), std::string::npos) << e.what();
    }
    EXPECT_THROW(addEmployees(db, {3}), Error) << "the template's own rows hold 1 to 5";
    addEmployees(db, {1001});
    db.Close();
    expectSound(7);
}

TEST_P(OnTemplate, UniqueKeysAreFoundAnywhereInATreeOfSeveralLevels) {
    auto db = Database::OpenDatabase(file);
    Table& t = db.GetTable(u"Active_Employees");
    t.pendingLimit = 300;
    auto rs = db.OpenRecordset("Active_Employees");
    for (std::int32_t id = 6; id < 4006; ++id) {
        rs.AddNew();
        rs["Employee_ID"] = id;
        rs["Last_Name"] = utf16("Name " + std::to_string(id * 7919 % 4000));
        rs.Update();
    }
    flushIndexes(t);
    for (std::int32_t id : {1, 5, 6, 7, 2000, 3999, 4005, 3001, 1234})
        EXPECT_THROW(addEmployees(db, {id}), Error) << id;
    EXPECT_EQ(addEmployees(db, {4006, 90000, -3}), 4008);
    db.Close();
    expectSound(4008);
}

TEST_P(OnTemplate, TextsOutsideWindows1252AreRefusedInAnIndexedColumnOnly) {
    auto db = Database::OpenDatabase(file);
    auto rs = db.OpenRecordset("Active_Employees");
    rs.AddNew();
    rs["Employee_ID"] = 77;
    rs["Last_Name"] = u"Мир";
    EXPECT_THROW(rs.Update(), Error);
    rs.CancelUpdate();
    rs.AddNew();
    rs["Employee_ID"] = 78;
    rs["Department"] = u"Мир"; // not indexed: stored as it is
    rs.Update();
    db.Close();
    expectSound(6);
}

} // namespace
