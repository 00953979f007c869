#include "jet/Write.h"

#include "jet/DataPage.h"
#include "jet/Error.h"
#include "jet/IndexSupport.h"
#include "jet/PageFile.h"
#include "jet/Row.h"
#include "jet/Text.h"
#include "jet/UsageMap.h"
#include "base/Coding.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

namespace jet {
namespace {

constexpr std::uint32_t kLvalMarker = 0x4C41564C;   // "LVAL" where data pages name their table
constexpr std::uint32_t kGlobalMap = (1u << 8) | 0; // page 1, row 0: the map of free pages

std::string columnWhere(const Table& t, const ColumnDef& c) {
    return "table '" + utf8(t.def().name) + "', column '" + utf8(c.name) + "'";
}

[[noreturn]] void mismatch(const Table& t, const ColumnDef& c, const std::string& why) {
    throw Error(columnWhere(t, c) + ": " + why);
}

std::u16string trimmed(const std::u16string& s) {
    std::size_t a = 0, b = s.size();
    while (a < b && (s[a] == u' ' || s[a] == u'\t'))
        ++a;
    while (b > a && (s[b - 1] == u' ' || s[b - 1] == u'\t'))
        --b;
    return s.substr(a, b - a);
}

// Text as Access reads a number: blanks around, a leading currency sign and thousands
// separators allowed.
bool textNumber(const std::u16string& text, double& out, std::string& plain) {
    std::string s = utf8(trimmed(text));
    std::string clean;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '$' || s[i] == ',')
            continue;
        clean += s[i];
    }
    if (clean.empty())
        return false;
    const char* b = clean.data();
    if (*b == '+')
        ++b;
    auto r = std::from_chars(b, clean.data() + clean.size(), out);
    plain = std::string(b, static_cast<const char*>(clean.data() + clean.size()));
    return r.ec == std::errc() && r.ptr == clean.data() + clean.size();
}

std::optional<double> numberOf(const Value& v) {
    return std::visit(
        [](const auto& x) -> std::optional<double> {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, bool>)
                return x ? -1.0 : 0.0;
            else if constexpr (std::is_arithmetic_v<T>)
                return static_cast<double>(x);
            else if constexpr (std::is_same_v<T, Currency>)
                return static_cast<double>(x.scaled) / 10000.0;
            else if constexpr (std::is_same_v<T, DateTime>)
                return x.days;
            else if constexpr (std::is_same_v<T, Decimal>)
                return std::stod(decimalText(x));
            else
                return std::nullopt;
        },
        v);
}

// Access rounds to whole numbers half to even (CInt, CLng).
double roundEven(double d) {
    return std::nearbyint(d);
}

std::u16string textOf(const Value& v) {
    return std::visit(
        [](const auto& x) -> std::u16string {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::u16string>)
                return x;
            else if constexpr (std::is_same_v<T, bool>)
                return x ? u"True" : u"False";
            else if constexpr (std::is_same_v<T, std::uint8_t> || std::is_same_v<T, std::int16_t> ||
                               std::is_same_v<T, std::int32_t>)
                return utf16(std::to_string(x));
            else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>)
                return utf16(shortestText(x));
            else if constexpr (std::is_same_v<T, Currency>) {
                std::string s = currencyText(x);
                while (s.back() == '0')
                    s.pop_back();
                if (s.back() == '.')
                    s.pop_back();
                return utf16(s);
            } else if constexpr (std::is_same_v<T, DateTime>) {
                std::string s = dateTimeText(x);
                // 1974-09-21T13:45:07 -> 9/21/1974 1:45:07 PM, as Access writes a date as text.
                int y = std::stoi(s.substr(0, 4)), mo = std::stoi(s.substr(5, 2)),
                    d = std::stoi(s.substr(8, 2)), h = std::stoi(s.substr(11, 2));
                char buf[48];
                std::snprintf(buf, sizeof buf, "%d/%d/%d", mo, d, y);
                std::string out = buf;
                if (s.compare(11, 8, "00:00:00") != 0) {
                    std::snprintf(buf, sizeof buf, " %d%s %s", h % 12 == 0 ? 12 : h % 12,
                                  s.substr(13, 6).c_str(), h < 12 ? "AM" : "PM");
                    out += buf;
                }
                return utf16(out);
            } else if constexpr (std::is_same_v<T, Guid>)
                return utf16(guidText(x));
            else if constexpr (std::is_same_v<T, Decimal>)
                return utf16(decimalText(x));
            else
                return u"";
        },
        v);
}

} // namespace

