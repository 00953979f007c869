// Office Open XML workbooks, as ECMA-376 lays out their parts:
//
//   PART                          WHAT IS READ
//   _rels/.rels                   the workbook part (relationship type .../officeDocument)
//   xl/workbook.xml               <workbookPr date1904>, <sheet name state r:id>
//   xl/_rels/workbook.xml.rels    <Relationship Id Type Target>: sheets, styles, shared strings
//   xl/styles.xml                 <numFmts><numFmt numFmtId formatCode>, <cellXfs><xf numFmtId>
//   xl/sharedStrings.xml          <si> with <t>, or runs <r><t>; phonetic <rPh> left out
//   xl/worksheets/sheetN.xml      <sheetData><row r><c r s t> with <v> or <is>;
//                                 <mergeCells><mergeCell ref> after the data
#include "base/Numbers.h"
#include "base/Utf8.h"
#include "spreadsheet/NumberFormat.h"
#include "spreadsheet/Readers.h"
#include "spreadsheet/Xml.h"

#include <algorithm>
#include <map>
#include <optional>

namespace spreadsheet::detail {
namespace {

bool endsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string folderOf(std::string_view part) {
    const auto slash = part.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

// A relationship's target as a part name: relative to the source part's folder, or from the
// package root when it starts with '/'.
std::string resolveTarget(std::string_view source, std::string_view target) {
    const std::string joined = !target.empty() && target[0] == '/'
                                   ? std::string(target)
                                   : folderOf(source) + std::string(target);
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= joined.size(); ++i) {
        if (i < joined.size() && joined[i] != '/' && joined[i] != '\\')
            continue;
        const std::string piece = joined.substr(start, i - start);
        if (piece == ".." && !parts.empty())
            parts.pop_back();
        else if (!piece.empty() && piece != "." && piece != "..")
            parts.push_back(piece);
        start = i + 1;
    }
    std::string out;
    for (const auto& p : parts)
        out += (out.empty() ? "" : "/") + p;
    return out;
}

std::string relationshipsOf(std::string_view part) {
    const auto slash = part.rfind('/');
    const auto name = slash == std::string_view::npos ? part : part.substr(slash + 1);
    return folderOf(part) + "_rels/" + std::string(name) + ".rels";
}

// Text in .xlsx writes characters XML cannot carry as _xHHHH_ ("_x000D_" for CR).
std::string decodeEscapes(std::string s) {
    if (s.find("_x") == std::string::npos)
        return s;
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        unsigned value = 0;
        bool escape = i + 7 <= s.size() && s[i] == '_' && s[i + 1] == 'x' && s[i + 6] == '_';
        for (std::size_t k = 2; escape && k < 6; ++k) {
            const char c = asciiLower(s[i + k]);
            escape = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
            value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
        }
        if (escape) {
            utf::appendUtf8(out, value);
            i += 6;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::optional<std::int64_t> integerOf(const char* text) {
    if (!text)
        return std::nullopt;
    return numbers::parseInteger(text);
}

struct Relationship {
    std::string type, target;
};

class RelationshipsHandler : public XmlHandler {
public:
    explicit RelationshipsHandler(std::string source) : source_(std::move(source)) {}
    std::map<std::string, Relationship> byId;

    void start(std::string_view name, const char** a) override {
        if (localName(name) != "Relationship")
            return;
        const char* id = attribute(a, "Id");
        const char* type = attribute(a, "Type");
        const char* target = attribute(a, "Target");
        const char* mode = attribute(a, "TargetMode");
        if (id && type && target && !(mode && std::string_view(mode) == "External"))
            byId[id] = {type, resolveTarget(source_, target)};
    }
    void end(std::string_view) override {}

private:
    std::string source_;
};

struct SheetPart {
    SheetEntry entry;
    std::string relationship;
    std::string part;
};

class WorkbookHandler : public XmlHandler {
public:
    std::vector<SheetPart> sheets;
    bool date1904 = false;

    void start(std::string_view name, const char** a) override {
        const auto local = localName(name);
        if (local == "sheet") {
            const char* sheetName = attribute(a, "name");
            const char* state = attribute(a, "state");
            const char* id = attribute(a, "id");
            if (!sheetName || !id)
                return;
            const bool visible = !state || std::string_view(state) == "visible";
            sheets.push_back({{sheetName, visible}, id, {}});
        } else if (local == "workbookPr") {
            const char* value = attribute(a, "date1904");
            date1904 =
                value && (std::string_view(value) == "1" || std::string_view(value) == "true");
        }
    }
    void end(std::string_view) override {}
};

class StylesHandler : public XmlHandler {
public:
    std::map<int, std::string> codes;
    std::vector<int> formatOfXf;

    void start(std::string_view name, const char** a) override {
        const auto local = localName(name);
        if (local == "numFmts") {
            inCodes_ = true;
        } else if (local == "cellXfs") {
            inXfs_ = true;
        } else if (local == "numFmt" && inCodes_) {
            const auto id = integerOf(attribute(a, "numFmtId"));
            const char* code = attribute(a, "formatCode");
            if (id && code)
                codes[static_cast<int>(*id)] = code;
        } else if (local == "xf" && inXfs_) {
            formatOfXf.push_back(static_cast<int>(integerOf(attribute(a, "numFmtId")).value_or(0)));
        }
    }
    void end(std::string_view name) override {
        const auto local = localName(name);
        if (local == "numFmts")
            inCodes_ = false;
        else if (local == "cellXfs")
            inXfs_ = false;
    }

private:
    bool inCodes_ = false, inXfs_ = false;
};

class SharedStringsHandler : public XmlHandler {
public:
    std::vector<std::string> strings;

    void start(std::string_view name, const char**) override {
        const auto local = localName(name);
        if (local == "si")
            inItem_ = true, current_.clear();
        else if (local == "rPh")
            ++phonetic_;
        else if (local == "t" && inItem_ && phonetic_ == 0)
            capture_ = true;
    }
    void end(std::string_view name) override {
        const auto local = localName(name);
        if (local == "t")
            capture_ = false;
        else if (local == "rPh")
            --phonetic_;
        else if (local == "si")
            strings.push_back(decodeEscapes(std::move(current_))), inItem_ = false;
    }
    void text(std::string_view t) override {
        if (capture_)
            current_ += t;
    }

private:
    std::string current_;
    bool inItem_ = false, capture_ = false;
    int phonetic_ = 0;
};

struct Range {
    std::int64_t top, bottom;
    std::int32_t left, right;
};

// "AB12" as a column and row from 0; the row is -1 when the reference has none.
bool parseReference(std::string_view ref, std::int32_t& column, std::int64_t& row) {
    std::size_t i = 0;
    std::int64_t c = 0;
    while (i < ref.size() && asciiLower(ref[i]) >= 'a' && asciiLower(ref[i]) <= 'z' &&
           c <= kMaxColumns)
        c = c * 26 + (asciiLower(ref[i++]) - 'a' + 1);
    if (i == 0 || c > kMaxColumns)
        return false;
    column = static_cast<std::int32_t>(c - 1);
    row = -1;
    if (i < ref.size()) {
        const auto r = numbers::parseInteger(ref.substr(i));
        if (!r || *r < 1 || *r > kMaxRows)
            return false;
        row = *r - 1;
    }
    return true;
}

std::optional<Range> parseRange(std::string_view ref) {
    const auto colon = ref.find(':');
    Range r{};
    std::int64_t row2 = 0;
    std::int32_t column2 = 0;
    if (!parseReference(ref.substr(0, colon), r.left, r.top) || r.top < 0)
        return std::nullopt;
    if (colon == std::string_view::npos)
        return std::nullopt; // one cell covers nothing
    if (!parseReference(ref.substr(colon + 1), column2, row2) || row2 < 0)
        return std::nullopt;
    r.bottom = std::max(r.top, row2);
    r.top = std::min(r.top, row2);
    r.right = std::max(r.left, column2);
    r.left = std::min(r.left, column2);
    return r;
}

struct Formats {
    DateSystem dates = DateSystem::From1900;
    std::map<int, NumberFormat> byId;
    std::vector<const NumberFormat*> byXf; // nullptr: General
    std::vector<std::string> strings;

    std::string show(double value, std::size_t xf) const {
        const NumberFormat* f = xf < byXf.size() ? byXf[xf] : nullptr;
        return f ? f->format(value, dates) : generalText(value);
    }
    std::string showText(std::string text, std::size_t xf) const {
        const NumberFormat* f = xf < byXf.size() ? byXf[xf] : nullptr;
        return f ? f->formatText(text) : text;
    }
};

// The cells of one worksheet. Merged ranges come after the cells, so the first reading of a
// sheet gathers them and later readings leave the covered cells out.
class SheetHandler : public XmlHandler {
public:
    SheetHandler(const Formats& formats, CellSink& sink, const std::vector<Range>* merges)
        : formats_(formats), sink_(sink), known_(merges) {
        if (known_) {
            pending_ = *known_;
            std::sort(pending_.begin(), pending_.end(),
                      [](const Range& a, const Range& b) { return a.top > b.top; });
        }
    }
    std::vector<Range> merges;

    void start(std::string_view name, const char** a) override {
        const auto local = localName(name);
        if (local == "sheetData") {
            inData_ = true;
        } else if (!inData_) {
            if (local == "mergeCell")
                if (const char* ref = attribute(a, "ref"))
                    if (auto r = parseRange(ref))
                        merges.push_back(*r);
        } else if (local == "row") {
            startRow(attribute(a, "r"));
        } else if (local == "c") {
            startCell(a);
        } else if (local == "v" && inCell_) {
            capture_ = hasValue_ = true;
        } else if (local == "is" && inCell_) {
            inInline_ = hasValue_ = true;
        } else if (local == "rPh") {
            ++phonetic_;
        } else if (local == "t" && inInline_ && phonetic_ == 0) {
            capture_ = true;
        }
    }

    void end(std::string_view name) override {
        const auto local = localName(name);
        if (local == "sheetData")
            inData_ = false;
        else if (local == "v" || local == "t")
            capture_ = false;
        else if (local == "rPh")
            --phonetic_;
        else if (local == "is")
            inInline_ = false;
        else if (local == "c" && inCell_)
            endCell();
    }

    void text(std::string_view t) override {
        if (capture_)
            value_ += t;
    }

private:
    void startRow(const char* r) {
        std::int64_t row = row_ + 1;
        if (r) {
            const auto n = numbers::parseInteger(r);
            if (!n || *n < 1 || *n > kMaxRows)
                throw Problem(Trouble::Damaged, std::string("a row numbered ") + r);
            row = *n - 1;
        }
        if (row <= row_ || row >= kMaxRows)
            throw Problem(Trouble::Damaged, "rows out of order");
        row_ = row;
        column_ = -1;
        // Merged ranges that reach this row.
        while (!pending_.empty() && pending_.back().top <= row_) {
            active_.push_back(pending_.back());
            pending_.pop_back();
        }
        std::erase_if(active_, [&](const Range& m) { return m.bottom < row_; });
    }

    void startCell(const char** a) {
        if (row_ < 0)
            startRow(nullptr);
        std::int32_t column = column_ + 1;
        if (const char* r = attribute(a, "r")) {
            std::int64_t ignored = 0;
            if (!parseReference(r, column, ignored))
                throw Problem(Trouble::Damaged, std::string("a cell named ") + r);
        }
        if (column <= column_ || column >= kMaxColumns)
            throw Problem(Trouble::Damaged, "cells out of order");
        column_ = column;
        const char* type = attribute(a, "t");
        type_ = type ? type : "n";
        style_ = static_cast<std::size_t>(
            std::max<std::int64_t>(integerOf(attribute(a, "s")).value_or(0), 0));
        value_.clear();
        inCell_ = true;
        hasValue_ = capture_ = inInline_ = false;
    }

    bool covered() const {
        for (const auto& m : active_)
            if (column_ >= m.left && column_ <= m.right && !(row_ == m.top && column_ == m.left))
                return true;
        return false;
    }

    void endCell() {
        inCell_ = false;
        if (!hasValue_ || covered())
            return;
        const bool wanted = sink_.wantsText();
        std::string shown;
        if (type_ == "s") {
            const auto index = numbers::parseInteger(value_);
            if (!index || *index < 0 || static_cast<std::size_t>(*index) >= formats_.strings.size())
                return;
            shown = formats_.strings[static_cast<std::size_t>(*index)];
            if (shown.empty())
                return;
            shown = wanted ? formats_.showText(std::move(shown), style_) : std::string();
        } else if (type_ == "inlineStr" || type_ == "str") {
            shown = decodeEscapes(std::move(value_));
            if (shown.empty())
                return;
            shown = wanted ? formats_.showText(std::move(shown), style_) : std::string();
        } else {
            const auto first = value_.find_first_not_of(" \t\r\n");
            if (first == std::string::npos)
                return;
            const std::string_view v = std::string_view(value_).substr(
                first, value_.find_last_not_of(" \t\r\n") - first + 1);
            if (!wanted) {
                // Only the place counts on this reading.
            } else if (type_ == "b") {
                shown = v == "1" || v == "true" ? "TRUE" : "FALSE";
            } else if (type_ == "e") {
                shown = v;
            } else if (type_ == "d") {
                double serial = 0;
                shown = serialFromIso(v, formats_.dates, serial) ? formats_.show(serial, style_)
                                                                 : std::string(v);
            } else if (const auto number = numbers::parseDouble(v)) {
                shown = formats_.show(*number, style_);
            } else {
                shown = v;
            }
        }
        sink_.cell(row_, column_, wanted ? shown : std::string());
    }

    const Formats& formats_;
    CellSink& sink_;
    const std::vector<Range>* known_;
    std::vector<Range> pending_, active_; // merged ranges still to come, and those over this row
    bool inData_ = false, inCell_ = false, hasValue_ = false, capture_ = false, inInline_ = false;
    int phonetic_ = 0;
    std::int64_t row_ = -1;
    std::int32_t column_ = -1;
    std::string type_, value_;
    std::size_t style_ = 0;
};

class XlsxBook : public Book {
public:
    explicit XlsxBook(std::unique_ptr<ZipPackage> package) : package_(std::move(package)) {
        std::string workbook = "xl/workbook.xml";
        if (package_->has("_rels/.rels")) {
            RelationshipsHandler root("");
            parseXml(*package_, "_rels/.rels", root);
            for (const auto& [id, r] : root.byId)
                if (endsWith(r.type, "/officeDocument"))
                    workbook = r.target;
        }
        if (endsWith(workbook, ".bin"))
            throw Problem(Trouble::BinaryExcel);
        if (!package_->has(workbook))
            throw Problem(Trouble::NotWorkbook);
        WorkbookHandler book;
        parseXml(*package_, workbook, book);
        formats_.dates = book.date1904 ? DateSystem::From1904 : DateSystem::From1900;

        RelationshipsHandler rels(workbook);
        if (package_->has(relationshipsOf(workbook)))
            parseXml(*package_, relationshipsOf(workbook), rels);
        for (auto& sheet : book.sheets) {
            const auto r = rels.byId.find(sheet.relationship);
            // Chart sheets and dialog sheets hold no cells.
            if (r != rels.byId.end() && endsWith(r->second.type, "/worksheet")) {
                sheet.part = r->second.target;
                sheets_.push_back(std::move(sheet));
            }
        }
        for (const auto& [id, r] : rels.byId) {
            if (endsWith(r.type, "/styles"))
                stylesPart_ = r.target;
            else if (endsWith(r.type, "/sharedStrings"))
                stringsPart_ = r.target;
        }
        merges_.resize(sheets_.size());
    }

    std::vector<SheetEntry> sheets() override {
        std::vector<SheetEntry> out;
        for (const auto& s : sheets_)
            out.push_back(s.entry);
        return out;
    }

    void read(std::string_view name, CellSink& sink) override {
        const std::size_t index = pickSheet(sheets(), name);
        loadShared();
        const auto& merges = merges_[index];
        SheetHandler handler(formats_, sink, merges ? &*merges : nullptr);
        parseXml(*package_, sheets_[index].part, handler);
        if (!merges)
            merges_[index] = std::move(handler.merges);
    }

private:
    void loadShared() {
        if (loaded_)
            return;
        loaded_ = true;
        if (!stylesPart_.empty() && package_->has(stylesPart_)) {
            StylesHandler styles;
            parseXml(*package_, stylesPart_, styles);
            for (int id : styles.formatOfXf) {
                const auto code = styles.codes.find(id);
                const std::string_view text = code != styles.codes.end()
                                                  ? std::string_view(code->second)
                                                  : builtinFormatCode(id);
                if (text.empty() || text == "General") {
                    formats_.byXf.push_back(nullptr);
                    continue;
                }
                auto it = formats_.byId.find(id);
                if (it == formats_.byId.end())
                    it = formats_.byId.emplace(id, NumberFormat(text)).first;
                formats_.byXf.push_back(&it->second);
            }
        }
        if (!stringsPart_.empty() && package_->has(stringsPart_)) {
            SharedStringsHandler strings;
            parseXml(*package_, stringsPart_, strings);
            formats_.strings = std::move(strings.strings);
        }
    }

    std::unique_ptr<ZipPackage> package_;
    std::vector<SheetPart> sheets_;
    std::string stylesPart_, stringsPart_;
    bool loaded_ = false;
    Formats formats_;
    std::vector<std::optional<std::vector<Range>>> merges_;
};

} // namespace

std::unique_ptr<Book> openXlsx(std::unique_ptr<ZipPackage> package) {
    return std::make_unique<XlsxBook>(std::move(package));
}

} // namespace spreadsheet::detail
