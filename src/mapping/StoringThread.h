// The records of an import run stored on a thread of their own: while the database stores one
// batch of records, the run reads and maps the next. Records are stored whole, in the order
// they were handed over, exactly as CommitRecord would store them on the run's own thread.
#pragma once

#include "mapping/WriteImportField.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mapping {

class StoringThread {
public:
    // Until finish() returns, only the storing thread touches `target`. A batch holds up to
    // `batchRecords` records.
    StoringThread(ImportRows& target, std::size_t batchRecords);
    // Anything not yet stored is given up.
    ~StoringThread();
    StoringThread(const StoringThread&) = delete;
    StoringThread& operator=(const StoringThread&) = delete;

    // The rows the mapping writes a record into. Their cancelUpdate drops the record being
    // written; update and removeLast belong to the storing thread and are refused here.
    ImportRows& rows() { return rows_; }

    // Hands over the record written into rows() since the last one, with its keys written as
    // CommitRecord writes them; the storing thread stores it as CommitRecord does.
    void commit(const RecordState& state);

    // Records stored so far. After a refusal it stays at the refused record's place in the
    // order, counted from 0.
    std::int64_t stored() const { return stored_.load(std::memory_order_acquire); }
    // A record was refused; the records after it are not stored.
    bool refused() const { return refused_.load(std::memory_order_acquire); }
    // Waits until every record handed over is stored or one is refused; the refusal's error,
    // or null.
    std::exception_ptr finish();

private:
    class Recorder;
    struct Batch;

    void handOver();
    void run();
    void store(Batch& batch);

    ImportRows& target_;
    const std::size_t batchRecords_;
    std::unique_ptr<Recorder> person_, dependant_, plan_;
    ImportRows rows_;
    std::unique_ptr<Batch> filling_;
    KeyPlaces keyPlaces_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<Batch>> waiting_; // handed over, not yet taken
    std::deque<std::unique_ptr<Batch>> spare_;   // stored, for the next handing over
    bool busy_ = false;                          // the thread is storing a batch
    bool stop_ = false;
    std::atomic<std::int64_t> stored_{0};
    std::atomic<bool> refused_{false};
    std::exception_ptr error_;
    // The storing thread's own: the recorded column names by table, and their places there.
    std::array<std::vector<std::string>, 3> names_;
    std::array<std::vector<std::size_t>, 3> places_;
    std::thread thread_;
};

} // namespace mapping
