// Databases with rows chosen for the tests, built by the engine from the repository's schema
// files.
#pragma once

#include <filesystem>

namespace testsupport {

// A backup catalogue (sysrestore.mdb) with six backups: two on 12/1/2026, one on 12/4/2026, one
// on 11/28/2026 ("Month end", notes with blanks around), one on the leap day 2/29/2000 and
// one on 12/31/2101.
void writeSampleCatalogue(const std::filesystem::path& file);

} // namespace testsupport
