#include "wizard/HeaderLine.h"

#include "base/Utf8.h"
#include "formats/HeaderMatch.h"
#include "platform/Ansi.h"
#include "platform/HostPath.h"
#include "spreadsheet/Workbook.h"

#include <fstream>

namespace wizard {
namespace {

// Far longer than any line of headings; the rest of the file is not needed.
constexpr std::size_t kHeadBytes = 1 << 16;

bool multiByteUtf8(std::string_view text) {
    bool multi = false;
    for (std::size_t at = 0; at < text.size();) {
        const auto cp = utf::nextCodePoint(text, at);
        if (!cp)
            return false;
        multi = multi || *cp >= 0x80;
    }
    return multi;
}

std::optional<std::string> readHead(const std::string& hostPath) {
    std::ifstream in(hostpath::resolve(hostPath), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes(kHeadBytes, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad())
        return std::nullopt;
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

} // namespace

std::string firstLineText(std::string_view bytes) {
    const bool little = bytes.starts_with("\xFF\xFE");
    if (little || bytes.starts_with("\xFE\xFF")) {
        std::u16string units;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const auto lo = static_cast<unsigned char>(bytes[little ? i : i + 1]);
            const auto hi = static_cast<unsigned char>(bytes[little ? i + 1 : i]);
            const auto unit = static_cast<char16_t>(lo | hi << 8);
            if (unit == u'\r' || unit == u'\n')
                break;
            units += unit;
        }
        return ansi::fromUtf16(units);
    }
    const bool bom = bytes.starts_with("\xEF\xBB\xBF");
    if (bom)
        bytes.remove_prefix(3);
    const std::string_view line = bytes.substr(0, bytes.find_first_of("\r\n"));
    return bom || multiByteUtf8(line) ? ansi::fromUtf8(line) : std::string(line);
}

std::optional<std::vector<std::string>> fileHeadings(const std::string& chosen,
                                                     platform::UserInteraction& ui,
                                                     const WorkbookChoice& choice) {
    const auto source = hostpath::resolve(chosen);
    std::vector<std::string> headings;
    if (spreadsheet::kindOf(source) == spreadsheet::Kind::Text) {
        const auto head = readHead(chosen);
        if (!head) {
            ui.critical("File Not Read", "The file " + chosen +
                                             " cannot be read.  Check that it exists and that "
                                             "you may open it.");
            return std::nullopt;
        }
        headings = formats::splitHeaderLine(firstLineText(*head));
    } else {
        std::string sheet;
        if (spreadsheet::kindOf(source) != spreadsheet::Kind::Csv) {
            auto picked = chooseSheet(chosen, choice, ui);
            if (!picked)
                return std::nullopt;
            sheet = *picked;
        }
        auto row = spreadsheet::readFirstRow(source, sheet);
        if (!row.ok) {
            ui.critical("Spreadsheet Not Read", ansi::fromUtf8(row.error));
            return std::nullopt;
        }
        std::string line;
        for (std::size_t i = 0; i < row.fields.size(); ++i)
            line += (i ? "\t" : "") + row.fields[i];
        headings = formats::splitHeaderLine(line);
    }

    if (headings.empty()) {
        ui.critical("No Column Headings",
                    "The first line of " + chosen +
                        " names no column.  The fields can be arranged only from a file whose "
                        "first line holds the headings of its columns.");
        return std::nullopt;
    }
    if (headings.size() > formats::kMostColumns) {
        ui.critical("Too Many Columns",
                    "The first line of " + chosen + " names " + std::to_string(headings.size()) +
                        " columns, but a format holds at most " +
                        std::to_string(formats::kMostColumns) +
                        " fields.  Remove the columns that are not to be imported from the file, "
                        "and try again.");
        return std::nullopt;
    }
    return headings;
}

} // namespace wizard
