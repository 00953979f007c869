#include "wizard/TabVerifier.h"

#include "platform/Ansi.h"
#include "platform/Dates.h"
#include "platform/HostPath.h"

#include <fstream>

namespace wizard {

std::vector<std::string> initialDateFlags(const std::vector<std::string>& labels) {
    std::vector<std::string> flags{std::string()};
    for (const auto& label : labels) {
        auto upper = ansi::upper(ansi::trim(label));
        flags.emplace_back(upper.find("DATE") != std::string::npos ? "Y" : "N");
    }
    return flags;
}

TabScan scanTabBuffer(std::string_view buffer, const std::vector<std::string>& labels) {
    TabScan scan;
    scan.dateFlags = initialDateFlags(labels);
    const auto n = static_cast<std::int64_t>(labels.size());
    std::int64_t pos = 0;
    std::string value;

    for (char c : buffer) {
        if (scan.line == 0) {
            if (c == '\t') {
                ++scan.tabs;
                scan.recordText[1] += ", ";
            } else {
                scan.recordText[1] += c;
            }
        } else if (scan.line == 1) {
            if (c != '\t') {
                value += c;
                scan.recordText[2] += c;
            } else {
                ++pos;
                if (pos <= n) {
                    auto& flag = scan.dateFlags[static_cast<std::size_t>(pos)];
                    if (flag == "Y" && !dates::isDate(value) && !ansi::trim(value).empty()) {
                        flag = "W";
                        scan.badDate = true;
                    }
                    // Checked second, so a "#####" date ends flagged "#" with badDate set.
                    if (value.compare(0, 5, "#####") == 0) {
                        flag = "#";
                        scan.pound = true;
                    }
                }
                scan.recordText[2] += ", ";
                value.clear();
            }
        }
        if (c == '\n') {
            if (scan.tabs > n) {
                scan.excess = scan.tabs;
                break;
            }
            ++scan.line;
        }
        if (scan.line >= 2)
            break;
    }
    return scan;
}

std::optional<std::string> readVerificationBuffer(const std::string& hostPath) {
    auto length = hostpath::fileLength(hostPath);
    if (!length || *length == 0)
        return std::nullopt;
    std::size_t wanted = *length < 30000 ? static_cast<std::size_t>(*length) : kVerifyBufferLimit;
    std::ifstream in(hostpath::resolve(hostPath), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string buffer(wanted, '\0');
    in.read(buffer.data(), static_cast<std::streamsize>(wanted));
    buffer.resize(static_cast<std::size_t>(in.gcount()));
    return buffer;
}

Verdict decide(const TabScan& scan, std::size_t fieldCount) {
    if (scan.excess > 0)
        return Verdict::RemovalOffer;
    if (scan.tabs == 0 || scan.line == 0)
        return Verdict::NotTabDelimited;
    if (scan.tabs + 1 != static_cast<std::int64_t>(fieldCount))
        return Verdict::FieldCountMismatch;
    if (scan.badDate)
        return Verdict::BadDates;
    if (scan.pound)
        return Verdict::PoundSigns;
    return Verdict::Verified;
}

std::string flaggedFieldList(const std::vector<std::string>& labels,
                             const std::vector<std::string>& dateFlags, std::string_view flag) {
    std::string list = " ";
    bool first = true;
    for (std::size_t k = 1; k < dateFlags.size() && k <= labels.size(); ++k) {
        if (dateFlags[k] != flag)
            continue;
        if (!first)
            list += ", ";
        list += ansi::trim(labels[k - 1]);
        first = false;
    }
    return list;
}

} // namespace wizard
