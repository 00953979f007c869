// Every fixture database is read through the Recordset interface and compared, row by row,
// with the reference dump written by an independent reader (see the fixtures README), and
// tarnfield-mdb's listing and export of it with mdbtools'. `check` finds every fixture sound: its
// index trees among the rest, each row's key the one Access stored for it.
#include "JetTest.h"
#include "jet/Check.h"
#include "jet/Export.h"
#include "support/Command.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <set>

namespace fs = std::filesystem;
using namespace jet;
using namespace testsupport;

namespace {

struct DumpTable {
    std::string name;
    long rows = 0;
    std::vector<std::string> columns, types, indexes;
    std::vector<std::vector<std::string>> values;
};

// "## name rows=N", a line of name:TYPE, a line per row, then "ok index name (...)" lines.
std::vector<DumpTable> readDump(const fs::path& db) {
    std::ifstream in(fs::path(db).replace_extension(".dump.txt"), std::ios::binary);
    std::vector<DumpTable> out;
    bool wantHeader = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("## ", 0) == 0) {
            const auto sp = line.rfind(" rows=");
            out.emplace_back();
            out.back().name = line.substr(3, sp - 3);
            out.back().rows = std::stol(line.substr(sp + 6));
            wantHeader = true;
        } else if (out.empty() || line.empty()) {
            continue;
        } else if (wantHeader) {
            const auto header = jettest::tsv(line)[0];
            for (const auto& c : header) {
                out.back().columns.push_back(c.substr(0, c.rfind(':')));
                out.back().types.push_back(c.substr(c.rfind(':') + 1));
            }
            wantHeader = false;
        } else if (line.rfind("ok index ", 0) == 0) {
            out.back().indexes.push_back(line.substr(9, line.rfind(" (") - 9));
        } else {
            out.back().values.push_back(jettest::tsv(line)[0]);
        }
    }
    return out;
}

const std::map<std::string, ColumnType> kDumpTypes = {
    {"TEXT", ColumnType::Text},       {"MEMO", ColumnType::Memo},
    {"BYTE", ColumnType::Byte},       {"INT", ColumnType::Int},
    {"LONG", ColumnType::Long},       {"FLOAT", ColumnType::Float},
    {"DOUBLE", ColumnType::Double},   {"MONEY", ColumnType::Money},
    {"BOOLEAN", ColumnType::Boolean}, {"SHORT_DATE_TIME", ColumnType::DateTime},
    {"GUID", ColumnType::Guid},       {"NUMERIC", ColumnType::Numeric},
    {"BINARY", ColumnType::Binary},   {"OLE", ColumnType::Ole},
};

double parseDouble(const std::string& s) {
    double d = NAN;
    std::from_chars(s.data(), s.data() + s.size(), d);
    return d;
}

std::string trimDecimal(std::string s) {
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.')
            s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

// Our value as the dump writes it: texts with only TAB and line feed escaped; numbers, dates
// perhaps without seconds and decimals without trailing zeros as the dump's own text when
// they agree with it.
std::string inDumpForm(const Value& v, const std::string& dump) {
    if (isNull(v))
        return "<null>";
    const std::string ours = exportText(v);
    if (const auto* s = std::get_if<std::u16string>(&v)) {
        std::string escaped;
        for (char c : utf8(*s))
            escaped += c == '\t' ? "\\t" : c == '\n' ? "\\n" : std::string(1, c);
        return escaped;
    }
    bool same = false;
    if (const auto* f = std::get_if<float>(&v))
        same = *f == static_cast<float>(parseDouble(dump));
    else if (const auto* d = std::get_if<double>(&v))
        same = *d == parseDouble(dump);
    else if (std::holds_alternative<DateTime>(v))
        same = ours == (dump.size() == 16 ? dump + ":00" : dump);
    else if (std::holds_alternative<Decimal>(v))
        same = trimDecimal(ours) == trimDecimal(dump);
    else if (std::holds_alternative<Binary>(v))
        return "<binary>";
    return same ? dump : ours;
}

class JetFixtureRead : public ::testing::TestWithParam<fs::path> {};

TEST_P(JetFixtureRead, RowsMatchReferenceDump) {
    const fs::path db = GetParam();
    const auto dump = readDump(db);
    auto d = Database::OpenDatabase(db, OpenMode::ReadOnly);
    EXPECT_EQ(checkDatabase(d), std::vector<std::string>{});

    std::set<std::string> ours, theirs;
    for (const auto& n : d.TableNames())
        ours.insert(utf8(n));
    for (const auto& t : dump)
        theirs.insert(t.name);
    EXPECT_EQ(ours, theirs) << "user tables differ";

    for (const auto& t : dump) {
        SCOPED_TRACE("table " + t.name);
        auto rs = d.OpenRecordset(t.name);
        const TableDef& def = rs.Definition();
        ASSERT_EQ(def.columns.size(), t.columns.size());
        for (std::size_t i = 0; i < t.columns.size(); ++i) {
            EXPECT_EQ(utf8(def.columns[i].name), t.columns[i]) << "column " << i;
            auto type = kDumpTypes.find(t.types[i]);
            ASSERT_NE(type, kDumpTypes.end()) << "dump type " << t.types[i];
            EXPECT_EQ(def.columns[i].type, type->second) << "column " << t.columns[i];
        }
        EXPECT_EQ(rs.RecordCount(), t.rows); // and `check` holds the definition's count to it
        std::size_t row = 0;
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext(), ++row) {
            ASSERT_LT(row, t.values.size());
            ASSERT_EQ(t.values[row].size(), t.columns.size()) << "dump row " << row;
            for (std::size_t c = 0; c < t.columns.size(); ++c)
                EXPECT_EQ(inDumpForm(rs[t.columns[c]].value(), t.values[row][c]), t.values[row][c])
                    << "row " << row << ", column " << t.columns[c];
        }
        EXPECT_EQ(row, t.values.size());
        std::set<std::string> indexNames;
        for (const auto& li : def.indexes)
            indexNames.insert(utf8(li.name));
        for (const auto& name : t.indexes)
            EXPECT_TRUE(indexNames.count(name)) << "index " << name << " missing";
    }
    // mdbtools lists the same tables as our tool and reads the same rows as its export (as sets:
    // the order is the dump's to check).
    if (!haveMdbTools())
        return;
    const std::string file = quote(db.string());
    EXPECT_EQ(mdbTool("tables " + file).out, run("mdb-tables -1 " + file).out);
    for (const auto& t : dump) {
        SCOPED_TRACE("table " + t.name);
        Outcome ours = mdbTool("export " + file + " " + quote(t.name));
        ASSERT_EQ(ours.status, 0) << ours.out;
        jettest::expectMdbExportAgrees(db, t.name, ours.out, false);
    }
}

INSTANTIATE_TEST_SUITE_P(JetFixtures, JetFixtureRead,
                         ::testing::ValuesIn(jettest::fixtureDatabases()), [](const auto& info) {
                             std::string n = info.param.parent_path().filename().string() + "_" +
                                             info.param.stem().string();
                             for (auto& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return n;
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(JetFixtureRead);

TEST(JetFixtureSet, FixturesArePresentOrSkipped) {
    if (jettest::fixtureDatabases().empty())
        GTEST_SKIP() << "fixtures not found at " << TARNFIELD_FIXTURES_DIR;
    EXPECT_GE(jettest::fixtureDatabases().size(), 16u);
}

} // namespace
