#include "wizard/ImportRun.h"

#include "formats/FieldCatalogue.h"
#include "hostdata/ImportDatabase.h"
#include "hostdata/JetRowSet.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "platform/Ansi.h"
#include "platform/AtomicFile.h"
#include "platform/Dates.h"
#include "platform/HostPath.h"

#include <exception>
#include <fstream>
#include <optional>
#include <unordered_map>

namespace wizard {

namespace {

constexpr char kTab = 9, kLf = 10, kCr = 13;

// The fixed person columns of the types other than Active Employees.
void setFixedColumns(mapping::RowSet& person, int modeCode) {
    using namespace session::mode;
    const char* fileType = modeCode == kQualifier     ? "Qualifier"
                           : modeCode == kParticipant ? "Participant"
                           : modeCode == kRetiree     ? "Retiree"
                                                      : nullptr;
    if (!fileType)
        return;
    person.setText("COBRA_Accepted", modeCode == kQualifier ? "N" : "Y");
    person.setText("Initial_Notification_Date", "Sent");
    person.setText("Disabled(Y/N)", "N");
    person.setText("Multiple_Qualifying_Event(Y/N)", "N");
    person.setText("File_Type", fileType);
}

bool missingTabFile(const ImportRunInput& in, platform::UserInteraction& ui) {
    auto length = hostpath::fileLength(in.TabPath);
    if (length && *length > 0)
        return false;
    ui.critical("Missing File",
                "Cannot find your import file.  Please click previous and re-select the file and "
                "continue on.");
    return true;
}

std::string stopParagraph(std::int64_t record, const std::string& cause) {
    return "The import stopped at record #" + std::to_string(record) +
           " because the database refused it: " + cause +
           "  This record and the records after it were not imported.\n\n";
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

class Scanner {
public:
    Scanner(const ImportRunInput& in, mapping::ImportRows& rows)
        : in_(in), rows_(rows), n_(in.labels.size()), values_(n_ + 1), entries_(n_ + 1),
          fieldNames_(n_ + 1), mandatory_(n_ + 1), dateField_(n_ + 1) {
        state_.ModeCode = in.ModeCode;
        for (std::size_t i = 0; i < n_; ++i) {
            const std::string& label = in.labels[i];
            auto trimmed = ansi::trim(label);
            if (trimmed == "State") {
                state_.CityHoldsStateZip = 0;
                state_.StateIndex = i + 1;
            } else if (trimmed == "Zip Code") {
                state_.CityHoldsStateZip = 0;
                state_.ZipIndex = i + 1;
            }
            fieldNames_[i + 1] = std::string(ansi::trimRight(label));
            entries_[i + 1] = mapping::findMapping(fieldNames_[i + 1]);
            mandatory_[i + 1] = !formats::isOptionalLabel(label);
            dateField_[i + 1] = i + 1 < in.DateFlags.size() && in.DateFlags[i + 1] == "Y";
        }
        log_ = logHeading(in.ModeCode) + "\n\n";
    }

    // False once the run has stopped.
    bool feed(std::string_view chunk) {
        std::size_t i = 0;
        while (i < chunk.size()) {
            // A run of ordinary characters joins the field in one piece.
            std::size_t end = i;
            while (end < chunk.size() && chunk[end] != kCr && chunk[end] != kTab &&
                   chunk[end] != kLf)
                ++end;
            if (end > i) {
                if (line_ != 0 || in_.firstLineIsRecord)
                    text_.append(chunk.substr(i, end - i));
                i = end;
                afterCr_ = false;
                continue;
            }
            if (!step(chunk[i]))
                return false;
            afterCr_ = chunk[i++] == kCr;
        }
        return true;
    }

    ImportRunResult finish() {
        result_.recordsRead = record_ - 1;
        // A last line without a line end never reaches the database.
        if (result_.outcome == RunOutcome::Completed && (line_ != 0 || in_.firstLineIsRecord) &&
            (k_ > 0 || !text_.empty())) {
            ++result_.entries;
            ++result_.recordsRejected;
            log_ += std::to_string(result_.entries) + ")  Record #" + std::to_string(record_) +
                    " was not imported because the last line of the file has no line end.\n\n";
        }
        return result_;
    }

    const std::string& log() const { return log_; }

private:
    bool step(char c) {
        const bool firstLine = line_ == 0;
        if (firstLine && !in_.firstLineIsRecord) {
            if (c == kLf)
                endLine();
            return true;
        }
        if (c == kCr) {
            ++k_;
            if (k_ == static_cast<std::int64_t>(n_)) {
                values_[n_] = text_;
                return true;
            }
            text_ += c;
        } else if (c == kTab) {
            ++k_;
            if (k_ <= static_cast<std::int64_t>(n_)) {
                check(static_cast<std::size_t>(k_), firstLine);
                values_[static_cast<std::size_t>(k_)] = text_;
            }
            text_.clear();
        } else {
            text_ += c;
        }
        if (c == kLf) {
            if (rejected_) {
                ++result_.recordsRejected;
                rejected_ = false;
            } else {
                logLostField();
                if (!writeRecord())
                    return false;
            }
            ++record_;
            endLine();
        }
        return true;
    }

    void endLine() {
        ++line_;
        k_ = 0;
        text_.clear();
        // A short line must not carry the previous record's values into this one.
        for (std::size_t i = 1; i <= n_; ++i)
            values_[i].clear();
    }

    void check(std::size_t k, bool firstLine) {
        const std::string& label = in_.labels[k - 1];
        auto trimmed = ansi::trim(text_);
        if (mandatory_[k] && trimmed.empty()) {
            rejected_ = true;
            logMandatory(label);
        }
        if (dateField_[k] && trimmed != "@" && !dates::isDate(text_) && (firstLine || !rejected_)) {
            if (mandatory_[k]) {
                rejected_ = true;
                logDate(label, trimmed,
                        firstLine ? ").  This record will not be entered into the import file."
                                  : ").  This record will not be entered.");
            } else if (!trimmed.empty()) {
                logDate(label, trimmed,
                        ").  This record will be entered but no date will be imported for this "
                        "field.");
                text_.clear();
            }
        }
    }

    void logMandatory(const std::string& label) {
        ++result_.entries;
        log_ += std::to_string(result_.entries) + ")  In record #" + std::to_string(record_) +
                ", the mandatory field '" + label +
                "' was not entered.  This record will not be imported.\n\n";
    }

    // The field being read when the line ended is stored only when it is the structure's last:
    // a line ended by LF alone, or a line with fewer fields than the structure, loses it.
    void logLostField() {
        const bool lfAlone = !afterCr_;
        // The CR ending the line has already counted the field; an LF alone has not.
        const auto k = static_cast<std::size_t>(k_) + (lfAlone ? 1 : 0);
        if (k == 0 || k > n_ || (!lfAlone && k == n_))
            return;
        const auto lost =
            ansi::trim(std::string_view(text_).substr(0, text_.size() - (lfAlone ? 1 : 2)));
        if (lost.empty())
            return;
        ++result_.entries;
        log_ += std::to_string(result_.entries) + ")  In record #" + std::to_string(record_) +
                ", the field '" + in_.labels[k - 1] + "' (";
        log_ += lost;
        log_ += lfAlone ? ") was not stored because its line ends with a line feed alone instead "
                          "of a carriage return and line feed.\n\n"
                        : ") was not stored because its line has fewer fields than the file's "
                          "structure.\n\n";
    }

    void logDate(const std::string& label, std::string_view value, const char* ending) {
        ++result_.entries;
        log_ += std::to_string(result_.entries) + ")  In record #" + std::to_string(record_) +
                ", the date field called '" + label + "' had an invalid date (";
        log_ += value;
        log_ += ending;
        log_ += "\n\n";
    }

    bool writeRecord() {
        try {
            state_.PlanRowAdded = false;
            state_.DependantRowAdded = false;
            ++state_.EmployeeId;
            rows_.person.addNew();
            rows_.person.setNumber("Employee_ID", state_.EmployeeId);
            setFixedColumns(rows_.person, in_.ModeCode);
            for (std::size_t k = 1; k <= n_; ++k) {
                name_ = fieldNames_[k];
                mapping::WriteImportField(state_, entries_[k], name_, values_, k, rows_);
            }
            mapping::CommitRecord(state_, rows_);
            ++result_.recordsWritten;
            atomicfile::crashPoint("record", record_);
            return true;
        } catch (const jet::FileSizeLimit& e) {
            result_.sizeLimit = true;
            return refuse(e.what());
        } catch (const std::exception& e) {
            return refuse(e.what());
        }
    }

    bool refuse(const std::string& cause) {
        for (auto* r : {&rows_.person, &rows_.plan, &rows_.dependant})
            r->cancelUpdate();
        stop(cause);
        return false;
    }

    void stop(const std::string& cause) {
        result_.outcome = RunOutcome::Stopped;
        result_.stopRecord = record_;
        result_.stopCause = cause;
        log_ += stopParagraph(record_, cause);
    }

    const ImportRunInput& in_;
    mapping::ImportRows& rows_;
    const std::size_t n_;
    std::vector<std::string> values_; // FieldValues, index 0 unused
    std::vector<const mapping::MappingEntry*> entries_;
    std::vector<std::string> fieldNames_;
    std::vector<bool> mandatory_;
    std::vector<bool> dateField_;
    mapping::RecordState state_;
    ImportRunResult result_;
    std::string log_;
    std::string text_; // the field being read
    std::string name_;
    std::int64_t line_ = 0;
    std::int64_t record_ = 1;
    std::int64_t k_ = 0;
    bool rejected_ = false;
    bool afterCr_ = false; // the character before the one being read was a CR
};

// A run read to its end or to its stop; the log is not yet written.
struct Scan {
    ImportRunResult result;
    std::string log;
};

Scan scanInto(const ImportRunInput& in, mapping::ImportRows& rows) {
    Scanner scanner(in, rows);
    std::ifstream file(hostpath::resolve(in.TabPath), std::ios::binary);
    std::vector<char> buffer(1 << 16);
    bool going = true;
    while (going && file) {
        file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        auto got = static_cast<std::size_t>(file.gcount());
        if (got == 0)
            break;
        going = scanner.feed(std::string_view(buffer.data(), got));
    }
    return {scanner.finish(), scanner.log()};
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
Scan scanDatabase(const ImportRunInput& in, jet::Database& database) {
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
    return scanInto(in, rows);
}

// Writes the log and reports a stopped run.
ImportRunResult conclude(const ImportRunInput& in, Scan scan, platform::UserInteraction& ui) {
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
    return conclude(input, scanInto(input, rows), ui);
}

ImportRunResult RunImport(const ImportRunInput& input, jet::Database& database,
                          platform::UserInteraction& ui) {
    if (missingTabFile(input, ui))
        return missingResult();
    ui.setBusy(true);
    return conclude(input, scanDatabase(input, database), ui);
}

ImportRunResult RunImportInto(const ImportRunInput& input, hostdata::ImportDatabaseMade& made,
                              platform::UserInteraction& ui) {
    if (missingTabFile(input, ui)) {
        hostdata::DiscardImportDatabase(made);
        return missingResult();
    }
    ui.setBusy(true);
    Scan scan;
    try {
        scan = scanDatabase(input, *made.database);
    } catch (...) {
        hostdata::DiscardImportDatabase(made);
        throw;
    }
    auto& result = scan.result;
    if (result.outcome != RunOutcome::Completed) {
        hostdata::DiscardImportDatabase(made);
        return conclude(input, std::move(scan), ui);
    }
    // Saved before the log is written, so that the log tells how the run really ended.
    std::string cause;
    const std::string reached =
        "the end of the file (record #" + std::to_string(result.recordsRead) + ")";
    if (!hostdata::FinishImportDatabase(made, ui, reached, &cause)) {
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
