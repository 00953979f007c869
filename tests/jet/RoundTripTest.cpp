// Rows in and out, table-driven: each trip empties a table, fills it, deletes some of it, fills
// it again and empties it. After every step `check`, our export, the row count, every index's
// count of distinct keys, the autonumber, the long value pages and mdb-export all agree with a
// model of the rows; a twin of a unique key is refused wherever the first one is.
#include "JetTest.h"
#include "base/Coding.h"
#include "jet/Check.h"
#include "jet/Export.h"
#include "jet/IndexPage.h"
#include "jet/IndexSupport.h"
#include "jet/UsageMap.h"

#include <map>
#include <random>
#include <set>

namespace fs = std::filesystem;
using namespace jet;
using jettest::Source;
using ::testing::AllOf;
using ::testing::HasSubstr;

namespace {

// A table of every column type the engine creates, with unique, descending and several-column
// indexes.
NewTable everyType() {
    using T = ColumnType;
    NewTable t;
    t.name = u"Every Type";
    t.columns = {{u"ID", T::Long, 0, true}, {u"Name", T::Text, 40}, {u"Notes", T::Memo},
                 {u"Small", T::Byte},       {u"Count", T::Int},     {u"Big", T::Long},
                 {u"Ratio", T::Float},      {u"Value", T::Double},  {u"Price", T::Money},
                 {u"When", T::DateTime},    {u"Flag", T::Boolean},  {u"Code", T::Text, 1}};
    t.indexes = {{u"PrimaryKey", {{u"ID"}}, true},
                 {u"ByName", {{u"Name", false}, {u"Big"}}, false, true},
                 {u"ByWhen", {{u"When"}, {u"Price", false}, {u"Code"}}},
                 {u"ByCount", {{u"Count"}}}};
    return t;
}

// Names: Windows-1252 only, as indexed columns take no other, and no TAB or line end, so that
// rows sort alike in both exports. Other texts: anything.
const std::u16string kNameChars = u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                  u"0123456789   ''--.,&äöüÄÖÜéèêÉçñÑßøØåÅæÆ€";
const std::u16string kAnyChars = kNameChars + u"Мир漢字\t";

// Empty, the whole width, or anything between.
std::u16string randomText(std::mt19937& rng, std::size_t width,
                          const std::u16string& alphabet = kNameChars) {
    const auto choice = rng() % 8;
    std::u16string s(choice == 0 ? 0 : choice == 1 ? width : 1 + rng() % width, u' ');
    for (auto& c : s)
        c = alphabet[rng() % alphabet.size()];
    return s;
}

// A value to assign and the export text it must read back as.
struct Cell {
    const char* column;
    Value value;
    std::string text;
};
Cell cell(const char* column, Value v) {
    std::string text = exportText(v);
    return {column, std::move(v), std::move(text)};
}

// A new row of a trip's table with its serial number in the key column.
std::vector<Cell> newRow(const std::string& table, std::mt19937& rng, int serial) {
    if (table == "Company_Information") {
        std::vector<Cell> row{
            cell("Company_Name",
                 u"Co " + utf16(std::to_string(serial)) + u" " + randomText(rng, 30, kAnyChars)),
            cell("ADDRESS", randomText(rng, 40, kAnyChars)),
            cell("Disabled_Admin_Fee",
                 Currency{(static_cast<std::int64_t>(rng() % 100000000) - 50000000) * 100})};
        if (rng() % 4)
            row.push_back(cell("COBRA_Admin_Fee", static_cast<float>(rng() % 100000) / 64.0f));
        return row;
    }
    if (table == "Active_Employees")
        return {cell("Employee_ID", serial), cell("Last_Name", randomText(rng, 25)),
                cell("First_Name", randomText(rng, 20)), cell("Social", randomText(rng, 12))};
    const int n = 1500, i = serial;
    std::vector<Cell> row{cell("Name", u"Name " + utf16(std::to_string((i * 7919) % n)) + u" Ç'é"),
                          cell("Small", static_cast<std::uint8_t>(i % 256)),
                          cell("Count", static_cast<std::int16_t>(i % 100 - 50)),
                          cell("Big", i),
                          cell("Ratio", static_cast<float>(i / 4.0)),
                          cell("Value", i * 1.5),
                          // Texts converted on assignment.
                          {"Price", std::u16string(u"12.34"), "12.3400"},
                          {"When", std::u16string(u"1974-09-21"), "1974-09-21T00:00:00"},
                          cell("Flag", i % 2 == 0)};
    // Memos inline, on a long value page, and chained over two and many pages; in one-byte and
    // two-byte runs.
    const std::size_t sizes[] = {0, 1, 200, 300, 4000, 5000, 20000, 70000};
    if (i % 5 == 0) {
        std::u16string notes(i % 25 ? 50 + i % 3000 : sizes[i / 25 % 8], u' ');
        for (std::size_t k = 0; k < notes.size(); ++k)
            notes[k] = static_cast<char16_t>(k % 7 == 6 ? u'Ж' : u'a' + k % 26);
        row.push_back(cell("Notes", notes));
    }
    if (i % 7)
        row.push_back(cell("Code", std::u16string(1, static_cast<char16_t>(u'A' + i % 26))));
    return row;
}

const char* keyColumn(const std::string& table) {
    return table == "Company_Information" ? "Company_Name"
           : table == "Active_Employees"  ? "Employee_ID"
                                          : "Big";
}

int serialOf(const Value& key) {
    if (const auto* n = std::get_if<std::int32_t>(&key))
        return *n;
    const std::string name = utf8(std::get<std::u16string>(key)); // "Co <serial> ..."
    return name.rfind("Co ", 0) == 0 ? std::stoi(name.substr(3)) : -1;
}

struct Trip {
    const char* name;
    Source source;
    const char* table;
    int first, again;
    std::size_t againBatch; // index entries gathered before they are written, second fill
    bool deleteRun;         // keys 1000 to 2000 through a query; else every third, 30 at a time
};

class RoundTrip : public ::testing::TestWithParam<Trip> {
protected:
    void SetUp() override {
        file = jettest::hostTemplate(tmp, GetParam().source);
        if (file.empty())
            GTEST_SKIP() << "fixture absent";
        table = GetParam().table;
        if (table == "Every Type") {
            auto db = Database::OpenDatabase(file);
            createTable(db, everyType());
            db.Close();
        }
    }

