// The verification of a TAB file: the scan of its start, the verdict and its message, and the
// inspection of its character set and line ends. Bytes fed in pieces must be judged as the
// whole is, since the window reads the file in pieces.
#include "FuzzFiles.h"
#include "wizard/TabVerifier.h"
#include "wizard/TextForm.h"

#include <string>
#include <vector>

namespace {

bool same(const wizard::TextForm& a, const wizard::TextForm& b) {
    return a.encoding == b.encoding && a.nulLine == b.nulLine && a.loneEndLine == b.loneEndLine &&
           a.loneEnds == b.loneEnds && a.crLineEnds == b.crLineEnds &&
           a.unendedLine == b.unendedLine;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    // The first byte chooses the structure's length and the pieces' size.
    const std::size_t fields = 1 + data[0] % 8, piece = 1 + data[1] % 7;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
    static const char* const kLabels[] = {"Last Name", "Date of Birth", "Hire Date", "Gender",
                                          "Zip Code",  "State",         "Term date", "SSN"};
    std::vector<std::string> labels(kLabels, kLabels + fields);

    const auto scan = wizard::scanTabBuffer(bytes, labels);
    fuzzfiles::expect(scan.dateFlags.size() == labels.size() + 1, "one flag per field");
    fuzzfiles::expect(scan.line <= 2, "at most two lines read");
    const auto verdict = wizard::decide(scan, labels.size());
    const auto message = wizard::verdictMessage(verdict, scan, labels);
    fuzzfiles::expect(message.has_value() == (verdict != wizard::Verdict::Verified),
                      "a message for every failure");

    const auto whole = wizard::inspectText(bytes);
    wizard::TextInspector pieces;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        pieces.feed(bytes.substr(at, piece));
    fuzzfiles::expect(same(whole, pieces.finish()), "pieces judged as the whole");
    if (whole.needsRevision())
        (void)wizard::revisionOffer(whole, "C:\\data\\staff.txt");
    if (whole.nulLine != 0)
        (void)wizard::nulMessage(whole, "C:\\data\\staff.txt");
    return 0;
}
