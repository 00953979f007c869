#include "mapping/WriteImportField.h"

#include "formats/FieldCatalogue.h"
#include "mapping/MemoryRows.h"
#include "mapping/StoringThread.h"
#include "mapping/ValueRules.h"

#include <cstdint>
#include <gtest/gtest.h>

using namespace mapping;
using testsupport::columns;
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

TEST(WriteImportField, DatesGoToTheColumnsOfTheFileTypeAndThreeLabelsGiveTheEventDate) {
    struct Case {
        int mode;
        const char *birth, *start, *eventLabel, *event;
    };
    for (auto [mode, birth, start, eventLabel, event] :
         {Case{1, "EmployeeDOB", "Benefit_Start_Date", nullptr, nullptr},
          Case{2, "Date_of_Birth", "Benefits_Start_Date", "Date Benefits Will be Terminated",
               "01/01/2008"},
          Case{3, "Date_of_Birth", "Benefits_Start_Date", "COBRA Qualifying Event Date",
               "01/01/2008"},
          Case{4, "Date_of_Birth", "Benefits_Start_Date", "Date Employee became a Retiree",
               "12/31/2007"}}) {
        std::vector<std::string> labels{"Date of Birth", "Employee Benefits Start Date",
                                        "Employee's Hire Date"};
        std::vector<std::string> fields{"1/5/1970", "2/29/2004", "13/1/2000"};
        if (eventLabel) {
            labels.emplace_back(eventLabel);
            fields.emplace_back("1/1/2008");
        }
        Record r(mode);
        r.write(labels, fields);
        ASSERT_EQ(r.db.person.rows.size(), 1u);
        auto& row = r.db.person.rows[0];
        EXPECT_EQ(row[birth], "01/05/1970") << mode;
        EXPECT_EQ(row[start], "02/29/2004") << mode;
        EXPECT_EQ(row["Hire_Date"], "") << "an invalid date is stored empty";
        EXPECT_EQ(row.size(), labels.size() + 1) << "Employee_ID and the dates only";
        if (eventLabel) {
            EXPECT_EQ(row["Qualifying_Event_Date"], event) << eventLabel;
            EXPECT_EQ(r.values[4], event) << "written back";
        }
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
    const std::string name = std::string(25, 'L') + "|Ann|abc-de-fghi";
    EXPECT_EQ(columns(r.db.person.rows[0], {"Last_Name", "First_Name", "Social"}), name);
    for (const auto* row : {&r.db.plan.rows[0], &r.db.dependant.rows[0]})
        EXPECT_EQ(columns(*row, {"Employee_ID", "Last_Name", "First_Name", "SOCIAL"}), "1|" + name);
    // An empty plan field still makes the row; a non-number becomes 0.
    EXPECT_EQ(columns(r.db.plan.rows[0],
                      {"Dental_Plan_Name", "Medical_FSA_Premium", "Medical_Plan_Name"}),
              "|0.00|Blue");
    EXPECT_EQ(r.values[5], "0") << "written back";
    EXPECT_EQ(r.db.dependant.rows[0]["Spouse_Name"], "\"Sam\"")
        << "the spouse's name loses one layer of quotes only";
}

TEST(WriteImportField, RowsGetTrimmedTextsWhileTheRecordKeepsItsValuesWhole) {
    Record r(2);
    r.write({"Last Name", "  Child #1 Name", "Date of Birth", "  Spouse's Date of Birth"},
            {"\" Smith \"", "  Kid  ", "1970-01-05", " 1/5/70 "});
    EXPECT_EQ(columns(r.db.person.rows[0], {"Last_Name", "Date_of_Birth"}), "Smith|01/05/1970");
    EXPECT_EQ(columns(r.db.dependant.rows[0], {"Last_Name", "Child_1_Name", "Spouse_Birth_Date"}),
              "Smith|Kid|01/05/1970");
    EXPECT_EQ(r.values[1], " Smith ") << "unquoted, not trimmed";
    EXPECT_EQ(r.values[2], "  Kid  ");
    EXPECT_EQ(r.values[4], "01/05/1970") << "dates are written back";
}

TEST(WriteImportField, ADependantFieldBeforeTheNamesStillGetsTheRecordsKeys) {
    Record r(1);
    const std::vector<std::string> labels{"  Child #1 Name", "  Other Insurance Plan Name #1",
                                          "Last Name", "First Name", "Social Security Number"};
    r.write(labels, {"Kid", "Plan", "Smith", "Jo", "123456789"});
    r.write(labels, {"Kid2", "", "Jones", "Al", "98765432"});
    ASSERT_EQ(r.db.dependant.rows.size(), 2u);
    ASSERT_EQ(r.db.plan.rows.size(), 2u);
    EXPECT_EQ(columns(r.db.dependant.rows[0], {"Last_Name", "SOCIAL"}), "Smith|123-45-6789");
    EXPECT_EQ(columns(r.db.plan.rows[1], {"Employee_ID", "Last_Name", "First_Name", "SOCIAL"}),
              "2|Jones|Al|98765432");
    EXPECT_EQ(r.db.person.rows[1].count("Spouse_Name"), 0u);
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

TEST(ValueRules, QuotesTextsGenderAndSocialNumber) {
    struct Case {
        const char* in;
        const char* out;
    };
    // One layer of quotes at a time; a lone quote, or one after a blank, stays.
    for (auto [in, out] : {Case{"\"Smith\"", "Smith"}, Case{"\"\"", ""}, Case{"\"", "\""},
                           Case{" \"Smith\"", " \"Smith\""}, Case{"\" Smith \"", " Smith "},
                           Case{"\"\"Jo\"\"", "\"Jo\""}})
        EXPECT_EQ(quoteRule(in), out) << in;
    for (auto [in, out] : {Case{"male", "M"}, Case{"Female", "F"}, Case{"U", "N"}, Case{"", "N"},
                           Case{" M", "N"}, Case{"f", "F"}})
        EXPECT_EQ(genderCode(in), out) << in;
    for (auto [in, out] : {Case{"abcdefghi", "abc-de-fghi"}, Case{" 123456789 ", "123-45-6789"},
                           Case{"12345678", "12345678"}, Case{"1234567890", "1234567890"},
                           Case{"123-45-6789", "123-45-6789"}})
        EXPECT_EQ(socialNumber(in), out) << in;
    EXPECT_EQ(cutTo("  Smith  ", 25), "Smith");
    EXPECT_EQ(cutTo(std::string(30, 'x'), 25), std::string(25, 'x'));
    EXPECT_EQ(cityJoin("Dover", "DE", ""), "Dover, DE  ");
    EXPECT_EQ(cutTo(cityJoin(std::string(30, 'c'), " NY ", "10001-1234"), 50).size(), 46u);
    EXPECT_EQ(cutTo(cityJoin(std::string(45, 'c'), "NY", "10001"), 50).size(), 50u);
}

TEST(ValueRules, DatesAndRetirementDates) {
    struct Case {
        const char* in;
        const char* date;
        const char* dayBefore;
    };
    for (auto [in, date, dayBefore] :
         {Case{"1/5/01", "01/05/2001", "01/04/2001"}, Case{"12/31/29", "12/31/2029", "12/30/2029"},
          Case{"1/1/30", "01/01/1930", "12/31/1929"},
          Case{" 12/31/99 ", "12/31/1999", "12/30/1999"},
          Case{"01/01/2008", "01/01/2008", "12/31/2007"},
          Case{"3/1/2000", "03/01/2000", "02/29/2000"},
          Case{" 01/05/2001 ", "01/05/2001", "01/04/2001"}, Case{"01/05/20011", "", ""},
          Case{"January 5, 2001", "", ""}, // over ten characters
          Case{"", "", ""}, Case{"2/30/2005", "", ""}, Case{"soon", "", ""}, Case{"@", "", ""},
          Case{"#####", "", ""}}) {
        EXPECT_EQ(dateRule(in), date) << in;
        EXPECT_EQ(retirementDate(in), dayBefore) << in;
    }
}

TEST(ValueRules, AmountsFormatAsHashZeroPointZeroZero) {
    struct Case {
        const char* in;
        const char* out; // nullptr: no number
    };
    for (auto [in, out] :
         {Case{"12.5", "12.50"}, Case{" 12.5 ", "12.50"}, Case{"-12.345", "-12.35"},
          Case{"1234", "1234.00"}, Case{" -3 ", "-3.00"}, Case{"+0.125", "0.13"},
          Case{"0.005", "0.01"}, Case{"2.675", "2.68"}, Case{"99.995", "100.00"},
          Case{".5", "0.50"}, Case{"7.", "7.00"}, Case{"-0.001", "0.00"},
          Case{"000123.4", "123.40"}, Case{"abc", nullptr}, Case{"", nullptr},
          Case{"1,234", nullptr}, Case{"1e3", nullptr}, Case{".", nullptr}, Case{"- 5", nullptr}}) {
        auto formatted = formatAmount(in);
        if (out) {
            ASSERT_TRUE(formatted) << in;
            EXPECT_EQ(*formatted, out) << in;
            EXPECT_TRUE(isNumber(in)) << in;
        } else {
            EXPECT_FALSE(formatted) << in;
            EXPECT_FALSE(isNumber(in)) << in;
        }
    }
}

// Numbers cross to the storing thread whole, however wide: an ID past 32 bits, or below zero,
// arrives as it was given, and each record's keys with it.
TEST(StoringThread, NumbersOfEveryWidthArriveWhole) {
    MemoryImport db;
    const std::int64_t numbers[] = {0,
                                    1,
                                    -1,
                                    INT32_MAX,
                                    INT32_MIN,
                                    std::int64_t{1} << 32,
                                    (std::int64_t{1} << 40) + 7,
                                    INT64_MIN,
                                    INT64_MAX};
    {
        StoringThread thread(db.rows, 4);
        RecordState state;
        for (const std::int64_t n : numbers) {
            state.EmployeeId = n;
            state.PlanRowAdded = true;
            thread.rows().person.addNew();
            thread.rows().person.setNumber("Employee_ID", n);
            thread.rows().plan.addNew();
            thread.commit(state);
        }
        EXPECT_EQ(thread.finish(), nullptr);
    }
    ASSERT_EQ(db.person.rows.size(), std::size(numbers));
    ASSERT_EQ(db.plan.rows.size(), std::size(numbers));
    for (std::size_t k = 0; k < std::size(numbers); ++k) {
        EXPECT_EQ(db.person.rows[k].at("Employee_ID"), std::to_string(numbers[k]));
        EXPECT_EQ(db.plan.rows[k].at("Employee_ID"), std::to_string(numbers[k]));
    }
}

} // namespace