    void fill(int count, std::size_t batch) {
        auto db = Database::OpenDatabase(file);
        Table& t = db.GetTable(utf16(table));
        t.pendingLimit = batch;
        auto rs = db.OpenRecordset(table);
        for (int i = 0; i < count; ++i, ++serial) {
            const auto row = newRow(table, rng, serial);
            rs.AddNew();
            for (const auto& c : row)
                rs[c.column] = c.value;
            rs.Update();
            std::string line;
            for (const ColumnDef& col : t.def().columns) {
                auto given = std::find_if(row.begin(), row.end(), [&](const Cell& c) {
                    return utf16(c.column) == col.name;
                });
                line += (line.empty() ? "" : "\t") + (col.autoNumber() ? std::to_string(++lastAuto)
                                                      : given != row.end() ? given->text
                                                                           : std::string("\\N"));
            }
            model.emplace(serial, line);
            keys[serial] = table == "Every Type" ? lastAuto : serial;
        }
        // Twins of the first, a middle and the newest primary key (the company table has none):
        // on the pages, in a tree of several levels, or still gathered.
        const char* column = table == "Every Type" ? "ID" : keyColumn(table);
        if (table != "Company_Information" && !model.empty())
            for (auto at :
                 {model.begin(), std::next(model.begin(), static_cast<long>(model.size() / 2)),
                  std::prev(model.end())}) {
                rs.AddNew();
                rs[column] = keys[at->first];
                EXPECT_THAT(jettest::errorOf([&] { rs.Update(); }),
                            AllOf(HasSubstr("'PrimaryKey'"), HasSubstr("unique")))
                    << at->first;
                rs.CancelUpdate();
            }
        EXPECT_EQ(rs.RecordCount(), static_cast<long>(model.size()));
        db.Close();
    }

    // Removals are gathered `batch` at a time: up to 32 go through the tree one by one.
    template <class Keep>
    void erase(std::size_t batch, const std::string& source, Keep keep) {
        auto db = Database::OpenDatabase(file);
        db.GetTable(utf16(table)).pendingLimit = batch;
        auto rs = db.OpenRecordset(source);
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
            const int s = serialOf(rs[keyColumn(table)].value());
            if (!keep(s)) {
                rs.Delete();
                model.erase(s);
            }
        }
        EXPECT_EQ(rs.RecordCount(), static_cast<long>(model.size()));
        db.Close();
    }

