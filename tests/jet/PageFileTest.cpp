// The page cache: bounded size, pages held by callers stay valid, changed pages survive
// eviction and reopening.
#include "jet/PageFile.h"

#include "FixtureDump.h"
#include "jet/Error.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace jet;

namespace {

fs::path bigFixture() {
    return jettest::fixtures() / "access-made/testV2000.mdb";
}

TEST(JetPageCache, StaysWithinItsBoundWhileReadingEveryPage) {
    if (!fs::exists(bigFixture()))
        GTEST_SKIP() << "fixture absent";
    PageFile f(bigFixture(), OpenMode::ReadOnly, 16);
    ASSERT_GT(f.pageCount(), 700u);
    for (std::uint32_t p = 0; p < f.pageCount(); ++p) {
        auto page = f.page(p);
        ASSERT_EQ(page->number, p);
        ASSERT_EQ(page->bytes.size(), 4096u);
        EXPECT_LE(f.cachedPages(), 16u);
    }
    std::size_t before = f.reads();
    f.page(f.pageCount() - 1);
    EXPECT_EQ(f.reads(), before) << "the most recent page should be cached";
    EXPECT_THROW(f.page(f.pageCount()), Error);
}

TEST(JetPageCache, HeldPagesAreNotDroppedOrDuplicated) {
    if (!fs::exists(bigFixture()))
        GTEST_SKIP() << "fixture absent";
    PageFile f(bigFixture(), OpenMode::ReadOnly, 8);
    auto held = f.page(5);
    for (std::uint32_t p = 10; p < 100; ++p)
        f.page(p);
    // Still the same object: a second copy could diverge once pages are written.
    EXPECT_EQ(f.page(5).get(), held.get());
}

TEST(JetPageCache, ChangedPagesAreWrittenOnEvictionAndClose) {
    if (!fs::exists(bigFixture()))
        GTEST_SKIP() << "fixture absent";
    testsupport::TempDir tmp;
    fs::path copy = tmp / "copy.mdb";
    fs::copy_file(bigFixture(), copy);
    fs::permissions(copy, fs::perms::owner_write, fs::perm_options::add);
    std::uint32_t appended;
    {
        PageFile f(copy, OpenMode::ReadWrite, 8);
        f.writablePage(20)->bytes[100] ^= 0xFF;
        for (std::uint32_t p = 30; p < 60; ++p) // pushes page 20 out of the cache
            f.page(p);
        f.writablePage(21)->bytes[200] ^= 0xFF; // stays cached until close
        auto added = f.appendPage();
        added->bytes[0] = 0x01;
        appended = added->number;
        f.close();
        EXPECT_THROW(f.page(0), Error);
    }
    std::string before = testsupport::readFile(bigFixture());
    std::string after = testsupport::readFile(copy);
    ASSERT_EQ(after.size(), before.size() + 4096);
    EXPECT_EQ(static_cast<std::uint8_t>(after[20 * 4096 + 100]),
              static_cast<std::uint8_t>(before[20 * 4096 + 100] ^ 0xFF));
    EXPECT_EQ(static_cast<std::uint8_t>(after[21 * 4096 + 200]),
              static_cast<std::uint8_t>(before[21 * 4096 + 200] ^ 0xFF));
    EXPECT_EQ(after[static_cast<std::size_t>(appended) * 4096], 0x01);
}

TEST(JetPageCache, ReadOnlyFilesRefuseChanges) {
    if (!fs::exists(bigFixture()))
        GTEST_SKIP() << "fixture absent";
    PageFile f(bigFixture(), OpenMode::ReadOnly);
    EXPECT_THROW(f.writablePage(3), Error);
    EXPECT_THROW(f.appendPage(), Error);
}

} // namespace
