// tarnfield-batch end to end on the demo host folder and its template. The databases it writes
// are read back by mdbtools, an Access reader that is not ours, and no run destroys a file: not
// the one it imports, not the host's, and not the old database when the new one is killed
// part-way or meets a full disk.
#include "support/Command.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/mount.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using testsupport::quote;
using testsupport::readFile;

// A row (header excluded) holding part; rows come in table-scan order.
bool anyRow(const std::vector<std::string>& rows, const std::string& part) {
    for (std::size_t i = 1; i < rows.size(); ++i)
        if (rows[i].find(part) != std::string::npos)
            return true;
    return false;
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
#endif
    }

    testsupport::Outcome batch(const std::string& args) {
        return testsupport::run(quote(TARNFIELD_BATCH_TOOL) + " --app-dir " + quote(host.string()) +
                                " " + args);
    }

    // The demo's saved format for Acme, its header line skipped.
    testsupport::Outcome payroll(const fs::path& out, const fs::path& tab,
                                 const std::string& flags = "") {
        return batch(flags + " " + kAcme +
                     "--format 'Acme payroll export' --first-record 2 --out " +
                     quote(out.string()) + " " + quote(tab.string()));
    }
    std::string file(const char* name) {
        return quote((host / name).string());
    }

    // Rows of a table as mdb-export writes them, TAB-separated, header first.
    std::vector<std::string> exportRows(const std::string& table) {
        std::vector<std::string> out;
        std::istringstream in(testsupport::mdbExport(host / "out.mdb", table, true));
        for (std::string l; std::getline(in, l);)
            out.push_back(l);
        return out;
    }

    // A TAB file of the demo's header and n good records.
    fs::path manyRecords(int n) {
        std::string text = readFile(host / "employees-good.txt");
        text = text.substr(0, text.find('\n') + 1);
        for (int i = 0; i < n; ++i)
            text += "Abbott\tRuth\tK\t10 Harbor Road\t\tDover\tDE\t19901\tF\t123456001\t"
                    "1/11/1970\t3/1/2001\t4/1/2001\t\r\n";
        testsupport::writeFile(host / "many.txt", text);
        return host / "many.txt";
    }

    testsupport::TempDir dir;
    fs::path host = dir / "host";
    const std::string kAcme = "--account 'Acme Manufacturing' --type EMPLOYEE ";
};

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

