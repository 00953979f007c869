#include "formats/FieldCatalogue.h"

#include <algorithm>
#include <gtest/gtest.h>

using formats::defaultFieldList;
using formats::isOptionalLabel;

namespace {

std::ptrdiff_t mandatoryCount(const std::vector<std::string>& list) {
    return std::count_if(list.begin(), list.end(),
                         [](const std::string& l) { return !isOptionalLabel(l); });
}

int positionOf(const std::vector<std::string>& list, const std::string& label) {
    auto it = std::find(list.begin(), list.end(), label);
    return it == list.end() ? 0 : static_cast<int>(it - list.begin()) + 1;
}

TEST(FieldCatalogue, EachTypeHasItsLengthMandatoryLabelsAndLastLabel) {
    struct Case {
        int code;
        std::size_t length;
        std::ptrdiff_t mandatory;
        const char* last;
    };
    for (auto c : {Case{1, 45, 9, "  Other Plan #3 Coverage Type (Single, Family)"},
                   Case{2, 47, 11, "  Monthly Contribution towards Medical FSA"},
                   Case{3, 48, 12, "  Monthly Contribution towards Medical FSA"},
                   Case{4, 47, 11, "  Monthly Contribution towards Medical FSA"},
                   Case{0, 44, 9, "  Other Plan #3 Coverage Type (Single, Family)"},
                   Case{22, 44, 9, "  Other Plan #3 Coverage Type (Single, Family)"}}) {
        auto list = defaultFieldList(c.code);
        EXPECT_EQ(list.size(), c.length) << c.code;
        EXPECT_EQ(mandatoryCount(list), c.mandatory) << c.code;
        EXPECT_EQ(list.back(), c.last) << c.code;
        for (const auto& label : list)
            EXPECT_LE(label.size(), 50u) << label;
    }
}

TEST(FieldCatalogue, TypeBlocksStandWhereTheyBelong) {
    struct Case {
        const char* label;
        int employee, qualifier, participant, retiree;
    };
    for (auto c : {Case{"Last Name", 1, 1, 1, 1}, Case{"  Zip Code", 8, 8, 8, 8},
                   Case{"Employee Benefits Start Date", 13, 13, 13, 13},
                   Case{"  Date COBRA General Notice Provided", 14, 0, 0, 0},
                   Case{"Date Benefits Will be Terminated", 0, 14, 0, 0},
                   Case{"COBRA Qualifying Event Date", 0, 0, 14, 0},
                   Case{"Date Employee became a Retiree", 0, 0, 0, 14},
                   Case{"Qualifying Event Reason", 0, 15, 15, 0},
                   Case{"Premium Paid Through Date", 0, 0, 16, 15},
                   Case{"  Spouse's Name (Full Name)", 15, 16, 17, 16},
                   Case{"  Child #6 Date of Birth", 35, 36, 37, 36},
                   Case{"  Medical Insurance Plan Name", 36, 37, 38, 37}}) {
        EXPECT_EQ(positionOf(defaultFieldList(1), c.label), c.employee) << c.label;
        EXPECT_EQ(positionOf(defaultFieldList(2), c.label), c.qualifier) << c.label;
        EXPECT_EQ(positionOf(defaultFieldList(3), c.label), c.participant) << c.label;
        EXPECT_EQ(positionOf(defaultFieldList(4), c.label), c.retiree) << c.label;
    }
}

TEST(FieldCatalogue, OptionalMeansTwoLeadingBlanks) {
    EXPECT_TRUE(isOptionalLabel("  State"));
    EXPECT_FALSE(isOptionalLabel(" State"));
    EXPECT_FALSE(isOptionalLabel("City (or City, State Zip)"));
    EXPECT_FALSE(isOptionalLabel(""));
    EXPECT_STREQ(formats::editorCaption("RETIREE"), "Create a Retiree Import Database");
    EXPECT_EQ(formats::editorCaption("retiree"), nullptr);
}

} // namespace
