// The import run: the verified TAB file is read record by record, mandatory fields and dates
// are checked, every accepted record is written through the record mapping, and the creation
// log ImportLog.doc is written to the program folder. Also the opening of that log.
#pragma once

#include "mapping/WriteImportField.h"
#include "platform/Interaction.h"
#include "session/Modes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hostdata {
struct ImportDatabaseMade;
}

namespace wizard {

inline constexpr const char* kImportLogFile = "ImportLog.doc";

struct ImportRunInput {
    int ModeCode = session::mode::kNone; // a file type, kEmployee..kRetiree
    std::string AppDir;                  // program folder with its trailing separator
    std::string TabPath;                 // host path of the verified TAB file
    std::vector<std::string> labels;     // the structure list, column order
    std::vector<std::string> DateFlags;  // from index 1, as verification left them
    bool firstLineIsRecord = false;      // "Record #1" chosen; otherwise line 1 is a header
    // The file's lines when its inspection has just counted them (TextForm::lines), for the
    // progress window; -1 to count them here.
    std::int64_t lines = -1;
};

enum class RunOutcome {
    Completed,
    MissingFile, // the TAB file is empty or missing; nothing was written, not even the log
    Stopped,     // the database refused a record, or could not be finished; the log was kept
    Cancelled,   // the user cancelled the run in its progress window; the log says so
};

struct ImportRunResult {
    RunOutcome outcome = RunOutcome::Completed;
    std::int64_t recordsWritten = 0;
    std::int64_t recordsRejected = 0;
    std::int64_t entries = 0;
    std::string logPath; // host path of the log written
    bool logWritten = false;
    std::string stopCause; // why the database refused the record (Stopped)
    std::int64_t stopRecord = 0;
    bool sizeLimit = false;       // the record would have grown the database past its limit
    std::int64_t recordsRead = 0; // records of the file read, rejected ones included
    bool saveFailed = false;      // every record was read, but the database kept no name
};

// Title line and underline of the log for a file type code.
std::string logHeading(int modeCode);
inline constexpr const char* kNoErrorSentence =
    "The system did not detect any errors with the creation of the import file.";

// The run over any three row sets. Shows the "Missing File" message, a progress window that
// can cancel the run, and the message of a stopped run itself; the result says how the run
// ended.
ImportRunResult RunImport(const ImportRunInput& input, mapping::ImportRows& rows,
                          platform::UserInteraction& ui);

// The run into a database hostdata::MakeImportDatabase made, which takes its name only when
// every record was read and written. A stopped run, or a database that cannot be finished,
// leaves the named file as it was, after one message saying so; a cancelled one without a
// message.
ImportRunResult RunImportInto(const ImportRunInput& input, hostdata::ImportDatabaseMade& made,
                              platform::UserInteraction& ui);

// Asks the shell to open a document; the shell's failure codes become their messages.
// Returns the shell's code.
int OpenDocument(platform::UserInteraction& ui, const std::string& document, int showCode,
                 const std::string& parameters, const std::string& operation);

inline constexpr const char* kWordPadPath =
    "C:\\Program Files\\Windows NT\\Accessories\\wordpad.exe";

// Where WordPad is looked for: its standard place on Windows, nowhere on other systems.
std::string wordPadPath();

// Opens the creation log: with WordPad when it is there, otherwise through the shell's
// document association (the desktop's default opener on other systems).
void OpenImportLog(platform::UserInteraction& ui, const std::string& appDir,
                   const std::string& wordPad = wordPadPath());

} // namespace wizard
