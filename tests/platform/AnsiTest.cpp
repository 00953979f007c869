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

TEST(Ansi, MapsTheCodePageCharacters) {
    struct Case {
        unsigned char byte;
        char32_t cp;
    };
    for (auto [byte, cp] : {Case{0x41, U'A'}, Case{0x80, U'\u20AC'}, Case{0x92, U'\u2019'},
                            Case{0x9F, U'\u0178'}, Case{0xA9, U'\u00A9'}, Case{0xE9, U'\u00E9'},
                            Case{0x81, U'\u0081'}, Case{0x8D, U'\u008D'}}) {
        EXPECT_EQ(ansi::toCodePoint(byte), cp) << int(byte);
        EXPECT_EQ(ansi::fromCodePoint(cp), byte) << int(byte);
    }
    EXPECT_EQ(ansi::toUtf8("Tarnfield\xA9"), "Tarnfield\u00A9");
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