TEST_F(BatchTest, FailuresSayWhyWithTheirExitCodesAndChangeNoFile) {
    struct Case {
        const char* name;
        std::string args;
        int exitCode;
        std::string err;
    };
    const std::string out = " --out " + file("out.mdb") + " ";
    const std::string format = kAcme + "--format 'Acme payroll export'" + out;
    const auto tab = host / "employees-good.txt";
    const std::string tabBytes = readFile(tab), accounts = readFile(host / "Account.dat");
    const std::string templateBytes = readFile(host / "BRANDMDB.MDB");
    fs::create_directory(host / "folder.txt");
    for (const auto& c : std::vector<Case>{
             {"no TAB", kAcme + out + file("employees-commas.txt"), 2,
              "Incorrect File Format: Your import file did not separate fields with a TAB "
              "character"},
             {"bad dates", format + file("employees-bad-dates.txt"), 2,
              "Invalid Dates in Import File: Upon reviewing the first record and second record, "
              "the system has determined the file has invalid dates in the following fields:  "
              " Date of Birth."},
             {"extra columns", format + file("employees-extra-columns.txt"), 2,
              "Remove extra fields?: Your import file shows it has 17 fields"},
             {"a folder to import", format + file("folder.txt"), 2, "is a folder, not a TAB file"},
             {"several accounts", "--type EMPLOYEE" + out + file("employees-good.txt"), 1,
              "name one with --account"},
             {"unknown format", kAcme + "--format Nothing" + out + file("employees-good.txt"), 1,
              "no saved format named 'Nothing'"},
             {"no type", out + file("employees-good.txt"), 64, "usage:"},
             // The imported file and the host's own files are never the database.
             {"the imported file",
              kAcme + "--format 'Acme payroll export' --out " + file("employees-good.txt") + " " +
                  file("employees-good.txt"),
              1, tab.string()},
             {"the account list",
              kAcme + "--format 'Acme payroll export' --out " + file("Account.dat") + " " +
                  file("employees-good.txt"),
              1, (host / "Account.dat").string()},
         }) {
        SCOPED_TRACE(c.name);
        auto r = batch(c.args);
        EXPECT_EQ(r.status, c.exitCode) << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    EXPECT_FALSE(fs::exists(host / "out.mdb"));
    EXPECT_EQ(readFile(host / "BRANDMDB.MDB"), templateBytes) << "the template never changes";
    EXPECT_EQ(readFile(tab), tabBytes);
    EXPECT_EQ(readFile(host / "Account.dat"), accounts);
    // Extra columns are removed on request.
    auto r = batch(format + "--fix-extra-fields " + file("employees-extra-columns.txt"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 37), "2 records written, 0 records rejected");
    EXPECT_TRUE(fs::exists(host / "employees-extra-columns_Revised.txt"));
}

TEST_F(BatchTest, LineEndsAndCharacterSetsAreCorrectedOnlyOnRequest) {
    const std::string good = readFile(host / "employees-good.txt");
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
    const auto in = host / "in.txt", out = host / "out.mdb";
    for (const auto& c : std::vector<Case>{
             {"LF alone", replaced(good, "\r\n", "\n"), "--fix-line-ends", good},
             {"UTF-16", testsupport::utf16File(utf8Text), "--convert-text", accented},
             {"UTF-8 with LF alone", replaced(utf8Text, "\r\n", "\n"),
              "--convert-text --fix-line-ends", accented},
         }) {
        SCOPED_TRACE(c.name);
        fs::remove(host / "in_Revised.txt");
        testsupport::writeFile(in, c.bytes);
        auto r = payroll(out, in);
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_NE(r.err.find("Correct Import File?: Your import file " + in.string()),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("tarnfield-batch: " +
                             replaced(c.flags, "--convert-text --", "--convert-text with --") +
                             " writes a corrected copy"),
                  std::string::npos)
            << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_FALSE(fs::exists(host / "in_Revised.txt"));

        r = payroll(out, in, c.flags);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.substr(0, 37), "3 records written, 0 records rejected");
        EXPECT_EQ(readFile(host / "in_Revised.txt"), c.copy);
    }

    // NUL characters are refused whatever the options.
    std::string nul = good;
    nul.insert(good.find("Siobhan"), 1, '\0');
    testsupport::writeFile(in, nul);
    auto r = payroll(out, in, "--fix-line-ends --convert-text");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("NUL Characters in Import File: Your import file " + in.string() +
                         " holds NUL characters (character code 0), the first on line 3."),
              std::string::npos)
        << r.err;
}

