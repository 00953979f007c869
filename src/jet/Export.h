// Text forms of tables for the command-line tool: TSV rows and Jet SQL definitions.
#pragma once

#include "jet/Database.h"

#include <ostream>
#include <string>

namespace jet {

// One value as the export writes it: Null as \N; in texts \ TAB LF CR as \\ \t \n \r; integers
// in decimal; currency with four decimals; single and double in their shortest exact form;
// dates as yyyy-mm-ddThh:mm:ss; yes/no as true/false; binary as 0x and hex.
std::string exportText(const Value& v);

// Header line of column names, then one line per row in table-scan order.
void exportTable(Database& db, std::u16string_view table, std::ostream& out);

// CREATE TABLE and CREATE INDEX statements for one table.
std::string tableSchema(const TableDef& t, bool jet4);

} // namespace jet
