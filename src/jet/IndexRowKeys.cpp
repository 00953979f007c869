#include "jet/IndexRowKeys.h"

#include "jet/Error.h"
#include "jet/IndexKey.h"
#include "jet/Row.h"

namespace jet {
namespace {

// An index that ignores Nulls leaves out a row whose key columns are all Null.
bool leftOut(const TableDef& t, std::size_t realIndex, const std::vector<Value>& row) {
    if (!(t.realIndexes[realIndex].flags & RealIndex::kIgnoreNullsFlag))
        return false;
    for (const IndexColumn& ic : t.realIndexes[realIndex].columns)
        if (!isNull(row[columnPosition(t, ic)]))
            return false;
    return true;
}

} // namespace

std::size_t columnPosition(const TableDef& t, const IndexColumn& ic) {
    // Every key of every row asks: the place found when the definition was read is tried first.
    if (ic.position < t.columns.size() && t.columns[ic.position].number == ic.columnNumber)
        return ic.position;
    const ColumnDef* c = t.columnByNumber(ic.columnNumber);
    if (!c)
        throw Error("table '" + utf8(t.name) + "': an index names column number " +
                    std::to_string(ic.columnNumber) + ", which the table does not have");
    return static_cast<std::size_t>(c - t.columns.data());
}

bool isPrimaryKey(const TableDef& t, std::size_t realIndex) {
    for (const auto& li : t.indexes)
        if (li.realIndex == realIndex && li.primaryKey())
            return true;
    return false;
}

std::u16string indexName(const TableDef& t, std::size_t realIndex) {
    for (const auto& li : t.indexes)
        if (li.realIndex == realIndex && !li.foreignKey())
            return li.name;
    for (const auto& li : t.indexes)
        if (li.realIndex == realIndex)
            return li.name;
    return u"#" + utf16(std::to_string(realIndex));
}

std::vector<std::uint8_t> indexKey(const TableDef& t, std::size_t realIndex,
                                   const std::vector<Value>& row) {
    // Built where there is room, then kept at its exact size: thousands are held until written.
    thread_local std::vector<std::uint8_t> key;
    indexKey(t, realIndex, row, key);
    return {key.begin(), key.end()};
}

void indexKey(const TableDef& t, std::size_t realIndex, const std::vector<Value>& row,
              std::vector<std::uint8_t>& key) {
    key.clear();
    for (const IndexColumn& ic : t.realIndexes[realIndex].columns) {
        std::size_t k = columnPosition(t, ic);
        const ColumnDef& c = t.columns[k];
        const Value& v = row[k];
        if (isNull(v))
            appendNullKey(ic.ascending, key);
        else if (const auto* s = std::get_if<std::u16string>(&v))
            appendTextKey(*s, ic.ascending, key);
        else if (const auto* b = std::get_if<Binary>(&v))
            appendBinaryKey(*b, ic.ascending, key);
        else
            appendFixedKey(c.type, fixedBytes(c, v, true).view(), ic.ascending, key);
    }
}

std::optional<std::vector<std::uint8_t>> indexedKey(const TableDef& t, std::size_t realIndex,
                                                    const std::vector<Value>& row) {
    if (leftOut(t, realIndex, row))
        return std::nullopt;
    return indexKey(t, realIndex, row);
}

void indexedKey(const TableDef& t, std::size_t realIndex, const std::vector<Value>& row,
                std::optional<std::vector<std::uint8_t>>& key) {
    if (leftOut(t, realIndex, row)) {
        key.reset();
        return;
    }
    if (!key)
        key.emplace();
    indexKey(t, realIndex, row, *key);
}

} // namespace jet
