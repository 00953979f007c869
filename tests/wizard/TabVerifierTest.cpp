#include "wizard/TabVerifier.h"

#include "platform/ScriptedInteraction.h"
#include "support/TempDir.h"
#include "wizard/RemoveExtraFields.h"

#include <gtest/gtest.h>

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;
using wizard::decide;
using wizard::scanTabBuffer;
using wizard::Verdict;

namespace {

const std::vector<std::string> kLabels = {"Last Name", "Date of Birth", "  Hire date", "Gender"};

TEST(TabVerifier, AGoodFileReadsBothLinesAndPasses) {
    auto scan =
        scanTabBuffer("Name\tDOB\tHired\tSex\r\nSmith\t1/5/1970\t\tM\r\nnext\t\t\t\r\n", kLabels);
    EXPECT_EQ(scan.tabs, 3);
    EXPECT_EQ(scan.line, 2);
    EXPECT_EQ(scan.recordText[1], "Name, DOB, Hired, Sex\r\n");
    EXPECT_EQ(scan.recordText[2], "Smith, 1/5/1970, , M\r\n");
    EXPECT_EQ(scan.dateFlags, (std::vector<std::string>{"", "N", "Y", "Y", "N"}));
    EXPECT_EQ(decide(scan, kLabels.size()), Verdict::Verified);
    // Date labels are found in any case, inside words.
    EXPECT_EQ(wizard::initialDateFlags({"Update code", "  Hire DaTe", "Dat e", ""}),
              (std::vector<std::string>{"", "Y", "Y", "N", "N"}));
}

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
}

TEST(TabVerifier, PoundSignsInADateFieldAreFlaggedAsPoundSigns) {
    auto scan = scanTabBuffer("a\tb\tc\td\r\nx\t#####\tlater\tM\r\n", kLabels);
    EXPECT_TRUE(scan.badDate);
    EXPECT_TRUE(scan.pound);
    EXPECT_EQ(scan.dateFlags[2], "#");
    EXPECT_EQ(scan.dateFlags[3], "W");
    EXPECT_EQ(wizard::flaggedFieldList(kLabels, scan.dateFlags, "W"), " Hire date");
    EXPECT_EQ(wizard::flaggedFieldList(kLabels, scan.dateFlags, "#"), " Date of Birth");
    EXPECT_EQ(wizard::flaggedFieldList(kLabels, {"", "W", "N", "W", "W"}, "W"),
              " Last Name, Hire date, Gender");
    EXPECT_EQ(wizard::flaggedFieldList(kLabels, scan.dateFlags, "X"), " ");
}

TEST(TabVerifier, ReadsAtMost29999BytesOfALargeFile) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "small.txt", std::string(29999, 'x'));
    testsupport::writeFile(dir / "big.txt", std::string(30000, 'y'));
    EXPECT_EQ(wizard::readVerificationBuffer(dir.withSlash() + "SMALL.TXT")->size(), 29999u);
    EXPECT_EQ(wizard::readVerificationBuffer(dir.withSlash() + "big.txt")->size(), 29999u);
    testsupport::writeFile(dir / "empty.txt", "");
    EXPECT_FALSE(wizard::readVerificationBuffer(dir.withSlash() + "empty.txt"));
    EXPECT_FALSE(wizard::readVerificationBuffer(dir.withSlash() + "missing.txt"));

    // A first line longer than the buffer has no line end in it.
    std::string longLine(40000, 'z');
    longLine[5] = '\t';
    longLine += "\r\n";
    testsupport::writeFile(dir / "long.txt", longLine);
    auto buffer = wizard::readVerificationBuffer(dir.withSlash() + "long.txt");
    EXPECT_EQ(decide(scanTabBuffer(*buffer, {"a", "b"}), 2), Verdict::NotTabDelimited);
}

TEST(TabVerifier, BinaryGarbageIsRefusedWithoutHarm) {
    std::string garbage;
    for (int i = 0; i < 20000; ++i)
        garbage += static_cast<char>((i * 7919) % 256);
    auto scan = scanTabBuffer(garbage, kLabels);
    EXPECT_NE(decide(scan, kLabels.size()), Verdict::Verified);
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

} // namespace