    void verify(const char* step) {
        SCOPED_TRACE(step);
        auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
        EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
        Table& t = db.GetTable(utf16(table));
        const TableDef& d = t.def();
        if (lastAuto) {
            EXPECT_EQ(d.lastAutoNumber, static_cast<std::uint32_t>(lastAuto));
        }
        const std::string ours = jettest::exportOf(db, utf16(table));
        std::multiset<std::string> rows, expected;
        for (std::size_t at = ours.find('\n') + 1; at < ours.size(); at = ours.find('\n', at) + 1)
            rows.insert(ours.substr(at, ours.find('\n', at) - at));
        for (const auto& [s, line] : model)
            expected.insert(line);
        EXPECT_EQ(rows, expected);
        // Each index's count of distinct keys in the definition follows the rows.
        std::vector<std::set<std::vector<std::uint8_t>>> keys(d.realIndexes.size());
        for (const RowRef& r : t.scan()) {
            const auto v = t.read(r);
            for (std::size_t i = 0; i < keys.size(); ++i)
                if (auto k = indexedKey(d, i, v))
                    keys[i].insert(*k);
        }
        for (std::size_t i = 0; i < keys.size(); ++i)
            EXPECT_EQ(d.realIndexes[i].rowCount, keys[i].size()) << "index " << i;
        // Index pages name their table, and an intermediate root with two children or more keeps
        // the last as its tail, the page after its last entry's child, as Access does.
        auto indexPage = [&](std::uint32_t n) {
            return decodeIndexPage(db.File().page(n)->view(), "index page");
        };
        for (const RealIndex& ri : d.realIndexes) {
            const IndexPage root = indexPage(ri.firstPage);
            EXPECT_EQ(root.owner, d.page);
            if (!root.leaf && root.tailPage == 0) {
                EXPECT_EQ(root.entries.size(), 1u);
            } else if (!root.leaf) {
                EXPECT_EQ(indexPage(root.entries.back().childPage).nextPage, root.tailPage);
            }
        }
        // Long values live on their column's own pages ("LVAL" where data pages name their
        // table), never on the table's, and leave with their rows.
        const auto owned = t.ownedPages();
        std::size_t live = 0;
        for (const LongValueMaps& m : d.longValueMaps) {
            const UsageMap map = UsageMap::read(db.File(), m.usedPages, "memo");
            for (std::uint32_t p : map.pages()) {
                const auto v = db.File().page(p)->view();
                EXPECT_EQ(coding::getU32(v, 4), 0x4C41564Cu) << "page " << p;
                EXPECT_EQ(std::count(owned.begin(), owned.end(), p), 0) << "page " << p;
                for (std::uint16_t r = 0; r < coding::getU16(v, kJet4Format.dataRowCount); ++r)
                    live += !(coding::getU16(v, kJet4Format.dataRowTable + 2 * r) & kRowDeleted);
            }
        }
        EXPECT_TRUE(model.empty() ? live == 0 : live > 0 || table != "Every Type") << live;
        db.Close();
        jettest::expectMdbExportAgrees(file, table, ours, true);
    }

    testsupport::TempDir tmp;
    fs::path file;
    std::string table;
    std::mt19937 rng{2026};
    int serial = 0;
    int lastAuto = 0;
    std::map<int, std::string> model;
    std::map<int, Value> keys; // by serial, the unique key given or taken
};

TEST_P(RoundTrip, EveryStepReadsBackAlike) {
    const Trip& trip = GetParam();
    erase(1000000, table, [](int) { return false; });
    verify("emptied");
    fill(trip.first, 1000000);
    verify("filled");
    if (trip.deleteRun)
        erase(1000000, "SELECT * FROM " + table, [](int s) { return s < 1000 || s > 2000; });
    else
        erase(30, table, [](int s) { return s % 3 != 0; });
    verify("some deleted");
    // A small batch writes the gathered entries many times over, into a tree with rows.
    fill(trip.again, trip.againBatch);
    verify("filled again");
    if (table == "Every Type") {
        // Keys ignore case: the first row's name in capitals, with its Big, is a duplicate in
        // the unique ByName.
        auto db = Database::OpenDatabase(file);
        auto rs = db.OpenRecordset(table);
        rs.MoveFirst();
        std::u16string name = std::get<std::u16string>(rs.GetValue(u"Name"));
        for (auto& c : name)
            c = c == u'ç' ? u'Ç' : static_cast<char16_t>(std::toupper(c));
        const Value big = rs.GetValue(u"Big");
        rs.AddNew();
        rs["Name"] = name;
        rs["Big"] = big;
        EXPECT_THAT(jettest::errorOf([&] { rs.Update(); }), HasSubstr("ByName"));
    }
    erase(1000000, table, [](int) { return false; });
    verify("emptied again");
}

INSTANTIATE_TEST_SUITE_P(
    Jet, RoundTrip,
    ::testing::Values(
        Trip{"CompanyAccessMade", Source::Access, "Company_Information", 1500, 700, 1000000, false},
        Trip{"CompanyBuilt", Source::Built, "Company_Information", 1500, 700, 1000000, false},
        Trip{"EmployeesAccessMade", Source::Access, "Active_Employees", 3000, 2000, 250, false},
        Trip{"EmployeesBuilt", Source::Built, "Active_Employees", 3000, 2000, 250, false},
        // A run of neighbouring keys deleted at once empties whole leaves of the primary key,
        // which leave the tree; the leaves around them are linked up again.
        Trip{"EmployeesRunOfKeys", Source::Built, "Active_Employees", 3000, 500, 1000000, true},
        Trip{"EveryTypeAccessMade", Source::Access, "Every Type", 1500, 300, 100, false},
        Trip{"EveryTypeBuilt", Source::Built, "Every Type", 1500, 300, 100, false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
