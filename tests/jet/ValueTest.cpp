// Value text forms, date and decimal parsing, and the text codec.
#include "jet/Value.h"

#include "jet/Error.h"
#include "jet/Text.h"

#include <gtest/gtest.h>

using namespace jet;

namespace {

TEST(JetValue, DatesAndAmountsReadAsAccessWritesThem) {
    const std::pair<std::string, const char*> cases[] = {
        {dateTimeText(DateTime{0.0}), "1899-12-30T00:00:00"},
        {dateTimeText(DateTime{1.0}), "1899-12-31T00:00:00"},
        {dateTimeText(DateTime{2.0}), "1900-01-01T00:00:00"},
        {dateTimeText(DateTime{60.0}), "1900-02-28T00:00:00"}, // no 1900-02-29
        {dateTimeText(DateTime{27293.0}), "1974-09-21T00:00:00"},
        {dateTimeText(DateTime{36585.5}), "2000-02-29T12:00:00"},
        {dateTimeText(DateTime{-1.25}), "1899-12-29T06:00:00"},
        {dateTimeText(DateTime{-2.5}), "1899-12-28T12:00:00"},
        {dateTimeText(DateTime{73415.99998842592}), "2100-12-31T23:59:59"},
        // Rounds to the next day, not 24:00:00.
        {dateTimeText(DateTime{1.999999999}), "1900-01-01T00:00:00"},
        // Currency: always four decimals.
        {currencyText(Currency{35000}), "3.5000"},
        {currencyText(Currency{0}), "0.0000"},
        {currencyText(Currency{-1}), "-0.0001"},
        {currencyText(Currency{INT64_MIN}), "-922337203685477.5808"}};
    for (const auto& [got, want] : cases)
        EXPECT_EQ(got, want);
}

// Dates in Access's forms, and decimals rounded to their scale within their precision.
TEST(JetValue, ParsingTakesAccessFormsOnly) {
    struct Case {
        const char* text;
        int precision, scale; // precision 0: a date
        const char* expect;   // nullptr: refused
    };
    const Case cases[] = {{"1974-09-21", 0, 0, "1974-09-21T00:00:00"},
                          {"1974-09-21T13:45:07", 0, 0, "1974-09-21T13:45:07"},
                          {"09/21/1974", 0, 0, "1974-09-21T00:00:00"},
                          {"2/29/2000 11:11:11 PM", 0, 0, "2000-02-29T23:11:11"},
                          {"12/30/1899 12:00:00 AM", 0, 0, "1899-12-30T00:00:00"},
                          {"1899-12-29 06:00", 0, 0, "1899-12-29T06:00:00"},
                          {"2/29/2001", 0, 0, nullptr},
                          {"13/01/2000", 0, 0, nullptr},
                          {"2000-01-01T25:00", 0, 0, nullptr},
                          {"tomorrow", 0, 0, nullptr},
                          {"", 0, 0, nullptr},
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
                          {"79228162514264337593543950335", 28, 0, nullptr}}; // 29 digits
    for (const auto& c : cases) {
        DateTime date;
        Decimal d;
        const bool ok = c.precision ? parseDecimal(c.text, static_cast<std::uint8_t>(c.precision),
                                                   static_cast<std::uint8_t>(c.scale), d)
                                    : parseDateTime(c.text, date);
        ASSERT_EQ(ok, c.expect != nullptr) << c.text;
        if (ok) {
            EXPECT_EQ(c.precision ? decimalText(d) : dateTimeText(date), c.expect) << c.text;
        }
    }
}

// Compressed text is chosen only when it is shorter; malformed text is an error.
TEST(JetText, TextRoundTripsCompressedWhenShorter) {
    const std::pair<std::u16string, bool> cases[] = {
        {u"only ascii chars", true},
        {u"ümlaut", true},
        {u"Мир", false},      // no single-byte characters: UTF-16 is shorter
        {u"ab Мир cd", true}, // mixed runs
        {u"a\u0100b", false}, // U+0100 has a zero low byte: cannot be compressed
        {u"ab", false},       // the two marker bytes would save nothing
        {u"abc", true},
        {u"", false}};
    for (const auto& [text, compressed] : cases) {
        auto bytes = encodeText(text, true, true);
        const bool isCompressed = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
        EXPECT_EQ(isCompressed, compressed) << utf8(text);
        EXPECT_TRUE(!isCompressed || bytes.size() < text.size() * 2) << utf8(text);
        EXPECT_EQ(decodeText(bytes, true, "test"), text);
    }
    EXPECT_THROW(decodeText(std::vector<std::uint8_t>{0x41, 0x00, 0x42}, true, "here"), Error);
    // Compressed text switched to two-byte characters, then cut inside one.
    EXPECT_THROW(decodeText(std::vector<std::uint8_t>{0xFF, 0xFE, 0x41, 0x00, 0x42}, true, "here"),
                 Error);
}

} // namespace
