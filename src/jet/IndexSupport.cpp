#include "jet/IndexSupport.h"

#include "jet/Error.h"
#include "jet/IndexKey.h"
#include "jet/IndexPage.h"
#include "jet/PageFile.h"
#include "jet/Row.h"
#include "jet/UsageMap.h"

#include <algorithm>

namespace jet {
namespace {

constexpr std::uint32_t kGlobalMap = (1u << 8) | 0; // page 1, row 0: the map of free pages

std::string indexWhere(Table& t, std::size_t i) {
    return t.file().name() + ", table '" + utf8(t.def().name) + "', index '" +
           utf8(indexName(t.def(), i)) + "'";
}

std::size_t columnPosition(const TableDef& t, const IndexColumn& ic) {
    const ColumnDef* c = t.columnByNumber(ic.columnNumber);
    if (!c)
        throw Error("table '" + utf8(t.name) + "': an index names column number " +
                    std::to_string(ic.columnNumber) + ", which the table does not have");
    return static_cast<std::size_t>(c - t.columns.data());
}

bool allKeyColumnsNull(const TableDef& t, std::size_t realIndex, const std::vector<Value>& row) {
    for (const IndexColumn& ic : t.realIndexes[realIndex].columns)
        if (!isNull(row[columnPosition(t, ic)]))
            return false;
    return true;
}

bool isPrimaryKey(const TableDef& t, std::size_t realIndex) {
    for (const auto& li : t.indexes)
        if (li.realIndex == realIndex && li.primaryKey())
            return true;
    return false;
}

IndexTree treeOf(Table& t, std::size_t i, FileIndexPages& pages) {
    return IndexTree(pages, t.def().realIndexes[i].firstPage, indexWhere(t, i));
}

} // namespace

FileIndexPages::FileIndexPages(Table& table, std::size_t realIndex)
    : table_(table), index_(realIndex), where_(indexWhere(table, realIndex)),
      scratch_(table.file().pageSize()) {}

std::vector<std::uint8_t> FileIndexPages::pageBytes(std::uint32_t page) {
    PageFile& f = table_.file();
    if (page == 0 || page >= f.pageCount())
        throw Error(where_ + ", page " + std::to_string(page) + ": index page outside the file");
    auto p = f.page(page);
    auto v = p->view();
    return {v.begin(), v.end()};
}

IndexNode FileIndexPages::load(std::uint32_t page) {
    // An intermediate page keeps its last child as a tail, whose key is read from below.
    IndexPageLoader loader = [this](std::uint32_t n) { return pageBytes(n); };
    return decodeIndexNode(pageBytes(page), where_ + ", page " + std::to_string(page), loader);
}

void FileIndexPages::store(std::uint32_t page, const IndexNode& node) {
    auto p = table_.file().writablePage(page);
    if (!encodeIndexNode(node, table_.def().page, p->mut()))
        throw Error(where_ + ", page " + std::to_string(page) +
                    ": the entries do not fit the page");
}

bool FileIndexPages::fits(const IndexNode& node) {
    return encodeIndexNode(node, table_.def().page, scratch_);
}

std::uint32_t FileIndexPages::allocate() {
    PageFile& f = table_.file();
    const RealIndex& ri = table_.def().realIndexes[index_];
    auto p = f.appendPage();
    UsageMap global = UsageMap::read(f, kGlobalMap, f.name() + ", global usage map", false);
    if (global.contains(p->number))
        global.remove(f, p->number);
    UsageMap own = UsageMap::read(f, ri.usedPages, where_);
    own.add(f, p->number);
    return p->number;
}

void FileIndexPages::release(std::uint32_t page) {
    PageFile& f = table_.file();
    const RealIndex& ri = table_.def().realIndexes[index_];
    UsageMap own = UsageMap::read(f, ri.usedPages, where_);
    if (own.contains(page))
        own.remove(f, page);
    UsageMap global = UsageMap::read(f, kGlobalMap, f.name() + ", global usage map", false);
    if (global.reaches(page))
        global.add(f, page);
    auto p = f.writablePage(page);
    std::fill(p->bytes.begin(), p->bytes.end(), 0);
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
    std::vector<std::uint8_t> key;
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
            appendFixedKey(c.type, fixedBytes(c, v, true), ic.ascending, key);
    }
    return key;
}

