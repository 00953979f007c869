// Byte-range locks on record files, as the host's programs take them: a writer's lock keeps
// readers out of its bytes only, and only while it is held.
#include "platform/RecordLock.h"

#include "platform/RecordFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using platform::RecordLock;
using Kind = platform::RecordLock::Kind;
using namespace std::chrono_literals;

namespace {

TEST(RecordLock, AWritersLockKeepsOthersOutOfItsBytesUntilReleased) {
    testsupport::TempDir dir;
    const fs::path file = dir / "COMPANY.DAT";
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
    EXPECT_TRUE(after.held());
}

TEST(RecordLock, ReadersShareButKeepAWriterOutAndAMissingFileTakesNoLock) {
    testsupport::TempDir dir;
    const fs::path file = dir / "INSPLAN.DAT";
    testsupport::writeFile(file, std::string(100, 'x'));
    RecordLock first(file, 0, 100, Kind::Shared);
    RecordLock second(file, 0, 100, Kind::Shared, 50ms);
    EXPECT_TRUE(first.held() && second.held());
    EXPECT_THROW(RecordLock(file, 0, 1, Kind::Exclusive, 50ms), records::FileError);
    EXPECT_FALSE(RecordLock(dir / "NOFILE.DAT", 0, 10).held()) << "a missing file takes no lock";
}

} // namespace
