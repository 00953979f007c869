// The DAO-shaped read interface over the backup catalogue template: queries, criteria,
// navigation and the errors a caller sees for mistakes.
#include "FixtureDump.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/Query.h"
#include "sample/SampleDatabases.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace jet;

namespace {

fs::path catalogue() {
    return jettest::fixtures() / "templates/jet4/sysrestore.mdb";
}

// fldAutoNum of every row a recordset yields, in order.
std::vector<int> ids(Recordset& rs) {
    std::vector<int> out;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        out.push_back(std::get<std::int32_t>(rs["fldAutoNum"].value()));
    return out;
}

struct QueryCase {
    const char* source;
    std::vector<int> expect;
};

void PrintTo(const QueryCase& c, std::ostream* os) {
    *os << c.source;
}

class JetQuery : public ::testing::TestWithParam<QueryCase> {};

TEST_P(JetQuery, SelectsTheRowsAccessWould) {
    if (!fs::exists(catalogue()))
        GTEST_SKIP() << "fixture absent";
    auto db = Database::OpenDatabase(catalogue(), OpenMode::ReadOnly);
    auto rs = db.OpenRecordset(GetParam().source);
    EXPECT_EQ(rs.RecordCount(), static_cast<long>(GetParam().expect.size()));
    EXPECT_EQ(ids(rs), GetParam().expect);
}

INSTANTIATE_TEST_SUITE_P(
    JetRecordset, JetQuery,
    ::testing::Values(
        QueryCase{"tblFileInformation", {1, 2, 3, 4, 5, 6}},
        QueryCase{"[tblfileinformation]", {1, 2, 3, 4, 5, 6}},
        QueryCase{"SELECT * FROM tblFileInformation", {1, 2, 3, 4, 5, 6}},
        QueryCase{"select * from [tblFileInformation] where fldBackupMonth = 12", {1, 2, 3, 6}},
        QueryCase{"SELECT * FROM tblFileInformation WHERE [fldBackupMonth]=12 AND fldBackupDay=1",
                  {1, 2}},
        QueryCase{"SELECT * FROM tblFileInformation WHERE fldYear=2000 AND fldBackupDay=29", {5}},
        QueryCase{"SELECT * FROM tblFileInformation WHERE fldBackupName='month END'", {4}},
        QueryCase{"SELECT * FROM tblFileInformation WHERE fldBackupName=\"Leap day\"", {5}},
        // Blanks inside a stored text are significant.
        QueryCase{"SELECT * FROM tblFileInformation WHERE fldBackupName='Weekly backup'", {}},
        QueryCase{"SELECT * FROM tblFileInformation WHERE fldBackupName='  Weekly backup  '", {1}},
        // A quoted number still compares as a number with a number column.
        QueryCase{"SELECT * FROM tblFileInformation WHERE fldBackupDay='28'", {4}},
        // Empty notes are stored as empty texts, which '' finds.
        QueryCase{"SELECT * FROM tblFileInformation WHERE fldNotes=''", {2, 6}},
        QueryCase{"SELECT * FROM tblFileInformation WHERE fldNotes='y2k ERA'", {5}}),
    [](const auto& info) { return "Query" + std::to_string(info.index); });

TEST(JetRecordset, FindFirstAndFindNextWalkTheMatches) {
    if (!fs::exists(catalogue()))
        GTEST_SKIP() << "fixture absent";
    auto db = Database::OpenDatabase(catalogue(), OpenMode::ReadOnly);
    auto rs = db.OpenRecordset("tblFileInformation");
    std::vector<int> found;
    for (bool ok = rs.FindFirst("[fldBackupMonth]=12"); ok; ok = rs.FindNext("[fldBackupMonth]=12"))
        found.push_back(std::get<std::int32_t>(rs["FLDAUTONUM"].value()));
    EXPECT_EQ(found, (std::vector<int>{1, 2, 3, 6}));
    EXPECT_TRUE(rs.NoMatch());
    // After a failed FindNext the position stays on the last match.
    EXPECT_EQ(std::get<std::int32_t>(rs["fldAutoNum"].value()), 6);

    EXPECT_TRUE(rs.FindFirst("[fldBackupDay]=4 AND [fldBackupName]='before import'"));
    EXPECT_FALSE(rs.NoMatch());
    EXPECT_EQ(std::get<std::int32_t>(rs["fldAutoNum"].value()), 3);
    EXPECT_FALSE(rs.FindFirst("[fldBackupDay]=4 AND [fldYear]=1999"));
    EXPECT_TRUE(rs.NoMatch());
}

TEST(JetRecordset, NavigationEndsAtEofAndReadingThereIsAnError) {
    if (!fs::exists(catalogue()))
        GTEST_SKIP() << "fixture absent";
    auto db = Database::OpenDatabase(catalogue(), OpenMode::ReadOnly);
    auto rs = db.OpenRecordset("SELECT * FROM tblFileInformation WHERE fldYear=2101");
    rs.MoveFirst();
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(utf8(std::get<std::u16string>(rs["fldFileNameLocation"].value())), "E:\\");
    EXPECT_EQ(std::get<std::u16string>(rs["fldNotes"].value()), u"");
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    EXPECT_THROW(rs["fldYear"].value(), Error);
    EXPECT_THROW(rs.MoveNext(), Error);
    rs.Close();
    EXPECT_THROW(rs.RecordCount(), Error);
}

struct BadSource {
    const char* source;
    const char* message;
};

void PrintTo(const BadSource& c, std::ostream* os) {
    *os << c.source;
}

class JetBadQuery : public ::testing::TestWithParam<BadSource> {};

TEST_P(JetBadQuery, IsAnErrorNamingTheProblem) {
    if (!fs::exists(catalogue()))
        GTEST_SKIP() << "fixture absent";
    auto db = Database::OpenDatabase(catalogue(), OpenMode::ReadOnly);
    try {
        db.OpenRecordset(GetParam().source);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    JetRecordset, JetBadQuery,
    ::testing::Values(
        BadSource{"NoSuchTable", "no table named 'NoSuchTable'"},
        BadSource{"SELECT fldYear FROM tblFileInformation", "only SELECT *"},
        BadSource{"SELECT * tblFileInformation", "FROM is expected"},
        BadSource{"SELECT * FROM tblFileInformation WHERE", "a name is expected"},
        BadSource{"SELECT * FROM tblFileInformation WHERE fldYear", "'=' is expected"},
        BadSource{"SELECT * FROM tblFileInformation WHERE fldYear=", "a value"},
        BadSource{"SELECT * FROM tblFileInformation WHERE fldBackupName='x", "unclosed quote"},
        BadSource{"SELECT * FROM tblFileInformation WHERE nope=1", "no column named 'nope'"},
        BadSource{"SELECT * FROM tblFileInformation WHERE fldYear=1 OR fldYear=2",
                  "unexpected text"}),
    [](const auto& info) { return "Bad" + std::to_string(info.index); });

TEST(JetQueryParse, QuotesDoubleInsideTexts) {
    auto c = parseCriteria(u"[Name]='O''Neil' AND [Other]=-2.5");
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].column, u"Name");
    EXPECT_EQ(std::get<std::u16string>(c[0].literal), u"O'Neil");
    EXPECT_EQ(std::get<double>(c[1].literal), -2.5);
}

