#include "jet/TableDef.h"

#include "base/Coding.h"
#include "jet/Error.h"
#include "jet/PageFile.h"
#include "jet/Text.h"
#include "jet/Value.h"

#include <algorithm>
#include <set>

namespace jet {

bool sameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size())
        return false;
    auto fold = [](char16_t c) -> char16_t {
        if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
            return static_cast<char16_t>(c - 0x20);
        return c;
    };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

const ColumnDef* TableDef::findColumn(std::u16string_view n) const {
    for (const auto& c : columns)
        if (sameName(c.name, n))
            return &c;
    return nullptr;
}

const ColumnDef* TableDef::columnByNumber(std::uint16_t number) const {
    for (const auto& c : columns)
        if (c.number == number)
            return &c;
    return nullptr;
}

namespace {

bool knownType(std::uint8_t t) {
    return (t >= 0x01 && t <= 0x0C) || (t >= 0x0F && t <= 0x11);
}

class Cursor {
public:
    Cursor(coding::Bytes b, std::size_t pos) : b_(b), pos_(pos) {}
    std::size_t pos() const { return pos_; }
    void skip(std::size_t n) {
        coding::require(b_.size(), pos_, n);
        pos_ += n;
    }
    std::u16string name(bool jet4) {
        if (jet4) {
            std::uint16_t len = coding::getU16(b_, pos_);
            auto bytes = coding::slice(b_, pos_ + 2, len);
            pos_ += 2 + len;
            return decodeText(bytes, true, "name");
        }
        std::uint8_t len = coding::getU8(b_, pos_);
        auto bytes = coding::slice(b_, pos_ + 1, len);
        pos_ += 1 + len;
        return decodeText(bytes, false, "name");
    }

private:
    coding::Bytes b_;
    std::size_t pos_;
};

// The definition's pages joined: the first whole, the others from their byte 8.
std::vector<std::uint8_t> definitionBytes(PageFile& file, TableDef& t, const std::string& what) {
    std::vector<std::uint8_t> buf;
    std::set<std::uint32_t> seen;
    for (std::uint32_t p = t.page; p != 0;) {
        if (p >= file.pageCount())
            throw Error(what + ": definition continues on page " + std::to_string(p) +
                        ", past the end of the file");
        if (!seen.insert(p).second)
            throw Error(what + ": the chain of definition pages loops at page " +
                        std::to_string(p));
        auto page = file.page(p);
        auto v = page->view();
        if (v[0] != static_cast<std::uint8_t>(PageType::TableDef))
            throw Error(what + ": page " + std::to_string(p) + " is of type " +
                        std::to_string(v[0]) + ", not a table definition");
        if (buf.empty())
            buf.assign(v.begin(), v.end());
        else
            buf.insert(buf.end(), v.begin() + 8, v.end());
        t.pages.push_back(p);
        p = coding::getU32(v, 4);
    }
    return buf;
}

// Table definition, first page (offsets Jet 3 / Jet 4):
//   OFFSET  SIZE MEANING
//   0       1    page type 0x02
//   4       4    next page of the definition (0: none); later pages continue at their byte 8
//   12/16   4    number of rows
//   16/20   4    last autonumber value handed out
//   20/40   1    table type: 0x4E user, 0x53 system
//   21/41   2    max columns (counting deleted ones)
//   23/43   2    number of variable columns
//   25/45   2    number of columns
//   27/47   4    number of logical indexes
//   31/51   4    number of real indexes
//   35/55   4    row pointer to the owned-pages usage map
//   39/59   4    row pointer to the free-space usage map
//   43/63   8/12 per real index: row count at +4
//   then    18/25 per column: see Format (type, number, variable slot, flags, fixed offset, length)
//   then    column names (Jet 3: u8 length + 1252 bytes; Jet 4: u16 length + UTF-16LE)
//   then    39/52 per real index: 10 x (u16 column number or 0xFFFF, u8 order 1 = ascending),
//           usage map pointer, root page, flags
//   then    20/28 per logical index: number, real index, relation fields, type (1 primary key)
//   then    logical index names
//
// The reader takes the parts in the order they are stored, checking each as it goes.
class DefinitionReader {
public:
    DefinitionReader(const Format& f, coding::Bytes b, const std::string& what, TableDef& t)
        : f_(f), b_(b), what_(what), t_(t) {}

