#include "jet/Create.h"

#include "base/Coding.h"
#include "jet/DataPage.h"
#include "jet/Error.h"
#include "jet/IndexPage.h"
#include "jet/IndexSupport.h"
#include "jet/PageFile.h"
#include "jet/Properties.h"
#include "jet/TableDefWriter.h"
#include "jet/Text.h"
#include "jet/UsageMap.h"
#include "jet/Write.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <set>

namespace jet {
namespace {

constexpr std::uint32_t kGlobalMap = (1u << 8) | 0; // page 1, row 0
constexpr std::size_t kMapBytes = 64;               // bitmap bytes of an inline usage map row
constexpr std::uint8_t kUserTable = 0x4E;
constexpr std::uint8_t kSystemTable = 0x53;
constexpr std::uint32_t kFirstFreePage = 6; // after the header, global map, four definitions

// Catalogue (MSysObjects) ids and types.
constexpr std::int32_t kRootId = 0x0F000000;
constexpr std::int32_t kTablesId = 0x0F000001;
constexpr std::int32_t kDatabasesId = 0x0F000002;
constexpr std::int32_t kRelationshipsId = 0x0F000003;
constexpr std::int32_t kMSysDbId = 0x10000000;
constexpr std::int16_t kTableType = 1;
constexpr std::int16_t kDatabaseType = 2;
constexpr std::int16_t kContainerType = 3;
constexpr std::int32_t kSystemObject = static_cast<std::int32_t>(0x80000000u);
constexpr std::int32_t kHiddenSystemTable = 0x00000002;

// The security ids of the default workgroup that Access writes as owners and in permissions.
const Binary kSidEngine{0xA7, 0x31};  // owns the engine's own objects
const Binary kSidAdmin{0xA6, 0x33};   // the default user: owns what users create
const Binary kSidCreator{0xA7, 0x33}; // whoever creates an object
const Binary kSidUsers{0xA7, 0x36};   // the Users group
const Binary kSidAdmins{0xA4, 0xF7, 0x46, 0x67, 0xE1, 0x71, 0x67, 0xEE, 0xD7, 0xB1, 0x0F,
                        0x8F, 0xFE, 0xEF, 0x76, 0xFF, 0xAA, 0xE3, 0x66, 0x51, 0x05, 0xBD,
                        0xD2, 0x9D, 0x4D, 0x4B, 0x39, 0x52, 0xD9, 0xFB, 0x9A, 0x07, 0x66,
                        0x0C, 0x5B, 0xD2, 0xD8, 0x7D, 0xDD, 0xB3, 0x1E, 0x65, 0x90, 0x19};
constexpr std::int32_t kFullAccess = 0xFFFFF;

// --- definitions of the system tables ---------------------------------------------------

struct SysColumn {
    const char16_t* name;
    ColumnType type;
    std::uint16_t length; // bytes
    std::uint8_t flags;
};

struct SysIndex {
    const char16_t* name;
    std::vector<std::uint16_t> columns; // column numbers, ascending
    std::uint8_t flags;
    bool primary;
};

struct SysTable {
    const char16_t* name;
    std::uint8_t type;
    std::vector<SysColumn> columns;
    std::vector<SysIndex> indexes;
};

// Column flags Access gives system columns: 0x10 on all of them, 0x20 on the owner ids.
constexpr std::uint8_t kSysFixed = 0x13, kSysVar = 0x12, kSysSid = 0x32;

const std::vector<SysTable>& systemTables() {
    using T = ColumnType;
    static const std::vector<SysTable> tables{
        {u"MSysObjects",
         kSystemTable,
         {{u"Id", T::Long, 4, kSysFixed},
          {u"ParentId", T::Long, 4, kSysFixed},
          {u"Name", T::Text, 510, kSysVar},
          {u"Type", T::Int, 2, kSysFixed},
          {u"DateCreate", T::DateTime, 8, kSysFixed},
          {u"DateUpdate", T::DateTime, 8, kSysFixed},
          {u"Owner", T::Binary, 510, kSysSid},
          {u"Flags", T::Long, 4, kSysFixed},
          {u"Database", T::Memo, 0, kSysVar},
          {u"Connect", T::Memo, 0, kSysVar},
          {u"ForeignName", T::Text, 510, kSysVar},
          {u"RmtInfoShort", T::Binary, 510, kSysVar},
          {u"RmtInfoLong", T::Ole, 0, kSysVar},
          {u"Lv", T::Ole, 0, kSysVar},
          {u"LvProp", T::Ole, 0, kSysVar},
          {u"LvModule", T::Ole, 0, kSysVar},
          {u"LvExtra", T::Ole, 0, kSysVar}},
         {{u"ParentIdName", {1, 2}, 0x81, false}, {u"Id", {0}, 0x81, true}}},
        {u"MSysACEs",
         kSystemTable,
         {{u"ObjectId", T::Long, 4, kSysFixed},
          {u"SID", T::Binary, 510, kSysSid},
          {u"ACM", T::Long, 4, kSysFixed},
          {u"FInheritable", T::Boolean, 1, kSysFixed}},
         {{u"ObjectId", {0}, 0x88, false}}},
        {u"MSysQueries",
         kSystemTable,
         {{u"ObjectId", T::Long, 4, kSysFixed},
          {u"Attribute", T::Byte, 1, kSysFixed},
          {u"Order", T::Binary, 510, kSysVar},
          {u"Name1", T::Text, 510, kSysVar},
          {u"Name2", T::Text, 510, kSysVar},
          {u"Expression", T::Memo, 0, kSysVar},
          {u"Flag", T::Int, 2, kSysFixed},
          {u"LvExtra", T::Long, 4, kSysFixed}},
         {{u"ObjectIdAttribute", {0, 1, 2}, 0x81, true}}},
        {u"MSysRelationships",
         kSystemTable,
         {{u"szRelationship", T::Text, 510, kSysVar},
          {u"grbit", T::Long, 4, kSysFixed},
          {u"ccolumn", T::Long, 4, kSysFixed},
          {u"icolumn", T::Long, 4, kSysFixed},
          {u"szObject", T::Text, 510, kSysVar},
          {u"szColumn", T::Text, 510, kSysVar},
          {u"szReferencedObject", T::Text, 510, kSysVar},
          {u"szReferencedColumn", T::Text, 510, kSysVar}},
         {{u"szRelationship", {0}, 0x82, false},
          {u"szObject", {4}, 0x82, false},
          {u"szReferencedObject", {6}, 0x82, false}}},
        // Access's own store for forms and code; a user table of the system's, kept empty.
        {u"MSysAccessObjects",
         kUserTable,
         {{u"Data", T::SystemBinary, 3992, 0x03}, {u"ID", T::Long, 4, 0x03}},
         {{u"AOIndex", {1}, 0x89, true}}},
    };
    return tables;
}

TableDef systemTableDef(const SysTable& s) {
    TableDef t;
    t.name = s.name;
    t.tableType = s.type;
    for (const auto& c : s.columns) {
        ColumnDef d;
        d.name = c.name;
        d.type = c.type;
        d.length = c.length;
        d.flags = c.flags;
        t.columns.push_back(d);
    }
    layoutColumns(t);
    for (const auto& i : s.indexes) {
        RealIndex ri;
        for (auto n : i.columns)
            ri.columns.push_back({n, true});
        ri.flags = i.flags;
        LogicalIndex li;
        li.name = i.name;
        li.number = static_cast<std::uint32_t>(t.indexes.size());
        li.realIndex = li.number;
        li.indexType = i.primary ? 1 : 0;
        t.realIndexes.push_back(ri);
        t.indexes.push_back(li);
    }
    return t;
}

// --- pages -------------------------------------------------------------------------------

// Inline usage map row: kind 0, first page covered, 64 bitmap bytes.
std::vector<std::uint8_t> mapRow(std::uint32_t start, const std::vector<std::uint32_t>& pages) {
    std::vector<std::uint8_t> row(5 + kMapBytes, 0);
    coding::putLE<std::uint32_t>(row, 1, start);
    for (std::uint32_t p : pages)
        row[5 + (p - start) / 8] |= static_cast<std::uint8_t>(1u << ((p - start) % 8));
    return row;
}

using Allocator = std::function<std::uint32_t()>;

// Writes a table's pages: its definition, one data page of usage map rows (the table's two,
// one per index, two per memo or OLE column), and an empty leaf page as each index's root.
// Fills in the definition's page and map pointers. Returns the pages it took.
// `defPage`: a page set aside for a definition that fits on one page (0: allocate).
std::vector<std::uint32_t> writeTable(PageFile& f, TableDef& t, const Allocator& allocate,
                                      std::uint32_t defPage = 0) {
    const Format& fmt = f.format();
    std::vector<std::uint32_t> taken;
    std::vector<LongValueMaps> lv;
    for (const auto& c : t.columns)
        if (c.isLongValue())
            lv.push_back({c.number, 0, 0});
    // The definition's size does not depend on the pointers in it.
    std::size_t defPages = tableDefPageCount(encodeTableDef(t, lv).size(), fmt.pageSize);
    std::vector<std::uint32_t> pages;
    if (defPage != 0 && defPages == 1)
        pages.push_back(defPage);
    for (std::size_t i = pages.size(); i < defPages; ++i)
        pages.push_back(allocate());
    const std::uint32_t mapPage = allocate();
    std::vector<std::uint32_t> roots;
    for (std::size_t i = 0; i < t.realIndexes.size(); ++i)
        roots.push_back(allocate());
    const std::uint32_t start = pages.front() & ~7u;
    if (roots.size() && roots.back() - start >= kMapBytes * 8)
        throw Error(f.name() + ": table '" + utf8(t.name) + "' has too many indexes");

    t.page = pages.front();
    t.pages = pages;
    std::uint16_t row = 0;
    auto next = [&] { return (mapPage << 8) | row++; };
    t.usedPages = next();
    t.freePages = next();
    for (std::size_t i = 0; i < t.realIndexes.size(); ++i) {
        t.realIndexes[i].usedPages = next();
        t.realIndexes[i].firstPage = roots[i];
    }
    for (auto& m : lv) {
        m.usedPages = next();
        m.freePages = next();
    }

    auto map = f.writablePage(mapPage);
    // The map page belongs to no table, as on the pages Access writes.
    initDataPage(fmt, map->mut(), 0);
    auto add = [&](const std::vector<std::uint8_t>& r) {
        if (!roomFor(fmt, map->view(), r.size()))
            throw Error(f.name() + ": table '" + utf8(t.name) + "' has too many indexes");
        addRow(fmt, map->mut(), r);
    };
    add(mapRow(start, {}));
    add(mapRow(start, {}));
    for (std::uint32_t root : roots)
        add(mapRow(start, {root}));
    for (std::size_t i = 0; i < lv.size(); ++i) {
        add(mapRow(start, {}));
        add(mapRow(start, {}));
    }

    auto block = encodeTableDef(t, lv);
    auto bytes = tableDefPages(block, pages, fmt.pageSize);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        auto p = f.writablePage(pages[i]);
        p->bytes = std::move(bytes[i]);
    }
    for (std::uint32_t root : roots) {
        IndexPage leaf;
        leaf.leaf = true;
        leaf.owner = t.page;
        encodeIndexPage(leaf, f.writablePage(root)->mut());
    }
    taken = pages;
    taken.push_back(mapPage);
    taken.insert(taken.end(), roots.begin(), roots.end());
    return taken;
}

// Takes the pages off the global map of free pages.
void claim(PageFile& f, const std::vector<std::uint32_t>& pages) {
    UsageMap global = UsageMap::read(f, kGlobalMap, f.name() + ", global usage map", false, false);
    for (std::uint32_t p : pages)
        if (global.contains(p))
            global.remove(f, p);
}

double now() {
    using namespace std::chrono;
    std::time_t t = system_clock::to_time_t(system_clock::now());
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    // Days from 1899-12-30 to the local date, plus the time of day.
    auto today = sys_days(year_month_day(year(local.tm_year + 1900),
                                         month(static_cast<unsigned>(local.tm_mon + 1)),
                                         day(static_cast<unsigned>(local.tm_mday))));
    auto epoch = sys_days(year_month_day(year(1899), month(12), day(30)));
    double days = static_cast<double>((today - epoch).count());
    return days + (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
}

class Inserter {
public:
    explicit Inserter(Table& t) : t_(t) {}
    Inserter& set(std::u16string_view column, Value v) {
        const ColumnDef* c = t_.def().findColumn(column);
        std::size_t i = static_cast<std::size_t>(c - t_.def().columns.data());
        values_[i] = std::move(v);
        assigned_[i] = 1;
        return *this;
    }
    void insert() {
        insertRow(t_, values_, assigned_);
        values_.assign(values_.size(), Null{});
        assigned_.assign(assigned_.size(), 0);
    }
    Table& table() { return t_; }

private:
    Table& t_;
    std::vector<Value> values_ = std::vector<Value>(t_.def().columns.size(), Null{});
    AssignedColumns assigned_ = AssignedColumns(t_.def().columns.size(), 0);
};

void catalogRow(Inserter& objects, std::int32_t id, std::int32_t parent, std::u16string name,
                std::int16_t type, const Binary& owner, std::int32_t flags, double when,
                Value properties = Null{}) {
    objects.set(u"LvProp", std::move(properties))
        .set(u"Id", id)
        .set(u"ParentId", parent)
        .set(u"Name", std::move(name))
        .set(u"Type", type)
        .set(u"DateCreate", DateTime{when})
        .set(u"DateUpdate", DateTime{when})
        .set(u"Owner", owner)
        .set(u"Flags", flags)
        .insert();
}

void aceRow(Inserter& aces, std::int32_t object, const Binary& sid, std::int32_t acm,
            bool inheritable) {
    aces.set(u"ObjectId", object)
        .set(u"SID", sid)
        .set(u"ACM", acm)
        .set(u"FInheritable", inheritable)
        .insert();
}

void userTableAces(Inserter& aces, std::int32_t id) {
    for (const Binary* sid : {&kSidUsers, &kSidAdmin, &kSidAdmins, &kSidCreator})
        aceRow(aces, id, *sid, kFullAccess, false);
}

// Header page, Jet 4:
//   OFFSET SIZE MEANING
//   0x00   4    00 01 00 00
//   0x04   16   "Standard Jet DB\0"
//   0x14   4    1: Jet 4
//   0x18   128  scrambled with RC4 (see PageFile), holding before scrambling:
//     0x18   24   00 01 00 00, 01 01 00 00, then 2, 3, 4, 5 as 32-bit numbers (as Access
//                 writes them)
//     0x3C   2    code page 1252
//     0x42   40   no password: each byte is the creation date's integer part's byte i % 4
//     0x6A   4    0x21AA (as Access writes it)
//     0x6E   4    sort order 0x0409, General
//     0x72   8    creation date
//   0x98   4    0x0654, then "4.0\0" (as Access writes them)
std::vector<std::uint8_t> headerPage(double created) {
    std::vector<std::uint8_t> h(kJet4Format.pageSize, 0);
    h[1] = 0x01;
    const char id[] = "Standard Jet DB";
    std::copy(id, id + 16, h.begin() + 4);
    coding::putLE<std::uint32_t>(h, 0x14, 1);
    const std::uint32_t lead[6] = {0x100, 0x101, 2, 3, 4, 5};
    for (std::size_t i = 0; i < 6; ++i)
        coding::putLE<std::uint32_t>(h, 0x18 + 4 * i, lead[i]);
    coding::putLE<std::uint16_t>(h, 0x3C, 1252);
    std::uint8_t mask[4];
    coding::putLE<std::int32_t>(mask, 0, static_cast<std::int32_t>(created));
    for (std::size_t i = 0; i < 40; ++i)
        h[0x42 + i] = mask[i % 4];
    coding::putLE<std::uint32_t>(h, 0x6A, 0x21AA);
    coding::putLE<std::uint32_t>(h, 0x6E, 0x0409);
    coding::putF64(h, 0x72, created);
    coding::putLE<std::uint32_t>(h, 0x98, 0x0654);
    const char version[] = "4.0";
    std::copy(version, version + 4, h.begin() + 0x9C);
    scrambleHeader(std::span<std::uint8_t>(h).subspan(0x18, 128));
    return h;
}

// Page 1: the global usage map (a bit set for each free page; pages not yet in the file count
// as free) and a second, empty map row Access keeps beside it.
std::vector<std::uint8_t> globalMapPage(std::uint32_t pagesInUse) {
    const Format& f = kJet4Format;
    std::vector<std::uint8_t> p(f.pageSize, 0);
    initDataPage(f, p, 1);
    std::vector<std::uint32_t> free;
    for (std::uint32_t n = pagesInUse; n < kMapBytes * 8; ++n)
        free.push_back(n);
    addRow(f, p, mapRow(0, free));
    addRow(f, p, mapRow(0, {}));
    return p;
}

std::string validName(std::u16string_view name, const std::string& what) {
    if (name.empty())
        throw Error(what + " has no name");
    if (name.size() > 64)
        throw Error(what + " '" + utf8(name) + "': the name is longer than 64 characters");
    for (char16_t c : name)
        if (c < 0x20 || c == u'.' || c == u'!' || c == u'`' || c == u'[' || c == u']')
            throw Error(what + " '" + utf8(name) +
                        "': the name holds a character Access does "
                        "not allow in names");
    if (name.front() == u' ')
        throw Error(what + " '" + utf8(name) + "': the name starts with a blank");
    return utf8(name);
}

// A column's definition, before the table lays its columns out. `cn` names it in errors.
ColumnDef userColumnDef(const NewColumn& c, const std::string& cn) {
    ColumnDef d;
    d.name = c.name;
    d.type = c.type;
    switch (c.type) {
    case ColumnType::Text:
        if (c.size > 255)
            throw Error(cn + ": text of " + std::to_string(c.size) +
                        " characters (1 to 255 allowed)");
        d.length = static_cast<std::uint16_t>(2 * (c.size ? c.size : 255));
        d.extFlags = ColumnDef::kCompressedExtFlag;
        break;
    case ColumnType::Memo:
        d.extFlags = ColumnDef::kCompressedExtFlag;
        break;
    case ColumnType::Binary:
        if (c.size > 255)
            throw Error(cn + ": binary of " + std::to_string(c.size) + " bytes (1 to 255 allowed)");
        d.length = c.size ? c.size : 255;
        break;
    case ColumnType::Numeric:
        if (c.precision < 1 || c.precision > 28 || c.scale > c.precision)
            throw Error(cn + ": decimal precision " + std::to_string(c.precision) + " and scale " +
                        std::to_string(c.scale) + " are out of range");
        d.precision = c.precision;
        d.scale = c.scale;
        break;
    case ColumnType::SystemBinary:
        throw Error(cn + ": this type is for system tables only");
    default:
        break;
    }
    if (c.autoNumber) {
        if (c.type != ColumnType::Long)
            throw Error(cn + ": only a long column can be an autonumber");
        d.flags = ColumnDef::kFixedFlag | ColumnDef::kNullableFlag | ColumnDef::kAutoLongFlag;
    }
    return d;
}

// An index's real and logical parts, added to `t` whose columns are laid out. `primary` says
// whether the table has its primary key already.
void addUserIndex(TableDef& t, const NewIndex& i, const std::string& tn, bool& primary) {
    std::string in = tn + ", index '" + validName(i.name, tn + ": an index") + "'";
    for (const auto& li : t.indexes)
        if (sameName(li.name, i.name))
            throw Error(tn + ": two indexes are named '" + utf8(i.name) + "'");
    if (i.columns.empty() || i.columns.size() > 10)
        throw Error(in + ": " + std::to_string(i.columns.size()) + " columns (1 to 10 allowed)");
    if (i.primaryKey && primary)
        throw Error(in + ": the table already has a primary key");
    primary = primary || i.primaryKey;
    RealIndex ri;
    ri.flags = 0x80; // set on every index Access 2000 and later write
    if (i.primaryKey)
        ri.flags |= RealIndex::kUniqueFlag | RealIndex::kRequiredFlag;
    if (i.unique)
        ri.flags |= RealIndex::kUniqueFlag;
    if (i.disallowNull)
        ri.flags |= RealIndex::kRequiredFlag;
    if (i.ignoreNulls)
        ri.flags |= RealIndex::kIgnoreNullsFlag;
    std::set<std::uint16_t> seen;
    for (const auto& ic : i.columns) {
        const ColumnDef* c = t.findColumn(ic.name);
        if (!c)
            throw Error(in + ": no column named '" + utf8(ic.name) + "'");
        if (c->isLongValue())
            throw Error(in + ": column '" + utf8(c->name) +
                        "' is a memo or OLE column, which cannot be indexed");
        if (!seen.insert(c->number).second)
            throw Error(in + ": column '" + utf8(c->name) + "' is named twice");
        ri.columns.push_back({c->number, ic.ascending});
    }
    LogicalIndex li;
    li.name = i.name;
    li.number = static_cast<std::uint32_t>(t.indexes.size());
    li.realIndex = li.number;
    li.indexType = i.primaryKey ? 1 : 0;
    t.realIndexes.push_back(ri);
    t.indexes.push_back(li);
}

TableDef userTableDef(const NewTable& n) {
    const std::string tn = "table '" + utf8(n.name) + "'";
    validName(n.name, "a table");
    if (n.columns.empty() || n.columns.size() > 255)
        throw Error(tn + ": " + std::to_string(n.columns.size()) + " columns (1 to 255 allowed)");
    TableDef t;
    t.name = n.name;
    t.tableType = kUserTable;
    for (const auto& c : n.columns) {
        std::string cn = validName(c.name, tn + ": a column");
        cn = tn + ", column '" + cn + "'";
        if (t.findColumn(c.name))
            throw Error(tn + ": two columns are named '" + utf8(c.name) + "'");
        t.columns.push_back(userColumnDef(c, cn));
    }
    layoutColumns(t);
    bool primary = false;
    if (n.indexes.size() > 32)
        throw Error(tn + ": " + std::to_string(n.indexes.size()) + " indexes (32 allowed)");
    for (const auto& i : n.indexes)
        addUserIndex(t, i, tn, primary);
    return t;
}

// The database's own properties: the version of Access whose file format it has, which readers
// use to tell an Access 2000 file from a 2002-2003 one.
Value databaseProperties() {
    return encodeProperties(
        {{u"",
          false,
          {{u"AccessVersion", ColumnType::Text, false, encodeText(u"08.50", true, false)}}}});
}

// The properties Access keeps for the table: "Required" on the columns that refuse Null, under
// an empty block of the table's own. Null when there are none, as for a table made in SQL.
Value tableProperties(const NewTable& n) {
    std::vector<PropertyBlock> blocks{{u"", false, {}}};
    for (const auto& c : n.columns)
        if (c.required)
            blocks.push_back({c.name, true, {requiredProperty()}});
    if (blocks.size() == 1)
        return Null{};
    return encodeProperties(blocks);
}

// Header, global map and pages 2 to 5 for the definitions of the engine's four tables, where
// Access keeps them (the header lists them).
void writeFirstPages(const std::filesystem::path& path, const std::string& name, double created) {
    std::FILE* out = std::fopen(path.string().c_str(), "wb");
    if (!out)
        throw Error(name + ": cannot create the file");
    auto header = headerPage(created);
    auto global = globalMapPage(kFirstFreePage);
    std::vector<std::uint8_t> empty(kJet4Format.pageSize, 0);
    bool ok = std::fwrite(header.data(), 1, header.size(), out) == header.size() &&
              std::fwrite(global.data(), 1, global.size(), out) == global.size();
    for (std::uint32_t p = 2; p < kFirstFreePage; ++p)
        ok = ok && std::fwrite(empty.data(), 1, empty.size(), out) == empty.size();
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        throw Error(name + ": cannot write the file");
    }
}

// The catalogue rows of a new database: Access's containers, the MSysDb object and the system
// tables, given by their definitions in systemTables() order.
void systemCatalogRows(Inserter& objects, const std::vector<TableDef>& defs, double created) {
    catalogRow(objects, kTablesId, kRootId, u"Tables", kContainerType, kSidEngine, kSystemObject,
               created);
    catalogRow(objects, kDatabasesId, kRootId, u"Databases", kContainerType, kSidEngine,
               kSystemObject, created);
    catalogRow(objects, kRelationshipsId, kRootId, u"Relationships", kContainerType, kSidEngine,
               kSystemObject, created);
    catalogRow(objects, kMSysDbId, kDatabasesId, u"MSysDb", kDatabaseType, kSidAdmin, kSystemObject,
               created, databaseProperties());
    for (std::size_t i = 0; i < 4; ++i)
        catalogRow(objects, static_cast<std::int32_t>(defs[i].page), kTablesId, defs[i].name,
                   kTableType, kSidEngine, kSystemObject, created);
    // Access's containers for its own objects.
    const char16_t* containers[] = {u"DataAccessPages", u"Forms",   u"Modules",
                                    u"Reports",         u"Scripts", u"SysRel"};
    for (std::int32_t i = 0; i < 6; ++i)
        catalogRow(objects, kSystemObject + i, kRootId, containers[i], kContainerType, kSidAdmin, 0,
                   created);
    catalogRow(objects, static_cast<std::int32_t>(defs[4].page), kTablesId, defs[4].name,
               kTableType, kSidAdmin, kHiddenSystemTable, created);
}

// Default permissions, as Access writes them for a new database.
void defaultPermissions(Inserter& aces, const std::vector<TableDef>& defs) {
    for (std::int32_t i = 0; i < 6; ++i)
        for (const Binary* sid : {&kSidCreator, &kSidAdmins, &kSidAdmin, &kSidUsers})
            aceRow(aces, kSystemObject + i, *sid, kFullAccess, true);
    aceRow(aces, kDatabasesId, kSidAdmin, 0x60000, false);
    aceRow(aces, kRelationshipsId, kSidUsers, 0xF00FE, true);
    aceRow(aces, kRelationshipsId, kSidAdmin, 0x60001, false);
    aceRow(aces, kRelationshipsId, kSidAdmins, kFullAccess, true);
    aceRow(aces, kRelationshipsId, kSidCreator, kFullAccess, true);
    aceRow(aces, kTablesId, kSidUsers, 0xF00FE, true);
    aceRow(aces, kTablesId, kSidAdmin, 0xFFEFF, true);
    aceRow(aces, kTablesId, kSidAdmins, 0xFFEFF, true);
    aceRow(aces, kTablesId, kSidCreator, 0xFFEFF, true);
    aceRow(aces, kMSysDbId, kSidAdmin, 0x6000E, false);
    aceRow(aces, kMSysDbId, kSidCreator, 0x0E, false);
    aceRow(aces, kMSysDbId, kSidAdmins, 0x6000E, false);
    aceRow(aces, static_cast<std::int32_t>(defs[4].page), kSidAdmin, kFullAccess, false);
}

} // namespace

