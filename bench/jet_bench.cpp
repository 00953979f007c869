// Times the engine's hot paths on a copy of a database:
//   jet_bench FILE TABLE [ROWS]
// scans TABLE (all columns decoded), then, when TABLE has no indexes, appends ROWS rows copied
// from its first row and deletes them again.
#include "jet/Database.h"
#include "jet/Error.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: jet_bench FILE TABLE [ROWS]\n", stderr);
        return 2;
    }
    const std::filesystem::path src = argv[1];
    const std::u16string table = jet::utf16(argv[2]);
    const long rows = argc > 3 ? std::stol(argv[3]) : 10000;
    const auto copy = std::filesystem::temp_directory_path() / "jet_bench.mdb";
    try {
        std::filesystem::copy_file(src, copy, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(copy, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        auto db = jet::Database::OpenDatabase(copy);
        auto start = std::chrono::steady_clock::now();
        auto rs = db.OpenRecordset(table);
        long n = 0;
        const auto& cols = rs.Definition().columns;
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext(), ++n)
            for (const auto& c : cols)
                (void)rs[c.name].value();
        std::printf("scan: %ld rows in %.3f s\n", n, seconds(start));
        if (!rs.Definition().realIndexes.empty() || n == 0) {
            std::puts("insert/delete: skipped (table has indexes or no rows)");
            return 0;
        }
        rs.MoveFirst();
        std::vector<jet::Value> first;
        for (const auto& c : cols)
            first.push_back(rs[c.name].value());
        start = std::chrono::steady_clock::now();
        for (long i = 0; i < rows; ++i) {
            rs.AddNew();
            for (std::size_t k = 0; k < cols.size(); ++k)
                if (!(cols[k].flags & jet::ColumnDef::kAutoLongFlag))
                    rs[cols[k].name] = first[k];
            rs.Update();
        }
        db.File().flush();
        std::printf("insert: %ld rows in %.3f s\n", rows, seconds(start));
        start = std::chrono::steady_clock::now();
        auto all = db.OpenRecordset(table);
        long deleted = 0;
        for (all.MoveFirst(); !all.Eof(); all.MoveNext(), ++deleted)
            all.Delete();
        db.Close();
        std::printf("delete: %ld rows in %.3f s\n", deleted, seconds(start));
    } catch (const jet::Error& e) {
        std::fprintf(stderr, "jet_bench: %s\n", e.what());
        return 1;
    }
    std::filesystem::remove(copy);
    return 0;
}