Value convertForColumn(Table& t, const ColumnDef& c, Value v) {
    const bool jet4 = t.file().format().jet4();
    auto* text = std::get_if<std::u16string>(&v);
    if (c.type == ColumnType::Boolean) {
        // Yes/no has no Null: it lives in the null mask.
        if (isNull(v))
            return false;
        if (text) {
            std::u16string s = trimmed(*text);
            if (s.empty())
                return false;
            for (auto w : {u"true", u"yes", u"on"})
                if (sameName(s, w))
                    return true;
            for (auto w : {u"false", u"no", u"off"})
                if (sameName(s, w))
                    return false;
            double d;
            std::string plain;
            if (textNumber(s, d, plain))
                return d != 0;
            mismatch(t, c, "'" + utf8(*text) + "' is not a yes/no value");
        }
        auto n = numberOf(v);
        if (!n)
            mismatch(t, c, "this value cannot be stored in a yes/no column");
        return *n != 0;
    }
    if (isNull(v))
        return Null{};
    if (c.type == ColumnType::Text || c.type == ColumnType::Memo) {
        std::u16string s = text ? std::move(*text) : textOf(v);
        if (c.type == ColumnType::Text) {
            std::size_t width = jet4 ? c.length / 2u : c.length;
            if (s.size() > width)
                mismatch(t, c,
                         "text of " + std::to_string(s.size()) +
                             " characters is longer than the column's " + std::to_string(width));
        }
        return s;
    }
    // Every other type: empty text means Null.
    if (text && trimmed(*text).empty())
        return Null{};
    switch (c.type) {
    case ColumnType::Byte:
    case ColumnType::Int:
    case ColumnType::Long:
    case ColumnType::Float:
    case ColumnType::Double: {
        double d;
        if (text) {
            std::string plain;
            if (!textNumber(*text, d, plain))
                mismatch(t, c, "'" + utf8(*text) + "' is not a number");
        } else {
            auto n = numberOf(v);
            if (!n)
                mismatch(t, c, "this value cannot be stored in a number column");
            d = *n;
        }
        if (!std::isfinite(d))
            mismatch(t, c, "the number is not finite");
        auto range = [&](double lo, double hi) {
            double r = roundEven(d);
            if (r < lo || r > hi)
                mismatch(t, c, utf8(textOf(v)) + " is out of the column's range");
            return r;
        };
        switch (c.type) {
        case ColumnType::Byte:
            return static_cast<std::uint8_t>(range(0, 255));
        case ColumnType::Int:
            return static_cast<std::int16_t>(range(-32768, 32767));
        case ColumnType::Long:
            return static_cast<std::int32_t>(range(-2147483648.0, 2147483647.0));
        case ColumnType::Float:
            if (std::fabs(d) > std::numeric_limits<float>::max())
                mismatch(t, c, utf8(textOf(v)) + " is out of the column's range");
            return static_cast<float>(d);
        default:
            return d;
        }
    }
    case ColumnType::Money: {
        if (const auto* cur = std::get_if<Currency>(&v))
            return *cur;
        std::string digits;
        if (text) {
            double d;
            if (!textNumber(*text, d, digits))
                mismatch(t, c, "'" + utf8(*text) + "' is not an amount");
        } else {
            auto n = numberOf(v);
            if (!n)
                mismatch(t, c, "this value cannot be stored in a currency column");
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.4f", *n);
            digits = buf;
        }
        // Through the decimal parser so "0.1" is exactly 1000 ten-thousandths.
        Decimal dec;
        if (!parseDecimal(digits, 19, 4, dec) || dec.magnitude[2] || dec.magnitude[3] ||
            (static_cast<std::uint64_t>(dec.magnitude[1]) << 32 | dec.magnitude[0]) >
                static_cast<std::uint64_t>(INT64_MAX))
            mismatch(t, c, "'" + digits + "' is out of the currency range");
        std::int64_t scaled = static_cast<std::int64_t>(
            static_cast<std::uint64_t>(dec.magnitude[1]) << 32 | dec.magnitude[0]);
        return Currency{dec.negative ? -scaled : scaled};
    }
    case ColumnType::DateTime: {
        if (text) {
            DateTime d;
            if (!parseDateTime(utf8(trimmed(*text)), d))
                mismatch(t, c, "'" + utf8(*text) + "' is not a date");
            return d;
        }
        auto n = numberOf(v);
        if (!n)
            mismatch(t, c, "this value cannot be stored in a date column");
        return DateTime{*n};
    }
    case ColumnType::Numeric: {
        std::string digits;
        if (text) {
            double d;
            if (!textNumber(*text, d, digits))
                mismatch(t, c, "'" + utf8(*text) + "' is not a number");
        } else if (const auto* dec = std::get_if<Decimal>(&v)) {
            digits = decimalText(*dec);
        } else {
            auto n = numberOf(v);
            if (!n)
                mismatch(t, c, "this value cannot be stored in a decimal column");
            digits = shortestText(*n);
            if (digits.find('e') != std::string::npos)
                mismatch(t, c, digits + " does not fit the column's precision");
        }
        Decimal dec;
        if (!parseDecimal(digits, c.precision, c.scale, dec))
            mismatch(t, c,
                     "'" + digits + "' does not fit precision " + std::to_string(c.precision) +
                         ", scale " + std::to_string(c.scale));
        return dec;
    }
    case ColumnType::Guid: {
        if (const auto* g = std::get_if<Guid>(&v))
            return *g;
        if (text) {
            std::vector<std::uint8_t> nibbles;
            bool bad = false;
            for (char16_t ch : *text) {
                if (ch >= u'0' && ch <= u'9')
                    nibbles.push_back(static_cast<std::uint8_t>(ch - u'0'));
                else if ((ch | 0x20) >= u'a' && (ch | 0x20) <= u'f')
                    nibbles.push_back(static_cast<std::uint8_t>((ch | 0x20) - u'a' + 10));
                else if (ch != u'{' && ch != u'}' && ch != u'-' && ch != u' ')
                    bad = true;
            }
            if (!bad && nibbles.size() == 32) {
                std::uint8_t b[16];
                for (int i = 0; i < 16; ++i)
                    b[i] = static_cast<std::uint8_t>(nibbles[2 * i] << 4 | nibbles[2 * i + 1]);
                // Text order: first three groups big-endian; stored little-endian.
                Guid g;
                const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
                for (int i = 0; i < 16; ++i)
                    g.bytes[i] = b[order[i]];
                return g;
            }
        }
        mismatch(t, c, "'" + utf8(textOf(v)) + "' is not a GUID");
    }
    case ColumnType::Binary:
    case ColumnType::Ole: {
        if (const auto* b = std::get_if<Binary>(&v)) {
            if (c.type == ColumnType::Binary && b->size() > c.length)
                mismatch(t, c,
                         std::to_string(b->size()) + " bytes are longer than the column's " +
                             std::to_string(c.length));
            return *b;
        }
        mismatch(t, c, "only binary values can be stored in a binary column");
    }
    default:
        mismatch(t, c, "unsupported column type");
    }
}

