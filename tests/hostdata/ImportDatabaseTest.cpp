// Making the import database from a copy of the host's template, and the company, plan and rate
// rows written into it, read back through the engine and through mdbtools.
#include "hostdata/ImportDatabase.h"

#include "hostdata/Transfer.h"
#include "jet/Check.h"
#include "jet/Database.h"
#include "platform/HostPath.h"
#include "platform/ScriptedInteraction.h"
#include "sample/SampleDatabases.h"
#include "support/HostFiles.h"
#include "support/Rows.h"
#include "support/TempDir.h"

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace fs = std::filesystem;
using namespace hostdata;
using platform::Answer;
using platform::ScriptedInteraction;
using Kind = platform::ScriptedInteraction::Kind;

namespace {

using testsupport::engineRows;
using testsupport::mdbExportRows;
using testsupport::Row;
using testsupport::sortedBy;

// A host folder: the template in the program folder, one account folder ACME.
struct HostFolder {
    testsupport::TempDir dir;
    HostFolders folders;
    ScriptedInteraction ui;

    // What the last make or create gave.
    std::shared_ptr<jet::Database> database;
    std::int64_t planCount = 0;
    fs::path templateFile;

    // The template: ours with leftover rows, ours empty, or the one Access made.
    enum class Template { Sample, SampleEmpty, AccessMade };

    explicit HostFolder(Template kind = Template::Sample) {
        templateFile = dir / "BRANDMDB.MDB";
        if (kind == Template::Sample)
            sample::writeTemplate(templateFile);
        else if (kind == Template::SampleEmpty)
            sample::createFromSchema(templateFile, "BRANDMDB.sql").Close();
        else
            fs::copy_file(testsupport::fixturesDir() / "templates/jet4/BRANDMDB.MDB", templateFile);
        fs::create_directory(dir / "ACME");
        folders = {dir.withSlash(), dir.withSlash() + "ACME/"};
        sharedHostRecords() = HostRecords{};
        // No message may be shown under the hourglass.
        ui.onMessage = [this](const ScriptedInteraction::Entry& e) {
            EXPECT_FALSE(ui.busy()) << "busy pointer over the message " << e.title;
        };
    }
    void company(const CompanyRecord& c) {
        testsupport::writeFile(dir / "ACME" / "Company.dat", testsupport::encoded(c));
    }
    template <typename Plan>
    void plans(const std::vector<Plan>& list) {
        std::string bytes;
        for (const auto& p : list)
            bytes += testsupport::encoded(p);
        testsupport::writeFile(dir / "ACME" / "insplan.dat", bytes);
    }

    // As the wizard does it: the previous database closed first, since its file may be replaced.
    bool make(const std::string& path) {
        CloseImportDatabase(database);
        return keep(MakeImportDatabase(folders, ui, path));
    }
    bool create() {
        CloseImportDatabase(database);
        return keep(CreateImportDatabase(folders, ui));
    }

