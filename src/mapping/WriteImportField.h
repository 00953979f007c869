// Where one field of an accepted record goes in the import database, and in which form: the
// mapping from a field's label to its table, column and value rule.
#pragma once

#include "session/Modes.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mapping {

// One open table receiving the record's new row. The import writes through the engine; the
// mapping's own tests collect the rows in memory.
class RowSet {
public:
    virtual ~RowSet() = default;
    virtual void addNew() = 0;
    // Texts are Windows-1252; the table converts them to the column's type.
    virtual void setText(std::string_view column, std::string_view text) = 0;
    virtual void setNumber(std::string_view column, std::int64_t value) = 0;
    // The same by a column's place, looked up once by name, for a caller that writes the same
    // columns row after row. By default the place is the name's in a list kept here, and the
    // calls go on by name; a row set that knows its columns refuses an unknown name here.
    virtual std::size_t column(std::string_view name);
    virtual void setTextAt(std::size_t column, std::string_view text);
    virtual void setNumberAt(std::size_t column, std::int64_t value);
    // A text the caller has found to be ASCII alone, without NUL: a row set that would look
    // through it for other bytes need not.
    virtual void setAsciiTextAt(std::size_t column, std::string_view text) {
        setTextAt(column, text);
    }
    virtual void update() = 0;
    // Drops a row started by addNew and not yet stored.
    virtual void cancelUpdate() = 0;
    // Deletes the row the last update stored.
    virtual void removeLast() = 0;

private:
    std::vector<std::string> columnNames_;
};

// The three tables a record is written to.
struct ImportRows {
    RowSet& person;
    RowSet& dependant;
    RowSet& plan;
};

enum class Target { Person, Dependant, Plan };

enum class Rule {
    Text,           // cut to the entry's length
    QuotedText,     // the quote rule once more, then cut
    City,           // the quote rule once more, then the city join or cut
    Gender,         // "M", "F" or "N"
    Social,         // ###-##-#### for nine characters, cut to 12
    Date,           // "mm/dd/yyyy" or empty
    RetirementDate, // the day before, "mm/dd/yyyy" or empty
    Amount,         // "##0.00"; no number gives 0
};

// The record's names, which the keys of its plan and dependant rows repeat.
enum class Kept { None, LastName, FirstName };

struct MappingEntry {
    const char* label;
    Target target;
    std::string_view column;
    Rule rule;
    std::size_t cut;                   // 0: no cut
    std::string_view employeeColumn{}; // the Active Employees table's name, where it differs
    Kept kept = Kept::None;
};

// The entry whose label equals this one exactly, in the table's order of comparison; null for
// a label the mapping does not write ("  State", "  Zip Code", unknown labels).
const MappingEntry* findMapping(std::string_view label);

// The state of one import run carried from field to field and record to record.
struct RecordState {
    int ModeCode = session::mode::kNone; // a file type, kEmployee..kRetiree
    std::int64_t EmployeeId = 0;
    bool PlanRowAdded = false;
    bool DependantRowAdded = false;
    int CityHoldsStateZip = 1;  // 0 when the structure has "  State" or "  Zip Code"
    std::size_t StateIndex = 0; // 1-based positions in FieldValues, 0 when absent
    std::size_t ZipIndex = 0;
    // Keys captured from the record's own fields; the dependant and plan rows receive them.
    std::string FirstName;
    std::string LastName;
    std::string SocialNumber;
};

// Writes field k (FieldValues[k], 1-based; element 0 unused) of the current record. FieldName
// comes in as the structure's label without its trailing blanks and goes out as the column
// written. Normalised values are written back into FieldValues, so later fields see them.
// The person row must have been started; the dependant and plan rows are started here on the
// first field that needs them. Engine errors pass to the caller.
void WriteImportField(RecordState& state, std::string& FieldName,
                      std::vector<std::string>& FieldValues, std::size_t k, ImportRows& rows);

// A column's place in its row set not yet looked up.
inline constexpr std::size_t kNoPlace = static_cast<std::size_t>(-1);

// The same with the label's entry already looked up (null: the quote rule only). A caller that
// writes the field record after record can keep `place`, starting at kNoPlace: the column is
// then looked up by name once (where it would have been written by name, so that a refusal
// comes at the same field), and FieldName is left as the first call made it.
void WriteImportField(RecordState& state, const MappingEntry* entry, std::string& FieldName,
                      std::vector<std::string>& FieldValues, std::size_t k, ImportRows& rows,
                      std::size_t* place = nullptr);

// Stores the record's rows: the person row, then the plan and dependant rows that were
// started, whose key columns are written now from the keys the record holds, so that a plan
// or dependant field placed before the name or social security number still gets them. On an
// engine error none of the record's rows is kept, as far as the engine allows, and the error
// passes on.
void CommitRecord(RecordState& state, ImportRows& rows);

// The places of the key columns in the plan and dependant row sets, kept by a caller that
// writes record after record, as WriteImportField's `place`.
struct KeyPlaces {
    std::array<std::size_t, 4> plan{kNoPlace, kNoPlace, kNoPlace, kNoPlace};
    std::array<std::size_t, 4> dependant = plan;
};

// CommitRecord in its two steps, for a caller that writes the keys where the record is mapped
// and stores it elsewhere: the key columns of the plan and dependant rows started, then the
// rows themselves (the keys written).
void WriteRecordKeys(const RecordState& state, ImportRows& rows, KeyPlaces* places = nullptr);
void StoreRecord(const RecordState& state, ImportRows& rows);

} // namespace mapping
