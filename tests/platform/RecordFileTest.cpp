// Fixed-length record files, and the byte-range locks the host's programs take on them: a
// writer's lock keeps readers out of its bytes only, and only while it is held.
#include "platform/RecordFile.h"

#include "platform/RecordLock.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using platform::RecordLock;
using records::countRecords;
using records::CountRule;
using records::Record;
using records::RecordFile;
using testsupport::TempDir;
using Kind = platform::RecordLock::Kind;
using namespace std::chrono_literals;

namespace {

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
    testsupport::writeFile(dir / "f.dat", std::string("\x07\x00"
                                                      "AB",
                                                      4));
    RecordFile file(dir / "f.dat", 10, RecordFile::Mode::Read);
    EXPECT_EQ(file.count(CountRule::Rounded), 0);
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
    testsupport::writeFile(file, std::string(200, 'x'));
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
    testsupport::writeFile(plans, std::string(100, 'x'));
    RecordLock first(plans, 0, 100, Kind::Shared);
    RecordLock second(plans, 0, 100, Kind::Shared, 50ms);
    EXPECT_TRUE(first.held() && second.held());
    EXPECT_THROW(RecordLock(plans, 0, 1, Kind::Exclusive, 50ms), records::FileError);
    EXPECT_FALSE(RecordLock(dir / "NOFILE.DAT", 0, 10).held()) << "a missing file takes no lock";
}

} // namespace