    void read() {
        header();
        pos_ = f_.tdefBlockEnd;
        t_.realIndexes.resize(numReal_);
        for (auto& ri : t_.realIndexes) {
            ri.rowCount = coding::getU32(b_, pos_ + f_.realIndexRowCount);
            pos_ += f_.realIndexCountSize;
        }
        columns();
        checkColumns();
        realIndexes();
        logicalIndexes();
        longValueMaps();
    }

private:
    void header() {
        t_.rowCount = coding::getU32(b_, f_.tdefRowCount);
        t_.lastAutoNumber = coding::getU32(b_, f_.tdefAutoNumber);
        t_.tableType = coding::getU8(b_, f_.tdefTableType);
        t_.maxCols = coding::getU16(b_, f_.tdefMaxCols);
        t_.varCols = coding::getU16(b_, f_.tdefVarCols);
        numCols_ = coding::getU16(b_, f_.tdefNumCols);
        numIdx_ = coding::getU32(b_, f_.tdefNumIndexes);
        numReal_ = coding::getU32(b_, f_.tdefNumRealIndexes);
        t_.usedPages = coding::getU32(b_, f_.tdefUsedPages);
        t_.freePages = coding::getU32(b_, f_.tdefFreePages);
        if (numCols_ == 0 || numCols_ > 256 || numCols_ > t_.maxCols)
            throw Error(what_ + ": implausible column count " + std::to_string(numCols_) +
                        " (max " + std::to_string(t_.maxCols) + ")");
        // Deleted columns still count among the variable ones, so compare with the maximum.
        if (t_.varCols > t_.maxCols)
            throw Error(what_ + ": more variable columns (" + std::to_string(t_.varCols) +
                        ") than the maximum column count " + std::to_string(t_.maxCols));
        if (numReal_ > 64 || numIdx_ > 64 || numReal_ > numIdx_ + 64)
            throw Error(what_ + ": implausible index counts (" + std::to_string(numIdx_) +
                        " logical, " + std::to_string(numReal_) + " real)");
    }

    void columns() {
        t_.columns.resize(numCols_);
        for (auto& c : t_.columns) {
            coding::Bytes d = coding::slice(b_, pos_, f_.columnSize);
            std::uint8_t type = coding::getU8(d, 0);
            if (!knownType(type))
                throw Error(what_ + ": column " + std::to_string(&c - t_.columns.data()) +
                            " has unknown type code " + std::to_string(type));
            c.type = static_cast<ColumnType>(type);
            c.number = coding::getU16(d, f_.colNumber);
            c.varIndex = coding::getU16(d, f_.colVarIndex);
            c.index = coding::getU16(d, f_.colIndex);
            c.sortOrder = coding::getU16(d, f_.colSortOrder);
            c.precision = coding::getU8(d, f_.colPrecision);
            c.scale = coding::getU8(d, f_.colPrecision + 1);
            c.flags = coding::getU8(d, f_.colFlags);
            c.extFlags = f_.jet4() ? coding::getU8(d, f_.colExtFlags) : 0;
            c.fixedOffset = coding::getU16(d, f_.colFixedOffset);
            c.length = coding::getU16(d, f_.colLength);
            pos_ += f_.columnSize;
        }
        Cursor cur(b_, pos_);
        for (auto& c : t_.columns)
            c.name = cur.name(f_.jet4());
        pos_ = cur.pos();
    }

    // Then in column number order, each number once.
    void checkColumns() {
        for (auto& c : t_.columns) {
            std::size_t w = fixedWidth(c.type);
            std::string col = what_ + ", column '" + utf8(c.name) + "'";
            if (c.number >= t_.maxCols)
                throw Error(col + ": column number " + std::to_string(c.number) +
                            " is not below the maximum " + std::to_string(t_.maxCols));
            if (c.fixed() && w != 0 && c.length != w)
                throw Error(col + ": length " + std::to_string(c.length) +
                            " does not fit its type");
            if (!c.fixed() && c.type != ColumnType::Boolean && c.varIndex >= t_.maxCols)
                throw Error(col + ": variable slot " + std::to_string(c.varIndex) +
                            " out of range");
            if (c.type == ColumnType::Numeric && (c.scale > 28 || c.precision > 28))
                throw Error(col + ": decimal precision/scale out of range");
        }
        std::stable_sort(
            t_.columns.begin(), t_.columns.end(),
            [](const ColumnDef& a, const ColumnDef& b) { return a.number < b.number; });
        for (std::size_t i = 1; i < t_.columns.size(); ++i)
            if (t_.columns[i].number == t_.columns[i - 1].number)
                throw Error(what_ + ": two columns share number " +
                            std::to_string(t_.columns[i].number));
    }

