#include "jet/GeneralSort.h"

#include <algorithm>

namespace jet {
namespace {

constexpr SortCode simple(std::uint16_t bytes) {
    SortCode c;
    c.kind = SortClass::Simple;
    if (bytes > 0xFF) {
        c.inlineCount = 2;
        c.inlineBytes = {static_cast<std::uint8_t>(bytes >> 8), static_cast<std::uint8_t>(bytes)};
    } else {
        c.inlineCount = 1;
        c.inlineBytes = {static_cast<std::uint8_t>(bytes), 0};
    }
    return c;
}

constexpr SortCode accented(std::uint16_t bytes, std::uint8_t accent) {
    SortCode c = simple(bytes);
    c.kind = SortClass::International;
    c.accent = accent;
    return c;
}

constexpr SortCode unprintable(std::uint8_t code) {
    SortCode c;
    c.kind = SortClass::Unprintable;
    c.unprintable = code;
    return c;
}

// Letters share one weight per case pair; the gaps between them are where Access files the
// letters with accents that sort as separate letters in other sort orders.
constexpr std::array<std::uint8_t, 26> kLetters = {
    0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59, 0x5B, 0x5C, 0x5E, 0x60,
    0x62, 0x64, 0x66, 0x68, 0x69, 0x6B, 0x6D, 0x6F, 0x71, 0x73, 0x75, 0x76, 0x78};

constexpr std::uint8_t letter(char c) {
    return kLetters[static_cast<std::size_t>(c - 'A')];
}

// Accent bytes: the second level of the order, after the letters themselves.
constexpr std::uint8_t kRaised = 0x03; // raised forms: ª º and the modifier circumflex
constexpr std::uint8_t kAcute = 0x0E;
constexpr std::uint8_t kGrave = 0x0F;
constexpr std::uint8_t kCircumflex = 0x12;
constexpr std::uint8_t kDiaeresis = 0x13;
constexpr std::uint8_t kCaron = 0x14;
constexpr std::uint8_t kTilde = 0x19;
constexpr std::uint8_t kRing = 0x1A;
constexpr std::uint8_t kCedilla = 0x1C;
constexpr std::uint8_t kStroke = 0x21;
constexpr std::uint8_t kEth = 0x68;
constexpr std::uint8_t kHook = 0x7B;

struct Pair {
    char16_t ch;
    SortCode code;
};

// Printable ASCII other than digits and letters.
constexpr Pair kPunctuation[] = {
    {u' ', simple(0x07)},   {u'!', simple(0x09)},       {u'"', simple(0x0A)},
    {u'#', simple(0x0C)},   {u'$', simple(0x0E)},       {u'%', simple(0x10)},
    {u'&', simple(0x12)},   {u'\'', unprintable(0x80)}, {u'(', simple(0x14)},
    {u')', simple(0x16)},   {u'*', simple(0x18)},       {u'+', simple(0x2C)},
    {u',', simple(0x1A)},   {u'-', unprintable(0x82)},  {u'.', simple(0x1C)},
    {u'/', simple(0x1E)},   {u':', simple(0x20)},       {u';', simple(0x22)},
    {u'<', simple(0x2E)},   {u'=', simple(0x30)},       {u'>', simple(0x32)},
    {u'?', simple(0x24)},   {u'@', simple(0x26)},       {u'[', simple(0x27)},
    {u'\\', simple(0x29)},  {u']', simple(0x2A)},       {u'^', simple(0x2B02)},
    {u'_', simple(0x2B03)}, {u'`', simple(0x2B07)},     {u'{', simple(0x2B09)},
    {u'|', simple(0x2B0B)}, {u'}', simple(0x2B0D)},     {u'~', simple(0x2B0F)},
};

// U+00A0..U+00BF. Superscript digits sort as the digits.
constexpr SortCode kLatin1Symbols[32] = {
    simple(0x0802), simple(0x2B10),    simple(0x34A6),
    simple(0x34A7), // nbsp ¡ ¢ £
    simple(0x34A8), simple(0x34A9),    simple(0x2B11),
    simple(0x34AA), // ¤ ¥ ¦ §
    simple(0x2B12), simple(0x34AB),    accented(0x4A, kRaised),
    simple(0x3305), // ¨ © ª «
    simple(0x34AC), unprintable(0x83), simple(0x34AD),
    simple(0x2B13), // ¬ soft hyphen ® ¯
    simple(0x34AE), simple(0x3304),    simple(0x3A),
    simple(0x3C), // ° ± ² ³
    simple(0x2B14), simple(0x34AF),    simple(0x34B0),
    simple(0x34B1), // ´ µ ¶ ·
    simple(0x2B15), simple(0x38),      accented(0x64, kRaised),
    simple(0x3307), // ¸ ¹ º »
    simple(0x3712), simple(0x3716),    simple(0x371A),
    simple(0x2B16), // ¼ ½ ¾ ¿
};

// U+00C0..U+00DE; the small letters U+00E0..U+00FE sort the same, except for the division sign.
constexpr SortCode kLatin1Letters[31] = {
    accented(letter('A'), kGrave),
    accented(letter('A'), kAcute),
    accented(letter('A'), kCircumflex),
    accented(letter('A'), kTilde),
    accented(letter('A'), kDiaeresis),
    accented(letter('A'), kRing),
    simple(letter('A') << 8 | letter('E')), // Æ as AE
    accented(letter('C'), kCedilla),
    accented(letter('E'), kGrave),
    accented(letter('E'), kAcute),
    accented(letter('E'), kCircumflex),
    accented(letter('E'), kDiaeresis),
    accented(letter('I'), kGrave),
    accented(letter('I'), kAcute),
    accented(letter('I'), kCircumflex),
    accented(letter('I'), kDiaeresis),
    accented(letter('D'), kEth),
    accented(letter('N'), kTilde),
    accented(letter('O'), kGrave),
    accented(letter('O'), kAcute),
    accented(letter('O'), kCircumflex),
    accented(letter('O'), kTilde),
    accented(letter('O'), kDiaeresis),
    simple(0x3309), // ×
    accented(letter('O'), kStroke),
    accented(letter('U'), kGrave),
    accented(letter('U'), kAcute),
    accented(letter('U'), kCircumflex),
    accented(letter('U'), kDiaeresis),
    accented(letter('Y'), kAcute),
    simple(letter('T') << 8 | letter('H')), // Þ as TH
};

constexpr std::array<SortCode, 256> buildLatin1() {
    std::array<SortCode, 256> t{};
    t[0].kind = SortClass::Ignored;
    // Control characters are unprintable with consecutive codes, except TAB..CR, which sort as
    // blanks of their own before the space.
    for (unsigned c = 0x01; c <= 0x08; ++c)
        t[c] = unprintable(static_cast<std::uint8_t>(c + 2));
    for (unsigned c = 0x09; c <= 0x0D; ++c)
        t[c] = simple(static_cast<std::uint16_t>(0x0800 + c - 6));
    for (unsigned c = 0x0E; c <= 0x1F; ++c)
        t[c] = unprintable(static_cast<std::uint8_t>(c - 3));
    for (const Pair& p : kPunctuation)
        t[p.ch] = p.code;
    for (unsigned d = 0; d < 10; ++d)
        t['0' + d] = simple(static_cast<std::uint16_t>(0x36 + 2 * d));
    for (unsigned l = 0; l < 26; ++l) {
        t['A' + l] = simple(kLetters[l]);
        t['a' + l] = simple(kLetters[l]);
    }
    // DEL and the C1 controls continue the control characters' codes.
    for (unsigned c = 0x7F; c <= 0x9F; ++c)
        t[c] = unprintable(static_cast<std::uint8_t>(c - 0x62));
    for (unsigned c = 0; c < 32; ++c)
        t[0xA0 + c] = kLatin1Symbols[c];
    for (unsigned c = 0; c < 31; ++c) {
        t[0xC0 + c] = kLatin1Letters[c];
        t[0xE0 + c] = kLatin1Letters[c];
    }
    t[0xDF] = simple(letter('S') << 8 | letter('S')); // ß as ss
    t[0xF7] = simple(0x330A);                         // ÷
    t[0xFF] = accented(letter('Y'), kDiaeresis);
    return t;
}

constexpr std::array<SortCode, 256> kLatin1 = buildLatin1();

// The characters Windows-1252 puts at 0x80..0x9F, in code point order.
constexpr Pair kCp1252Extras[] = {
    {u'\u0152', simple(letter('O') << 8 | letter('E'))}, // Œ
    {u'\u0153', simple(letter('O') << 8 | letter('E'))}, // œ
    {u'\u0160', accented(letter('S'), kCaron)},
    {u'\u0161', accented(letter('S'), kCaron)},
    {u'\u0178', accented(letter('Y'), kDiaeresis)},
    {u'\u017D', accented(letter('Z'), kCaron)},
    {u'\u017E', accented(letter('Z'), kCaron)},
    {u'\u0192', accented(letter('F'), kHook)},
    {u'\u02C6', accented(0x2B02, kRaised)}, // modifier circumflex: the caret, raised
    {u'\u02DC', simple(0x2B1C)},
    {u'\u2013', unprintable(0x89)}, // en dash, like the hyphen
    {u'\u2014', unprintable(0x8B)}, // em dash
    {u'\u2018', simple(0x2B37)},
    {u'\u2019', simple(0x2B38)},
    {u'\u201A', simple(0x2B39)},
    {u'\u201C', simple(0x2B3B)},
    {u'\u201D', simple(0x2B3C)},
    {u'\u201E', simple(0x2B3D)},
    {u'\u2020', simple(0x34B3)},
    {u'\u2021', simple(0x34B4)},
    {u'\u2022', simple(0x34B5)},
    {u'\u2026', simple(0x34B9)},
    {u'\u2030', simple(0x34BA)},
    {u'\u2039', simple(0x2B46)},
    {u'\u203A', simple(0x2B47)},
    {u'\u20AC', simple(0x35A1)},
    {u'\u2122', simple(0x6E04)},
};

} // namespace

SortCode generalSortCode(char16_t c) {
    if (c < kLatin1.size())
        return kLatin1[c];
    auto it = std::lower_bound(std::begin(kCp1252Extras), std::end(kCp1252Extras), c,
                               [](const Pair& p, char16_t x) { return p.ch < x; });
    if (it != std::end(kCp1252Extras) && it->ch == c)
        return it->code;
    return SortCode{};
}

} // namespace jet
