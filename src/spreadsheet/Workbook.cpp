#include "spreadsheet/Workbook.h"

#include "platform/AtomicFile.h"
#include "spreadsheet/Readers.h"
#include "spreadsheet/TabWriter.h"

#include <algorithm>
#include <array>
#include <fstream>

namespace fs = std::filesystem;

namespace spreadsheet {
namespace detail {

bool sameSheetName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

std::size_t pickSheet(const std::vector<SheetEntry>& sheets, std::string_view name) {
    for (std::size_t i = 0; i < sheets.size(); ++i)
        if (name.empty() ? sheets[i].visible : sameSheetName(sheets[i].name, name))
            return i;
    throw Problem(name.empty() ? Trouble::NoVisibleSheet : Trouble::NoSuchSheet, std::string(name));
}

} // namespace detail

namespace {

using detail::Problem;
using detail::Trouble;

std::string lowerExtension(const fs::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](char c) { return detail::asciiLower(c); });
    return ext;
}

std::string utf8Name(const fs::path& file) {
    const auto name = file.u8string();
    return std::string(name.begin(), name.end());
}

// The start of a compound file: Excel 97-2003 workbooks, and Office files under a password.
constexpr std::array<unsigned char, 8> kCompoundFile = {0xD0, 0xCF, 0x11, 0xE0,
                                                        0xA1, 0xB1, 0x1A, 0xE1};

// An encrypted Office Open XML file is a compound file with a stream of this name.
bool holdsEncryptedPackage(const fs::path& file) {
    static const std::string name = [] {
        std::string s;
        for (char c : std::string_view("EncryptedPackage"))
            s += c, s += '\0';
        return s;
    }();
    std::ifstream in(file, std::ios::binary);
    std::string carry;
    std::vector<char> buffer(1 << 16);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
        carry.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
        if (carry.find(name) != std::string::npos)
            return true;
        carry.erase(0, carry.size() - std::min(carry.size(), name.size()));
    }
    return false;
}

std::unique_ptr<detail::Book> openBook(const fs::path& file) {
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    std::ifstream in(file, std::ios::binary);
    if (ec || !in)
        throw Problem(Trouble::Unreadable);
    if (size == 0)
        throw Problem(Trouble::Empty);
    std::array<unsigned char, 8> head{};
    in.read(reinterpret_cast<char*>(head.data()), head.size());
    in.close();
    const std::string ext = lowerExtension(file);

    // The contents decide, whatever the extension says.
    if (head == kCompoundFile)
        throw Problem(holdsEncryptedPackage(file) ? Trouble::Password : Trouble::OldExcel);
    const bool zip = head[0] == 'P' && head[1] == 'K' &&
                     ((head[2] == 3 && head[3] == 4) || (head[2] == 5 && head[3] == 6));
    if (zip) {
        auto package = std::make_unique<detail::ZipPackage>(file);
        if (package->has("[Content_Types].xml"))
            return detail::openXlsx(std::move(package));
        if (package->has("content.xml") || package->has("mimetype"))
            return detail::openOds(std::move(package));
        throw Problem(Trouble::NotWorkbook);
    }
    switch (kindOf(file)) {
    case Kind::Csv:
        return detail::openCsv(file);
    case Kind::Text:
        throw Problem(Trouble::AlreadyText);
    case Kind::Xls:
        throw Problem(ext == ".xlsb" ? Trouble::BinaryExcel : Trouble::OldExcel);
    default:
        throw Problem(Trouble::NotWorkbook);
    }
}

std::string message(const Problem& p, const fs::path& source, const fs::path& target) {
    const std::string file = utf8Name(source);
    const std::string detail = p.what();
    const bool ods = lowerExtension(source) == ".ods";
    const std::string saveAgain =
        " Open it in the spreadsheet program, save it again, and choose it again.";
    switch (p.trouble()) {
    case Trouble::Unreadable:
        return "The file " + file +
               " cannot be read. Check that it exists and that you may open it.";
    case Trouble::Empty:
        return "The file " + file + " is empty.";
    case Trouble::Damaged:
        return "The workbook " + file + " is damaged or incomplete" +
               (detail.empty() ? "" : " (" + detail + ")") + "." + saveAgain;
    case Trouble::NotWorkbook:
        return std::string("The file ") + file + " is not " +
               (ods ? "an OpenDocument spreadsheet" : "an Excel workbook") + "." + saveAgain;
    case Trouble::Password:
        return "The workbook " + file +
               " is protected by a password. Remove the password in the spreadsheet program, "
               "save it, and choose it again.";
    case Trouble::OldExcel:
        return "The workbook " + file +
               " is in the Excel 97-2003 format (.xls), which cannot be read here. Open it in "
               "the spreadsheet program, save it as an Excel Workbook (.xlsx), and choose that "
               "file.";
    case Trouble::BinaryExcel:
        return "The workbook " + file +
               " is in the Excel Binary format (.xlsb), which cannot be read here. Open it in "
               "the spreadsheet program, save it as an Excel Workbook (.xlsx), and choose that "
               "file.";
    case Trouble::TooLarge:
        return "The workbook " + file +
               " unpacks to far more data than a workbook holds; it is damaged or not a real "
               "workbook.";
    case Trouble::TooWide:
        return "The file " + file + " has more than 16384 columns, more than a sheet can hold.";
    case Trouble::NoSuchSheet:
        return "The workbook " + file + " has no sheet named \"" + detail + "\".";
    case Trouble::NoVisibleSheet:
        return "The workbook " + file + " has no visible sheet.";
    case Trouble::AlreadyText:
        return "The file " + file + " is a text file already; it needs no TAB copy.";
    case Trouble::CannotWrite:
        return "The TAB copy " + utf8Name(target) + " cannot be written: " + detail + ".";
    }
    return "The workbook " + file + " cannot be read.";
}

