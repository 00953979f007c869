// Reading a database schema written in Jet SQL: the statements `tarnfield-mdb schema` prints,
// and what Access's own DDL offers for the same:
//
//   CREATE TABLE [name] ([col] TYPE[(n)] [NOT NULL], ...,
//                        CONSTRAINT [pk] PRIMARY KEY ([col], ...), CONSTRAINT [u] UNIQUE (...));
//   CREATE [UNIQUE] INDEX [name] ON [table] ([col] [ASC|DESC], ...)
//          [WITH PRIMARY | DISALLOW NULL | IGNORE NULL ...];
//
// Types: TEXT(n), MEMO, BYTE, SHORT, LONG, SINGLE, DOUBLE, CURRENCY, DATETIME, YESNO (BIT),
// COUNTER, BINARY(n), LONGBINARY, GUID, DECIMAL(p, s), and the usual synonyms. Names may be
// bracketed; keywords are read without regard to case; `--` starts a comment.
#pragma once

#include "jet/Create.h"
#include "jet/Database.h"

#include <filesystem>
#include <string_view>
#include <vector>

namespace jet {

// The tables in statement order, each with its indexes. Throws jet::Error naming the line for
// anything else, for an index on a table the text does not create, and for a table created
// twice.
std::vector<NewTable> parseSchemaSql(std::string_view sqlUtf8);

// A new database with the tables of a Jet SQL text, open. Bad text throws before the file is
// made; should a table fail after that, the half-built file is removed, since it serves nobody.
Database createFromSchemaSql(const std::filesystem::path& path, std::string_view sqlUtf8);

} // namespace jet
