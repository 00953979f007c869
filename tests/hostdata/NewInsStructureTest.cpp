#include "hostdata/NewInsStructure.h"

#include "platform/RecordLock.h"
#include "support/TempDir.h"

#include <bit>
#include <cstring>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace hostdata;

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

TEST(HostData, ReadsTheCompanyRecordFieldByField) {
    testsupport::TempDir dir;
    Raw r(556);
    r.text(0, std::string(40, 'A')).text(40, "100 Main").text(120, "Dover, DE  19901");
    r.text(160, "Pat Morgan").text(190, "Manager").num(500, 2.5f).num(504, 4.25f);
    testsupport::writeFile(dir / "Company.dat", r.bytes);
    CompanyRecord c;
    EXPECT_FALSE(ReadCompanyRecord(dir.withSlash(), c, 0)) << "flag 0 reads nothing";
    EXPECT_EQ(c.name, "");
    ASSERT_TRUE(ReadCompanyRecord(dir.withSlash(), c));
    EXPECT_EQ(c.name, std::string(40, 'A'));
    EXPECT_EQ(c.address, "100 Main");
    EXPECT_EQ(c.addressOverflow, "");
    EXPECT_EQ(c.cityStateZip, "Dover, DE  19901");
    EXPECT_EQ(c.administrator, "Pat Morgan");
    EXPECT_EQ(c.title, "Manager");
    EXPECT_FLOAT_EQ(c.cobraAdminFee, 2.5f);
    EXPECT_FLOAT_EQ(c.disabledAdminFee, 4.25f);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c.encode().bytes().data()), 556), r.bytes);

    // A blank record written from the layout: blank texts, zero numbers.
    CompanyRecord fresh;
    Raw blank(556);
    blank.num(500, 0.0f).num(504, 0.0f).num<std::int32_t>(508, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(fresh.encode().bytes().data()), 556),
              blank.bytes);

    testsupport::writeFile(dir / "Company.dat", r.bytes.substr(0, 555));
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
    EXPECT_EQ(h.insurerId, 7);
    EXPECT_EQ(h.companyName, "Blue Valley");
    EXPECT_EQ(h.address, "1 Plaza");
    EXPECT_EQ(h.cityStateZip, "Hartford");
    EXPECT_EQ(h.phone.substr(0, 22), "860-555-0100-ext-12345");
    EXPECT_EQ(h.effectiveDate, "01/01/2026");
    EXPECT_EQ(h.completionDate, "12/31/2026");
    EXPECT_EQ(h.termRegs, 5);
    EXPECT_EQ(h.openEnrollment + h.conversion + h.active + h.planType, "YNAM");
    EXPECT_EQ(h.dependentTerm, 26);
    EXPECT_EQ(h.studentTerm, 24);
    EXPECT_EQ(h.tierStructure, 4);
    EXPECT_EQ(p.rates, (std::array<std::int64_t, 4>{125000, 20000, 30000, 11507500}));
    EXPECT_EQ(p.namedRates[0].name.substr(0, 10), "entry zero");
    EXPECT_EQ(p.namedRates[1].name, std::string(40, 'N'));
    EXPECT_EQ(p.namedRates[1].rate, 1230000);
    EXPECT_EQ(p.oldEffectiveDate, "01/01/2025");
    EXPECT_EQ(p.oldCompletionDate, "12/31/2025");
    EXPECT_EQ(p.oldRates, (std::array<std::int64_t, 4>{4000000, 1, 2, 3}));
    EXPECT_EQ(p.oldTierStructure, 1);
    EXPECT_EQ(p.oldNamedRates[60].name.substr(0, 9), "Last old ");
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
    EXPECT_EQ(p.header.companyName, "");
    EXPECT_EQ(p.header.insurerId, 0);
    EXPECT_EQ(p.header.effectiveDate, std::string(10, ' '));
    EXPECT_EQ(p.rates[0], 0);
    EXPECT_EQ(p.namedRates[1].name, std::string(40, ' '));
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
    EXPECT_EQ(p.header.companyName, "Coastal");
    EXPECT_EQ(p.header.tierStructure, 2);
    EXPECT_EQ(p.rates, (std::array<float, 4>{12.5f, 20.0f, 30.0f, 1020.0f}));
    EXPECT_EQ(p.namedRates[1].name.substr(0, 7), "Single ");
    EXPECT_FLOAT_EQ(p.namedRates[1].rate, 99.5f);
    EXPECT_EQ(p.oldEffectiveDate, "02/02/2024");
    EXPECT_EQ(p.oldCompletionDate, "02/01/2025");
    EXPECT_FLOAT_EQ(p.oldRates[0], 300.0f);
    EXPECT_FLOAT_EQ(p.oldRates[3], 400.0f);
    EXPECT_EQ(p.oldTierStructure, 4);
    EXPECT_EQ(p.oldNamedRates[1].name.substr(0, 11), "Old single ");
    EXPECT_FLOAT_EQ(p.oldNamedRates[1].rate, 7.25f);
    EXPECT_EQ(LegacyInsurancePlanRecord::decode(p.encode()).oldNamedRates[1].rate, 7.25f);
}

TEST(HostData, AReadWaitsForTheHostsWriteLock) {
    testsupport::TempDir dir;
    Raw r(556);
    r.text(0, "Locked Inc");
    testsupport::writeFile(dir / "COMPANY.DAT", r.bytes);
    CompanyRecord c;
    {
        platform::RecordLock writer(dir / "COMPANY.DAT", 0, 556,
                                    platform::RecordLock::Kind::Exclusive);
        ASSERT_TRUE(writer.held());
        EXPECT_THROW(ReadCompanyRecord(dir.withSlash(), c), records::FileError);
    }
    ASSERT_TRUE(ReadCompanyRecord(dir.withSlash(), c));
    EXPECT_EQ(c.name, "Locked Inc");
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

} // namespace
