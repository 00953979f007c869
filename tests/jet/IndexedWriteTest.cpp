// Writes to indexed tables of a template made by Access, and of one our engine made: thousands of
// rows with awkward texts in and out, every index compared with the rows after each step (our
// `check`), and the rows read back by mdbtools.
#include "FixtureDump.h"
#include "jet/Check.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/Export.h"
#include "jet/IndexSupport.h"
#include "sample/SampleDatabases.h"
#include "support/Command.h"
#include "support/TempDir.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using namespace jet;

namespace {

// Windows-1252 texts of the kinds names are made of; no TAB or line ends, which mdb-export
// would not keep apart from its own separators.
std::u16string randomName(std::mt19937& rng, std::size_t width) {
    static const std::u16string alphabet = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                           u"0123456789   ''--.,&äöüÄÖÜéèêÉçñÑßøØåÅæÆ€";
    switch (rng() % 8) {
    case 0:
        return u"";
    case 1: // the column's whole width
        break;
    default:
        width = 1 + rng() % width;
    }
    std::u16string s;
    for (std::size_t i = 0; i < width; ++i)
        s += alphabet[rng() % alphabet.size()];
    return s;
}

struct Person {
    std::int32_t id;
    std::u16string last, first, social;
};

std::string line(const Person& p) {
    return std::to_string(p.id) + "|" + utf8(p.last) + "|" + utf8(p.first) + "|" + utf8(p.social);
}

// Employee_ID, Last_Name, First_Name and Social of every row, as mdb-export reads them.
std::multiset<std::string> mdbExportPeople(const fs::path& file) {
    std::multiset<std::string> out;
    std::string all = testsupport::mdbExport(file, "Active_Employees");
    std::istringstream in(all);
    std::string row;
    while (std::getline(in, row)) {
        std::vector<std::string> f;
        std::size_t at = 0;
        for (std::size_t tab; (tab = row.find('\t', at)) != std::string::npos; at = tab + 1)
            f.push_back(row.substr(at, tab - at));
        f.push_back(row.substr(at));
        if (f.size() >= 9)
            out.insert(f[0] + "|" + f[1] + "|" + f[2] + "|" + f[8]);
    }
    return out;
}

class IndexedWrite : public ::testing::Test {
protected:
    // The template Access made, when the fixtures are there; else the test is skipped.
    void SetUp() override {
        fs::path src = jettest::fixtures() / "templates/jet4/BRANDMDB.MDB";
        if (!useCreatedTemplate && !fs::exists(src))
            GTEST_SKIP() << "fixture absent";
        file = tmp / "copy.mdb";
        if (useCreatedTemplate) {
            sample::writeTemplate(file);
            return;
        }
        fs::copy_file(src, file);
        fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
    }

    void emptyInsertDeleteInsert();

    void insert(int count, std::size_t pendingLimit) {
        auto db = Database::OpenDatabase(file);
        db.GetTable(u"Active_Employees").pendingLimit = pendingLimit;
        auto rs = db.OpenRecordset("Active_Employees");
        for (int i = 0; i < count; ++i) {
            Person p{nextId++, randomName(rng, 25), randomName(rng, 20), randomName(rng, 12)};
            rs.AddNew();
            rs["Employee_ID"] = p.id;
            rs["Last_Name"] = p.last;
            rs["First_Name"] = p.first;
            rs["Social"] = p.social;
            rs.Update();
            model.insert(line(p));
        }
        db.Close();
    }

    void verify(const char* step) {
        SCOPED_TRACE(step);
        auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
        EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
        Table& t = db.GetTable(u"Active_Employees");
        EXPECT_EQ(t.def().rowCount, model.size());
        // Each index's count of distinct keys in the definition follows the rows.
        const TableDef& d = t.def();
        std::vector<std::set<std::vector<std::uint8_t>>> keys(d.realIndexes.size());
        for (const RowRef& r : t.scan()) {
            auto v = t.read(r);
            for (std::size_t i = 0; i < keys.size(); ++i)
                if (auto k = indexedKey(d, i, v))
                    keys[i].insert(*k);
        }
        for (std::size_t i = 0; i < keys.size(); ++i)
            EXPECT_EQ(d.realIndexes[i].rowCount, keys[i].size()) << "index " << i;
        db.Close();
        if (testsupport::haveMdbTools()) {
            EXPECT_EQ(mdbExportPeople(file), model);
        }
    }

