// Indexes of a table filled from empty, built once from the sorted entries (set aside in runs on
// disk when they outgrow the memory budget), against the same rows merged into a tree that
// already held some: the same entries, the same refusals, a sound file for us and for mdbtools,
// and no temporary file left behind.
#include "JetTest.h"
#include "jet/Check.h"
#include "jet/IndexBuild.h"
#include "jet/IndexFilePages.h"
#include "jet/IndexSupport.h"
#include "jet/Table.h"

#include <algorithm>
#include <map>
#include <random>
#include <set>

namespace fs = std::filesystem;
using namespace jet;
using ::testing::HasSubstr;

namespace {

NewTable people() {
    using T = ColumnType;
    NewTable t;
    t.name = u"People";
    t.columns = {{u"ID", T::Long},
                 {u"SSN", T::Text, 11},
                 {u"Last", T::Text, 30},
                 {u"First", T::Text, 20},
                 {u"Age", T::Int}};
    t.indexes = {{u"PrimaryKey", {{u"ID"}}, true},
                 {u"BySSN", {{u"SSN"}}, false, true},
                 {u"ByName", {{u"Last"}, {u"First"}}},
                 {u"ByAge", {{u"Age", false}}}};
    return t;
}

// Names that differ in case and accents only, so the text keys' General sort order and equal
// keys in the non-unique indexes both matter.
const std::vector<std::u16string> kLast = {u"Smith",  u"smith",    u"Émile", u"Emile", u"O'Brien",
                                           u"OBrien", u"van Dyke", u"Zoë",   u"Åberg", u"Abbott"};
const std::vector<std::u16string> kFirst = {u"Ann", u"ann", u"Bea", u"Ève", u""};

std::u16string ssnOf(int i) {
    return utf16(std::to_string(100000000 + (static_cast<long>(i) * 7919) % 1000003));
}

void addPeople(Database& db, int from, int to) {
    auto rs = db.OpenRecordset("People");
    for (int i = from; i < to; ++i) {
        rs.AddNew();
        rs["ID"] = i;
        if (i % 50 != 7) // several Nulls in the unique index, which Access allows
            rs["SSN"] = ssnOf(i);
        rs["Last"] = kLast[(i * 31) % kLast.size()];
        rs["First"] = kFirst[(i * 17) % kFirst.size()];
        rs["Age"] = Value(static_cast<std::int16_t>((i * 13) % 90));
        rs.Update();
    }
}

struct Budget {
    std::size_t old = indexGatherBudget();
    explicit Budget(std::size_t bytes) { setIndexGatherBudget(bytes); }
    ~Budget() { setIndexGatherBudget(old); }
};

// Each index's entries, each with the ID of its row (rows may lie on other pages in another
// file), and its count of distinct keys, as the pages hold them.
struct Indexes {
    std::vector<std::vector<std::pair<std::vector<std::uint8_t>, std::int32_t>>> entries;
    std::vector<std::uint32_t> distinct;
};

Indexes indexesOf(const fs::path& file) {
    auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{}) << file;
    Table& t = db.GetTable(u"People");
    std::map<RowId, std::int32_t> ids;
    for (const RowRef& r : t.scan())
        ids[r.id] = std::get<std::int32_t>(t.read(r)[0]);
    Indexes out;
    for (std::size_t i = 0; i < t.def().realIndexes.size(); ++i) {
        FileIndexPages pages(t, i);
        IndexTree tree(pages, pages.root(), pages.where());
        EXPECT_EQ(tree.verify(), std::vector<std::string>{});
        auto& list = out.entries.emplace_back();
        for (IndexEntry& e : tree.entries())
            list.emplace_back(std::move(e.key), ids.at(e.row));
        out.distinct.push_back(t.def().realIndexes[i].rowCount);
    }
    return out;
}

void expectSame(const Indexes& a, const Indexes& b) {
    ASSERT_EQ(a.entries.size(), b.entries.size());
    for (std::size_t i = 0; i < a.entries.size(); ++i) {
        ASSERT_EQ(a.entries[i].size(), b.entries[i].size()) << "index " << i;
        for (std::size_t k = 0; k < a.entries[i].size(); ++k)
            ASSERT_EQ(a.entries[i][k], b.entries[i][k]) << "index " << i << ", entry " << k;
    }
    EXPECT_EQ(a.distinct, b.distinct);
}

// Files beside the database other than itself.
std::vector<fs::path> leftovers(const fs::path& file) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(file.parent_path()))
        if (e.path() != file)
            out.push_back(e.path());
    return out;
}

constexpr int kRows = 4000;

