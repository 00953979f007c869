// The write half: conversions on assignment (under any C locale), the mistakes a caller can
// make, long values, unique keys, locking, growth and index upkeep, on copies of the host
// template Access made (when the fixtures are there) and of the one the engine builds.
#include "jet/Write.h"

#include "JetTest.h"
#include "base/Coding.h"
#include "jet/Check.h"
#include "jet/Error.h"
#include "jet/Export.h"
#include "jet/IndexLayout.h"
#include "jet/IndexSupport.h"
#include "jet/UsageMap.h"

#include <clocale>

namespace fs = std::filesystem;
using namespace jet;
using jettest::Source;
using ::testing::AllOf;
using ::testing::HasSubstr;
using namespace std::string_literals;

namespace {

Decimal decimal(const char* text) {
    Decimal d;
    EXPECT_TRUE(parseDecimal(text, 18, 4, d)) << text;
    return d;
}

// Every family of conversion on assignment, checked where it is the C library's decimal point
// that could creep in as well.
void expectConversionsAsAccessDoes() {
    struct Case {
        const char* table;
        const char* column;
        Value in;
        std::string expect; // export text of the result, or "error:<words of the message>"
    };
    const Case cases[] = {
        // text -> numbers; halves to even, empty to Null
        {"Payments", "Employee_ID", u" 42 "s, "42"},
        {"Payments", "Employee_ID", u"2.5"s, "2"},
        {"Payments", "Employee_ID", u"3.5"s, "4"},
        {"Payments", "Employee_ID", u""s, "\\N"},
        {"Payments", "Employee_ID", u"abc"s, "error:not a number"},
        {"Payments", "Employee_ID", u"3000000000"s, "error:range"},
        {"Insurance_Companies", "Insurer_ID", u"-32768"s, "-32768"},
        {"Insurance_Companies", "Insurer_ID", u"32768"s, "error:range"},
        {"Insurance_Companies", "Insurer_ID", true, "-1"},
        {"Other", "Value", u"$1,234.5678"s, "1234.5678"},
        {"Other", "Value", u"1e-3"s, "0.001"},
        {"Other", "Value", u"1,5"s, "15"}, // a comma groups digits, whatever the locale
        {"Other", "Value", Currency{12345}, "1.2345"},
        {"Company_Information", "COBRA_Admin_Fee", u"1.5"s, "1.5"},
        {"Company_Information", "COBRA_Admin_Fee", u" -0.25 "s, "-0.25"},
        {"Company_Information", "COBRA_Admin_Fee", u"0.1"s, "0.1"},
        {"Company_Information", "COBRA_Admin_Fee", decimal("12.5"), "12.5"},
        // currency and decimal: exact, symbols and separators allowed
        {"Payments", "Amount", u"$1,234.5"s, "1234.5000"},
        {"Payments", "Amount", u"0.1"s, "0.1000"},
        {"Payments", "Amount", u"-0.00005"s, "-0.0001"},
        {"Payments", "Amount", 19.99, "19.9900"},
        {"Payments", "Amount", 0.00005, "0.0001"},
        {"Payments", "Amount", decimal("2.5"), "2.5000"},
        {"Payments", "Amount", u"1.5.0"s,
         "error:table 'Payments', column 'Amount': '1.5.0' is not an amount"},
        {"Other", "Exact", u"3.14159"s, "3.1416"},
        {"Other", "Exact", 2.5, "2.5000"},
        {"Other", "Exact", 1.0 / 3, "0.3333"},
        {"Payments", "Payment_Date", u"12/31/2026 1:45:07 PM"s, "2026-12-31T13:45:07"},
        {"Payments", "Payment_Date", u"2026-02-30"s, "error:not a date"},
        {"Payments", "Payment_Date", 2.5, "1900-01-01T12:00:00"},
        {"Payments", "Payment_Date", decimal("2.75"), "1900-01-01T18:00:00"},
        {"Letter_Templates", "Active", u"Yes"s, "true"},
        {"Letter_Templates", "Active", u"0.0"s, "false"},
        {"Letter_Templates", "Active", decimal("0.5"), "true"},
        {"Letter_Templates", "Active", Null{}, "false"},
        {"Letter_Templates", "Active", u"maybe"s, "error:yes/no"},
        // numbers -> text, and the width of text columns
        {"Active_Employees", "Last_Name", std::int32_t{7}, "7"},
        {"Active_Employees", "Last_Name", 1.5, "1.5"},
        {"Active_Employees", "Last_Name", 0.1f, "0.1"},
        {"Active_Employees", "Last_Name", decimal("-7.25"), "-7.2500"},
        {"Active_Employees", "Last_Name", Currency{35000}, "3.5"},
        {"Active_Employees", "Last_Name", DateTime{27293.5}, "9/21/1974 12:00:00 PM"},
        {"Active_Employees", "Gender", u"MF"s, "error:longer than the column's 1"},
        {"Active_Employees", "Gender", u""s, ""},
        // GUIDs: any case in, upper case out, the first group stored little-endian
        {"Other", "data", u"{01234567-89ab-CDEF-0123-456789ABCDEF}"s,
         "{01234567-89AB-CDEF-0123-456789ABCDEF}"},
        {"Other", "data", u"{0123}"s, "error:not a GUID"},
        {"Other", "data", u"{01234567-89ab-CDEF-0123-456789ABCDEX}"s, "error:not a GUID"}};
    testsupport::TempDir tmp;
    auto db = jettest::fromSchema(tmp / "t.mdb", "BRANDMDB.sql");
    createTable(db, {u"Other",
                     {{u"data", ColumnType::Guid},
                      {u"Value", ColumnType::Double},
                      {u"Exact", ColumnType::Numeric, 0, false, false, 18, 4}},
                     {}});
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.table) + "." + c.column + " <- " + exportText(c.in));
        Table& t = db.GetTable(utf16(c.table));
        const ColumnDef* col = t.def().findColumn(utf16(c.column));
        ASSERT_NE(col, nullptr);
        if (c.expect.rfind("error:", 0) == 0) {
            EXPECT_THAT(jettest::errorOf([&] { convertForColumn(t, *col, c.in); }),
                        AllOf(HasSubstr(c.expect.substr(6)), HasSubstr(c.column)));
            continue;
        }
        const Value v = convertForColumn(t, *col, c.in);
        EXPECT_EQ(exportText(v), c.expect);
        EXPECT_TRUE(col->type != ColumnType::Guid || std::get<Guid>(v).bytes[0] == 0x67);
    }
}

