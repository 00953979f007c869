#include "hostdata/AccountList.h"

#include "support/HostFiles.h"

#include <gtest/gtest.h>

using records::CountRule;
using testsupport::TempDir;

namespace {

TEST(AccountList, ReadsTheHostsRecordsInFileOrder) {
    TempDir dir;
    testsupport::writeFile(dir / "ACCOUNT.DAT",
                           testsupport::accountRecord("ACME\\", "Acme Inc", 258) +
                               testsupport::accountRecord("  HARBOR\\", "  Harbor  ", -1));
    auto accounts = hostdata::readAccounts(dir.withSlash(), CountRule::Rounded);
    ASSERT_EQ(accounts.size(), 2u);
    EXPECT_EQ(accounts[0].reserved, 258);
    EXPECT_EQ(accounts[0].folderName(), "ACME\\");
    EXPECT_EQ(dir.withSlash() + accounts[0].folderName(), dir.withSlash() + "ACME\\");
    EXPECT_EQ(accounts[0].companyName(), "Acme Inc");
    EXPECT_EQ(accounts[1].reserved, -1);
    EXPECT_EQ(accounts[1].folderName(), "HARBOR\\");
    EXPECT_EQ(accounts[1].companyName(), "Harbor");
    EXPECT_EQ(hostdata::AccountRecord::decode(accounts[1].encode()).company, accounts[1].company);
}

TEST(AccountList, EachReaderCountsByItsOwnRule) {
    TempDir dir;
    EXPECT_EQ(hostdata::countAccounts(dir.withSlash(), CountRule::Rounded), 0) << "no list";
    EXPECT_TRUE(hostdata::readAccounts(dir.withSlash(), CountRule::Rounded).empty());
    testsupport::writeFile(dir / "Account.dat", "");
    EXPECT_EQ(hostdata::countAccounts(dir.withSlash(), CountRule::Rounded), 0) << "empty list";
    testsupport::writeFile(dir / "Account.dat",
                           testsupport::accountRecord("A\\", "A", 1) + std::string(51, ' '));
    EXPECT_EQ(hostdata::countAccounts(dir.withSlash(), CountRule::Rounded), 2);
    EXPECT_EQ(hostdata::countAccounts(dir.withSlash(), CountRule::WholePart), 1);
    // The half record counted by rounding reads as blanks beyond the end.
    auto second = hostdata::readAccount(dir.withSlash(), 2);
    EXPECT_EQ(second.folderName(), "");
    EXPECT_EQ(second.companyName(), "");
    EXPECT_EQ(hostdata::readAccounts(dir.withSlash(), CountRule::Rounded).size(), 2u);
}

} // namespace
