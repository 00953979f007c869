// The host's databases built by our engine from the repository's schema files, for the demo
// host folder and for the tests: nothing from outside the repository is needed.
#pragma once

#include "jet/Database.h"
#include "jet/Value.h"

#include <filesystem>
#include <utility>
#include <vector>

namespace sample {

// A new database holding the tables of one of data/schemas' files ("BRANDMDB.sql",
// "sysrestore.sql"), no rows. Replaces the file if it exists.
jet::Database createFromSchema(const std::filesystem::path& file, const char* schemaName);

using Row = std::vector<std::pair<const char*, jet::Value>>;

// Appends the rows, each assigning the named columns.
void addRows(jet::Database& db, const char* table, const std::vector<Row>& rows);

// The host's import template with rows left over from the host's own use in every table the
// import empties, and two letter templates in the table it leaves alone.
void writeTemplate(const std::filesystem::path& file);

// The smallest host folder an import needs besides its template: an account list with the one
// account "Acme" in ACME\, its company file and a plan file with one plan (insurer 1, "Blue
// Valley Health").
void writeOneAccount(const std::filesystem::path& host);

// A backup catalogue with two backups on the 1st of the given month and one on the 28th of
// the month before.
void writeCatalogue(const std::filesystem::path& file, int year, int month);

} // namespace sample
