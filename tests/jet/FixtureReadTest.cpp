// Every fixture database is read through the Recordset interface and compared, row by row,
// with the reference dump written by an independent reader.
#include "FixtureDump.h"
#include "jet/Database.h"
#include "jet/Error.h"

#include <charconv>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace fs = std::filesystem;
using namespace jet;

namespace {

const std::map<std::string, ColumnType> kDumpTypes = {
    {"TEXT", ColumnType::Text},
    {"MEMO", ColumnType::Memo},
    {"BYTE", ColumnType::Byte},
    {"INT", ColumnType::Int},
    {"LONG", ColumnType::Long},
    {"FLOAT", ColumnType::Float},
    {"DOUBLE", ColumnType::Double},
    {"MONEY", ColumnType::Money},
    {"SHORT_DATE_TIME", ColumnType::DateTime},
    {"BOOLEAN", ColumnType::Boolean},
    {"GUID", ColumnType::Guid},
    {"NUMERIC", ColumnType::Numeric},
    {"BINARY", ColumnType::Binary},
    {"OLE", ColumnType::Ole},
};

std::string dumpEscape(const std::u16string& s) {
    std::string out;
    for (char c : utf8(s)) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

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

// Whether our value reads as the dump's text for it.
::testing::AssertionResult sameAsDump(const Value& v, const std::string& dump) {
    if (dump == "<null>") {
        if (isNull(v))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "expected Null";
    }
    if (isNull(v))
        return ::testing::AssertionFailure() << "Null, expected '" << dump << "'";
    std::string ours;
    bool ok = std::visit(
        [&](const auto& x) -> bool {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::u16string>) {
                ours = dumpEscape(x);
                return ours == dump;
            } else if constexpr (std::is_same_v<T, bool>) {
                ours = x ? "true" : "false";
                return ours == dump;
            } else if constexpr (std::is_same_v<T, float>) {
                ours = shortestText(x);
                return x == static_cast<float>(parseDouble(dump));
            } else if constexpr (std::is_same_v<T, double>) {
                ours = shortestText(x);
                return x == parseDouble(dump);
            } else if constexpr (std::is_integral_v<T>) {
                ours = std::to_string(x);
                return ours == dump;
            } else if constexpr (std::is_same_v<T, Currency>) {
                ours = currencyText(x);
                return ours == dump;
            } else if constexpr (std::is_same_v<T, DateTime>) {
                ours = dateTimeText(x);
                return ours == (dump.size() == 16 ? dump + ":00" : dump);
            } else if constexpr (std::is_same_v<T, Decimal>) {
                ours = decimalText(x);
                return trimDecimal(ours) == trimDecimal(dump);
            } else if constexpr (std::is_same_v<T, Guid>) {
                ours = guidText(x);
                return ours == dump;
            } else {
                ours = "<binary>";
                return false;
            }
        },
        v);
    if (ok)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "read '" << ours << "', dump has '" << dump << "'";
}

class JetFixtureRead : public ::testing::TestWithParam<fs::path> {};

TEST_P(JetFixtureRead, RowsMatchReferenceDump) {
    const fs::path db = GetParam();
    const auto dump = jettest::readDump(jettest::dumpFor(db));
    auto d = Database::OpenDatabase(db, OpenMode::ReadOnly);

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
        EXPECT_EQ(rs.RecordCount(), t.rows);
        EXPECT_EQ(def.rowCount, static_cast<std::uint32_t>(t.rows)) << "row count in definition";
        ASSERT_EQ(t.values.size(), static_cast<std::size_t>(t.rows)) << "dump itself";
        std::size_t row = 0;
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext(), ++row) {
            ASSERT_LT(row, t.values.size());
            ASSERT_EQ(t.values[row].size(), t.columns.size()) << "dump row " << row;
            for (std::size_t c = 0; c < t.columns.size(); ++c)
                EXPECT_TRUE(sameAsDump(rs[t.columns[c]].value(), t.values[row][c]))
                    << "row " << row << ", column " << t.columns[c];
        }
        EXPECT_EQ(row, t.values.size());
        std::set<std::string> indexNames;
        for (const auto& li : def.indexes)
            indexNames.insert(utf8(li.name));
        for (const auto& name : t.indexes)
            EXPECT_TRUE(indexNames.count(name)) << "index " << name << " missing";
    }
}

std::string fixtureName(const ::testing::TestParamInfo<fs::path>& info) {
    std::string n = info.param.parent_path().filename().string() + "_" + info.param.stem().string();
    for (auto& c : n)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return n;
}

INSTANTIATE_TEST_SUITE_P(JetFixtures, JetFixtureRead,
                         ::testing::ValuesIn(jettest::fixtureDatabases()), fixtureName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(JetFixtureRead);

TEST(JetFixtureSet, FixturesArePresentOrSkipped) {
    if (jettest::fixtureDatabases().empty())
        GTEST_SKIP() << "fixtures not found at " << jettest::fixtures();
    EXPECT_GE(jettest::fixtureDatabases().size(), 16u);
}

} // namespace
