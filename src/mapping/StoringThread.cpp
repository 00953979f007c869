#include "mapping/StoringThread.h"

#include "base/ByteScan.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mapping {

namespace {

// Batches handed over and not yet taken: enough to keep the storing thread busy, few enough
// that the run's memory stays small however long the file.
constexpr std::size_t kWaitingBatches = 2;

} // namespace

// What the mapping did to the three row sets, step by step, with the texts it gave. Columns go
// by the numbers the recorder gives their names; a name is sent once, with the batch that first
// uses it.
struct StoringThread::Batch {
    // AsciiText: a text found here to be ASCII alone, without NUL, so that the storing thread,
    // the busier one, need not look through it again.
    enum class Kind : std::uint8_t { AddNew, Text, AsciiText, Number, Commit };
    // Small, as a batch holds some tens of thousands. Texts are mostly cut to their columns'
    // widths, so a batch's bytes stay far below 4 GB; add() refuses more.
    struct Step {
        Kind kind;
        std::uint8_t table;
        std::uint16_t column = 0; // the recorder's number for the column's name
        // A text's place in `bytes` and its size; a Number's value or a Commit's place in
        // `states`, in halves: a step stays small, as tens of thousands go to the other thread.
        std::uint32_t at = 0;
        std::uint32_t size = 0;
        std::int64_t number() const {
            return static_cast<std::int64_t>((std::uint64_t{size} << 32) | at);
        }
    };
    static_assert(sizeof(Step) == 12);
    struct Name {
        std::uint8_t table;
        std::string name;
    };

    std::vector<Step> steps;
    std::string bytes;
    std::vector<Name> names;         // numbered in this order, after those sent before
    std::vector<RecordState> states; // only the first `records` are this batch's
    std::size_t records = 0;
    // Where the record being written began: it is dropped as a whole.
    std::size_t recordSteps = 0;
    std::size_t recordBytes = 0;

    void add(Kind kind, std::uint8_t table, std::uint16_t column = 0, std::string_view text = {},
             std::int64_t number = 0) {
        if (bytes.size() + text.size() > UINT32_MAX)
            throw std::length_error("the record's texts are too long to store");
        if (kind == Kind::Number || kind == Kind::Commit) {
            const auto n = static_cast<std::uint64_t>(number);
            steps.push_back({kind, table, column, static_cast<std::uint32_t>(n),
                             static_cast<std::uint32_t>(n >> 32)});
            return;
        }
        steps.push_back({kind, table, column, static_cast<std::uint32_t>(bytes.size()),
                         static_cast<std::uint32_t>(text.size())});
        bytes.append(text);
    }
    void commit(const RecordState& state) {
        if (records == states.size())
            states.emplace_back();
        states[records] = state; // the strings' room is used again
        add(Kind::Commit, 0, 0, {}, static_cast<std::int64_t>(records++));
        recordSteps = steps.size();
        recordBytes = bytes.size();
    }
    void dropRecord() {
        steps.resize(recordSteps);
        bytes.resize(recordBytes);
    }
    void clear() {
        steps.clear();
        bytes.clear();
        names.clear();
        records = recordSteps = recordBytes = 0;
    }
    std::string_view text(const Step& s) const {
        return std::string_view(bytes).substr(s.at, s.size);
    }
};

// One of the three row sets as the mapping sees it: everything goes into the batch being filled.
class StoringThread::Recorder : public RowSet {
public:
    Recorder(StoringThread& owner, std::uint8_t table) : owner_(owner), table_(table) {}

    void addNew() override { batch().add(Batch::Kind::AddNew, table_); }
    void setText(std::string_view column, std::string_view text) override {
        setTextAt(number(column), text);
    }
    void setNumber(std::string_view column, std::int64_t value) override {
        setNumberAt(number(column), value);
    }
    // A column's place here is the recorder's number for its name.
    std::size_t column(std::string_view name) override { return number(name); }
    void setTextAt(std::size_t column, std::string_view text) override {
        batch().add(bytescan::plainAscii(text) ? Batch::Kind::AsciiText : Batch::Kind::Text, table_,
                    static_cast<std::uint16_t>(column), text);
    }
    void setNumberAt(std::size_t column, std::int64_t value) override {
        batch().add(Batch::Kind::Number, table_, static_cast<std::uint16_t>(column), {}, value);
    }
    void cancelUpdate() override { batch().dropRecord(); }
    void update() override { refuse("update"); }
    void removeLast() override { refuse("removeLast"); }

private:
    Batch& batch() { return *owner_.filling_; }
    [[noreturn]] static void refuse(const char* what) {
        throw std::logic_error(std::string(what) + " belongs to the storing thread");
    }
    // Names are numbered in the order first met. A record names its columns in the order the
    // record before did, so the name after the last one is tried first.
    std::uint16_t number(std::string_view name) {
        std::size_t found = last_ + 1;
        if (found >= names_.size() || names_[found] != name) {
            found = std::find(names_.begin(), names_.end(), name) - names_.begin();
            if (found == names_.size()) {
                names_.emplace_back(name);
                batch().names.push_back({table_, std::string(name)});
            }
        }
        last_ = found;
        return static_cast<std::uint16_t>(found);
    }

