// Rows as the tests compare them: column name to value text, read from a database through the
// engine or through mdbtools, an Access reader that is not ours.
#pragma once

#include "jet/Database.h"
#include "support/Command.h"

#include <algorithm>
#include <initializer_list>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

using Row = std::map<std::string, std::string>;

// The named columns of a row joined with '|'; a column never set is empty.
inline std::string columns(const Row& row, std::initializer_list<const char*> names) {
    std::string out;
    for (const char* name : names) {
        if (name != *names.begin())
            out += '|';
        if (auto it = row.find(name); it != row.end())
            out += it->second;
    }
    return out;
}

// Values in one text form for both readers: Null empty, currency with four decimals.
inline std::string shown(const jet::Value& v) {
    if (const auto* t = std::get_if<std::u16string>(&v))
        return jet::utf8(*t);
    if (const auto* c = std::get_if<jet::Currency>(&v))
        return jet::currencyText(*c);
    if (const auto* f = std::get_if<float>(&v))
        return jet::shortestText(*f);
    if (const auto* i = std::get_if<std::int16_t>(&v))
        return std::to_string(*i);
    if (const auto* l = std::get_if<std::int32_t>(&v))
        return std::to_string(*l);
    if (const auto* b = std::get_if<bool>(&v))
        return *b ? "true" : "false";
    return jet::isNull(v) ? "" : "?";
}

inline std::vector<Row> engineRows(const std::filesystem::path& file, const char* table) {
    auto db = jet::Database::OpenDatabase(file, jet::OpenMode::ReadOnly);
    auto rs = db.OpenRecordset(table);
    std::vector<Row> rows;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        Row& row = rows.emplace_back();
        for (const auto& c : rs.Definition().columns)
            row[jet::utf8(c.name)] = shown(rs.GetValue(c.name));
    }
    db.Close();
    return rows;
}

inline std::vector<Row> mdbExportRows(const std::filesystem::path& file, const char* table) {
    std::vector<std::vector<std::string>> lines; // fields a trailing TAB leaves out are empty
    std::stringstream in(mdbExport(file, table, true));
    for (std::string line; std::getline(in, line);) {
        std::stringstream fields(line);
        auto& f = lines.emplace_back();
        for (std::string field; std::getline(fields, field, '\t');)
            f.push_back(field);
    }
    std::vector<Row> rows(lines.empty() ? 0 : lines.size() - 1);
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t i = 0; i < lines[0].size(); ++i)
            rows[r][lines[0][i]] = i < lines[r + 1].size() ? lines[r + 1][i] : "";
    return rows;
}

// Rows sorted by the given columns, so that table-scan order does not matter.
inline std::vector<Row> sortedBy(std::vector<Row> rows, const std::vector<std::string>& key) {
    auto keyOf = [&](const Row& r) {
        std::vector<std::string> k;
        for (const auto& column : key) // numbers right-aligned so they sort as numbers
            k.push_back(std::string(12 - std::min<std::size_t>(12, r.at(column).size()), ' ') +
                        r.at(column));
        return k;
    };
    std::sort(rows.begin(), rows.end(),
              [&](const Row& a, const Row& b) { return keyOf(a) < keyOf(b); });
    return rows;
}

} // namespace testsupport
