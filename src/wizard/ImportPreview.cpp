#include "wizard/ImportPreview.h"

#include "wizard/ImportScan.h"

#include <utility>

namespace wizard {

namespace {

constexpr std::int64_t kPreviewBytes = 16 << 20;

// Keeps the texts of the row being made, for the preview to show.
class PreviewTable : public mapping::RowSet {
public:
    void addNew() override { row_.clear(); }
    void setText(std::string_view column, std::string_view text) override {
        row_.emplace_back(std::string(column), std::string(text));
    }
    void setNumber(std::string_view, std::int64_t) override {}
    void update() override {}
    void cancelUpdate() override {}
    void removeLast() override {}

    // The last text set in the column.
    std::string text(std::string_view column) const {
        for (auto it = row_.rbegin(); it != row_.rend(); ++it)
            if (it->first == column)
                return it->second;
        return {};
    }

private:
    std::vector<std::pair<std::string, std::string>> row_;
};

// Takes every row and keeps none.
class NoTable : public mapping::RowSet {
public:
    void addNew() override {}
    void setText(std::string_view, std::string_view) override {}
    void setNumber(std::string_view, std::int64_t) override {}
    void update() override {}
    void cancelUpdate() override {}
    void removeLast() override {}
};

// The log's entries without their running numbers, one per line.
std::string notesOf(std::string_view entries) {
    std::string notes;
    while (!entries.empty()) {
        auto end = entries.find("\n\n");
        auto entry = entries.substr(0, end);
        if (auto number = entry.find(")  "); number != std::string_view::npos && number < 12)
            entry.remove_prefix(number + 3);
        if (!entry.empty())
            notes.append(notes.empty() ? "" : "\n").append(entry);
        if (end == std::string_view::npos)
            break;
        entries.remove_prefix(end + 2);
    }
    return notes;
}

class Collector : public RecordWatcher {
public:
    Collector(std::size_t count, const PreviewTable& person, const PreviewTable& dependant,
              const PreviewTable& plan)
        : count_(count), person_(person), dependant_(dependant), plan_(plan) {}

    bool seen(const ScannedRecord& r) override {
        if (records.size() >= count_)
            return false;
        PreviewRecord& p = records.emplace_back();
        p.number = r.number;
        p.rejected = r.rejected;
        p.notes = notesOf(r.notes);
        for (std::size_t k = 1; k < r.values.size(); ++k) {
            const auto* entry = r.entries[k];
            p.cells.push_back(r.rejected || !entry ? r.values[k]
                                                   : table(entry->target).text(r.columns[k]));
            p.droppedDates.push_back(r.droppedDates[k] != 0);
        }
        return records.size() < count_;
    }

    std::vector<PreviewRecord> records;

private:
    const PreviewTable& table(mapping::Target target) const {
        return target == mapping::Target::Plan        ? plan_
               : target == mapping::Target::Dependant ? dependant_
                                                      : person_;
    }

    std::size_t count_;
    const PreviewTable &person_, &dependant_, &plan_;
};

class StopWatcher : public RecordWatcher {
public:
    explicit StopWatcher(const std::atomic<bool>& stop) : stop_(stop) {}
    bool seen(const ScannedRecord&) override { return !stop_.load(std::memory_order_relaxed); }

private:
    const std::atomic<bool>& stop_;
};

} // namespace

std::vector<PreviewRecord> PreviewRecords(const ImportRunInput& input, std::size_t count) {
    if (count == 0)
        return {};
    PreviewTable person, dependant, plan;
    mapping::ImportRows rows{person, dependant, plan};
    Collector collector(count, person, dependant, plan);
    ImportScan scan(input, rows, &collector);
    // The preview is made while the window waits: a file of a few endless lines is not read
    // to its end for it.
    scan.feedFile([](std::int64_t read) { return read < kPreviewBytes; });
    scan.finish();
    return std::move(collector.records);
}

std::optional<PreviewCounts> CountRecords(const ImportRunInput& input,
                                          const std::atomic<bool>& stop) {
    NoTable person, dependant, plan;
    mapping::ImportRows rows{person, dependant, plan};
    StopWatcher watcher(stop);
    ImportScan scan(input, rows, &watcher);
    scan.feedFile([&stop](std::int64_t) { return !stop.load(std::memory_order_relaxed); });
    const auto result = scan.finish();
    if (scan.ended() || stop)
        return std::nullopt;
    return PreviewCounts{result.recordsWritten, result.recordsRejected};
}

} // namespace wizard
