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

std::optional<VerdictMessage> verdictMessage(Verdict verdict, const TabScan& scan,
                                             const std::vector<std::string>& labels) {
    const std::string fields = std::to_string(scan.tabs + 1);
    const std::string n = std::to_string(labels.size());
    switch (verdict) {
    case Verdict::RemovalOffer:
        return VerdictMessage{
            "Remove extra fields?",
            "Your import file shows it has " + fields + " fields but you had only selected " + n +
                " in your Import Format Structure (on the previous form).  This can occur when "
                "Microsoft Excel creates a Tab Delimited file.  The Tarnfield program will try to "
                "remove the excess fields and run it through the verify situation again.  Do you "
                "want the system to try to fix your import file now?"};
    case Verdict::NotTabDelimited:
        return VerdictMessage{
            "Incorrect File Format",
            "Your import file did not separate fields with a TAB character, therefore is not in a "
            "Tab Deliminated format.  This import feature will only import files in a Tab "
            "Deliminated format."};
    case Verdict::FieldCountMismatch:
        return VerdictMessage{"Incorrect File Format",
                              "Your import file seems to have " + fields +
                                  " fields in each record but you selected " + n +
                                  " fields on the previous form.  Since these do not match up, "
                                  "the system cannot create an import database for import into "
                                  "the Brandmoor program."};
    case Verdict::BadDates:
        return VerdictMessage{
            "Invalid Dates in Import File",
            "Upon reviewing the first record and second record, the system has determined the "
            "file has invalid dates in the following fields:  " +
                flaggedFieldList(labels, scan.dateFlags, "W") +
                ".  Because valid dates must be in these fields, the system cannot use this file "
                "for importing.\n\nThe most common reason for this problem is because there are "
                "Headers in the file.  If they are removed, the file may import without further "
                "changes."};
    case Verdict::PoundSigns:
        return VerdictMessage{
            "Invalid Import File",
            "Upon reviewing the first record and second record, the system has determined the "
            "file has fields filled with the pound sign (#####) in the following fields:  " +
                flaggedFieldList(labels, scan.dateFlags, "#") +
                ".  It is recommended you look at your import file and correct this issue.  In "
                "Excel, some fields are filled with the pound sign when they are too small.  You "
                "need to expand the field size and it should correct the problem."};
    case Verdict::Verified:
        break;
    }
    return std::nullopt;
}

} // namespace wizard
