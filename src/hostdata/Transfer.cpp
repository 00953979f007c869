#include "hostdata/Transfer.h"

#include "hostdata/ValueText.h"
#include "jet/Database.h"
#include "platform/Ansi.h"
#include "platform/HostPath.h"

#include <optional>

namespace hostdata {
namespace {

// Runs one step against a table or host file; whatever it throws comes back naming that place.
template <typename Work>
void step(const std::string& where, Work&& work) {
    try {
        work();
    } catch (const TransferError&) {
        throw;
    } catch (const std::exception& e) {
        throw TransferError(where, e.what());
    }
}

jet::Value text(std::string_view ansiText) {
    return jetText(ansiText);
}

// Current-layout rates are currency, older-layout rates single precision; each reaches the
// database in its own kind and the column converts it.
jet::Value rateValue(std::int64_t scaled) {
    return jet::Currency{scaled};
}
jet::Value rateValue(float rate) {
    return rate;
}

// The columns of one rate block of an Insurance_Companies row.
struct RateColumns {
    const char* tierStructure; // nullptr: the code goes to Tier_Structure with the plan itself
    const char* effectiveDate;
    const char* completionDate;
    std::array<const char*, 4> rates; // single, two party, employee and child(ren), family
};
constexpr RateColumns kCurrentRates{
    nullptr,
    "Effective_Date",
    "Completion_Date",
    {"Single_Rate", "Two_Party_Rate", "EE_Child_Rate", "Family_Rate"}};
constexpr RateColumns kPreviousRates{
    "Old_Tier_Structure",
    "Old_Effective_Date",
    "Old_Completion_Date",
    {"Old_Single_Rate", "Old_Two_Party_Rate", "Old_EE_Child_Rate", "Old_Family_Rate"}};

// What tier code `code` writes when it is the block's code. Code 1 carries single and family,
// 2 adds two party, 3 all four; the tiers a code does not carry are written as 0. Code 4 keeps
// its rates in the named list, so only the dates are written.
template <typename Rate>
void writeRateBlock(jet::Recordset& rs, const RateColumns& cols, int code,
                    const std::string& effective, const std::string& completion,
                    const std::array<Rate, 4>& rates) {
    if (cols.tierStructure && code != 4)
        rs[cols.tierStructure] = code;
    rs[cols.effectiveDate] = text(effective);
    rs[cols.completionDate] = text(completion);
    if (code == 4)
        return;
    rs[cols.rates[0]] = rateValue(rates[0]);
    if (code >= 2)
        rs[cols.rates[1]] = rateValue(rates[1]);
    else
        rs[cols.rates[1]] = 0;
    if (code == 3)
        rs[cols.rates[2]] = rateValue(rates[2]);
    else
        rs[cols.rates[2]] = 0;
    rs[cols.rates[3]] = rateValue(rates[3]);
}

// Rates rows for entries 1 to 60 of a named-rate list, up to the first blank name; entry 0 is
// never written.
template <typename NamedList>
void writeNamedRates(jet::Database& db, std::int16_t insurerId, const NamedList& list,
                     const std::string& effective, const std::string& completion) {
    step("Rates", [&] {
        auto rates = db.OpenRecordset("Rates");
        for (std::size_t j = 1; j < list.size(); ++j) {
            const auto& entry = list[j];
            if (ansi::trim(entry.name).empty())
                break;
            rates.AddNew();
            rates["Insurer_ID"] = jet::Value(insurerId);
            rates["Effective_Date"] = text(effective);
            rates["Completion_Date"] = text(completion);
            // The name as stored, blanks included, cut to the host's 30 characters.
            rates["Structure_Name"] = text(entry.name.substr(0, 30));
            rates["Rate"] = rateValue(entry.rate);
            rates.Update();
        }
        rates.Close();
    });
}

template <typename Plan>
void writePlan(jet::Database& db, jet::Recordset& companies, const Plan& plan) {
    const PlanHeader& h = plan.header;
    const int current = h.tierStructure;
    const int previous = plan.oldTierStructure;
    step("Insurance_Companies", [&] {
        companies.AddNew();
        companies["Insurance_Company_Name"] = text(h.companyName);
        companies["ADDRESS"] = text(h.address);
        companies["City_State_Zip"] = text(h.cityStateZip);
        companies["Phone"] = text(h.phone.substr(0, 15));
        companies["Insurer_ID"] = jet::Value(h.insurerId);
        companies["Term_Regs"] = jet::Value(h.termRegs);
        companies["Open_Enrollment"] = text(h.openEnrollment);
        companies["Conversion"] = text(h.conversion);
        companies["ACTIVE"] = text(h.active);
        companies["Plan_Type"] = text(h.planType);
        companies["Dependent_Term"] = jet::Value(h.dependentTerm);
        companies["Student_Term"] = jet::Value(h.studentTerm);
        companies["Tier_Structure"] = jet::Value(h.tierStructure);
        // A code outside 1 to 4 matches none of these and writes none of its columns.
        for (int code = 1; code <= 4; ++code) {
            if (current == code)
                writeRateBlock(companies, kCurrentRates, code, h.effectiveDate, h.completionDate,
                               plan.rates);
            if (previous == code)
                writeRateBlock(companies, kPreviousRates, code, plan.oldEffectiveDate,
                               plan.oldCompletionDate, plan.oldRates);
        }
    });
    if (current == 4)
        writeNamedRates(db, h.insurerId, plan.namedRates, h.effectiveDate, h.completionDate);
    if (previous == 4)
        writeNamedRates(db, h.insurerId, plan.oldNamedRates,
                        std::string(ansi::trim(plan.oldEffectiveDate)),
                        std::string(ansi::trim(plan.oldCompletionDate)));
    step("Insurance_Companies", [&] { companies.Update(); });
}

} // namespace

void TransferCompany(jet::Database& db, const std::string& accountDir, HostRecords& shared) {
    step("COMPANY.DAT", [&] { ReadCompanyRecord(accountDir, shared.company, 1); });
    const CompanyRecord& c = shared.company;
    step("Company_Information", [&] {
        auto rs = db.OpenRecordset("Company_Information");
        rs.AddNew();
        rs["Company_Name"] = text(c.name);
        rs["ADDRESS"] = text(c.address);
        rs["Address_Overflow"] = text(c.addressOverflow);
        rs["City_State_Zip"] = text(c.cityStateZip);
        rs["Administrator"] = text(c.administrator);
        rs["title"] = text(c.title);
        rs["COBRA_Admin_Fee"] = jet::Value(c.cobraAdminFee);
        rs["Disabled_Admin_Fee"] = jet::Value(c.disabledAdminFee);
        rs.Update();
        rs.Close();
    });
}

std::int64_t TransferPlans(jet::Database& db, const std::string& accountDir, HostRecords& shared) {
    const std::string planFile = accountDir + "INSPLAN.DAT";
    std::int64_t planCount = 0;
    std::uint64_t length = 0;
    step("INSPLAN.DAT", [&] {
        auto found = hostpath::fileLength(planFile);
        if (!found)
            throw records::FileError("file not found: " + planFile);
        length = *found;
    });

    std::optional<jet::Recordset> companies;
    auto openCompanies = [&] {
        if (!companies)
            step("Insurance_Companies",
                 [&] { companies.emplace(db.OpenRecordset("Insurance_Companies")); });
    };

    if (readsAsCurrentLayout(length)) {
        openCompanies();
        std::int64_t count = 0;
        step("INSPLAN.DAT", [&] {
            ReadInsurancePlan(accountDir, 0, planCount, shared.plan);
            count = planCount;
        });
        for (std::int64_t i = 1; i <= count; ++i) {
            step("INSPLAN.DAT", [&] { ReadInsurancePlan(accountDir, i, planCount, shared.plan); });
            writePlan(db, *companies, shared.plan);
        }
    }
    if (readsAsLegacyLayout(length)) {
        openCompanies();
        std::optional<LegacyPlanFile> file;
        std::int64_t count = 0;
        step("Insplan.dat", [&] {
            file.emplace(accountDir);
            count = file->count();
            planCount = count;
        });
        for (std::int64_t i = 1; i <= count; ++i) {
            step("Insplan.dat", [&] { file->read(i, shared.legacyPlan); });
            writePlan(db, *companies, shared.legacyPlan);
        }
    }
    if (companies)
        step("Insurance_Companies", [&] { companies->Close(); });
    return planCount;
}

std::int64_t TransferHostData(jet::Database& db, const std::string& accountDir,
                              HostRecords& shared) {
    TransferCompany(db, accountDir, shared);
    return TransferPlans(db, accountDir, shared);
}

} // namespace hostdata
