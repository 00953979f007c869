#include "formats/FieldCatalogue.h"

namespace formats {
namespace {

const char* const kHead[] = {
    "Last Name",
    "First Name",
    "  Middle Initial",
    "Mailing Address",
    "  Address Overflow",
    "City (or City, State Zip)",
    "  State",
    "  Zip Code",
    "Gender (M/F)",
    "Social Security Number",
    "Date of Birth",
    "Employee's Hire Date",
    "Employee Benefits Start Date",
};

const char* const kTail[] = {
    "  Spouse's Name (Full Name)",
    "  Spouse's Social Sec. Number (###-##-####)",
    "  Spouse's Date of Birth",
    "  Child #1 Name",
    "  Child #1 Social (###-##-####)",
    "  Child #1 Date of Birth",
    "  Child #2 Name",
    "  Child #2 Social (###-##-####)",
    "  Child #2 Date of Birth",
    "  Child #3 Name",
    "  Child #3 Social (###-##-####)",
    "  Child #3 Date of Birth",
    "  Child #4 Name",
    "  Child #4 Social (###-##-####)",
    "  Child #4 Date of Birth",
    "  Child #5 Name",
    "  Child #5 Social (###-##-####)",
    "  Child #5 Date of Birth",
    "  Child #6 Name",
    "  Child #6 Social (###-##-####)",
    "  Child #6 Date of Birth",
    "  Medical Insurance Plan Name",
    "  Medical Ins. Coverage Type (Single, Family)",
    "  Dental Insurance Plan Name",
    "  Dental Ins. Coverage Type (Single, Family)",
    "  Other Insurance Plan Name #1",
    "  Other Plan #1 Coverage Type (Single, Family)",
    "  Other Insurance Plan Name #2",
    "  Other Plan #2 Coverage Type (Single, Family)",
    "  Other Insurance Plan Name #3",
    "  Other Plan #3 Coverage Type (Single, Family)",
};

const char* const kFsaLabel = "  Monthly Contribution towards Medical FSA";

std::vector<std::string> typeBlock(int code) {
    switch (code) {
    case 1:
        return {"  Date COBRA General Notice Provided"};
    case 2:
        return {"Date Benefits Will be Terminated", "Qualifying Event Reason"};
    case 3:
        return {"COBRA Qualifying Event Date", "Qualifying Event Reason",
                "Premium Paid Through Date"};
    case 4:
        return {"Date Employee became a Retiree", "Premium Paid Through Date"};
    default:
        return {};
    }
}

} // namespace

const std::vector<FileTypeInfo>& fileTypes() {
    static const std::vector<FileTypeInfo> types = {
        {1, "EMPLOYEE", "Create an Active Employee Import Database"},
        {2, "QUALIFIER", "Create a Qualified Beneficiary Import Database"},
        {3, "PARTICIPANT", "Create a COBRA Participant Import Database"},
        {4, "RETIREE", "Create a Retiree Import Database"},
    };
    return types;
}

const FileTypeInfo* fileTypeByName(std::string_view name) {
    for (const auto& t : fileTypes())
        if (name == t.name)
            return &t;
    return nullptr;
}

std::vector<std::string> defaultFieldList(int code) {
    std::vector<std::string> list(std::begin(kHead), std::end(kHead));
    for (auto& label : typeBlock(code))
        list.push_back(std::move(label));
    list.insert(list.end(), std::begin(kTail), std::end(kTail));
    if (code >= 2 && code <= 4)
        list.emplace_back(kFsaLabel);
    return list;
}

bool isOptionalLabel(std::string_view label) {
    return label.substr(0, 2) == "  ";
}

const char* editorCaption(std::string_view fileTypeName) {
    const auto* type = fileTypeByName(fileTypeName);
    return type ? type->editorCaption : nullptr;
}

} // namespace formats