// The rows added to an empty table (built afresh) and to one that held a row (merged).
class BulkIndex : public ::testing::Test {
protected:
    fs::path fresh(int rows = kRows) {
        const fs::path file = freshDir / "people.mdb";
        auto db = jettest::withTable(file, people());
        addPeople(db, 0, 1);
        EXPECT_TRUE(db.GetTable(u"People").freshBuild);
        addPeople(db, 1, rows);
        db.Close();
        return file;
    }

    fs::path merged(int rows = kRows) {
        const fs::path file = mergedDir / "people.mdb";
        auto db = jettest::withTable(file, people());
        Table& t = db.GetTable(u"People");
        addPeople(db, 0, 1);
        flushIndexes(t);
        t.pendingLimit = 700;
        addPeople(db, 1, rows);
        EXPECT_FALSE(t.freshBuild);
        db.Close();
        return file;
    }

    testsupport::TempDir freshDir, mergedDir;
};

TEST_F(BulkIndex, FreshAndMergedBuildsHoldTheSameEntries) {
    const fs::path a = fresh(), b = merged();
    const Indexes built = indexesOf(a);
    expectSame(built, indexesOf(b));
    EXPECT_EQ(built.entries[0].size(), static_cast<std::size_t>(kRows));
    EXPECT_LT(built.distinct[2], built.entries[2].size()); // names repeat
    EXPECT_EQ(leftovers(a), std::vector<fs::path>{});
    auto db = Database::OpenDatabase(a, OpenMode::ReadOnly);
    jettest::expectMdbExportAgrees(a, "People", jettest::exportOf(db, u"People"), true);
}

TEST_F(BulkIndex, SmallTablesAndEmptyOnesComeOutTheSame) {
    for (int rows : {1, 2, 60}) {
        expectSame(indexesOf(fresh(rows)), indexesOf(merged(rows)));
        fs::remove(freshDir / "people.mdb");
        fs::remove(mergedDir / "people.mdb");
    }
}

// Rows deleted down to none leave indexes built afresh from what comes next.
TEST_F(BulkIndex, AnEmptiedTableIsBuiltAfresh) {
    const fs::path file = fresh(500);
    {
        auto db = Database::OpenDatabase(file);
        auto rs = db.OpenRecordset("People");
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
            rs.Delete();
        addPeople(db, 0, 1);
        EXPECT_TRUE(db.GetTable(u"People").freshBuild);
        addPeople(db, 1, kRows);
        db.Close();
    }
    const Indexes got = indexesOf(file);
    EXPECT_EQ(got.entries[0].size(), static_cast<std::size_t>(kRows));
    EXPECT_EQ(got.entries[3].size(), static_cast<std::size_t>(kRows));
}

// A budget of a few kilobytes sets the entries aside in many runs (more than are read at once,
// so some are first merged into longer ones), merged back in order; their file lies beside the
// database while it is needed and is gone afterwards.
TEST_F(BulkIndex, EntriesSetAsideInRunsComeBackInOrder) {
    const fs::path expected = fresh();
    const fs::path file = mergedDir / "runs.mdb";
    {
        Budget tiny(16 * 1024);
        auto db = jettest::withTable(file, people());
        Table& t = db.GetTable(u"People");
        addPeople(db, 0, kRows);
        ASSERT_TRUE(t.runs);
        EXPECT_GT(t.runs->runs(0), 32u); // more than are merged at once
        EXPECT_EQ(t.runs->file().parent_path(), file.parent_path());
        EXPECT_TRUE(fs::exists(t.runs->file()));
        db.Close();
    }
    EXPECT_EQ(leftovers(file), std::vector<fs::path>{});
    // The same rows went to the same places, so the entries are the same.
    expectSame(indexesOf(file), indexesOf(expected));
    auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    jettest::expectMdbExportAgrees(file, "People", jettest::exportOf(db, u"People"), true);
}

