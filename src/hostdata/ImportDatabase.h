// Making a fresh import database: the user names the file, the host's template BRANDMDB.MDB is
// copied there (the template itself is only ever read), the copy is opened and checked, the
// tables the import fills are emptied, and the host's company and plans are written into it.
#pragma once

#include "platform/Interaction.h"

#include <array>
#include <cstdint>
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
// the template, the account's folder the company and plans written into the copy.
struct HostFolders {
    std::string appDir;
    std::string accountDir;
};

// A fresh import database, open, and the count of plans its account's plan file listed.
struct ImportDatabaseMade {
    std::shared_ptr<jet::Database> database;
    std::int64_t planCount = 0;
};

// Asks for the file (looping on the template's name and on No to the replace question), then
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
// (a file already there is replaced): copy the template, open the copy, empty kEmptiedTables,
// write the company, plans and rates of the account. Nothing, after one message, when any of
// it fails; a copy already made stays on disk.
std::optional<ImportDatabaseMade>
MakeImportDatabase(const HostFolders& host, platform::UserInteraction& ui, const std::string& path);

// Closes and lets go of an import database; an error closing it changes nothing now.
void CloseImportDatabase(std::shared_ptr<jet::Database>& database);

// The first table or column the import writes that db lacks, as "table 'X'" or
// "column 'X.Y'"; empty when db has them all.
std::string MissingImportStructure(jet::Database& db);

// Deletes every row of kEmptiedTables, in order; other tables keep their rows. Throws
// TransferError naming the table.
void EmptyImportTables(jet::Database& db);

} // namespace hostdata
