#include "hostdata/AccountList.h"

#include "platform/Ansi.h"
#include "platform/HostPath.h"

namespace hostdata {

std::string AccountRecord::folderName() const {
    return std::string(ansi::trim(folder));
}
std::string AccountRecord::companyName() const {
    return std::string(ansi::trim(company));
}

AccountRecord AccountRecord::decode(const records::Record& record) {
    AccountRecord a;
    a.reserved = record.i16(0);
    a.folder = record.text(2, 50);
    a.company = record.text(52, 50);
    return a;
}

records::Record AccountRecord::encode() const {
    records::Record r(kLength);
    r.setI16(0, reserved);
    r.setText(2, 50, folder);
    r.setText(52, 50, company);
    return r;
}

namespace {
records::RecordFile openList(const std::string& appDir) {
    return records::RecordFile(hostpath::resolve(appDir + kAccountFile), AccountRecord::kLength,
                               records::RecordFile::Mode::Read);
}
} // namespace

std::int64_t countAccounts(const std::string& appDir, records::CountRule rule) {
    return openList(appDir).count(rule);
}

AccountRecord readAccount(const std::string& appDir, std::int64_t n) {
    return AccountRecord::decode(openList(appDir).read(n));
}

std::vector<AccountRecord> readAccounts(const std::string& appDir, records::CountRule rule) {
    auto file = openList(appDir);
    std::vector<AccountRecord> out;
    auto n = file.count(rule);
    for (std::int64_t i = 1; i <= n; ++i)
        out.push_back(AccountRecord::decode(file.read(i)));
    return out;
}

} // namespace hostdata
