#include "wizard/ImportScan.h"

#include "base/ByteScan.h"
#include "formats/FieldCatalogue.h"
#include "jet/Error.h"
#include "platform/Ansi.h"
#include "platform/AtomicFile.h"
#include "platform/Dates.h"
#include "platform/HostPath.h"

#include <algorithm>
#include <bit>
#include <exception>
#include <fstream>

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

} // namespace

void readInPieces(const std::string& hostPath, const std::function<bool(std::string_view)>& take) {
    std::ifstream file(hostpath::resolve(hostPath), std::ios::binary);
    std::vector<char> buffer(1 << 16);
    while (file) {
        file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(file.gcount());
        if (got == 0 || !take(std::string_view(buffer.data(), got)))
            break;
    }
}

std::string stopParagraph(std::int64_t record, const std::string& cause) {
    return "The import stopped at record #" + std::to_string(record) +
           " because the database refused it: " + cause +
           "  This record and the records after it were not imported.\n\n";
}

ImportScan::ImportScan(const ImportRunInput& in, mapping::ImportRows& rows, RecordWatcher* watcher,
                       std::size_t storingBatch)
    : in_(in),
      storing_(storingBatch > 0 ? std::make_unique<mapping::StoringThread>(rows, storingBatch)
                                : nullptr),
      rows_(storing_ ? storing_->rows() : rows), watcher_(watcher), n_(in.labels.size()),
      values_(n_ + 1), entries_(n_ + 1), fieldNames_(n_ + 1), columns_(n_ + 1),
      places_(n_ + 1, mapping::kNoPlace), mandatory_(n_ + 1), dateField_(n_ + 1),
      droppedDates_(n_ + 1) {
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
    recordLogStart_ = log_.size();
}

bool ImportScan::feed(std::string_view chunk) {
    // A run of ordinary characters joins the field in one piece.
    auto join = [&](std::size_t from, std::size_t to) {
        if (to == from)
            return;
        if (line_ != 0 || in_.firstLineIsRecord)
            text_.append(chunk.substr(from, to - from));
        afterCr_ = false;
    };
    std::size_t next = 0; // the first byte not yet read
    // The separators of 64 bytes at a time are found together; the fields between them are
    // short, so looking for each one apart would cost more than the field itself.
    for (std::size_t block = 0; block < chunk.size(); block += 64) {
        for (auto marks = bytescan::marksAt(chunk, block, kCr, kTab, kLf); marks != 0;
             marks &= marks - 1) {
            const std::size_t at = block + static_cast<std::size_t>(std::countr_zero(marks));
            join(next, at);
            if (!step(chunk[at]))
                return false;
            afterCr_ = chunk[at] == kCr;
            next = at + 1;
        }
    }
    join(next, chunk.size());
    return true;
}

void ImportScan::feedFile(const std::function<bool(std::int64_t)>& keepGoing) {
    std::int64_t read = 0;
    readInPieces(in_.TabPath, [&](std::string_view piece) {
        if (keepGoing && !keepGoing(read)) {
            ended_ = true;
            return false;
        }
        read += static_cast<std::int64_t>(piece.size());
        return feed(piece);
    });
}

ImportRunResult ImportScan::finish() {
    if (storing_ && !ended_ && result_.outcome == RunOutcome::Completed)
        if (auto error = storing_->finish())
            storingRefused(error);
    result_.recordsRead = record_ - 1;
    // A last line without a line end never reaches the database.
    if (!ended_ && result_.outcome == RunOutcome::Completed &&
        (line_ != 0 || in_.firstLineIsRecord) && (k_ > 0 || !text_.empty())) {
        addEntry("Record #" + std::to_string(record_) +
                 " was not imported because the last line of the file has no line end.");
        endRecord(true);
    }
    return result_;
}

bool ImportScan::step(char c) {
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
            // Handed over, not copied: the field's old room comes back for the next field.
            values_[static_cast<std::size_t>(k_)].swap(text_);
        }
        text_.clear();
    } else {
        text_ += c;
    }
    if (c == kLf) {
        if (rejected_) {
            rejected_ = false;
            endRecord(true);
        } else {
            logLostField();
            if (!writeRecord())
                return false;
            endRecord(false);
        }
        ++record_;
        endLine();
        if (ended_)
            return false;
    }
    return true;
}

void ImportScan::endRecord(bool rejected) {
    if (rejected)
        ++result_.recordsRejected;
    else
        ++result_.recordsWritten;
    if (watcher_) {
        const ScannedRecord seen{record_,
                                 rejected,
                                 values_,
                                 entries_,
                                 columns_,
                                 droppedDates_,
                                 std::string_view(log_).substr(recordLogStart_)};
        ended_ = !watcher_->seen(seen);
    }
    recordLogStart_ = log_.size();
}