namespace {

void requireWritable(Table& t) {
    PageFile& f = t.file();
    if (!f.writable())
        throw Error(f.name() + ": the database is open read-only");
    if (!f.format().jet4())
        throw Error(f.name() + ": changing Access 97 (Jet 3) databases is not supported");
}

std::string tableWhere(Table& t) {
    return t.file().name() + ", table '" + utf8(t.def().name) + "'";
}

// The maps that record a kind of page: the table's for its rows; a long value column's own for
// its long values (the table's in files whose columns have none).
struct PageMaps {
    std::uint32_t used = 0, free = 0;
    std::uint32_t* hint = nullptr; // the page the last row of this kind went to
    bool hasFreeMap() const { return free != 0 && free != used; }
};

PageMaps rowMaps(Table& t) {
    return {t.def().usedPages, t.def().freePages, &t.rowHint};
}

PageMaps longValueMaps(Table& t, const ColumnDef& c) {
    for (const LongValueMaps& m : t.def().longValueMaps)
        if (m.columnNumber == c.number)
            return {m.usedPages, m.freePages, &t.longValueHints[c.number]};
    return {t.def().usedPages, t.def().freePages, &t.longValueHints[c.number]};
}

// A fresh page: appended to the file, taken off the global map of free pages, and added to the
// owned and free-space maps of its kind.
MutablePageRef newTablePage(Table& t, std::uint32_t owner, const PageMaps& maps) {
    PageFile& f = t.file();
    UsageMap used = UsageMap::read(f, maps.used, tableWhere(t), true, false);
    auto page = f.appendPage();
    initDataPage(f.format(), page->mut(), owner);
    UsageMap global = UsageMap::read(f, kGlobalMap, f.name() + ", global usage map", false, false);
    if (global.contains(page->number))
        global.remove(f, page->number);
    used.add(f, page->number);
    if (maps.hasFreeMap()) {
        UsageMap free =
            UsageMap::read(f, maps.free, tableWhere(t) + " free-space map", true, false);
        free.add(f, page->number);
    }
    return page;
}

// A page of the table's (data or long value pages, by `owner`) with room for `size` bytes.
MutablePageRef pageWithRoom(Table& t, std::uint32_t owner, std::size_t size, const PageMaps& maps) {
    PageFile& f = t.file();
    const Format& fmt = f.format();
    auto ours = [&](std::span<const std::uint8_t> v) {
        return v[0] == static_cast<std::uint8_t>(PageType::Data) && coding::getU32(v, 4) == owner;
    };
    // The page the last row of this kind went to: during a run of inserts it has room nearly
    // every time, and reading the whole usage map for each row would cost more than the row.
    // When it is full, the pages before it filled earlier in the run: a new page follows.
    std::uint32_t& hint = *maps.hint;
    auto found = [&](MutablePageRef p) {
        hint = p->number;
        return p;
    };
    if (hint != 0 && hint < f.pageCount()) {
        auto p = f.page(hint);
        if (ours(p->view())) {
            if (roomFor(fmt, p->view(), size))
                return f.writablePage(hint);
            return found(newTablePage(t, owner, maps));
        }
    }
    auto pages = UsageMap::read(f, maps.used, tableWhere(t)).pages();
    // Newest pages first: that is where the room is after a run of inserts.
    int looked = 0;
    for (auto it = pages.rbegin(); it != pages.rend() && looked < 8; ++it) {
        auto p = f.page(*it);
        auto v = p->view();
        if (ours(v) && roomFor(fmt, v, size))
            return found(f.writablePage(*it));
        // Looking further back than a few pages is slow and rarely finds room.
        if (ours(v))
            ++looked;
    }
    return found(newTablePage(t, owner, maps));
}

// Largest row a data page can take: the page less its header and one slot.
std::size_t maxRow(const Format& f) {
    return f.pageSize - f.dataRowTable - 2;
}

LongValueRef storeLongValue(Table& t, const ColumnDef& c, std::span<const std::uint8_t> bytes) {
    const Format& f = t.file().format();
    const PageMaps maps = longValueMaps(t, c);
    if (bytes.size() <= maxRow(f)) {
        auto p = pageWithRoom(t, kLvalMarker, bytes.size(), maps);
        std::uint16_t row = addRow(f, p->mut(), bytes);
        return {pointerFromRowId({p->number, row}), true};
    }
    // A chain: each piece leads with the pointer of the next; written back to front.
    const std::size_t piece = maxRow(f) - 4;
    std::uint32_t next = 0;
    std::size_t pieces = (bytes.size() + piece - 1) / piece;
    for (std::size_t i = pieces; i-- > 0;) {
        std::size_t start = i * piece, n = std::min(piece, bytes.size() - start);
        std::vector<std::uint8_t> row(4 + n);
        coding::putLE<std::uint32_t>(row, 0, next);
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(start), n, row.begin() + 4);
        auto p = pageWithRoom(t, kLvalMarker, row.size(), maps);
        std::uint16_t r = addRow(f, p->mut(), row);
        next = pointerFromRowId({p->number, r});
    }
    return {next, false};
}

