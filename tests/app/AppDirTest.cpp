#include "app/AppDir.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

TEST(AppDir, ALinkInTheHostFolderCountsAsBeingThere) {
    testsupport::TempDir dir;
    fs::create_directories(dir / "install");
    fs::create_directories(dir / "host");
    testsupport::writeFile(dir / "install" / "tarnfield", "binary");
    std::error_code ec;
    fs::create_symlink(dir / "install" / "tarnfield", dir / "host" / "tarnfield", ec);
    if (ec)
        GTEST_SKIP() << "no symbolic links here: " << ec.message();

    const std::string sep(1, static_cast<char>(fs::path::preferred_separator));
    auto viaLink = app::programFolder((dir / "host" / "tarnfield").string(), "", "/fallback");
    EXPECT_EQ(viaLink, (dir / "host").string() + sep);
}

TEST(AppDir, StartedByNameTheProgramIsWherePathFoundIt) {
    testsupport::TempDir dir;
    fs::create_directories(dir / "host");
    testsupport::writeFile(dir / "host" / "tarnfield", "binary");
#ifdef _WIN32
    const char* listSeparator = ";";
#else
    const char* listSeparator = ":";
#endif
    const std::string sep(1, static_cast<char>(fs::path::preferred_separator));
    auto viaPath = app::programFolder(
        "tarnfield", (dir / "nowhere").string() + listSeparator + (dir / "host").string(),
        "/fallback");
    EXPECT_EQ(viaPath, (dir / "host").string() + sep);
    EXPECT_EQ(app::programFolder("tarnfield", "", "/fallback"),
              fs::path("/fallback").make_preferred().string() + sep);
}

} // namespace
