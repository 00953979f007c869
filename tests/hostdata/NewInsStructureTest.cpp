#include "hostdata/NewInsStructure.h"

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
    r.text(0, "Acme Manufacturing").text(40, "100 Main").text(120, "Dover, DE  19901");
    r.text(160, "Pat Morgan").text(190, "Manager").num(500, 2.5f).num(504, 4.25f);
    testsupport::writeFile(dir / "Company.dat", r.bytes);
    CompanyRecord c;
    ASSERT_TRUE(ReadCompanyRecord(dir.withSlash(), c));
    EXPECT_EQ(c.name, "Acme Manufacturing");
    EXPECT_EQ(c.address, "100 Main");
    EXPECT_EQ(c.addressOverflow, "");
    EXPECT_EQ(c.cityStateZip, "Dover, DE  19901");
    EXPECT_EQ(c.administrator, "Pat Morgan");
    EXPECT_EQ(c.title, "Manager");
    EXPECT_FLOAT_EQ(c.cobraAdminFee, 2.5f);
    EXPECT_FLOAT_EQ(c.disabledAdminFee, 4.25f);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c.encode().bytes().data()), 556), r.bytes);

    testsupport::writeFile(dir / "Company.dat", r.bytes.substr(0, 555));
    CompanyRecord untouched;
    untouched.name = "kept";
    EXPECT_FALSE(ReadCompanyRecord(dir.withSlash(), untouched)) << "555 bytes hold no record";
    EXPECT_EQ(untouched.name, "kept");
}

TEST(HostData, ReadsBothPlanLayoutsAtTheirOffsets) {
    testsupport::TempDir dir;
    Raw cur(24070);
    cur.num<std::int16_t>(0, 7)
        .text(2, "Blue Valley")
        .text(202, "01/01/2026")
        .num<std::int16_t>(234, 4);
    cur.text(224, "Y").num<std::int64_t>(236, 4125000).num<std::int64_t>(260, 11507500);
    cur.text(268 + 48, std::string(40, 'N')).num<std::int64_t>(268 + 48 + 40, 1230000);
    cur.text(3196, "01/01/2025").num<std::int64_t>(3216, 4000000).num<std::int16_t>(3248, 1);
    cur.text(3250 + 48 * 60, "Last old").num<std::int64_t>(3250 + 48 * 60 + 40, 10000);
    testsupport::writeFile(dir / "INSPLAN.DAT", cur.bytes + cur.bytes + cur.bytes);
    EXPECT_EQ(countCurrentPlans(dir.withSlash()), 3);
    auto p = ReadInsurancePlan(dir.withSlash(), 2);
    EXPECT_EQ(p.header.insurerId, 7);
    EXPECT_EQ(p.header.companyName, "Blue Valley");
    EXPECT_EQ(p.header.effectiveDate, "01/01/2026");
    EXPECT_EQ(p.header.openEnrollment, "Y");
    EXPECT_EQ(p.header.tierStructure, 4);
    EXPECT_EQ(p.rates[0], 4125000);
    EXPECT_EQ(p.rates[3], 11507500);
    EXPECT_EQ(p.namedRates[1].name, std::string(40, 'N'));
    EXPECT_EQ(p.namedRates[1].rate, 1230000);
    EXPECT_EQ(p.oldEffectiveDate, "01/01/2025");
    EXPECT_EQ(p.oldRates[0], 4000000);
    EXPECT_EQ(p.oldTierStructure, 1);
    EXPECT_EQ(p.oldNamedRates[60].name.substr(0, 8), "Last old");
    EXPECT_EQ(p.oldNamedRates[60].rate, 10000);

    Raw old(21990);
    old.num<std::int16_t>(0, 3).text(2, "Coastal").num(236, 385.5f).num(248, 1020.0f);
    old.text(252 + 44, "Single").num(252 + 44 + 40, 99.5f).text(2936, "02/02/2024");
    old.num(2956, 300.0f).num<std::int16_t>(2972, 2).text(2974 + 44, "Old single");
    testsupport::writeFile(dir / "INSPLAN.DAT", old.bytes + old.bytes);
    auto legacy = readLegacyPlans(dir.withSlash());
    ASSERT_EQ(legacy.size(), 2u);
    EXPECT_EQ(legacy[1].header.insurerId, 3);
    EXPECT_FLOAT_EQ(legacy[1].rates[0], 385.5f);
    EXPECT_FLOAT_EQ(legacy[1].rates[3], 1020.0f);
    EXPECT_EQ(legacy[1].namedRates[1].name.substr(0, 6), "Single");
    EXPECT_FLOAT_EQ(legacy[1].namedRates[1].rate, 99.5f);
    EXPECT_EQ(legacy[1].oldEffectiveDate, "02/02/2024");
    EXPECT_FLOAT_EQ(legacy[1].oldRates[0], 300.0f);
    EXPECT_EQ(legacy[1].oldTierStructure, 2);
    EXPECT_EQ(legacy[1].oldNamedRates[1].name.substr(0, 10), "Old single");
    EXPECT_EQ(LegacyInsurancePlanRecord::decode(legacy[1].encode()).header.companyName, "Coastal");
}

TEST(HostData, TheFileLengthChoosesTheLayout) {
    struct Case {
        std::uint64_t length;
        bool current, legacy;
    };
    for (auto c : {Case{0, true, true}, Case{24070 * 3, true, false}, Case{21990 * 2, false, true},
                   Case{24070ull * 21990, true, true}, Case{24071, false, false}}) {
        EXPECT_EQ(readsAsCurrentLayout(c.length), c.current) << c.length;
        EXPECT_EQ(readsAsLegacyLayout(c.length), c.legacy) << c.length;
    }
}

} // namespace
