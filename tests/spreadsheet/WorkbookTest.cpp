// Workbooks and CSV files to TAB copies: against LibreOffice's own TAB copies of the test data
// (data/README.md), on files built here part by part for what LibreOffice never writes, and on
// damaged files made by byte surgery.
#include "spreadsheet/Workbook.h"

#include "support/Archive.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

const fs::path kData = TARNFIELD_SHEETS_DATA;

// The TAB copy's bytes, or the error.
std::string copyOf(const fs::path& source, const std::string& sheet = {}) {
    TempDir dir;
    const auto result = spreadsheet::writeTabCopy(source, sheet, dir / "copy.txt");
    return result.ok ? readFile(dir / "copy.txt") : "error: " + result.error;
}

// clang-format off
const std::string kMain = R"( xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
                          R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")";
const std::string kRelationships =
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
const std::string kType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

// A workbook of the fewest parts: sheets as (name, state, sheet XML), shared strings, and the
// cellXfs and numFmts of styles.xml.
void makeXlsx(const fs::path& file, const std::vector<std::array<std::string, 3>>& sheets,
              const std::string& strings = "", const std::string& styles = "") {
    std::vector<testsupport::ArchiveEntry> entries = {
        {"[Content_Types].xml", "<Types/>"},
        {"xl/sharedStrings.xml", "<sst" + kMain + ">" + strings + "</sst>"},
        {"xl/styles.xml", "<styleSheet" + kMain + ">" + styles + "</styleSheet>"}};
    std::string list, rels = kRelationships +
        R"(<Relationship Id="s" Type=")" + kType + R"(styles" Target="styles.xml"/>)" +
        R"(<Relationship Id="t" Type=")" + kType + R"(sharedStrings" Target="/xl/sharedStrings.xml"/>)";
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        const auto n = std::to_string(i + 1);
        list += R"(<sheet name=")" + sheets[i][0] + R"(" sheetId=")" + n + R"(" r:id="rId)" + n +
                R"(")" + (sheets[i][1].empty() ? "" : R"( state=")" + sheets[i][1] + R"(")") + "/>";
        rels += R"(<Relationship Id="rId)" + n + R"(" Type=")" + kType +
                R"(worksheet" Target="worksheets/../worksheets/s)" + n + R"(.xml"/>)";
        entries.push_back({"xl/worksheets/s" + n + ".xml", sheets[i][2]});
    }
    entries.push_back({"xl/workbook.xml", "<workbook" + kMain + "><sheets>" + list + "</sheets></workbook>"});
    entries.push_back({"xl/_rels/workbook.xml.rels", rels + "</Relationships>"});
    testsupport::makeArchive(file, entries);
}

std::string worksheet(const std::string& data, const std::string& after = "") {
    return "<worksheet" + kMain + "><sheetData>" + data + "</sheetData>" + after + "</worksheet>";
}
// clang-format on

TEST(SheetCopy, IsWhatTheSpreadsheetProgramSavedByteForByte) {
    struct Case {
        const char* file;
        const char* sheet;
        const char* expected;
    };
    // clients.ods holds in its cells the text LibreOffice showed for clients.xlsx.
    for (const Case& c : {Case{"clients.xlsx", "", "clients.xlsx.Clients.txt"},
                          Case{"clients.xlsx", "plans", "clients.xlsx.Plans.txt"},
                          Case{"clients.xlsx", "Empty", "clients.xlsx.Empty.txt"},
                          Case{"clients.ods", "", "clients.xlsx.Clients.txt"},
                          Case{"clients.ods", "Plans", "clients.xlsx.Plans.txt"},
                          Case{"clients.ods", "Empty", "clients.xlsx.Empty.txt"},
                          Case{"builtin.xlsx", "", "builtin.xlsx.Builtin.txt"},
                          Case{"dates1904.xlsx", "", "dates1904.xlsx.Dates.txt"},
                          Case{"clients-utf8.csv", "", "clients-utf8.csv.txt"},
                          Case{"clients-1252.csv", "any name", "clients-1252.csv.txt"}})
        EXPECT_EQ(copyOf(kData / c.file, c.sheet), readFile(kData / "expected" / c.expected))
            << c.file << " " << c.sheet;
}

