#include "jet/Write.h"

#include "base/Coding.h"
#include "base/Numbers.h"
#include "jet/DataPage.h"
#include "jet/Error.h"
#include "jet/IndexSupport.h"
#include "jet/PageFile.h"
#include "jet/Row.h"
#include "jet/Text.h"
#include "jet/UsageMap.h"

#include <cmath>
#include <limits>
#include <optional>
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

struct TextNumber {
    double value = 0;
    std::string plain; // without blanks, '$', ',' or a leading '+', for the decimal parser
};

// Text as Access reads a number: blanks around, a leading currency sign and thousands
// separators allowed.
std::optional<TextNumber> textNumber(const std::u16string& text) {
    std::string clean;
    for (char ch : utf8(trimmed(text)))
        if (ch != '$' && ch != ',')
            clean += ch;
    std::string_view plain = clean;
    if (!plain.empty() && plain.front() == '+')
        plain.remove_prefix(1);
    auto d = numbers::parseDouble(plain);
    if (!d)
        return std::nullopt;
    return TextNumber{*d, std::string(plain)};
}

// Access rounds to whole numbers half to even (CInt, CLng).
double roundEven(double d) {
    return std::nearbyint(d);
}

// 1974-09-21T13:45:07 -> 9/21/1974 1:45:07 PM, as Access writes a date as text.
std::string accessDateText(DateTime dt) {
    std::string s = dateTimeText(dt);
    int y = std::stoi(s.substr(0, 4)), mo = std::stoi(s.substr(5, 2)),
        d = std::stoi(s.substr(8, 2)), h = std::stoi(s.substr(11, 2));
    std::string out = std::to_string(mo) + "/" + std::to_string(d) + "/" + std::to_string(y);
    if (s.compare(11, 8, "00:00:00") != 0)
        out += " " + std::to_string(h % 12 == 0 ? 12 : h % 12) + s.substr(13, 6) +
               (h < 12 ? " AM" : " PM");
    return out;
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
                return utf16(numbers::shortest(x));
            else if constexpr (std::is_same_v<T, Currency>) {
                std::string s = currencyText(x);
                while (s.back() == '0')
                    s.pop_back();
                if (s.back() == '.')
                    s.pop_back();
                return utf16(s);
            } else if constexpr (std::is_same_v<T, DateTime>)
                return utf16(accessDateText(x));
            else if constexpr (std::is_same_v<T, Guid>)
                return utf16(guidText(x));
            else if constexpr (std::is_same_v<T, Decimal>)
                return utf16(decimalText(x));
            else
                return u"";
        },
        v);
}

// One conversion per family of column types; each gets a value that is not Null (yes/no
// apart) and, outside text columns, no empty text.

bool toYesNo(const Table& t, const ColumnDef& c, const Value& v) {
    if (isNull(v))
        return false; // yes/no has no Null: it lives in the null mask
    if (const auto* text = std::get_if<std::u16string>(&v)) {
        std::u16string s = trimmed(*text);
        if (s.empty())
            return false;
        for (auto w : {u"true", u"yes", u"on"})
            if (sameName(s, w))
                return true;
        for (auto w : {u"false", u"no", u"off"})
            if (sameName(s, w))
                return false;
        if (auto n = textNumber(s))
            return n->value != 0;
        mismatch(t, c, "'" + utf8(*text) + "' is not a yes/no value");
    }
    auto n = numberOf(v);
    if (!n)
        mismatch(t, c, "this value cannot be stored in a yes/no column");
    return *n != 0;
}

void checkWidth(Table& t, const ColumnDef& c, std::size_t length) {
    if (c.type != ColumnType::Text)
        return;
    std::size_t width = t.file().format().jet4() ? c.length / 2u : c.length;
    if (length > width)
        mismatch(t, c,
                 "text of " + std::to_string(length) + " characters is longer than the column's " +
                     std::to_string(width));
}

std::u16string toText(Table& t, const ColumnDef& c, Value v) {
    auto* text = std::get_if<std::u16string>(&v);
    std::u16string s = text ? std::move(*text) : textOf(v);
    checkWidth(t, c, s.size());
    return s;
}