    bool useCreatedTemplate = false;
    testsupport::TempDir tmp;
    fs::path file;
    std::mt19937 rng{2026};
    std::int32_t nextId = 1;
    std::multiset<std::string> model;
};

// The template our engine builds goes through the same.
class IndexedWriteCreated : public IndexedWrite {
protected:
    IndexedWriteCreated() { useCreatedTemplate = true; }
};

void IndexedWrite::emptyInsertDeleteInsert() {
    {
        auto db = Database::OpenDatabase(file);
        auto rs = db.OpenRecordset("Active_Employees");
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
            rs.Delete();
        db.Close();
    }
    verify("emptied");
    insert(3000, 1000000);
    verify("3000 inserted in one pass");
    {
        auto db = Database::OpenDatabase(file);
        auto rs = db.OpenRecordset("Active_Employees");
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
            Person p{std::get<std::int32_t>(rs["Employee_ID"].value()), {}, {}, {}};
            if (p.id % 3 != 0)
                continue;
            auto text = [&](const char* c) {
                Value v = rs[c].value();
                return isNull(v) ? std::u16string() : std::get<std::u16string>(v);
            };
            p.last = text("Last_Name");
            p.first = text("First_Name");
            p.social = text("Social");
            rs.Delete();
            model.erase(model.find(line(p)));
        }
        db.Close();
    }
    verify("every third deleted");
    // A small limit writes the gathered entries many times over, into a tree with rows.
    insert(2000, 250);
    verify("2000 more in small batches");
}

TEST_F(IndexedWrite, EmptyInsertDeleteInsertKeepsEveryIndexExact) {
    emptyInsertDeleteInsert();
}

TEST_F(IndexedWriteCreated, EmptyInsertDeleteInsertKeepsEveryIndexExact) {
    emptyInsertDeleteInsert();
}

// A run of neighbouring keys deleted at once empties whole leaves of the primary key, which
// leave the tree; the leaves around them are linked up again.
TEST_F(IndexedWriteCreated, DeletingARunOfKeysDropsWholeLeaves) {
    {
        auto db = Database::OpenDatabase(file);
        auto rs = db.OpenRecordset("Active_Employees");
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
            rs.Delete();
        db.Close();
    }
    insert(3000, 1000000);
    {
        auto db = Database::OpenDatabase(file);
        auto rs = db.OpenRecordset("SELECT * FROM Active_Employees");
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
            const std::int32_t id = std::get<std::int32_t>(rs["Employee_ID"].value());
            if (id < 1000 || id > 2000)
                continue;
            auto text = [&](const char* c) {
                Value v = rs[c].value();
                return isNull(v) ? std::u16string() : std::get<std::u16string>(v);
            };
            model.erase(
                model.find(line({id, text("Last_Name"), text("First_Name"), text("Social")})));
            rs.Delete();
        }
        db.Close();
    }
    verify("ids 1000 to 2000 deleted");
    insert(500, 1000000);
    verify("500 more");
}

TEST_F(IndexedWrite, UniqueKeysAreRefusedWhetherGatheredOrOnThePages) {
    auto db = Database::OpenDatabase(file);
    auto rs = db.OpenRecordset("Active_Employees");
    auto add = [&](std::int32_t id) {
        rs.AddNew();
        rs["Employee_ID"] = id;
        rs["Last_Name"] = u"Smith";
        rs.Update();
    };
    add(1000);
    EXPECT_THROW(add(1000), Error) << "the first is only gathered";
    rs.CancelUpdate();
    flushIndexes(db.GetTable(u"Active_Employees"));
    try {
        add(1000);
        FAIL() << "the first is on the pages now";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("'PrimaryKey'"), std::string::npos) << e.what();
    }
    rs.CancelUpdate();
    // The template's own rows hold 1 to 5.
    EXPECT_THROW(add(3), Error);
    rs.CancelUpdate();
    add(1001);
    db.Close();
    auto again = Database::OpenDatabase(file, OpenMode::ReadOnly);
    EXPECT_EQ(checkDatabase(again), std::vector<std::string>{});
    EXPECT_EQ(again.OpenRecordset("Active_Employees").RecordCount(), 7);
}

TEST_F(IndexedWrite, UniqueKeysAreFoundAnywhereInATreeOfSeveralLevels) {
    nextId = 6; // after the template's own rows
    insert(4000, 300);
    auto db = Database::OpenDatabase(file);
    Table& t = db.GetTable(u"Active_Employees");
    flushIndexes(t);
    auto rs = db.OpenRecordset("Active_Employees");
    for (std::int32_t id : {1, 5, 6, 7, 2000, 3999, 4005, 3001, 1234}) {
        rs.AddNew();
        rs["Employee_ID"] = id;
        EXPECT_THROW(rs.Update(), Error) << id;
        rs.CancelUpdate();
    }
    for (std::int32_t id : {4006, 90000, -3}) {
        rs.AddNew();
        rs["Employee_ID"] = id;
        EXPECT_NO_THROW(rs.Update()) << id;
    }
    db.Close();
    auto again = Database::OpenDatabase(file, OpenMode::ReadOnly);
    EXPECT_EQ(checkDatabase(again), std::vector<std::string>{});
}

TEST_F(IndexedWrite, TextsOutsideWindows1252AreRefusedInAnIndexedColumnOnly) {
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
    auto again = Database::OpenDatabase(file, OpenMode::ReadOnly);
    EXPECT_EQ(checkDatabase(again), std::vector<std::string>{});
    EXPECT_EQ(again.OpenRecordset("Active_Employees").RecordCount(), 6);
}

} // namespace
