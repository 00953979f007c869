#include "mapping/WriteImportField.h"

#include "mapping/ValueRules.h"
#include "platform/Ansi.h"

#include <array>
#include <vector>

namespace mapping {

namespace {

using enum Target;
using enum Rule;

// In the order of comparison; the first equal label decides.
constexpr std::array kMapping{
    MappingEntry{"Last Name", Person, "Last_Name", QuotedText, 25, {}, Kept::LastName},
    MappingEntry{"First Name", Person, "First_Name", QuotedText, 20, {}, Kept::FirstName},
    MappingEntry{"  Middle Initial", Person, "Middle_Initial", QuotedText, 2},
    MappingEntry{"Mailing Address", Person, "Address", QuotedText, 40},
    MappingEntry{"  Address Overflow", Person, "Address_Overflow", QuotedText, 40},
    MappingEntry{"City (or City, State Zip)", Person, "City_State_ZIP", City, 50},
    MappingEntry{"Gender (M/F)", Person, "Gender", Gender, 0},
    MappingEntry{"Social Security Number", Person, "Social", Social, 12},
    MappingEntry{"Date of Birth", Person, "Date_of_Birth", Date, 0, "EmployeeDOB"},
    MappingEntry{"Employee's Hire Date", Person, "Hire_Date", Date, 0},
    MappingEntry{"Employee Benefits Start Date", Person, "Benefits_Start_Date", Date, 0,
                 "Benefit_Start_Date"},
    MappingEntry{"  Date COBRA General Notice Provided", Person, "Initial_Notification_Date", Date,
                 0},
    MappingEntry{"Date Employee became a Retiree", Person, "Qualifying_Event_Date", RetirementDate,
                 0},
    MappingEntry{"COBRA Qualifying Event Date", Person, "Qualifying_Event_Date", Date, 0},
    MappingEntry{"Date Benefits Will be Terminated", Person, "Qualifying_Event_Date", Date, 0},
    MappingEntry{"Qualifying Event Reason", Person, "COBRA_Reason", Text, 30},
    MappingEntry{"Premium Paid Through Date", Person, "Paid_Through_Date", Date, 0},
    MappingEntry{"  Medical Insurance Plan Name", Plan, "Medical_Plan_Name", QuotedText, 50},
    MappingEntry{"  Medical Ins. Coverage Type (Single, Family)", Plan, "Medical_Coverage_Type",
                 QuotedText, 30},
    MappingEntry{"  Dental Insurance Plan Name", Plan, "Dental_Plan_Name", Text, 50},
    MappingEntry{"  Dental Ins. Coverage Type (Single, Family)", Plan, "Dental_Coverage_Type", Text,
                 30},
    MappingEntry{"  Spouse's Name (Full Name)", Dependant, "Spouse_Name", Text, 30},
    MappingEntry{"  Spouse's Social Sec. Number (###-##-####)", Dependant, "Spouse_Social", Text,
                 12},
    MappingEntry{"  Spouse's Date of Birth", Dependant, "Spouse_Birth_Date", Date, 0},
    MappingEntry{"  Child #1 Name", Dependant, "Child_1_Name", Text, 30},
    MappingEntry{"  Child #1 Social (###-##-####)", Dependant, "Child_1_Social", Text, 12},
    MappingEntry{"  Child #1 Date of Birth", Dependant, "Child_1_Birth_Date", Date, 0},
    MappingEntry{"  Child #2 Name", Dependant, "Child_2_Name", Text, 30},
    MappingEntry{"  Child #2 Social (###-##-####)", Dependant, "Child_2_Social", Text, 12},
    MappingEntry{"  Child #2 Date of Birth", Dependant, "Child_2_Birth_Date", Date, 0},
    MappingEntry{"  Child #3 Name", Dependant, "Child_3_Name", Text, 30},
    MappingEntry{"  Child #3 Social (###-##-####)", Dependant, "Child_3_Social", Text, 12},
    MappingEntry{"  Child #3 Date of Birth", Dependant, "Child_3_Birth_Date", Date, 0},
    MappingEntry{"  Child #4 Name", Dependant, "Child_4_Name", Text, 30},
    MappingEntry{"  Child #4 Social (###-##-####)", Dependant, "Child_4_Social", Text, 12},
    MappingEntry{"  Child #4 Date of Birth", Dependant, "Child_4_Birth_Date", Date, 0},
    MappingEntry{"  Child #5 Name", Dependant, "Child_5_Name", Text, 30},
    MappingEntry{"  Child #5 Social (###-##-####)", Dependant, "Child_5_Social", Text, 12},
    MappingEntry{"  Child #5 Date of Birth", Dependant, "Child_5_Birth_Date", Date, 0},
    MappingEntry{"  Child #6 Name", Dependant, "Child_6_Name", Text, 30},
    MappingEntry{"  Child #6 Social (###-##-####)", Dependant, "Child_6_Social", Text, 12},
    MappingEntry{"  Child #6 Date of Birth", Dependant, "Child_6_Birth_Date", Date, 0},
    MappingEntry{"  Other Insurance Plan Name #1", Plan, "Other_1_Plan_Name", Text, 50},
    MappingEntry{"  Other Plan #1 Coverage Type (Single, Family)", Plan, "Other_1_Coverage_Type",
                 Text, 30},
    MappingEntry{"  Other Insurance Plan Name #2", Plan, "Other_2_Plan_Name", Text, 50},
    MappingEntry{"  Other Plan #2 Coverage Type (Single, Family)", Plan, "Other_2_Coverage_Type",
                 Text, 30},
    MappingEntry{"  Other Insurance Plan Name #3", Plan, "Other_3_Plan_Name", Text, 50},
    MappingEntry{"  Other Plan #3 Coverage Type (Single, Family)", Plan, "Other_3_Coverage_Type",
                 Text, 30},
    MappingEntry{"  Monthly Contribution towards Medical FSA", Plan, "Medical_FSA_Premium", Amount,
                 0},
};

// The entry's column in the table the file type fills.
std::string_view columnFor(const MappingEntry& entry, int modeCode) {
    return modeCode == session::mode::kEmployee && !entry.employeeColumn.empty()
               ? entry.employeeColumn
               : entry.column;
}

std::string_view valueAt(const std::vector<std::string>& values, std::size_t index) {
    return index > 0 && index < values.size() ? std::string_view(values[index])
                                              : std::string_view();
}

// Most values carry no quotes and are left as they are, without a copy.
void applyQuoteRule(std::string& value) {
    if (auto inner = quoteRule(value); inner.size() != value.size())
        value = std::string(inner);
}

void setKeys(const RecordState& s, RowSet& rows, std::array<std::size_t, 4>& places) {
    constexpr std::array<std::string_view, 4> kColumns{"Employee_ID", "Last_Name", "First_Name",
                                                       "SOCIAL"};
    // Looked up one by one as they are written, so that a refusal comes where it would by name.
    auto at = [&](std::size_t k) {
        if (places[k] == kNoPlace)
            places[k] = rows.column(kColumns[k]);
        return places[k];
    };
    rows.setNumberAt(at(0), s.EmployeeId);
    rows.setTextAt(at(1), s.LastName);
    rows.setTextAt(at(2), s.FirstName);
    rows.setTextAt(at(3), s.SocialNumber);
}

} // namespace

std::size_t RowSet::column(std::string_view name) {
    for (std::size_t i = 0; i < columnNames_.size(); ++i)
        if (columnNames_[i] == name)
            return i;
    columnNames_.emplace_back(name);
    return columnNames_.size() - 1;
}

void RowSet::setTextAt(std::size_t column, std::string_view text) {
    setText(columnNames_.at(column), text);
}

void RowSet::setNumberAt(std::size_t column, std::int64_t value) {
    setNumber(columnNames_.at(column), value);
}

const MappingEntry* findMapping(std::string_view label) {
    for (const auto& entry : kMapping)
        if (label == entry.label)
            return &entry;
    return nullptr;
}

void WriteImportField(RecordState& state, std::string& FieldName,
                      std::vector<std::string>& FieldValues, std::size_t k, ImportRows& rows) {
    WriteImportField(state, findMapping(FieldName), FieldName, FieldValues, k, rows);
}

void WriteImportField(RecordState& s, const MappingEntry* entry, std::string& FieldName,
                      std::vector<std::string>& FieldValues, std::size_t k, ImportRows& rows,
                      std::size_t* place) {
    if (k >= FieldValues.size())
        FieldValues.resize(k + 1);
    std::string& v = FieldValues[k];
    applyQuoteRule(v);
    if (!entry)
        return;

    RowSet* target = &rows.person;
    if (entry->target == Target::Plan) {
        target = &rows.plan;
        if (!s.PlanRowAdded) {
            s.PlanRowAdded = true;
            rows.plan.addNew();
        }
    } else if (entry->target == Target::Dependant) {
        target = &rows.dependant;
        if (!s.DependantRowAdded) {
            s.DependantRowAdded = true;
            rows.dependant.addNew();
        }
    }
    // The same field names the same column record after record: copied only when it changes.
    const bool placeKnown = place && *place != kNoPlace;
    if (const std::string_view column = columnFor(*entry, s.ModeCode);
        !placeKnown && FieldName != column)
        FieldName.assign(column);

    // Mostly a part of v, which stays put until the row has it; `made` holds a text v lacks.
    std::string_view stored;
    std::string made;
    switch (entry->rule) {
    case Rule::Text:
        stored = cutTo(v, entry->cut);
        break;
    case Rule::QuotedText:
        applyQuoteRule(v);
        stored = cutTo(v, entry->cut);
        break;
    case Rule::City:
        applyQuoteRule(v);
        if (s.CityHoldsStateZip == 1) {
            stored = cutTo(v, entry->cut);
        } else {
            made =
                cityJoin(v, valueAt(FieldValues, s.StateIndex), valueAt(FieldValues, s.ZipIndex));
            stored = cutTo(made, entry->cut);
        }
        break;
    case Rule::Gender:
        v = genderCode(v);
        stored = v;
        break;
    case Rule::Social:
        if (ansi::trim(v).size() == 9)
            v = socialNumber(v);
        s.SocialNumber = ansi::trim(v);
        stored = cutTo(v, entry->cut);
        break;
    case Rule::Date:
        v = dateRule(v);
        stored = v;
        break;
    case Rule::RetirementDate:
        v = retirementDate(v);
        stored = v;
        break;
    case Rule::Amount:
        if (!isNumber(v))
            v = "0";
        made = formatAmount(v).value_or("0.00");
        stored = made;
        break;
    }
    if (placeKnown) {
        target->setTextAt(*place, stored);
    } else if (place) {
        *place = target->column(FieldName);
        target->setTextAt(*place, stored);
    } else {
        target->setText(FieldName, stored);
    }

    if (entry->kept == Kept::LastName)
        s.LastName = stored;
    else if (entry->kept == Kept::FirstName)
        s.FirstName = stored;
}

void WriteRecordKeys(const RecordState& s, ImportRows& rows, KeyPlaces* places) {
    KeyPlaces unknown;
    KeyPlaces& p = places ? *places : unknown;
    if (s.PlanRowAdded)
        setKeys(s, rows.plan, p.plan);
    if (s.DependantRowAdded)
        setKeys(s, rows.dependant, p.dependant);
}

namespace {

void cancelAll(ImportRows& rows) {
    for (RowSet* r : {&rows.person, &rows.plan, &rows.dependant})
        r->cancelUpdate();
}

} // namespace

void StoreRecord(const RecordState& s, ImportRows& rows) {
    std::array<RowSet*, 2> stored{};
    std::size_t storedCount = 0;
    try {
        rows.person.update();
        stored[storedCount++] = &rows.person;
        if (s.PlanRowAdded) {
            rows.plan.update();
            stored[storedCount++] = &rows.plan;
        }
        if (s.DependantRowAdded)
            rows.dependant.update();
    } catch (...) {
        cancelAll(rows);
        // A record goes in whole or not at all; when even that fails, the first error says why.
        try {
            for (std::size_t i = 0; i < storedCount; ++i)
                stored[i]->removeLast();
        } catch (...) {
        }
        throw;
    }
}

void CommitRecord(RecordState& s, ImportRows& rows) {
    try {
        WriteRecordKeys(s, rows);
    } catch (...) {
        cancelAll(rows);
        throw;
    }
    StoreRecord(s, rows);
}

} // namespace mapping