// A duplicate key is refused at Update with the words used for a tree that already holds it,
// whether its twin is in memory or set aside in a run; Nulls are no duplicates.
TEST_F(BulkIndex, DuplicatesAreRefusedWhereverTheirTwinWaits) {
    Budget tiny(16 * 1024);
    const fs::path file = freshDir / "people.mdb";
    auto db = jettest::withTable(file, people());
    Table& t = db.GetTable(u"People");
    addPeople(db, 0, 3000);
    ASSERT_TRUE(t.runs);
    auto twin = [&](int id, const std::u16string& ssn) {
        return jettest::errorOf([&] {
            auto rs = db.OpenRecordset("People");
            rs.AddNew();
            rs["ID"] = id;
            rs["SSN"] = ssn;
            rs.Update();
        });
    };
    const std::string ssnTaken = twin(90000, ssnOf(3)); // long set aside
    EXPECT_THAT(ssnTaken, HasSubstr("'BySSN'"));
    EXPECT_THAT(ssnTaken, HasSubstr("the index is unique and already holds this key"));
    EXPECT_THAT(twin(90001, ssnOf(2999)), HasSubstr("'BySSN'")); // still in memory
    EXPECT_THAT(twin(5, u"999"), HasSubstr("'PrimaryKey'"));
    EXPECT_THAT(twin(2998, u"998"), HasSubstr("'PrimaryKey'"));
    EXPECT_EQ(twin(90002, u"997"), "no error");
    // A key below those gathered so far, new, then its twin.
    EXPECT_EQ(twin(-1, u"996"), "no error");
    EXPECT_THAT(twin(-1, u"995"), HasSubstr("'PrimaryKey'"));
    {
        auto rs = db.OpenRecordset("People");
        rs.AddNew();
        rs["ID"] = 90003; // SSN Null, as rows 7, 57, ... have
        rs.Update();
    }
    db.Close();
    EXPECT_EQ(indexesOf(file).entries[0].size(), 3003u);

    // The same twin refused by a tree that holds it says the same.
    auto again = Database::OpenDatabase(file);
    auto rs = again.OpenRecordset("People");
    rs.AddNew();
    rs["ID"] = 90004;
    rs["SSN"] = ssnOf(3);
    EXPECT_EQ(jettest::errorOf([&] { rs.Update(); }), ssnTaken);
}

// When writing the indexes fails (here the file may not grow enough for them) the runs' file
// goes all the same.
TEST_F(BulkIndex, TheRunsFileGoesAfterAFailure) {
    Budget tiny(16 * 1024);
    const fs::path file = freshDir / "people.mdb";
    std::uint64_t rowsOnly = 0;
    {
        auto db = jettest::withTable(file, people());
        db.Close();
    }
    const fs::path copy = mergedDir / "people.mdb";
    fs::copy_file(file, copy);
    {
        auto db = Database::OpenDatabase(file);
        addPeople(db, 0, kRows);
        rowsOnly = std::uint64_t(db.File().pageCount()) * db.File().pageSize();
        db.Close();
    }
    const std::uint64_t old = fileSizeLimit();
    setFileSizeLimit(rowsOnly + 4096);
    std::string failed;
    {
        auto db = Database::OpenDatabase(copy);
        addPeople(db, 0, kRows);
        ASSERT_TRUE(db.GetTable(u"People").runs);
        failed = jettest::errorOf([&] { db.Close(); });
    }
    setFileSizeLimit(old);
    EXPECT_THAT(failed, HasSubstr("would grow past"));
    EXPECT_EQ(leftovers(copy), std::vector<fs::path>{});
}

TEST(KeyHashes, HoldWhatWasPutInAndLittleElse) {
    KeyHashes set;
    std::mt19937_64 rng(3);
    std::vector<std::uint64_t> in(20000);
    for (auto& h : in) {
        h = KeyHashes::of(std::vector<std::uint8_t>{static_cast<std::uint8_t>(rng()),
                                                    static_cast<std::uint8_t>(rng() >> 8),
                                                    static_cast<std::uint8_t>(rng() >> 16)});
        set.insert(h);
        set.insert(h); // twice is once
    }
    for (auto h : in)
        EXPECT_TRUE(set.mayHold(h));
    // Keys that differ in one byte or only in length hash apart.
    std::set<std::uint64_t> seen;
    for (std::size_t n = 0; n < 20; ++n)
        for (std::uint8_t b = 0; b < 4; ++b)
            seen.insert(KeyHashes::of(std::vector<std::uint8_t>(n, b)));
    EXPECT_EQ(seen.size(), 20u * 4u - 3u); // the empty key is one, whatever its byte
    EXPECT_FALSE(KeyHashes().mayHold(KeyHashes::of(std::vector<std::uint8_t>{1})));
}

