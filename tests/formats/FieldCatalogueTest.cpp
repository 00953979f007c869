#include "formats/FieldCatalogue.h"

#include <algorithm>
#include <gtest/gtest.h>

using formats::defaultFieldList;
using formats::isOptionalLabel;

namespace {

// The labels every type shares, before and after its own block, spelled as saved formats and
// TAB files carry them.
const std::vector<std::string> kHead = {
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
const std::vector<std::string> kTail = {
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

TEST(FieldCatalogue, EachTypeListsItsLabelsInOrder) {
    struct Case {
        int code;
        std::vector<std::string> block; // between the head and the tail
        bool fsa;                       // the FSA contribution last
        std::size_t length;
        std::ptrdiff_t mandatory;
    };
    for (const auto& c : {
             Case{1, {"  Date COBRA General Notice Provided"}, false, 45, 9},
             Case{2, {"Date Benefits Will be Terminated", "Qualifying Event Reason"}, true, 47, 11},
             Case{3,
                  {"COBRA Qualifying Event Date", "Qualifying Event Reason",
                   "Premium Paid Through Date"},
                  true,
                  48,
                  12},
             Case{4, {"Date Employee became a Retiree", "Premium Paid Through Date"}, true, 47, 11},
             Case{0, {}, false, 44, 9},
             Case{22, {}, false, 44, 9},
         }) {
        auto expected = kHead;
        expected.insert(expected.end(), c.block.begin(), c.block.end());
        expected.insert(expected.end(), kTail.begin(), kTail.end());
        if (c.fsa)
            expected.emplace_back("  Monthly Contribution towards Medical FSA");
        const auto list = defaultFieldList(c.code);
        EXPECT_EQ(list, expected) << c.code;
        EXPECT_EQ(list.size(), c.length) << c.code;
        EXPECT_EQ(std::count_if(list.begin(), list.end(),
                                [](const std::string& l) { return !isOptionalLabel(l); }),
                  c.mandatory)
            << c.code;
        for (const auto& label : list)
            EXPECT_LE(label.size(), 50u) << label; // a saved format keeps 50 characters
    }
}

TEST(FieldCatalogue, OptionalMeansTwoLeadingBlanksAndEachTypeHasItsNames) {
    EXPECT_TRUE(isOptionalLabel("  State"));
    EXPECT_FALSE(isOptionalLabel(" State"));
    EXPECT_FALSE(isOptionalLabel("City (or City, State Zip)"));
    EXPECT_FALSE(isOptionalLabel(""));

    const auto& types = formats::fileTypes();
    ASSERT_EQ(types.size(), 4u);
    const char* const names[] = {"EMPLOYEE", "QUALIFIER", "PARTICIPANT", "RETIREE"};
    const char* const captions[] = {"Create an Active Employee Import Database",
                                    "Create a Qualified Beneficiary Import Database",
                                    "Create a COBRA Participant Import Database",
                                    "Create a Retiree Import Database"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(types[i].code, static_cast<int>(i) + 1);
        EXPECT_STREQ(types[i].name, names[i]);
        EXPECT_STREQ(formats::editorCaption(names[i]), captions[i]);
        EXPECT_EQ(formats::fileTypeByName(names[i]), &types[i]);
    }
    EXPECT_EQ(formats::editorCaption("retiree"), nullptr);
    EXPECT_EQ(formats::fileTypeByName("Retiree"), nullptr);
}

} // namespace
