// The host's per-account record files: COMPANY.DAT (the company's own record) and INSPLAN.DAT
// (one record per insurance plan, in a current and an older layout told apart by length).
#pragma once

#include "platform/RecordFile.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace hostdata {

//  OFFSET SIZE MEANING (COMPANY.DAT, 556 bytes)
//       0   40 company name                     120  40 city, state and ZIP
//      40   40 street address                   160  30 administrator's name
//      80   40 second address line              190  30 administrator's title
//     220..499 texts, not interpreted           500   4 float32 COBRA admin fee
//     504    4 float32 disabled admin fee       508..555 not interpreted
struct CompanyRecord {
    static constexpr std::uint32_t kLength = 556;
    std::string name, address, addressOverflow, cityStateZip, administrator, title;
    float cobraAdminFee = 0;
    float disabledAdminFee = 0;
    // The whole record, so copies keep what is not interpreted; blank texts and zero numbers
    // until a record is read.
    records::Record raw = blankRecord();

    static records::Record blankRecord();

    static CompanyRecord decode(const records::Record& r);
    records::Record encode() const;
};

// A named rate: 40-character name, then the rate (currency in the current layout, stored as
// its 10,000-fold integer; single precision in the older one).
struct NamedRate {
    std::string name;
    std::int64_t rate = 0; // amount x 10,000
};
struct LegacyNamedRate {
    std::string name;
    float rate = 0;
};

inline constexpr std::size_t kNamedRateEntries = 61; // entry 0 is never used

// Fields shared by both plan layouts (offsets 0..235).
struct PlanHeader {
    std::int16_t insurerId = 0;
    std::string companyName, address, cityStateZip, phone;
    std::string effectiveDate, completionDate;
    std::int16_t termRegs = 0;
    std::string openEnrollment, conversion, active, planType;
    std::int16_t dependentTerm = 0, studentTerm = 0;
    std::int16_t tierStructure = 0;

    void decode(const records::Record& r);
    void encode(records::Record& r) const;
};

//  OFFSET SIZE MEANING (INSPLAN.DAT current layout, 24070 bytes)
//       0  236 the shared header                3196  10 previous effective date
//     236   32 four currency tier rates         3206  10 previous completion date
//     268 2928 61 named rates of 48 bytes       3216  32 four previous currency rates
//    3248    2 previous tier structure          3250 2928 61 previous named rates
//    6178 17892 six further rate periods, not read
struct InsurancePlanRecord {
    static constexpr std::uint32_t kLength = 24070;
    PlanHeader header;
    std::array<std::int64_t, 4> rates{};
    std::array<NamedRate, kNamedRateEntries> namedRates;
    std::string oldEffectiveDate, oldCompletionDate;
    std::array<std::int64_t, 4> oldRates{};
    std::int16_t oldTierStructure = 0;
    std::array<NamedRate, kNamedRateEntries> oldNamedRates;

    static InsurancePlanRecord decode(const records::Record& r);
    records::Record encode() const;
};

//  OFFSET SIZE MEANING (INSPLAN.DAT older layout, 21990 bytes)
//       0  236 the shared header                2936  10 previous effective date
//     236   16 four float32 tier rates          2946  10 previous completion date
//     252 2684 61 named rates of 44 bytes       2956  16 four previous float32 rates
//    2972    2 previous tier structure          2974 2684 61 previous named rates
//    5658 16332 six further rate periods, not read
struct LegacyInsurancePlanRecord {
    static constexpr std::uint32_t kLength = 21990;
    PlanHeader header;
    std::array<float, 4> rates{};
    std::array<LegacyNamedRate, kNamedRateEntries> namedRates;
    std::string oldEffectiveDate, oldCompletionDate;
    std::array<float, 4> oldRates{};
    std::int16_t oldTierStructure = 0;
    std::array<LegacyNamedRate, kNamedRateEntries> oldNamedRates;

    static LegacyInsurancePlanRecord decode(const records::Record& r);
    records::Record encode() const;
};

// The records the readers fill. The program keeps one set for its whole run: a company file
// without a whole record leaves the company of the last read in place, and that is what the
// transfer then writes.
struct HostRecords {
    CompanyRecord company;
    InsurancePlanRecord plan;
    LegacyInsurancePlanRecord legacyPlan;
};
HostRecords& sharedHostRecords();

// With flag non-zero and a whole record in AccountDir + "COMPANY.DAT" (count: whole part),
// reads record 1 into shared under a lock and returns true. Otherwise shared is left as it was.
bool ReadCompanyRecord(const std::string& accountDir, CompanyRecord& shared, std::int32_t flag = 1);

// Sets planCount to the whole records of AccountDir + "INSPLAN.DAT" in the current layout. An
// empty file clears shared (texts blank, numbers zero). Otherwise record number 0 only counts;
// n >= 1 reads record n into shared under a lock.
void ReadInsurancePlan(const std::string& accountDir, std::int64_t recordNumber,
                       std::int64_t& planCount, InsurancePlanRecord& shared);

// Which layouts a plan file of this length is read in; both tests are made independently, so
// an empty file passes both and a length that is a multiple of neither passes none.
bool readsAsCurrentLayout(std::uint64_t length);
bool readsAsLegacyLayout(std::uint64_t length);

// AccountDir + "Insplan.dat" read in the older layout: count rounded, records read in place.
class LegacyPlanFile {
public:
    explicit LegacyPlanFile(const std::string& accountDir);
    std::int64_t count();
    // Record n (from 1) into shared, under a lock.
    void read(std::int64_t n, LegacyInsurancePlanRecord& shared);

private:
    std::filesystem::path path_;
    records::RecordFile file_;
};

} // namespace hostdata
