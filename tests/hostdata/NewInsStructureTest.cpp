// The host's own record files read field by field: the company, the insurance plans in both
// layouts and the account list.
#include "hostdata/NewInsStructure.h"

#include "hostdata/AccountList.h"
#include "platform/RecordLock.h"
#include "support/HostFiles.h"

#include <bit>
#include <cstring>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace hostdata;
using records::CountRule;
using testsupport::encoded;

namespace {

// Byte surgery on a buffer, as another program would lay the record out.
struct Raw {
    explicit Raw(std::size_t size) : bytes(size, ' ') {}
    Raw& text(std::size_t at, const std::string& s) {
        bytes.replace(at, s.size(), s);
        return *this;
    }
    template <typename T>
    Raw& num(std::size_t at, T v) {
        auto u = std::bit_cast<
            std::conditional_t<sizeof(T) == 8, std::uint64_t,
                               std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint16_t>>>(
            v);
        for (std::size_t i = 0; i < sizeof(T); ++i)
            bytes[at + i] = static_cast<char>((u >> (8 * i)) & 0xFF);
        return *this;
    }
    std::string bytes;
};

// Texts joined with '|', so that one comparison shows every field.
template <typename... Text>
std::string joined(const Text&... texts) {
    std::string out;
    ((out += std::string(texts) + "|"), ...);
    return out;
}

TEST(HostData, ReadsTheCompanyRecordFieldByFieldAndWaitsForTheHostsWriteLock) {
    testsupport::TempDir dir;
    Raw r(556);
    r.text(0, std::string(40, 'A')).text(40, "100 Main").text(120, "Dover, DE  19901");
    r.text(160, "Pat Morgan").text(190, "Manager").num(500, 2.5f).num(504, 4.25f);
    testsupport::writeFile(dir / "COMPANY.DAT", r.bytes);
    CompanyRecord c;
    EXPECT_FALSE(ReadCompanyRecord(dir.withSlash(), c, 0)) << "flag 0 reads nothing";
    EXPECT_EQ(c.name, "");
    {
        platform::RecordLock writer(dir / "COMPANY.DAT", 0, 556,
                                    platform::RecordLock::Kind::Exclusive);
        ASSERT_TRUE(writer.held());
        EXPECT_THROW(ReadCompanyRecord(dir.withSlash(), c), records::FileError);
    }
    ASSERT_TRUE(ReadCompanyRecord(dir.withSlash(), c));
    EXPECT_EQ(
        joined(c.name, c.address, c.addressOverflow, c.cityStateZip, c.administrator, c.title),
        std::string(40, 'A') + "|100 Main||Dover, DE  19901|Pat Morgan|Manager|");
    EXPECT_FLOAT_EQ(c.cobraAdminFee, 2.5f);
    EXPECT_FLOAT_EQ(c.disabledAdminFee, 4.25f);
    EXPECT_EQ(encoded(c), r.bytes);
    // A blank record written from the layout: blank texts, zero numbers.
    Raw blank(556);
    blank.num(500, 0.0f).num(504, 0.0f).num<std::int32_t>(508, 0);
    EXPECT_EQ(encoded(CompanyRecord{}), blank.bytes);

    testsupport::writeFile(dir / "COMPANY.DAT", r.bytes.substr(0, 555));
    CompanyRecord untouched;
    untouched.name = "kept";
    EXPECT_FALSE(ReadCompanyRecord(dir.withSlash(), untouched)) << "555 bytes hold no record";
    EXPECT_EQ(untouched.name, "kept");
}

// A current-layout plan laid out byte by byte; insurer number and name tell records apart.
Raw currentPlan(std::int16_t insurer, const std::string& name) {
    Raw cur(24070);
    cur.num<std::int16_t>(0, insurer).text(2, name).text(52, "1 Plaza").text(102, "Hartford");
    cur.text(152, "860-555-0100-ext-12345").text(202, "01/01/2026").text(212, "12/31/2026");
    cur.num<std::int16_t>(222, 5).text(224, "Y").text(225, "N").text(226, "A").text(227, "M");
    cur.num<std::int16_t>(229, 26).num<std::int16_t>(231, 24).num<std::int16_t>(234, 4);
    cur.num<std::int64_t>(236, 125000).num<std::int64_t>(244, 20000).num<std::int64_t>(252, 30000);
    cur.num<std::int64_t>(260, 11507500);
    for (std::size_t e = 0; e < 61; ++e) // every name zero-free, rates zero
        cur.num<std::int64_t>(268 + 48 * e + 40, 0).num<std::int64_t>(3250 + 48 * e + 40, 0);
    cur.text(268, "entry zero").num<std::int64_t>(268 + 40, 990000);
    cur.text(268 + 48, std::string(40, 'N')).num<std::int64_t>(268 + 48 + 40, 1230000);
    cur.text(3196, "01/01/2025").text(3206, "12/31/2025").num<std::int64_t>(3216, 4000000);
    cur.num<std::int64_t>(3224, 1).num<std::int64_t>(3232, 2).num<std::int64_t>(3240, 3);
    cur.num<std::int16_t>(3248, 1);
    cur.text(3250 + 48 * 60, "Last old").num<std::int64_t>(3250 + 48 * 60 + 40, 10000);
    return cur;
}

TEST(HostData, ReadsEveryFieldOfACurrentLayoutPlan) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "INSPLAN.DAT", currentPlan(1, "First").bytes +
                                                    currentPlan(7, "Blue Valley").bytes +
                                                    currentPlan(3, "Third").bytes);
    std::int64_t planCount = -1;
    InsurancePlanRecord p;
    p.header.companyName = "untouched";
    ReadInsurancePlan(dir.withSlash(), 0, planCount, p);
    EXPECT_EQ(planCount, 3);
    EXPECT_EQ(p.header.companyName, "untouched") << "record number 0 only counts";

    ReadInsurancePlan(dir.withSlash(), 2, planCount, p);
    const PlanHeader& h = p.header;
    EXPECT_EQ(joined(h.companyName, h.address, h.cityStateZip, h.phone.substr(0, 22),
                     h.effectiveDate, h.completionDate,
                     h.openEnrollment + h.conversion + h.active + h.planType),
              "Blue Valley|1 Plaza|Hartford|860-555-0100-ext-12345|01/01/2026|12/31/2026|YNAM|");
    EXPECT_EQ((std::array{h.insurerId, h.termRegs, h.dependentTerm, h.studentTerm, h.tierStructure,
                          p.oldTierStructure}),
              (std::array<std::int16_t, 6>{7, 5, 26, 24, 4, 1}));
    EXPECT_EQ(p.rates, (std::array<std::int64_t, 4>{125000, 20000, 30000, 11507500}));
    EXPECT_EQ(p.namedRates[0].name.substr(0, 10), "entry zero");
    EXPECT_EQ(p.namedRates[1].name, std::string(40, 'N'));
    EXPECT_EQ(p.namedRates[1].rate, 1230000);
    EXPECT_EQ(
        joined(p.oldEffectiveDate, p.oldCompletionDate, p.oldNamedRates[60].name.substr(0, 9)),
        "01/01/2025|12/31/2025|Last old |");
    EXPECT_EQ(p.oldRates, (std::array<std::int64_t, 4>{4000000, 1, 2, 3}));
    EXPECT_EQ(p.oldNamedRates[60].rate, 10000);
    // Our own writer lays the record out the same way.
    auto again = InsurancePlanRecord::decode(p.encode());
    EXPECT_EQ(again.oldNamedRates[60].rate, 10000);
    EXPECT_EQ(again.header.phone, h.phone);
    // A trailing partial record is not counted; an empty file clears the record.
    testsupport::writeFile(dir / "INSPLAN.DAT", currentPlan(1, "x").bytes + "partial");
    ReadInsurancePlan(dir.withSlash(), 0, planCount, p);
    EXPECT_EQ(planCount, 1);
    testsupport::writeFile(dir / "INSPLAN.DAT", "");
    ReadInsurancePlan(dir.withSlash(), 1, planCount, p);
    EXPECT_EQ(planCount, 0);
    EXPECT_EQ(joined(p.header.companyName, p.header.effectiveDate, p.namedRates[1].name),
              "|" + std::string(10, ' ') + "|" + std::string(40, ' ') + "|");
    EXPECT_EQ(p.header.insurerId, 0);
    EXPECT_EQ(p.rates[0], 0);
}

