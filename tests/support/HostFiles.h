// Host files as the host's programs write them, for tests that need an account list.
#pragma once

#include "platform/RecordFile.h"
#include "support/TempDir.h"

#include <cstdint>
#include <initializer_list>
#include <utility>

namespace testsupport {

// One 102-byte account record: the reserved number at 0, the folder at 2, the company at 52.
inline std::string accountRecord(const std::string& folder, const std::string& company = "",
                                 std::int16_t reserved = 0) {
    std::string r(102, ' ');
    r[0] = static_cast<char>(reserved & 0xFF);
    r[1] = static_cast<char>((reserved >> 8) & 0xFF);
    r.replace(2, folder.size(), folder);
    r.replace(52, company.size(), company);
    return r;
}

// An account list of (folder, company) records.
inline void writeAccounts(const std::filesystem::path& file,
                          std::initializer_list<std::pair<std::string, std::string>> accounts) {
    std::string bytes;
    for (const auto& [folder, company] : accounts)
        bytes += accountRecord(folder, company);
    writeFile(file, bytes);
}

// The bytes our writer lays a record out as.
template <typename HostRecord>
std::string encoded(const HostRecord& record) {
    const records::Record r = record.encode();
    return std::string(reinterpret_cast<const char*>(r.bytes().data()), r.size());
}

} // namespace testsupport