void ImportScan::endLine() {
    ++line_;
    k_ = 0;
    text_.clear();
    // A short line must not carry the previous record's values into this one.
    for (std::size_t i = 1; i <= n_; ++i)
        values_[i].clear();
    std::fill(droppedDates_.begin(), droppedDates_.end(), 0);
}

void ImportScan::check(std::size_t k, bool firstLine) {
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
            droppedDates_[k] = 1;
        }
    }
}

void ImportScan::addEntry(const std::string& text) {
    ++result_.entries;
    log_ += std::to_string(result_.entries) + ")  " + text + "\n\n";
}

void ImportScan::logMandatory(const std::string& label) {
    addEntry("In record #" + std::to_string(record_) + ", the mandatory field '" + label +
             "' was not entered.  This record will not be imported.");
}

// The field being read when the line ended is stored only when it is the structure's last: a
// line ended by LF alone, or a line with fewer fields than the structure, loses it.
void ImportScan::logLostField() {
    const bool lfAlone = !afterCr_;
    // The CR ending the line has already counted the field; an LF alone has not.
    const auto k = static_cast<std::size_t>(k_) + (lfAlone ? 1 : 0);
    if (k == 0 || k > n_ || (!lfAlone && k == n_))
        return;
    const auto lost =
        ansi::trim(std::string_view(text_).substr(0, text_.size() - (lfAlone ? 1 : 2)));
    if (lost.empty())
        return;
    addEntry("In record #" + std::to_string(record_) + ", the field '" + in_.labels[k - 1] + "' (" +
             std::string(lost) +
             (lfAlone ? ") was not stored because its line ends with a line feed alone instead "
                        "of a carriage return and line feed."
                      : ") was not stored because its line has fewer fields than the file's "
                        "structure."));
}

void ImportScan::logDate(const std::string& label, std::string_view value, const char* ending) {
    addEntry("In record #" + std::to_string(record_) + ", the date field called '" + label +
             "' had an invalid date (" + std::string(value) + ending);
}

bool ImportScan::writeRecord() {
    try {
        if (storing_)
            handedOver_.push_back({record_, log_.size(), result_.recordsRejected, result_.entries});
        state_.PlanRowAdded = false;
        state_.DependantRowAdded = false;
        ++state_.EmployeeId;
        rows_.person.addNew();
        rows_.person.setNumber("Employee_ID", state_.EmployeeId);
        setFixedColumns(rows_.person, in_.ModeCode);
        for (std::size_t k = 1; k <= n_; ++k) {
            // A field the mapping writes gets its column's name there.
            if (!entries_[k])
                columns_[k] = fieldNames_[k];
            // The date rules store nothing for what is no date, also where no check ran before
            // (the last field of a line); "@" stands for no date on purpose.
            bool dateGiven = false;
            if (entries_[k] && (entries_[k]->rule == mapping::Rule::Date ||
                                entries_[k]->rule == mapping::Rule::RetirementDate)) {
                const auto given = ansi::trim(values_[k]);
                dateGiven = !given.empty() && given != "@";
            }
            mapping::WriteImportField(state_, entries_[k], columns_[k], values_, k, rows_,
                                      &places_[k]);
            if (dateGiven && values_[k].empty())
                droppedDates_[k] = 1;
        }
        if (storing_)
            storing_->commit(state_);
        else
            mapping::CommitRecord(state_, rows_);
        atomicfile::crashPoint("record", record_);
    } catch (const std::exception&) {
        // A record the storing thread refused came first.
        if (storing_)
            if (auto earlier = storing_->finish())
                return storingRefused(earlier);
        return refused(std::current_exception());
    }
    if (!storing_)
        return true;
    if (storing_->refused())
        return storingRefused(storing_->finish());
    for (const auto stored = storing_->stored(); handedBase_ < stored; ++handedBase_)
        handedOver_.pop_front();
    return true;
}

// The scan goes back to where it stood before the refused record, as if it had stopped there.
bool ImportScan::storingRefused(const std::exception_ptr& error) {
    const std::int64_t stored = storing_->stored();
    const HandedOver& at = handedOver_[static_cast<std::size_t>(stored - handedBase_)];
    record_ = at.record;
    log_.resize(at.logSize);
    recordLogStart_ = log_.size();
    result_.recordsWritten = stored;
    result_.recordsRejected = at.recordsRejected;
    result_.entries = at.entries;
    return refused(error);
}

bool ImportScan::refused(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const jet::FileSizeLimit& e) {
        result_.sizeLimit = true;
        return refuse(e.what());
    } catch (const std::exception& e) {
        return refuse(e.what());
    }
}

bool ImportScan::refuse(const std::string& cause) {
    for (auto* r : {&rows_.person, &rows_.plan, &rows_.dependant})
        r->cancelUpdate();
    result_.outcome = RunOutcome::Stopped;
    result_.stopRecord = record_;
    result_.stopCause = cause;
    log_ += stopParagraph(record_, cause);
    return false;
}

} // namespace wizard
