// OpenDocument spreadsheets. Every cell carries the text it shows in its <text:p> paragraphs,
// so no number format needs applying here:
//
//   PART                    WHAT IS READ
//   META-INF/manifest.xml   <manifest:file-entry full-path> with <manifest:encryption-data>
//   content.xml             <style:style style:name style:family="table"> whose
//                           <style:table-properties table:display="false"> hides a sheet;
//                           <table:table table:name table:style-name>, rows and cells:
//                           <table:table-row table:number-rows-repeated>,
//                           <table:table-cell table:number-columns-repeated office:value-type>
//                           with <text:p>; <table:covered-table-cell> under a merged cell
#include "base/Numbers.h"
#include "spreadsheet/NumberFormat.h"
#include "spreadsheet/Readers.h"
#include "spreadsheet/Xml.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace spreadsheet::detail {
namespace {

constexpr std::string_view kTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr std::string_view kOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view kStyle = "urn:oasis:names:tc:opendocument:xmlns:style:1.0";
constexpr std::string_view kText = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr std::string_view kManifest = "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0";
constexpr std::string_view kDraw = "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0";

bool is(std::string_view name, std::string_view ns, std::string_view local) {
    return name.size() == ns.size() + 1 + local.size() && name.starts_with(ns) &&
           name.ends_with(local) && name[ns.size()] == '|';
}

std::int64_t repeatOf(const char** a, std::string_view local) {
    const char* text = attribute(a, kTable, local);
    const auto n = text ? numbers::parseInteger(text) : std::nullopt;
    return n && *n > 0 ? *n : 1;
}

class ManifestHandler : public XmlHandler {
public:
    bool contentEncrypted = false;
    void start(std::string_view name, const char** a) override {
        if (is(name, kManifest, "file-entry")) {
            const char* path = attribute(a, kManifest, "full-path");
            inContent_ = path && std::string_view(path) == "content.xml";
        } else if (is(name, kManifest, "encryption-data") && inContent_) {
            contentEncrypted = true;
        }
    }
    void end(std::string_view name) override {
        if (is(name, kManifest, "file-entry"))
            inContent_ = false;
    }

private:
    bool inContent_ = false;
};

// The attribute that holds a cell's value, by its value type.
const char* valueAttribute(std::string_view type) {
    return type == "date"      ? "date-value"
           : type == "time"    ? "time-value"
           : type == "boolean" ? "boolean-value"
           : type == "string"  ? "string-value"
                               : "value";
}

// A cell's value when it has no paragraphs to show (some programs write none).
std::string valueText(std::string_view type, const std::string& value) {
    if (type == "float" || type == "currency" || type == "percentage") {
        const auto v = numbers::parseDouble(value);
        if (!v)
            return {};
        return type == "percentage" ? generalText(*v * 100) + "%" : generalText(*v);
    }
    if (type == "boolean")
        return value == "true" ? "TRUE" : "FALSE";
    if (type == "date") {
        double serial = 0;
        if (!serialFromIso(value, DateSystem::From1900, serial))
            return value;
        return NumberFormat(serial == std::floor(serial) ? "m/d/yyyy" : "m/d/yyyy h:mm")
            .format(serial);
    }
    if (type == "time") {
        // "PT12H30M00S"
        double seconds = 0, part = 0;
        for (char c : value) {
            if (c >= '0' && c <= '9')
                part = part * 10 + (c - '0');
            else if (c == 'H' || c == 'M' || c == 'S')
                seconds += part * (c == 'H' ? 3600 : c == 'M' ? 60 : 1), part = 0;
        }
        return NumberFormat("h:mm:ss").format(seconds / 86400);
    }
    return value;
}

class ContentHandler : public XmlHandler {
public:
    // With a sink: reads the sheet asked for (see Book::read) and stops after it. Without:
    // lists the sheets.
    ContentHandler(CellSink* sink, std::string_view wanted) : sink_(sink), wanted_(wanted) {}
    std::vector<SheetEntry> sheets;
    bool found = false;

    void start(std::string_view name, const char** a) override {
        ++depth_;
        if (skipFrom_)
            return;
        if (inCell_) {
            startInCell(name, a);
        } else if (is(name, kStyle, "style")) {
            const char* family = attribute(a, kStyle, "family");
            const char* styleName = attribute(a, kStyle, "name");
            tableStyle_ =
                family && styleName && std::string_view(family) == "table" ? styleName : "";
        } else if (is(name, kStyle, "table-properties") && !tableStyle_.empty()) {
            const char* display = attribute(a, kTable, "display");
            if (display && std::string_view(display) == "false")
                hiddenStyles_.insert(tableStyle_);
        } else if (is(name, kTable, "table") && tableDepth_ == 0) {
            startTable(a);
        } else if (reading_ && is(name, kTable, "table-row")) {
            rowRepeat_ = repeatOf(a, "number-rows-repeated");
            rowCells_.clear();
            column_ = 0;
        } else if (reading_ &&
                   (is(name, kTable, "table-cell") || is(name, kTable, "covered-table-cell"))) {
            inCell_ = true;
            cellDepth_ = depth_;
            covered_ = is(name, kTable, "covered-table-cell");
            cellRepeat_ = repeatOf(a, "number-columns-repeated");
            cellText_.clear();
            paragraphs_ = 0;
            const char* type = attribute(a, kOffice, "value-type");
            valueType_ = type ? type : "";
            typed_ = !valueType_.empty() && valueType_ != "string" && valueType_ != "void";
            const char* value = type ? attribute(a, kOffice, valueAttribute(valueType_)) : nullptr;
            value_ = value ? value : "";
        }
    }

