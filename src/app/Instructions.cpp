#include "app/Instructions.h"

#include <initializer_list>

namespace app {
namespace {

std::string joinLines(std::initializer_list<const char*> lines) {
    std::string text;
    bool first = true;
    for (const char* line : lines) {
        if (!first)
            text += '\n';
        text += line;
        first = false;
    }
    return text;
}

} // namespace

std::string instructionsText() {
    return joinLines({
        "Importing information from one system to another is a complex procedure.  We have "
        "created this program to assist with importing data from your Microsoft Excel files "
        "(provided you have all the required information).",
        "",
        "Tarnfield\xA9"
        " will create an import database file (from a TAB delimited file) in a format the "
        "Brandmoor software needs for importing Active Employees, COBRA Qualifiers, COBRA "
        "Participants and Retirees.  A TAB delimited file creates records with a TAB between "
        "each record field.  Programs like Microsoft Excel and Access have the ability to create "
        "a TAB delimited file (with a .txt extension).",
        "",
        "The Import process has three steps; Create the Tab Delimited file; Create the Database "
        "Import File and Import into the Brandmoor program.  Please go through the following "
        "steps.",
    });
}

std::string step1Text() {
    return joinLines({
        "You cannot import an Excel file.  First, you must create a Tab Delimited File.  This "
        "file may be created with Microsoft Excel by following these steps.",
        "",
        "   1)  Start your field headers/names in the \"A1\" box in Excel.  (Headers",
        "        may consist of only one row.)",
        "   2)  Place ONLY fields that are shown on the first form (under FILE",
        "        and Create Import File).  If your Excel file has other fields/",
        "        columns that are not needed in the Brandmoor software, you should",
        "        delete that Column.",
        "   3)  Under the File Menu, click the \"Save As\" option.",
        "   4)  Select a location to save the file AND select the \"Text (Tab",
        "        Delimited) (*.txt)\" option in the \"Save As Type\" drop down list.",
        "        Click the Save button.",
        "",
        "Remember where you have saved this TAB delimited file.  In the next step, you will be "
        "asked to select it so the system can create an import database file the Brandmoor "
        "Software may use to actually import your information.",
    });
}

std::string step2Text() {
    return joinLines({
        "Next, this program needs to create the Import Database file.",
        "",
        "   1)  Under FILE Menu, select Create Import File and the file type.",
        "   2)  Remove optional fields that are not in your TAB delimited file.",
        "   3)  Place the fields in the same order as your TAB delimited file.  Highlight",
        "        and move with green Up and Down Arrow buttons.",
        "   4)  Save format (for future imports) and click Next button.",
        "   5)  Browse and select your created TAB delimited file.",
        "   6)  Click the Verify button to ensure the structure is correct.",
        "   7)  Click the Next button after verification is completed.",
        "   8)  Select which record is the first record in your file.  If your headings",
        "        are showing in record #1, select record #2.",
        "   9)  Click the Create button and enter the location to save database file.",
        "",
        "If you encountered error in any of these steps, you'll need to correct your Tab "
        "Delimited file.  Once it is correct and the import database file is created, you are "
        "ready for the next step.",
    });
}

std::string step3Text() {
    return joinLines({
        "Lastly, you need to perform the actual import of the newly created database file.  This "
        "file will be in a Microsoft Access (.mdb) format.  Provided you followed steps 1 and 2, "
        "Tarnfield created this database file.  To import you information into the Brandmoor "
        "software:",
        "",
        "   1)  Start the Brandmoor program.",
        "   2)  Under the FILE Menu, select the Import Data from Database option.",
        "   3)  Select the newly created import database file.",
        "   4)  Review your list of selected imported files to verify the",
        "        import was performed correctly.",
        "",
        "",
        "            Congratulations!",
    });
}

} // namespace app