// A finite number from text or from any value that has one.
double finiteNumber(const Table& t, const ColumnDef& c, const Value& v) {
    double d;
    if (const auto* text = std::get_if<std::u16string>(&v)) {
        auto n = textNumber(*text);
        if (!n)
            mismatch(t, c, "'" + utf8(*text) + "' is not a number");
        d = n->value;
    } else {
        auto n = numberOf(v);
        if (!n)
            mismatch(t, c, "this value cannot be stored in a number column");
        d = *n;
    }
    if (!std::isfinite(d))
        mismatch(t, c, "the number is not finite");
    return d;
}

[[noreturn]] void outOfRange(const Table& t, const ColumnDef& c, const Value& v) {
    mismatch(t, c, utf8(textOf(v)) + " is out of the column's range");
}

Value toWholeNumber(const Table& t, const ColumnDef& c, const Value& v) {
    // A long integer for a long integer column, as every import's ID: nothing to convert.
    if (const auto* n = std::get_if<std::int32_t>(&v); n && c.type == ColumnType::Long)
        return *n;
    const double r = roundEven(finiteNumber(t, c, v));
    auto within = [&](double lo, double hi) {
        if (r < lo || r > hi)
            outOfRange(t, c, v);
        return r;
    };
    switch (c.type) {
    case ColumnType::Byte:
        return static_cast<std::uint8_t>(within(0, 255));
    case ColumnType::Int:
        return static_cast<std::int16_t>(within(-32768, 32767));
    default:
        return static_cast<std::int32_t>(within(-2147483648.0, 2147483647.0));
    }
}

Value toFloating(const Table& t, const ColumnDef& c, const Value& v) {
    const double d = finiteNumber(t, c, v);
    if (c.type == ColumnType::Double)
        return d;
    if (std::fabs(d) > std::numeric_limits<float>::max())
        outOfRange(t, c, v);
    return static_cast<float>(d);
}

