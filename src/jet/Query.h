// The small SQL the rest of the program speaks: a table name, or
//   SELECT * FROM table [WHERE col = value [AND col = value]...]
// and FindFirst/FindNext criteria such as  [fldBackupDay]=12 AND [Name]='x'.
#pragma once

#include "jet/Value.h"

#include <string>
#include <string_view>
#include <vector>

namespace jet {

struct Condition {
    std::u16string column;
    Value literal; // int32, double or text
};

struct Query {
    std::u16string table;
    std::vector<Condition> where;
};

// Throws jet::Error naming the source for anything it cannot read.
Query parseSource(std::u16string_view source);
std::vector<Condition> parseCriteria(std::u16string_view criteria);

// Access comparison of a stored value with a literal: numbers numerically, texts without regard
// to case; Null matches nothing.
bool matches(const Value& stored, const Value& literal);

} // namespace jet