TEST(HostData, ReadsTheOlderLayoutInPlace) {
    testsupport::TempDir dir;
    Raw old(21990);
    old.num<std::int16_t>(0, 3).text(2, "Coastal").num<std::int16_t>(234, 2);
    old.num(236, 12.5f).num(240, 20.0f).num(244, 30.0f).num(248, 1020.0f);
    old.text(252 + 44, "Single").num(252 + 44 + 40, 99.5f).text(2936, "02/02/2024");
    old.text(2946, "02/01/2025").num(2956, 300.0f).num(2968, 400.0f).num<std::int16_t>(2972, 4);
    old.text(2974 + 44, "Old single").num(2974 + 44 + 40, 7.25f);
    testsupport::writeFile(dir / "INSPLAN.DAT", std::string(21990, ' ') + old.bytes);
    LegacyPlanFile file(dir.withSlash());
    ASSERT_EQ(file.count(), 2);
    LegacyInsurancePlanRecord p;
    file.read(2, p);
    EXPECT_EQ(p.header.insurerId, 3);
    EXPECT_EQ(p.header.tierStructure, 2);
    EXPECT_EQ(p.oldTierStructure, 4);
    EXPECT_EQ(joined(p.header.companyName, p.namedRates[1].name.substr(0, 7), p.oldEffectiveDate,
                     p.oldCompletionDate, p.oldNamedRates[1].name.substr(0, 11)),
              "Coastal|Single |02/02/2024|02/01/2025|Old single |");
    EXPECT_EQ(p.rates, (std::array<float, 4>{12.5f, 20.0f, 30.0f, 1020.0f}));
    EXPECT_FLOAT_EQ(p.namedRates[1].rate, 99.5f);
    EXPECT_FLOAT_EQ(p.oldRates[0], 300.0f);
    EXPECT_FLOAT_EQ(p.oldRates[3], 400.0f);
    EXPECT_FLOAT_EQ(p.oldNamedRates[1].rate, 7.25f);
    EXPECT_EQ(LegacyInsurancePlanRecord::decode(p.encode()).oldNamedRates[1].rate, 7.25f);
}

