// Verification of a TAB file against the field structure: the scan of the file's first two
// lines and the decision the verification window renders, step by step, in its order.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wizard {

// Verification reads at most this much of the file's start.
inline constexpr std::size_t kVerifyBufferLimit = 29999;

struct TabScan {
    std::int64_t tabs = 0;   // TABs on the first line
    std::int64_t line = 0;   // line ends passed (0, 1 or 2)
    std::int64_t excess = 0; // the first line's TABs when they exceed the structure
    bool badDate = false;    // a date field of the second line holds no date
    bool pound = false;      // a field of the second line begins with "#####"
    // The first and second line as shown for the first-record choice (indexes 1 and 2),
    // TABs written as ", ", line ends kept.
    std::array<std::string, 3> recordText;
    // One flag per structure position, from index 1: "N", "Y", "W" or "#".
    std::vector<std::string> dateFlags{std::string()};
};

// The flags before the scan: "Y" for a label holding the letters DATE in any case.
std::vector<std::string> initialDateFlags(const std::vector<std::string>& labels);

// Scans the start of the file. labels are the structure's items, in column order.
TabScan scanTabBuffer(std::string_view buffer, const std::vector<std::string>& labels);

// The start of the file that verification reads: the whole file when shorter than 30000
// bytes, otherwise the first 29999. nullopt for an empty or missing file.
std::optional<std::string> readVerificationBuffer(const std::string& hostPath);

enum class Verdict {
    RemovalOffer,       // two or more fields too many on the first line
    NotTabDelimited,    // no TAB on the first line, or no line end in the buffer
    FieldCountMismatch, // the first line has another number of fields
    BadDates,           // a date field of the second line holds no date
    PoundSigns,         // a field of the second line is filled with "#####"
    Verified,
};

// The first failing check, in the order the window shows them.
Verdict decide(const TabScan& scan, std::size_t fieldCount);

struct VerdictMessage {
    std::string title;
    std::string text;
};

// The message a failed check shows (for RemovalOffer, the question); nullopt for Verified.
std::optional<VerdictMessage> verdictMessage(Verdict verdict, const TabScan& scan,
                                             const std::vector<std::string>& labels);

// " label, label": one blank, then the trimmed labels whose flag is flag, in structure order.
std::string flaggedFieldList(const std::vector<std::string>& labels,
                             const std::vector<std::string>& dateFlags, std::string_view flag);

} // namespace wizard
