#include "mapping/ValueRules.h"

#include <gtest/gtest.h>

using namespace mapping;

namespace {

TEST(ValueRules, QuotesComeOffOneLayerAtATime) {
    EXPECT_EQ(quoteRule("\"Smith\""), "Smith");
    EXPECT_EQ(quoteRule("\"\""), "");
    EXPECT_EQ(quoteRule("\""), "\"") << "a lone quote stays";
    EXPECT_EQ(quoteRule(" \"Smith\""), " \"Smith\"");
    EXPECT_EQ(quoteRule("\" Smith \""), " Smith ");
    EXPECT_EQ(quoteRule(quoteRule("\"\"Jo\"\"")), "Jo");
    EXPECT_EQ(quoteRule("\"\"Jo\"\""), "\"Jo\"");
}

TEST(ValueRules, TextsAreTrimmedAndCut) {
    EXPECT_EQ(cutTo("  Smith  ", 25), "Smith");
    EXPECT_EQ(cutTo(std::string(30, 'x'), 25), std::string(25, 'x'));
    EXPECT_EQ(cityJoin("Dover", "DE", ""), "Dover, DE  ");
    EXPECT_EQ(cutTo(cityJoin(std::string(30, 'c'), " NY ", "10001-1234"), 50).size(), 46u);
    EXPECT_EQ(cutTo(cityJoin(std::string(45, 'c'), "NY", "10001"), 50).size(), 50u);
}

TEST(ValueRules, GenderAndSocialNumber) {
    struct Case {
        const char* in;
        const char* out;
    };
    for (auto [in, out] : {Case{"male", "M"}, Case{"Female", "F"}, Case{"U", "N"}, Case{"", "N"},
                           Case{" M", "N"}, Case{"f", "F"}})
        EXPECT_EQ(genderCode(in), out) << in;
    for (auto [in, out] : {Case{"abcdefghi", "abc-de-fghi"}, Case{" 123456789 ", "123-45-6789"},
                           Case{"12345678", "12345678"}, Case{"1234567890", "1234567890"},
                           Case{"123-45-6789", "123-45-6789"}})
        EXPECT_EQ(socialNumber(in), out) << in;
}

TEST(ValueRules, DatesAndRetirementDates) {
    EXPECT_EQ(dateRule("1/5/2001"), "01/05/2001");
    EXPECT_EQ(dateRule(" 12/31/99 "), "12/31/1999");
    EXPECT_EQ(dateRule("January 5, 2001"), "") << "over ten characters";
    EXPECT_EQ(dateRule(""), "");
    EXPECT_EQ(dateRule("2/30/2005"), "");
    EXPECT_EQ(retirementDate("01/01/2008"), "12/31/2007");
    EXPECT_EQ(retirementDate("3/1/2000"), "02/29/2000");
    EXPECT_EQ(retirementDate("soon"), "");
    struct Case {
        const char* in;
        const char* date;
        const char* dayBefore;
    };
    for (auto [in, date, dayBefore] :
         {Case{"1/5/01", "01/05/2001", "01/04/2001"}, Case{"12/31/29", "12/31/2029", "12/30/2029"},
          Case{"1/1/30", "01/01/1930", "12/31/1929"},
          Case{" 01/05/2001 ", "01/05/2001", "01/04/2001"}, Case{"01/05/20011", "", ""},
          Case{"@", "", ""}, Case{"#####", "", ""}}) {
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

} // namespace