TEST(HostData, TheFileLengthChoosesTheLayout) {
    struct Case {
        std::uint64_t length;
        bool current, legacy;
    };
    for (auto c : {Case{0, true, true}, Case{24070 * 3, true, false}, Case{21990 * 2, false, true},
                   Case{24070ull * 21990, true, true}, Case{24071, false, false},
                   Case{21990 * 3 + 1, false, false}}) {
        EXPECT_EQ(readsAsCurrentLayout(c.length), c.current) << c.length;
        EXPECT_EQ(readsAsLegacyLayout(c.length), c.legacy) << c.length;
    }
}

TEST(AccountList, ReadsTheHostsRecordsInFileOrderAndEachReaderCountsByItsOwnRule) {
    testsupport::TempDir dir;
    EXPECT_EQ(countAccounts(dir.withSlash(), CountRule::Rounded), 0) << "no list";
    EXPECT_TRUE(readAccounts(dir.withSlash(), CountRule::Rounded).empty());
    testsupport::writeFile(dir / "Account.dat", "");
    EXPECT_EQ(countAccounts(dir.withSlash(), CountRule::Rounded), 0) << "empty list";
    fs::remove(dir / "Account.dat");
    testsupport::writeFile(dir / "ACCOUNT.DAT",
                           testsupport::accountRecord("ACME\\", "Acme Inc", 258) +
                               testsupport::accountRecord("  HARBOR\\", "  Harbor  ", -1));
    auto a = readAccounts(dir.withSlash(), CountRule::Rounded);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(joined(a[0].folderName(), a[0].companyName(), a[1].folderName(), a[1].companyName()),
              "ACME\\|Acme Inc|HARBOR\\|Harbor|");
    EXPECT_EQ(a[0].reserved, 258);
    EXPECT_EQ(a[1].reserved, -1);

    fs::remove(dir / "ACCOUNT.DAT");
    testsupport::writeFile(dir / "Account.dat",
                           testsupport::accountRecord("A\\", "A", 1) + std::string(51, ' '));
    EXPECT_EQ(countAccounts(dir.withSlash(), CountRule::Rounded), 2);
    EXPECT_EQ(countAccounts(dir.withSlash(), CountRule::WholePart), 1);
    // The half record counted by rounding reads as blanks beyond the end.
    EXPECT_EQ(joined(readAccount(dir.withSlash(), 2).folderName(),
                     readAccount(dir.withSlash(), 2).companyName()),
              "||");
    EXPECT_EQ(readAccounts(dir.withSlash(), CountRule::Rounded).size(), 2u);
}

} // namespace
