#include "wizard/RemoveExtraFields.h"

#include "platform/ScriptedInteraction.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

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
