#include "base/Numbers.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>

namespace {

TEST(Numbers, ParseTakesTheWholeTextOrNothing) {
    const std::pair<const char*, double> doubles[] = {
        {"1.5", 1.5},
        {".5", 0.5},
        {"7.", 7.0},
        {"-2.5E-2", -0.025},
        {"123456789012345678901234567890", 1.2345678901234568e29},
    };
    for (auto [text, expect] : doubles)
        EXPECT_EQ(numbers::parseDouble(text), expect) << text;
    EXPECT_TRUE(std::isinf(*numbers::parseDouble("-inf")));
    EXPECT_TRUE(std::isnan(*numbers::parseDouble("nan")));
    // Callers that allow a '+' take it off themselves; 1e400 is out of range.
    for (const char* text : {"", ".", "1e400", "+1", " 1", "1 ", "1,5", "1.5.0", "0x10", "12abc"})
        EXPECT_FALSE(numbers::parseDouble(text)) << text;

    const std::pair<const char*, std::int64_t> integers[] = {
        {"0", 0},
        {"-42", -42},
        {"007", 7},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
    };
    for (auto [text, expect] : integers)
        EXPECT_EQ(numbers::parseInteger(text), expect) << text;
    for (const char* text : {"9223372036854775808", "+1", "1.0", "1e3", "", "-"})
        EXPECT_FALSE(numbers::parseInteger(text)) << text;
}

TEST(Numbers, SplitDecimalKeepsTheDigitsAsWritten) {
    // Expected: sign, whole digits, '.', fraction digits; nullptr when no number.
    const std::pair<const char*, const char*> cases[] = {
        {"12.50", "+12.50"}, {"-0012", "-0012."}, {"+.5", "+.5"},     {"7.", "+7."},
        {"-0", "-0."},       {".", nullptr},      {"-", nullptr},     {"", nullptr},
        {" 1", nullptr},     {"1e3", nullptr},    {"1,234", nullptr}, {"--1", nullptr},
        {"1.2.3", nullptr},
    };
    for (auto [text, expect] : cases) {
        auto d = numbers::splitDecimal(text);
        if (!expect) {
            EXPECT_FALSE(d) << text;
            continue;
        }
        ASSERT_TRUE(d) << text;
        EXPECT_EQ((d->negative ? "-" : "+") + d->whole + "." + d->fraction, expect);
    }
}

// The tests run under the "C" locale, where printf is the reference.
TEST(Numbers, FixedWritesWhatPrintfWritesInTheCLocale) {
    // Exact halves at each precision, -0 and what rounds to it, huge and subnormal values.
    const double values[] = {0,       -0.0,   0.1,  0.00005,  -0.00005, 0.125, 2.675,
                             1.0 / 3, -1e-10, 1e20, -1.7e308, 5e-324,   0.5,   1.5,
                             2.5,     -2.5,   -0.5, 99.995,   4.35,     1e-5,  922337203685477.58};
    for (double v : values) {
        for (int decimals : {0, 2, 4, 10}) {
            std::string want(400, '\0');
            want.resize(static_cast<std::size_t>(
                std::snprintf(want.data(), want.size(), "%.*f", decimals, v)));
            EXPECT_EQ(numbers::fixed(v, decimals), want) << v << " at " << decimals;
        }
    }
    EXPECT_EQ(numbers::fixed(std::numeric_limits<double>::infinity(), 4), "inf");
}

TEST(Numbers, ShortestReadsBackToTheSameValue) {
    struct Case {
        double v;
        const char* text;
    };
    for (auto [v, text] : {Case{0.1, "0.1"}, Case{-2.5e-8, "-2.5e-08"}, Case{1e300, "1e+300"},
                           Case{1234.5678, "1234.5678"}, Case{100, "100"}, Case{-0.0, "-0"},
                           Case{1.0 / 3, "0.3333333333333333"}, Case{444.555, "444.555"}}) {
        EXPECT_EQ(numbers::shortest(v), text);
        EXPECT_EQ(numbers::parseDouble(numbers::shortest(v)), v) << text;
    }
    EXPECT_EQ(numbers::shortest(0.1f), "0.1"); // a float as a float, not 0.10000000149011612
    EXPECT_EQ(numbers::shortest(1.5f), "1.5");
    EXPECT_EQ(numbers::shortest(16777216.0f), "16777216");
}

TEST(Numbers, PaddedWritesWhatPrintfWrites) {
    struct Case {
        std::int64_t v;
        int width;
    };
    for (auto [v, width] : {Case{0, 0}, Case{0, 2}, Case{5, 4}, Case{-5, 4}, Case{-50, 4},
                            Case{-6244, 4}, Case{12345, 2}, Case{1974, 4}, Case{INT64_MAX, 4},
                            Case{INT64_MIN, 0}, Case{INT64_MIN, 25}}) {
        char want[40];
        std::snprintf(want, sizeof want, "%0*" PRId64, width, v);
        EXPECT_EQ(numbers::padded(v, width), want) << v << " in " << width;
    }
}

} // namespace