TEST(SheetCopy, OffersTheVisibleSheetsAndCountsTheRowsWritten) {
    const std::vector<std::string> visible = {"Clients", "Plans", "Empty"};
    EXPECT_EQ(spreadsheet::listSheets(kData / "clients.xlsx").names, visible);
    EXPECT_EQ(spreadsheet::listSheets(kData / "clients.ods").names, visible);
    EXPECT_EQ(spreadsheet::listSheets(kData / "clients-1252.csv").names,
              std::vector<std::string>{"clients-1252"});

    TempDir dir;
    auto result = spreadsheet::writeTabCopy(kData / "clients.xlsx", "", dir / "c.txt");
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.rows, 8);
    result = spreadsheet::writeTabCopy(kData / "clients.ods", "Empty", dir / "c.txt");
    EXPECT_EQ(result.rows, 0);
    // A hidden sheet is not offered, but can still be named.
    EXPECT_EQ(copyOf(kData / "clients.xlsx", "Hidden"), "secret\r\n");
    EXPECT_EQ(copyOf(kData / "clients.ods", "hidden"), "secret\r\n");
}

TEST(SheetCopy, ReadsXlsxPartsAsExcelWritesThem) {
    TempDir dir;
    // clang-format off
    makeXlsx(dir / "book.xlsx",
             {{"Chart", "veryHidden", worksheet("")},
               {"Data", "", worksheet(
                   // no cell references; rich text with a phonetic reading; an escaped CR
                   R"(<row><c t="inlineStr"><is><r><t>ri</t></r><r><t>ch</t></r><rPh><t>RI</t></rPh></is></c>)"
                   R"(<c><v> 2 </v></c><c r="E1" t="s"><v>0</v></c><c t="s"><v>1</v></c></row>)"
                   // a date cell, a boolean through a number format, an error, a formula's text
                   R"(<row r="2"><c r="A2" t="d" s="1"><v>2023-03-15T12:00:00Z</v></c><c t="b" s="2"><v>1</v></c>)"
                   R"(<c s="3"><v>45000</v></c><c t="e"><v>#REF!</v></c><c t="str"><f>A1</f><v>calc</v></c></row>)"
                   // a merged range whose covered cell still holds a value
                   R"(<row r="4"><c r="B4"><v>1</v></c><c r="C4"><v>2</v></c></row>)",
                   R"(<mergeCells><mergeCell ref="B4:C5"/></mergeCells>)")}},
             R"(<si><t>a_x000D_b_x005F_x0041_</t></si>)"
             R"(<si><r><t>Ka</t></r><r><t>to</t></r><rPh sb="0" eb="2"><t>KATO</t></rPh></si>)",
             R"(<numFmts><numFmt numFmtId="164" formatCode="[$-409]mmmm d, yyyy;@"/></numFmts>)"
             R"(<cellXfs><xf numFmtId="0"/><xf numFmtId="22"/><xf numFmtId="2"/><xf numFmtId="164"/></cellXfs>)");
    // clang-format on
    EXPECT_EQ(spreadsheet::listSheets(dir / "book.xlsx").names, std::vector<std::string>{"Data"});
    // Where LibreOffice differs: it shows a date cell as its serial, the boolean as 1.00, and
    // the covered cell's value.
    EXPECT_EQ(copyOf(dir / "book.xlsx"), "rich\t2\t\t\t\"a b_x0041_\"\tKato\r\n"
                                         "3/15/2023 12:00\tTRUE\tMarch 15, 2023\t#REF!\tcalc\t\r\n"
                                         "\t\t\t\t\t\r\n"
                                         "\t1\t\t\t\t\r\n");

    makeXlsx(dir / "backwards.xlsx",
             {{"S", "", worksheet(R"(<row r="3"><c><v>1</v></c></row><row r="2"/>)")}});
    EXPECT_NE(copyOf(dir / "backwards.xlsx").find("is damaged or incomplete (rows out of order)"),
              std::string::npos);
    makeXlsx(dir / "doctype.xlsx", {{"S", "", R"(<!DOCTYPE x [<!ENTITY a "aaaa">]><worksheet/>)"}});
    EXPECT_NE(copyOf(dir / "doctype.xlsx").find("declares a document type"), std::string::npos);
}

