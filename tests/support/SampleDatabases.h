// Databases the tests build with the engine from the repository's schema files, instead of
// copying files from outside the repository.
#pragma once

#include <filesystem>

namespace testsupport {

// The database of one of data/schemas' files ("sysrestore.sql", "BRANDMDB.sql"), no rows.
void createFromSchema(const std::filesystem::path& file, const char* schemaName);

// A backup catalogue (sysrestore.mdb) with six backups: two on 12/1/2026, one on 12/4/2026, one
// on 11/28/2026 ("Month end", notes with blanks around), one on the leap day 2/29/2000 and
// one on 12/31/2101.
void writeSampleCatalogue(const std::filesystem::path& file);

} // namespace testsupport