    StoringThread& owner_;
    const std::uint8_t table_;
    std::vector<std::string> names_;
    std::size_t last_ = static_cast<std::size_t>(-1);
};

StoringThread::StoringThread(ImportRows& target, std::size_t batchRecords)
    : target_(target), batchRecords_(batchRecords == 0 ? 1 : batchRecords),
      person_(std::make_unique<Recorder>(*this, 0)),
      dependant_(std::make_unique<Recorder>(*this, 1)),
      plan_(std::make_unique<Recorder>(*this, 2)), rows_{*person_, *dependant_, *plan_},
      filling_(std::make_unique<Batch>()), thread_([this] { run(); }) {}

StoringThread::~StoringThread() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        waiting_.clear();
    }
    changed_.notify_all();
    thread_.join();
}

void StoringThread::commit(const RecordState& state) {
    // Here, where the record was mapped: the storing thread is the busier one.
    WriteRecordKeys(state, rows_, &keyPlaces_);
    filling_->commit(state);
    if (filling_->records >= batchRecords_)
        handOver();
}

void StoringThread::handOver() {
    filling_->dropRecord(); // a record not committed is no record
    if (filling_->records == 0)
        return;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return waiting_.size() < kWaitingBatches || refused(); });
    if (refused()) {
        // Nothing after the refused record is stored: the batch is given up.
        filling_->clear();
        return;
    }
    waiting_.push_back(std::move(filling_));
    if (spare_.empty()) {
        filling_ = std::make_unique<Batch>();
    } else {
        filling_ = std::move(spare_.front());
        spare_.pop_front();
    }
    lock.unlock();
    changed_.notify_all();
}

std::exception_ptr StoringThread::finish() {
    handOver();
    std::unique_lock lock(mutex_);
    // After a refusal the thread still takes the waiting batches, and puts them aside unstored.
    changed_.wait(lock, [&] { return waiting_.empty() && !busy_; });
    return error_;
}

void StoringThread::run() {
    for (;;) {
        std::unique_ptr<Batch> batch;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || !waiting_.empty(); });
            if (stop_)
                return;
            batch = std::move(waiting_.front());
            waiting_.pop_front();
            busy_ = true;
        }
        if (!refused())
            store(*batch);
        batch->clear();
        {
            std::lock_guard lock(mutex_);
            spare_.push_back(std::move(batch));
            busy_ = false;
        }
        changed_.notify_all();
    }
}

void StoringThread::store(Batch& batch) {
    RowSet* tables[] = {&target_.person, &target_.dependant, &target_.plan};
    for (Batch::Name& n : batch.names) {
        names_[n.table].push_back(std::move(n.name));
        places_[n.table].push_back(kNoPlace);
    }
    // A column's place is asked for when the column is first written, where its name would
    // have been looked up: a name the table lacks is refused at the same record.
    auto place = [&](const Batch::Step& s) {
        std::size_t& at = places_[s.table][s.column];
        if (at == kNoPlace)
            at = tables[s.table]->column(names_[s.table][s.column]);
        return at;
    };
    try {
        for (const Batch::Step& s : batch.steps) {
            RowSet& rows = *tables[s.table];
            switch (s.kind) {
            case Batch::Kind::AddNew:
                rows.addNew();
                break;
            case Batch::Kind::Text:
                rows.setTextAt(place(s), batch.text(s));
                break;
            case Batch::Kind::AsciiText:
                rows.setAsciiTextAt(place(s), batch.text(s));
                break;
            case Batch::Kind::Number:
                rows.setNumberAt(place(s), s.number());
                break;
            case Batch::Kind::Commit:
                StoreRecord(batch.states[static_cast<std::size_t>(s.number())], target_);
                stored_.fetch_add(1, std::memory_order_release);
                break;
            }
        }
    } catch (...) {
        // As on the run's own thread: the refused record leaves no row behind.
        for (RowSet* r : tables)
            r->cancelUpdate();
        std::lock_guard lock(mutex_);
        error_ = std::current_exception();
        refused_.store(true, std::memory_order_release);
    }
}

} // namespace mapping