TEST(SheetCopy, FindsPartsThroughTheirRelationshipsInStrictFilesToo) {
    TempDir dir;
    // clang-format off
    const std::string strict = R"(xmlns="http://purl.oclc.org/ooxml/spreadsheetml/main" )"
                               R"(xmlns:r="http://purl.oclc.org/ooxml/officeDocument/relationships")";
    const std::string type = "http://purl.oclc.org/ooxml/officeDocument/relationships/";
    testsupport::makeArchive(dir / "strict.xlsx", {
        {"[Content_Types].xml", "<Types/>"},
        {"_rels/.rels", kRelationships + R"(<Relationship Id="w" Type=")" + type +
                            R"(officeDocument" Target="book/wb.xml"/></Relationships>)"},
        {"book/wb.xml", "<workbook " + strict + R"(><workbookPr date1904="true"/><sheets>)"
                        R"(<sheet name="Chart" sheetId="1" r:id="c"/><sheet name="One" sheetId="2" r:id="o"/></sheets></workbook>)"},
        {"book/_rels/wb.xml.rels", kRelationships +
             R"(<Relationship Id="c" Type=")" + type + R"(chartsheet" Target="charts/c.xml"/>)" +
             R"(<Relationship Id="o" Type=")" + type + R"(worksheet" Target="/book/sheets/one.xml"/>)" +
             R"(<Relationship Id="x" Type=")" + type + R"(hyperlink" Target="http://x/" TargetMode="External"/>)" +
             R"(<Relationship Id="st" Type=")" + type + R"(styles" Target="style.xml"/></Relationships>)"},
        {"book/style.xml", "<styleSheet " + strict + R"(><cellXfs><xf/><xf numFmtId="14"/></cellXfs></styleSheet>)"},
        {"book/sheets/one.xml", "<worksheet " + strict + R"(><sheetData><row><c s="1"><v>0</v></c></row></sheetData></worksheet>)"}});
    // clang-format on
    EXPECT_EQ(spreadsheet::listSheets(dir / "strict.xlsx").names, std::vector<std::string>{"One"});
    EXPECT_EQ(copyOf(dir / "strict.xlsx"), "1/1/1904\r\n");
}

TEST(SheetCopy, CellsBeyondTheLastRowOrColumnMakeTheFileDamaged) {
    TempDir dir;
    makeXlsx(dir / "wide.xlsx", {{"S", "", worksheet(R"(<row><c r="XFE1"><v>1</v></c></row>)")}});
    makeXlsx(dir / "long.xlsx",
             {{"S", "", worksheet(R"(<row r="1048577"><c><v>1</v></c></row>)")}});
    makeXlsx(dir / "last.xlsx",
             {{"S", "", worksheet(R"(<row r="3"><c r="XFD3"><v>1</v></c></row>)")}});
    EXPECT_NE(copyOf(dir / "wide.xlsx").find("(a cell named XFE1)"), std::string::npos);
    EXPECT_NE(copyOf(dir / "long.xlsx").find("(a row numbered 1048577)"), std::string::npos);
    EXPECT_EQ(copyOf(dir / "last.xlsx"), std::string(16383, '\t') + "\r\n" +
                                             std::string(16383, '\t') + "\r\n" +
                                             std::string(16383, '\t') + "1\r\n");
}