// Entries packed in blocks give back each key and row as added, and sort as entryLess does,
// whatever the keys' lengths: none, ones that end a block exactly, ones larger than a fresh
// block, the longest a record notes.
TEST(GatheredEntries, GiveBackWhatWasAddedInKeyOrder) {
    const std::vector<std::size_t> lengths = {0, 1, 7, 8, 9, 4095, 4096, 4097, 5000, 65535};
    std::mt19937 rng(5);
    GatheredEntries gathered;
    std::vector<IndexEntry> want;
    for (int k = 0; k < 3000; ++k) {
        // Mostly short keys sharing their first bytes, so the sort looks past them.
        const std::size_t n = k % 7 == 0 ? lengths[(k / 7) % lengths.size()] : 9 + rng() % 4;
        std::vector<std::uint8_t> key(n, 0x41);
        if (n > 0)
            key.back() = static_cast<std::uint8_t>(rng() % 3);
        const RowId row{static_cast<std::uint32_t>(rng() % 50), static_cast<std::uint16_t>(k)};
        gathered.add(key, row);
        want.push_back({key, row, 0});
    }
    ASSERT_EQ(gathered.size(), want.size());
    for (std::size_t k = 0; k < want.size(); ++k) {
        ASSERT_TRUE(std::ranges::equal(gathered.key(k), want[k].key)) << k;
        ASSERT_EQ(gathered.row(k), want[k].row) << k;
    }
    std::vector<IndexEntry> sorted;
    for (std::uint32_t at : gathered.sortedOrder()) {
        IndexEntry e;
        gathered.copyTo(at, e);
        sorted.push_back(std::move(e));
    }
    std::stable_sort(want.begin(), want.end(), entryLess);
    ASSERT_EQ(sorted.size(), want.size());
    for (std::size_t k = 0; k < want.size(); ++k)
        ASSERT_TRUE(sorted[k].key == want[k].key && sorted[k].row == want[k].row) << k;
    EXPECT_THAT(jettest::errorOf([&] { gathered.add(std::vector<std::uint8_t>(65536), {}); }),
                HasSubstr("too long"));
}

// Lists made on the pipe's thread come out whole and in turn, over many blocks and none, each
// entry marked by how it follows the one before; a failure there reaches the taker in place of
// the rest; a taker that leaves early does not wait for the rest.
TEST(EntryPipe, HandsOverEachListInTurnAndItsMakersFailure) {
    auto entry = [](std::vector<std::uint8_t> key, std::uint32_t page) {
        return IndexEntry{std::move(key), {page, 0}, 0};
    };
    std::vector<std::vector<IndexEntry>> lists(4);
    for (std::uint32_t k = 0; k < 30000; ++k) // some 300 KB of keys: several blocks
        lists[0].push_back(
            entry(std::vector<std::uint8_t>(9, static_cast<std::uint8_t>(k / 300)), k));
    lists[2] = {entry({5}, 1), entry({5}, 2), entry({5}, 2), entry({4}, 3), entry({6}, 1)};
    lists[3] = {entry(std::vector<std::uint8_t>(65535, 1), 1)};
    auto made = [&](std::size_t k, const EntryPipe::Sink& out) {
        for (const IndexEntry& e : lists[k])
            out(e);
    };
    std::vector<std::vector<int>> follows(lists.size());
    {
        EntryPipe pipe(lists.size(), made);
        for (std::size_t k = 0; k < lists.size(); ++k) {
            std::size_t n = 0;
            while (const EntryPipe::Block* b = pipe.next())
                for (const EntryPipe::Block::Entry& e : b->entries) {
                    ASSERT_LT(n, lists[k].size());
                    ASSERT_TRUE(std::ranges::equal(b->key(e), lists[k][n].key)) << k << " " << n;
                    ASSERT_EQ(e.row, lists[k][n].row);
                    follows[k].push_back(e.follows);
                    ++n;
                }
            EXPECT_EQ(n, lists[k].size()) << "list " << k;
        }
    }
    // Across the blocks' edges too: a new key every 300 entries, a later row otherwise.
    for (std::size_t n = 1; n < follows[0].size(); ++n)
        ASSERT_EQ(follows[0][n], n % 300 == 0 ? 1 : 0) << n;
    EXPECT_EQ(follows[2], (std::vector<int>{-1, 0, -1, -1, 1}));

    EntryPipe failing(2, [&](std::size_t k, const EntryPipe::Sink& out) {
        made(0, out);
        if (k == 1)
            throw Error("the runs could not be read");
    });
    std::size_t n = 0;
    std::string error;
    try {
        for (int list = 0; list < 2; ++list)
            while (const EntryPipe::Block* b = failing.next())
                n += b->entries.size();
    } catch (const Error& e) {
        error = e.what();
    }
    EXPECT_EQ(error, "the runs could not be read");
    EXPECT_GE(n, lists[0].size()); // the whole list made before

    EntryPipe left(3, made);
    EXPECT_NE(left.next(), nullptr); // and gone with most of the lists still to make
}

} // namespace
