// Headings of real payroll and HR exports matched to the labels of each file type, the list the
// editor gets from the choices, and reading the headings from TAB files and workbooks.
#include "formats/HeaderMatch.h"

#include "formats/FieldCatalogue.h"
#include "formats/FormatStore.h"
#include "mapping/MemoryRows.h"
#include "mapping/WriteImportField.h"
#include "platform/ScriptedInteraction.h"
#include "spreadsheet/Workbook.h"
#include "support/ImportInput.h"
#include "support/TempDir.h"
#include "wizard/HeaderLine.h"
#include "wizard/TabVerifier.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using formats::MatchConfidence;
using testing::ElementsAreArray;
using testing::HasSubstr;

namespace {

std::vector<std::string> labelsOf(const std::vector<formats::ColumnMatch>& matches) {
    std::vector<std::string> out;
    for (const auto& m : matches)
        out.push_back(m.label);
    return out;
}

std::vector<formats::ColumnMatch> match(std::string_view line, int type) {
    return formats::matchHeadings(formats::splitHeaderLine(line), type);
}

constexpr const char* kCity = "City (or City, State Zip)";
constexpr const char* kSsn = "Social Security Number";

TEST(HeaderMatch, ExportsOfPayrollAndHrSystemsArrangeEveryFieldTheyHave) {
    struct Case {
        const char* system;
        int type;
        const char* line;
        std::vector<int> fields; // positions in the type's default list from 1; 0 for none
    };
    const std::vector<Case> cases = {
        {"ADP-style new hires",
         1,
         "Payroll Company Code\tFile Number\tLast Name\tFirst Name\tMiddle Name\tAddress Line 1\t"
         "Address Line 2\tCity\tState/Territory Code\tZip/Postal Code\tGender\tTax ID (SSN)\t"
         "Birth Date\tHire Date\tBenefits Eligibility Date\tHome Department Description\r\n",
         {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 0}},
        {"Paychex-style new hires",
         1,
         "Employee ID\tLast\tFirst\tMI\tAddress 1\tAddress 2\tCity\tST\tZip\tSex\tSS#\tDOB\tDOH\t"
         "Benefit Start Date\tCOBRA Notice Date\tPay Rate\r\n",
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 0}},
        {"Workday-style terminations",
         2,
         "Employee_ID\tLegal_Last_Name\tLegal_First_Name\tLegal_Middle_Name\tAddress_Line_1\t"
         "Municipality\tState_Province\tPostal_Code\tGender\tNational_ID\tDate_of_Birth\t"
         "Original_Hire_Date\tCoverage_Begin_Date\tTermination_Date\tPrimary_Termination_Reason\t"
         "Worker_Type",
         {0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0}},
        {"a database export in camel case",
         3,
         "EmpID\tLastName\tFirstName\tAddr1\tAddr2\tCity\tState\tZipCode\tGender\tSSN\tBirthDate\t"
         "HireDate\tBenefitStartDt\tQEDate\tQEReason\tPaidThruDate\tMedicalPlan\tMedicalCoverage\t"
         "DentalPlan\tDentalCoverage\tMonthlyFSA",
         {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 38, 39, 40, 41, 48}},
        {"a retiree list kept by hand, with dependants",
         4,
         "SSN\tLast Name\tFirst Name\tStreet Address\tApt/Suite\tCity\tState\tZip\tSex\t"
         "Date of Birth\tDate of Hire\tBenefit Eff Date\tRetirement Date\tPremiums Paid Thru\t"
         "Spouse Name\tSpouse SSN\tSpouse DOB\tChild 1 Name\tChild 1 SSN\tChild 1 DOB\t"
         "Child 2 Name\tChild2 Soc Sec #\tChild 2 Birth Date\tFSA Monthly Contribution",
         {10, 1, 2, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 47}},
        {"the catalogue's own labels, in another order",
         2,
         "Qualifying Event Reason\tDate Benefits Will be Terminated\tLast Name\tFirst Name\t"
         "Gender (M/F)\tSocial Security Number\tDate of Birth\tEmployee's Hire Date\t"
         "Employee Benefits Start Date\tMailing Address\tCity (or City, State Zip)",
         {15, 14, 1, 2, 9, 10, 11, 12, 13, 4, 6}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.system);
        const auto catalogue = formats::defaultFieldList(c.type);
        std::vector<std::string> expected;
        for (int k : c.fields)
            expected.push_back(k == 0 ? "" : catalogue.at(static_cast<std::size_t>(k - 1)));
        const auto matches = match(c.line, c.type);
        EXPECT_THAT(labelsOf(matches), ElementsAreArray(expected));
        for (const auto& m : matches)
            EXPECT_EQ(m.note.empty(), !m.label.empty()) << m.heading << ": " << m.note;
        // What the user arranges by hand today, done: every mandatory label has its column.
        EXPECT_THAT(formats::missingMandatory(labelsOf(matches), c.type), testing::IsEmpty());
    }
    EXPECT_THAT(formats::missingMandatory({"Last Name", "", "  State", "Gender (M/F)"}, 4),
                ElementsAreArray({"First Name", "Mailing Address", kCity, kSsn, "Date of Birth",
                                  "Employee's Hire Date", "Employee Benefits Start Date",
                                  "Date Employee became a Retiree", "Premium Paid Through Date"}));
}