    void end(std::string_view name) override {
        if (skipFrom_ == depth_)
            skipFrom_ = 0;
        --depth_;
        if (skipFrom_)
            return;
        if (inCell_ && depth_ + 1 == cellDepth_) {
            endCell();
        } else if (inCell_) {
            if (is(name, kText, "p"))
                inParagraph_ = false;
        } else if (is(name, kTable, "table") && tableDepth_ == depth_ + 1) {
            tableDepth_ = 0;
            if (reading_)
                reading_ = false, stop();
        } else if (reading_ && is(name, kTable, "table-row")) {
            endRow();
        }
    }

    void text(std::string_view t) override {
        if (!inParagraph_ || skipFrom_)
            return;
        // Runs of blanks, TABs and line ends in the XML show as one blank, none at the start.
        for (char c : t) {
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                if (!lastBlank_)
                    cellText_ += ' ';
                lastBlank_ = true;
            } else {
                cellText_ += c;
                lastBlank_ = false;
            }
        }
    }

private:
    void startTable(const char** a) {
        tableDepth_ = depth_;
        const char* n = attribute(a, kTable, "name");
        const char* style = attribute(a, kTable, "style-name");
        SheetEntry entry{n ? n : "", !(style && hiddenStyles_.count(style))};
        if (!sink_) {
            sheets.push_back(entry);
        } else if (!found &&
                   (wanted_.empty() ? entry.visible : sameSheetName(entry.name, wanted_))) {
            found = reading_ = true;
            row_ = 0;
        }
    }

    void startInCell(std::string_view name, const char** a) {
        // Notes, pictures and shapes in a cell are not its text.
        if (is(name, kOffice, "annotation") || name.starts_with(kDraw) || is(name, kText, "note") ||
            is(name, kText, "ruby-text")) {
            skipFrom_ = depth_;
        } else if (is(name, kText, "p") || is(name, kText, "h")) {
            if (paragraphs_++ > 0)
                cellText_ += '\n';
            inParagraph_ = lastBlank_ = true;
        } else if (is(name, kText, "s")) {
            const char* c = attribute(a, kText, "c");
            const auto n = c ? numbers::parseInteger(c) : std::nullopt;
            cellText_.append(
                static_cast<std::size_t>(std::clamp<std::int64_t>(n.value_or(1), 1, 1000)), ' ');
            lastBlank_ = false;
        } else if (is(name, kText, "tab")) {
            cellText_ += '\t', lastBlank_ = false;
        } else if (is(name, kText, "line-break")) {
            cellText_ += '\n', lastBlank_ = false;
        }
    }

    void endCell() {
        inCell_ = inParagraph_ = false;
        const std::string text = paragraphs_ > 0 ? std::move(cellText_)
                                 : covered_      ? std::string()
                                                 : valueText(valueType_, value_);
        // Covered cells of a merged range are written empty, as spreadsheet programs write them.
        if (!covered_ && (!text.empty() || typed_))
            for (std::int64_t k = 0; k < cellRepeat_ && column_ + k < kMaxColumns; ++k)
                rowCells_.emplace_back(static_cast<std::int32_t>(column_ + k), text);
        column_ = std::min<std::int64_t>(column_ + cellRepeat_, kMaxColumns);
    }

    void endRow() {
        // An empty row only moves on, so the many rows repeated to a sheet's end cost nothing.
        if (!rowCells_.empty())
            for (std::int64_t k = 0; k < rowRepeat_ && row_ + k < kMaxRows; ++k)
                for (const auto& [column, text] : rowCells_)
                    sink_->cell(row_ + k, column, sink_->wantsText() ? text : std::string());
        row_ = std::min(row_ + rowRepeat_, kMaxRows);
    }

    CellSink* sink_;
    std::string wanted_;
    std::set<std::string> hiddenStyles_;
    std::string tableStyle_;
    int depth_ = 0, tableDepth_ = 0, cellDepth_ = 0, skipFrom_ = 0;
    bool reading_ = false, inCell_ = false, inParagraph_ = false, lastBlank_ = false;
    bool covered_ = false, typed_ = false;
    std::int64_t row_ = 0, rowRepeat_ = 1, column_ = 0, cellRepeat_ = 1;
    int paragraphs_ = 0;
    std::string cellText_, valueType_, value_;
    std::vector<std::pair<std::int32_t, std::string>> rowCells_;
};

class OdsBook : public Book {
public:
    explicit OdsBook(std::unique_ptr<ZipPackage> package) : package_(std::move(package)) {
        if (package_->has("META-INF/manifest.xml")) {
            ManifestHandler manifest;
            parseXml(*package_, "META-INF/manifest.xml", manifest);
            if (manifest.contentEncrypted)
                throw Problem(Trouble::Password);
        }
        if (!package_->has("content.xml"))
            throw Problem(Trouble::NotWorkbook);
    }

    std::vector<SheetEntry> sheets() override {
        ContentHandler handler(nullptr, {});
        parseXml(*package_, "content.xml", handler);
        return handler.sheets;
    }

    void read(std::string_view name, CellSink& sink) override {
        ContentHandler handler(&sink, name);
        parseXml(*package_, "content.xml", handler);
        if (!handler.found)
            pickSheet(sheets(), name); // names the problem: no such sheet, or none visible
    }

private:
    std::unique_ptr<ZipPackage> package_;
};

} // namespace

std::unique_ptr<Book> openOds(std::unique_ptr<ZipPackage> package) {
    return std::make_unique<OdsBook>(std::move(package));
}

} // namespace spreadsheet::detail
