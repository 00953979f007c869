// Consistency walk over a whole database, for the `check` command and tests.
#pragma once

#include "jet/Database.h"

#include <string>
#include <vector>

namespace jet {

// Every problem found, one message each; empty when the database is sound. Checks each table's
// row count against its rows, that its usage map names only its own data pages, that no page
// belongs to two tables, the free space each data page records, that index roots are index
// pages, and, when an index page format is registered (IndexSupport.h), that each index holds
// exactly the table's rows in key order in a sound tree.
std::vector<std::string> checkDatabase(Database& db);

} // namespace jet
