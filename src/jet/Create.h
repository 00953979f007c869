// Creating databases and tables: a new, empty Access 2000 (Jet 4) database with the system
// tables Access relies on, and user tables with their columns and indexes.
//
//   jet::createDatabase("new.mdb");
//   auto db = jet::Database::OpenDatabase("new.mdb");
//   jet::createTable(db, {u"People", {{u"ID", jet::ColumnType::Long, 0, true}}, {...}});
#pragma once

#include "jet/Database.h"
#include "jet/Types.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace jet {

struct NewColumn {
    std::u16string name;
    ColumnType type = ColumnType::Text;
    std::uint16_t size = 0;                 // text: characters (0: 255); binary: bytes (0: 255)
    bool autoNumber = false;                // long only
    bool required = false;                  // NOT NULL: kept as the column's "Required" property
    std::uint8_t precision = 18, scale = 0; // decimal only
};

struct NewIndexColumn {
    std::u16string name;
    bool ascending = true;
};

struct NewIndex {
    std::u16string name;
    std::vector<NewIndexColumn> columns;
    bool primaryKey = false;
    bool unique = false;
    bool disallowNull = false;
    bool ignoreNulls = false;
};

struct NewTable {
    std::u16string name;
    std::vector<NewColumn> columns;
    std::vector<NewIndex> indexes;
};

// Writes a new, empty database: Access 2000 format, General sort order, code page 1252.
// Throws jet::Error when the file exists or cannot be written.
void createDatabase(const std::filesystem::path& path);

// Adds an empty table to an open database and its catalogue. Throws jet::Error, changing
// nothing, for a definition Access would refuse (duplicate or missing names, bad sizes, an
// index on an unknown column, a second primary key, ...).
void createTable(Database& db, const NewTable& table);

} // namespace jet
