#include "base/Cp1252.h"
#include "base/Utf8.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp1252, MapsTheCodePageAndEveryByteRoundTrips) {
    struct Case {
        std::uint8_t byte;
        char16_t c;
    };
    for (auto [byte, c] : {Case{0x41, u'A'}, Case{0x80, u'\u20AC'}, Case{0x92, u'\u2019'},
                           Case{0x9F, u'\u0178'}, Case{0xA9, u'\u00A9'}, Case{0xE9, u'\u00E9'},
                           Case{0x81, u'\u0081'}, Case{0x8D, u'\u008D'}}) {
        EXPECT_EQ(cp1252::toUnicode(byte), c) << int(byte);
        EXPECT_EQ(cp1252::fromUnicode(c), byte) << int(byte);
    }
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(cp1252::fromUnicode(cp1252::toUnicode(static_cast<std::uint8_t>(b))), b);
    EXPECT_FALSE(cp1252::fromUnicode(u'\u4E00').has_value());
    EXPECT_FALSE(cp1252::fromUnicode(U'\U0001F600').has_value());
}

TEST(Utf8, RoundTripsUtf16IncludingSurrogatePairs) {
    for (std::u16string t : {u"", u"plain", u"ääkkösiä", u"漢字", u"\U0001F600 smile"})
        EXPECT_EQ(utf::utf16(utf::utf8(t)), t);
    EXPECT_EQ(utf::utf8(u"\u00E9"), "\xC3\xA9");
    EXPECT_EQ(utf::utf8(u"a\xD800z"), "a\xEF\xBF\xBDz"); // a lone surrogate
}

TEST(Utf8, EachMalformedByteIsOneReplacementAndNothingAfterItIsLost) {
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
