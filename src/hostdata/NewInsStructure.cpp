#include "hostdata/NewInsStructure.h"

#include "platform/Ansi.h"
#include "platform/HostPath.h"
#include "platform/RecordLock.h"

namespace hostdata {
namespace {

using records::Record;
using records::RecordFile;

std::string trimmed(const Record& r, std::size_t offset, std::size_t width) {
    return std::string(ansi::trim(r.text(offset, width)));
}

constexpr std::size_t kCurrentNamedSize = 48, kLegacyNamedSize = 44;

void decodeNamed(const Record& r, std::size_t base, std::array<NamedRate, kNamedRateEntries>& out) {
    for (std::size_t e = 0; e < kNamedRateEntries; ++e) {
        out[e].name = r.text(base + e * kCurrentNamedSize, 40);
        out[e].rate = r.i64(base + e * kCurrentNamedSize + 40);
    }
}
void encodeNamed(Record& r, std::size_t base, const std::array<NamedRate, kNamedRateEntries>& in) {
    for (std::size_t e = 0; e < kNamedRateEntries; ++e) {
        r.setText(base + e * kCurrentNamedSize, 40, in[e].name);
        r.setI64(base + e * kCurrentNamedSize + 40, in[e].rate);
    }
}
void decodeNamed(const Record& r, std::size_t base,
                 std::array<LegacyNamedRate, kNamedRateEntries>& out) {
    for (std::size_t e = 0; e < kNamedRateEntries; ++e) {
        out[e].name = r.text(base + e * kLegacyNamedSize, 40);
        out[e].rate = r.f32(base + e * kLegacyNamedSize + 40);
    }
}
void encodeNamed(Record& r, std::size_t base,
                 const std::array<LegacyNamedRate, kNamedRateEntries>& in) {
    for (std::size_t e = 0; e < kNamedRateEntries; ++e) {
        r.setText(base + e * kLegacyNamedSize, 40, in[e].name);
        r.setF32(base + e * kLegacyNamedSize + 40, in[e].rate);
    }
}

// The further rate periods are not read, but a record written from the layouts holds blank
// texts and zero numbers there, as the host's own files do.
void blankRatePeriods(Record& r, std::size_t base, std::size_t periodSize, std::size_t namedBase,
                      std::size_t namedSize) {
    for (std::size_t p = 0; p < 6; ++p) {
        std::size_t at = base + p * periodSize;
        r.setText(at, 10, "");
        r.setText(at + 10, 10, "");
        for (std::size_t e = 0; e < kNamedRateEntries; ++e)
            r.setText(at + namedBase + e * namedSize, 40, "");
    }
}

// Reads record n with a shared lock over its bytes, so the host does not write it meanwhile.
Record lockedRead(RecordFile& file, const std::filesystem::path& path, std::int64_t n) {
    std::uint64_t length = file.recordLength();
    platform::RecordLock lock(path, static_cast<std::uint64_t>(n - 1) * length, length);
    return file.read(n);
}

} // namespace

Record CompanyRecord::blankRecord() {
    Record r(kLength);
    r.setText(0, 500, "");
    r.setText(512, 44, "");
    return r;
}

CompanyRecord CompanyRecord::decode(const Record& r) {
    CompanyRecord c;
    c.name = trimmed(r, 0, 40);
    c.address = trimmed(r, 40, 40);
    c.addressOverflow = trimmed(r, 80, 40);
    c.cityStateZip = trimmed(r, 120, 40);
    c.administrator = trimmed(r, 160, 30);
    c.title = trimmed(r, 190, 30);
    c.cobraAdminFee = r.f32(500);
    c.disabledAdminFee = r.f32(504);
    c.raw = r;
    return c;
}

Record CompanyRecord::encode() const {
    Record r = raw;
    r.setText(0, 40, name);
    r.setText(40, 40, address);
    r.setText(80, 40, addressOverflow);
    r.setText(120, 40, cityStateZip);
    r.setText(160, 30, administrator);
    r.setText(190, 30, title);
    r.setF32(500, cobraAdminFee);
    r.setF32(504, disabledAdminFee);
    return r;
}

void PlanHeader::decode(const Record& r) {
    insurerId = r.i16(0);
    companyName = trimmed(r, 2, 50);
    address = trimmed(r, 52, 50);
    cityStateZip = trimmed(r, 102, 50);
    phone = r.text(152, 50);
    effectiveDate = r.text(202, 10);
    completionDate = r.text(212, 10);
    termRegs = r.i16(222);
    // One-character fields are passed on as they are, untrimmed.
    openEnrollment = r.text(224, 1);
    conversion = r.text(225, 1);
    active = r.text(226, 1);
    planType = r.text(227, 1);
    dependentTerm = r.i16(229);
    studentTerm = r.i16(231);
    tierStructure = r.i16(234);
}

void PlanHeader::encode(Record& r) const {
    r.setI16(0, insurerId);
    r.setText(2, 50, companyName);
    r.setText(52, 50, address);
    r.setText(102, 50, cityStateZip);
    r.setText(152, 50, phone);
    r.setText(202, 10, effectiveDate);
    r.setText(212, 10, completionDate);
    r.setI16(222, termRegs);
    r.setText(224, 1, openEnrollment);
    r.setText(225, 1, conversion);
    r.setText(226, 1, active);
    r.setText(227, 1, planType);
    r.setText(228, 1, "");
    r.setI16(229, dependentTerm);
    r.setI16(231, studentTerm);
    r.setText(233, 1, "");
    r.setI16(234, tierStructure);
}

InsurancePlanRecord InsurancePlanRecord::decode(const Record& r) {
    InsurancePlanRecord p;
    p.header.decode(r);
    for (std::size_t t = 0; t < 4; ++t) {
        p.rates[t] = r.i64(236 + 8 * t);
        p.oldRates[t] = r.i64(3216 + 8 * t);
    }
    decodeNamed(r, 268, p.namedRates);
    p.oldEffectiveDate = r.text(3196, 10);
    p.oldCompletionDate = r.text(3206, 10);
    p.oldTierStructure = r.i16(3248);
    decodeNamed(r, 3250, p.oldNamedRates);
    return p;
}

Record InsurancePlanRecord::encode() const {
    Record r(kLength);
    header.encode(r);
    for (std::size_t t = 0; t < 4; ++t) {
        r.setI64(236 + 8 * t, rates[t]);
        r.setI64(3216 + 8 * t, oldRates[t]);
    }
    encodeNamed(r, 268, namedRates);
    r.setText(3196, 10, oldEffectiveDate);
    r.setText(3206, 10, oldCompletionDate);
    r.setI16(3248, oldTierStructure);
    encodeNamed(r, 3250, oldNamedRates);
    blankRatePeriods(r, 6178, 2982, 54, kCurrentNamedSize);
    return r;
}

LegacyInsurancePlanRecord LegacyInsurancePlanRecord::decode(const Record& r) {
    LegacyInsurancePlanRecord p;
    p.header.decode(r);
    for (std::size_t t = 0; t < 4; ++t) {
        p.rates[t] = r.f32(236 + 4 * t);
        p.oldRates[t] = r.f32(2956 + 4 * t);
    }
    decodeNamed(r, 252, p.namedRates);
    p.oldEffectiveDate = r.text(2936, 10);
    p.oldCompletionDate = r.text(2946, 10);
    p.oldTierStructure = r.i16(2972);
    decodeNamed(r, 2974, p.oldNamedRates);
    return p;
}

Record LegacyInsurancePlanRecord::encode() const {
    Record r(kLength);
    header.encode(r);
    for (std::size_t t = 0; t < 4; ++t) {
        r.setF32(236 + 4 * t, rates[t]);
        r.setF32(2956 + 4 * t, oldRates[t]);
    }
    encodeNamed(r, 252, namedRates);
    r.setText(2936, 10, oldEffectiveDate);
    r.setText(2946, 10, oldCompletionDate);
    r.setI16(2972, oldTierStructure);
    encodeNamed(r, 2974, oldNamedRates);
    blankRatePeriods(r, 5658, 2722, 38, kLegacyNamedSize);
    return r;
}

HostRecords& sharedHostRecords() {
    static HostRecords records;
    return records;
}

bool ReadCompanyRecord(const std::string& accountDir, CompanyRecord& shared, std::int32_t flag) {
    auto path = hostpath::resolve(accountDir + "COMPANY.DAT");
    RecordFile file(path, CompanyRecord::kLength, RecordFile::Mode::Read);
    if (flag == 0 || file.count(records::CountRule::WholePart) < 1)
        return false;
    // Only record 1 is ever read.
    shared = CompanyRecord::decode(lockedRead(file, path, 1));
    return true;
}

void ReadInsurancePlan(const std::string& accountDir, std::int64_t recordNumber,
                       std::int64_t& planCount, InsurancePlanRecord& shared) {
    auto path = hostpath::resolve(accountDir + "INSPLAN.DAT");
    RecordFile file(path, InsurancePlanRecord::kLength, RecordFile::Mode::Read);
    planCount = file.count(records::CountRule::WholePart);
    if (planCount == 0) {
        shared = InsurancePlanRecord::decode(InsurancePlanRecord{}.encode());
        return;
    }
    if (recordNumber >= 1)
        shared = InsurancePlanRecord::decode(lockedRead(file, path, recordNumber));
}

bool readsAsCurrentLayout(std::uint64_t length) {
    return length % InsurancePlanRecord::kLength == 0;
}
bool readsAsLegacyLayout(std::uint64_t length) {
    return length % LegacyInsurancePlanRecord::kLength == 0;
}

LegacyPlanFile::LegacyPlanFile(const std::string& accountDir)
    : path_(hostpath::resolve(accountDir + "Insplan.dat")),
      file_(path_, LegacyInsurancePlanRecord::kLength, RecordFile::Mode::Read) {}

std::int64_t LegacyPlanFile::count() {
    return file_.count(records::CountRule::Rounded);
}

void LegacyPlanFile::read(std::int64_t n, LegacyInsurancePlanRecord& shared) {
    shared = LegacyInsurancePlanRecord::decode(lockedRead(file_, path_, n));
}

} // namespace hostdata
