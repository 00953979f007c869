// The page cache: bounded size, pages held by callers stay valid, changed pages survive
// eviction and reopening.
#include "jet/PageFile.h"

#include "JetTest.h"
#include "jet/Error.h"

namespace fs = std::filesystem;
using namespace jet;

namespace {

// A database of well over a hundred pages, built once.
const fs::path& manyPages() {
    static testsupport::TempDir tmp;
    static const fs::path file = [] {
        const fs::path f = tmp / "pages.mdb";
        auto db = jettest::withTable(f, {u"T", {{u"Text", ColumnType::Text, 255}}, {}});
        jettest::addRows(db, "T",
                         std::vector<jettest::Row>(3000, {{"Text", std::u16string(200, u'p')}}));
        db.Close();
        return f;
    }();
    return file;
}

TEST(JetPageCache, StaysWithinItsBoundAndKeepsHeldPages) {
    PageFile f(manyPages(), OpenMode::ReadOnly, 16);
    ASSERT_GT(f.pageCount(), 100u);
    auto held = f.page(5);
    for (std::uint32_t p = 0; p < f.pageCount(); ++p) {
        auto page = f.page(p);
        ASSERT_EQ(page->number, p);
        ASSERT_EQ(page->bytes.size(), 4096u);
        EXPECT_LE(f.cachedPages(), 16u);
    }
    // Still the same object: a second copy could diverge once pages are written.
    EXPECT_EQ(f.page(5).get(), held.get());
    const std::size_t before = f.reads();
    f.page(f.pageCount() - 1);
    EXPECT_EQ(f.reads(), before) << "the most recent page should be cached";
    EXPECT_THROW(f.page(f.pageCount()), Error);
    EXPECT_THROW(f.writablePage(3), Error) << "read-only";
    EXPECT_THROW(f.appendPage(), Error) << "read-only";
}

TEST(JetPageCache, ChangedPagesAreWrittenOnEvictionAndClose) {
    testsupport::TempDir tmp;
    const fs::path copy = jettest::writableCopy(tmp, manyPages());
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
    const std::string before = testsupport::readFile(manyPages());
    const std::string after = testsupport::readFile(copy);
    ASSERT_EQ(after.size(), before.size() + 4096);
    EXPECT_EQ(static_cast<std::uint8_t>(after[20 * 4096 + 100]),
              static_cast<std::uint8_t>(before[20 * 4096 + 100] ^ 0xFF));
    EXPECT_EQ(static_cast<std::uint8_t>(after[21 * 4096 + 200]),
              static_cast<std::uint8_t>(before[21 * 4096 + 200] ^ 0xFF));
    EXPECT_EQ(after[static_cast<std::size_t>(appended) * 4096], 0x01);
}

} // namespace
