// The write half beside the round trips: conversions on assignment (under any C locale), the
// mistakes a caller can make, locking, growth past an inline usage map and past the file size
// limit, and `check` itself, on copies of the host template Access made (when the fixtures are
// there) and of the one the engine builds.
#include "jet/Write.h"

#include "JetTest.h"
#include "base/ByteScan.h"
#include "base/Cp1252.h"
#include "jet/Check.h"
#include "jet/Error.h"
#include "jet/Export.h"
#include "jet/IndexSupport.h"
#include "jet/PageFile.h"

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
    auto db = Database::OpenDatabase(jettest::hostTemplate(tmp, Source::Built));
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

// Every byte at every place of texts long enough to take the eight-byte steps and a rest, for
// the two tests made of them: plain Windows-1252 (no byte above Latin-1) and plain ASCII.
TEST(JetWrite, PlainAnsiAndPlainAsciiRefuseZeroAndTheBytesBeyondThem) {
    for (std::size_t length = 1; length <= 17; ++length)
        for (std::size_t at = 0; at < length; ++at)
            for (int b = 0; b < 256; ++b) {
                std::string text(length, 'a');
                text[at] = static_cast<char>(b);
                EXPECT_EQ(plainAnsi(text), b != 0 && (b < 0x80 || b > 0x9F))
                    << "byte " << b << " at " << at << " of " << length;
                EXPECT_EQ(bytescan::plainAscii(text), b != 0 && b < 0x80)
                    << "byte " << b << " at " << at << " of " << length;
            }
    EXPECT_TRUE(plainAnsi(""));
    EXPECT_TRUE(bytescan::plainAscii(""));
}

// Windows-1252 text given as it is makes the very file its UTF-16 form makes: short texts and
// long, plain ones and ones with the code page's own characters or a NUL, in an indexed column,
// a plain one, a memo and a number column, in rows with every column and in rows of texts alone
// with a Null before or after them; a text too long is refused with the same words.
TEST(JetWrite, AnsiTextIsStoredAsItsUnicodeFormIs) {
    const NewTable table{u"People",
                         {{u"Name", ColumnType::Text, 20},
                          {u"Note", ColumnType::Text, 40, false, true},
                          {u"Memo", ColumnType::Memo},
                          {u"Count", ColumnType::Long}},
                         {{u"ByName", {{u"Name"}}}}};
    const std::vector<std::string> texts = {
        "",       "a",          "ab",       "abc",          "caf\xE9", "\x80uro",
        "x\x81y", "plain text", "nul\0in"s, "\xA0\xFF\x9F", "  12  ",  "twenty-one characters"};
    testsupport::TempDir tmp;
    // Both start as copies of one file: a database made a second later is stamped with that time.
    jettest::withTable(tmp / "empty.mdb", table).Close();
    auto fill = [&](const fs::path& file, bool ansi) {
        fs::copy_file(tmp / "empty.mdb", file);
        auto db = Database::OpenDatabase(file);
        auto rs = db.OpenRecordset("People");
        std::vector<std::string> seen;
        const std::vector<std::vector<const char*>> rows = {
            {"Name", "Note", "Memo", "Count"}, {"Note"}, {"Name", "Count"}};
        for (const std::string& text : texts)
            for (const auto& columns : rows) {
                rs.AddNew();
                for (const char* column : columns) {
                    std::u16string wide;
                    for (char ch : text)
                        wide += cp1252::toUnicode(static_cast<std::uint8_t>(ch));
                    seen.push_back(jettest::errorOf([&] {
                        if (ansi)
                            rs[column].assignAnsi(text);
                        else
                            rs[column] = wide;
                    }));
                    seen.push_back(exportText(rs[column].value()));
                }
                seen.push_back(jettest::errorOf([&] { rs.Update(); }));
            }
        db.Close();
        return seen;
    };
    const auto ansi = fill(tmp / "ansi.mdb", true), wide = fill(tmp / "wide.mdb", false);
    EXPECT_EQ(ansi, wide);
    EXPECT_THAT(ansi, ::testing::Contains(HasSubstr("21 characters")));
    EXPECT_EQ(testsupport::readFile(tmp / "ansi.mdb"), testsupport::readFile(tmp / "wide.mdb"));
    auto db = Database::OpenDatabase(tmp / "ansi.mdb", OpenMode::ReadOnly);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
}

class OnTemplate : public ::testing::TestWithParam<Source> {
protected:
    void SetUp() override {
        file = jettest::hostTemplate(tmp, GetParam());
        if (file.empty())
            GTEST_SKIP() << "fixture absent";
    }

    testsupport::TempDir tmp;
    fs::path file;
};

INSTANTIATE_TEST_SUITE_P(Jet, OnTemplate, ::testing::Values(Source::Access, Source::Built),
                         jettest::sourceName);

