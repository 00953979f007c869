// The TAB file looked at before an import: the verification of its first lines, and the
// corrected copies made of a file with extra empty columns, stray line ends or another character
// set.
#include "platform/ScriptedInteraction.h"
#include "support/TempDir.h"
#include "wizard/RemoveExtraFields.h"
#include "wizard/TabVerifier.h"
#include "wizard/TextForm.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
using wizard::decide;
using wizard::scanTabBuffer;
using wizard::TextEncoding;
using wizard::TextForm;
using wizard::Verdict;
using namespace std::string_literals;

namespace {

const std::vector<std::string> kLabels = {"Last Name", "Date of Birth", "  Hire date", "Gender"};

TEST(TabVerifier, DecidesTheFirstFailingCheckInOrder) {
    struct Case {
        const char* file;
        Verdict verdict;
    };
    for (auto [file, verdict] : {
             Case{"a,b,c,d\r\n1,2,3,4\r\n", Verdict::NotTabDelimited},
             Case{"a\tb\tc\td", Verdict::NotTabDelimited}, // no line end in the buffer
             Case{"a\tb\tc\r\nx\t1/1/2000\t\t\r\n", Verdict::FieldCountMismatch},
             Case{"a\tb\tc\td\te\r\n", Verdict::FieldCountMismatch}, // one too many
             Case{"a\tb\tc\td\te\tf\r\n", Verdict::RemovalOffer},    // two too many
             Case{"a\tb\tc\td\r\nx\tyesterday\t\tM\r\n", Verdict::BadDates},
             Case{"a\tb\tc\td\r\n#####\t1/1/2000\t\tM\r\n", Verdict::PoundSigns},
             Case{"a\tb\tc\td\nx\t1/1/2000\t\tM\n", Verdict::Verified},  // bare LF lines
             Case{"a\tb\tc\td\r\nx\t1/1/2000\t\r\n", Verdict::Verified}, // second line is short
             Case{"a\tb\tc\td\r\nx\t1/1/2000\tjunk\t#####\r\n", Verdict::BadDates},
         }) {
        EXPECT_EQ(decide(scanTabBuffer(file, kLabels), kLabels.size()), verdict) << file;
    }

    // Date labels are found in any case, inside words.
    EXPECT_EQ(wizard::initialDateFlags({"Update code", "  Hire DaTe", "Dat e", ""}),
              (std::vector<std::string>{"", "Y", "Y", "N", "N"}));
    std::string garbage; // refused without harm
    for (int i = 0; i < 20000; ++i)
        garbage += static_cast<char>((i * 7919) % 256);
    EXPECT_NE(decide(scanTabBuffer(garbage, kLabels), kLabels.size()), Verdict::Verified);
}

TEST(TabVerifier, ReadsAtMost29999BytesOfALargeFile) {
    TempDir dir;
    writeFile(dir / "small.txt", std::string(29999, 'x'));
    writeFile(dir / "big.txt", std::string(30000, 'y'));
    EXPECT_EQ(wizard::readVerificationBuffer(dir.withSlash() + "SMALL.TXT")->size(), 29999u);
    EXPECT_EQ(wizard::readVerificationBuffer(dir.withSlash() + "big.txt")->size(), 29999u);
    writeFile(dir / "empty.txt", "");
    EXPECT_FALSE(wizard::readVerificationBuffer(dir.withSlash() + "empty.txt"));
    EXPECT_FALSE(wizard::readVerificationBuffer(dir.withSlash() + "missing.txt"));
    // A first line longer than the buffer has no line end in it.
    std::string longLine(40000, 'z');
    longLine[5] = '\t';
    longLine += "\r\n";
    writeFile(dir / "long.txt", longLine);
    auto buffer = wizard::readVerificationBuffer(dir.withSlash() + "long.txt");
    EXPECT_EQ(decide(scanTabBuffer(*buffer, {"a", "b"}), 2), Verdict::NotTabDelimited);
}

struct Outcome {
    std::string copy;
    int failed;
    std::size_t messages;
};

Outcome correct(const std::string& content, std::int64_t fieldCount) {
    TempDir dir;
    writeFile(dir / "staff.txt", content);
    platform::ScriptedInteraction ui;
    std::string path = dir.withSlash() + "staff.txt";
    int failed = 0;
    wizard::RemoveExtraFields(path, fieldCount, failed, ui);
    EXPECT_EQ(path, dir.withSlash() + "staff_Revised.txt");
    EXPECT_EQ(readFile(dir / "staff.txt"), content) << "the source is never changed";
    return {readFile(dir / "staff_Revised.txt"), failed, ui.messages().size()};
}

TEST(RemoveExtraFields, CutsTrailingEmptyFieldsLineByLine) {
    struct Case {
        std::string in;
        std::int64_t fields;
        std::string out;
    };
    for (const auto& c : {
             Case{"a\tb\t\t\t\r\n", 2, "a\tb\r\n"},
             Case{"a\tb\t\t\t\r\nc\td\t\t\t\r\n", 2, "a\tb\r\nc\td\r\n"},
             Case{"a\tb\t\t\rc\td\t\t\r", 2, "a\tb\rc\td\r"},       // bare CR ends a line
             Case{"a\tb\t\t\n\nc\td\t\r\n", 2, "a\tb\n\nc\td\r\n"}, // LF LF ends a line
             Case{"a\tb\t\t\x01\x0F\r\n", 2, "a\tb\r\n"},           // code 15 and below drop
             Case{"x\ty\tz\r\n", 3, "x\ty\tz\r\n"},
             Case{"a\tb\r\n", 5, "a\tb\r\n"},
         }) {
        auto o = correct(c.in, c.fields);
        EXPECT_EQ(o.copy, c.out) << c.in;
        EXPECT_EQ(o.failed, 0) << c.in;
        EXPECT_EQ(o.messages, 0u) << c.in;
    }
}

TEST(RemoveExtraFields, DataBeyondTheStructureFailsAndLeavesThePartialCopy) {
    auto o = correct("a\tb\t\t\r\nc\td\tx\r\nmore\r\n", 2);
    EXPECT_EQ(o.failed, 1);
    EXPECT_EQ(o.copy, "a\tb\r\nc\td");
    EXPECT_EQ(o.messages, 1u);
    // A blank is data too, and a bare LF inside the fields is copied like any character.
    EXPECT_EQ(correct("a\tb\t \r\n", 2).failed, 1);
    EXPECT_EQ(correct("a\nb\tc\t\t\r\n", 2).copy, "a\nb\tc\r\n");
}

TEST(RemoveExtraFields, CutsFourCharactersWhateverTheyAre) {
    EXPECT_EQ(wizard::revisedPath("C:\\data\\staff.txt"), "C:\\data\\staff_Revised.txt");
    EXPECT_EQ(wizard::revisedPath("C:\\data\\payroll"), "C:\\data\\pay_Revised.txt");
    EXPECT_EQ(wizard::revisedPath("abc"), "_Revised.txt");
}

TEST(RemoveExtraFields, ReplacesAnEarlierCopyAndStreamsLargeFiles) {
    TempDir dir;
    std::string line = "1\t2\t3\t\t\t\r\n";
    std::string content;
    for (int i = 0; i < 50000; ++i) // several read chunks, CR LF pairs across their edges
        content += line;
    writeFile(dir / "big.txt", content);
    writeFile(dir / "big_Revised.txt", "stale");
    platform::ScriptedInteraction ui;
    std::string path = dir.withSlash() + "big.txt";
    int failed = 0;
    wizard::RemoveExtraFields(path, 3, failed, ui);
    EXPECT_EQ(failed, 0);
    auto copy = readFile(dir / "big_Revised.txt");
    EXPECT_EQ(copy.size(), 50000u * 7);
    EXPECT_EQ(copy.substr(0, 14), "1\t2\t3\r\n1\t2\t3\r\n");
}

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

// The lines the import reads of a text: one per LF, and a last line without one.
std::int64_t importLines(std::string_view text) {
    return std::count(text.begin(), text.end(), '\n') + (!text.empty() && text.back() != '\n');
}

// A whole text is read eight bytes at a time where it can be; one byte at a time it must come
// out the same, whatever falls at the eight-byte edges. Its line count is the import's.
TEST(TextForm, AWholeTextReadsAsItsBytesOneByOne) {
    const std::string alphabet = "ab\t\r\n\0\xC3\xAB\xEB\x80"s;
    std::mt19937 random(7);
    for (int n = 0; n < 3000; ++n) {
        std::string text(random() % 40, 'x');
        for (char& ch : text)
            if (random() % 4 == 0)
                ch = alphabet[random() % alphabet.size()];
        SCOPED_TRACE(testing::PrintToString(text));
        wizard::TextInspector inspector;
        for (char ch : text)
            inspector.feed(std::string_view(&ch, 1));
        const TextForm one = inspector.finish();
        const TextForm whole = wizard::inspectText(text);
        expectForm(whole, {one.encoding, one.nulLine, one.loneEndLine, one.loneEnds, one.crLineEnds,
                           one.unendedLine});
        EXPECT_EQ(whole.lines, importLines(text));
        EXPECT_EQ(one.lines, importLines(text));
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