TEST(HeaderMatch, SpellingsOfOneFieldAndHowSureEachIs) {
    struct Case {
        int type;
        const char* heading;
        const char* label; // "" for none
        MatchConfidence confidence;
    };
    using enum MatchConfidence;
    const std::vector<Case> cases = {
        // Case, blanks, punctuation and "number", "no", "#" do not count.
        {1, "Social Security Number", kSsn, Exact},
        {1, "Soc Sec #", kSsn, Exact},
        {1, "soc_sec_no", kSsn, Exact},
        {1, "SSN", kSsn, Known},
        {1, "Employee SSN", kSsn, Known},
        {1, "Gender (M/F)", "Gender (M/F)", Exact},
        {1, "Sex", "Gender (M/F)", Known},
        {1, "Employees Hire Date", "Employee's Hire Date", Exact},
        {1, "DOH", "Employee's Hire Date", Known},
        {1, "DOB", "Date of Birth", Known},
        {1, "Zip", "  Zip Code", Known},
        {1, "Postal Code", "  Zip Code", Known},
        {1, "Address 2", "  Address Overflow", Known},
        {1, "City, State Zip", kCity, Known},
        {1, "Spouse SSN", "  Spouse's Social Sec. Number (###-##-####)", Known},
        {1, "Spouses Soc. Sec. No.", "  Spouse's Social Sec. Number (###-##-####)", Exact},
        {1, "Child 1 DOB", "  Child #1 Date of Birth", Known},
        {1, "Child6SSN", "  Child #6 Social (###-##-####)", Known},
        {1, "Other Plan 2 Tier", "  Other Plan #2 Coverage Type (Single, Family)", Known},
        {2, "Term Date", "Date Benefits Will be Terminated", Known},
        {3, "QE Date", "COBRA Qualifying Event Date", Known},
        {4, "Retirement Date", "Date Employee became a Retiree", Known},
        // The heading's words all in one label's, and in no other's as much.
        {1, "Notice Provided", "  Date COBRA General Notice Provided", Guess},
        {4, "Retiree Date", "Date Employee became a Retiree", Guess},
        {1, "Spouse Birth", "  Spouse's Date of Birth", Guess},
        // Nothing to go by, or a field the type has not.
        {1, "Department", "", None},
        {1, "Coverage Level", "", None},
        {1, "Termination Date", "", None},
        {1, "Monthly FSA", "", None},
        {2, "Monthly FSA", "  Monthly Contribution towards Medical FSA", Known},
        {4, "Qualifying Event Reason", "", None},
        {1, "   ", "", None},
    };
    for (const auto& c : cases) {
        const auto m = formats::matchHeadings({c.heading}, c.type).front();
        EXPECT_EQ(m.label, c.label) << c.heading << " (type " << c.type << ")";
        EXPECT_EQ(m.confidence, c.confidence) << c.heading << " (type " << c.type << ")";
    }
    EXPECT_EQ(formats::matchHeadings({""}, 1)[0].note, "no heading");
    EXPECT_EQ(formats::matchHeadings({"Pay Rate"}, 1)[0].note, "no field has this name");
    EXPECT_THAT(formats::matchHeadings({"Coverage Level"}, 1)[0].note,
                HasSubstr("could be \"Medical Ins. Coverage Type (Single, Family)\" or"));
}

