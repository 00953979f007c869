// tarnfield-batch end to end on the demo host folder and its template; the databases it writes
// are read back by mdbtools, an Access reader that is not ours.
#include "support/Command.h"
#include "support/TempDir.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

namespace {

using testsupport::Outcome;
using testsupport::quote;

// A row of rows (header excluded) holding part; rows come in table-scan order.
bool anyRow(const std::vector<std::string>& rows, const std::string& part) {
    for (std::size_t i = 1; i < rows.size(); ++i)
        if (rows[i].find(part) != std::string::npos)
            return true;
    return false;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

class BatchTest : public testing::Test {
protected:
    void SetUp() override {
#ifndef TARNFIELD_DEMO_HOST_TOOL
        GTEST_SKIP() << "the demo host writer is built with the windows only";
#else
        ASSERT_EQ(
            testsupport::run(quote(TARNFIELD_DEMO_HOST_TOOL) + " " + quote(host.string())).status,
            0);
        ASSERT_TRUE(std::filesystem::exists(host / "BRANDMDB.MDB"));
#endif
    }

    Outcome batch(const std::string& args) {
        return testsupport::run(quote(TARNFIELD_BATCH_TOOL) + " --app-dir " + quote(host.string()) +
                                " " + args);
    }
    std::string file(const char* name) {
        return quote((host / name).string());
    }

    // Rows of a table as mdb-export writes them, TAB-separated, header first.
    std::vector<std::string> exportRows(const std::string& table) {
        if (!testsupport::haveMdbTools())
            return {};
        return lines(testsupport::mdbExport(host / "out.mdb", table, true));
    }

    testsupport::TempDir dir;
    std::filesystem::path host = dir / "host";
    const std::string acme = "--account 'Acme Manufacturing' --type EMPLOYEE ";
};

TEST_F(BatchTest, ASavedFormatImportsTheGoodFile) {
    auto r = batch(acme + "--format 'Acme payroll export' --first-record 2 --out " +
                   file("out.mdb") + " " + file("employees-good.txt"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "3 records written, 0 records rejected, log " +
                         (host / "ImportLog.doc").string() + "\n");
    EXPECT_EQ(testsupport::readFile(host / "ImportLog.doc"),
              "ACTIVE EMPLOYEE IMPORT FILE CREATION LOG\n" + std::string(40, '-') +
                  "\n\nThe system did not detect any errors with the creation of the import "
                  "file.");
    if (!testsupport::haveMdbTools())
        GTEST_SKIP() << "mdbtools not installed";
    auto rows = exportRows("Active_Employees");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].substr(0, 32), "Employee_ID\tLast_Name\tFirst_Name");
    EXPECT_TRUE(anyRow(rows, "2\tO'Neil\tSiobhan\t\t30 Harbor Road\tApt 2\tDover, DE  19901\tF\t"
                             "123-45-6003\t03/13/1970\t06/15/2010\t07/01/2010\t07/01/2010"))
        << rows[2];
    EXPECT_EQ(exportRows("Qualifier_Information").size(), 1u) << "emptied, header only";
}

TEST_F(BatchTest, EveryDefaultFieldOfAQualifierReachesItsTable) {
    std::string tab;
    for (int line = 0; line < 2; ++line) {
        // 47 fields: the default QUALIFIER list.
        std::vector<std::string> v{"Smith",    "Ann",       "Q",        "1 Main",    "",
                                   "Dover",    "DE",        "19901",    "F",         "123456789",
                                   "1/5/1970", "2/1/2000",  "3/1/2000", "6/30/2008", "Termination",
                                   "Sam",      "222334444", "7/7/1971"};
        for (int c = 1; c <= 6; ++c)
            for (const char* part : {"Kid", "55566", "1/1/2001"})
                v.push_back(std::string(part) + (part[0] == '1' ? "" : std::to_string(c)));
        for (const char* plan : {"Med", "Single", "Den", "Family", "O1", "S", "O2", "S", "O3", "S"})
            v.push_back(plan);
        v.push_back("12.345");
        for (std::size_t i = 0; i < v.size(); ++i)
            tab += v[i] + (i + 1 < v.size() ? "\t" : "\r\n");
    }
    testsupport::writeFile(host / "qualifiers.txt", tab);
    auto r = batch("--account 'Harbor Dental Group' --type QUALIFIER --out " + file("out.mdb") +
                   " " + file("qualifiers.txt"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 44), "2 records written, 0 records rejected, log /");
    if (!testsupport::haveMdbTools())
        GTEST_SKIP() << "mdbtools not installed";
    auto people = exportRows("Qualifier_Information");
    ASSERT_EQ(people.size(), 3u);
    EXPECT_TRUE(anyRow(people, "1\tSmith\tAnn\tQ\t1 Main\t\tDover, DE  19901\tF\t"
                               "123-45-6789\t01/05/1970\t02/01/2000\t03/01/2000\tSent\t"
                               "06/30/2008\tTermination\t\tN\tN\tN\tQualifier"))
        << people[1];
    auto plans = exportRows("Member_Insurance_Plan");
    ASSERT_EQ(plans.size(), 3u);
    EXPECT_TRUE(anyRow(plans, "\t1\tSmith\tAnn\t123-45-6789\tMed\tSingle\tDen\tFamily\tO1\tS\tO2\tS"
                              "\tO3\tS\t12.35"))
        << plans[1];
    auto dependants = exportRows("Dependent_Information");
    ASSERT_EQ(dependants.size(), 3u);
    EXPECT_TRUE(anyRow(dependants, "\t2\tSmith\tAnn\t123-45-6789\tSam\t222334444\t07/07/1971\t"
                                   "Kid1\t555661\t01/01/2001\tKid2"))
        << dependants[2];
}

TEST_F(BatchTest, FailuresSayWhyWithTheirExitCodesAndExtraColumnsGoOnRequest) {
    struct Case {
        const char* name;
        std::string args;
        int exitCode;
        const char* err;
    };
    const std::string out = " --out " + file("out.mdb") + " ";
    const std::string templateBytes = testsupport::readFile(host / "BRANDMDB.MDB");
    for (const auto& c : std::vector<Case>{
             {"no TAB", acme + out + file("employees-commas.txt"), 2,
              "Incorrect File Format: Your import file did not separate fields with a TAB "
              "character"},
             {"bad dates",
              acme + "--format 'Acme payroll export'" + out + file("employees-bad-dates.txt"), 2,
              "Invalid Dates in Import File: Upon reviewing the first record and second record, "
              "the system has determined the file has invalid dates in the following fields:  "
              " Date of Birth."},
             {"extra columns",
              acme + "--format 'Acme payroll export'" + out + file("employees-extra-columns.txt"),
              2, "Remove extra fields?: Your import file shows it has 17 fields"},
             {"several accounts", "--type EMPLOYEE" + out + file("employees-good.txt"), 1,
              "name one with --account"},
             {"the template's name",
              acme + "--format 'Acme payroll export' --out " + file("brandmdb.mdb") + " " +
                  file("employees-good.txt"),
              1, "Invalid File Name: You may not call the database Import file the same"},
             {"unknown format", acme + "--format Nothing" + out + file("employees-good.txt"), 1,
              "no saved format named 'Nothing'"},
             {"no type", out + file("employees-good.txt"), 64, "usage:"},
         }) {
        SCOPED_TRACE(c.name);
        auto r = batch(c.args);
        EXPECT_EQ(r.status, c.exitCode) << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    EXPECT_FALSE(std::filesystem::exists(host / "out.mdb"));
    EXPECT_EQ(testsupport::readFile(host / "BRANDMDB.MDB"), templateBytes)
        << "the template never changes";

    // Extra columns are removed on request.
    auto r = batch(acme + "--format 'Acme payroll export' --fix-extra-fields" + out +
                   file("employees-extra-columns.txt"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 37), "2 records written, 0 records rejected");
    EXPECT_TRUE(std::filesystem::exists(host / "employees-extra-columns_Revised.txt"));
}

TEST_F(BatchTest, LineEndsAndCharacterSetsAreCorrectedOnlyOnRequest) {
    const std::string good = testsupport::readFile(host / "employees-good.txt");
    auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        for (auto at = text.find(from); at != std::string::npos;
             at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
        return text;
    };
    ASSERT_NE(good.find("Siobhan"), std::string::npos);
    ASSERT_TRUE(good.ends_with("\r\n"));
    const std::string accented = replaced(good, "Siobhan", "Siobh\xE1n");
    const std::string utf8Text = replaced(good, "Siobhan", "Siobhán");
    struct Case {
        const char* name;
        std::string bytes;
        std::string flags;
        const std::string& copy;
    };
    const std::string format =
        acme + "--format 'Acme payroll export' --first-record 2 --out " + file("out.mdb") + " ";
    for (const auto& c : std::vector<Case>{
             {"LF alone", replaced(good, "\r\n", "\n"), "--fix-line-ends", good},
             {"no last line end", good.substr(0, good.size() - 2), "--fix-line-ends", good},
             {"UTF-16", testsupport::utf16File(utf8Text), "--convert-text", accented},
             {"UTF-8 with its mark", "\xEF\xBB\xBF" + utf8Text, "--convert-text", accented},
             {"UTF-8 with LF alone", replaced(utf8Text, "\r\n", "\n"),
              "--convert-text --fix-line-ends", accented},
         }) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(host / "in_Revised.txt");
        testsupport::writeFile(host / "in.txt", c.bytes);
        auto r = batch(format + file("in.txt"));
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(
            r.err.find("Correct Import File?: Your import file " + (host / "in.txt").string()),
            std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("tarnfield-batch: " +
                             replaced(c.flags, "--convert-text --", "--convert-text with --") +
                             " writes a corrected copy"),
                  std::string::npos)
            << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_FALSE(std::filesystem::exists(host / "in_Revised.txt"));

        r = batch(c.flags + " " + format + file("in.txt"));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.substr(0, 37), "3 records written, 0 records rejected");
        EXPECT_EQ(testsupport::readFile(host / "in_Revised.txt"), c.copy);
    }

    // NUL characters are refused whatever the options.
    std::string nul = good;
    nul.insert(good.find("Siobhan"), 1, '\0');
    testsupport::writeFile(host / "in.txt", nul);
    auto r = batch("--fix-line-ends --convert-text " + format + file("in.txt"));
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("NUL Characters in Import File: Your import file " +
                         (host / "in.txt").string() +
                         " holds NUL characters (character code 0), the first on line 3."),
              std::string::npos)
        << r.err;
}

} // namespace