    // Finished at once and opened again under its name, where the tests read it.
    bool keep(std::optional<ImportDatabaseMade> made) {
        if (made && !FinishImportDatabase(*made, ui, "no record"))
            made.reset();
        database = made ? std::make_shared<jet::Database>(jet::Database::OpenDatabase(
                              hostpath::resolve(made->path), jet::OpenMode::ReadWrite))
                        : nullptr;
        planCount = made ? made->planCount : 0;
        return made.has_value();
    }
};

CompanyRecord acme() {
    CompanyRecord c;
    c.name = "Acme Manufacturing";
    c.address = "100 Main Street";
    c.addressOverflow = "Suite 4";
    c.cityStateZip = "Dover, DE  19901";
    c.administrator = "Pat Morgan";
    c.title = "Benefits Manager";
    c.cobraAdminFee = 2.5f;
    c.disabledAdminFee = 4.25f;
    return c;
}

// The same amounts in both layouts: currency 125000 is 12.5, the float 12.5 is 12.5.
constexpr std::array<double, 4> kRates = {12.5, 20.25, 30.75, 41.5};
constexpr std::array<double, 4> kOldRates = {50.5, 60.25, 70.125, 80.0};
const char* const kRateText[] = {"12.5000", "20.2500", "30.7500", "41.5000"};
const char* const kOldRateText[] = {"50.5000", "60.2500", "70.1250", "80.0000"};

const std::string kName35 = "Employee and Spouse Plus Children X"; // 35 characters
const std::string kName40(40, 'W');

template <typename Plan>
Plan makePlan(std::int16_t insurer, std::int16_t t, std::int16_t p, bool blankFirstNames = false) {
    Plan plan;
    auto& h = plan.header;
    h.insurerId = insurer;
    h.companyName = "  Carrier " + std::to_string(insurer);
    h.address = "1 Insurance Plaza";
    h.cityStateZip = "Hartford, CT  06101";
    h.phone = "860-555-0100 ext. 99";
    h.effectiveDate = "1/1/2026";
    h.completionDate = "12/31/2026";
    h.termRegs = -3;
    h.openEnrollment = "Y";
    h.conversion = " ";
    h.active = "A";
    h.planType = "M";
    h.dependentTerm = 26;
    h.studentTerm = 24;
    h.tierStructure = t;
    plan.oldTierStructure = p;
    plan.oldEffectiveDate = " 1/1/2025";
    plan.oldCompletionDate = "12/31/25";
    using Rate = typename decltype(plan.rates)::value_type;
    auto rate = [](double amount) {
        if constexpr (std::is_same_v<Rate, float>)
            return static_cast<float>(amount);
        else
            return static_cast<std::int64_t>(amount * 10000);
    };
    for (std::size_t i = 0; i < 4; ++i) {
        plan.rates[i] = rate(kRates[i]);
        plan.oldRates[i] = rate(kOldRates[i]);
    }

    // Entry 0 is never written; the list ends at the first blank name (entry 4 here).
    const std::vector<std::string> names = {"Entry zero", "Employee Only",  kName35, kName40,
                                            "",           "After the blank"};
    for (std::size_t j = 0; j < names.size(); ++j) {
        plan.namedRates[j].name = blankFirstNames && j == 1 ? "" : names[j];
        plan.namedRates[j].rate = rate(100 + static_cast<double>(j));
    }
    plan.oldNamedRates[0].name = "Old zero";
    plan.oldNamedRates[1].name = blankFirstNames ? "" : "Old single";
    plan.oldNamedRates[2].name = "Old family";
    plan.oldNamedRates[1].rate = rate(7.25);
    plan.oldNamedRates[2].rate = rate(9.5);
    return plan;
}

struct Codes {
    std::int16_t t, p;
};
// Every code of both blocks, inside and outside 1 to 4, in mixed pairs.
const std::vector<Codes> kCodes = {{1, 1}, {2, 2}, {3, 3},  {4, 4},  {1, 4}, {4, 1},
                                   {0, 5}, {5, 0}, {-1, 3}, {2, -2}, {3, 1}};

// The Insurance_Companies row a plan with these codes must give ("" = Null, never written).
Row expectedPlanRow(std::int16_t insurer, Codes c) {
    // clang-format off
    Row r = {{"Insurer_ID", std::to_string(insurer)},
             {"Insurance_Company_Name", "Carrier " + std::to_string(insurer)},
             {"ADDRESS", "1 Insurance Plaza"}, {"City_State_Zip", "Hartford, CT  06101"},
             {"Phone", "860-555-0100 ex"}, {"Term_Regs", "-3"}, {"Open_Enrollment", "Y"},
             {"Conversion", " "}, {"ACTIVE", "A"}, {"Plan_Type", "M"}, {"Dependent_Term", "26"},
             {"Student_Term", "24"}, {"Tier_Structure", std::to_string(c.t)}};
    // clang-format on
    // Per code: which tiers it writes: r its rate, 0 the zero, - nothing.
    auto pattern = [](int code) -> std::string {
        return code == 1 ? "r00r" : code == 2 ? "rr0r" : code == 3 ? "rrrr" : "----";
    };
    const char* cur[] = {"Single_Rate", "Two_Party_Rate", "EE_Child_Rate", "Family_Rate"};
    const char* old[] = {"Old_Single_Rate", "Old_Two_Party_Rate", "Old_EE_Child_Rate",
                         "Old_Family_Rate"};
    bool curDates = c.t >= 1 && c.t <= 4, oldDates = c.p >= 1 && c.p <= 4;
    r["Effective_Date"] = curDates ? "1/1/2026  " : "";
    r["Completion_Date"] = curDates ? "12/31/2026" : "";
    r["Old_Effective_Date"] = oldDates ? " 1/1/2025 " : "";
    r["Old_Completion_Date"] = oldDates ? "12/31/25  " : "";
    r["Old_Tier_Structure"] = c.p >= 1 && c.p <= 3 ? std::to_string(c.p) : "";
    for (std::size_t i = 0; i < 4; ++i) {
        char a = pattern(c.t)[i], b = pattern(c.p)[i];
        r[cur[i]] = a == 'r' ? kRateText[i] : a == '0' ? "0.0000" : "";
        r[old[i]] = b == 'r' ? kOldRateText[i] : b == '0' ? "0.0000" : "";
    }
    return r;
}

// The Rates rows of a plan: three current entries when T is 4, two previous ones when P is 4.
std::vector<Row> expectedRates(std::int16_t insurer, Codes c) {
    std::vector<Row> rows;
    auto add = [&](const char* from, const char* to, const std::string& name, const char* rate) {
        rows.push_back({{"Insurer_ID", std::to_string(insurer)},
                        {"Effective_Date", from},
                        {"Completion_Date", to},
                        {"Structure_Name", name},
                        {"Rate", rate}});
    };
    if (c.t == 4) { // current dates untrimmed; names cut to 30, blanks kept
        add("1/1/2026  ", "12/31/2026", "Employee Only" + std::string(17, ' '), "101.0000");
        add("1/1/2026  ", "12/31/2026", kName35.substr(0, 30), "102.0000");
        add("1/1/2026  ", "12/31/2026", std::string(30, 'W'), "103.0000");
    }
    if (c.p == 4) { // previous dates trimmed
        add("1/1/2025", "12/31/25", "Old single" + std::string(20, ' '), "7.2500");
        add("1/1/2025", "12/31/25", "Old family" + std::string(20, ' '), "9.5000");
    }
    return rows;
}

// Only the columns an expectation names are compared (Rate_ID is the engine's own number).
void expectRows(const std::vector<Row>& actual, const std::vector<Row>& expected,
                const std::string& reader) {
    ASSERT_EQ(actual.size(), expected.size()) << reader;
    for (std::size_t i = 0; i < expected.size(); ++i)
        for (const auto& [column, value] : expected[i]) {
            auto it = actual[i].find(column);
            ASSERT_NE(it, actual[i].end()) << reader << " lacks " << column;
            EXPECT_EQ(it->second, value) << reader << ", row " << i << ", " << column;
        }
}

template <typename Plan>
void transfersEveryTierCode() {
    HostFolder host(HostFolder::Template::SampleEmpty);
    host.company(acme());
    std::vector<Plan> plans;
    std::vector<Row> planRows, rateRows;
    for (std::size_t i = 0; i < kCodes.size(); ++i) {
        auto insurer = static_cast<std::int16_t>(10 + i);
        plans.push_back(makePlan<Plan>(insurer, kCodes[i].t, kCodes[i].p));
        planRows.push_back(expectedPlanRow(insurer, kCodes[i]));
        for (auto& r : expectedRates(insurer, kCodes[i]))
            rateRows.push_back(r);
    }

    // Blank entry 1 in both lists: no Rates row at all, though entry 2 holds a name.
    plans.push_back(makePlan<Plan>(99, 4, 4, true));
    planRows.push_back(expectedPlanRow(99, {4, 4}));
    host.plans(plans);

    const std::string path = host.folders.appDir + "Import.mdb";
    ASSERT_TRUE(host.make(path)) << host.ui.messages().size();
    EXPECT_EQ(host.planCount, static_cast<std::int64_t>(plans.size()));
    ASSERT_TRUE(host.database && host.database->IsOpen());
    EXPECT_TRUE(jet::checkDatabase(*host.database).empty());
    host.database->Close();
    EXPECT_TRUE(host.ui.messages().empty());
    EXPECT_FALSE(host.ui.busy());

    const Row company = {
        {"Company_Name", "Acme Manufacturing"}, {"ADDRESS", "100 Main Street"},
        {"Address_Overflow", "Suite 4"},        {"City_State_Zip", "Dover, DE  19901"},
        {"Administrator", "Pat Morgan"},        {"title", "Benefits Manager"},
        {"Disabled_Admin_Fee", "4.2500"}};
    const fs::path file = host.dir / "Import.mdb";
    const std::vector<std::string> rateKey = {"Insurer_ID", "Structure_Name"};
    EXPECT_EQ(engineRows(file, "Company_Information")[0]["COBRA_Admin_Fee"], "2.5");
    for (auto [reader, rows] : {std::pair{"engine", &engineRows}, {"mdb-export", &mdbExportRows}}) {
        if (rows == &mdbExportRows && !testsupport::haveMdbTools())
            break;
        expectRows(rows(file, "Company_Information"), {company}, reader);
        expectRows(sortedBy(rows(file, "Insurance_Companies"), {"Insurer_ID"}), planRows, reader);
        expectRows(sortedBy(rows(file, "Rates"), rateKey), sortedBy(rateRows, rateKey), reader);
    }
}

TEST(ImportDatabase, TransfersEveryTierCodeFromBothLayouts) {
    transfersEveryTierCode<InsurancePlanRecord>();
    transfersEveryTierCode<LegacyInsurancePlanRecord>();
}

// The tables a new import database starts without rows.
// clang-format off
const char* const kEmptied[] = {"Active_Employees", "Dependent_Information",
                                "Member_Insurance_Plan", "Insurance_Companies", "Payments", "Rates",
                                "Qualifier_Information", "Company_Information"};
// clang-format on

void emptiesTheEightTablesAndLeavesTheRestAndTheTemplateAlone(HostFolder::Template kind) {
    HostFolder host(kind);
    host.company(acme());
    host.plans(std::vector<InsurancePlanRecord>{makePlan<InsurancePlanRecord>(5, 1, 0)});
    const std::string templateBytes = testsupport::readFile(host.templateFile);
    const auto letters = engineRows(host.templateFile, "Letter_Templates");
    ASSERT_EQ(letters.size(), 3u);
    ASSERT_GT(letters[0].at("Body").size(), 2000u) << "a memo on its own page";
    if (kind == HostFolder::Template::Sample) {
        for (const char* table : kEmptied)
            ASSERT_FALSE(engineRows(host.templateFile, table).empty()) << "leftovers in " << table;
    }

    // Twice with the same name: the second time replaces the file and starts from the template.
    for (int run = 0; run < 2; ++run) {
        host.ui.queueFile(host.folders.appDir + "New.mdb");
        if (run == 1)
            host.ui.queueAnswer(Answer::Yes);
        host.create();
        ASSERT_TRUE(host.database) << "run " << run;
    }
    host.database->Close();
    auto messages = host.ui.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Replace Current File With New One?");

    const fs::path file = host.dir / "New.mdb";
    for (const std::string table : kEmptied) // the company and the plan written again
        EXPECT_EQ(engineRows(file, table.c_str()).size(),
                  std::size_t{table == "Company_Information" || table == "Insurance_Companies"})
            << table;
    EXPECT_EQ(engineRows(file, "Company_Information")[0]["Company_Name"], "Acme Manufacturing");
    EXPECT_EQ(engineRows(file, "Insurance_Companies")[0]["Insurer_ID"], "5");
    EXPECT_EQ(engineRows(file, "Letter_Templates"), letters);
    auto db = jet::Database::OpenDatabase(file, jet::OpenMode::ReadOnly);
    EXPECT_TRUE(jet::checkDatabase(db).empty());
    db.Close();
    EXPECT_EQ(testsupport::readFile(host.templateFile), templateBytes);
}

TEST(ImportDatabase, EmptiesTheEightTablesAndLeavesTheRestAndTheTemplateAlone) {
    emptiesTheEightTablesAndLeavesTheRestAndTheTemplateAlone(HostFolder::Template::Sample);
    if (testsupport::fixturesDir().empty())
        GTEST_SKIP() << "fixtures not found: the template Access made is not tried";
    emptiesTheEightTablesAndLeavesTheRestAndTheTemplateAlone(HostFolder::Template::AccessMade);
}

TEST(ImportDatabase, TheSaveDialogLoopsUntilCancelled) {
    HostFolder host;
    const std::string templateBytes = testsupport::readFile(host.templateFile);
    fs::create_directory(host.dir / "Other");
    testsupport::writeFile(host.dir / "Existing.mdb", "keep me");
    host.ui.queueFile(host.folders.appDir +
                      "Other/brandmdb.mdb");                  // the template's name, other folder
    host.ui.queueFile(host.folders.appDir + "BrandMdb.MDB "); // in the program folder, a blank
    fs::create_hard_link(host.templateFile, host.dir / "Link.mdb");
    host.ui.queueFile(host.folders.appDir + "Link.mdb");     // the template under another name
    host.ui.queueFile(host.folders.appDir + "Existing.mdb"); // exists: No to replacing it
    host.ui.queueAnswer(Answer::No);
    host.ui.queueFile(std::nullopt); // cancel
    EXPECT_FALSE(host.create());
    EXPECT_FALSE(host.database);
    std::vector<std::string> kinds;
    for (const auto& e : host.ui.transcript()) {
        if (e.kind == Kind::Message)
            kinds.push_back(e.title);
        if (e.kind != Kind::SaveFile)
            continue;
        kinds.push_back("dialog");
        EXPECT_EQ(e.title, "Save Import File For Brandmoor");
        EXPECT_EQ(e.text, "Brandmoor-ImportFile1.mdb");
        EXPECT_EQ(e.detail, host.folders.appDir.substr(0, host.folders.appDir.size() - 1));
    }
    ASSERT_EQ(kinds,
              (std::vector<std::string>{"dialog", "Invalid File Name", "dialog",
                                        "Invalid File Name", "dialog", "Invalid File Name",
                                        "dialog", "Replace Current File With New One?", "dialog"}));
    const auto messages = host.ui.messages();
    EXPECT_EQ(messages[0].icon, platform::Icon::Critical);
    EXPECT_EQ(messages[0].text,
              "You may not call the database Import file the same as the template.  This would "
              "distroy the template and the ability to create new import files.");
    EXPECT_EQ(messages[3].icon, platform::Icon::None);
    EXPECT_EQ(messages[3].buttons, platform::Buttons::YesNo);
    EXPECT_EQ(messages[3].text, "This file already exists.  Do you wish to copy over it?");
    EXPECT_EQ(testsupport::readFile(host.dir / "Existing.mdb"), "keep me");
    EXPECT_EQ(testsupport::readFile(host.templateFile), templateBytes);
    EXPECT_FALSE(fs::exists(host.dir / "Other" / "brandmdb.mdb"));
    EXPECT_FALSE(host.ui.busy());
    // Nor is the template opened as the import database by any path.
    std::string link = host.folders.appDir + "Link.mdb";
    EXPECT_FALSE(OpenImportDatabase(host.folders.appDir, host.ui, link));
    EXPECT_EQ(link, "INVALID");
    EXPECT_EQ(testsupport::readFile(host.templateFile), templateBytes);
}

// Replaces every occurrence of a UTF-16 name in a database file with another of the same length.
void renameInFile(const fs::path& file, const std::string& from, const std::string& to) {
    auto utf16le = [](const std::string& s) {
        std::string out;
        for (char c : s)
            out += std::string{c, '\0'};
        return out;
    };
    std::string bytes = testsupport::readFile(file), a = utf16le(from), b = utf16le(to);
    for (auto at = bytes.find(a); at != std::string::npos; at = bytes.find(a, at))
        bytes.replace(at, b.size(), b);
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
    testsupport::writeFile(file, bytes);
}

TEST(ImportDatabase, AFailedMakeLeavesNoCopyAndShowsOneMessage) {
    struct Case {
        const char* what; // for an engine or file error, the place the message names
        std::function<void(HostFolder&)> setUp;
        bool shape; // a copy of another shape rather than an engine or file error
    };
    auto damaged = [](std::function<void(const fs::path&)> damage) {
        return [damage](HostFolder& h) {
            damage(h.templateFile);
            h.company(acme());
        };
    };
    const std::vector<Case> cases = {
        {"not a database", damaged([](const fs::path& f) {
             fs::remove(f);
             testsupport::writeFile(f, std::string(8192, 'x'));
         }),
         true},
        {"a table missing",
         damaged([](const fs::path& f) { renameInFile(f, "Payments", "Paymentz"); }), true},
        {"a column missing",
         damaged([](const fs::path& f) { renameInFile(f, "Structure_Name", "Structure_Namz"); }),
         true},
        {"Company_Information",
         [](HostFolder& h) {
             auto c = acme();
             c.cobraAdminFee = std::numeric_limits<float>::quiet_NaN();
             h.company(c);
             h.plans(std::vector<InsurancePlanRecord>{});
         },
         false},
        {"Insurance_Companies",
         [](HostFolder& h) {
             h.company(acme());
             auto p = makePlan<LegacyInsurancePlanRecord>(3, 1, 0);
             p.rates[0] = 1e30f; // beyond the currency range
             h.plans(std::vector<LegacyInsurancePlanRecord>{p});
         },
         false},
        {"Rates",
         [](HostFolder& h) {
             h.company(acme());
             auto p = makePlan<LegacyInsurancePlanRecord>(3, 4, 0);
             p.namedRates[2].rate = std::numeric_limits<float>::infinity();
             h.plans(std::vector<LegacyInsurancePlanRecord>{p});
         },
         false},
        {"INSPLAN.DAT", [](HostFolder& h) { h.company(acme()); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HostFolder host;
        c.setUp(host);
        std::string path = host.folders.appDir + "Broken.mdb";
        EXPECT_FALSE(host.make(path));
        EXPECT_FALSE(host.database);
        EXPECT_FALSE(fs::exists(host.dir / "Broken.mdb"));
        auto messages = host.ui.messages();
        ASSERT_EQ(messages.size(), 1u);
        if (!c.shape) {
            EXPECT_EQ(messages[0].icon, platform::Icon::Critical);
            EXPECT_NE(messages[0].text.find(c.what), std::string::npos) << messages[0].text;
            continue;
        }
        EXPECT_EQ(messages[0].title, "Invalid Database Structure");
        EXPECT_EQ(messages[0].icon, platform::Icon::Exclamation);
        EXPECT_EQ(messages[0].text,
                  "The database selected is not a valid database for this program.  The file "
                  "needs to have the same structure as the BRANDMDB.MDB file found in the root "
                  "directory.  The system cannot import information in any other database "
                  "structures.  The Import Procedure is terminated.");
        EXPECT_FALSE(OpenImportDatabase(host.folders.appDir, host.ui, path));
        EXPECT_EQ(path, "INVALID");
    }
}

TEST(ImportDatabase, FilesWithoutAWholeRecordWriteNoPlanAndTheCompanyReadBefore) {
    HostFolder host(HostFolder::Template::SampleEmpty);
    host.company(acme());
    for (std::size_t length : {std::size_t{0}, std::size_t{24071}, std::size_t{21990 * 2 + 1}}) {
        testsupport::writeFile(host.dir / "ACME" / "INSPLAN.DAT", std::string(length, ' '));
        const std::string name = "Plans" + std::to_string(length) + ".mdb";
        ASSERT_TRUE(host.make(host.folders.appDir + name)) << length;
        host.database->Close();
        EXPECT_EQ(engineRows(host.dir / name, "Insurance_Companies").size(), 0u) << length;
        auto company = engineRows(host.dir / name, "Company_Information");
        ASSERT_EQ(company.size(), 1u) << length;
        EXPECT_EQ(company[0]["Company_Name"], "Acme Manufacturing") << length;
        // From now on the company file holds less than a record.
        testsupport::writeFile(host.dir / "ACME" / "Company.dat", std::string(555, 'Z'));
    }
}

} // namespace
