// The engine grows no file past what Access opens, and tells which file another program is
// writing.
#include "JetTest.h"
#include "jet/PageFile.h"

namespace {

namespace fs = std::filesystem;
using T = jet::ColumnType;

class FileSizeLimitTest : public testing::Test {
protected:
    void TearDown() override { jet::setFileSizeLimit(jet::kAccessFileLimit); }
    testsupport::TempDir tmp;
};

TEST_F(FileSizeLimitTest, TheFileStopsAtTheLimitWithItsOwnError) {
    EXPECT_EQ(jet::kAccessFileLimit, 2147483648u);
    const auto file = tmp / "grow.mdb";
    jettest::withTable(file, {u"Rows", {{u"Text", T::Text, 255}}, {}}).Close();
    const auto limit = fs::file_size(file) + 6 * 4096;
    jet::setFileSizeLimit(limit);

    auto db = jet::Database::OpenDatabase(file);
    auto rs = db.OpenRecordset("Rows");
    long added = 0;
    bool refused = false;
    try {
        for (; added < 100000; ++added) {
            rs.AddNew();
            rs["Text"] = std::u16string(200, u'a' + static_cast<char16_t>(added % 26));
            rs.Update();
        }
    } catch (const jet::FileSizeLimit& e) {
        refused = true;
        EXPECT_NE(std::string(e.what()).find("grow.mdb: the database would grow past " +
                                             std::to_string(limit) + " bytes"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_TRUE(refused);
    EXPECT_GT(added, 0);
    EXPECT_LE(fs::file_size(file), limit);
    db.Close();
    EXPECT_LE(fs::file_size(file), limit);
}

TEST_F(FileSizeLimitTest, AWriteLockIsSeenFromAnotherOpen) {
    const auto file = tmp / "held.mdb";
    jettest::withTable(file, {u"Rows", {{u"A", T::Long}}, {}}).Close();
    EXPECT_FALSE(jet::lockedByAnother(file));
    EXPECT_FALSE(jet::lockedByAnother(tmp / "missing.mdb"));
    {
        auto reader = jet::Database::OpenDatabase(file, jet::OpenMode::ReadOnly);
        EXPECT_FALSE(jet::lockedByAnother(file)) << "readers take no lock";
    }
    auto writer = jet::Database::OpenDatabase(file, jet::OpenMode::ReadWrite);
    EXPECT_TRUE(jet::lockedByAnother(file));
    writer.Close();
    EXPECT_FALSE(jet::lockedByAnother(file));
}

} // namespace
