// The write half on copies of the host templates: conversions on assignment, inserting and
// deleting rows, long values, locking, and every change read back by our reader, by `check`,
// and by mdbtools.
#include "jet/Write.h"

#include "FixtureDump.h"
#include "jet/Check.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/Export.h"
#include "jet/UsageMap.h"
#include "base/Coding.h"
#include "sample/SampleDatabases.h"
#include "support/Command.h"
#include "support/TempDir.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace fs = std::filesystem;
using namespace jet;

namespace {

fs::path templateFile() {
    return jettest::fixtures() / "templates/jet4/BRANDMDB.MDB";
}

// A writable copy of the template in a temp folder.
fs::path copyTemplate(const testsupport::TempDir& tmp, const char* name = "copy.mdb") {
    fs::path to = tmp / name;
    fs::copy_file(templateFile(), to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    return to;
}

#define REQUIRE_TEMPLATE()                                                                         \
    if (!fs::exists(templateFile()))                                                               \
    GTEST_SKIP() << "fixture absent: " << templateFile()

std::string exportOf(Database& db, std::u16string_view table) {
    std::ostringstream out;
    exportTable(db, table, out);
    return out.str();
}

struct ConvertCase {
    const char* table;
    const char* column;
    Value in;
    std::string expect; // export text of the result, or "error:<part of message>"
};

void PrintTo(const ConvertCase& c, std::ostream* os) {
    *os << c.table << "." << c.column;
}

class JetConvert : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(JetConvert, AssignmentConvertsAsAccessDoes) {
    REQUIRE_TEMPLATE();
    const auto& c = GetParam();
    auto db = Database::OpenDatabase(templateFile(), OpenMode::ReadOnly);
    Table& t = db.GetTable(utf16(c.table));
    const ColumnDef* col = t.def().findColumn(utf16(c.column));
    ASSERT_NE(col, nullptr);
    if (c.expect.rfind("error:", 0) == 0) {
        try {
            convertForColumn(t, *col, c.in);
            FAIL() << "no error";
        } catch (const Error& e) {
            std::string m = e.what();
            EXPECT_NE(m.find(c.expect.substr(6)), std::string::npos) << m;
            EXPECT_NE(m.find(c.column), std::string::npos) << "column not named: " << m;
        }
        return;
    }
    EXPECT_EQ(exportText(convertForColumn(t, *col, c.in)), c.expect);
}

INSTANTIATE_TEST_SUITE_P(
    JetWriteConversions, JetConvert,
    ::testing::Values(
        // text -> numbers
        ConvertCase{"Payments", "Employee_ID", std::u16string(u" 42 "), "42"},
        ConvertCase{"Payments", "Employee_ID", std::u16string(u"2.5"), "2"}, // half to even
        ConvertCase{"Payments", "Employee_ID", std::u16string(u"3.5"), "4"},
        ConvertCase{"Payments", "Employee_ID", std::u16string(u""), "\\N"}, // empty -> Null
        ConvertCase{"Payments", "Employee_ID", std::u16string(u"abc"), "error:not a number"},
        ConvertCase{"Payments", "Employee_ID", std::u16string(u"3000000000"), "error:range"},
        ConvertCase{"Insurance_Companies", "Insurer_ID", std::u16string(u"-32768"), "-32768"},
        ConvertCase{"Insurance_Companies", "Insurer_ID", std::u16string(u"32768"), "error:range"},
        ConvertCase{"Insurance_Companies", "Insurer_ID", true, "-1"},
        // currency: exact decimal, symbols and separators allowed
        ConvertCase{"Payments", "Amount", std::u16string(u"$1,234.5"), "1234.5000"},
        ConvertCase{"Payments", "Amount", std::u16string(u"0.1"), "0.1000"},
        ConvertCase{"Payments", "Amount", std::u16string(u"-0.00005"), "-0.0001"},
        ConvertCase{"Payments", "Amount", 19.99, "19.9900"},
        ConvertCase{"Payments", "Amount", std::u16string(u"ten"), "error:not an amount"},
        ConvertCase{"Company_Information", "COBRA_Admin_Fee", std::u16string(u"1.5"), "1.5"},
        ConvertCase{"Company_Information", "COBRA_Admin_Fee", std::u16string(u"0.1"), "0.1"},
        // dates
        ConvertCase{"Payments", "Payment_Date", std::u16string(u"12/31/2026"),
                    "2026-12-31T00:00:00"},
        ConvertCase{"Payments", "Payment_Date", std::u16string(u"2026-02-30"), "error:not a date"},
        ConvertCase{"Payments", "Payment_Date", 2.5, "1900-01-01T12:00:00"},
        // yes/no
        ConvertCase{"Letter_Templates", "Active", std::u16string(u"Yes"), "true"},
        ConvertCase{"Letter_Templates", "Active", std::u16string(u"0"), "false"},
        ConvertCase{"Letter_Templates", "Active", Null{}, "false"},
        ConvertCase{"Letter_Templates", "Active", std::u16string(u"maybe"), "error:yes/no"},
        // numbers -> text, and the width of text columns
        ConvertCase{"Active_Employees", "Last_Name", static_cast<std::int32_t>(7), "7"},
        ConvertCase{"Active_Employees", "Last_Name", Currency{35000}, "3.5"},
        ConvertCase{"Active_Employees", "Last_Name", DateTime{27293.5}, "9/21/1974 12:00:00 PM"},
        ConvertCase{"Active_Employees", "Gender", std::u16string(u"MF"),
                    "error:longer than the column's 1"},
        ConvertCase{"Active_Employees", "Gender", std::u16string(u""), ""}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// Rows of Company_Information as a model: column name -> value text for each row.
struct CompanyRow {
    std::u16string name, address;
    Value fee, disabled;
};

std::u16string randomText(std::mt19937& rng, std::size_t maxLen) {
    static const std::u16string alphabet =
        u"abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789äöüéñß€'-,.Мир漢字\t";
    std::size_t n = rng() % (maxLen + 1);
    std::u16string s;
    for (std::size_t i = 0; i < n; ++i)
        s += alphabet[rng() % alphabet.size()];
    return s;
}

// Live rows on long value pages ("LVAL" where data pages name their table).
std::size_t liveLongValueRows(Database& db) {
    PageFile& f = db.File();
    std::size_t n = 0;
    for (std::uint32_t p = 1; p < f.pageCount(); ++p) {
        auto page = f.page(p);
        auto v = page->view();
        if (v[0] != 0x01 || coding::getU32(v, 4) != 0x4C41564C)
            continue;
        std::uint16_t slots = coding::getU16(v, kJet4Format.dataRowCount);
        for (std::uint16_t r = 0; r < slots; ++r)
            if (!(coding::getU16(v, kJet4Format.dataRowTable + 2 * r) & kRowDeleted))
                ++n;
    }
    return n;
}

class JetWrite : public ::testing::Test {
protected:
    // A copy of the template Access made, or the one our engine builds.
    void SetUp() override {
        if (useCreatedTemplate) {
            file = tmp / "created.mdb";
            sample::writeTemplate(file);
            return;
        }
        if (!fs::exists(templateFile()))
            GTEST_SKIP() << "fixture absent: " << templateFile();
        file = copyTemplate(tmp);
    }

    void emptyInsertDeleteInsert();

    // Our export, `check`, and (when installed) mdb-export all agree with the expected rows.
    void verify(const std::vector<std::string>& expectedLines, const char* step) {
        SCOPED_TRACE(step);
        auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
        EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
        std::string ours = exportOf(db, u"Company_Information");
        std::istringstream in(ours);
        std::string header, line;
        std::getline(in, header);
        // Rows land wherever a page has room, so the scan order need not be insertion order.
        std::multiset<std::string> got;
        while (std::getline(in, line))
            got.insert(line);
        EXPECT_EQ(got, std::multiset<std::string>(expectedLines.begin(), expectedLines.end()));
        EXPECT_EQ(db.GetTable(u"Company_Information").def().rowCount, expectedLines.size());
        db.Close();
        if (testsupport::haveMdbTools()) {
            std::string theirs =
                testsupport::run("mdb-export -H -d '\t' -Q -e " +
                                 testsupport::quote(file.string()) + " Company_Information")
                    .out;
            std::size_t count =
                static_cast<std::size_t>(std::count(theirs.begin(), theirs.end(), '\n'));
            EXPECT_EQ(count, expectedLines.size()) << "mdb-export sees another number of rows";
            // mdbtools writes Null as an empty field; compare the first column (names).
            std::istringstream tin(theirs);
            std::multiset<std::string> theirNames, ourNames;
            while (std::getline(tin, line))
                theirNames.insert(line.substr(0, line.find('\t')));
            for (const auto& l : expectedLines) {
                std::string first = l.substr(0, l.find('\t'));
                ourNames.insert(first == "\\N" ? "" : first);
            }
            EXPECT_EQ(theirNames, ourNames);
        }
    }

    bool useCreatedTemplate = false;
    testsupport::TempDir tmp;
    fs::path file;
};

class JetWriteCreated : public JetWrite {
protected:
    JetWriteCreated() { useCreatedTemplate = true; }
};

TEST_F(JetWrite, EmptyInsertDeleteInsertRoundTrip) {
    emptyInsertDeleteInsert();
}

TEST_F(JetWriteCreated, EmptyInsertDeleteInsertRoundTrip) {
    emptyInsertDeleteInsert();
}

void JetWrite::emptyInsertDeleteInsert() {
    std::vector<std::string> expected;
    {
        auto db = Database::OpenDatabase(file);
        auto rs = db.OpenRecordset("Company_Information");
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
            rs.Delete();
        EXPECT_EQ(rs.RecordCount(), 0);
        db.Close();
    }
    verify(expected, "emptied");

    std::mt19937 rng(2026);
    std::size_t serial = 0; // numbers the rows; expected[] is indexed by it until the delete
    auto insertSome = [&](int count) {
        auto db = Database::OpenDatabase(file);
        auto rs = db.OpenRecordset("Company_Information");
        for (int i = 0; i < count; ++i) {
            std::u16string name =
                u"Co " + utf16(std::to_string(serial++)) + u" " + randomText(rng, 30);
            std::u16string address = randomText(rng, 40);
            bool nullFee = rng() % 4 == 0;
            float fee = static_cast<float>(rng() % 100000) / 64.0f;
            std::int64_t cents = static_cast<std::int64_t>(rng() % 100000000) - 50000000;
            rs.AddNew();
            rs["Company_Name"] = name;
            rs["ADDRESS"] = address;
            if (!nullFee)
                rs["COBRA_Admin_Fee"] = Value(fee);
            rs["Disabled_Admin_Fee"] = Value(Currency{cents * 100});
            rs.Update();
            std::string line = exportText(name) + "\t" + exportText(address) +
                               "\t\\N\t\\N\t\\N\t\\N\t" + (nullFee ? "\\N" : exportText(fee)) +
                               "\t" + exportText(Currency{cents * 100});
            expected.push_back(line);
        }
        db.Close();
    };
    insertSome(1500);
    verify(expected, "1500 inserted");

    {
        // Delete every third row, by the number in its name.
        auto db = Database::OpenDatabase(file);
        auto rs = db.OpenRecordset("Company_Information");
        std::vector<std::string> kept;
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
            std::string name = utf8(std::get<std::u16string>(rs["Company_Name"].value()));
            std::size_t n = std::stoul(name.substr(3));
            if (n % 3 == 0)
                rs.Delete();
            else
                kept.push_back(expected[n]);
        }
        expected = kept;
        db.Close();
    }
    verify(expected, "every third deleted");
    insertSome(700);
    verify(expected, "700 more inserted");
}

TEST_F(JetWrite, ATableGrowsPastTheReachOfItsInlineUsageMap) {
    // An inline map covers 512 pages from its start: enough rows to pass that make the engine
    // switch the table's maps to the reference kind, which must keep every page.
    {
        auto db = Database::OpenDatabase(file);
        auto rs = db.OpenRecordset("Company_Information");
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
            rs.Delete();
        for (int i = 0; i < 100000; ++i) {
            rs.AddNew();
            rs["Company_Name"] = u"Company " + jet::utf16(std::to_string(i));
            rs.Update();
        }
        rs.Close();
        EXPECT_GT(db.File().pageCount(), 600u);
        db.Close();
    }
    auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
    EXPECT_EQ(db.GetTable(u"Company_Information").def().rowCount, 100000u);
    auto rs = db.OpenRecordset("Company_Information");
    EXPECT_EQ(rs.RecordCount(), 100000);
}

TEST_F(JetWrite, OverlongTextIsRefusedNamingColumnAndWidth) {
    auto db = Database::OpenDatabase(file);
    auto rs = db.OpenRecordset("Company_Information");
    rs.AddNew();
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

TEST_F(JetWrite, AssignmentOutsideAddNewAndUnknownColumnsAreErrors) {
    auto db = Database::OpenDatabase(file);
    auto rs = db.OpenRecordset("Company_Information");
    rs.MoveFirst();
    EXPECT_THROW(rs["Company_Name"] = u"x", Error);
    EXPECT_THROW(rs["NoSuchColumn"], Error);
    rs.AddNew();
    EXPECT_THROW(rs.Delete(), Error);
}

// Long values through every storage form: inline, one row on a long value page, and a chain
// over several pages, in a table with a primary key.
TEST_F(JetWrite, MemoValuesOfEverySizeReadBack) {
    std::size_t lvalRowsBefore;
    std::uint32_t pagesBefore;
    {
        auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
        lvalRowsBefore = liveLongValueRows(db);
        pagesBefore = db.File().pageCount();
    }
    const std::size_t sizes[] = {0, 1, 200, 300, 4000, 5000, 20000, 70000};
    {
        auto db = Database::OpenDatabase(file);
        auto rs = db.OpenRecordset("Letter_Templates");
        for (std::size_t n : sizes) {
            std::u16string body;
            for (std::size_t i = 0; i < n; ++i)
                body += static_cast<char16_t>(i % 7 == 6 ? u'Ж' : u'a' + i % 26);
            rs.AddNew();
            rs["Title"] = utf16("size " + std::to_string(n));
            rs["Body"] = body;
            rs["Active"] = true;
            rs.Update();
        }
        db.Close();
    }
    auto db = Database::OpenDatabase(file);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
    const std::size_t lvalRowsWithMemos = liveLongValueRows(db);
    EXPECT_GE(lvalRowsWithMemos, lvalRowsBefore + 6) << "long memos should live on their own pages";
    {
        // Long value pages are the memo column's, on its own map, as Access keeps them.
        Table& t = db.GetTable(u"Letter_Templates");
        ASSERT_EQ(t.def().longValueMaps.size(), 1u);
        auto owned = t.ownedPages();
        auto column = UsageMap::read(db.File(), t.def().longValueMaps[0].usedPages, "Body").pages();
        std::size_t lvalPages = 0;
        for (std::uint32_t p = pagesBefore; p < db.File().pageCount(); ++p) {
            if (coding::getU32(db.File().page(p)->view(), 4) != 0x4C41564C)
                continue;
            ++lvalPages;
            EXPECT_EQ(std::count(owned.begin(), owned.end(), p), 0) << "page " << p;
            EXPECT_EQ(std::count(column.begin(), column.end(), p), 1) << "page " << p;
        }
        EXPECT_GT(lvalPages, 3u);
    }
    auto rs = db.OpenRecordset("Letter_Templates");
    std::int32_t id = 4; // the template's last autonumber is 3
    for (std::size_t n : sizes) {
        ASSERT_TRUE(rs.FindFirst(utf16("[Title]='size " + std::to_string(n) + "'"))) << n;
        auto body = std::get<std::u16string>(rs["Body"].value());
        ASSERT_EQ(body.size(), n);
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_EQ(body[i], static_cast<char16_t>(i % 7 == 6 ? u'Ж' : u'a' + i % 26)) << i;
        EXPECT_EQ(std::get<std::int32_t>(rs["Letter_ID"].value()), id++) << "autonumber";
    }
    // mdbtools reads the same memo texts (this also covers the chained long values).
    if (testsupport::haveMdbTools()) {
        std::string out = testsupport::mdbExport(file, "Letter_Templates");
        for (std::size_t n : sizes) {
            std::string title = "\tsize " + std::to_string(n) + "\t";
            auto at = out.find(title);
            ASSERT_NE(at, std::string::npos) << "mdb-export misses " << title;
            auto start = at + title.size();
            auto end = out.find('\t', start);
            EXPECT_EQ(utf16(out.substr(start, end - start)).size(), n) << title;
        }
    }
    // Deleting the rows gives their long value rows back.
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        if (utf8(std::get<std::u16string>(rs["Title"].value())).rfind("size ", 0) == 0)
            rs.Delete();
    EXPECT_EQ(liveLongValueRows(db), lvalRowsBefore);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
}

TEST(JetLock, SecondWriterIsRefusedReadersAreNot) {
    REQUIRE_TEMPLATE();
    testsupport::TempDir tmp;
    fs::path f = copyTemplate(tmp);
    auto writer = Database::OpenDatabase(f);
    try {
        auto second = Database::OpenDatabase(f);
        FAIL() << "second writer allowed";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos) << e.what();
    }
    EXPECT_NO_THROW(Database::OpenDatabase(f, OpenMode::ReadOnly));
    writer.Close();
    EXPECT_NO_THROW(Database::OpenDatabase(f));
    EXPECT_THROW(writer.OpenRecordset("Rates"), Error);
}

} // namespace

namespace {

TEST(JetWriteRefusal, Jet3FilesAreReadOnly) {
    fs::path src = jettest::fixtures() / "access-made/testV1997.mdb";
    if (!fs::exists(src))
        GTEST_SKIP() << "fixture absent";
    testsupport::TempDir tmp;
    fs::path f = tmp / "old.mdb";
    fs::copy_file(src, f);
    fs::permissions(f, fs::perms::owner_write, fs::perm_options::add);
    auto db = Database::OpenDatabase(f);
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

} // namespace

namespace {

TEST(JetWriteGuid, TextConvertsToTheSameGuidText) {
    fs::path src = jettest::fixtures() / "access-made/testV2000.mdb";
    if (!fs::exists(src))
        GTEST_SKIP() << "fixture absent";
    auto db = Database::OpenDatabase(src, OpenMode::ReadOnly);
    Table& t = db.GetTable(u"Table4");
    const ColumnDef* c = t.def().findColumn(u"data");
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->type, ColumnType::Guid);
    Value g = convertForColumn(t, *c, std::u16string(u"{01234567-89ab-CDEF-0123-456789ABCDEF}"));
    EXPECT_EQ(exportText(g), "{01234567-89AB-CDEF-0123-456789ABCDEF}");
    EXPECT_EQ(std::get<Guid>(g).bytes[0], 0x67); // first group stored little-endian
    EXPECT_THROW(convertForColumn(t, *c, std::u16string(u"{0123}")), Error);
    EXPECT_THROW(convertForColumn(t, *c, std::u16string(u"{01234567-89ab-CDEF-0123-456789ABCDEX}")),
                 Error);
}

} // namespace
