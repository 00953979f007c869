// Value text forms, date arithmetic, decimal parsing and the text codec.
#include "jet/Value.h"

#include "jet/Error.h"
#include "jet/Text.h"

#include <gtest/gtest.h>

using namespace jet;

namespace {

struct DateCase {
    double days;
    const char* text;
};

TEST(JetValue, DateTimeTextMatchesAccessCalendar) {
    const DateCase cases[] = {
        {0.0, "1899-12-30T00:00:00"},
        {1.0, "1899-12-31T00:00:00"},
        {2.0, "1900-01-01T00:00:00"},
        {60.0, "1900-02-28T00:00:00"}, // no 1900-02-29
        {27293.0, "1974-09-21T00:00:00"},
        {36585.5, "2000-02-29T12:00:00"},
        {-1.25, "1899-12-29T06:00:00"},
        {-2.5, "1899-12-28T12:00:00"},
        {73415.99998842592, "2100-12-31T23:59:59"},
        {1.999999999, "1900-01-01T00:00:00"}, // rounds to the next day, not 24:00:00
    };
    for (const auto& c : cases)
        EXPECT_EQ(dateTimeText(DateTime{c.days}), c.text) << c.days;
}

TEST(JetValue, ParseDateTimeAcceptsAccessForms) {
    struct Case {
        const char* text;
        const char* expect; // nullptr: refused
    };
    const Case cases[] = {
        {"1974-09-21", "1974-09-21T00:00:00"},
        {"1974-09-21T13:45:07", "1974-09-21T13:45:07"},
        {"09/21/1974", "1974-09-21T00:00:00"},
        {"2/29/2000 11:11:11 PM", "2000-02-29T23:11:11"},
        {"12/30/1899 12:00:00 AM", "1899-12-30T00:00:00"},
        {"1899-12-29 06:00", "1899-12-29T06:00:00"},
        {"2/29/2001", nullptr},
        {"13/01/2000", nullptr},
        {"2000-01-01T25:00", nullptr},
        {"tomorrow", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        DateTime d;
        bool ok = parseDateTime(c.text, d);
        if (!c.expect) {
            EXPECT_FALSE(ok) << c.text;
            continue;
        }
        ASSERT_TRUE(ok) << c.text;
        EXPECT_EQ(dateTimeText(d), c.expect) << c.text;
    }
}

TEST(JetValue, CurrencyAlwaysFourDecimals) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {35000, "3.5000"}, {0, "0.0000"}, {-1, "-0.0001"}, {INT64_MIN, "-922337203685477.5808"}};
    for (const auto& [v, t] : cases)
        EXPECT_EQ(currencyText(Currency{v}), t);
}

TEST(JetValue, DecimalParseRoundsAndChecksPrecision) {
    struct Case {
        const char* text;
        int precision, scale;
        const char* expect; // nullptr: refused
    };
    const Case cases[] = {
        {"1", 18, 0, "1"},
        {"-1.5", 18, 2, "-1.50"},
        {"0.125", 10, 2, "0.13"},
        {"123456789012345678", 18, 0, "123456789012345678"},
        {"1234567890123456789", 18, 0, nullptr},
        {"99.5", 2, 0, nullptr}, // rounds to 100: three digits
        {"-0", 5, 0, "0"},
        {"1e5", 18, 0, nullptr},
        {".", 18, 0, nullptr},
        {"7922816251426433759354395033", 28, 0, "7922816251426433759354395033"},
        {"79228162514264337593543950335", 28, 0, nullptr}, // 29 digits
    };
    for (const auto& c : cases) {
        Decimal d;
        bool ok = parseDecimal(c.text, static_cast<std::uint8_t>(c.precision),
                               static_cast<std::uint8_t>(c.scale), d);
        if (!c.expect) {
            EXPECT_FALSE(ok) << c.text;
            continue;
        }
        ASSERT_TRUE(ok) << c.text;
        EXPECT_EQ(decimalText(d), c.expect) << c.text;
    }
}

TEST(JetText, CompressedFormRoundTripsAndIsChosenOnlyWhenShorter) {
    struct Case {
        std::u16string text;
        bool compressed;
    };
    const Case cases[] = {
        {u"only ascii chars", true},
        {u"ümlaut", true},
        {u"Мир", false},      // no single-byte characters: UTF-16 is shorter
        {u"ab Мир cd", true}, // mixed runs
        {u"a\u0100b", false}, // U+0100 has a zero low byte: cannot be compressed
        {u"ab", false},       // the two marker bytes would save nothing
        {u"abc", true},
        {u"", false},
    };
    for (const auto& c : cases) {
        auto bytes = encodeText(c.text, true, true);
        bool isCompressed = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
        EXPECT_EQ(isCompressed, c.compressed) << utf8(c.text);
        if (isCompressed) {
            EXPECT_LT(bytes.size(), c.text.size() * 2);
        }
        EXPECT_EQ(decodeText(bytes, true, "test"), c.text);
    }
}

TEST(JetText, MalformedTextIsAnError) {
    const std::vector<std::uint8_t> odd{0x41, 0x00, 0x42};
    EXPECT_THROW(decodeText(odd, true, "here"), Error);
    // Compressed text switched to two-byte characters, then cut inside one.
    const std::vector<std::uint8_t> cut{0xFF, 0xFE, 0x41, 0x00, 0x42};
    EXPECT_THROW(decodeText(cut, true, "here"), Error);
}

} // namespace