TEST(JetWrite, AssignmentConvertsAsAccessDoes) {
    expectConversionsAsAccessDoes();
}

// A Qt program on Linux takes the C library's locale from the user's settings; a decimal comma
// there must change no conversion (Decimal 12.5 into a Single once became 12).
TEST(JetWrite, AssignmentIgnoresADecimalCommaLocale) {
    struct Restore {
        std::string previous = std::setlocale(LC_ALL, nullptr);
        ~Restore() { std::setlocale(LC_ALL, previous.c_str()); }
    } restore;
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") || std::localeconv()->decimal_point != ","s)
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (Debian: enable it in "
                        "/etc/locale.gen, run locale-gen)";
    expectConversionsAsAccessDoes();
}

TEST(JetWrite, Jet3FilesAreReadOnly) {
    JET_FIXTURE(src, "access-made/testV1997.mdb");
    testsupport::TempDir tmp;
    auto db = Database::OpenDatabase(jettest::writableCopy(tmp, src));
    auto rs = db.OpenRecordset("Table3"); // no rows; a plain insert
    rs.AddNew();
    rs["a"] = 1;
    EXPECT_THAT(jettest::errorOf([&] { rs.Update(); }), HasSubstr("Jet 3"));
}

class OnTemplate : public ::testing::TestWithParam<Source> {
protected:
    void SetUp() override {
        file = jettest::hostTemplate(tmp, GetParam());
        if (file.empty())
            GTEST_SKIP() << "fixture absent";
        auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
        ASSERT_EQ(checkDatabase(db), std::vector<std::string>{}) << "the template itself is sound";
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

// One writer at a time, readers beside it; a closed database is refused.
TEST_P(OnTemplate, MistakesAreErrorsThatChangeNothing) {
    auto db = Database::OpenDatabase(file);
    EXPECT_THAT(jettest::errorOf([&] { Database::OpenDatabase(file); }), HasSubstr("in use"));
    EXPECT_NO_THROW(Database::OpenDatabase(file, OpenMode::ReadOnly));
    auto rs = db.OpenRecordset("Company_Information");
    rs.MoveFirst();
    EXPECT_THROW(rs["Company_Name"] = u"x", Error) << "outside AddNew";
    EXPECT_THROW(rs["NoSuchColumn"], Error);
    rs.AddNew();
    EXPECT_THROW(rs.Delete(), Error);
    EXPECT_THAT(jettest::errorOf([&] { rs["Company_Name"] = std::u16string(200, u'x'); }),
                AllOf(HasSubstr("Company_Name"), HasSubstr("200 characters")));
    rs.CancelUpdate();
    EXPECT_EQ(rs.RecordCount(), 1);
    // Texts outside Windows-1252 are refused in an indexed column only.
    auto people = db.OpenRecordset("Active_Employees");
    people.AddNew();
    people["Employee_ID"] = 77;
    people["Last_Name"] = u"Мир";
    EXPECT_THROW(people.Update(), Error);
    people.CancelUpdate();
    people.AddNew();
    people["Employee_ID"] = 78;
    people["Department"] = u"Мир"; // not indexed: stored as it is
    people.Update();
    db.Close();
    EXPECT_THROW(db.OpenRecordset("Rates"), Error);
    expectSound(6);
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

// A duplicate key is refused while its twin is only gathered, once it is on the pages, and
// anywhere in a tree of several levels; an autonumber given a taken value too.
TEST_P(OnTemplate, UniqueKeysAreRefusedWhereverTheirTwinIs) {
    auto db = Database::OpenDatabase(file);
    auto letters = db.OpenRecordset("Letter_Templates");
    letters.MoveFirst();
    const Value taken = letters["Letter_ID"].value();
    letters.AddNew();
    letters["Letter_ID"] = taken;
    letters["Title"] = u"Copy";
    EXPECT_THAT(jettest::errorOf([&] { letters.Update(); }),
                AllOf(HasSubstr("index 'PrimaryKey'"), HasSubstr("unique")));
    letters.CancelUpdate();
    EXPECT_EQ(letters.RecordCount(), 3);
    Table& t = db.GetTable(u"Active_Employees");
    addEmployees(db, {5000});
    EXPECT_THROW(addEmployees(db, {5000}), Error) << "gathered";
    flushIndexes(t);
    EXPECT_THAT(jettest::errorOf([&] { addEmployees(db, {5000}); }), HasSubstr("'PrimaryKey'"));
    t.pendingLimit = 300;
    auto rs = db.OpenRecordset("Active_Employees");
    for (std::int32_t id = 6; id < 4006; ++id) {
        rs.AddNew();
        rs["Employee_ID"] = id;
        rs["Last_Name"] = utf16("Name " + std::to_string(id * 7919 % 4000));
        rs.Update();
    }
    flushIndexes(t);
    // The template's own rows hold 1 to 5.
    for (std::int32_t id : {1, 3, 5, 6, 7, 2000, 3999, 4005, 3001, 1234, 5000})
        EXPECT_THROW(addEmployees(db, {id}), Error) << id;
    EXPECT_EQ(addEmployees(db, {4006, 90000, -3}), 4009);
    db.Close();
    expectSound(4009);
}

// `check` finds a row whose index entries were taken out behind the engine's back.
TEST_P(OnTemplate, CheckFindsAMissingIndexEntry) {
    {
        auto db = Database::OpenDatabase(file);
        Table& t = db.GetTable(u"Letter_Templates");
        const RowRef first = t.scan().front();
        removeFromIndexes(t, first.id, t.read(first));
        db.Close();
    }
    auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    auto problems = checkDatabase(db);
    ASSERT_FALSE(problems.empty());
    EXPECT_THAT(problems.front(), HasSubstr("holds 2 entries for 3 rows"));
}

// A key written into a leaf that equals the last key of the untouched leaf before it is no new
// distinct key: the table definition's count of distinct keys stays as it was, and stays again
// when that row goes.
TEST(IndexDistinctKeys, ADuplicateOfTheKeyBeforeALeafIsNotCountedAgain) {
    testsupport::TempDir tmp;
    const fs::path file = tmp / "distinct.mdb";
    createDatabase(file);
    auto db = Database::OpenDatabase(file);
    createTable(db, {u"T",
                     {{u"ID", ColumnType::Long}, {u"Name", ColumnType::Text, 40}},
                     {{u"ByName", {{u"Name"}}}}});
    auto name = [](int n) {
        std::string s = std::to_string(n);
        return utf16("Name " + std::string(6 - s.size(), '0') + s);
    };
    std::vector<jettest::Row> rows;
    for (int n = 0; n < 3000; ++n)
        rows.push_back({{"ID", n}, {"Name", name(n)}});
    jettest::addRows(db, "T", rows);
    Table& t = db.GetTable(u"T");
    flushIndexes(t);
    ASSERT_EQ(t.def().realIndexes[0].rowCount, 3000u);

    // The last key of the second leaf, as the level above lists it.
    FileIndexPages pages(t, 0);
    std::vector<IndexEntry> leaves;
    std::vector<std::uint32_t> upper;
    ASSERT_TRUE(leafLevel(pages, leaves, upper)) << "the tree needs several leaves";
    ASSERT_GE(leaves.size(), 3u);
    const std::vector<std::uint8_t> boundary = leaves[1].key;
    int duplicate = -1;
    for (int n = 0; n < 3000 && duplicate < 0; ++n)
        if (indexKey(t.def(), 0, {Value(n), Value(name(n))}) == boundary)
            duplicate = n;
    ASSERT_GE(duplicate, 0);

    jettest::addRows(
        db, "T",
        {{{"ID", 9000},
          {"Name",
           name(duplicate)}}}); // a later row: it sorts after the boundary, into the next leaf
    flushIndexes(t);
    EXPECT_EQ(t.def().realIndexes[0].rowCount, 3000u);

    // A few removals go through the tree one by one: the duplicate's row leaves its key counted,
    // a row with a key of its own takes the key with it.
    for (int id : {9000, duplicate + 1}) {
        auto rs = db.OpenRecordset("SELECT * FROM T WHERE ID=" + std::to_string(id));
        rs.MoveFirst();
        rs.Delete();
    }
    flushIndexes(t);
    EXPECT_EQ(t.def().realIndexes[0].rowCount, 2999u);
    db.Close();
    auto again = Database::OpenDatabase(file, OpenMode::ReadOnly);
    EXPECT_EQ(checkDatabase(again), std::vector<std::string>{});
}

} // namespace
