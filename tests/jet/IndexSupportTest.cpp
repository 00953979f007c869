// Index maintenance end to end on a copy of a template made by Access: inserts, deletes, unique
// keys and `check` over the real index pages.
#include "jet/IndexSupport.h"

#include "FixtureDump.h"
#include "jet/Check.h"
#include "jet/Create.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/IndexFilePages.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <random>
#include <set>

namespace fs = std::filesystem;
using namespace jet;

namespace {

std::vector<std::string> problemsOf(const fs::path& file) {
    auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    return checkDatabase(db);
}

class JetIndexSupport : public ::testing::Test {
protected:
    void SetUp() override {
        fs::path src = jettest::fixtures() / "templates/jet4/BRANDMDB.MDB";
        if (!fs::exists(src))
            GTEST_SKIP() << "fixture absent";
        file = tmp / "copy.mdb";
        fs::copy_file(src, file);
        fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
        ASSERT_EQ(problemsOf(file), std::vector<std::string>{}) << "the template itself is sound";
    }

    testsupport::TempDir tmp;
    fs::path file;
};

TEST_F(JetIndexSupport, InsertsAndDeletesKeepEveryIndexExact) {
    std::mt19937 rng(99);
    std::set<int> rateIds{};
    {
        auto db = Database::OpenDatabase(file);
        EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
        auto rs = db.OpenRecordset("Rates");
        for (int i = 0; i < 400; ++i) {
            rs.AddNew();
            rs["Insurer_ID"] = static_cast<int>(rng() % 20); // many duplicates: not unique
            rs["Structure_Name"] = utf16("tier " + std::to_string(rng() % 5));
            rs["Rate"] = static_cast<double>(rng() % 100000) / 100.0;
            rs.Update();
        }
        db.Close();
    }
    {
        auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
        EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
    }
    {
        auto db = Database::OpenDatabase(file);
        auto rs = db.OpenRecordset("SELECT * FROM Rates WHERE Structure_Name='tier 3'");
        long doomed = rs.RecordCount();
        EXPECT_GT(doomed, 40);
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
            rs.Delete();
        EXPECT_EQ(db.OpenRecordset("Rates").RecordCount(), 401 - doomed);
        db.Close();
    }
    auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
}

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
// distinct key: the table definition's count of distinct keys stays as it was.
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

    // The last key of the second leaf, from the leaf level.
    FileIndexPages pages(t, 0);
    IndexNode node = pages.load(t.def().realIndexes[0].firstPage);
    ASSERT_FALSE(node.leaf) << "the tree needs several leaves";
    while (!node.leaf)
        node = pages.load(node.entries.front().child);
    node = pages.load(node.next);
    ASSERT_NE(node.next, 0u);
    const std::vector<std::uint8_t> boundary = node.entries.back().key;
    int duplicate = -1;
    for (int n = 0; n < 3000 && duplicate < 0; ++n)
        if (indexKey(t.def(), 0, {Value(n), Value(name(n))}) == boundary)
            duplicate = n;
    ASSERT_GE(duplicate, 0);

    add(9000, name(duplicate)); // a later row: it sorts after the boundary, into the next leaf
    flushIndexes(t);
    EXPECT_EQ(t.def().realIndexes[0].rowCount, 3000u);
    db.Close();
    auto again = Database::OpenDatabase(file, OpenMode::ReadOnly);
    EXPECT_EQ(checkDatabase(again), std::vector<std::string>{});
}
