#include "jet/IndexSupport.h"

#include "jet/Error.h"
#include "jet/PageFile.h"
#include "jet/Row.h"
#include "jet/UsageMap.h"

#include <algorithm>
#include <memory>

namespace jet {
namespace {

std::unique_ptr<IndexCodec>& registered() {
    static std::unique_ptr<IndexCodec> codec;
    return codec;
}

constexpr std::uint32_t kGlobalMap = (1u << 8) | 0; // page 1, row 0: the map of free pages

std::string indexWhere(Table& t, std::size_t i) {
    return t.file().name() + ", table '" + utf8(t.def().name) + "', index '" +
           utf8(indexName(t.def(), i)) + "'";
}

const IndexCodec& codecOrThrow(Table& t) {
    const IndexCodec* c = indexCodec();
    if (!c)
        throw Error(t.file().name() + ", table '" + utf8(t.def().name) +
                    "': the table has indexes, and no index page format is available");
    return *c;
}

} // namespace

void registerIndexCodec(IndexCodec codec) {
    registered() = std::make_unique<IndexCodec>(std::move(codec));
}
void clearIndexCodec() {
    registered().reset();
}
const IndexCodec* indexCodec() {
    return registered().get();
}

FileIndexPages::FileIndexPages(Table& table, std::size_t realIndex, const IndexCodec& codec)
    : table_(table), index_(realIndex), codec_(codec), scratch_(table.file().pageSize()) {}

IndexNode FileIndexPages::load(std::uint32_t page) {
    PageFile& f = table_.file();
    std::string where = indexWhere(table_, index_) + ", page " + std::to_string(page);
    if (page == 0 || page >= f.pageCount())
        throw Error(where + ": index page outside the file");
    auto p = f.page(page);
    std::uint8_t type = p->view()[0];
    if (type != static_cast<std::uint8_t>(PageType::IndexNode) &&
        type != static_cast<std::uint8_t>(PageType::IndexLeaf))
        throw Error(where + ": not an index page (type " + std::to_string(type) + ")");
    return codec_.decode(p->view(), where);
}

void FileIndexPages::store(std::uint32_t page, const IndexNode& node) {
    auto p = table_.file().writablePage(page);
    if (!codec_.encode(node, table_.def().page, p->mut()))
        throw Error(indexWhere(table_, index_) + ", page " + std::to_string(page) +
                    ": the entries do not fit the page");
}

bool FileIndexPages::fits(const IndexNode& node) {
    return codec_.encode(node, table_.def().page, scratch_);
}

std::uint32_t FileIndexPages::allocate() {
    PageFile& f = table_.file();
    const RealIndex& ri = table_.def().realIndexes[index_];
    auto p = f.appendPage();
    UsageMap global = UsageMap::read(f, kGlobalMap, f.name() + ", global usage map", false);
    if (global.contains(p->number))
        global.remove(f, p->number);
    UsageMap own = UsageMap::read(f, ri.usedPages, indexWhere(table_, index_));
    own.add(f, p->number);
    return p->number;
}

void FileIndexPages::release(std::uint32_t page) {
    PageFile& f = table_.file();
    const RealIndex& ri = table_.def().realIndexes[index_];
    UsageMap own = UsageMap::read(f, ri.usedPages, indexWhere(table_, index_));
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
                                   const std::vector<Value>& row, bool jet4,
                                   const IndexCodec& codec) {
    std::vector<std::uint8_t> key;
    for (const IndexColumn& ic : t.realIndexes[realIndex].columns) {
        const ColumnDef* c = t.columnByNumber(ic.columnNumber);
        std::size_t k = static_cast<std::size_t>(c - t.columns.data());
        const Value& v = row[k];
        if (isNull(v))
            codec.nullKey(ic.ascending, key);
        else if (const auto* s = std::get_if<std::u16string>(&v))
            codec.textKey(*s, ic.ascending, key);
        else
            codec.fixedKey(c->type, fixedBytes(*c, v, jet4), ic.ascending, key);
    }
    return key;
}

void checkUnique(Table& t, const std::vector<Value>& row) {
    const TableDef& d = t.def();
    if (d.realIndexes.empty())
        return;
    const IndexCodec& codec = codecOrThrow(t);
    for (std::size_t i = 0; i < d.realIndexes.size(); ++i) {
        const RealIndex& ri = d.realIndexes[i];
        bool primary = false;
        for (const auto& li : d.indexes)
            primary = primary || (li.realIndex == i && li.primaryKey());
        bool anyNull = false;
        for (const IndexColumn& ic : ri.columns) {
            const ColumnDef* c = d.columnByNumber(ic.columnNumber);
            if (isNull(row[static_cast<std::size_t>(c - d.columns.data())])) {
                anyNull = true;
                if (primary || (ri.flags & RealIndex::kRequiredFlag))
                    throw Error(indexWhere(t, i) + ": column '" + utf8(c->name) +
                                "' of the key may not be Null");
            }
        }
        // Access lets a unique index hold several keys with a Null in them.
        if (!ri.unique() || anyNull)
            continue;
        FileIndexPages pages(t, i, codec);
        IndexTree tree(pages, ri.firstPage, indexWhere(t, i));
        if (tree.containsKey(indexKey(d, i, row, t.file().format().jet4(), codec)))
            throw Error(indexWhere(t, i) + ": the index is unique and already holds this key");
    }
}

void addToIndexes(Table& t, RowId at, const std::vector<Value>& row) {
    const TableDef& d = t.def();
    if (d.realIndexes.empty())
        return;
    const IndexCodec& codec = codecOrThrow(t);
    for (std::size_t i = 0; i < d.realIndexes.size(); ++i) {
        FileIndexPages pages(t, i, codec);
        IndexTree tree(pages, d.realIndexes[i].firstPage, indexWhere(t, i));
        tree.insert({indexKey(d, i, row, t.file().format().jet4(), codec), at, 0});
    }
}

void removeFromIndexes(Table& t, RowId at, const std::vector<Value>& row) {
    const TableDef& d = t.def();
    if (d.realIndexes.empty())
        return;
    const IndexCodec& codec = codecOrThrow(t);
    for (std::size_t i = 0; i < d.realIndexes.size(); ++i) {
        FileIndexPages pages(t, i, codec);
        IndexTree tree(pages, d.realIndexes[i].firstPage, indexWhere(t, i));
        if (!tree.remove(indexKey(d, i, row, t.file().format().jet4(), codec), at))
            throw Error(indexWhere(t, i) + ": no entry for the row at page " +
                        std::to_string(at.page) + ", row " + std::to_string(at.row));
    }
}

std::vector<std::string> checkIndexes(Table& t) {
    std::vector<std::string> problems;
    const TableDef& d = t.def();
    const IndexCodec* codec = indexCodec();
    if (d.realIndexes.empty() || !codec)
        return problems;
    // Expected entries: every row's key, in order.
    std::vector<std::vector<IndexEntry>> expected(d.realIndexes.size());
    const bool jet4 = t.file().format().jet4();
    for (const RowRef& r : t.scan()) {
        auto values = t.read(r);
        for (std::size_t i = 0; i < d.realIndexes.size(); ++i)
            expected[i].push_back({indexKey(d, i, values, jet4, *codec), r.id, 0});
    }
    for (std::size_t i = 0; i < d.realIndexes.size(); ++i) {
        try {
            FileIndexPages pages(t, i, *codec);
            IndexTree tree(pages, d.realIndexes[i].firstPage, indexWhere(t, i));
            for (auto& p : tree.verify())
                problems.push_back(std::move(p));
            auto got = tree.entries();
            auto want = expected[i];
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
