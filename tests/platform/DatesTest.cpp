// Dates as the import files write them, and the Windows-1252 text everything arrives in.
#include "platform/Dates.h"

#include "platform/Ansi.h"

#include <gtest/gtest.h>

using dates::Date;
using dates::parseDate;

namespace {

TEST(Dates, RecognisesUsDatesInTheirCommonForms) {
    struct Case {
        const char* text;
        Date date;
    };
    for (auto [text, date] :
         {Case{"1/15/2005", {2005, 1, 15}}, Case{"01/05/2001", {2001, 1, 5}},
          Case{" 12/31/1999 ", {1999, 12, 31}}, Case{"1/5/01", {2001, 1, 5}},
          Case{"1/5/29", {2029, 1, 5}}, Case{"1/5/30", {1930, 1, 5}},
          Case{"2-29-2000", {2000, 2, 29}}, Case{"2005-01-15", {2005, 1, 15}},
          Case{"15-Jan-05", {2005, 1, 15}}, Case{"January 15, 2005", {2005, 1, 15}},
          Case{"15 SEPT 2005", {2005, 9, 15}}, Case{"dec. 1 2010", {2010, 12, 1}}}) {
        auto parsed = parseDate(text);
        ASSERT_TRUE(parsed) << text;
        EXPECT_EQ(*parsed, date) << text;
    }
}

TEST(Dates, RefusesWhatIsNoCalendarDate) {
    for (const char* text : {"", "   ", "#####", "13/1/2005", "2/29/1900", "2/30/2004", "0/1/2000",
                             "1/15", "1/15/2005/3", "1/2-2005", "sometime", "Smith", "12.5",
                             "1/15/205", "1/1/0099", "15 Janvier 2005", "1/15/2005 x"}) {
        EXPECT_FALSE(parseDate(text)) << text;
    }
}

TEST(Dates, CountsDaysAcrossMonthsYearsAndLeapDays) {
    EXPECT_EQ(dates::toSerial({1899, 12, 30}), 0);
    EXPECT_EQ(dates::toSerial({1900, 1, 1}), 2);
    EXPECT_EQ(dates::toSerial({2000, 1, 1}), 36526);
    EXPECT_EQ(dates::addDays({2008, 1, 1}, -1), (Date{2007, 12, 31}));
    EXPECT_EQ(dates::addDays({2000, 3, 1}, -1), (Date{2000, 2, 29}));
    EXPECT_EQ(dates::addDays({2100, 3, 1}, -1), (Date{2100, 2, 28}));
    for (long long serial = -700000; serial < 3000000; serial += 997)
        EXPECT_EQ(dates::toSerial(dates::fromSerial(serial)), serial);
    EXPECT_EQ(dates::formatUs({2001, 1, 5}), "01/05/2001");
}

TEST(Ansi, ConvertsThroughTheCodePageAndEveryByteRoundTrips) {
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    EXPECT_EQ(ansi::fromUtf16(ansi::toUtf16(bytes)), bytes);
    EXPECT_EQ(ansi::fromUtf8(ansi::toUtf8(bytes)), bytes);
    EXPECT_EQ(ansi::toUtf8("Tarnfield\xA9\x80"), "Tarnfield\u00A9\u20AC");
    EXPECT_EQ(ansi::toUtf16("\x92"), u"\u2019");

    // What the code page cannot hold becomes question marks.
    EXPECT_EQ(ansi::fromUtf16(u"a\u4E2Db"), "a?b");
    EXPECT_EQ(ansi::fromUtf16(u"\U0001F600"), "?"); // one character, one mark
    EXPECT_EQ(ansi::fromUtf8("a\xFF"
                             "b\xC3"),
              "a?b?"); // malformed bytes lose nothing after them
}

TEST(Ansi, TrimsBlanksOnlyAndUpperCasesAccentedLetters) {
    EXPECT_EQ(ansi::trim("  a b  "), "a b");
    EXPECT_EQ(ansi::trim("\ta\t"), "\ta\t");
    EXPECT_EQ(ansi::trim("    "), "");
    EXPECT_EQ(ansi::trimRight("  Middle Initial   "), "  Middle Initial");
    EXPECT_EQ(ansi::trimLeft("  x "), "x ");
    EXPECT_EQ(ansi::upper("smith"), "SMITH");
    EXPECT_EQ(ansi::upper("\xE9\xE0\xFF\x9A\x9C\x9E"), "\xC9\xC0\x9F\x8A\x8C\x8E");
    EXPECT_EQ(ansi::upper("\xF7\xDF"), "\xF7\xDF"); // division sign and sharp s stay
}

} // namespace
