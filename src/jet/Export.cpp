#include "jet/Export.h"

#include "base/Numbers.h"
#include "jet/Error.h"

#include <algorithm>

namespace jet {
namespace {

std::string escaped(std::u16string_view text) {
    std::string s = utf8(text), out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string hex(const Binary& b) {
    static const char* digits = "0123456789abcdef";
    std::string out = "0x";
    for (auto c : b) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string bracket(std::u16string_view name) {
    std::string out(1, '[');
    out += utf8(name);
    out += ']';
    return out;
}

std::string typeName(const ColumnDef& c, bool jet4) {
    switch (c.type) {
    case ColumnType::Boolean:
        return "BIT";
    case ColumnType::Byte:
        return "BYTE";
    case ColumnType::Int:
        return "SHORT";
    case ColumnType::Long:
        return (c.flags & ColumnDef::kAutoLongFlag) ? "COUNTER" : "LONG";
    case ColumnType::Money:
        return "CURRENCY";
    case ColumnType::Float:
        return "SINGLE";
    case ColumnType::Double:
        return "DOUBLE";
    case ColumnType::DateTime:
        return "DATETIME";
    case ColumnType::Binary:
        return "BINARY(" + std::to_string(c.length) + ")";
    case ColumnType::Text:
        return "TEXT(" + std::to_string(jet4 ? c.length / 2 : c.length) + ")";
    case ColumnType::Ole:
    case ColumnType::SystemBinary:
        return "LONGBINARY";
    case ColumnType::Memo:
        return "MEMO";
    case ColumnType::Guid:
        return "GUID";
    case ColumnType::Numeric:
        return "DECIMAL(" + std::to_string(c.precision) + ", " + std::to_string(c.scale) + ")";
    }
    return "UNKNOWN";
}

} // namespace

std::string exportText(const Value& v) {
    return std::visit(
        [](const auto& x) -> std::string {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, Null>)
                return "\\N";
            else if constexpr (std::is_same_v<T, bool>)
                return x ? "true" : "false";
            else if constexpr (std::is_same_v<T, std::uint8_t> || std::is_same_v<T, std::int16_t> ||
                               std::is_same_v<T, std::int32_t>)
                return std::to_string(x);
            else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>)
                return numbers::shortest(x);
            else if constexpr (std::is_same_v<T, Currency>)
                return currencyText(x);
            else if constexpr (std::is_same_v<T, DateTime>)
                return dateTimeText(x);
            else if constexpr (std::is_same_v<T, std::u16string>)
                return escaped(x);
            else if constexpr (std::is_same_v<T, Binary>)
                return hex(x);
            else if constexpr (std::is_same_v<T, Guid>)
                return guidText(x);
            else
                return decimalText(x);
        },
        v);
}

void exportTable(Database& db, std::u16string_view name, std::ostream& out) {
    Table& t = db.GetTable(name);
    const auto& cols = t.def().columns;
    for (std::size_t i = 0; i < cols.size(); ++i)
        out << (i ? "\t" : "") << escaped(cols[i].name);
    out << '\n';
    // Row by row: a table of any size passes through in the memory of one row.
    std::string line;
    t.eachRow([&](const RowRef& r) {
        auto v = t.read(r);
        line.clear();
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (i)
                line += '\t';
            line += exportText(v[i]);
        }
        line += '\n';
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    });
}

std::string tableSchema(const TableDef& t, bool jet4) {
    std::string s = "CREATE TABLE " + bracket(t.name) + " (\n";
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const auto& c = t.columns[i];
        s += "    " + bracket(c.name) + " " + typeName(c, jet4) + (c.required ? " NOT NULL" : "");
        s += i + 1 < t.columns.size() ? ",\n" : "\n";
    }
    s += ");\n";
    for (const auto& li : t.indexes) {
        if (li.foreignKey())
            continue; // relationships are not indexes the user made
        const RealIndex& ri = t.realIndexes[li.realIndex];
        std::string cols;
        for (const auto& ic : ri.columns) {
            const ColumnDef* c = t.columnByNumber(ic.columnNumber);
            if (!cols.empty())
                cols += ", ";
            cols += bracket(c ? c->name : u"?") + (ic.ascending ? "" : " DESC");
        }
        s += std::string("CREATE ") + (ri.unique() && !li.primaryKey() ? "UNIQUE " : "") +
             "INDEX " + bracket(li.name) + " ON " + bracket(t.name) + " (" + cols + ")";
        std::vector<std::string> with;
        if (li.primaryKey())
            with.push_back("PRIMARY");
        if (ri.flags & RealIndex::kRequiredFlag && !li.primaryKey())
            with.push_back("DISALLOW NULL");
        if (ri.flags & RealIndex::kIgnoreNullsFlag)
            with.push_back("IGNORE NULL");
        for (std::size_t i = 0; i < with.size(); ++i)
            s += (i ? " " : " WITH ") + with[i];
        s += ";\n";
    }
    return s;
}

} // namespace jet
