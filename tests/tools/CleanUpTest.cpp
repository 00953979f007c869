#include "tools/CleanUp.h"

#include "support/HostFiles.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testsupport::writeFile;

namespace {

TEST(CleanUp, TheNameRuleTakesFourCharactersOffWhateverTheyAre) {
    struct Case {
        const char* name;
        bool unneeded;
    };
    for (auto [name, unneeded] :
         {Case{"1.dat", true}, Case{"1999.DAT", true}, Case{"7x9.dat", true}, Case{"123dat", true},
          Case{"0.Dat", true}, Case{"a1.dat", false}, Case{"1a.dat", false},
          Case{"Company.dat", false}, Case{".dat", false}, Case{"1dat", false},
          Case{"12.tmp", false}, Case{"INSPLAN.DAT", false}, Case{"1.data", false}}) {
        EXPECT_EQ(tools::isUnneededFile(name), unneeded) << name;
    }
}

TEST(CleanUp, VisitsEveryAccountAndCountsWhatWent) {
    testsupport::TempDir host;
    testsupport::writeAccounts(host / "Account.dat",
                               {{"ACME\\", ""}, {"acme\\", ""}, {"GONE\\", ""}});
    fs::create_directory(host / "ACME");
    for (const char* name : {"1.dat", "12.tmp", "INSPLAN.DAT", "2006.DAT"})
        writeFile(host / "ACME" / name, "x");
    fs::create_directory(host / "ACME" / "5.dat"); // a folder that matches stays

    std::vector<std::int64_t> progress;
    auto result = tools::cleanAccountFolders(host.withSlash(),
                                             [&](std::int64_t i) { progress.push_back(i); });
    EXPECT_EQ(result.accounts, 3);
    EXPECT_EQ(result.deleted, 2) << "the second visit of the shared folder finds nothing left";
    EXPECT_TRUE(result.notDeleted.empty());
    EXPECT_EQ(progress, (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(result.lastAccountDir, host.withSlash() + "GONE\\");
    EXPECT_TRUE(fs::exists(host / "ACME" / "12.tmp"));
    EXPECT_TRUE(fs::exists(host / "ACME" / "INSPLAN.DAT"));
    EXPECT_TRUE(fs::is_directory(host / "ACME" / "5.dat"));
    EXPECT_FALSE(fs::exists(host / "ACME" / "1.dat"));
}

} // namespace
