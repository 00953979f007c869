// Grows one database to the real 2 GB limit, which takes minutes and 2 GB of disk, so it is run
// by hand rather than in CI:
//   limit_bench FILE
// It appends 250-character rows until the engine refuses with jet::FileSizeLimit, then prints
// the rows written, the time taken and the file's size, and checks that the file is no larger
// than Access opens and still opens. Exit 0 when all holds.
#include "jet/Create.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/PageFile.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: limit_bench FILE (a new file; about 2 GB are written)\n", stderr);
        return 64;
    }
    const fs::path file = argv[1];
    jet::createDatabase(file);
    auto db = jet::Database::OpenDatabase(file);
    jet::createTable(db, {u"Rows", {{u"Text", jet::ColumnType::Text, 255}}, {}});
    db.ReloadCatalog();
    auto rs = db.OpenRecordset("Rows");
    const auto start = std::chrono::steady_clock::now();
    long rows = 0;
    try {
        for (;; ++rows) {
            rs.AddNew();
            rs["Text"] = std::u16string(250, static_cast<char16_t>(u'a' + rows % 26));
            rs.Update();
        }
    } catch (const jet::FileSizeLimit& e) {
        std::printf("refused after %ld rows: %s\n", rows, e.what());
    }
    rs.Close();
    db.Close();
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto size = fs::file_size(file);
    std::printf("%.1f s, file %llu bytes (limit %llu)\n", took,
                static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(jet::kAccessFileLimit));
    auto again = jet::Database::OpenDatabase(file, jet::OpenMode::ReadOnly);
    const long counted = again.OpenRecordset("Rows").RecordCount();
    again.Close();
    std::printf("reopened: %ld rows\n", counted);
    return size <= jet::kAccessFileLimit && counted == rows ? 0 : 1;
}
