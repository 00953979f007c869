// The host's own company record and insurance plans copied into a fresh import database, so
// that the host can match the imported people against the company and plans it knows: one
// Company_Information row, one Insurance_Companies row per plan, one Rates row per named rate.
#pragma once

#include "hostdata/NewInsStructure.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace jet {
class Database;
}

namespace hostdata {

// A failure while changing the import database: the table (or host file) concerned and the
// cause as the engine or the file system reported it.
class TransferError : public std::runtime_error {
public:
    TransferError(std::string where, std::string cause)
        : std::runtime_error(where + ": " + cause), where_(std::move(where)),
          cause_(std::move(cause)) {}
    const std::string& where() const { return where_; }
    const std::string& cause() const { return cause_; }

private:
    std::string where_, cause_;
};

// One Company_Information row from record 1 of COMPANY.DAT (or from what shared.company holds
// when the file has no whole record).
void TransferCompany(jet::Database& db, const std::string& accountDir, HostRecords& shared);

// The plans of INSPLAN.DAT in every layout its length allows, with their named rates. Returns the
// count of plans the file lists.
std::int64_t TransferPlans(jet::Database& db, const std::string& accountDir, HostRecords& shared);

// Both of the above, company first; returns the count of plans. Throws TransferError.
std::int64_t TransferHostData(jet::Database& db, const std::string& accountDir,
                              HostRecords& shared);

} // namespace hostdata