TEST(HeaderMatch, TwoColumnsOfOneFieldLeaveTheWeakerOneWithoutAField) {
    struct Case {
        const char* line;
        std::vector<std::string> labels;
        std::size_t loser;
        const char* note;
    };
    const std::vector<Case> cases = {
        // Equally sure: the leftmost keeps it.
        {"Address\tAddress 1\tCity",
         {"Mailing Address", "", kCity},
         1,
         "also matches \"Mailing Address\", given to column 1 \"Address\""},
        // The surer match keeps it, wherever it stands.
        {"SSN\tLast\tSocial Security Number",
         {"", "Last Name", kSsn},
         0,
         "also matches \"Social Security Number\", given to column 3 \"Social Security Number\""},
        {"Notice Provided\tNotice Date",
         {"", "  Date COBRA General Notice Provided"},
         0,
         "also matches \"Date COBRA General Notice Provided\", given to column 2 \"Notice Date\""},
    };
    for (const auto& c : cases) {
        const auto matches = match(c.line, 1);
        EXPECT_THAT(labelsOf(matches), ElementsAreArray(c.labels)) << c.line;
        EXPECT_EQ(matches[c.loser].confidence, MatchConfidence::None) << c.line;
        EXPECT_THAT(matches[c.loser].note, HasSubstr(c.note)) << c.line;
    }
}

TEST(HeaderMatch, TheLineIsSplitAtTabsWithoutItsEndOrTheEmptyColumnsAfterTheLast) {
    using V = std::vector<std::string>;
    EXPECT_EQ(formats::splitHeaderLine("SSN\tLast\r\n"), (V{"SSN", "Last"}));
    EXPECT_EQ(formats::splitHeaderLine("SSN\t\tLast\t \t\t\n"), (V{"SSN", "", "Last"}));
    EXPECT_EQ(formats::splitHeaderLine("Last Name,First Name"), (V{"Last Name,First Name"}));
    EXPECT_EQ(formats::splitHeaderLine("\t\t\r\n"), V{});
}

// A column not imported keeps the positions of the others, passes verification and is skipped by
// the import; the list stays within what a saved format holds.
TEST(HeaderMatch, AColumnNotImportedKeepsThePlacesOfTheOthers) {
    const std::vector<std::string> chosen = {"Last Name", "", "First Name", "",
                                             "Social Security Number"};
    const auto list = formats::arrangedList(chosen);
    ASSERT_EQ(list.size(), chosen.size());
    EXPECT_EQ(list[1], formats::kNotImportedLabel);
    EXPECT_EQ(list[3], formats::kNotImportedLabel);
    EXPECT_TRUE(formats::isOptionalLabel(formats::kNotImportedLabel)) << "never mandatory";
    EXPECT_EQ(mapping::findMapping(formats::kNotImportedLabel), nullptr);
    EXPECT_LE(std::string_view(formats::kNotImportedLabel).size(),
              formats::FormatRecord::kFieldWidth);

    const std::string tab = "Last\tStart Date\tFirst\tDept\tSSN\r\n"
                            "Smith\tsoon\tAnn\tSales\t123456789\r\n"
                            "Jones\t\tBo\tPlant\t987654321\r\n";
    const auto scan = wizard::scanTabBuffer(tab, list);
    EXPECT_EQ(wizard::decide(scan, list.size()), wizard::Verdict::Verified)
        << "a skipped column holding no date is no date field";

    testsupport::TempDir dir;
    testsupport::writeFile(dir / "import.txt", tab);
    testsupport::MemoryImport db;
    platform::ScriptedInteraction ui;
    const auto in = testsupport::importInput(dir, list, 1, false);
    const auto result = wizard::RunImport(in, db.rows, ui);
    EXPECT_EQ(result.recordsRejected, 0);
    ASSERT_EQ(db.person.rows.size(), 2u);
    EXPECT_EQ(db.person.rows[0]["Last_Name"], "Smith");
    EXPECT_EQ(db.person.rows[0]["First_Name"], "Ann");
    EXPECT_EQ(db.person.rows[1]["Social"], "987-65-4321");
    for (const auto& row : db.person.rows)
        for (const auto& [column, value] : row)
            EXPECT_TRUE(value != "Sales" && value != "Plant" && value != "soon") << column;
}

