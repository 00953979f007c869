// The engine's DAO-shaped interface: open a database, open recordsets on tables or simple
// queries, read, find, delete and add rows.
//
//   auto db = jet::Database::OpenDatabase("BRANDMDB.MDB");
//   auto rs = db.OpenRecordset("SELECT * FROM tblFileInformation WHERE fldBackupDay=12");
//   for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
//       jet::Value v = rs["fldBackupName"];
//   rs.AddNew(); rs["fldNotes"] = u"text"; rs.Update();
//   db.Close();
#pragma once

#include "jet/PageFile.h"
#include "jet/Table.h"
#include "jet/TableDef.h"
#include "jet/Value.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

class Database;
class Recordset;
struct DatabaseState;

// One catalogue entry (a row of MSysObjects) for a table.
struct CatalogEntry {
    std::u16string name;
    std::uint32_t tdefPage = 0;
    std::int32_t flags = 0;
    bool system = false;
    std::vector<std::u16string> requiredColumns; // from the table's properties
    std::string propertyProblem; // why its properties could not be read; empty when they could
};

// A column of the current row, by name: read it, or assign to it between AddNew and Update.
class Field {
public:
    Field(Recordset& rs, std::size_t column) : rs_(&rs), column_(column) {}
    Value value() const;
    operator Value() const { return value(); }
    Field& operator=(const Value& v);
    Field& operator=(Value&& v);
    Field& operator=(const Field& other) { return *this = other.value(); } // copies the value
    Field(const Field&) = default;
    Field& operator=(const std::u16string& text) { return *this = std::u16string_view(text); }
    // Into the room the column's last text took, when it can: an import assigns texts to the
    // same columns row after row.
    Field& operator=(std::u16string_view text);
    // Windows-1252 text, the host files' own: kept as its bytes until the row is stored, when
    // the column stores them as they are. `ascii`: the caller has found no byte of zero or
    // above 0x7F in it, and it is not looked through again.
    Field& assignAnsi(std::string_view text, bool ascii = false);
    Field& operator=(bool v) { return *this = Value(v); }
    Field& operator=(const char16_t* text) { return *this = Value(std::u16string(text)); }
    Field& operator=(int v) { return *this = Value(static_cast<std::int32_t>(v)); }
    Field& operator=(double v) { return *this = Value(v); }

private:
    Recordset* rs_;
    std::size_t column_;
};

class Recordset {
public:
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;
    ~Recordset();

    long RecordCount() const;
    void MoveFirst();
    void MoveNext();
    // EOF is a macro of <cstdio>, so DAO's EOF and BOF are spelled Eof and Bof here.
    bool Eof() const;
    bool Bof() const;

    // The current row's column, by name (compared without regard to case).
    Field operator[](std::u16string_view column);
    Field operator[](std::string_view column);
    Field operator[](const char* column) { return (*this)[std::string_view(column)]; }
    Field operator[](const char16_t* column) { return (*this)[std::u16string_view(column)]; }
    Value GetValue(std::u16string_view column) const;

    // Criteria: [col]=value [AND [col]=value]... FindFirst searches from the first row,
    // FindNext from the row after the current one. On no match the position is kept.
    bool FindFirst(std::u16string_view criteria);
    bool FindNext(std::u16string_view criteria);
    bool FindFirst(std::string_view criteria);
    bool FindNext(std::string_view criteria);
    bool NoMatch() const;

    // Deletes the current row; the recordset then stands on no row until the next move.
    void Delete();
    // Starts a new row; assign its columns and call Update() to store it.
    void AddNew();
    void Update();
    void CancelUpdate();
    void Close();

    const TableDef& Definition() const;

    struct Impl; // engine internal

private:
    friend class Database;
    friend class Field;
    explicit Recordset(std::unique_ptr<Impl> impl);
    std::size_t columnIndex(std::u16string_view name) const;
    Value current(std::size_t column) const;
    void assign(std::size_t column, Value v);
    void assignText(std::size_t column, std::u16string_view text);
    void assignAnsi(std::size_t column, std::string_view text, bool ascii);
    std::unique_ptr<Impl> impl_;
};

// Inline: an import assigns every one of its fields through it.
inline Field& Field::assignAnsi(std::string_view text, bool ascii) {
    rs_->assignAnsi(column_, text, ascii);
    return *this;
}

class Database {
public:
    // Opens an Access 97 (Jet 3) or 2000-2003 (Jet 4) database. Throws jet::Error for a file
    // that is not one, is encrypted or password protected, or is locked by another program.
    static Database OpenDatabase(const std::filesystem::path& path,
                                 OpenMode mode = OpenMode::ReadWrite);

    Database(Database&&) noexcept;
    Database& operator=(Database&&) noexcept;
    ~Database();

    // `source`: a table name or SELECT * FROM table [WHERE col=value [AND ...]].
    Recordset OpenRecordset(std::u16string_view source);
    Recordset OpenRecordset(std::string_view source);
    Recordset OpenRecordset(const char* source) { return OpenRecordset(std::string_view(source)); }

    // User tables in catalogue order.
    std::vector<std::u16string> TableNames() const;
    const std::vector<CatalogEntry>& Catalog() const;
    // A table by name (user or system), compared without regard to case.
    Table& GetTable(std::u16string_view name);

    // Reads the catalogue again (after tables were created).
    void ReloadCatalog();

    PageFile& File();
    // Writes everything, releases the lock and closes the file. Later use is an error.
    void Close();
    bool IsOpen() const;

private:
    explicit Database(std::shared_ptr<DatabaseState> s);
    std::shared_ptr<DatabaseState> s_;
};

} // namespace jet