void createDatabase(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
        throw Error(name + ": the file already exists");
    const double created = now();
    writeFirstPages(path, name, created);
    try {
        PageFile f(path, OpenMode::ReadWrite);
        Allocator allocate = [&] { return f.appendPage()->number; };
        std::vector<TableDef> defs;
        for (const auto& s : systemTables()) {
            TableDef t = systemTableDef(s);
            std::uint32_t at = 2 + static_cast<std::uint32_t>(defs.size());
            claim(f, writeTable(f, t, allocate, at < kFirstFreePage ? at : 0));
            defs.push_back(std::move(t));
        }
        Table objectsTable(f, readTableDef(f, defs[0].page, defs[0].name));
        Table acesTable(f, readTableDef(f, defs[1].page, defs[1].name));
        Inserter objects(objectsTable), aces(acesTable);
        systemCatalogRows(objects, defs, created);
        defaultPermissions(aces, defs);
        flushIndexes(objectsTable);
        flushIndexes(acesTable);
        f.close();
    } catch (...) {
        std::filesystem::remove(path, ec);
        throw;
    }
}

void createTable(Database& db, const NewTable& n) {
    PageFile& f = db.File();
    if (!f.writable())
        throw Error(f.name() + ": the database is open read-only");
    if (!f.format().jet4())
        throw Error(f.name() + ": creating tables in Access 97 (Jet 3) databases is not "
                               "supported");
    TableDef t = userTableDef(n);
    for (const auto& e : db.Catalog())
        if (sameName(e.name, n.name))
            throw Error(f.name() + ": a table named '" + utf8(e.name) + "' already exists");
    Table& objectsTable = db.GetTable(u"MSysObjects");
    Table& acesTable = db.GetTable(u"MSysACEs");
    Allocator allocate = [&] { return f.appendPage()->number; };
    claim(f, writeTable(f, t, allocate));
    Inserter objects(objectsTable), aces(acesTable);
    catalogRow(objects, static_cast<std::int32_t>(t.page), kTablesId, t.name, kTableType, kSidAdmin,
               0, now(), tableProperties(n));
    userTableAces(aces, static_cast<std::int32_t>(t.page));
    // The catalogue's indexes are written now, so the file is whole even if the caller stops
    // here.
    flushIndexes(objectsTable);
    flushIndexes(acesTable);
    db.ReloadCatalog();
}

} // namespace jet
