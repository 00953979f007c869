// The DAO-shaped interface over the backup catalogue: queries, criteria, navigation, deleting,
// and the errors a caller sees for mistakes.
#include "JetTest.h"
#include "jet/Query.h"

#include <optional>

namespace fs = std::filesystem;
using namespace jet;
using ::testing::HasSubstr;

namespace {

// fldAutoNum of every row a recordset yields, in order.
std::vector<int> ids(Recordset& rs) {
    std::vector<int> out;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        out.push_back(std::get<std::int32_t>(rs["fldAutoNum"].value()));
    return out;
}

// On a copy of the catalogue Access made.
class JetRecordset : public ::testing::Test {
protected:
    void SetUp() override {
        JET_FIXTURE(from, "templates/jet4/sysrestore.mdb");
        file = jettest::writableCopy(tmp, from);
        db.emplace(Database::OpenDatabase(file));
    }

    testsupport::TempDir tmp;
    fs::path file;
    std::optional<Database> db;
};

// Queries select the rows Access would, and bad ones are errors naming the problem.
TEST_F(JetRecordset, QueriesSelectTheRowsAccessWould) {
    const std::string T = "SELECT * FROM tblFileInformation";
    const std::pair<std::string, std::vector<int>> cases[] = {
        {"tblFileInformation", {1, 2, 3, 4, 5, 6}},
        {"[tblfileinformation]", {1, 2, 3, 4, 5, 6}},
        {T, {1, 2, 3, 4, 5, 6}},
        {"select * from [tblFileInformation] where fldBackupMonth = 12", {1, 2, 3, 6}},
        {T + " WHERE [fldBackupMonth]=12 AND fldBackupDay=1", {1, 2}},
        {T + " WHERE fldYear=2000 AND fldBackupDay=29", {5}},
        {T + " WHERE fldBackupName='month END'", {4}},
        {T + " WHERE fldBackupName=\"Leap day\"", {5}},
        // Blanks inside a stored text are significant.
        {T + " WHERE fldBackupName='Weekly backup'", {}},
        {T + " WHERE fldBackupName='  Weekly backup  '", {1}},
        // A quoted number still compares as a number with a number column.
        {T + " WHERE fldBackupDay='28'", {4}},
        // Empty notes are stored as empty texts, which '' finds.
        {T + " WHERE fldNotes=''", {2, 6}},
        {T + " WHERE fldNotes='y2k ERA'", {5}}};
    for (const auto& [source, expect] : cases) {
        auto rs = db->OpenRecordset(source);
        EXPECT_EQ(rs.RecordCount(), static_cast<long>(expect.size())) << source;
        EXPECT_EQ(ids(rs), expect) << source;
    }
    const std::pair<std::string, const char*> bad[] = {
        {"NoSuchTable", "no table named 'NoSuchTable'"},
        {"SELECT fldYear FROM tblFileInformation", "only SELECT *"},
        {"SELECT * tblFileInformation", "FROM is expected"},
        {T + " WHERE", "a name is expected"},
        {T + " WHERE fldYear", "'=' is expected"},
        {T + " WHERE fldYear=", "a value"},
        {T + " WHERE fldBackupName='x", "unclosed quote"},
        {T + " WHERE nope=1", "no column named 'nope'"},
        {T + " WHERE fldYear=1 OR fldYear=2", "unexpected text"}};
    for (const auto& [source, message] : bad)
        EXPECT_THAT(jettest::errorOf([&] { db->OpenRecordset(source); }), HasSubstr(message));
}

// FindFirst and FindNext walk the matches; navigation ends at Eof, where reading is an error;
// deleting takes rows out of both.
TEST_F(JetRecordset, FindMoveAndDeleteWalkTheRows) {
    auto rs = db->OpenRecordset("tblFileInformation");
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

    auto one = db->OpenRecordset("SELECT * FROM tblFileInformation WHERE fldYear=2101");
    one.MoveFirst();
    ASSERT_FALSE(one.Eof());
    EXPECT_EQ(utf8(std::get<std::u16string>(one["fldFileNameLocation"].value())), "E:\\");
    EXPECT_EQ(std::get<std::u16string>(one["fldNotes"].value()), u"");
    one.MoveNext();
    EXPECT_TRUE(one.Eof());
    EXPECT_THROW(one["fldYear"].value(), Error);
    EXPECT_THROW(one.MoveNext(), Error);
    one.Close();
    EXPECT_THROW(one.RecordCount(), Error);

    // A deleted row leaves the navigation, the search goes on after it, and the counts follow.
    ASSERT_TRUE(rs.FindFirst(u"[fldBackupDay]=1"));
    EXPECT_EQ(std::get<std::int32_t>(rs["fldAutoNum"].value()), 1);
    rs.Delete();
    EXPECT_EQ(rs.RecordCount(), 5);
    ASSERT_TRUE(rs.FindNext(u"[fldBackupDay]=1")) << "the other backup of that day";
    EXPECT_EQ(std::get<std::int32_t>(rs["fldAutoNum"].value()), 2);
    rs.Delete();
    EXPECT_FALSE(rs.FindFirst(u"[fldBackupDay]=1"));
    EXPECT_TRUE(rs.NoMatch());
    EXPECT_EQ(ids(rs), (std::vector<int>{3, 4, 5, 6}));
    for (int i = 0; i < 3; ++i) {
        rs.MoveFirst();
        rs.Delete();
    }
    rs.MoveFirst();
    rs.Delete();
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    EXPECT_TRUE(rs.Bof());
    EXPECT_EQ(rs.RecordCount(), 0);
    db->Close();
    db.emplace(Database::OpenDatabase(file, OpenMode::ReadOnly));
    EXPECT_EQ(db->OpenRecordset("tblFileInformation").RecordCount(), 0);
}

// Rows stored through a recordset follow the table's rows in it, each once, whether or not the
// table's rows were looked at before; the row just stored is current until the next move.
TEST_F(JetRecordset, StoredRowsFollowTheTablesRowsOnce) {
    struct Case {
        const char* steps; // r: read the current row, a: add a row, d: delete the current row,
                           // n: MoveNext, f: MoveFirst
        std::vector<int> current; // fldAutoNum of each 'r', in order
        std::vector<int> rows;    // then, from MoveFirst
    };
    const Case cases[] = {
        {"rarar", {1, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"aadr", {-1}, {1, 2, 3, 4, 5, 6, 7}}, // -1: no current row to read
        {"aan", {}, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"adn", {}, {1, 2, 3, 4, 5, 6}},
        {"fdnadar", {8}, {2, 3, 4, 5, 6, 8}},
        {"nnrar", {3, 7}, {1, 2, 3, 4, 5, 6, 7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps);
        testsupport::TempDir dir;
        auto copy = dir.path() / "copy.mdb";
        fs::copy_file(file, copy);
        auto fresh = Database::OpenDatabase(copy);
        auto rs = fresh.OpenRecordset("tblFileInformation");
        std::vector<int> current;
        for (const char* p = c.steps; *p; ++p) {
            switch (*p) {
            case 'r':
                try {
                    current.push_back(std::get<std::int32_t>(rs["fldAutoNum"].value()));
                } catch (const Error&) {
                    current.push_back(-1);
                }
                break;
            case 'a':
                rs.AddNew();
                rs["fldBackupName"] = u"added";
                rs.Update();
                break;
            case 'd':
                rs.Delete();
                break;
            case 'n':
                rs.MoveNext();
                break;
            case 'f':
                rs.MoveFirst();
                break;
            }
        }
        EXPECT_EQ(current, c.current);
        EXPECT_EQ(rs.RecordCount(), static_cast<long>(c.rows.size()));
        EXPECT_EQ(ids(rs), c.rows);
        fresh.Close();
    }
}

TEST(JetQuery, CriteriaParseAndMatchAsAccessCompares) {
    auto c = parseCriteria(u"[Name]='O''Neil' AND [Other]=-2.5");
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].column, u"Name");
    EXPECT_EQ(std::get<std::u16string>(c[0].literal), u"O'Neil"); // quotes double inside texts
    EXPECT_EQ(std::get<double>(c[1].literal), -2.5);
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

} // namespace