TEST(HeaderLine, TheFirstLineIsReadInWhateverCharacterSetTheFileHas) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    // "Née" in Windows-1252 is N, E9, e.
    const std::string expected = "N\xE9\x65\tSSN";
    const std::vector<Case> cases = {
        {"Windows-1252", "N\xE9\x65\tSSN\r\nx\ty\r\n"},
        {"UTF-8", "N\xC3\xA9\x65\tSSN\nx\n"},
        {"UTF-8 with its mark", "\xEF\xBB\xBFN\xC3\xA9\x65\tSSN\r\n"},
        {"UTF-16 little-endian", std::string("\xFF\xFEN\0\xE9\0e\0\t\0S\0S\0N\0\r\0\n\0x\0", 22)},
        {"UTF-16 big-endian", std::string("\xFE\xFF\0N\0\xE9\0e\0\t\0S\0S\0N\0\n", 18)},
        {"no line end", "N\xE9\x65\tSSN"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wizard::firstLineText(c.bytes), expected) << c.name;
}

TEST(HeaderLine, HeadingsComeFromTabFilesWorkbooksAndCsvFilesOrAMessageSaysWhyNot) {
    testsupport::TempDir dir;
    platform::ScriptedInteraction ui;
    auto headings = [&](const std::string& name, const std::string& bytes) {
        testsupport::writeFile(dir / name, bytes);
        return wizard::fileHeadings((dir / name).string(), ui);
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(headings("staff.txt", "SSN\tLast Name\t\t\r\n1\t2\t\t\r\n"), (V{"SSN", "Last Name"}));
    EXPECT_EQ(headings("staff.csv", "\"SSN\",\"Last, Name\"\r\n1,2\r\n"), (V{"SSN", "Last, Name"}));
    EXPECT_TRUE(ui.messages().empty());

    std::string wide;
    for (int i = 0; i < 51; ++i)
        wide += "Column " + std::to_string(i) + "\t";
    EXPECT_FALSE(headings("wide.txt", wide + "\r\n"));
    EXPECT_FALSE(headings("empty.txt", "\r\nSmith\tAnn\r\n"));
    EXPECT_FALSE(wizard::fileHeadings((dir / "gone.txt").string(), ui));
    ASSERT_EQ(ui.messages().size(), 3u);
    EXPECT_EQ(ui.messages()[0].title, "Too Many Columns");
    EXPECT_THAT(ui.messages()[0].text,
                HasSubstr("names 51 columns, but a format holds at most 50"));
    EXPECT_EQ(ui.messages()[1].title, "No Column Headings");
    EXPECT_EQ(ui.messages()[2].title, "File Not Read");
}

// Reading the first row alone gives what the whole copy's first line holds.
TEST(HeaderLine, AWorkbooksFirstRowIsTheFirstLineOfItsTabCopy) {
    const fs::path data = TARNFIELD_SHEETS_DATA;
    testsupport::TempDir dir;
    for (const auto* book : {"employees.xlsx", "employees.ods", "clients.xlsx", "clients.ods",
                             "builtin.xlsx", "clients-utf8.csv"}) {
        const auto copy = spreadsheet::writeTabCopy(data / book, "", dir / "copy.txt");
        ASSERT_TRUE(copy.ok) << copy.error;
        const std::string text = testsupport::readFile(dir / "copy.txt");
        const auto row = spreadsheet::readFirstRow(data / book, "");
        ASSERT_TRUE(row.ok) << row.error;
        std::string line;
        for (std::size_t i = 0; i < row.fields.size(); ++i)
            line += (i ? "\t" : "") + row.fields[i];
        EXPECT_EQ(formats::splitHeaderLine(line),
                  formats::splitHeaderLine(text.substr(0, text.find('\n'))))
            << book;
    }
    const auto damaged = spreadsheet::readFirstRow(data / "encrypted.xlsx", "");
    EXPECT_FALSE(damaged.ok);
    EXPECT_THAT(damaged.error, HasSubstr("password"));
}

} // namespace
