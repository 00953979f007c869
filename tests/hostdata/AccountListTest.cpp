#include "hostdata/AccountList.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

using records::CountRule;
using testsupport::TempDir;

namespace {

// A record as the host writes it, built byte by byte from the layout.
std::string rawAccount(std::int16_t id, const std::string& folder, const std::string& company) {
    std::string r(102, ' ');
    r[0] = static_cast<char>(id & 0xFF);
    r[1] = static_cast<char>((id >> 8) & 0xFF);
    r.replace(2, folder.size(), folder);
    r.replace(52, company.size(), company);
    return r;
}

TEST(AccountList, ReadsTheHostsRecordsInFileOrder) {
    TempDir dir;
    testsupport::writeFile(dir / "ACCOUNT.DAT", rawAccount(258, "ACME\\", "Acme Inc") +
                                                    rawAccount(-1, "  HARBOR\\", "  Harbor  "));
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
    testsupport::writeFile(dir / "Account.dat", rawAccount(1, "A\\", "A") + std::string(51, ' '));
    EXPECT_EQ(hostdata::countAccounts(dir.withSlash(), CountRule::Rounded), 2);
    EXPECT_EQ(hostdata::countAccounts(dir.withSlash(), CountRule::WholePart), 1);
    // The half record counted by rounding reads as blanks beyond the end.
    auto second = hostdata::readAccount(dir.withSlash(), 2);
    EXPECT_EQ(second.folderName(), "");
    EXPECT_EQ(second.companyName(), "");
    EXPECT_EQ(hostdata::readAccounts(dir.withSlash(), CountRule::Rounded).size(), 2u);
}

TEST(AccountList, AMissingOrEmptyListCountsNone) {
    TempDir dir;
    EXPECT_EQ(hostdata::countAccounts(dir.withSlash(), CountRule::Rounded), 0);
    EXPECT_TRUE(hostdata::readAccounts(dir.withSlash(), CountRule::Rounded).empty());
    testsupport::writeFile(dir / "Account.dat", "");
    EXPECT_EQ(hostdata::countAccounts(dir.withSlash(), CountRule::Rounded), 0);
}

} // namespace
