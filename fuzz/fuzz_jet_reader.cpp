// Feeds arbitrary bytes to the engine as a database file: opening, listing, reading every row of
// every table and checking every index must end in rows or a jet::Error, never a crash.
#include "jet/Check.h"
#include "jet/Database.h"
#include "jet/Error.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("fuzz-" + std::to_string(::getpid()) + ".mdb"))
            .string();
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    } else {
        return 0;
    }
    try {
        auto db = jet::Database::OpenDatabase(path, jet::OpenMode::ReadOnly);
        for (const auto& e : db.Catalog()) {
            jet::Table& t = db.GetTable(e.name);
            for (const auto& r : t.scan())
                (void)t.read(r);
        }
        (void)jet::checkDatabase(db);
    } catch (const jet::Error&) {
    }
    return 0;
}
