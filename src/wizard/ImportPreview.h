// What the import run will make of a TAB file, found before any database is made: the first
// records as they will be stored, and the whole file's count of imported and rejected records.
// Both come from the run's own scan and rules, so they cannot disagree with the run.
#pragma once

#include "wizard/ImportRun.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wizard {

struct PreviewRecord {
    std::int64_t number = 0; // as the creation log counts, from the first record
    bool rejected = false;
    std::vector<std::string> cells; // per label: the text stored; for a rejected record, as read
    std::vector<bool> droppedDates; // per label: an invalid date the run leaves out
    std::string notes;              // the log's entries for the record, one per line
};

// The first `count` records, from the chosen first record on.
std::vector<PreviewRecord> PreviewRecords(const ImportRunInput& input, std::size_t count);

struct PreviewCounts {
    std::int64_t imported = 0;
    std::int64_t rejected = 0;
};

// The whole file's counts; nullopt when `stop` was set before the scan reached the end.
// Safe to run on a thread of its own.
std::optional<PreviewCounts> CountRecords(const ImportRunInput& input,
                                          const std::atomic<bool>& stop);

} // namespace wizard
