#include "platform/HostPath.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

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

} // namespace
