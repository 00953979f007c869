// tarnfield-mdb: the Access engine from the command line.
//
//   tarnfield-mdb tables FILE            user tables, one a line, in catalogue order
//   tarnfield-mdb schema FILE [TABLE]    Jet SQL CREATE TABLE / CREATE INDEX statements
//   tarnfield-mdb export FILE TABLE      TSV (UTF-8) of a table's rows
//   tarnfield-mdb import FILE TABLE      appends the TSV rows on stdin (header names columns)
//   tarnfield-mdb delete FILE TABLE      deletes every row of a table
//   tarnfield-mdb check FILE             walks every table and index, prints problems
//   tarnfield-mdb create FILE SCHEMA.sql creates a new database with the tables of the
//                                        CREATE TABLE / CREATE INDEX statements in SCHEMA.sql
//
// Exits 0 on success, 1 when check finds problems, 2 on bad arguments or a bad file.
#include "jet/Check.h"
#include "jet/Create.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/Export.h"
#include "jet/SchemaSql.h"

#include <cstdio>
#include <fstream>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fputs("usage: tarnfield-mdb tables|schema|export|import|delete|check FILE [TABLE]"
               " | create FILE SCHEMA.sql\n",
               stderr);
    return 2;
}

int fail(const std::string& message) {
    std::string oneLine = message;
    for (auto& c : oneLine)
        if (c == '\n' || c == '\r')
            c = ' ';
    std::fprintf(stderr, "tarnfield-mdb: %s\n", oneLine.c_str());
    return 2;
}

// Reads a TSV field back: \N is Null; \\ \t \n \r are unescaped.
jet::Value tsvField(const std::string& f) {
    if (f == "\\N")
        return jet::Null{};
    std::string out;
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (f[i] == '\\' && i + 1 < f.size()) {
            char n = f[++i];
            out += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            out += f[i];
        }
    }
    return jet::utf16(out);
}

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (true) {
        std::size_t tab = line.find('\t', start);
        out.push_back(
            line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return out;
        start = tab + 1;
    }
}

int listTables(const std::string& file) {
    auto db = jet::Database::OpenDatabase(file, jet::OpenMode::ReadOnly);
    for (const auto& n : db.TableNames())
        std::cout << jet::utf8(n) << '\n';
    return 0;
}

// Every user table's statements, or one table's when `table` is given.
int printSchema(const std::string& file, const char* table) {
    auto db = jet::Database::OpenDatabase(file, jet::OpenMode::ReadOnly);
    std::vector<std::u16string> names;
    if (table)
        names.push_back(jet::utf16(table));
    else
        names = db.TableNames();
    bool jet4 = db.File().format().jet4();
    for (std::size_t i = 0; i < names.size(); ++i)
        std::cout << (i ? "\n" : "") << jet::tableSchema(db.GetTable(names[i]).def(), jet4);
    return 0;
}

int exportRows(const std::string& file, const char* table) {
    auto db = jet::Database::OpenDatabase(file, jet::OpenMode::ReadOnly);
    // Straight to the output as the rows are read: the table never sits in memory.
    jet::exportTable(db, jet::utf16(table), std::cout);
    std::cout.flush();
    return 0;
}

int deleteRows(const std::string& file, const char* table) {
    auto db = jet::Database::OpenDatabase(file);
    auto rs = db.OpenRecordset(jet::utf16(table));
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        rs.Delete();
    db.Close();
    return 0;
}

int importRows(const std::string& file, const char* table) {
    auto db = jet::Database::OpenDatabase(file);
    auto rs = db.OpenRecordset(jet::utf16(table));
    std::string line;
    if (!std::getline(std::cin, line))
        return fail("import: no header line on standard input");
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    auto header = splitTabs(line);
    long lineNo = 1;
    while (std::getline(std::cin, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        auto fields = splitTabs(line);
        if (fields.size() != header.size())
            return fail("import: line " + std::to_string(lineNo) + " has " +
                        std::to_string(fields.size()) + " fields, the header " +
                        std::to_string(header.size()));
        rs.AddNew();
        try {
            for (std::size_t i = 0; i < header.size(); ++i)
                rs[header[i]] = tsvField(fields[i]);
            rs.Update();
        } catch (const jet::Error& e) {
            throw jet::Error("line " + std::to_string(lineNo) + ": " + e.what());
        }
    }
    db.Close();
    return 0;
}

int createFromSchema(const std::string& file, const char* schemaPath) {
    std::ifstream in(schemaPath, std::ios::binary);
    if (!in)
        return fail(std::string(schemaPath) + ": cannot open the schema file");
    std::ostringstream text;
    text << in.rdbuf();
    try {
        jet::parseSchemaSql(text.str()); // read first, so its errors name the schema file
    } catch (const jet::Error& e) {
        return fail(std::string(schemaPath) + ", " + e.what());
    }
    jet::createFromSchemaSql(file, text.str()).Close();
    return 0;
}

int checkFile(const std::string& file) {
    auto db = jet::Database::OpenDatabase(file, jet::OpenMode::ReadOnly);
    auto problems = jet::checkDatabase(db);
    for (const auto& p : problems)
        std::cout << p << '\n';
    return problems.empty() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // The TSV is the same bytes on every system: lines end in LF (a CR before it is taken off
    // on import), and no Ctrl-Z ends the input early.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    // Standard output is written through std::cout alone; unsynchronised it is buffered, which
    // an export of a million rows needs.
    std::ios::sync_with_stdio(false);
    if (argc < 3)
        return usage();
    std::string cmd = argv[1];
    std::string file = argv[2];
    try {
        if (cmd == "tables" && argc == 3)
            return listTables(file);
        if (cmd == "schema" && (argc == 3 || argc == 4))
            return printSchema(file, argc == 4 ? argv[3] : nullptr);
        if (cmd == "export" && argc == 4)
            return exportRows(file, argv[3]);
        if (cmd == "delete" && argc == 4)
            return deleteRows(file, argv[3]);
        if (cmd == "import" && argc == 4)
            return importRows(file, argv[3]);
        if (cmd == "create" && argc == 4)
            return createFromSchema(file, argv[3]);
        if (cmd == "check" && argc == 3)
            return checkFile(file);
    } catch (const jet::Error& e) {
        return fail(e.what());
    } catch (const std::exception& e) {
        return fail(std::string("internal error: ") + e.what());
    }
    return usage();
}