void writeCounts(Table& t) {
    PageFile& f = t.file();
    auto p = f.writablePage(t.def().page);
    coding::putLE<std::uint32_t>(p->mut(), f.format().tdefRowCount, t.def().rowCount);
    coding::putLE<std::uint32_t>(p->mut(), f.format().tdefAutoNumber, t.def().lastAutoNumber);
}

} // namespace

RowRef insertRow(Table& t, std::vector<Value>& values, const std::vector<bool>& assigned) {
    requireWritable(t);
    PageFile& f = t.file();
    const Format& fmt = f.format();
    TableDef& def = t.mutableDef();
    std::uint32_t last = def.lastAutoNumber;
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        const ColumnDef& c = def.columns[i];
        if (c.type == ColumnType::Long && (c.flags & ColumnDef::kAutoLongFlag)) {
            if (!assigned[i] || isNull(values[i]))
                values[i] = static_cast<std::int32_t>(++last);
            else if (std::get<std::int32_t>(values[i]) > static_cast<std::int32_t>(last))
                last = static_cast<std::uint32_t>(std::get<std::int32_t>(values[i]));
        } else if (c.type == ColumnType::Guid && (c.flags & ColumnDef::kAutoGuidFlag) &&
                   (!assigned[i] || isNull(values[i]))) {
            static std::mt19937_64 rng{std::random_device{}()};
            Guid g;
            for (auto& b : g.bytes)
                b = static_cast<std::uint8_t>(rng());
            g.bytes[7] = static_cast<std::uint8_t>((g.bytes[7] & 0x0F) | 0x40); // version 4
            g.bytes[8] = static_cast<std::uint8_t>((g.bytes[8] & 0x3F) | 0x80);
            values[i] = g;
        }
        if (c.required && isNull(values[i]))
            throw Error("The field '" + utf8(def.name) + "." + utf8(c.name) +
                        "' cannot contain a Null value because the Required property for this "
                        "field is set to True.  Enter a value in this field.");
    }
    // A duplicate key is refused before anything is written.
    IndexKeys keys = checkUnique(t, values);
    auto store = [&t](const ColumnDef& c, std::span<const std::uint8_t> b) {
        return storeLongValue(t, c, b);
    };
    std::vector<std::uint8_t> row = encodeRow(fmt, def, values, store, 256);
    if (row.size() > maxRow(fmt))
        row = encodeRow(fmt, def, values, store, 0);
    if (row.size() > maxRow(fmt))
        throw Error(tableWhere(t) + ": the row is " + std::to_string(row.size()) +
                    " bytes, more than a page holds");
    auto page = pageWithRoom(t, def.page, row.size(), rowMaps(t));
    std::uint16_t slot = addRow(fmt, page->mut(), row);
    RowId id{page->number, slot};
    addToIndexes(t, id, std::move(keys));
    def.rowCount += 1;
    def.lastAutoNumber = last;
    writeCounts(t);
    return {id, id};
}

