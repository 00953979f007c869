// Making a fresh import database: the user names the file, the host's template BRANDMDB.MDB is
// copied beside it under a passing name (the template itself is only ever read), the copy is
// opened and checked, the tables the import fills are emptied, and the host's company and plans
// are written into it. The database takes the chosen name only when it is finished, so a failed
// or killed run leaves the file named as it was.
#pragma once

#include "platform/Interaction.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
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

// Where an import database comes from: the program folder (with its trailing separator) holds
// the template, the account's folder the company and plans written into the copy. The TAB file
// being imported, when known, may not be replaced by the database.
struct HostFolders {
    std::string appDir;
    std::string accountDir;
    std::string tabFile = {};
};

// A fresh import database, open on its passing file, and the count of plans its account's plan
// file listed. Finish or discard it.
struct ImportDatabaseMade {
    std::shared_ptr<jet::Database> database;
    std::int64_t planCount = 0;
    std::string path;              // host path: the name it takes when finished
    std::filesystem::path partial; // where it is built meanwhile
};

// Asks for the file (looping on a refused name and on No to the replace question), then
// makes the database as MakeImportDatabase does. Nothing when no database was made (the user
// cancelled, or a message said why); then no import may run. Close the previous import
// database first: its file may be the one replaced.
std::optional<ImportDatabaseMade> CreateImportDatabase(const HostFolders& host,
                                                       platform::UserInteraction& ui);

// Opens the database at path and checks that it has every table and column the import writes.
// On any failure: the "Invalid Database Structure" message, path becomes "INVALID", and null.
std::shared_ptr<jet::Database> OpenImportDatabase(const std::string& appDir,
                                                  platform::UserInteraction& ui, std::string& path);

// The work after the file has been chosen, without questions, for callers that know the path
// (a file already there is replaced when the database is finished): refuse a path RefusedTarget
// refuses, remove partial files of killed runs, copy the template, open the copy, empty
// kEmptiedTables, write the company, plans and rates of the account. Nothing, after one
// message, when any of it fails; then path is as it was and no partial file is left.
std::optional<ImportDatabaseMade>
MakeImportDatabase(const HostFolders& host, platform::UserInteraction& ui, const std::string& path);

// Gives a finished database its name: closes it (every page on disk), checks that no other
// program has the old file open, renames it over path and syncs the folder. On failure the
// partial file is removed, path is as it was, and one message says that no import database
// was made, why (also given in `cause`), and which record the import had reached (`reached`,
// e.g. "record #12").
bool FinishImportDatabase(ImportDatabaseMade& made, platform::UserInteraction& ui,
                          const std::string& reached, std::string* cause = nullptr);

// Closes and removes an unfinished database; path stays as it was.
void DiscardImportDatabase(ImportDatabaseMade& made);

// Closes and lets go of an import database; an error closing it changes nothing now.
void CloseImportDatabase(std::shared_ptr<jet::Database>& database);

// The first table or column the import writes that db lacks, as "table 'X'" or
// "column 'X.Y'"; empty when db has them all.
std::string MissingImportStructure(jet::Database& db);

// Deletes every row of kEmptiedTables, in order; other tables keep their rows. Throws
// TransferError naming the table.
void EmptyImportTables(jet::Database& db);

} // namespace hostdata