TEST(SheetCopy, ReadsOdsRepeatsParagraphsAndMergedCells) {
    TempDir dir;
    // clang-format off
    const std::string content =
        R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
        R"(xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" )"
        R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0">)"
        R"(<office:automatic-styles><style:style style:name="ta2" style:family="table">)"
        R"(<style:table-properties table:display="false"/></style:style></office:automatic-styles>)"
        R"(<office:body><office:spreadsheet><table:table table:name="Gone" table:style-name="ta2"/>)"
        R"(<table:table table:name="Data">)"
        R"(<table:table-row table:number-rows-repeated="2"><table:table-cell table:number-columns-repeated="1024"/></table:table-row>)"
        R"(<table:table-row><table:table-cell table:number-columns-repeated="2"><text:p>x</text:p></table:table-cell>)"
        R"(<table:table-cell table:number-columns-spanned="2"><text:p>top</text:p></table:table-cell>)"
        R"(<table:covered-table-cell><text:p>hidden</text:p></table:covered-table-cell>)"
        R"(<table:table-cell office:value-type="float" office:value="0.5"/>)"
        R"(<table:table-cell table:number-columns-repeated="16000"/></table:table-row>)"
        R"(<table:table-header-rows><table:table-row table:number-rows-repeated="2"><table:table-cell><text:p>  one  <text:s text:c="2"/>two</text:p>)"
        R"(<text:p>line<text:tab/>tab<text:line-break/><text:span>end</text:span></text:p>)"
        R"(<office:annotation><text:p>a note</text:p></office:annotation></table:table-cell></table:table-row></table:table-header-rows>)"
        R"(<table:table-row table:number-rows-repeated="1048000"><table:table-cell table:number-columns-repeated="16384"/></table:table-row>)"
        R"(</table:table></office:spreadsheet></office:body></office:document-content>)";
    // clang-format on
    testsupport::makeArchive(
        dir / "book.ods",
        {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"}, {"content.xml", content}});
    EXPECT_EQ(spreadsheet::listSheets(dir / "book.ods").names, std::vector<std::string>{"Data"});
    const std::string cell = "\"one   two line\ttab end\"";
    EXPECT_EQ(copyOf(dir / "book.ods"), "\t\t\t\t\r\n\t\t\t\t\r\nx\tx\ttop\t\t0.5\r\n" + cell +
                                            "\t\t\t\t\r\n" + cell + "\t\t\t\t\r\n");
}

TEST(SheetCopy, CsvFieldsKeepTheirQuotesAcrossLinesAndTabsMayBeTheSeparator) {
    TempDir dir;
    writeFile(dir / "tabs.csv", "a\tb;c\t\"x\ny\"\r\n\"open\t");
    EXPECT_EQ(copyOf(dir / "tabs.csv"), "a\tb;c\t\"x y\"\r\n\"open\t\"\t\t\r\n");
}

TEST(SheetCopy, CsvTextIsUtf8WhenItCanBeAndWindows1252Otherwise) {
    TempDir dir;
    writeFile(dir / "utf8.csv", "Jos\xC3\xA9,\xE2\x82\xAC 5\n");
    writeFile(dir / "ansi.csv", "Jos\xE9,\x80 5\n");
    // An overlong form of '/' is not UTF-8, whatever else in the file could be.
    writeFile(dir / "overlong.csv", "\xC3\xA9,\xC0\xAF\n");
    EXPECT_EQ(copyOf(dir / "utf8.csv"), "Jos\xE9\t\x80 5\r\n");
    EXPECT_EQ(copyOf(dir / "ansi.csv"), "Jos\xE9\t\x80 5\r\n");
    EXPECT_EQ(copyOf(dir / "overlong.csv"), "\xC3\xA9\t\xC0\xAF\r\n");
}

// Where a part's local header starts in a zip archive (signature PK\3\4; its name at 30).
std::size_t localHeader(const std::string& zip, const std::string& part) {
    for (auto p = zip.find("PK\3\4"); p != std::string::npos; p = zip.find("PK\3\4", p + 1))
        if (zip.compare(p + 30, part.size(), part) == 0)
            return p;
    return std::string::npos;
}

//   OFFSET SIZE MEANING (local header / central directory entry)
//   22/24  4    uncompressed size
//   26/28  2    name length        28/30  2  extra field length     30/46  name
void claimSize(std::string& zip, const std::string& part, std::uint32_t size) {
    auto put = [&](std::size_t at) {
        for (int i = 0; i < 4; ++i)
            zip[at + i] = static_cast<char>(size >> (8 * i));
    };
    put(localHeader(zip, part) + 22);
    for (auto p = zip.find("PK\1\2"); p != std::string::npos; p = zip.find("PK\1\2", p + 1))
        if (zip.compare(p + 46, part.size(), part) == 0)
            put(p + 24);
}

TEST(SheetCopy, ProblemsComeBackAsOneMessageNamingTheFileAndNothingIsWritten) {
    TempDir dir;
    const std::string good = readFile(kData / "clients.xlsx");
    writeFile(dir / "empty.xlsx", "");
    writeFile(dir / "notes.xlsx", "Name\tSSN\r\n");
    writeFile(dir / "cut.xlsx", good.substr(0, good.size() / 2));
    writeFile(dir / "old.xls",
              std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(504, '\0'));
    writeFile(dir / "binary.xlsb", "not read");
    writeFile(dir / "notes.txt", "a\tb\r\n");
    fs::copy_file(kData / "encrypted.xlsx", dir / "locked.xlsx");
    fs::copy_file(kData / "encrypted.ods", dir / "locked.ods");
    fs::copy_file(kData / "clients.xlsx", dir / "clients.xlsx");
    // A sheet whose deflated data is spoilt, and one that claims to unpack to 3 GiB.
    testsupport::makeArchive(dir / "bomb.xlsx", {{"[Content_Types].xml", "<Types/>"},
                                                 {"xl/workbook.xml", "<workbook/>"}});
    std::string zip = readFile(dir / "bomb.xlsx");
    claimSize(zip, "xl/workbook.xml", 3u << 30);
    writeFile(dir / "bomb.xlsx", zip);
    makeXlsx(dir / "spoilt.xlsx", {{"S", "", worksheet(std::string(4000, ' ') + "<row/>")}});
    zip = readFile(dir / "spoilt.xlsx");
    const std::string part = "xl/worksheets/s1.xml";
    const auto header = localHeader(zip, part);
    const auto extra = static_cast<unsigned char>(zip[header + 28]);
    const auto sheetData = header + 30 + part.size() + extra + 2; // a little into the deflate
    for (std::size_t i = 0; i < 8; ++i)
        zip[sheetData + i] = static_cast<char>(~zip[sheetData + i]);
    writeFile(dir / "spoilt.xlsx", zip);

    const auto name = [&](const char* file) { return (dir / file).string(); };
    const std::string again =
        " Open it in the spreadsheet program, save it again, and choose it again.";
    struct Case {
        std::string file, sheet, message;
    };
    const std::vector<Case> cases = {
        {"missing.xlsx", "",
         "The file " + name("missing.xlsx") +
             " cannot be read. Check that it exists and that you may open it."},
        {"empty.xlsx", "", "The file " + name("empty.xlsx") + " is empty."},
        {"notes.xlsx", "", "The file " + name("notes.xlsx") + " is not an Excel workbook." + again},
        {"locked.xlsx", "",
         "The workbook " + name("locked.xlsx") +
             " is protected by a password. Remove the password in the spreadsheet program, save "
             "it, and choose it again."},
        {"locked.ods", "",
         "The workbook " + name("locked.ods") +
             " is protected by a password. Remove the password in the spreadsheet program, save "
             "it, and choose it again."},
        {"old.xls", "",
         "The workbook " + name("old.xls") +
             " is in the Excel 97-2003 format (.xls), which cannot be read here. Open it in the "
             "spreadsheet program, save it as an Excel Workbook (.xlsx), and choose that file."},
        {"binary.xlsb", "",
         "The workbook " + name("binary.xlsb") +
             " is in the Excel Binary format (.xlsb), which cannot be read here. Open it in the "
             "spreadsheet program, save it as an Excel Workbook (.xlsx), and choose that file."},
        {"notes.txt", "",
         "The file " + name("notes.txt") + " is a text file already; it needs no TAB copy."},
        {"clients.xlsx", "Nope",
         "The workbook " + name("clients.xlsx") + " has no sheet named \"Nope\"."},
        {"bomb.xlsx", "",
         "The workbook " + name("bomb.xlsx") +
             " unpacks to far more data than a workbook holds; it is damaged or not a real "
             "workbook."},
    };
    for (const auto& c : cases) {
        writeFile(dir / "copy.txt", "earlier copy");
        const auto result = spreadsheet::writeTabCopy(dir / c.file, c.sheet, dir / "copy.txt");
        EXPECT_FALSE(result.ok) << c.file;
        EXPECT_EQ(result.error, c.message);
        EXPECT_EQ(readFile(dir / "copy.txt"), "earlier copy") << c.file;
        if (c.sheet.empty()) {
            EXPECT_EQ(spreadsheet::listSheets(dir / c.file).error, c.message);
        }
    }
    // What libzip and zlib say of the damage goes in brackets.
    EXPECT_EQ(copyOf(dir / "cut.xlsx")
                  .find("error: The workbook " + name("cut.xlsx") + " is damaged or incomplete ("),
              0u);
    EXPECT_NE(copyOf(dir / "spoilt.xlsx").find("is damaged or incomplete (xl/worksheets/s1.xml: "),
              std::string::npos);
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().string().find("partial"), std::string::npos) << entry.path();
}

