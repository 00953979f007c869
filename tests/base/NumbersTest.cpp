// Number and text forms the whole program shares.
#include "base/Numbers.h"

#include "base/Cp1252.h"
#include "base/Utf8.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>

namespace {

TEST(Numbers, ParsingTakesTheWholeTextOrNothing) {
    const std::pair<const char*, double> doubles[] = {
        {"1.5", 1.5},
        {".5", 0.5},
        {"7.", 7.0},
        {"-2.5E-2", -0.025},
        {"123456789012345678901234567890", 1.2345678901234568e29}};
    for (auto [text, expect] : doubles)
        EXPECT_EQ(numbers::parseDouble(text), expect) << text;
    EXPECT_TRUE(std::isinf(*numbers::parseDouble("-inf")));
    EXPECT_TRUE(std::isnan(*numbers::parseDouble("nan")));
    // Callers that allow a '+' take it off themselves; 1e400 is out of range.
    for (const char* text : {"", ".", "1e400", "+1", " 1", "1 ", "1,5", "1.5.0", "0x10", "12abc"})
        EXPECT_FALSE(numbers::parseDouble(text)) << text;

    const std::pair<const char*, std::int64_t> integers[] = {{"0", 0},
                                                             {"-42", -42},
                                                             {"007", 7},
                                                             {"9223372036854775807", INT64_MAX},
                                                             {"-9223372036854775808", INT64_MIN}};
    for (auto [text, expect] : integers)
        EXPECT_EQ(numbers::parseInteger(text), expect) << text;
    for (const char* text : {"9223372036854775808", "+1", "1.0", "1e3", "", "-"})
        EXPECT_FALSE(numbers::parseInteger(text)) << text;

    // Decimals keep their digits as written: sign, whole digits, '.', fraction digits.
    const std::pair<const char*, const char*> decimals[] = {
        {"12.50", "+12.50"}, {"-0012", "-0012."}, {"+.5", "+.5"},     {"7.", "+7."},
        {"-0", "-0."},       {".", nullptr},      {"-", nullptr},     {"", nullptr},
        {" 1", nullptr},     {"1e3", nullptr},    {"1,234", nullptr}, {"--1", nullptr},
        {"1.2.3", nullptr}};
    for (auto [text, expect] : decimals) {
        auto d = numbers::splitDecimal(text);
        ASSERT_EQ(d.has_value(), expect != nullptr) << text;
        if (d) {
            EXPECT_EQ((d->negative ? "-" : "+") + d->whole + "." + d->fraction, expect);
        }
    }
}

// The tests run under the "C" locale, where printf is the reference.
TEST(Numbers, FixedAndPaddedWriteWhatPrintfWrites) {
    // Exact halves at each precision, -0 and what rounds to it, huge and subnormal values.
    const double values[] = {0,       -0.0,   0.1,  0.00005,  -0.00005, 0.125, 2.675,
                             1.0 / 3, -1e-10, 1e20, -1.7e308, 5e-324,   0.5,   1.5,
                             2.5,     -2.5,   -0.5, 99.995,   4.35,     1e-5,  922337203685477.58};
    char want[400];
    for (double v : values) {
        for (int decimals : {0, 2, 4, 10}) {
            std::snprintf(want, sizeof want, "%.*f", decimals, v);
            EXPECT_EQ(numbers::fixed(v, decimals), want) << v << " at " << decimals;
        }
    }
    EXPECT_EQ(numbers::fixed(std::numeric_limits<double>::infinity(), 4), "inf");
    const std::pair<std::int64_t, int> padded[] = {
        {0, 0},     {0, 2},    {5, 4},         {-5, 4},        {-50, 4},       {-6244, 4},
        {12345, 2}, {1974, 4}, {INT64_MAX, 4}, {INT64_MIN, 0}, {INT64_MIN, 25}};
    for (auto [v, width] : padded) {
        std::snprintf(want, sizeof want, "%0*" PRId64, width, v);
        EXPECT_EQ(numbers::padded(v, width), want) << v << " in " << width;
    }
}

TEST(Numbers, ShortestReadsBackToTheSameValue) {
    const std::pair<double, const char*> cases[] = {{0.1, "0.1"},
                                                    {-2.5e-8, "-2.5e-08"},
                                                    {1e300, "1e+300"},
                                                    {1234.5678, "1234.5678"},
                                                    {100, "100"},
                                                    {-0.0, "-0"},
                                                    {1.0 / 3, "0.3333333333333333"},
                                                    {444.555, "444.555"}};
    for (auto [v, text] : cases) {
        EXPECT_EQ(numbers::shortest(v), text);
        EXPECT_EQ(numbers::parseDouble(numbers::shortest(v)), v) << text;
    }
    EXPECT_EQ(numbers::shortest(0.1f), "0.1"); // a float as a float, not 0.10000000149011612
    EXPECT_EQ(numbers::shortest(1.5f), "1.5");
    EXPECT_EQ(numbers::shortest(16777216.0f), "16777216");
}

TEST(Cp1252, MapsTheCodePageAndEveryByteRoundTrips) {
    const std::pair<std::uint8_t, char16_t> cases[] = {
        {0x41, u'A'},      {0x80, u'\u20AC'}, {0x92, u'\u2019'}, {0x9F, u'\u0178'},
        {0xA9, u'\u00A9'}, {0xE9, u'\u00E9'}, {0x81, u'\u0081'}, {0x8D, u'\u008D'}};
    for (auto [byte, c] : cases) {
        EXPECT_EQ(cp1252::toUnicode(byte), c) << int(byte);
        EXPECT_EQ(cp1252::fromUnicode(c), byte) << int(byte);
    }
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(cp1252::fromUnicode(cp1252::toUnicode(static_cast<std::uint8_t>(b))), b);
    EXPECT_FALSE(cp1252::fromUnicode(u'\u4E00').has_value());
    EXPECT_FALSE(cp1252::fromUnicode(U'\U0001F600').has_value());
}

// Each malformed byte is one replacement character, and nothing after it is lost.
TEST(Utf8, RoundTripsUtf16AndReplacesWhatIsMalformed) {
    for (std::u16string t : {u"", u"plain", u"ääkkösiä", u"漢字", u"\U0001F600 smile"})
        EXPECT_EQ(utf::utf16(utf::utf8(t)), t);
    EXPECT_EQ(utf::utf8(u"\u00E9"), "\xC3\xA9");
    EXPECT_EQ(utf::utf8(u"a\xD800z"), "a\xEF\xBF\xBDz"); // a lone surrogate
    EXPECT_EQ(utf::utf16("a\xFF"
                         "b"),
              u"a\uFFFDb");
    EXPECT_EQ(utf::utf16("a\xC3"), u"a\uFFFD"); // cut off at the end
    EXPECT_EQ(utf::utf16("\xE2\x82z"), u"\uFFFD\uFFFDz");
    std::size_t at = 0;
    EXPECT_EQ(utf::nextCodePoint("\xF0\x9F\x98\x80!", at), U'\U0001F600');
    EXPECT_EQ(at, 4u);
}

} // namespace
