#include "wizard/TextForm.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
using wizard::TextEncoding;
using wizard::TextForm;

using namespace std::string_literals;

namespace {

std::string utf16(std::string_view utf8Text, bool bigEndian = false) {
    return testsupport::utf16File(utf8Text, bigEndian);
}

struct Expected {
    TextEncoding encoding = TextEncoding::Ansi;
    std::int64_t nulLine = 0, loneEndLine = 0, loneEnds = 0;
    bool crLineEnds = false;
    std::int64_t unendedLine = 0;
};

void expectForm(const TextForm& f, const Expected& e) {
    EXPECT_EQ(f.encoding, e.encoding);
    EXPECT_EQ(f.nulLine, e.nulLine);
    EXPECT_EQ(f.loneEndLine, e.loneEndLine);
    EXPECT_EQ(f.loneEnds, e.loneEnds);
    EXPECT_EQ(f.crLineEnds, e.crLineEnds);
    EXPECT_EQ(f.unendedLine, e.unendedLine);
}

TEST(TextForm, RecognisesLineEndsCharacterSetsAndNuls) {
    using E = TextEncoding;
    struct Case {
        std::string bytes;
        Expected form;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"a\tb\r\nc\td\r\n", {}},
        {"", {}},
        {"a\tb\nc\td\n", {E::Ansi, 0, 1, 2}},
        {"a\tb\r\nc\td\nx\r\ny\n", {E::Ansi, 0, 2, 2}},
        {"a\tb\r\nc\td", {E::Ansi, 0, 0, 0, false, 2}},
        {"a\tb\r\nc\td\r", {E::Ansi, 0, 0, 0, false, 2}},      // CR without its LF
        {"a\tb\r\nc\rd\r\n", {}},                                // a CR alone inside a field
        {"a\tb\rc\td\r", {E::Ansi, 0, 1, 2, true}},             // an old Mac's text
        {"a\tb\rc\td", {E::Ansi, 0, 1, 1, true, 2}},
        {"a\r\nb\0c\r\n"s, {E::Ansi, 2}},
        {"a\rb\rc\0"s, {E::Ansi, 3, 1, 2, true, 3}},
        {"a\0\t\0b\0\r\0\n\0"s, {E::Ansi, 1, 1, 1, false, 2}}, // UTF-16 without its mark
        {"Zo\xC3\xAB\tM\r\n", {E::Utf8}},
        {"Zo\xEB\tM\r\n", {}},                                  // Windows-1252
        {"\xEF\xBB\xBFZoe\r\n", {E::Utf8Bom}},
        {"\xEF\xBB\xBFZo\xC3\xAB\nx", {E::Utf8Bom, 0, 1, 1, false, 2}},
        {"Zo\xC3", {E::Ansi, 0, 0, 0, false, 1}},               // cut off: not UTF-8
        {"\xED\xA0\x80\r\n", {}},                               // a surrogate is not UTF-8
        {utf16("Zoë\t€\r\n"), {E::Utf16Le}},
        {utf16("a\tb\nc", true), {E::Utf16Be, 0, 1, 1, false, 2}},
        {utf16("a\r\nb\0c\r\n"s), {E::Utf16Le, 2}},
        {utf16("ab") + "\x41", {E::Utf16Le, 0, 0, 0, false, 1}}, // half a character at the end
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        expectForm(wizard::inspectText(c.bytes), c.form);
        // The window reads the file in pieces; any division gives the same answer.
        for (std::size_t piece : {1u, 2u, 3u}) {
            wizard::TextInspector inspector;
            for (std::size_t at = 0; at < c.bytes.size(); at += piece)
                inspector.feed(std::string_view(c.bytes).substr(at, piece));
            expectForm(inspector.finish(), c.form);
        }
    }
}

std::string revise(const std::string& content, std::string* path = nullptr) {
    TempDir dir;
    writeFile(dir / "staff.txt", content);
    std::string at = dir.withSlash() + "staff.txt";
    auto form = wizard::inspectTextFile(at);
    EXPECT_TRUE(form);
    wizard::ReviseText(at, *form);
    EXPECT_EQ(at, dir.withSlash() + "staff_Revised.txt");
    EXPECT_EQ(readFile(dir / "staff.txt"), content) << "the source is never changed";
    if (path)
        *path = at;
    return readFile(dir / "staff_Revised.txt");
}

TEST(TextForm, TheCorrectedCopyIsWindowsTextWithCrLfLineEnds) {
    struct Case {
        std::string in, out;
    };
    for (const auto& c : std::vector<Case>{
             {"a\tb\nc\td", "a\tb\r\nc\td\r\n"},
             {"a\tb\r\nc\td\n\n", "a\tb\r\nc\td\r\n\r\n"},
             {"a\tb\r\nc\rd\r\ne\r", "a\tb\r\nc\rd\r\ne\r\n"},
             {"a\tb\rc\td\r", "a\tb\r\nc\td\r\n"},
             {"a\tb\rc", "a\tb\r\nc\r\n"},
             {"\xEF\xBB\xBFZo\xC3\xAB\n", "Zo\xEB\r\n"},
             {"Zo\xC3\xAB \xE2\x82\xAC \xD0\x96\r\n", "Zo\xEB \x80 ?\r\n"},
             {utf16("Zoë\t€\tЖ😀.\r\n"), "Zo\xEB\t\x80\t??.\r\n"}, // a pair is one character
             {utf16("Zoë\r\nx", true), "Zo\xEB\r\nx\r\n"},
             {utf16("x") + "\x41", "x?\r\n"},
         }) {
        EXPECT_EQ(revise(c.in), c.out) << testing::PrintToString(c.in);
    }
}

TEST(TextForm, LargeFilesAreConvertedAcrossTheReadPieces) {
    // Lines of changing length put multi-byte characters and surrogate pairs across the edges
    // of the pieces the copy is read in.
    std::string utf8Text, expected;
    for (int i = 0; i < 20000; ++i) {
        utf8Text += "Zoë😀\tx" + std::string(i % 3, 'a') + "\n";
        expected += "Zo\xEB?\tx" + std::string(i % 3, 'a') + "\r\n";
    }
    EXPECT_EQ(revise(utf8Text), expected);
    EXPECT_EQ(revise(utf16(utf8Text)), expected);
    EXPECT_EQ(revise(utf16(utf8Text, true)), expected);
}

TEST(TextForm, TheOfferNamesTheCopyAndWhatANoLeadsTo) {
    TextForm form;
    form.unendedLine = 9;
    auto offer = wizard::revisionOffer(form, "C:\\data\\staff.txt").text;
    EXPECT_NE(offer.find("corrected copy, staff_Revised.txt, and use"), std::string::npos);
    EXPECT_NE(offer.find("the import log names every field and record"), std::string::npos);
    EXPECT_EQ(offer.find("character set"), std::string::npos);
    form.encoding = TextEncoding::Utf16Le;
    offer = wizard::revisionOffer(form, "C:\\data\\staff.txt").text;
    EXPECT_NE(offer.find("\"?\" for any character"), std::string::npos);
    EXPECT_EQ(offer.find("verified as it is"), std::string::npos) << "UTF-16 cannot be";
}

} // namespace
