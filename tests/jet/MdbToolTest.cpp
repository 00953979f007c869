// The tarnfield-mdb front end: exit codes and one-line messages, and its export compared with
// mdbtools' mdb-export as an independent reader.
#include "FixtureDump.h"
#include "support/Command.h"
#include "support/TempDir.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;

namespace {

using testsupport::haveMdbTools;
using testsupport::mdbTool;
using testsupport::Outcome;
using testsupport::quote;
using testsupport::run;

std::vector<std::vector<std::string>> tsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::size_t start = 0;
        while (true) {
            auto tab = line.find('\t', start);
            f.push_back(
                line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        rows.push_back(f);
    }
    return rows;
}

// mdb-export writes Null as an empty field, yes/no as 1/0, and numbers in its own precision.
bool sameField(const std::string& ours, const std::string& theirs) {
    if (ours == theirs)
        return true;
    if (ours == "\\N")
        return theirs.empty();
    if (ours == "true" || ours == "false")
        return theirs == (ours == "true" ? "1" : "0");
    char* e1 = nullptr;
    char* e2 = nullptr;
    double a = std::strtod(ours.c_str(), &e1), b = std::strtod(theirs.c_str(), &e2);
    return !ours.empty() && !theirs.empty() && *e1 == 0 && *e2 == 0 &&
           std::abs(a - b) <= 1e-6 * std::max(1.0, std::abs(a));
}

struct BadCall {
    const char* name;
    std::string args;
    const char* message;
};

class MdbToolBadCall : public ::testing::TestWithParam<BadCall> {};

TEST_P(MdbToolBadCall, ExitsNonZeroWithOneLine) {
    const auto& c = GetParam();
    if (c.args.find("@FIX") != std::string::npos && !std::filesystem::exists(jettest::fixtures()))
        GTEST_SKIP() << "fixtures absent";
    testsupport::TempDir tmp;
    testsupport::writeFile(tmp / "notes.mdb", std::string("just some text\n"));
    std::string args = c.args;
    for (auto pos = args.find("@TMP"); pos != std::string::npos; pos = args.find("@TMP"))
        args.replace(pos, 4, tmp.path().string());
    for (auto pos = args.find("@FIX"); pos != std::string::npos; pos = args.find("@FIX"))
        args.replace(pos, 4, jettest::fixtures().string());
    Outcome r = mdbTool(args);
    EXPECT_NE(r.status, 0) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    MdbTool, MdbToolBadCall,
    ::testing::Values(BadCall{"NoArguments", "", "usage"},
                      BadCall{"UnknownCommand", "frobnicate @TMP/notes.mdb", "usage"},
                      BadCall{"ExportWithoutTable", "export @TMP/notes.mdb", "usage"},
                      BadCall{"MissingFile", "tables @TMP/absent.mdb", "cannot open"},
                      BadCall{"TextFile", "tables @TMP/notes.mdb", "not an Access database"},
                      BadCall{"UnknownTable", "export @FIX/access-made/testV2000.mdb Nope",
                              "no table named 'Nope'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MdbTool, TablesListsUserTablesInCatalogueOrderLikeMdbTables) {
    if (!haveMdbTools())
        GTEST_SKIP() << "mdbtools not installed";
    for (const auto& db : jettest::fixtureDatabases()) {
        Outcome ours = mdbTool("tables " + quote(db.string()));
        Outcome theirs = run("mdb-tables -1 " + quote(db.string()));
        ASSERT_EQ(ours.status, 0) << ours.out;
        EXPECT_EQ(ours.out, theirs.out) << db;
    }
}

TEST(MdbTool, ExportAgreesWithMdbExport) {
    if (!haveMdbTools())
        GTEST_SKIP() << "mdbtools not installed";
    const std::pair<const char*, const char*> cases[] = {
        {"access-made/testV2000.mdb", "Table1"},
        {"access-made/testV1997.mdb", "Table1"},
        {"access-made/compIndexTestV2000.mdb", "Table1"},
        {"access-made/overflowTestV2000.mdb", "Table1"},
        {"templates/jet4/BRANDMDB.MDB", "Active_Employees"},
        {"templates/jet4/BRANDMDB.MDB", "Insurance_Companies"},
        {"templates/jet4/sysrestore.mdb", "tblFileInformation"},
    };
    for (const auto& [file, table] : cases) {
        SCOPED_TRACE(std::string(file) + " " + table);
        fs::path db = jettest::fixtures() / file;
        if (!fs::exists(db))
            GTEST_SKIP() << "fixture absent";
        Outcome ours = mdbTool("export " + quote(db.string()) + " " + table);
        Outcome theirs = run("mdb-export -d '\t' -Q -e -T '%Y-%m-%dT%H:%M:%S' " +
                             quote(db.string()) + " " + table);
        ASSERT_EQ(ours.status, 0) << ours.out;
        auto a = tsv(ours.out), b = tsv(theirs.out);
        ASSERT_EQ(a.size(), b.size());
        // mdbtools reads a moved (overflow) row where its bytes are, not where its slot is, so
        // only the set of rows is comparable; the order is checked against the dumps.
        for (auto& row : a)
            for (auto& f : row)
                f = f == "\\N" ? "" : f == "true" ? "1" : f == "false" ? "0" : f;
        std::sort(a.begin() + 1, a.end());
        std::sort(b.begin() + 1, b.end());
        for (std::size_t r = 0; r < a.size(); ++r) {
            ASSERT_EQ(a[r].size(), b[r].size()) << "row " << r;
            for (std::size_t c = 0; c < a[r].size(); ++c)
                EXPECT_TRUE(sameField(a[r][c], b[r][c])) << "row " << r << " column " << c << ": '"
                                                         << a[r][c] << "' vs '" << b[r][c] << "'";
        }
    }
}

TEST(MdbTool, SchemaNamesEveryColumnAndIndex) {
    fs::path db = jettest::fixtures() / "templates/jet4/BRANDMDB.MDB";
    if (!fs::exists(db))
        GTEST_SKIP() << "fixture absent";
    Outcome r = mdbTool("schema " + quote(db.string()) + " Rates");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("CREATE TABLE [Rates] ("), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[Rate] CURRENCY"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[Insurer_ID] SHORT"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ON [Rates] ([Rate_ID]) WITH PRIMARY;"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("CREATE INDEX [Insurer_ID] ON [Rates] ([Insurer_ID]);"), std::string::npos)
        << r.out;
}

} // namespace

namespace {

fs::path writableCopy(const testsupport::TempDir& tmp, const fs::path& from) {
    fs::path to = tmp / "copy.mdb";
    fs::copy_file(from, to);
    fs::permissions(to, fs::perms::owner_write, fs::perm_options::add);
    return to;
}

TEST(MdbTool, ImportDeleteAndCheckWorkTogether) {
    fs::path src = jettest::fixtures() / "templates/jet4/BRANDMDB.MDB";
    if (!fs::exists(src))
        GTEST_SKIP() << "fixture absent";
    testsupport::TempDir tmp;
    fs::path db = writableCopy(tmp, src);
    const std::string q = quote(db.string());

    ASSERT_EQ(mdbTool("delete " + q + " Company_Information").status, 0);
    testsupport::writeFile(
        tmp / "in.tsv", std::string("company_name\tCOBRA_Admin_Fee\tDisabled_Admin_Fee\tADDRESS\n"
                                    "Acme\t2.25\t$1,234.5\t\\N\n"
                                    "Tab\\there\t\t7\tline\\nbreak\n"));
    Outcome imp = run(std::string(TARNFIELD_MDB_TOOL) + " import " + q + " Company_Information < " +
                      quote((tmp / "in.tsv").string()) + " 2>&1");
    ASSERT_EQ(imp.status, 0) << imp.out;
    Outcome exp = mdbTool("export " + q + " Company_Information");
    EXPECT_EQ(exp.out,
              "Company_Name\tADDRESS\tAddress_Overflow\tCity_State_Zip\tAdministrator\ttitle\t"
              "COBRA_Admin_Fee\tDisabled_Admin_Fee\n"
              "Acme\t\\N\t\\N\t\\N\t\\N\t\\N\t2.25\t1234.5000\n"
              "Tab\\there\tline\\nbreak\t\\N\t\\N\t\\N\t\\N\t\\N\t7.0000\n");
    Outcome chk = mdbTool("check " + q);
    EXPECT_EQ(chk.status, 0) << chk.out;
    EXPECT_EQ(chk.out, "");
}

TEST(MdbTool, ImportReportsTheLineOfABadValue) {
    fs::path src = jettest::fixtures() / "templates/jet4/BRANDMDB.MDB";
    if (!fs::exists(src))
        GTEST_SKIP() << "fixture absent";
    testsupport::TempDir tmp;
    fs::path db = writableCopy(tmp, src);
    testsupport::writeFile(tmp / "in.tsv",
                           std::string("Company_Name\tCOBRA_Admin_Fee\nA\t1\nB\tlots\n"));
    Outcome r = run(std::string(TARNFIELD_MDB_TOOL) + " import " + quote(db.string()) +
                    " Company_Information < " + quote((tmp / "in.tsv").string()) + " 2>&1");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("line 3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("COBRA_Admin_Fee"), std::string::npos) << r.out;
}

TEST(MdbTool, CheckReportsAWrongRowCountAndExitsOne) {
    fs::path src = jettest::fixtures() / "access-made/delTestV2000.mdb";
    if (!fs::exists(src))
        GTEST_SKIP() << "fixture absent";
    testsupport::TempDir tmp;
    fs::path db = writableCopy(tmp, src);
    // The one user table's definition page (type 0x4E) counts 2 rows: make it claim 5.
    std::string bytes = testsupport::readFile(db);
    bool patched = false;
    for (std::size_t p = 3; p * 4096 < bytes.size() && !patched; ++p) {
        std::size_t at = p * 4096;
        if (bytes[at] == 0x02 && static_cast<std::uint8_t>(bytes[at + 40]) == 0x4E &&
            bytes[at + 16] == 2) {
            bytes[at + 16] = 5;
            patched = true;
        }
    }
    ASSERT_TRUE(patched);
    testsupport::writeFile(db, bytes);
    Outcome r = mdbTool("check " + quote(db.string()));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("counts 5 rows, the pages hold 2"), std::string::npos) << r.out;
}

} // namespace