// One writer at a time, which another open sees; readers beside it take no lock. A closed
// database is refused.
TEST_P(OnTemplate, MistakesAreErrorsThatChangeNothing) {
    EXPECT_FALSE(lockedByAnother(tmp / "missing.mdb"));
    EXPECT_FALSE(lockedByAnother(file)) << "readers take no lock";
    auto db = Database::OpenDatabase(file);
    EXPECT_TRUE(lockedByAnother(file));
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
    // Texts outside Windows-1252 are refused in an indexed column (the round trips store them in
    // others).
    auto people = db.OpenRecordset("Active_Employees");
    people.AddNew();
    people["Employee_ID"] = 77;
    people["Last_Name"] = u"Мир";
    EXPECT_THROW(people.Update(), Error);
    db.Close();
    EXPECT_FALSE(lockedByAnother(file));
    EXPECT_THROW(db.OpenRecordset("Rates"), Error);
    db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
    EXPECT_EQ(db.OpenRecordset("Active_Employees").RecordCount(), 5);
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

// The engine grows no file past what Access opens, and says so naming the file.
TEST(JetWrite, TheFileStopsAtTheLimitWithItsOwnError) {
    EXPECT_EQ(kAccessFileLimit, 2147483648u);
    testsupport::TempDir tmp;
    const auto file = tmp / "grow.mdb";
    jettest::withTable(file, {u"Rows", {{u"Text", ColumnType::Text, 255}}, {}}).Close();
    const auto limit = fs::file_size(file) + 6 * 4096;
    setFileSizeLimit(limit);
    struct Restore {
        ~Restore() { setFileSizeLimit(kAccessFileLimit); }
    } restore;
    auto db = Database::OpenDatabase(file);
    auto rs = db.OpenRecordset("Rows");
    int added = 0;
    std::string error;
    try {
        for (; added < 100000; ++added) {
            rs.AddNew();
            rs["Text"] = std::u16string(200, u'a');
            rs.Update();
        }
    } catch (const FileSizeLimit& e) {
        error = e.what();
    }
    EXPECT_THAT(error, HasSubstr("grow.mdb: the database would grow past " + std::to_string(limit) +
                                 " bytes"));
    EXPECT_GT(added, 0);
    db.Close();
    EXPECT_LE(fs::file_size(file), limit);
}

// Syncs started while the file is written, one after another on their own thread, leave the very
// file that one flush at the end makes, in a database closed and in one only dropped.
TEST(JetWrite, EarlySyncsChangeNoByte) {
    testsupport::TempDir tmp;
    jettest::withTable(tmp / "empty.mdb", {u"Rows", {{u"Text", ColumnType::Text, 255}}, {}})
        .Close();
    auto fill = [&](const fs::path& file, std::size_t syncStep, bool close) {
        fs::copy_file(tmp / "empty.mdb", file);
        struct Restore {
            std::size_t old = earlySyncStep();
            ~Restore() { setEarlySyncStep(old); }
        } restore;
        setEarlySyncStep(syncStep);
        auto db = Database::OpenDatabase(file);
        auto rs = db.OpenRecordset("Rows");
        for (int k = 0; k < 20000; ++k) { // some 4 MB
            rs.AddNew();
            rs["Text"] = u"row " + std::u16string(100 + k % 100, u'a' + k % 26);
            rs.Update();
        }
        if (close)
            db.Close();
    };
    fill(tmp / "once.mdb", std::size_t(1) << 30, true);
    fill(tmp / "often.mdb", 4096, true);
    fill(tmp / "dropped.mdb", 4096, false);
    const std::string once = testsupport::readFile(tmp / "once.mdb");
    EXPECT_EQ(testsupport::readFile(tmp / "often.mdb"), once);
    EXPECT_EQ(testsupport::readFile(tmp / "dropped.mdb"), once);
    auto db = Database::OpenDatabase(tmp / "often.mdb", OpenMode::ReadOnly);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
}

// `check` finds index entries changed behind the engine's back: one missing, or one whose row
// is another than the row it stands for.
TEST_P(OnTemplate, CheckFindsIndexEntriesThatAreNotTheRows) {
    struct Case {
        const char* what;
        bool otherRow; // the entry comes back, for another row
        const char* problem;
    };
    const Case cases[] = {
        {"missing", false, "holds 2 entries for 3 rows"},
        {"for another row", true, "does not match row"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path copy = tmp / (std::string("check-") + (c.otherRow ? "other" : "missing"));
        fs::copy_file(file, copy);
        {
            auto db = Database::OpenDatabase(copy);
            Table& t = db.GetTable(u"Letter_Templates");
            const RowRef first = t.scan().front();
            const auto values = t.read(first);
            removeFromIndexes(t, first.id, values);
            if (c.otherRow)
                addToIndexes(t,
                             RowId{first.id.page, static_cast<std::uint16_t>(first.id.row + 100)},
                             values);
            db.Close();
        }
        auto db = Database::OpenDatabase(copy, OpenMode::ReadOnly);
        auto problems = checkDatabase(db);
        ASSERT_FALSE(problems.empty());
        EXPECT_THAT(problems.front(), HasSubstr(c.problem));
    }
}

} // namespace
