#include "app/HelpPage.h"

#include "app/Instructions.h"
#include "formats/FieldCatalogue.h"
#include "platform/Ansi.h"

namespace app {
namespace {

std::string escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// A program text (Windows-1252, lines joined by LF) as a preformatted block.
std::string block(const std::string& ansiText) {
    return "<pre>" + escaped(ansi::toUtf8(ansiText)) + "</pre>\n";
}

std::string catalogue() {
    std::string out;
    for (const auto& type : formats::fileTypes()) {
        out += "<h3>" + escaped(type.editorCaption) + " (" + type.name + ")</h3>\n<ol>\n";
        for (const auto& label : formats::defaultFieldList(type.code)) {
            const bool optional = formats::isOptionalLabel(label);
            out += "<li>" + escaped(ansi::toUtf8(ansi::trim(label))) +
                   (optional ? "" : " <b>(required)</b>") + "</li>\n";
        }
        out += "</ol>\n";
    }
    return out;
}

// clang-format off
constexpr const char* kMessages = R"html(<h2>What the verification tells you</h2>
<dl>
<dt>Incorrect File Format: the file did not separate fields with a TAB character</dt>
<dd>The file is not TAB-delimited. In the spreadsheet program choose Save As and the type
"Text (Tab delimited) (*.txt)", then choose the new file.</dd>
<dt>Incorrect File Format: the file seems to have more or fewer fields than you selected</dt>
<dd>The columns of the file and the fields in the structure differ in number. Add or remove
fields in the structure (or columns in the spreadsheet) so that they match, in the same
order.</dd>
<dt>Remove extra fields?</dt>
<dd>The file has more columns than the structure, but the extra ones are empty, as spreadsheet
programs often leave them. Answer Yes: a copy of the file ending in "_Revised.txt" is written
without them, and you verify that copy.</dd>
<dt>Invalid Dates in Import File</dt>
<dd>A field whose name holds "Date" has something other than a date in the first or second
line. If that line is the column headers, go on and choose Record #2 as the first record;
otherwise correct the dates (month/day/year).</dd>
<dt>Invalid Import File (the pound sign)</dt>
<dd>A spreadsheet column was too narrow and was saved as "#####". Widen the column in the
spreadsheet and save the TAB file again.</dd>
</dl>
<h2>The first record, the preview and Create</h2>
<p>Once you choose Record #1 or Record #2, the window shows the first 100 records as they will be
stored: dates as month/day/year, social security numbers with their hyphens, the city joined
with the state and zip code, each field cut to its length. A record the import will reject is
shown in red; point at it to read the reason the creation log will give. A date the import will
leave out is shown in yellow. Above the records, the whole file is counted: how many records
will be imported and how many rejected. Large files take a moment to count; the window can be
used meanwhile.</p>
<p>While Create imports, a window shows how many records are done. Cancel there stops the
import: no import database is made, an earlier database of the same name is kept as it was, and
the creation log says after how many records the import was cancelled.</p>
<h2>The creation log</h2>
<p>After Create, the log <code>ImportLog.doc</code> in the program folder lists what the
import could not take as it was:</p>
<dl>
<dt>"N)  In record #R, the mandatory field 'F' was not entered.  This record will not be
imported."</dt>
<dd>Record R (counted from the first record) has nothing in a required field. The host will not
import that person until the field is filled in.</dd>
<dt>"N)  In record #R, the date field called 'F' had an invalid date (...)"</dt>
<dd>A date field held something that is not a date (month/day/year); the text in brackets is
what it held, and what became of it.</dd>
<dt>"N)  In record #R, the field 'F' (...) was not stored because its line ..."</dt>
<dd>The line of record R ended before the structure's last field, or ended with a line feed
alone: the text in brackets was not imported. Verify offers a corrected copy of such files;
this entry means the copy was declined.</dd>
<dt>"N)  Record #R was not imported because the last line of the file has no line end."</dt>
<dd>The file ends in the middle of a line. Verify offers a corrected copy that ends it.</dd>
<dt>"The system did not detect any errors with the creation of the import file."</dt>
<dd>Every record was written as it was.</dd>
<dt>"The import stopped at record #R because the database refused it: ..."</dt>
<dd>The import database could not take that record (for example the disk is full); the cause
follows, and neither it nor the records after it were imported. No import database was
made.</dd>
<dt>"Every record was read, but the import database could not be saved: ..."</dt>
<dd>The import finished, but the database could not take its name (for example another program
has the old one open); the cause follows. No import database was made.</dd>
<dt>"The import was cancelled after N records.  No import database was made."</dt>
<dd>Cancel was clicked while the import ran (or Ctrl+C pressed in tarnfield-batch).</dd>
</dl>
)html";

constexpr const char* kArrange = R"html(<h2>Arranging the fields from the file's headings</h2>
<p>When the file's first line holds the headings of its columns, "Arrange from File..." in the
structure editor saves moving the fields one by one. Choose the file (a TAB file, a workbook or
a .csv file): each column is shown beside the field its heading names, with how sure that match
is: "Exact" (the field's own name), "Common name" (such as SSN, DOB, Zip or Sex) or "Guess".
Check the guesses and the columns marked in orange, which match no field or a field another
column took, and choose the right field from the list where needed. A column left as
"(column not imported)" keeps its place, so the other columns still line up, but nothing in it
is imported. OK puts the fields in the file's order and leaves out the optional fields the file
does not have; a required field no column was given is named first. Cancel leaves the list as
it was. The arranged list is not saved until you save it; choose Record #2 as the first record
later, since the first line is the headings.</p>
)html";

constexpr const char* kWorkbooks = R"html(<h2>Choosing a workbook directly</h2>
<p>In Step 2, Browse also takes the client's workbook (.xlsx or .ods) or a comma-separated
file (.csv), so that it need not first be saved as a TAB file in the spreadsheet program.
Tarnfield writes the TAB file itself, beside the workbook and named like it with "_Tab.txt"
in place of its extension, exactly as the spreadsheet program's "Text (Tab delimited)" save
would (cells as they are shown, a line break inside a cell as one blank), tells you which file
it wrote, and verifies and imports that file. A workbook of several sheets asks which sheet
holds the records. Older .xls workbooks must be saved as .xlsx first.</p>
)html";
// clang-format on

} // namespace

std::string helpPageHtml() {
    std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                       "<title>Tarnfield Help</title></head><body>\n<h1>Tarnfield Help</h1>\n";
    html += "<h2>Import instructions</h2>\n" + block(instructionsText());
    html += "<h2>Step 1</h2>\n" + block(step1Text());
    html += kArrange;
    html += "<h2>Step 2</h2>\n" + block(step2Text());
    html += "<h2>Step 3</h2>\n" + block(step3Text());
    html += kWorkbooks;
    html += "<h2>The fields of each file type</h2>\n<p>Required fields may not be removed from a "
            "structure; the others (shown indented in the editor) may.</p>\n";
    html += catalogue();
    html += kMessages;
    html += "</body></html>\n";
    return html;
}

} // namespace app
