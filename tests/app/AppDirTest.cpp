#include "app/AppDir.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

TEST(AppDir, TheProgramIsWhereItWasStartedOrWherePathFoundIt) {
    testsupport::TempDir dir;
    fs::create_directories(dir / "install");
    fs::create_directories(dir / "host");
    testsupport::writeFile(dir / "install" / "tarnfield", "binary");
    testsupport::writeFile(dir / "host" / "tarnfield", "binary");
    const std::string sep(1, static_cast<char>(fs::path::preferred_separator));
#ifdef _WIN32
    const char* listSeparator = ";";
#else
    const char* listSeparator = ":";
#endif
    // Started by name: the first folder of the search path that holds it.
    EXPECT_EQ(app::programFolder(
                  "tarnfield", (dir / "nowhere").string() + listSeparator + (dir / "host").string(),
                  "/fallback"),
              (dir / "host").string() + sep);
    EXPECT_EQ(app::programFolder("tarnfield", "", "/fallback"),
              fs::path("/fallback").make_preferred().string() + sep);
    // A link in the host folder counts as being there.
    fs::remove(dir / "host" / "tarnfield");
    std::error_code ec;
    fs::create_symlink(dir / "install" / "tarnfield", dir / "host" / "tarnfield", ec);
    if (ec)
        GTEST_SKIP() << "no symbolic links here: " << ec.message();
    EXPECT_EQ(app::programFolder((dir / "host" / "tarnfield").string(), "", "/fallback"),
              (dir / "host").string() + sep);
}

} // namespace
