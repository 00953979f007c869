// The import run's reading of the TAB file: record by record, the mandatory fields and dates
// are checked, each accepted record goes through the record mapping into three row sets, and
// the creation log's entries are gathered. The run, its preview and its count share it, so
// that they can never disagree.
#pragma once

#include "mapping/StoringThread.h"
#include "mapping/WriteImportField.h"
#include "wizard/ImportRun.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace wizard {

// One record as the scan left it.
struct ScannedRecord {
    std::int64_t number = 0; // as the log counts, from the first record
    bool rejected = false;
    // Per label, 1-based: the values after the value rules (as read for a rejected record),
    // the mapping entry (null for a label the mapping does not write) and the column it wrote,
    // and whether an invalid date was left out.
    const std::vector<std::string>& values;
    const std::vector<const mapping::MappingEntry*>& entries;
    const std::vector<std::string>& columns;
    const std::vector<std::uint8_t>& droppedDates;
    std::string_view notes; // the log's entries for this record
};

// Sees every record the scan finishes; returns false to end the scan there.
class RecordWatcher {
public:
    virtual ~RecordWatcher() = default;
    virtual bool seen(const ScannedRecord& record) = 0;
};

class ImportScan {
public:
    // A `storingBatch` above 0 stores the rows on a thread of their own, in batches of that many
    // records, while the scan reads on; the log and the result are the same as when each record
    // is stored before the next is read.
    ImportScan(const ImportRunInput& in, mapping::ImportRows& rows,
               RecordWatcher* watcher = nullptr, std::size_t storingBatch = 0);

    // Reads the next piece of the file; false once the run has stopped or the watcher ended it.
    bool feed(std::string_view chunk);
    // Reads the TAB file to its end, to the run's stop, or until keepGoing, asked before each
    // piece with the bytes read so far, says no.
    void feedFile(const std::function<bool(std::int64_t)>& keepGoing = {});
    ImportRunResult finish();
    const std::string& log() const { return log_; }
    // The watcher or keepGoing ended the scan before the file's end.
    bool ended() const { return ended_; }

private:
    bool step(char c);
    void endLine();
    void endRecord(bool rejected);
    void check(std::size_t k, bool firstLine);
    void addEntry(const std::string& text);
    void logMandatory(const std::string& label);
    void logLostField();
    void logDate(const std::string& label, std::string_view value, const char* ending);
    bool writeRecord();
    bool refused(const std::exception_ptr& error);
    bool refuse(const std::string& cause);
    bool storingRefused(const std::exception_ptr& error);

    // Where the scan stood before a record was handed to the storing thread, to go back to if
    // the database refuses it.
    struct HandedOver {
        std::int64_t record;
        std::size_t logSize;
        std::int64_t recordsRejected;
        std::int64_t entries;
    };

    const ImportRunInput& in_;
    std::unique_ptr<mapping::StoringThread> storing_;
    std::deque<HandedOver> handedOver_; // from the first record not yet stored on
    std::int64_t handedBase_ = 0;       // the storing thread's count of that record
    mapping::ImportRows& rows_;
    RecordWatcher* watcher_;
    const std::size_t n_;
    std::vector<std::string> values_; // FieldValues, index 0 unused
    std::vector<const mapping::MappingEntry*> entries_;
    std::vector<std::string> fieldNames_;
    std::vector<std::string> columns_;
    std::vector<std::size_t> places_; // the columns' places in their row sets, once looked up
    // Bytes rather than bits: read or reset for every field of every record.
    std::vector<std::uint8_t> mandatory_;
    std::vector<std::uint8_t> dateField_;
    std::vector<std::uint8_t> droppedDates_;
    mapping::RecordState state_;
    ImportRunResult result_;
    std::string log_;
    std::size_t recordLogStart_ = 0; // where the current record's entries begin in the log
    std::string text_;               // the field being read
    std::int64_t line_ = 0;
    std::int64_t record_ = 1;
    std::int64_t k_ = 0;
    bool rejected_ = false;
    bool afterCr_ = false; // the character before the one being read was a CR
    bool ended_ = false;
};

// Reads a file (a host path) in pieces, handing each to `take` until it returns false or the
// file ends. A file that cannot be opened gives no piece.
void readInPieces(const std::string& hostPath, const std::function<bool(std::string_view)>& take);

// The paragraph a stopped run's log ends with.
std::string stopParagraph(std::int64_t record, const std::string& cause);

} // namespace wizard