    void realIndexes() {
        for (auto& ri : t_.realIndexes) {
            coding::Bytes d = coding::slice(b_, pos_, f_.realIndexSize);
            for (int k = 0; k < 10; ++k) {
                std::uint16_t num = coding::getU16(d, f_.realIndexColumns + 3 * k);
                std::uint8_t order = coding::getU8(d, f_.realIndexColumns + 3 * k + 2);
                if (num == 0xFFFF)
                    continue;
                const ColumnDef* c = t_.columnByNumber(num);
                if (!c)
                    throw Error(
                        what_ + ": real index " + std::to_string(&ri - t_.realIndexes.data()) +
                        " names column number " + std::to_string(num) + ", which is absent");
                ri.columns.push_back(
                    {num, order == 0x01, static_cast<std::uint16_t>(c - t_.columns.data())});
            }
            ri.usedPages = coding::getU32(d, f_.realIndexUsedPages);
            ri.firstPage = coding::getU32(d, f_.realIndexFirstPage);
            ri.flags = coding::getU8(d, f_.realIndexFlags);
            pos_ += f_.realIndexSize;
        }
    }

    void logicalIndexes() {
        t_.indexes.resize(numIdx_);
        for (auto& li : t_.indexes) {
            coding::Bytes d = coding::slice(b_, pos_, f_.logicalIndexSize);
            li.number = coding::getU32(d, f_.logicalIndexNumber);
            li.realIndex = coding::getU32(d, f_.logicalIndexReal);
            li.relatedIndex = coding::getU32(d, f_.logicalIndexRelIndex);
            li.relatedTable = coding::getU32(d, f_.logicalIndexRelTable);
            li.indexType = coding::getU8(d, f_.logicalIndexType);
            if (li.realIndex >= numReal_)
                throw Error(what_ + ": logical index " + std::to_string(&li - t_.indexes.data()) +
                            " refers to real index " + std::to_string(li.realIndex) + " of " +
                            std::to_string(numReal_));
            pos_ += f_.logicalIndexSize;
        }
        Cursor names(b_, pos_);
        for (auto& li : t_.indexes)
            li.name = names.name(f_.jet4());
        pos_ = names.pos();
    }

    // Jet 4: the long value columns' maps follow, ended by 0xFFFF.
    //   OFFSET SIZE MEANING
    //   0      2    column number
    //   2      4    owned pages map (row pointer)
    //   6      4    free space map (row pointer)
    void longValueMaps() {
        for (std::size_t at = pos_; f_.jet4() && at + 2 <= b_.size();) {
            std::uint16_t column = coding::getU16(b_, at);
            const ColumnDef* c = column == 0xFFFF ? nullptr : t_.columnByNumber(column);
            if (!c || !c->isLongValue() || at + 10 > b_.size())
                break;
            t_.longValueMaps.push_back(
                {column, coding::getU32(b_, at + 2), coding::getU32(b_, at + 6)});
            at += 10;
        }
    }

    const Format& f_;
    coding::Bytes b_;
    const std::string& what_;
    TableDef& t_;
    std::size_t pos_ = 0;
    std::uint16_t numCols_ = 0;
    std::uint32_t numIdx_ = 0, numReal_ = 0;
};

} // namespace

TableDef readTableDef(PageFile& file, std::uint32_t first, const std::u16string& name) {
    const std::string what = file.name() + ", table definition of '" + utf8(name) + "' (page " +
                             std::to_string(first) + ")";
    TableDef t;
    t.name = name;
    t.page = first;
    std::vector<std::uint8_t> buf = definitionBytes(file, t, what);
    try {
        DefinitionReader(file.format(), coding::Bytes(buf), what, t).read();
    } catch (const coding::OutOfBounds& e) {
        throw Error(what + ": the definition is cut short (" + e.what() + ")");
    } catch (const Error& e) {
        std::string m = e.what();
        if (m.rfind(file.name(), 0) == 0)
            throw;
        throw Error(what + ": " + m);
    }
    return t;
}

} // namespace jet
