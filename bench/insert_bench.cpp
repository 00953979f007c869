// Times appending rows, indexes included, to an emptied copy of a database's table:
//   insert_bench FILE TABLE ROWS...
// Each column gets generated values of its type (texts of random letters up to the column's
// width, a unique ascending number for a primary key), so every index sees varied keys. For
// each row count it prints rows per second (the engine's time only: the values are made
// beforehand) and the process's peak memory; then the time to delete them all again. With
// INSERT_BENCH_KEEP=DIR, a copy of each filled file is left in DIR for checking; with
// INSERT_BENCH_NO_DELETE set, the rows are not deleted (for profiling the inserts alone).
#include "jet/Database.h"
#include "jet/Error.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long peakKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

std::u16string letters(std::mt19937& rng, std::size_t n) {
    std::u16string s;
    for (std::size_t i = 0; i < n; ++i)
        s += static_cast<char16_t>(u'A' + rng() % 26);
    return s;
}

jet::Value generated(const jet::ColumnDef& c, long serial, std::mt19937& rng) {
    using T = jet::ColumnType;
    switch (c.type) {
    case T::Text: {
        std::size_t width = c.length / 2;
        return letters(rng, 1 + rng() % std::max<std::size_t>(1, width));
    }
    case T::Memo:
        return letters(rng, 40);
    case T::Long:
        return static_cast<std::int32_t>(serial);
    case T::Int:
        return static_cast<std::int16_t>(rng() % 1000);
    case T::Money:
        return jet::Value(jet::Currency{static_cast<std::int64_t>(rng() % 10000000)});
    case T::Float:
        return static_cast<float>(rng() % 10000) / 8.0f;
    case T::Double:
        return static_cast<double>(rng() % 10000) / 8.0;
    case T::Boolean:
        return rng() % 2 == 0;
    default:
        return jet::Value{};
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fputs("usage: insert_bench FILE TABLE ROWS...\n", stderr);
        return 2;
    }
    const fs::path src = argv[1];
    const std::u16string table = jet::utf16(argv[2]);
    const fs::path copy = fs::temp_directory_path() / "insert_bench.mdb";
    try {
        for (int a = 3; a < argc; ++a) {
            const long rows = std::stol(argv[a]);
            fs::copy_file(src, copy, fs::copy_options::overwrite_existing);
            fs::permissions(copy, fs::perms::owner_write, fs::perm_options::add);
            auto db = jet::Database::OpenDatabase(copy);
            auto rs = db.OpenRecordset(table);
            for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
                rs.Delete();
            const auto cols = rs.Definition().columns;
            const std::size_t indexes = rs.Definition().realIndexes.size();
            std::mt19937 rng(7);
            // Values are made a batch at a time outside the clock, so only the engine is timed
            // and memory does not grow with the row count.
            constexpr long kBatch = 2000;
            std::vector<std::vector<jet::Value>> batch;
            double took = 0;
            for (long first = 1; first <= rows; first += kBatch) {
                batch.clear();
                for (long i = first; i < first + kBatch && i <= rows; ++i) {
                    auto& row = batch.emplace_back();
                    for (const auto& c : cols)
                        row.push_back(c.autoNumber() ? jet::Value{} : generated(c, i, rng));
                }
                auto start = std::chrono::steady_clock::now();
                for (const auto& row : batch) {
                    rs.AddNew();
                    for (std::size_t k = 0; k < cols.size(); ++k)
                        if (!cols[k].autoNumber())
                            rs[cols[k].name] = row[k];
                    rs.Update();
                }
                took += seconds(start);
            }
            auto start = std::chrono::steady_clock::now();
            rs.Close();
            db.Close();
            const double closing = seconds(start);
            took += closing;
            std::printf("%s: %ld rows in %.3f s (%.0f rows/s, %zu indexes; closing %.3f s), peak "
                        "%.1f MB, file %.1f MB\n",
                        argv[2], rows, took, static_cast<double>(rows) / took, indexes, closing,
                        peakKiB() / 1024.0, static_cast<double>(fs::file_size(copy)) / 1048576.0);
            std::fflush(stdout);
            if (const char* keep = std::getenv("INSERT_BENCH_KEEP"))
                fs::copy_file(copy,
                              fs::path(keep) / ("insert_bench_" + std::to_string(rows) + ".mdb"),
                              fs::copy_options::overwrite_existing);

            if (std::getenv("INSERT_BENCH_NO_DELETE"))
                continue;
            // And emptied again, row by row, as the import empties the template's tables.
            start = std::chrono::steady_clock::now();
            auto again = jet::Database::OpenDatabase(copy);
            auto all = again.OpenRecordset(table);
            for (all.MoveFirst(); !all.Eof(); all.MoveNext())
                all.Delete();
            all.Close();
            again.Close();
            const double emptied = seconds(start);
            std::printf("%s: %ld rows deleted in %.3f s (%.0f rows/s), peak %.1f MB\n", argv[2],
                        rows, emptied, static_cast<double>(rows) / emptied, peakKiB() / 1024.0);
            std::fflush(stdout);
        }
    } catch (const jet::Error& e) {
        std::fprintf(stderr, "insert_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
