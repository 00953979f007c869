// Index maintenance end to end on a copy of a template, with a stand-in index page format:
// the template's index roots are rewritten in that format, and inserts, deletes, unique keys
// and `check` then run over the real file's pages.
#include "jet/IndexSupport.h"

#include "FixtureDump.h"
#include "jet/Check.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "platform/Coding.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <random>

namespace fs = std::filesystem;
using namespace jet;

namespace {

// Stand-in page layout: type, 01, "FK", owner, prev, next, count, then entries of
// (u16 key length, key, u32 page, u16 row, u32 child). Pages hold `capacity` bytes, so a few
// dozen rows already need several levels.
IndexCodec standInCodec(std::size_t capacity) {
    IndexCodec c;
    c.encode = [capacity](const IndexNode& n, std::uint32_t tdef, std::span<std::uint8_t> page) {
        std::size_t size = 18;
        for (const auto& e : n.entries)
            size += 12 + e.key.size();
        if (size > capacity || size > page.size())
            return false;
        std::fill(page.begin(), page.end(), 0);
        page[0] = n.leaf ? 0x04 : 0x03;
        page[1] = 0x01;
        page[2] = 'F';
        page[3] = 'K';
        coding::putLE<std::uint32_t>(page, 4, tdef);
        coding::putLE<std::uint32_t>(page, 8, n.prev);
        coding::putLE<std::uint32_t>(page, 12, n.next);
        coding::putLE<std::uint16_t>(page, 16, static_cast<std::uint16_t>(n.entries.size()));
        std::size_t at = 18;
        for (const auto& e : n.entries) {
            coding::putLE<std::uint16_t>(page, at, static_cast<std::uint16_t>(e.key.size()));
            std::copy(e.key.begin(), e.key.end(),
                      page.begin() + static_cast<std::ptrdiff_t>(at + 2));
            at += 2 + e.key.size();
            coding::putLE<std::uint32_t>(page, at, e.row.page);
            coding::putLE<std::uint16_t>(page, at + 4, e.row.row);
            coding::putLE<std::uint32_t>(page, at + 6, e.child);
            at += 10;
        }
        return true;
    };
    c.decode = [](std::span<const std::uint8_t> page, const std::string& where) {
        if (page[2] != 'F' || page[3] != 'K')
            throw Error(where + ": not a stand-in index page");
        IndexNode n;
        n.leaf = page[0] == 0x04;
        n.prev = coding::getU32(page, 8);
        n.next = coding::getU32(page, 12);
        std::size_t count = coding::getU16(page, 16), at = 18;
        for (std::size_t i = 0; i < count; ++i) {
            IndexEntry e;
            std::size_t len = coding::getU16(page, at);
            auto k = coding::slice(page, at + 2, len);
            e.key.assign(k.begin(), k.end());
            at += 2 + len;
            e.row = {coding::getU32(page, at), coding::getU16(page, at + 4)};
            e.child = coding::getU32(page, at + 6);
            at += 10;
            n.entries.push_back(std::move(e));
        }
        return n;
    };
    auto finish = [](std::vector<std::uint8_t>& out, std::size_t from, bool ascending) {
        if (!ascending)
            for (std::size_t i = from; i < out.size(); ++i)
                out[i] = static_cast<std::uint8_t>(~out[i]);
    };
    c.nullKey = [finish](bool asc, std::vector<std::uint8_t>& out) {
        out.push_back(0x00);
        finish(out, out.size() - 1, asc);
    };
    c.textKey = [finish](std::u16string_view t, bool asc, std::vector<std::uint8_t>& out) {
        std::size_t from = out.size();
        out.push_back(0x7F);
        for (char16_t ch : t) {
            char16_t up = (ch >= u'a' && ch <= u'z') ? static_cast<char16_t>(ch - 32) : ch;
            out.push_back(static_cast<std::uint8_t>(up >> 8));
            out.push_back(static_cast<std::uint8_t>(up));
        }
        out.push_back(0x00);
        finish(out, from, asc);
    };
    c.fixedKey = [finish](ColumnType, std::span<const std::uint8_t> le, bool asc,
                          std::vector<std::uint8_t>& out) {
        std::size_t from = out.size();
        out.push_back(0x7F);
        for (std::size_t i = le.size(); i-- > 0;)
            out.push_back(static_cast<std::uint8_t>(i + 1 == le.size() ? le[i] ^ 0x80 : le[i]));
        finish(out, from, asc);
    };
    return c;
}

// Problems `check` finds in the two tables whose indexes are in the stand-in format (the
// other tables' indexes are still in Access's own).
std::vector<std::string> problemsOfConverted(Database& db) {
    std::vector<std::string> out;
    for (auto& p : checkDatabase(db))
        if (p.find("'Rates'") != std::string::npos ||
            p.find("'Insurance_Companies'") != std::string::npos)
            out.push_back(p);
    return out;
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
        registerIndexCodec(standInCodec(240));
        // Rewrite the indexes of the tables used here in the stand-in format, holding the
        // rows already there.
        auto db = Database::OpenDatabase(file);
        for (const char16_t* name : {u"Rates", u"Insurance_Companies"}) {
            Table& t = db.GetTable(name);
            for (const auto& ri : t.def().realIndexes) {
                auto root = db.File().writablePage(ri.firstPage);
                ASSERT_TRUE(indexCodec()->encode(IndexNode{}, t.def().page, root->mut()));
            }
            for (const RowRef& r : t.scan())
                addToIndexes(t, r.id, t.read(r));
        }
        db.Close();
    }
    void TearDown() override { clearIndexCodec(); }

    testsupport::TempDir tmp;
    fs::path file;
};

TEST_F(JetIndexSupport, InsertsAndDeletesKeepEveryIndexExact) {
    std::mt19937 rng(99);
    std::set<int> rateIds{};
    {
        auto db = Database::OpenDatabase(file);
        EXPECT_EQ(problemsOfConverted(db), std::vector<std::string>{});
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
        EXPECT_EQ(problemsOfConverted(db), std::vector<std::string>{});
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
    EXPECT_EQ(problemsOfConverted(db), std::vector<std::string>{});
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
    EXPECT_EQ(problemsOfConverted(again), std::vector<std::string>{})
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
    auto problems = problemsOfConverted(db);
    ASSERT_FALSE(problems.empty());
    EXPECT_NE(problems.front().find("holds 0 entries for 1 rows"), std::string::npos)
        << problems.front();
}

} // namespace
