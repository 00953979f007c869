// Numbers and dates must not follow the C locale, which a Qt program on Linux takes from the
// user's settings: under a decimal-comma locale the assignment conversions and an import give
// the same values as under "C".
#include "jet/Create.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/Export.h"
#include "jet/Write.h"
#include "support/TempDir.h"

#include <clocale>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;
using namespace jet;

namespace {

constexpr const char* kCommaLocale = "de_DE.UTF-8";

// Runs `f` under the named locale and puts the previous one back, also when `f` throws.
template <class F>
auto underLocale(const char* name, F f) {
    struct Restore {
        std::string previous = std::setlocale(LC_ALL, nullptr);
        ~Restore() { std::setlocale(LC_ALL, previous.c_str()); }
    } restore;
    if (!std::setlocale(LC_ALL, name))
        throw std::runtime_error(std::string("locale ") + name + " vanished");
    return f();
}

// Whether the decimal-comma locale is installed; restores the current one either way.
bool haveCommaLocale() {
    std::string previous = std::setlocale(LC_ALL, nullptr);
    bool ok = std::setlocale(LC_ALL, kCommaLocale) != nullptr &&
              std::string(std::localeconv()->decimal_point) == ",";
    std::setlocale(LC_ALL, previous.c_str());
    return ok;
}

#define REQUIRE_COMMA_LOCALE()                                                                     \
    if (!haveCommaLocale())                                                                        \
    GTEST_SKIP() << "locale " << kCommaLocale                                                      \
                 << " is not installed (Debian: enable it in /etc/locale.gen, run locale-gen)"

NewTable amounts() {
    using T = ColumnType;
    NewColumn exact{u"Exact", T::Numeric};
    exact.precision = 18;
    exact.scale = 4;
    return {u"Amounts",
            {{u"ID", T::Long, 0, true},
             {u"Ratio", T::Float},
             {u"Value", T::Double},
             {u"Price", T::Money},
             exact,
             {u"When", T::DateTime},
             {u"Flag", T::Boolean},
             {u"Note", T::Text, 40}},
            {}};
}

fs::path newDatabase(const testsupport::TempDir& tmp, const char* name) {
    fs::path file = tmp / name;
    createDatabase(file);
    auto db = Database::OpenDatabase(file);
    createTable(db, amounts());
    db.Close();
    return file;
}

Decimal decimal(const char* text) {
    Decimal d;
    EXPECT_TRUE(parseDecimal(text, 18, 4, d)) << text;
    return d;
}

struct Case {
    const char* column;
    Value in;
    std::string expect; // export text of the result, or the error message
};

std::vector<Case> cases() {
    return {
        {"Ratio", std::u16string(u"1.5"), "1.5"},
        {"Ratio", std::u16string(u" -0.25 "), "-0.25"},
        {"Ratio", decimal("0.75"), "0.75"},
        {"Value", std::u16string(u"1234.5678"), "1234.5678"},
        {"Value", std::u16string(u"$1,234.5"), "1234.5"},
        {"Value", std::u16string(u"1e-3"), "0.001"},
        {"Value", std::u16string(u"1,5"), "15"}, // a comma groups digits, whatever the locale
        {"Value", decimal("12.5"), "12.5"},
        {"Value", Currency{12345}, "1.2345"},
        {"Price", std::u16string(u"$1,234.56"), "1234.5600"},
        {"Price", std::u16string(u"0.1"), "0.1000"},
        {"Price", 19.99, "19.9900"},
        {"Price", 0.00005, "0.0001"},
        {"Price", decimal("2.5"), "2.5000"},
        {"Price", std::u16string(u"1.5.0"),
         "table 'Amounts', column 'Price': '1.5.0' is not an amount"},
        {"Exact", std::u16string(u"3.14159"), "3.1416"},
        {"Exact", 2.5, "2.5000"},
        {"Exact", 1.0 / 3, "0.3333"},
        {"When", std::u16string(u"12/31/2026 1:45:07 PM"), "2026-12-31T13:45:07"},
        {"When", std::u16string(u"2026-02-28"), "2026-02-28T00:00:00"},
        {"When", 2.5, "1900-01-01T12:00:00"},
        {"When", decimal("2.75"), "1900-01-01T18:00:00"},
        {"Flag", decimal("0.5"), "true"},
        {"Flag", std::u16string(u"0.0"), "false"},
        {"Note", 1.5, "1.5"},
        {"Note", 0.1f, "0.1"},
        {"Note", Currency{35000}, "3.5"},
        {"Note", decimal("-7.25"), "-7.2500"},
        {"Note", DateTime{27293.5}, "9/21/1974 12:00:00 PM"},
    };
}

std::vector<std::string> convertAll(Table& t) {
    std::vector<std::string> out;
    for (const Case& c : cases()) {
        const ColumnDef* col = t.def().findColumn(utf16(c.column));
        try {
            out.push_back(exportText(convertForColumn(t, *col, c.in)));
        } catch (const Error& e) {
            out.push_back(e.what());
        }
    }
    return out;
}

// One import: text fields as a TSV file brings them, and the table's rows exported.
std::string importAndExport(const fs::path& file) {
    static const char16_t* rows[][5] = {
        {u"1.25", u"1234.5", u"$1,234.56", u"12/31/2026", u"0.5"},
        {u"-0.5", u"0.001", u"0.1", u"2026-02-28 13:45", u"-3.14159"},
        {u"3e2", u"-98765.4321", u"-42.005", u"7/4/1976 9:30:00 AM", u"100"},
        {u"", u"", u"", u"", u""},
    };
    {
        auto db = Database::OpenDatabase(file);
        auto rs = db.OpenRecordset("Amounts");
        for (const auto& r : rows) {
            rs.AddNew();
            rs["Ratio"] = r[0];
            rs["Value"] = r[1];
            rs["Price"] = r[2];
            rs["When"] = r[3];
            rs["Exact"] = r[4];
            rs["Note"] = r[2];
            rs.Update();
        }
        db.Close();
    }
    auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    std::ostringstream out;
    exportTable(db, u"Amounts", out);
    return out.str();
}

} // namespace

TEST(Locale, AssignmentConversionsIgnoreADecimalCommaLocale) {
    REQUIRE_COMMA_LOCALE();
    testsupport::TempDir tmp;
    fs::path file = newDatabase(tmp, "convert.mdb");
    auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    Table& t = db.GetTable(u"Amounts");
    const auto plain = underLocale("C", [&] { return convertAll(t); });
    const auto comma = underLocale(kCommaLocale, [&] { return convertAll(t); });
    const auto all = cases();
    for (std::size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(std::string(all[i].column) + " case " + std::to_string(i));
        EXPECT_EQ(plain[i], all[i].expect);
        EXPECT_EQ(comma[i], plain[i]);
    }
}

TEST(Locale, ImportOfAmountsAndDatesIgnoresADecimalCommaLocale) {
    REQUIRE_COMMA_LOCALE();
    testsupport::TempDir tmp;
    const fs::path plainFile = newDatabase(tmp, "plain.mdb");
    const fs::path commaFile = newDatabase(tmp, "comma.mdb");
    const std::string plain = underLocale("C", [&] { return importAndExport(plainFile); });
    const std::string comma = underLocale(kCommaLocale, [&] { return importAndExport(commaFile); });
    EXPECT_EQ(comma, plain);
    EXPECT_NE(
        plain.find("\n1\t1.25\t1234.5\t1234.5600\t0.5000\t2026-12-31T00:00:00\tfalse\t$1,234.56\n"),
        std::string::npos)
        << plain;
}