TEST(JetQueryParse, MatchingFollowsAccessComparison) {
    EXPECT_TRUE(matches(std::u16string(u"SMITH"), std::u16string(u"smith")));
    EXPECT_TRUE(matches(std::u16string(u"Ärger"), std::u16string(u"äRGER")));
    EXPECT_FALSE(matches(std::u16string(u"Smith "), std::u16string(u"Smith")));
    EXPECT_TRUE(matches(std::int16_t{12}, std::int32_t{12}));
    EXPECT_TRUE(matches(Currency{35000}, 3.5));
    EXPECT_TRUE(matches(1.1f, 1.1)); // a single compared at single precision
    EXPECT_TRUE(matches(true, std::int32_t{-1}));
    EXPECT_FALSE(matches(Null{}, std::int32_t{0}));
    EXPECT_FALSE(matches(std::u16string(u"12a"), std::int32_t{12}));
}

// Deleting through a recordset: the deleted row leaves the navigation, the search goes on after
// it, and the counts follow.
TEST(JetRecordset, DeletedRowsLeaveNavigationSearchAndCount) {
    testsupport::TempDir tmp;
    const fs::path file = tmp / "sysrestore.mdb";
    sample::writeCatalogue(file, 2026, 12); // two backups on 12/1, one on 11/28
    auto db = Database::OpenDatabase(file);
    auto rs = db.OpenRecordset("tblFileInformation");
    const std::vector<int> all = ids(rs);
    ASSERT_EQ(all.size(), 3u);

    ASSERT_TRUE(rs.FindFirst(u"[fldBackupDay]=1"));
    const int first = std::get<std::int32_t>(rs["fldAutoNum"].value());
    rs.Delete();
    EXPECT_EQ(rs.RecordCount(), 2);
    ASSERT_TRUE(rs.FindNext(u"[fldBackupDay]=1")) << "the other backup of that day";
    EXPECT_NE(std::get<std::int32_t>(rs["fldAutoNum"].value()), first);
    rs.Delete();
    EXPECT_FALSE(rs.FindFirst(u"[fldBackupDay]=1"));
    EXPECT_TRUE(rs.NoMatch());

    EXPECT_EQ(ids(rs).size(), 1u);
    rs.MoveFirst();
    rs.Delete();
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    EXPECT_TRUE(rs.Bof());
    EXPECT_EQ(rs.RecordCount(), 0);
    db.Close();
    auto again = Database::OpenDatabase(file, OpenMode::ReadOnly);
    EXPECT_EQ(again.OpenRecordset("tblFileInformation").RecordCount(), 0);
}

} // namespace
