// Making a fresh import database: the user names the file, the host's template BRANDMDB.MDB is
// copied there (the template itself is only ever read), the copy is opened and checked, the
// tables the import fills are emptied, and the host's company and plans are written into it.
#pragma once

#include "app/ImportSession.h"
#include "platform/Interaction.h"

#include <array>
#include <string>

namespace jet {
class Database;
}

namespace hostdata {

inline constexpr const char* kTemplateName = "BRANDMDB.MDB";
inline constexpr const char* kInvalidPath = "INVALID";

// The tables emptied in a fresh copy, in the order they are emptied.
inline constexpr std::array<const char*, 8> kEmptiedTables = {"Active_Employees",
                                                              "Dependent_Information",
                                                              "Member_Insurance_Plan",
                                                              "Insurance_Companies",
                                                              "Payments",
                                                              "Rates",
                                                              "Qualifier_Information",
                                                              "Company_Information"};

// Asks for the file (looping on the template's name and on No to the replace question), then
// makes the database as MakeImportDatabase does. ModeCode is 9999 afterwards when no database
// was made, and no import may run. On success s.ImportDatabase is left open.
void CreateImportDatabase(app::ImportSession& s, platform::UserInteraction& ui);

// Opens the database at path as s.ImportDatabase and checks that it has every table and column
// the import writes. On any failure: the "Invalid Database Structure" message, path becomes
// "INVALID" and s.ImportDatabase is closed.
void OpenImportDatabase(app::ImportSession& s, platform::UserInteraction& ui, std::string& path);

// The work after the file has been chosen, without questions, for callers that know the path
// (a file already there is replaced): copy the template, open the copy, empty kEmptiedTables,
// write the company, plans and rates of s.AccountDir. False, with ModeCode 9999 and one
// message, when any of it fails; a copy already made stays on disk.
bool MakeImportDatabase(app::ImportSession& s, platform::UserInteraction& ui,
                        const std::string& path);

// The first table or column the import writes that db lacks, as "table 'X'" or
// "column 'X.Y'"; empty when db has them all.
std::string MissingImportStructure(jet::Database& db);

// Deletes every row of kEmptiedTables, in order; other tables keep their rows. Throws
// TransferError naming the table.
void EmptyImportTables(jet::Database& db);

} // namespace hostdata