TEST_F(BatchTest, ASavedFormatImportsTheGoodFileAndAKilledRunLeavesThatDatabase) {
    auto r = payroll(host / "out.mdb", host / "employees-good.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "3 records written, 0 records rejected, log " +
                         (host / "ImportLog.doc").string() + "\n");
    EXPECT_EQ(readFile(host / "ImportLog.doc"),
              "ACTIVE EMPLOYEE IMPORT FILE CREATION LOG\n" + std::string(40, '-') +
                  "\n\nThe system did not detect any errors with the creation of the import "
                  "file.");
    if (testsupport::haveMdbTools()) {
        auto rows = exportRows("Active_Employees");
        ASSERT_EQ(rows.size(), 4u);
        EXPECT_EQ(rows[0].substr(0, 32), "Employee_ID\tLast_Name\tFirst_Name");
        EXPECT_TRUE(anyRow(rows, "2\tO'Neil\tSiobhan\t\t30 Harbor Road\tApt 2\tDover, DE  19901\t"
                                 "F\t123-45-6003\t03/13/1970\t06/15/2010\t07/01/2010\t07/01/2010"))
            << rows[2];
    }

    const auto before = readFile(host / "out.mdb");
    const auto tab = manyRecords(50);
    setenv("TARNFIELD_CRASH_AT", "record:20", 1);
    auto killed = payroll(host / "out.mdb", tab);
    unsetenv("TARNFIELD_CRASH_AT");
    EXPECT_EQ(killed.status, 128 + 9) << "not killed: " << killed.err;
    EXPECT_EQ(readFile(host / "out.mdb"), before);
    EXPECT_EQ(testsupport::partialFiles(host).size(), 1u)
        << "the killed run's partial file, by its name";

    r = payroll(host / "out.mdb", tab);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("50 records written"), std::string::npos) << r.out;
    EXPECT_TRUE(testsupport::partialFiles(host).empty());
}

