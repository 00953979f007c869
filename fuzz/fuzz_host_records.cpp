// The host's record files as the program finds them, whatever they hold: the account list, the
// company and plan files in both layouts, and the saved format store. Reading must end in
// records or a file error, never a crash.
#include "FuzzFiles.h"
#include "formats/FormatStore.h"
#include "hostdata/AccountList.h"
#include "hostdata/NewInsStructure.h"
#include "platform/RecordFile.h"

#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    static const char* const kFiles[] = {"Account.dat", "COMPANY.DAT", "INSPLAN.DAT",
                                         "Formats.Dat"};
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    // The first byte chooses the file; the others stay empty, as a new host folder has them.
    const auto& dir = fuzzfiles::folder();
    for (const char* name : kFiles)
        fuzzfiles::write(dir / name, {});
    fuzzfiles::write(dir / kFiles[data[0] % 4], bytes);
    const std::string host = fuzzfiles::hostFolder();

    try {
        for (auto rule : {records::CountRule::Rounded, records::CountRule::WholePart}) {
            auto accounts = hostdata::readAccounts(host, rule);
            for (const auto& a : accounts)
                (void)a.folderName(), (void)a.companyName(), (void)a.encode();
        }
        hostdata::HostRecords shared;
        hostdata::ReadCompanyRecord(host, shared.company, 1);
        (void)shared.company.encode();
        std::int64_t plans = 0;
        hostdata::ReadInsurancePlan(host, 0, plans, shared.plan);
        for (std::int64_t n = 1; n <= plans && n <= 4; ++n)
            hostdata::ReadInsurancePlan(host, n, plans, shared.plan);
        hostdata::LegacyPlanFile legacy(host);
        for (std::int64_t n = 1; n <= legacy.count() && n <= 4; ++n)
            legacy.read(n, shared.legacyPlan);

        formats::FormatStore store(host);
        (void)store.Count();
        for (const char* type : {"EMPLOYEE", "QUALIFIER"}) {
            (void)store.HasType(type);
            for (const auto& name : store.NamesOfType(type))
                (void)store.LoadFormat(type, name);
        }
        (void)store.AllNames();
    } catch (const records::FileError&) {
    }
    return 0;
}