void deleteRow(Table& t, const RowRef& r) {
    requireWritable(t);
    PageFile& f = t.file();
    const Format& fmt = f.format();
    {
        auto page = f.page(r.id.page);
        RowSpan s = rowSpan(fmt, page->view(), r.id.row, t.where(r.id));
        if (s.deleted())
            throw Error(t.where(r.id) + ": the row is already deleted");
    }
    // Memo and OLE values stored on long value pages go with the row.
    std::vector<bool> longColumns(t.def().columns.size(), false);
    for (std::size_t i = 0; i < longColumns.size(); ++i)
        longColumns[i] = t.def().columns[i].isLongValue();
    if (!t.def().realIndexes.empty())
        removeFromIndexes(t, r.id, t.read(r));
    std::vector<RowId> gone{r.id};
    if (!(r.data == r.id))
        gone.push_back(r.data);
    t.read(r, &longColumns, &gone);
    for (const RowId& at : gone) {
        auto page = f.writablePage(at.page);
        markDeleted(fmt, page->mut(), at.row);
    }
    // Pages that gained room go on the free-space map of their kind, where it reaches them.
    auto markRoom = [&](const PageMaps& maps, std::uint32_t page) {
        if (!maps.hasFreeMap())
            return;
        UsageMap free =
            UsageMap::read(f, maps.free, tableWhere(t) + " free-space map", true, false);
        if (!free.contains(page) && free.reaches(page))
            free.add(f, page);
    };
    for (const RowId& at : gone) {
        if (coding::getU32(f.page(at.page)->view(), 4) == t.def().page) {
            markRoom(rowMaps(t), at.page);
            continue;
        }
        for (const LongValueMaps& m : t.def().longValueMaps)
            if (UsageMap::read(f, m.usedPages, tableWhere(t), true, false).contains(at.page))
                markRoom({m.usedPages, m.freePages, nullptr}, at.page);
    }
    TableDef& def = t.mutableDef();
    if (def.rowCount > 0)
        def.rowCount -= 1;
    writeCounts(t);
}

} // namespace jet