std::optional<std::vector<std::uint8_t>> indexedKey(const TableDef& t, std::size_t realIndex,
                                                    const std::vector<Value>& row) {
    if ((t.realIndexes[realIndex].flags & RealIndex::kIgnoreNullsFlag) &&
        allKeyColumnsNull(t, realIndex, row))
        return std::nullopt;
    return indexKey(t, realIndex, row);
}

void checkUnique(Table& t, const std::vector<Value>& row) {
    const TableDef& d = t.def();
    for (std::size_t i = 0; i < d.realIndexes.size(); ++i) {
        const RealIndex& ri = d.realIndexes[i];
        const bool required = isPrimaryKey(d, i) || (ri.flags & RealIndex::kRequiredFlag);
        bool anyNull = false;
        for (const IndexColumn& ic : ri.columns) {
            std::size_t k = columnPosition(d, ic);
            if (!isNull(row[k]))
                continue;
            anyNull = true;
            if (required)
                throw Error(indexWhere(t, i) + ": column '" + utf8(d.columns[k].name) +
                            "' of the key may not be Null");
        }
        // Computing every key here also refuses a text Access would key differently, before
        // anything is written.
        auto key = indexedKey(d, i, row);
        // Access lets a unique index hold several keys with a Null in them.
        if (!ri.unique() || anyNull || !key)
            continue;
        FileIndexPages pages(t, i);
        if (treeOf(t, i, pages).containsKey(*key))
            throw Error(indexWhere(t, i) + ": the index is unique and already holds this key");
    }
}

void addToIndexes(Table& t, RowId at, const std::vector<Value>& row) {
    const TableDef& d = t.def();
    for (std::size_t i = 0; i < d.realIndexes.size(); ++i) {
        auto key = indexedKey(d, i, row);
        if (!key)
            continue;
        FileIndexPages pages(t, i);
        treeOf(t, i, pages).insert({std::move(*key), at, 0});
    }
}

void removeFromIndexes(Table& t, RowId at, const std::vector<Value>& row) {
    const TableDef& d = t.def();
    for (std::size_t i = 0; i < d.realIndexes.size(); ++i) {
        auto key = indexedKey(d, i, row);
        if (!key)
            continue;
        FileIndexPages pages(t, i);
        if (!treeOf(t, i, pages).remove(*key, at))
            throw Error(indexWhere(t, i) + ": no entry for the row at page " +
                        std::to_string(at.page) + ", row " + std::to_string(at.row));
    }
}

std::vector<std::string> checkIndexes(Table& t) {
    std::vector<std::string> problems;
    const TableDef& d = t.def();
    if (d.realIndexes.empty() || !t.file().format().jet4())
        return problems;
    // Expected entries: every row's key, in order.
    std::vector<std::vector<IndexEntry>> expected(d.realIndexes.size());
    std::vector<std::string> unkeyable(d.realIndexes.size());
    for (const RowRef& r : t.scan()) {
        auto values = t.read(r);
        for (std::size_t i = 0; i < d.realIndexes.size(); ++i) {
            try {
                if (auto key = indexedKey(d, i, values))
                    expected[i].push_back({std::move(*key), r.id, 0});
            } catch (const Error& e) {
                // A key outside what this engine encodes (text beyond Windows-1252): the index
                // can still be walked, but not compared row by row.
                unkeyable[i] = e.what();
            }
        }
    }
    for (std::size_t i = 0; i < d.realIndexes.size(); ++i) {
        try {
            FileIndexPages pages(t, i);
            IndexTree tree = treeOf(t, i, pages);
            for (auto& p : tree.verify())
                problems.push_back(std::move(p));
            if (!unkeyable[i].empty())
                continue;
            auto got = tree.entries();
            auto& want = expected[i];
            std::sort(want.begin(), want.end(), entryLess);
            if (got.size() != want.size()) {
                problems.push_back(indexWhere(t, i) + ": holds " + std::to_string(got.size()) +
                                   " entries for " + std::to_string(want.size()) + " rows");
                continue;
            }
            for (std::size_t k = 0; k < got.size(); ++k) {
                if (got[k].key != want[k].key || !(got[k].row == want[k].row)) {
                    problems.push_back(indexWhere(t, i) + ": entry " + std::to_string(k) +
                                       " does not match row " + std::to_string(want[k].row.page) +
                                       ":" + std::to_string(want[k].row.row));
                    break;
                }
            }
        } catch (const Error& e) {
            problems.push_back(e.what());
        }
    }
    return problems;
}

} // namespace jet
