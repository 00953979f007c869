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
    fs::create_symlink(dir / "install" / "tarnfield", dir / "host" / "tarnfield");

    const std::string sep(1, static_cast<char>(fs::path::preferred_separator));
    auto viaLink = app::programFolder((dir / "host" / "tarnfield").string(), "", "/fallback");
    EXPECT_EQ(viaLink, (dir / "host").string() + sep);

    // Started by name, the program is where PATH found it.
    auto viaPath = app::programFolder(
        "tarnfield", (dir / "nowhere").string() + ":" + (dir / "host").string(), "/fallback");
    EXPECT_EQ(viaPath, (dir / "host").string() + sep);
    EXPECT_EQ(app::programFolder("tarnfield", "", "/fallback"), "/fallback" + sep);
}

} // namespace
