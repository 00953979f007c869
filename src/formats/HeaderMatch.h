// The headings of a TAB file's first line matched to the field labels of a file type, so that
// the structure editor's list can be put into the file's column order at once instead of label
// by label. Headings are compared by their words: case, blanks, punctuation and the words
// "number", "no" and "#" do not count, and the common names payroll and HR exports give a field
// (SSN, DOB, Zip, ...) are known. Texts are Windows-1252.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace formats {

// How sure the match of a column is, from least to most.
enum class MatchConfidence {
    None,  // no label: nothing matched, or the label went to a better column
    Guess, // the heading's words are all in the label's, and in no other label as well
    Known, // one of the field's common names
    Exact, // the label's own words
};

struct ColumnMatch {
    std::string heading; // as the file gives it
    std::string label;   // the label chosen, exactly as the catalogue writes it; empty for none
    MatchConfidence confidence = MatchConfidence::None;
    std::string note; // for a column left without a label: why
};

// A saved format holds this many labels, so a file with more columns cannot be arranged.
inline constexpr std::size_t kMostColumns = 50;

// A column the import skips keeps its place in the structure under this label: optional (two
// blanks), with no "date" in it, and unknown to the record mapping, which ignores it.
inline constexpr const char* kNotImportedLabel = "  (column not imported)";

// The headings of a first line, split at TABs; its line end and the empty headings after the
// last heading are left out (spreadsheet programs leave empty columns there, which verification
// offers to remove).
std::vector<std::string> splitHeaderLine(std::string_view line);

// One match per heading, with labels of the file type (code 1..4). Each label goes to one
// column at most: when several columns match it, the surest match keeps it (the leftmost of
// equals) and the others are left without a label and say so.
std::vector<ColumnMatch> matchHeadings(const std::vector<std::string>& headings, int typeCode);

// The editor's list for the labels chosen per column (empty: not imported): one label per
// column, since verification and the import find each field by its position.
std::vector<std::string> arrangedList(const std::vector<std::string>& chosen);

// The mandatory labels of the type that no column was given, in catalogue order.
std::vector<std::string> missingMandatory(const std::vector<std::string>& chosen, int typeCode);

// What the user is shown for a confidence: "Exact", "Common name", "Guess", "No match".
const char* confidenceText(MatchConfidence confidence);

} // namespace formats
