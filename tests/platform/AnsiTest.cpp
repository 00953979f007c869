#include "platform/Ansi.h"

#include <gtest/gtest.h>

namespace {

std::string allBytes() {
    std::string s;
    for (int b = 0; b < 256; ++b)
        s += static_cast<char>(b);
    return s;
}

TEST(Ansi, EveryByteRoundTripsThroughUtf16AndUtf8) {
    const auto bytes = allBytes();
    EXPECT_EQ(ansi::fromUtf16(ansi::toUtf16(bytes)), bytes);
    EXPECT_EQ(ansi::fromUtf8(ansi::toUtf8(bytes)), bytes);
}

TEST(Ansi, ConvertsThroughTheCodePage) {
    EXPECT_EQ(ansi::toUtf8("Tarnfield\xA9\x80"), "Tarnfield\u00A9\u20AC");
    EXPECT_EQ(ansi::toUtf16("\x92"), u"\u2019");
}

TEST(Ansi, TextTheCodePageCannotHoldBecomesQuestionMarks) {
    EXPECT_EQ(ansi::fromUtf16(u"a\u4E2Db"), "a?b");
    EXPECT_EQ(ansi::fromUtf16(u"\U0001F600"), "?"); // one character, one mark
    EXPECT_EQ(ansi::fromUtf8("a\xFF"
                             "b\xC3"),
              "a?b?"); // malformed bytes lose nothing after them
}

TEST(Ansi, TrimsBlanksOnly) {
    EXPECT_EQ(ansi::trim("  a b  "), "a b");
    EXPECT_EQ(ansi::trim("\ta\t"), "\ta\t");
    EXPECT_EQ(ansi::trim("    "), "");
    EXPECT_EQ(ansi::trimRight("  Middle Initial   "), "  Middle Initial");
    EXPECT_EQ(ansi::trimLeft("  x "), "x ");
}

TEST(Ansi, UpperCaseCoversAccentedLetters) {
    EXPECT_EQ(ansi::upper("smith"), "SMITH");
    EXPECT_EQ(ansi::upper("\xE9\xE0\xFF\x9A\x9C\x9E"), "\xC9\xC0\x9F\x8A\x8C\x8E");
    EXPECT_EQ(ansi::upper("\xF7\xDF"), "\xF7\xDF"); // division sign and sharp s stay
}

} // namespace