// Finds the used range: the last row and column holding a value.
class UsedRange : public detail::CellSink {
public:
    bool wantsText() const override { return false; }
    void cell(std::int64_t row, std::int32_t column, std::string_view) override {
        rows = std::max(rows, row + 1);
        columns = std::max(columns, column + 1);
    }
    std::int64_t rows = 0;
    std::int32_t columns = 0;
};

class CopySink : public detail::CellSink {
public:
    explicit CopySink(TabWriter& writer) : writer_(writer) {}
    void cell(std::int64_t row, std::int32_t column, std::string_view text) override {
        writer_.cell(row, column, text);
    }

private:
    TabWriter& writer_;
};

// Keeps the first row's cells and stops the reader at the first cell below it.
class FirstRowSink : public detail::CellSink {
public:
    struct Done {};
    void cell(std::int64_t row, std::int32_t column, std::string_view text) override {
        if (row > 0)
            throw Done{};
        const auto at = static_cast<std::size_t>(column);
        if (at >= fields.size())
            fields.resize(at + 1);
        fields[at] = tabField(text);
    }
    std::vector<std::string> fields;
};

std::int64_t copy(detail::Book& book, const std::string& sheet, const fs::path& partial) {
    UsedRange used;
    book.read(sheet, used);
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out)
        throw Problem(Trouble::CannotWrite, "the folder cannot take a new file");
    TabWriter writer(out, used.columns);
    CopySink sink(writer);
    book.read(sheet, sink);
    writer.finish(used.rows);
    out.close();
    if (!out)
        throw Problem(Trouble::CannotWrite, "the disk may be full");
    return used.rows;
}

} // namespace

Kind kindOf(const fs::path& file) {
    const std::string ext = lowerExtension(file);
    if (ext == ".csv")
        return Kind::Csv;
    if (ext == ".xlsx" || ext == ".xlsm")
        return Kind::Xlsx;
    if (ext == ".ods")
        return Kind::Ods;
    if (ext == ".xls" || ext == ".xlsb")
        return Kind::Xls;
    return Kind::Text;
}

fs::path tabCopyPath(const fs::path& source) {
    fs::path name = source.stem();
    name += "_Tab.txt";
    return source.parent_path() / name;
}

SheetList listSheets(const fs::path& workbook) {
    SheetList list;
    try {
        for (const auto& sheet : openBook(workbook)->sheets())
            if (sheet.visible)
                list.names.push_back(sheet.name);
    } catch (const Problem& p) {
        list.error = message(p, workbook, {});
    } catch (const std::exception& e) {
        list.error = message(Problem(Trouble::Damaged, e.what()), workbook, {});
    }
    if (list.names.empty() && list.error.empty())
        list.error = message(Problem(Trouble::NoVisibleSheet), workbook, {});
    return list;
}

FirstRow readFirstRow(const fs::path& source, const std::string& sheet) {
    FirstRow result;
    FirstRowSink sink;
    try {
        try {
            openBook(source)->read(sheet, sink);
        } catch (const FirstRowSink::Done&) {
        }
        result.fields = std::move(sink.fields);
        result.ok = true;
    } catch (const Problem& p) {
        result.error = message(p, source, {});
    } catch (const std::bad_alloc&) {
        result.error = message(Problem(Trouble::TooLarge), source, {});
    } catch (const std::exception& e) {
        result.error = message(Problem(Trouble::Damaged, e.what()), source, {});
    }
    return result;
}

CopyResult writeTabCopy(const fs::path& source, const std::string& sheet, const fs::path& target) {
    CopyResult result;
    atomicfile::removeLeftovers(target);
    const fs::path partial = atomicfile::partialPath(target);
    try {
        auto book = openBook(source);
        result.rows = copy(*book, sheet, partial);
        atomicfile::syncFile(partial);
        if (const auto ec = atomicfile::replace(partial, target))
            throw Problem(Trouble::CannotWrite, ec.message());
        result.ok = true;
    } catch (const Problem& p) {
        result.error = message(p, source, target);
    } catch (const std::bad_alloc&) {
        result.error = message(Problem(Trouble::TooLarge), source, target);
    } catch (const std::exception& e) {
        result.error = message(Problem(Trouble::Damaged, e.what()), source, target);
    }
    if (!result.ok) {
        std::error_code ec;
        fs::remove(partial, ec);
        result.rows = 0;
    }
    return result;
}

} // namespace spreadsheet
