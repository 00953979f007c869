#include "wizard/ImportRun.h"

#include "base/ByteScan.h"
#include "hostdata/ImportDatabase.h"
#include "hostdata/JetRowSet.h"
#include "jet/Database.h"
#include "platform/HostPath.h"
#include "wizard/ImportScan.h"

#include <algorithm>
#include <exception>
#include <fstream>
#include <optional>

namespace wizard {

namespace {

constexpr char kLf = 10;

// Records per batch handed to the storing thread: large enough that handing over costs little,
// small enough that a refused record is found soon after it was read.
constexpr std::size_t kStoringBatch = 256;

bool missingTabFile(const ImportRunInput& in, platform::UserInteraction& ui) {
    auto length = hostpath::fileLength(in.TabPath);
    if (length && *length > 0)
        return false;
    ui.critical("Missing File",
                "Cannot find your import file.  Please click previous and re-select the file and "
                "continue on.");
    return true;
}

void reportStop(platform::UserInteraction& ui, const ImportRunResult& r) {
    const std::string record = "record #" + std::to_string(r.stopRecord);
    if (r.sizeLimit) {
        ui.critical("Import Stopped",
                    "No import database was made.  Access opens no database larger than 2 GB, "
                    "and " +
                        record + " would have made the import database larger.  The " +
                        std::to_string(r.recordsWritten) +
                        " records before it fit; nothing was written.\n\nSplit the TAB file "
                        "and import the parts one at a time.");
        return;
    }
    ui.critical("Import Stopped", "No import database was made.  The import stopped at " + record +
                                      " because the database refused it:\n" + r.stopCause +
                                      "\n\nThe import log says where the import stopped.");
}

// Replaces any earlier log with this one.
void writeLog(const std::string& log, ImportRunResult& result, platform::UserInteraction& ui) {
    auto path = hostpath::resolve(result.logPath);
    std::error_code ec;
    while (std::filesystem::is_regular_file(path, ec) && std::filesystem::file_size(path, ec) > 0)
        if (!std::filesystem::remove(path, ec) || ec)
            break;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(log.data(), static_cast<std::streamsize>(log.size()));
    out.close();
    result.logWritten = static_cast<bool>(out);
    if (!result.logWritten)
        ui.critical("Import Log", "The import log could not be written to " + result.logPath + ".");
}

// The number of records the run will read: the file's lines, less a header line.
std::int64_t countRecords(const ImportRunInput& in) {
    std::int64_t lines = in.lines;
    if (lines < 0) {
        lines = 0;
        char last = kLf;
        readInPieces(in.TabPath, [&](std::string_view piece) {
            lines += bytescan::countByte(piece, kLf);
            last = piece.back();
            return true;
        });
        if (last != kLf)
            ++lines;
    }
    return in.firstLineIsRecord ? lines : std::max<std::int64_t>(lines - 1, 0);
}

// The progress window follows the records; its Cancel ends the scan.
class ProgressWatcher : public RecordWatcher {
public:
    explicit ProgressWatcher(platform::Progress& progress) : progress_(progress) {}
    bool seen(const ScannedRecord& record) override { return progress_.advance(record.number); }

private:
    platform::Progress& progress_;
};

// A run read to its end, to its stop or to the user's Cancel; the log is not yet written.
struct Scan {
    ImportRunResult result;
    std::string log;
};

// The progress window of a run, open while the records are read and the database is saved.
std::unique_ptr<platform::Progress> showProgress(const ImportRunInput& in,
                                                 platform::UserInteraction& ui) {
    const auto name = in.TabPath.substr(in.TabPath.find_last_of("\\/") + 1);
    return ui.showProgress("Creating the Import Database", "Importing the records of " + name,
                           countRecords(in));
}

// `storingBatch`: see ImportScan.
Scan scanInto(const ImportRunInput& in, mapping::ImportRows& rows, platform::Progress& progress,
              std::size_t storingBatch = 0) {
    ProgressWatcher watcher(progress);
    ImportScan scan(in, rows, &watcher, storingBatch);
    const bool started = progress.advance(0);
    if (started)
        scan.feedFile();
    Scan done{scan.finish(), scan.log()};
    if (!started || scan.ended())
        done.result.outcome = RunOutcome::Cancelled;
    return done;
}

// Without rows the run could not start; the log says why.
Scan notStarted(const ImportRunInput& in, const std::string& openError) {
    Scan scan;
    scan.result.outcome = RunOutcome::Stopped;
    scan.result.stopRecord = 1;
    scan.result.stopCause = openError;
    scan.log = logHeading(in.ModeCode) + "\n\n" + stopParagraph(1, openError);
    return scan;
}

// The scan into the import database's three tables, closed again when it returns.
Scan scanDatabase(const ImportRunInput& in, jet::Database& database, platform::Progress& progress) {
    std::optional<hostdata::JetRowSet> person, dependant, plan;
    try {
        person.emplace(database.OpenRecordset(in.ModeCode == session::mode::kEmployee
                                                  ? "Active_Employees"
                                                  : "Qualifier_Information"));
        dependant.emplace(database.OpenRecordset("Dependent_Information"));
        plan.emplace(database.OpenRecordset("Member_Insurance_Plan"));
    } catch (const std::exception& e) {
        return notStarted(in, e.what());
    }
    mapping::ImportRows rows{*person, *dependant, *plan};
    // The database stores one batch while the next is read and mapped.
    return scanInto(in, rows, progress, kStoringBatch);
}

// Writes the log and reports a stopped run.
ImportRunResult conclude(const ImportRunInput& in, Scan scan, platform::UserInteraction& ui) {
    if (scan.result.outcome == RunOutcome::Cancelled) {
        const auto read = scan.result.recordsRead;
        scan.log += "The import was cancelled after " + std::to_string(read) +
                    (read == 1 ? " record" : " records") + ".  No import database was made.\n\n";
    }
    if (scan.log.size() >= 3 && scan.log.compare(scan.log.size() - 3, 3, "-\n\n") == 0)
        scan.log += kNoErrorSentence;
    auto& result = scan.result;
    result.logPath = in.AppDir + kImportLogFile;
    writeLog(scan.log, result, ui);
    ui.setBusy(false);
    if (result.outcome == RunOutcome::Stopped && !result.saveFailed)
        reportStop(ui, result);
    return result;
}

ImportRunResult missingResult() {
    ImportRunResult r;
    r.outcome = RunOutcome::MissingFile;
    return r;
}

} // namespace

std::string logHeading(int modeCode) {
    using namespace session::mode;
    switch (modeCode) {
    case kEmployee:
        return "ACTIVE EMPLOYEE IMPORT FILE CREATION LOG\n" + std::string(40, '-');
    case kQualifier:
        return "QUALIFIER IMPORT FILE CREATION LOG\n" + std::string(34, '-');
    case kParticipant:
        return "COBRA PARTICIPANT IMPORT FILE CREATION LOG\n" + std::string(42, '-');
    case kRetiree:
        return "RETIRED EMPLOYEE IMPORT FILE CREATION LOG\n" + std::string(40, '-');
    default:
        return "\n";
    }
}

ImportRunResult RunImport(const ImportRunInput& input, mapping::ImportRows& rows,
                          platform::UserInteraction& ui) {
    if (missingTabFile(input, ui))
        return missingResult();
    ui.setBusy(true);
    Scan scan;
    {
        auto progress = showProgress(input, ui);
        scan = scanInto(input, rows, *progress);
    }
    return conclude(input, std::move(scan), ui);
}

ImportRunResult RunImportInto(const ImportRunInput& input, hostdata::ImportDatabaseMade& made,
                              platform::UserInteraction& ui) {
    if (missingTabFile(input, ui)) {
        hostdata::DiscardImportDatabase(made);
        return missingResult();
    }
    ui.setBusy(true);
    auto progress = showProgress(input, ui);
    Scan scan;
    try {
        scan = scanDatabase(input, *made.database, *progress);
    } catch (...) {
        hostdata::DiscardImportDatabase(made);
        throw;
    }
    auto& result = scan.result;
    if (result.outcome != RunOutcome::Completed) {
        hostdata::DiscardImportDatabase(made);
        progress.reset();
        return conclude(input, std::move(scan), ui);
    }
    // Saved before the log is written, so that the log tells how the run really ended.
    std::string cause;
    const std::string reached =
        "the end of the file (record #" + std::to_string(result.recordsRead) + ")";
    progress->finishing("Saving the import database");
    const bool saved = hostdata::FinishImportDatabase(made, ui, reached, &cause);
    progress.reset();
    if (!saved) {
        result.outcome = RunOutcome::Stopped;
        result.stopRecord = result.recordsRead;
        result.stopCause = cause;
        result.saveFailed = true;
        scan.log += "Every record was read, but the import database could not be saved: " + cause +
                    "  No import database was made.\n\n";
    }
    return conclude(input, std::move(scan), ui);
}

int OpenDocument(platform::UserInteraction& ui, const std::string& document, int showCode,
                 const std::string& parameters, const std::string& operation) {
    (void)showCode; // the shell service always opens a normal window
    int code = ui.shellOpen(document, parameters, operation);
    if (code > 32)
        return code;
    const char* text = nullptr;
    switch (code) {
    case platform::shell::kOutOfMemory:
        text = "Error: Out of Memory/Resources. Couldn't Execute!";
        break;
    case platform::shell::kFileNotFound:
        text = "Error: File not found.  Couldn't Execute!";
        break;
    case platform::shell::kPathNotFound:
        text = "Error: Path not found. Couldn't Execute!";
        break;
    case platform::shell::kBadFormat:
        text = "Error:  Bad File Format. Couldn't Execute!";
        break;
    case platform::shell::kNoAssociation:
#ifdef _WIN32
        ui.startProgram("rundll32.exe shell32.dll,OpenAs_RunDLL " + document);
#endif
        break;
    default:
        break;
    }
    if (text)
        ui.message({"", text, platform::Icon::None, platform::Buttons::Ok});
    return code;
}

std::string wordPadPath() {
#ifdef _WIN32
    return kWordPadPath;
#else
    return {};
#endif
}

void OpenImportLog(platform::UserInteraction& ui, const std::string& appDir,
                   const std::string& wordPad) {
    const std::string log = appDir + kImportLogFile;
    if (!wordPad.empty() && hostpath::isFile(wordPad)) {
        // The program in quotes, as its folder has blanks; the log's path as it is, since
        // WordPad reads the rest of its command line as one name.
        ui.startProgram("\"" + wordPad + "\" " + log);
        return;
    }
    const int code = OpenDocument(ui, log, 1, "", "");
#ifndef _WIN32
    // Windows offers its own "Open With" choice; elsewhere the log is shown in our viewer, so
    // that it reaches the user all the same.
    if (code == platform::shell::kNoAssociation)
        ui.viewText(kImportLogFile, log);
#else
    (void)code;
#endif
}

} // namespace wizard
