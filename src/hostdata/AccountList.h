// The host's account list, Account.dat in the program folder: one 102-byte record per client
// company, naming the company's folder beside the host program.
#pragma once

#include "platform/RecordFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace hostdata {

//  OFFSET SIZE MEANING
//       0    2 int16, not interpreted (kept with the record)
//       2   50 account folder name, with its own trailing path separator
//      52   50 company name
struct AccountRecord {
    static constexpr std::uint32_t kLength = 102;

    std::int16_t reserved = 0;
    std::string folder;  // as stored, blanks included
    std::string company; // as stored, blanks included

    std::string folderName() const;  // trimmed
    std::string companyName() const; // trimmed

    static AccountRecord decode(const records::Record& record);
    records::Record encode() const;
};

inline constexpr const char* kAccountFile = "Account.dat";

// appDir is the program folder with its trailing separator. A missing file counts 0.
std::int64_t countAccounts(const std::string& appDir, records::CountRule rule);

// Record n (from 1); a record beyond the end of the file reads as blanks.
AccountRecord readAccount(const std::string& appDir, std::int64_t n);

// Records 1 .. the count by the given rule, in file order.
std::vector<AccountRecord> readAccounts(const std::string& appDir, records::CountRule rule);

} // namespace hostdata
