#include "platform/HostPath.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

TEST(HostPath, FindsNamesInAnyLetterCaseWithEitherSeparator) {
    TempDir dir;
    fs::create_directory(dir / "ACME");
    writeFile(dir / "ACME" / "COMPANY.DAT", "x");
    writeFile(dir / "ACCOUNT.DAT", "y");
    const auto base = dir.withSlash();

    EXPECT_EQ(hostpath::resolve(base + "Account.dat"), dir / "ACCOUNT.DAT");
    EXPECT_EQ(hostpath::resolve(base + "acme\\Company.dat"), dir / "ACME" / "COMPANY.DAT");
    EXPECT_EQ(hostpath::resolve(base + "Acme/company.DAT"), dir / "ACME" / "COMPANY.DAT");
    EXPECT_TRUE(hostpath::isFile(base + "aCmE\\cOmPaNy.DaT"));
    EXPECT_TRUE(hostpath::isDirectory(base + "acme\\"));
    EXPECT_EQ(hostpath::fileLength(base + "account.DAT"), 1u);
}

TEST(HostPath, KeepsWhatDoesNotExistAsWrittenSoItCanBeCreated) {
    TempDir dir;
    fs::create_directory(dir / "Restore");
    auto p = hostpath::resolve(dir.withSlash() + "restore\\New Folder\\Name.DAT");
    EXPECT_EQ(p, dir / "Restore" / "New Folder" / "Name.DAT");
    EXPECT_FALSE(hostpath::exists(dir.withSlash() + "restore\\New Folder\\Name.DAT"));
    EXPECT_EQ(hostpath::fileLength(dir.withSlash() + "Restore"), std::nullopt);
}

TEST(HostPath, PrefersTheExactNameAndOtherwiseTheFirstInNameOrder) {
    TempDir dir;
    writeFile(dir / "insplan.dat", "a");
    writeFile(dir / "INSPLAN.DAT", "b");
    writeFile(dir / "Insplan.dat", "c");
    const auto base = dir.withSlash();
    EXPECT_EQ(hostpath::resolve(base + "Insplan.dat"), dir / "Insplan.dat");
    EXPECT_EQ(hostpath::resolve(base + "InsPlan.Dat"), dir / "INSPLAN.DAT");
}

TEST(HostPath, CarriesWindows1252NamesToTheFileSystem) {
    TempDir dir;
    writeFile(dir.path() / fs::path(u8"Caf\u00e9.txt"), "x");
    EXPECT_TRUE(hostpath::isFile(dir.withSlash() + "CAF\xC9.TXT"));
    EXPECT_EQ(hostpath::fromNative(fs::path(u8"Caf\u00e9")), "Caf\xE9");
}

} // namespace
