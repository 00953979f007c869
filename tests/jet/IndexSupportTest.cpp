// Index maintenance end to end where the round trips do not reach: a duplicate given for an
// autonumber key, `check` finding an entry taken out behind the engine's back, and the count of
// distinct keys at a leaf boundary.
#include "jet/IndexSupport.h"

#include "JetTest.h"
#include "jet/Check.h"
#include "jet/Error.h"
#include "jet/IndexLayout.h"

namespace fs = std::filesystem;
using namespace jet;

namespace {

// A writable copy of the host template Access made, sound before the test touches it.
class JetIndexSupport : public ::testing::Test {
protected:
    void SetUp() override {
        file = jettest::hostTemplate(tmp, jettest::Source::Access);
        if (file.empty())
            GTEST_SKIP() << "fixture absent";
        auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
        ASSERT_EQ(checkDatabase(db), std::vector<std::string>{}) << "the template itself is sound";
    }

    testsupport::TempDir tmp;
    fs::path file;
};

// An autonumber key given a value that is taken.
TEST_F(JetIndexSupport, UniqueIndexRefusesADuplicateNamingTheIndex) {
    auto db = Database::OpenDatabase(file);
    auto rs = db.OpenRecordset("Rates");
    rs.MoveFirst();
    Value existing = rs["Rate_ID"].value();
    rs.AddNew();
    rs["Insurer_ID"] = 3;
    rs.Update(); // a fresh autonumber: fine
    rs.AddNew();
    rs["Rate_ID"] = existing;
    rs["Insurer_ID"] = 4;
    try {
        rs.Update();
        FAIL() << "duplicate primary key accepted";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("index 'PrimaryKey'"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("unique"), std::string::npos) << e.what();
    }
    rs.CancelUpdate();
    EXPECT_EQ(rs.RecordCount(), 2);
    db.Close();
    auto again = Database::OpenDatabase(file, OpenMode::ReadOnly);
    EXPECT_EQ(again.OpenRecordset("Rates").RecordCount(), 2);
    EXPECT_EQ(checkDatabase(again), std::vector<std::string>{})
        << "nothing of the refused row is left";
}

TEST_F(JetIndexSupport, CheckFindsAMissingIndexEntry) {
    {
        auto db = Database::OpenDatabase(file);
        Table& t = db.GetTable(u"Rates");
        auto rows = t.scan();
        ASSERT_FALSE(rows.empty());
        // Take one row's entries out of the indexes behind the engine's back.
        removeFromIndexes(t, rows.front().id, t.read(rows.front()));
        db.Close();
    }
    auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    auto problems = checkDatabase(db);
    ASSERT_FALSE(problems.empty());
    EXPECT_NE(problems.front().find("holds 0 entries for 1 rows"), std::string::npos)
        << problems.front();
}

} // namespace

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
    auto add = [&](int id, const std::u16string& name) {
        auto rs = db.OpenRecordset(u"T");
        rs.AddNew();
        rs["ID"] = id;
        rs["Name"] = name;
        rs.Update();
    };
    auto name = [](int n) {
        std::string s = std::to_string(n);
        return utf16("Name " + std::string(6 - s.size(), '0') + s);
    };
    for (int n = 0; n < 3000; ++n)
        add(n, name(n));
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

    add(9000, name(duplicate)); // a later row: it sorts after the boundary, into the next leaf
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
