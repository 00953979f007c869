// The platform layer the rest stands on: dates as the import files write them, the
// Windows-1252 text everything arrives in, host paths found in any letter case, and the host's
// fixed-length record files with the byte-range locks its programs take on them.
#include "platform/Ansi.h"
#include "platform/Dates.h"
#include "platform/HostPath.h"
#include "platform/RecordFile.h"
#include "platform/RecordLock.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using dates::Date;
using dates::parseDate;
using platform::RecordLock;
using records::countRecords;
using records::CountRule;
using records::Record;
using records::RecordFile;
using testsupport::TempDir;
using testsupport::writeFile;
using Kind = platform::RecordLock::Kind;
using namespace std::chrono_literals;

namespace {

// The century of a two-digit year is tried in ValueRules.DatesAndRetirementDates.
TEST(Dates, RecognisesUsDatesInTheirCommonForms) {
    struct Case {
        const char* text;
        Date date;
    };
    for (auto [text, date] :
         {Case{"1/15/2005", {2005, 1, 15}}, Case{"01/05/2001", {2001, 1, 5}},
          Case{" 12/31/1999 ", {1999, 12, 31}}, Case{"2-29-2000", {2000, 2, 29}},
          Case{"2005-01-15", {2005, 1, 15}}, Case{"15-Jan-05", {2005, 1, 15}},
          Case{"January 15, 2005", {2005, 1, 15}}, Case{"15 SEPT 2005", {2005, 9, 15}},
          Case{"dec. 1 2010", {2010, 12, 1}}}) {
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

// parseDate reads the plain numeric forms by a shortcut of its own: on every text near those
// forms it must answer exactly as the general reading does.
TEST(Dates, TheShortcutAnswersAsTheGeneralReading) {
    const std::vector<std::string> numbers = {
        "",     "0",    "1",    "2",    "9",    "00",   "01",    "02",   "09",   "12",
        "13",   "28",   "29",   "30",   "31",   "32",   "99",    "100",  "0099", "0100",
        "1900", "1970", "2000", "2004", "2100", "9999", "00001", "12345"};
    const std::vector<std::pair<std::string, std::string>> separators = {
        {"/", "/"}, {"-", "-"}, {".", "."},  {"/", "-"},
        {" ", " "}, {",", ","}, {"//", "/"}, {"", "/"}};
    const std::vector<std::pair<std::string, std::string>> around = {{"", ""},
                                                                     {" ", "  "},
                                                                     {"", "x"},
                                                                     {"\t", ""},
                                                                     {"/", ""},
                                                                     {"", "."},
                                                                     {"", std::string(1, '\0')}};
    int found = 0;
    for (const auto& a : numbers)
        for (const auto& b : numbers)
            for (const auto& c : numbers)
                for (const auto& [s1, s2] : separators)
                    for (const auto& [before, after] : around) {
                        const std::string text = before + a + s1 + b + s2 + c + after;
                        const auto fast = parseDate(text);
                        ASSERT_EQ(fast, dates::parseDateGeneral(text)) << text;
                        found += fast.has_value();
                    }
    EXPECT_GT(found, 10000) << "the texts cover dates, not only refusals";
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
    EXPECT_EQ(dates::formatUs({100, 1, 1}), "01/01/0100");
    EXPECT_EQ(dates::formatUs({999, 12, 31}), "12/31/0999");
    EXPECT_EQ(dates::formatUs({1000, 10, 9}), "10/09/1000");
    EXPECT_EQ(dates::formatUs({9999, 12, 31}), "12/31/9999");
    EXPECT_EQ(dates::formatUs({-12345, 1, 123}), "01/123/-12345");
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

// Whether the file system tells names apart by letter case (Windows' does not: there any
// spelling of an existing name is that name, and the resolver may keep the one written).
bool caseSensitive(const TempDir& dir) {
    writeFile(dir / "case-probe", "");
    const bool sensitive = !fs::exists(dir / "CASE-PROBE");
    fs::remove(dir / "case-probe");
    return sensitive;
}

// The same path to this file system.
::testing::AssertionResult samePath(const fs::path& got, const fs::path& want, bool sensitive) {
    const bool same =
        sensitive ? got == want
                  : hostpath::sameName(hostpath::fromNative(got), hostpath::fromNative(want));
    if (same)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << got << " is not " << want;
}

TEST(HostPath, FindsNamesInAnyLetterCaseAndKeepsWhatDoesNotExistAsWritten) {
    TempDir dir;
    const bool sensitive = caseSensitive(dir);
    fs::create_directory(dir / "ACME");
    fs::create_directory(dir / "Restore");
    writeFile(dir / "ACME" / "COMPANY.DAT", "x");
    writeFile(dir / "ACCOUNT.DAT", "y");
    writeFile(dir.path() / fs::path(u8"Caf\u00e9.txt"), "x");
    const auto base = dir.withSlash();

    EXPECT_TRUE(samePath(hostpath::resolve(base + "Account.dat"), dir / "ACCOUNT.DAT", sensitive));
    EXPECT_TRUE(samePath(hostpath::resolve(base + "acme\\Company.dat"),
                         dir / "ACME" / "COMPANY.DAT", sensitive));
    EXPECT_TRUE(samePath(hostpath::resolve(base + "Acme/company.DAT"), dir / "ACME" / "COMPANY.DAT",
                         sensitive));
    EXPECT_TRUE(hostpath::isFile(base + "aCmE\\cOmPaNy.DaT"));
    EXPECT_TRUE(hostpath::isDirectory(base + "acme\\"));
    EXPECT_EQ(hostpath::fileLength(base + "account.DAT"), 1u);
    // Windows-1252 names reach the file system.
    EXPECT_TRUE(hostpath::isFile(base + "CAF\xC9.TXT"));
    EXPECT_EQ(hostpath::fromNative(fs::path(u8"Caf\u00e9")), "Caf\xE9");
    // What does not exist keeps its spelling, so that it can be created.
    auto p = hostpath::resolve(base + "restore\\New Folder\\Name.DAT");
    EXPECT_TRUE(samePath(p, dir / "Restore" / "New Folder" / "Name.DAT", sensitive));
    EXPECT_FALSE(hostpath::exists(base + "restore\\New Folder\\Name.DAT"));
    EXPECT_EQ(hostpath::fileLength(base + "Restore"), std::nullopt);
}

TEST(HostPath, PrefersTheExactNameAndOtherwiseTheFirstInNameOrder) {
    TempDir dir;
    if (!caseSensitive(dir))
        GTEST_SKIP() << "names differing only in letter case cannot live side by side here";
    writeFile(dir / "insplan.dat", "a");
    writeFile(dir / "INSPLAN.DAT", "b");
    writeFile(dir / "Insplan.dat", "c");
    const auto base = dir.withSlash();
    EXPECT_EQ(hostpath::resolve(base + "Insplan.dat"), dir / "Insplan.dat");
    EXPECT_EQ(hostpath::resolve(base + "InsPlan.Dat"), dir / "INSPLAN.DAT");
}

TEST(HostPath, TheFolderPartKeepsItsLastSeparatorOfEitherKind) {
    EXPECT_EQ(hostpath::folderOf("C:\\HOST\\ACME/update.zip"), "C:\\HOST\\ACME/");
    EXPECT_EQ(hostpath::folderOf("/data/march\\staff.txt"), "/data/march\\");
    EXPECT_EQ(hostpath::folderOf("staff.txt"), "");
}

TEST(RecordFile, CountsByRoundingHalfToEvenOrByWholePart) {
    struct Case {
        std::uint64_t length;
        std::int64_t rounded, whole;
    };
    // 102-byte records: 153 bytes is one and a half records.
    for (auto c : {Case{0, 0, 0}, Case{51, 0, 0}, Case{52, 1, 0}, Case{101, 1, 0}, Case{102, 1, 1},
                   Case{153, 2, 1}, Case{255, 2, 2}, Case{256, 3, 2}, Case{357, 4, 3},
                   Case{102ull * 40000, 40000, 40000}}) {
        EXPECT_EQ(countRecords(c.length, 102, CountRule::Rounded), c.rounded) << c.length;
        EXPECT_EQ(countRecords(c.length, 102, CountRule::WholePart), c.whole) << c.length;
    }
}

TEST(RecordFile, APartialRecordReadsAsBlanksAndZerosAndNoFieldLiesOutside) {
    TempDir dir;
    writeFile(dir / "f.dat", std::string("\x07\x00"
                                         "AB",
                                         4));
    RecordFile file(dir / "f.dat", 10, RecordFile::Mode::Read);
    Record r = file.read(1);
    EXPECT_EQ(r.present(), 4u);
    EXPECT_EQ(r.i16(0), 7);
    EXPECT_EQ(r.text(2, 6), "AB    ");
    EXPECT_EQ(r.i32(4), 0) << "bytes past the end read as zero for numbers";
    EXPECT_EQ(file.read(5).text(0, 10), std::string(10, ' '));
    // Fields outside the record are refused.
    EXPECT_THROW(Record(4).text(2, 3), std::out_of_range);
    EXPECT_THROW(Record(4).i32(1), std::out_of_range);
}

TEST(RecordFile, WritesRecordNAtItsPlaceAndOnlyAWriterCreatesAMissingFile) {
    TempDir dir;
    RecordFile file(dir / "new.dat", 6, RecordFile::Mode::ReadWrite);
    EXPECT_TRUE(std::filesystem::exists(dir / "new.dat"));
    EXPECT_EQ(file.count(CountRule::Rounded), 0);
    Record r(6);
    r.setText(0, 6, "second");
    file.write(2, r);
    r.setText(0, 6, "one");
    file.write(1, r);
    file.close();
    EXPECT_EQ(testsupport::readFile(dir / "new.dat"), "one   second");

    RecordFile missing(dir / "none.dat", 102, RecordFile::Mode::Read);
    EXPECT_EQ(missing.count(CountRule::Rounded), 0);
    EXPECT_EQ(missing.read(1).present(), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir / "none.dat"));
    EXPECT_THROW(missing.write(1, Record(102)), records::FileError);
}

TEST(RecordLock, AWriterExcludesOthersFromItsBytesOnlyAndReadersShare) {
    TempDir dir;
    const auto file = dir / "COMPANY.DAT";
    writeFile(file, std::string(200, 'x'));
    {
        RecordLock writer(file, 0, 100, Kind::Exclusive);
        ASSERT_TRUE(writer.held());
        EXPECT_THROW(RecordLock(file, 50, 10, Kind::Shared, 50ms), records::FileError);
        EXPECT_THROW(RecordLock(file, 99, 10, Kind::Exclusive, 50ms), records::FileError);
        RecordLock nextRecord(file, 100, 100, Kind::Exclusive, 50ms);
        EXPECT_TRUE(nextRecord.held());
    }
    RecordLock after(file, 0, 100, Kind::Exclusive, 50ms);
    EXPECT_TRUE(after.held()) << "released with its holder";

    const auto plans = dir / "INSPLAN.DAT";
    writeFile(plans, std::string(100, 'x'));
    RecordLock first(plans, 0, 100, Kind::Shared);
    RecordLock second(plans, 0, 100, Kind::Shared, 50ms);
    EXPECT_TRUE(first.held() && second.held());
    EXPECT_THROW(RecordLock(plans, 0, 1, Kind::Exclusive, 50ms), records::FileError);
    EXPECT_FALSE(RecordLock(dir / "NOFILE.DAT", 0, 10).held()) << "a missing file takes no lock";
}

} // namespace