Currency toCurrency(const Table& t, const ColumnDef& c, const Value& v) {
    if (const auto* cur = std::get_if<Currency>(&v))
        return *cur;
    std::string digits;
    if (const auto* text = std::get_if<std::u16string>(&v)) {
        auto n = textNumber(*text);
        if (!n)
            mismatch(t, c, "'" + utf8(*text) + "' is not an amount");
        digits = n->plain;
    } else {
        auto n = numberOf(v);
        if (!n)
            mismatch(t, c, "this value cannot be stored in a currency column");
        digits = numbers::fixed(*n, 4);
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

DateTime toDate(const Table& t, const ColumnDef& c, const Value& v) {
    if (const auto* text = std::get_if<std::u16string>(&v)) {
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

Decimal toDecimal(const Table& t, const ColumnDef& c, const Value& v) {
    std::string digits;
    if (const auto* text = std::get_if<std::u16string>(&v)) {
        auto n = textNumber(*text);
        if (!n)
            mismatch(t, c, "'" + utf8(*text) + "' is not a number");
        digits = n->plain;
    } else if (const auto* dec = std::get_if<Decimal>(&v)) {
        digits = decimalText(*dec);
    } else {
        auto n = numberOf(v);
        if (!n)
            mismatch(t, c, "this value cannot be stored in a decimal column");
        digits = numbers::shortest(*n);
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

// {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, braces, dashes and blanks optional.
std::optional<Guid> guidFromText(const std::u16string& text) {
    std::vector<std::uint8_t> nibbles;
    for (char16_t ch : text) {
        if (ch >= u'0' && ch <= u'9')
            nibbles.push_back(static_cast<std::uint8_t>(ch - u'0'));
        else if ((ch | 0x20) >= u'a' && (ch | 0x20) <= u'f')
            nibbles.push_back(static_cast<std::uint8_t>((ch | 0x20) - u'a' + 10));
        else if (ch != u'{' && ch != u'}' && ch != u'-' && ch != u' ')
            return std::nullopt;
    }
    if (nibbles.size() != 32)
        return std::nullopt;
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

Guid toGuid(const Table& t, const ColumnDef& c, const Value& v) {
    if (const auto* g = std::get_if<Guid>(&v))
        return *g;
    if (const auto* text = std::get_if<std::u16string>(&v))
        if (auto g = guidFromText(*text))
            return *g;
    mismatch(t, c, "'" + utf8(textOf(v)) + "' is not a GUID");
}

Binary toBinary(const Table& t, const ColumnDef& c, Value v) {
    auto* b = std::get_if<Binary>(&v);
    if (!b)
        mismatch(t, c, "only binary values can be stored in a binary column");
    if (c.type == ColumnType::Binary && b->size() > c.length)
        mismatch(t, c,
                 std::to_string(b->size()) + " bytes are longer than the column's " +
                     std::to_string(c.length));
    return std::move(*b);
}

} // namespace

bool textFits(Table& t, const ColumnDef& c, std::size_t length) {
    if (c.type != ColumnType::Text && c.type != ColumnType::Memo)
        return false;
    checkWidth(t, c, length);
    return true;
}

Value convertForColumn(Table& t, const ColumnDef& c, Value v) {
    if (c.type == ColumnType::Boolean)
        return toYesNo(t, c, v);
    if (isNull(v))
        return Null{};
    if (c.type == ColumnType::Text || c.type == ColumnType::Memo)
        return toText(t, c, std::move(v));
    // Every other type: empty text means Null.
    if (const auto* text = std::get_if<std::u16string>(&v); text && trimmed(*text).empty())
        return Null{};
    switch (c.type) {
    case ColumnType::Byte:
    case ColumnType::Int:
    case ColumnType::Long:
        return toWholeNumber(t, c, v);
    case ColumnType::Float:
    case ColumnType::Double:
        return toFloating(t, c, v);
    case ColumnType::Money:
        return toCurrency(t, c, v);
    case ColumnType::DateTime:
        return toDate(t, c, v);
    case ColumnType::Numeric:
        return toDecimal(t, c, v);
    case ColumnType::Guid:
        return toGuid(t, c, v);
    case ColumnType::Binary:
    case ColumnType::Ole:
        return toBinary(t, c, std::move(v));
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
    UsageMap used = UsageMap::read(f, maps.used, t.where(), true, false);
    auto page = f.appendPage();
    initDataPage(f.format(), page->mut(), owner);
    UsageMap global = UsageMap::read(f, kGlobalMap, f.name() + ", global usage map", false, false);
    if (global.contains(page->number))
        global.remove(f, page->number);
    used.add(f, page->number);
    if (maps.hasFreeMap()) {
        UsageMap free = UsageMap::read(f, maps.free, t.where() + " free-space map", true, false);
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
        // Taken as writable at once: the last row changed it, so it is to be written anyway.
        auto p = f.writablePage(hint);
        if (ours(p->view())) {
            if (roomFor(fmt, p->view(), size))
                return p;
            return found(newTablePage(t, owner, maps));
        }
    }
    auto pages = UsageMap::read(f, maps.used, t.where()).pages();
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

} // namespace

void writeCounts(Table& t) {
    PageFile& f = t.file();
    auto p = f.writablePage(t.def().page);
    coding::putLE<std::uint32_t>(p->mut(), f.format().tdefRowCount, t.def().rowCount);
    coding::putLE<std::uint32_t>(p->mut(), f.format().tdefAutoNumber, t.def().lastAutoNumber);
    t.countsUnwritten = false;
}

RowRef insertRow(Table& t, std::vector<Value>& values, const AssignedColumns& assigned,
                 const PlainTexts& plain) {
    requireWritable(t);
    PageFile& f = t.file();
    const Format& fmt = f.format();
    TableDef& def = t.mutableDef();
    if (!t.rowShape)
        t.rowShape = rowShapeOf(def);
    const RowShape& shape = *t.rowShape;
    std::uint32_t last = def.lastAutoNumber;
    for (std::size_t i : shape.automatic) {
        const ColumnDef& c = def.columns[i];
        if (c.type == ColumnType::Long) {
            if (!assigned[i] || isNull(values[i]))
                values[i] = static_cast<std::int32_t>(++last);
            else if (std::get<std::int32_t>(values[i]) > static_cast<std::int32_t>(last))
                last = static_cast<std::uint32_t>(std::get<std::int32_t>(values[i]));
        } else if (!assigned[i] || isNull(values[i])) {
            static std::mt19937_64 rng{std::random_device{}()};
            Guid g;
            for (auto& b : g.bytes)
                b = static_cast<std::uint8_t>(rng());
            g.bytes[7] = static_cast<std::uint8_t>((g.bytes[7] & 0x0F) | 0x40); // version 4
            g.bytes[8] = static_cast<std::uint8_t>((g.bytes[8] & 0x3F) | 0x80);
            values[i] = g;
        }
    }
    for (std::size_t i : shape.required)
        if (isNull(values[i]))
            throw Error("The field '" + utf8(def.name) + "." + utf8(def.columns[i].name) +
                        "' cannot contain a Null value because the Required property for this "
                        "field is set to True.  Enter a value in this field.");
    // A duplicate key is refused before anything is written.
    IndexKeys& keys = t.newRowKeys;
    checkUnique(t, values, keys);
    auto store = [&t](const ColumnDef& c, std::span<const std::uint8_t> b) {
        return storeLongValue(t, c, b);
    };
    std::vector<std::uint8_t>& row = t.newRow;
    encodeRow(fmt, def, shape, values, store, 256, row, plain);
    if (row.size() > maxRow(fmt))
        encodeRow(fmt, def, shape, values, store, 0, row, plain);
    if (row.size() > maxRow(fmt))
        throw Error(t.where() + ": the row is " + std::to_string(row.size()) +
                    " bytes, more than a page holds");
    auto page = pageWithRoom(t, def.page, row.size(), rowMaps(t));
    std::uint16_t slot = addRow(fmt, page->mut(), row);
    RowId id{page->number, slot};
    addToIndexes(t, id, keys);
    def.rowCount += 1;
    def.lastAutoNumber = last;
    // Written with the gathered index entries: the definition page for every row would cost
    // a page lookup each time.
    t.countsUnwritten = true;
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
    // Memo and OLE values stored on long value pages go with the row. One read lists their rows
    // and gives the keys, unless an index needs a long value itself.
    const TableDef& d = t.def();
    std::vector<bool> longColumns(d.columns.size(), false);
    bool longKeys = false;
    for (std::size_t i = 0; i < longColumns.size(); ++i)
        longColumns[i] = d.columns[i].isLongValue();
    for (const RealIndex& ri : d.realIndexes)
        for (const IndexColumn& ic : ri.columns)
            longKeys = longKeys || longColumns[columnPosition(d, ic)];
    std::vector<RowId> gone{r.id};
    if (!(r.data == r.id))
        gone.push_back(r.data);
    if (longKeys) {
        removeFromIndexes(t, r.id, t.read(r));
        t.read(r, &longColumns, &gone);
    } else {
        // Only the key columns are decoded; the long values' rows are listed.
        std::vector<bool> wanted(d.columns.size(), false);
        for (const RealIndex& ri : d.realIndexes)
            for (const IndexColumn& ic : ri.columns)
                wanted[columnPosition(d, ic)] = true;
        for (std::size_t i = 0; i < wanted.size(); ++i)
            wanted[i] = wanted[i] || longColumns[i];
        auto values = t.read(r, &wanted, &gone);
        if (!d.realIndexes.empty())
            removeFromIndexes(t, r.id, values);
    }
    for (const RowId& at : gone) {
        auto page = f.writablePage(at.page);
        markDeleted(fmt, page->mut(), at.row);
    }
    // Pages that gained room go on the free-space map of their kind, where it reaches them.
    auto markRoom = [&](const PageMaps& maps, std::uint32_t page) {
        if (!maps.hasFreeMap())
            return;
        UsageMap free = UsageMap::read(f, maps.free, t.where() + " free-space map", true, false);
        if (!free.contains(page) && free.reaches(page))
            free.add(f, page);
    };
    for (const RowId& at : gone) {
        if (coding::getU32(f.page(at.page)->view(), 4) == t.def().page) {
            markRoom(rowMaps(t), at.page);
            continue;
        }
        for (const LongValueMaps& m : t.def().longValueMaps)
            if (UsageMap::read(f, m.usedPages, t.where(), true, false).contains(at.page))
                markRoom({m.usedPages, m.freePages, nullptr}, at.page);
    }
    TableDef& def = t.mutableDef();
    if (def.rowCount > 0)
        def.rowCount -= 1;
    writeCounts(t);
}

} // namespace jet