TEST_F(BatchTest, CtrlCStopsTheImportAndLeavesEveryFileAsItWas) {
    ASSERT_EQ(payroll(host / "out.mdb", host / "employees-good.txt").status, 0);
    const auto before = readFile(host / "out.mdb");
    const auto templateBefore = readFile(host / "BRANDMDB.MDB");
    const auto tab = manyRecords(50);
    // The middle of the file, and its last record, after which only the saving is left.
    for (int at : {20, 50}) {
        setenv("TARNFIELD_CRASH_AT", ("record:" + std::to_string(at) + ":interrupt").c_str(), 1);
        auto r = payroll(host / "out.mdb", tab);
        unsetenv("TARNFIELD_CRASH_AT");
        EXPECT_EQ(r.status, 130) << r.err;
        EXPECT_NE(r.err.find("Cancelled after " + std::to_string(at) +
                             " records; no import database was made"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(readFile(host / "out.mdb"), before);
        EXPECT_EQ(readFile(host / "BRANDMDB.MDB"), templateBefore);
        EXPECT_TRUE(testsupport::partialFiles(host).empty());
        const auto log = readFile(host / "ImportLog.doc");
        EXPECT_TRUE(log.ends_with("The import was cancelled after " + std::to_string(at) +
                                  " records.  No import database was made.\n\n"))
            << log;
    }
}

TEST_F(BatchTest, AWorkbookOrCsvFileIsImportedThroughItsTabCopy) {
    // The demo's TAB file as a CSV file, every field quoted: its TAB copy is that file again.
    const std::string tab = readFile(host / "employees-good.txt");
    std::string csv = "\"";
    for (char c : tab)
        csv += c == '\t' ? "\",\"" : c == '\r' ? "\"\r" : c == '\n' ? "\n\"" : std::string(1, c);
    csv.pop_back();
    testsupport::writeFile(host / "employees.csv", csv);
    auto r = payroll(host / "out.mdb", host / "employees.csv");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("3 records written"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("employees_Tab.txt"), std::string::npos) << "the copy is named: " << r.err;
    EXPECT_EQ(readFile(host / "employees_Tab.txt"), tab);

    // The same file saved as workbooks by a spreadsheet program gives the same rows.
    if (testsupport::haveMdbTools()) {
        const auto fromTab = exportRows("Active_Employees");
        for (const char* book : {"employees.xlsx", "employees.ods"}) {
            fs::copy_file(fs::path(TARNFIELD_SHEETS_DATA) / book, host / book);
            r = payroll(host / "out.mdb", host / book);
            ASSERT_EQ(r.status, 0) << book << ": " << r.err;
            EXPECT_EQ(exportRows("Active_Employees"), fromTab) << book;
        }
    }

    // A sheet the workbook does not have: said, and nothing imported.
    fs::copy_file(TARNFIELD_SHEETS_DATA "/clients.xlsx", host / "clients.xlsx");
    r = payroll(host / "none.mdb", host / "clients.xlsx", "--sheet Nope");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("has no sheet called 'Nope'"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(host / "none.mdb"));
    EXPECT_FALSE(fs::exists(host / "clients_Tab.txt"));
}

TEST_F(BatchTest, TheHeaderLineArrangesTheStructureItsSavedFormatHasOrNamesWhatItCannot) {
    auto r = payroll(host / "out.mdb", host / "employees-good.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    const bool mdbTools = testsupport::haveMdbTools();
    const auto fromFormat = mdbTools ? exportRows("Active_Employees") : std::vector<std::string>();
    const std::string arrange = kAcme + "--arrange-from-header --out " + file("out.mdb") + " ";
    fs::copy_file(fs::path(TARNFIELD_SHEETS_DATA) / "employees.xlsx", host / "employees.xlsx");
    for (const char* source : {"employees-good.txt", "employees.xlsx"}) {
        fs::remove(host / "out.mdb");
        r = batch(arrange + file(source));
        ASSERT_EQ(r.status, 0) << source << ": " << r.err;
        EXPECT_EQ(r.out.substr(0, 37), "3 records written, 0 records rejected") << source;
        if (mdbTools) {
            EXPECT_EQ(exportRows("Active_Employees"), fromFormat) << source;
        }
    }

    struct Case {
        const char* name;
        std::string headings;
        std::vector<std::string> said;
    };
    for (const auto& c : std::vector<Case>{
             {"columns that take no field",
              "Employee ID\tLast Name\tFirst Name\tAddress\tStreet Address\tCity\tGender\tSSN\t"
              "DOB\tHire Date\tBenefits Start",
              {"columns of the header line that take no field:\n"
               "  column 1 \"Employee ID\": no field has this name\n"
               "  column 5 \"Street Address\": also matches \"Mailing Address\", given to column 4 "
               "\"Address\"\n"}},
             {"mandatory fields without a column",
              "Last Name\tFirst Name\tAddress\tCity\tGender\tSSN\tDOB\tBenefits Start",
              {"no column of the header line holds the mandatory fields:\n"
               "  Employee's Hire Date\n"}},
         }) {
        SCOPED_TRACE(c.name);
        testsupport::writeFile(host / "hr.txt", c.headings + "\r\nAbbott\tRuth\r\n");
        r = batch(kAcme + "--arrange-from-header --out " + file("hr.mdb") + " " + file("hr.txt"));
        EXPECT_EQ(r.status, 2);
        for (const auto& part : c.said)
            EXPECT_NE(r.err.find(part), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(host / "hr.mdb"));
    }
    // The header line is no record, and the structure comes from one place only.
    for (const char* clash : {"--first-record 1", "--format 'Acme payroll export'"}) {
        r = batch(arrange + clash + " " + file("employees-good.txt"));
        EXPECT_EQ(r.status, 64) << clash;
    }
}

TEST_F(BatchTest, AFullDiskLeavesTheOldDatabaseAndSaysNoneWasMade) {
    // A small file system of its own: mounting one needs root.
    const auto disk = dir / "disk";
    fs::create_directories(disk);
    const auto size = "size=" + std::to_string(2 * fs::file_size(host / "BRANDMDB.MDB") + 65536);
    if (::geteuid() != 0 || ::mount("tmpfs", disk.c_str(), "tmpfs", 0, size.c_str()) != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    fs::copy_file(host / "BRANDMDB.MDB", disk / "out.mdb");
    const auto before = readFile(disk / "out.mdb");

    auto r = payroll(disk / "out.mdb", manyRecords(20000));
    const auto after = readFile(disk / "out.mdb");
    const auto partial = testsupport::partialFiles(disk);
    ::umount(disk.c_str());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No import database was made"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("record #"), std::string::npos) << r.err;
    EXPECT_EQ(after, before);
    EXPECT_TRUE(partial.empty());
}

} // namespace
