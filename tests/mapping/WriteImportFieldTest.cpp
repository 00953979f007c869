#include "mapping/WriteImportField.h"

#include "formats/FieldCatalogue.h"
#include "mapping/MemoryRows.h"

#include <gtest/gtest.h>

using mapping::RecordState;
using testsupport::MemoryImport;

namespace {

// Writes one record the way the import run does: person row, every field, commit.
struct Record {
    RecordState state;
    MemoryImport db;
    std::vector<std::string> values;

    explicit Record(int modeCode) { state.ModeCode = modeCode; }

    void write(const std::vector<std::string>& labels, std::vector<std::string> fields) {
        values.assign(1, std::string());
        values.insert(values.end(), fields.begin(), fields.end());
        state.PlanRowAdded = state.DependantRowAdded = false;
        ++state.EmployeeId;
        db.person.addNew();
        db.person.setNumber("Employee_ID", state.EmployeeId);
        for (std::size_t k = 1; k <= labels.size(); ++k) {
            std::string name = labels[k - 1];
            mapping::WriteImportField(state, name, values, k, db.rows);
        }
        mapping::CommitRecord(state, db.rows);
    }
};

TEST(WriteImportField, DatesGoToTheColumnsOfTheFileType) {
    const std::vector<std::string> labels{"Date of Birth", "Employee Benefits Start Date",
                                          "Employee's Hire Date"};
    struct Case {
        int mode;
        const char* birth;
        const char* start;
    };
    for (auto [mode, birth, start] : {Case{1, "EmployeeDOB", "Benefit_Start_Date"},
                                      Case{2, "Date_of_Birth", "Benefits_Start_Date"},
                                      Case{3, "Date_of_Birth", "Benefits_Start_Date"},
                                      Case{4, "Date_of_Birth", "Benefits_Start_Date"}}) {
        Record r(mode);
        r.write(labels, {"1/5/1970", "2/29/2004", "13/1/2000"});
        ASSERT_EQ(r.db.person.rows.size(), 1u);
        auto& row = r.db.person.rows[0];
        EXPECT_EQ(row[birth], "01/05/1970") << mode;
        EXPECT_EQ(row[start], "02/29/2004") << mode;
        EXPECT_EQ(row["Hire_Date"], "") << "an invalid date is stored empty";
        EXPECT_EQ(row.size(), 4u) << "Employee_ID and the three dates only";
    }
}

TEST(WriteImportField, ThreeLabelsFillTheQualifyingEventDate) {
    struct Case {
        int mode;
        const char* label;
        const char* stored;
    };
    for (auto [mode, label, stored] : {Case{2, "Date Benefits Will be Terminated", "01/01/2008"},
                                       Case{3, "COBRA Qualifying Event Date", "01/01/2008"},
                                       Case{4, "Date Employee became a Retiree", "12/31/2007"}}) {
        Record r(mode);
        r.write({label}, {"1/1/2008"});
        EXPECT_EQ(r.db.person.rows.at(0)["Qualifying_Event_Date"], stored) << label;
        EXPECT_EQ(r.values[1], stored) << "written back";
    }
}

TEST(WriteImportField, PlanAndDependantRowsComeWithTheRecordsKeys) {
    Record r(2);
    const std::string longName(30, 'L');
    r.write({"Last Name", "First Name", "Social Security Number", "  Dental Insurance Plan Name",
             "  Monthly Contribution towards Medical FSA", "  Medical Insurance Plan Name",
             "  Spouse's Name (Full Name)"},
            {longName, "\"Ann\"", "abcdefghi", "", "abc", "Blue", "\"\"Sam\"\""});
    ASSERT_EQ(r.db.plan.rows.size(), 1u) << "one plan row holds every plan field";
    ASSERT_EQ(r.db.dependant.rows.size(), 1u);
    auto& person = r.db.person.rows[0];
    EXPECT_EQ(person["Last_Name"], std::string(25, 'L'));
    EXPECT_EQ(person["First_Name"], "Ann");
    EXPECT_EQ(person["Social"], "abc-de-fghi");
    for (auto* row : {&r.db.plan.rows[0], &r.db.dependant.rows[0]}) {
        EXPECT_EQ((*row)["Employee_ID"], "1");
        EXPECT_EQ((*row)["Last_Name"], std::string(25, 'L'));
        EXPECT_EQ((*row)["First_Name"], "Ann");
        EXPECT_EQ((*row)["SOCIAL"], "abc-de-fghi");
    }
    auto& plan = r.db.plan.rows[0];
    EXPECT_EQ(plan["Dental_Plan_Name"], "") << "an empty plan field still makes the row";
    EXPECT_EQ(plan["Medical_FSA_Premium"], "0.00");
    EXPECT_EQ(r.values[5], "0") << "a non-number becomes 0";
    EXPECT_EQ(plan["Medical_Plan_Name"], "Blue");
    EXPECT_EQ(r.db.dependant.rows[0]["Spouse_Name"], "\"Sam\"")
        << "the spouse's name loses one layer of quotes only";
}

TEST(WriteImportField, ADependantFieldBeforeTheNamesStillGetsTheRecordsKeys) {
    Record r(1);
    const std::vector<std::string> labels{"  Child #1 Name", "  Other Insurance Plan Name #1",
                                          "Last Name", "First Name", "Social Security Number"};
    r.write(labels, {"Kid", "Plan", "Smith", "Jo", "123456789"});
    r.write(labels, {"Kid2", "", "Jones", "Al", "98765432"});
    ASSERT_EQ(r.db.dependant.rows.size(), 2u);
    ASSERT_EQ(r.db.plan.rows.size(), 2u);
    EXPECT_EQ(r.db.dependant.rows[0]["Last_Name"], "Smith");
    EXPECT_EQ(r.db.dependant.rows[0]["SOCIAL"], "123-45-6789");
    EXPECT_EQ(r.db.plan.rows[1]["Employee_ID"], "2");
    EXPECT_EQ(r.db.plan.rows[1]["Last_Name"], "Jones");
    EXPECT_EQ(r.db.plan.rows[1]["First_Name"], "Al");
    EXPECT_EQ(r.db.plan.rows[1]["SOCIAL"], "98765432");
    EXPECT_EQ(r.db.person.rows[1].count("Spouse_Name"), 0u);
}

TEST(WriteImportField, FieldNameBecomesTheColumnAndUnknownLabelsOnlyLoseTheirQuotes) {
    Record r(1);
    r.db.person.addNew();
    std::vector<std::string> values{"", "\"DE\"", "\"K\"", "\"x\""};
    std::string state = "  State", middle = "  Middle Initial", other = "Nickname";
    mapping::WriteImportField(r.state, state, values, 1, r.db.rows);
    mapping::WriteImportField(r.state, middle, values, 2, r.db.rows);
    mapping::WriteImportField(r.state, other, values, 3, r.db.rows);
    EXPECT_EQ(state, "  State");
    EXPECT_EQ(values[1], "DE");
    EXPECT_EQ(middle, "Middle_Initial");
    EXPECT_EQ(other, "Nickname");
    EXPECT_EQ(values[3], "x");
    EXPECT_EQ(r.db.person.pending.size(), 1u);
    EXPECT_FALSE(r.state.PlanRowAdded || r.state.DependantRowAdded);
}

TEST(WriteImportField, CityJoinReadsStateAndZipAsTheyStand) {
    const std::vector<std::string> labels{"  State", "City (or City, State Zip)", "  Zip Code"};
    Record r(1);
    r.state.CityHoldsStateZip = 0;
    r.state.StateIndex = 1;
    r.state.ZipIndex = 3;
    r.write(labels, {"\"NY\"", " \"New York\" ", "\"10001\""});
    EXPECT_EQ(r.db.person.rows[0]["City_State_ZIP"], "\"New York\", NY  \"10001\"")
        << "the state was unquoted before, the zip is read raw; quotes after a blank stay";

    Record whole(1);
    whole.write({"City (or City, State Zip)"}, {"\"\"Dover, DE 19901\"\""});
    EXPECT_EQ(whole.db.person.rows[0]["City_State_ZIP"], "Dover, DE 19901");

    Record noZip(1);
    noZip.state.CityHoldsStateZip = 0;
    noZip.state.StateIndex = 2;
    noZip.write({"City (or City, State Zip)", "  State"}, {"Dover", "DE"});
    EXPECT_EQ(noZip.db.person.rows[0]["City_State_ZIP"], "Dover, DE")
        << "the separators are there; cutting trims the two blanks at the end";
}

TEST(WriteImportField, GenderAndSocialAreWrittenBack) {
    Record r(2);
    r.write(
        {"Gender (M/F)", "Social Security Number", "  Spouse's Social Sec. Number (###-##-####)"},
        {"\"female\"", " 12345678 ", "123456789"});
    EXPECT_EQ(r.values[1], "F");
    EXPECT_EQ(r.db.person.rows[0]["Gender"], "F");
    EXPECT_EQ(r.values[2], " 12345678 ") << "not nine characters: left as it is";
    EXPECT_EQ(r.db.person.rows[0]["Social"], "12345678");
    EXPECT_EQ(r.state.SocialNumber, "12345678");
    EXPECT_EQ(r.db.dependant.rows[0]["Spouse_Social"], "123456789") << "no dashes for the spouse";
}

TEST(WriteImportField, ARefusedRowDropsTheRecordsUnstoredRows) {
    Record r(1);
    r.db.plan.failUpdateAt = 1;
    EXPECT_THROW(r.write({"Last Name", "  Dental Insurance Plan Name", "  Child #1 Name"},
                         {"Smith", "Dent", "Kid"}),
                 std::runtime_error);
    EXPECT_TRUE(r.db.person.rows.empty()) << "the stored person row is taken back";
    EXPECT_TRUE(r.db.plan.rows.empty());
    EXPECT_TRUE(r.db.dependant.rows.empty());
    EXPECT_FALSE(r.db.plan.adding || r.db.dependant.adding || r.db.person.adding);
}

TEST(WriteImportField, EveryCatalogueLabelButStateAndZipIsMapped) {
    for (int mode = 1; mode <= 4; ++mode)
        for (const auto& label : formats::defaultFieldList(mode)) {
            bool cityParts = label == "  State" || label == "  Zip Code";
            EXPECT_EQ(mapping::findMapping(label) == nullptr, cityParts) << label;
        }
}

} // namespace
