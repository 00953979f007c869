// Workbooks and CSV files of any content, and number format codes of any text: the TAB copy is
// written whole or reported with a message, never a crash, and nothing else is left behind.
// The first byte chooses what the rest becomes: a CSV file, a format code applied to a value,
// or the sheet, shared strings and styles of an .xlsx file (parts split at 0xFF bytes), or the
// content of an .ods file.
#include "FuzzFiles.h"
#include "spreadsheet/NumberFormat.h"
#include "spreadsheet/Workbook.h"

#include <cstring>
#include <filesystem>
#include <vector>
#include <zip.h>

namespace {

namespace fs = std::filesystem;

void makeZip(const fs::path& file, const std::vector<std::pair<std::string, std::string>>& parts) {
    int error = 0;
    zip_t* z = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    fuzzfiles::expect(z != nullptr, "a zip file can be made");
    // The parts outlive the archive's closing, when libzip reads them.
    for (const auto& [name, data] : parts)
        zip_file_add(z, name.c_str(), zip_source_buffer(z, data.data(), data.size(), 0), 0);
    fuzzfiles::expect(zip_close(z) == 0, "the zip file is written");
}

std::vector<std::string> splitAtFF(std::string_view bytes, std::size_t most) {
    std::vector<std::string> parts(1);
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) == 0xFF && parts.size() < most)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    parts.resize(most);
    return parts;
}

const char* kRels =
    "<Relationships><Relationship Id=\"r1\" Type=\"http://schemas.openxmlformats.org/"
    "officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"r2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
    "relationships/sharedStrings\" Target=\"sharedStrings.xml\"/><Relationship Id=\"r3\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
    "Target=\"styles.xml\"/></Relationships>";
const char* kWorkbook =
    "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"r1\"/></sheets></workbook>";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const auto& dir = fuzzfiles::folder();
    std::error_code ec;
    fs::remove_all(dir / "out", ec);
    fs::create_directories(dir / "out");
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    fs::path source;
    switch (data[0] % 4) {
    case 0:
        source = dir / "out" / "book.csv";
        fuzzfiles::write(source, rest);
        break;
    case 1: {
        double value = 0;
        std::memcpy(&value, rest.data(), std::min(rest.size(), sizeof value));
        const auto code = rest.substr(std::min(rest.size(), sizeof value));
        const spreadsheet::NumberFormat format(code);
        (void)format.format(value);
        (void)format.format(value, spreadsheet::DateSystem::From1904);
        (void)format.formatText("text");
        (void)spreadsheet::generalText(value);
        return 0;
    }
    case 2: {
        source = dir / "out" / "book.xlsx";
        const auto parts = splitAtFF(rest, 3);
        makeZip(source, {{"xl/workbook.xml", kWorkbook},
                         {"xl/_rels/workbook.xml.rels", kRels},
                         {"xl/worksheets/sheet1.xml", parts[0]},
                         {"xl/sharedStrings.xml", parts[1]},
                         {"xl/styles.xml", parts[2]}});
        break;
    }
    default:
        source = dir / "out" / "book.ods";
        makeZip(source, {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                         {"content.xml", std::string(rest)}});
        break;
    }
    (void)spreadsheet::listSheets(source);
    const auto target = dir / "out" / "copy.txt";
    const auto result = spreadsheet::writeTabCopy(source, "", target);
    fuzzfiles::expect(result.ok == fs::exists(target), "a copy exactly when it was written");
    fuzzfiles::expect(result.ok || !result.error.empty(), "a failure says why");
    for (const auto& entry : fs::directory_iterator(dir / "out"))
        fuzzfiles::expect(entry.path() == source || entry.path() == target,
                          "nothing left beside the copy");
    return 0;
}
