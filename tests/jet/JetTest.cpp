#include "JetTest.h"

#include "jet/Export.h"
#include "jet/SchemaSql.h"
#include "support/Command.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace fs = std::filesystem;
using jet::Value;

namespace jettest {

std::vector<fs::path> fixtureDatabases() {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const char* sub : {"access-made", "templates"}) {
        for (auto it = fs::recursive_directory_iterator(testsupport::fixturesDir() / sub, ec);
             !ec && it != fs::end(it); it.increment(ec)) {
            auto ext = it->path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
            if (ext == ".mdb")
                out.push_back(it->path());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

fs::path fixture(const std::string& relative) {
    const fs::path dir = testsupport::fixturesDir();
    return !dir.empty() && fs::exists(dir / relative) ? dir / relative : fs::path();
}

fs::path writableCopy(const testsupport::TempDir& tmp, const fs::path& from) {
    const fs::path to = tmp / "copy.mdb";
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    return to;
}

jet::Database withTable(const fs::path& file, const jet::NewTable& table) {
    jet::createDatabase(file);
    auto db = jet::Database::OpenDatabase(file);
    jet::createTable(db, table);
    return db;
}

void addRows(jet::Database& db, const char* table, const std::vector<Row>& rows) {
    auto rs = db.OpenRecordset(table);
    for (const auto& row : rows) {
        rs.AddNew();
        for (const auto& [column, value] : row)
            rs[column] = value;
        rs.Update();
    }
}

std::string sourceName(const ::testing::TestParamInfo<Source>& info) {
    return info.param == Source::Access ? "AccessMade" : "Built";
}

fs::path hostTemplate(const testsupport::TempDir& tmp, Source source) {
    if (source == Source::Access) {
        const fs::path from = fixture("templates/jet4/BRANDMDB.MDB");
        return from.empty() ? from : writableCopy(tmp, from);
    }
    const fs::path file = tmp / "built.mdb";
    auto db = jet::createFromSchemaSql(
        file, testsupport::readFile(fs::path(TARNFIELD_SCHEMAS_DIR) / "BRANDMDB.sql"));
    const char16_t* last[] = {u"Abbott", u"Nakamura", u"O'Neil", u"Zelinski", u"Garcia"};
    std::vector<Row> people;
    for (int i = 1; i <= 5; ++i)
        people.push_back({{"Employee_ID", i},
                          {"Last_Name", std::u16string(last[i - 1])},
                          {"Social", jet::utf16("123-45-600" + std::to_string(i))},
                          {"Notes", jet::utf16("Sample row left in the template")}});
    addRows(db, "Active_Employees", people);
    addRows(db, "Company_Information",
            {{{"Company_Name", std::u16string(u"Template Company")},
              {"COBRA_Admin_Fee", 1.5f},
              {"Disabled_Admin_Fee", jet::Currency{25000}}}});
    std::u16string longBody;
    for (int i = 0; i < 40; ++i)
        longBody += u"This letter body is long enough to live on its own page. ";
    addRows(db, "Letter_Templates",
            {{{"Title", std::u16string(u"Election notice")}, {"Body", longBody}, {"Active", true}},
             {{"Title", std::u16string(u"Termination notice")}, {"Active", false}},
             {{"Title", std::u16string(u"Premium reminder")}, {"Active", true}}});
    db.Close();
    return file;
}

std::string exportOf(jet::Database& db, std::u16string_view table) {
    std::ostringstream out;
    jet::exportTable(db, table, out);
    return out.str();
}

std::vector<std::vector<std::string>> tsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        rows.emplace_back();
        for (std::size_t start = 0;;) {
            const auto tab = line.find('\t', start);
            rows.back().push_back(line.substr(start, tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
    }
    return rows;
}

// mdb-export writes Null as an empty field, yes/no as 1/0, and numbers in its own precision.
void expectMdbExportAgrees(const fs::path& file, const std::string& table, const std::string& ours,
                           bool ordered) {
    if (!testsupport::haveMdbTools())
        return;
    auto a = tsv(ours),
         b = tsv(testsupport::run("mdb-export -d '\t' -Q -e -T '%Y-%m-%dT%H:%M:%S' " +
                                  testsupport::quote(file.string()) + " " +
                                  testsupport::quote(table))
                     .out);
    ASSERT_EQ(a.size(), b.size()) << "mdb-export sees another number of rows of " << table;
    for (auto& row : a)
        for (auto& f : row)
            f = f == "\\N" ? "" : f == "true" ? "1" : f == "false" ? "0" : f;
    if (!ordered) {
        // mdbtools reads a moved (overflow) row where its bytes are, not where its slot is.
        std::sort(a.begin() + 1, a.end());
        std::sort(b.begin() + 1, b.end());
    }
    auto same = [](const std::string& ours, const std::string& theirs) {
        char* e1 = nullptr;
        char* e2 = nullptr;
        const double x = std::strtod(ours.c_str(), &e1), y = std::strtod(theirs.c_str(), &e2);
        return ours == theirs || (!ours.empty() && !theirs.empty() && *e1 == 0 && *e2 == 0 &&
                                  std::abs(x - y) <= 1e-6 * std::max(1.0, std::abs(x)));
    };
    for (std::size_t r = 0; r < a.size(); ++r) {
        ASSERT_EQ(a[r].size(), b[r].size()) << "row " << r;
        for (std::size_t c = 0; c < a[r].size(); ++c)
            EXPECT_TRUE(same(a[r][c], b[r][c])) << table << " row " << r << " column " << c << ": '"
                                                << a[r][c] << "' vs '" << b[r][c] << "'";
    }
}

} // namespace jettest
