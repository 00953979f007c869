// Consistency walk over a whole database, for the `check` command and tests.
#pragma once

#include "jet/Database.h"

#include <string>
#include <vector>

namespace jet {

// Every problem found, one message each; empty when the database is sound. Checks each table's
// row count against its rows, that its usage map names only its own data pages and that no
// page belongs to two tables, and that each index holds exactly the table's rows in key order.
std::vector<std::string> checkDatabase(Database& db);

} // namespace jet