TEST(SheetCopy, NeverBreaksOnAWorkbookCutOrSpoiltAnywhere) {
    TempDir dir;
    for (const char* file : {"clients.xlsx", "clients.ods"}) {
        const std::string good = readFile(kData / file);
        for (std::size_t at = 0; at < good.size(); at += 211) {
            std::string bad = good;
            bad[at] = static_cast<char>(bad[at] ^ 0x5A);
            writeFile(dir / file, at % 2 ? good.substr(0, at) : bad);
            const auto result = spreadsheet::writeTabCopy(dir / file, "", dir / "copy.txt");
            EXPECT_TRUE(result.ok || result.error.find((dir / file).string()) != std::string::npos);
        }
    }
}

TEST(SheetCopy, KindsAndCopyNames) {
    using spreadsheet::Kind;
    EXPECT_EQ(spreadsheet::kindOf("C:/Clients/Q1.XLSX"), Kind::Xlsx);
    EXPECT_EQ(spreadsheet::kindOf("q1.Ods"), Kind::Ods);
    EXPECT_EQ(spreadsheet::kindOf("q1.csv"), Kind::Csv);
    EXPECT_EQ(spreadsheet::kindOf("q1.xls"), Kind::Xls);
    EXPECT_EQ(spreadsheet::kindOf("q1.tab"), Kind::Text);
    EXPECT_EQ(spreadsheet::kindOf("q1"), Kind::Text);
    EXPECT_EQ(spreadsheet::tabCopyPath(fs::path("clients") / "Q1 2024.xlsx"),
              fs::path("clients") / "Q1 2024_Tab.txt");
}

} // namespace
