#include "jet/Database.h"

#include "base/Cp1252.h"
#include "jet/Error.h"
#include "jet/IndexSupport.h"
#include "jet/Properties.h"
#include "jet/Query.h"
#include "jet/Write.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <map>

namespace jet {

struct DatabaseState {
    std::unique_ptr<PageFile> file;
    std::vector<CatalogEntry> catalog;
    std::map<std::uint32_t, std::unique_ptr<Table>> tables; // by definition page

    PageFile& open() {
        if (!file)
            throw Error("the database is closed");
        return *file;
    }
};

namespace {

// Windows-1252 text as UTF-16.
std::u16string widenAnsi(std::string_view text) {
    std::u16string out(text.size(), u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        out[i] = cp1252::toUnicode(static_cast<std::uint8_t>(text[i]));
    return out;
}

// The same for a plain text (see plainAnsi), into room used again.
void widenPlain(std::string_view text, std::u16string& out) {
    out.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<unsigned char>(text[i]);
}

std::u16string widenPlain(std::string_view text) {
    std::u16string out;
    widenPlain(text, out);
    return out;
}

constexpr std::uint32_t kCatalogPage = 2;
constexpr std::int16_t kTableObject = 1;
constexpr std::uint32_t kSystemFlags = 0x80000002u;

void loadCatalog(DatabaseState& s) {
    PageFile& f = *s.file;
    Table msys(f, readTableDef(f, kCatalogPage, u"MSysObjects"));
    const TableDef& d = msys.def();
    auto col = [&](std::u16string_view n) {
        for (std::size_t i = 0; i < d.columns.size(); ++i)
            if (sameName(d.columns[i].name, n))
                return i;
        throw Error(f.name() + ": the catalogue (MSysObjects) has no column " + utf8(n));
    };
    std::size_t cId = col(u"Id"), cName = col(u"Name"), cType = col(u"Type"),
                cFlags = col(u"Flags"), cProps = col(u"LvProp");
    std::vector<bool> wanted(d.columns.size(), false), propsOnly(d.columns.size(), false);
    wanted[cId] = wanted[cName] = wanted[cType] = wanted[cFlags] = true;
    propsOnly[cProps] = true;
    for (const RowRef& r : msys.scan()) {
        auto v = msys.read(r, &wanted);
        const auto* type = std::get_if<std::int16_t>(&v[cType]);
        const auto* id = std::get_if<std::int32_t>(&v[cId]);
        const auto* name = std::get_if<std::u16string>(&v[cName]);
        if (!type || !id || !name || (*type & 0x7FFF) != kTableObject)
            continue;
        CatalogEntry e;
        e.name = *name;
        e.tdefPage = static_cast<std::uint32_t>(*id) & 0x00FFFFFF;
        const auto* flags = std::get_if<std::int32_t>(&v[cFlags]);
        e.flags = flags ? *flags : 0;
        e.system = (static_cast<std::uint32_t>(e.flags) & kSystemFlags) != 0;
        // Read apart: the rows read without the properties, so a damaged list (or the pages it
        // is stored on) costs only what it says.
        try {
            auto props = msys.read(r, &propsOnly);
            if (const auto* list = std::get_if<Binary>(&props[cProps]))
                e.requiredColumns = requiredColumns(parseProperties(*list));
        } catch (const Error& err) {
            e.propertyProblem = err.what();
        }
        if (e.tdefPage == 0 || e.tdefPage >= f.pageCount())
            throw Error(f.name() + ": the catalogue places table '" + utf8(e.name) + "' on page " +
                        std::to_string(e.tdefPage) + ", outside the file");
        s.catalog.push_back(std::move(e));
    }
}

} // namespace

Database::Database(std::shared_ptr<DatabaseState> s) : s_(std::move(s)) {}
Database::Database(Database&&) noexcept = default;
Database& Database::operator=(Database&&) noexcept = default;
Database::~Database() {
    try {
        Close();
    } catch (...) {
        // Close() explicitly to hear about write errors.
    }
}

Database Database::OpenDatabase(const std::filesystem::path& path, OpenMode mode) {
    auto s = std::make_shared<DatabaseState>();
    s->file = std::make_unique<PageFile>(path, mode);
    loadCatalog(*s);
    return Database(std::move(s));
}

std::vector<std::u16string> Database::TableNames() const {
    std::vector<std::u16string> out;
    if (!s_ || !s_->file)
        throw Error("the database is closed");
    for (const auto& e : s_->catalog)
        if (!e.system)
            out.push_back(e.name);
    return out;
}

const std::vector<CatalogEntry>& Database::Catalog() const {
    if (!s_ || !s_->file)
        throw Error("the database is closed");
    return s_->catalog;
}

Table& Database::GetTable(std::u16string_view name) {
    if (!s_)
        throw Error("the database is closed");
    PageFile& f = s_->open();
    for (const auto& e : s_->catalog) {
        if (!sameName(e.name, name))
            continue;
        auto& slot = s_->tables[e.tdefPage];
        if (!slot) {
            TableDef d = readTableDef(f, e.tdefPage, e.name);
            for (const auto& name : e.requiredColumns)
                for (auto& c : d.columns)
                    c.required = c.required || sameName(c.name, name);
            slot = std::make_unique<Table>(f, std::move(d));
        }
        return *slot;
    }
    throw Error(f.name() + ": no table named '" + utf8(name) + "'");
}

void Database::ReloadCatalog() {
    if (!s_)
        throw Error("the database is closed");
    s_->open();
    s_->catalog.clear();
    loadCatalog(*s_);
}

PageFile& Database::File() {
    if (!s_)
        throw Error("the database is closed");
    return s_->open();
}

bool Database::IsOpen() const {
    return s_ && s_->file;
}

void Database::Close() {
    if (!s_ || !s_->file)
        return;
    // Index entries still gathered go to their pages first; the file closes even when that
    // fails, and the failure is reported.
    std::exception_ptr failed;
    try {
        for (auto& [page, table] : s_->tables)
            if (table && s_->file->writable())
                flushIndexes(*table);
    } catch (...) {
        failed = std::current_exception();
    }
    auto file = std::move(s_->file);
    s_->tables.clear();
    s_->catalog.clear();
    file->close();
    if (failed)
        std::rethrow_exception(failed);
}

// --- Recordset -------------------------------------------------------------------------

// Rows a recordset stored, in the order stored, as runs of consecutive slots of a page: a bulk
// append of a million rows keeps a few thousand runs, not a million row references.
class AddedRows {
public:
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    void push(RowId at) {
        if (!runs_.empty()) {
            Run& last = runs_.back();
            if (last.page == at.page && last.firstRow + last.count == at.row &&
                last.count < 0xFFFF) {
                ++last.count;
                ++count_;
                return;
            }
        }
        runs_.push_back({count_, at.page, at.row, 1});
        ++count_;
    }
    RowId at(std::size_t i) const {
        auto it = std::upper_bound(runs_.begin(), runs_.end(), i,
                                   [](std::size_t n, const Run& r) { return n < r.start; });
        const Run& r = *(it - 1);
        return {r.page, static_cast<std::uint16_t>(r.firstRow + (i - r.start))};
    }
    // Whether a row is among those stored, for a scan that must not count them twice; after
    // sortForLookup().
    void sortForLookup() {
        sorted_ = runs_;
        std::sort(sorted_.begin(), sorted_.end(), [](const Run& a, const Run& b) {
            return a.page != b.page ? a.page < b.page : a.firstRow < b.firstRow;
        });
    }
    void releaseLookup() { std::vector<Run>().swap(sorted_); }
    bool holds(RowId id) const {
        auto it = std::upper_bound(sorted_.begin(), sorted_.end(), id, [](RowId x, const Run& r) {
            return x.page != r.page ? x.page < r.page : x.row < r.firstRow;
        });
        if (it == sorted_.begin())
            return false;
        const Run& r = *(it - 1);
        return r.page == id.page && id.row < r.firstRow + r.count;
    }

private:
    struct Run {
        std::size_t start; // position of the run's first row among all stored
        std::uint32_t page;
        std::uint16_t firstRow;
        std::uint16_t count;
    };
    std::vector<Run> runs_;
    std::vector<Run> sorted_;
    std::size_t count_ = 0;
};

struct Recordset::Impl {
    std::shared_ptr<DatabaseState> db;
    Table* table = nullptr;
    // The recordset's rows: those the table held (read at the first look at them, so that a
    // recordset opened only to append never reads the table), then those stored through it.
    std::vector<RowRef> rows;
    bool loaded = false;
    AddedRows added;
    // Rows deleted through this recordset stay in place, marked: taking them out would move
    // every row after them, once per delete.
    std::vector<bool> gone;
    std::size_t goneCount = 0;
    std::size_t pos = 0;
    bool deletedHere = false; // the current row was deleted
    std::vector<Value> cache;
    bool cached = false;
    bool adding = false;
    std::vector<Value> pending;
    AssignedColumns assigned;
    // Texts given in Windows-1252 and kept as their bytes (see PlainTexts), one after another
    // in one buffer for the row. The columns an index reads get their values in `pending` as
    // well, for the keys.
    std::string plainBytes;
    std::vector<PlainText> plainTexts;
    std::vector<std::uint8_t> keyColumn;
    // By column: the longest text kept as bytes; -1 when none is, as the column is no Jet 4
    // text of varying length.
    std::vector<std::int32_t> plainRoom;
    std::size_t lastColumn = static_cast<std::size_t>(-1); // the column a name last found
    bool noMatch = false;
    bool open = true;

    std::string_view plainText(std::size_t column) const {
        return PlainTexts{plainBytes, &plainTexts}.text(column);
    }

    std::size_t count() const { return rows.size() + added.size(); }
    RowRef rowAt(std::size_t i) const {
        if (i < rows.size())
            return rows[i];
        RowId id = added.at(i - rows.size());
        return {id, id};
    }
    bool isGone(std::size_t i) const { return i < gone.size() && gone[i]; }
    // The first row at or after i that is not deleted (count() when none is).
    std::size_t live(std::size_t i) const {
        while (i < count() && isGone(i))
            ++i;
        return i;
    }
    // Reads the table's rows, once; the rows stored through this recordset stay after them,
    // and the position and deletion marks move with them.
    void load() {
        if (loaded)
            return;
        loaded = true;
        Table& t = *table;
        added.sortForLookup();
        t.eachRow([&](const RowRef& r) {
            if (added.empty() || !(r.id == r.data) || !added.holds(r.id))
                rows.push_back(r);
        });
        added.releaseLookup();
        const std::size_t n = rows.size();
        if (posInAdded)
            pos += n;
        posInAdded = false;
        if (!gone.empty())
            gone.insert(gone.begin(), n, false);
    }
    // Before the table's rows are read, the position counts among the rows stored here once an
    // Update has set it; until then it is the table's first row.
    bool posInAdded = false;

    Table& t() {
        if (!open || !db->file) [[unlikely]]
            refuseClosed();
        return *table;
    }
    std::string name() const { return utf8(table->def().name); }
    // The table of the row being added: a column is assigned only between AddNew and Update.
    Table& assigning() {
        Table& table = t();
        if (!adding) [[unlikely]]
            throw Error("table '" + name() + "': assignment to a column outside AddNew/Update");
        return table;
    }
    [[noreturn]] void refuseClosed() const {
        if (!open)
            throw Error("the recordset is closed");
        throw Error("the database of this recordset is closed");
    }
};

Recordset::Recordset(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;
Recordset::~Recordset() = default;

Recordset Database::OpenRecordset(std::string_view source) {
    return OpenRecordset(utf16(source));
}

Recordset Database::OpenRecordset(std::u16string_view source) {
    Query q = parseSource(source);
    Table& t = GetTable(q.table);
    std::vector<std::size_t> cols;
    for (const auto& c : q.where) {
        const ColumnDef* cd = t.def().findColumn(c.column);
        if (!cd)
            throw Error(File().name() + ", table '" + utf8(t.def().name) + "': no column named '" +
                        utf8(c.column) + "' (in query '" + utf8(source) + "')");
        cols.push_back(static_cast<std::size_t>(cd - t.def().columns.data()));
    }
    auto impl = std::make_unique<Recordset::Impl>();
    impl->db = s_;
    impl->table = &t;
    if (q.where.empty())
        return Recordset(std::move(impl));
    std::vector<bool> wanted(t.def().columns.size(), false);
    for (std::size_t c : cols)
        wanted[c] = true;
    t.eachRow([&](const RowRef& r) {
        auto v = t.read(r, &wanted);
        for (std::size_t i = 0; i < q.where.size(); ++i)
            if (!matches(v[cols[i]], q.where[i].literal))
                return;
        impl->rows.push_back(r);
    });
    impl->loaded = true;
    return Recordset(std::move(impl));
}

long Recordset::RecordCount() const {
    if (!impl_ || !impl_->open)
        throw Error("the recordset is closed");
    impl_->load();
    return static_cast<long>(impl_->count() - impl_->goneCount);
}

void Recordset::MoveFirst() {
    impl_->t();
    impl_->load();
    impl_->pos = impl_->live(0);
    impl_->cached = false;
    impl_->deletedHere = false;
}

void Recordset::MoveNext() {
    impl_->t();
    impl_->load();
    if (!impl_->deletedHere && impl_->pos >= impl_->count())
        throw Error("table '" + impl_->name() + "': MoveNext past the end of the recordset");
    impl_->pos = impl_->live(impl_->pos + 1);
    impl_->deletedHere = false;
    impl_->cached = false;
}

bool Recordset::Eof() const {
    if (!impl_ || !impl_->open)
        throw Error("the recordset is closed");
    impl_->load();
    return impl_->pos >= impl_->count();
}

bool Recordset::Bof() const {
    return Eof() && RecordCount() == 0;
}

const TableDef& Recordset::Definition() const {
    return impl_->table->def();
}

std::size_t Recordset::columnIndex(std::u16string_view name) const {
    impl_->t();
    const auto& cols = impl_->table->def().columns;
    // Names usually come spelled as defined, often column after column: the column after the
    // last one found is tried first, then the exact names, then the folding comparison.
    auto exact = [&](std::size_t i) {
        const std::u16string& n = cols[i].name;
        return n.size() == name.size() &&
               std::memcmp(n.data(), name.data(), n.size() * sizeof(char16_t)) == 0;
    };
    const std::size_t guess = impl_->lastColumn + 1;
    if (guess < cols.size() && exact(guess))
        return impl_->lastColumn = guess;
    for (std::size_t i = 0; i < cols.size(); ++i)
        if (exact(i))
            return impl_->lastColumn = i;
    for (std::size_t i = 0; i < cols.size(); ++i)
        if (sameName(cols[i].name, name))
            return i;
    throw Error(impl_->table->file().name() + ", table '" + impl_->name() + "': no column named '" +
                utf8(name) + "'");
}

Field Recordset::operator[](std::u16string_view column) {
    return Field(*this, columnIndex(column));
}
Field Recordset::operator[](std::string_view column) {
    return Field(*this, columnIndex(utf16(column)));
}

Value Recordset::GetValue(std::u16string_view column) const {
    return current(columnIndex(column));
}

Value Recordset::current(std::size_t column) const {
    Impl& m = *impl_;
    m.t();
    if (m.adding) {
        if (m.plainTexts[column].given)
            return widenPlain(m.plainText(column));
        return m.assigned[column] ? m.pending[column] : Value(Null{});
    }
    if (m.deletedHere)
        throw Error("table '" + m.name() + "': the current row was deleted");
    // The row an Update just stored is read without the table's other rows.
    if (!m.posInAdded)
        m.load();
    if (m.pos >= m.count())
        throw Error("table '" + m.name() + "': no current row (at the end of the recordset)");
    if (!m.cached) {
        m.cache = m.table->read(m.rowAt(m.pos));
        m.cached = true;
    }
    return m.cache[column];
}

Value Field::value() const {
    return rs_->current(column_);
}
Field& Field::operator=(Value&& v) {
    rs_->assign(column_, std::move(v));
    return *this;
}
Field& Field::operator=(const Value& v) {
    // A text is copied straight into the row being built, not into a copy of the value first.
    if (const auto* text = std::get_if<std::u16string>(&v))
        return *this = std::u16string_view(*text);
    return *this = Value(v);
}
Field& Field::operator=(std::u16string_view text) {
    rs_->assignText(column_, text);
    return *this;
}
bool Recordset::FindFirst(std::string_view c) {
    return FindFirst(std::u16string_view(utf16(c)));
}
bool Recordset::FindNext(std::string_view c) {
    return FindNext(std::u16string_view(utf16(c)));
}

namespace {
bool findFrom(Recordset::Impl& m, std::size_t start, std::u16string_view criteria) {
    Table& t = m.t();
    auto conds = parseCriteria(criteria);
    std::vector<std::size_t> cols;
    for (const auto& c : conds) {
        const ColumnDef* cd = t.def().findColumn(c.column);
        if (!cd)
            throw Error(t.file().name() + ", table '" + utf8(t.def().name) +
                        "': no column named '" + utf8(c.column) + "' (in criteria '" +
                        utf8(criteria) + "')");
        cols.push_back(static_cast<std::size_t>(cd - t.def().columns.data()));
    }
    for (std::size_t i = m.live(start); i < m.count(); i = m.live(i + 1)) {
        auto v = t.read(m.rowAt(i));
        bool ok = true;
        for (std::size_t k = 0; k < conds.size() && ok; ++k)
            ok = matches(v[cols[k]], conds[k].literal);
        if (ok) {
            m.pos = i;
            m.cache = std::move(v);
            m.cached = true;
            m.deletedHere = false;
            m.noMatch = false;
            return true;
        }
    }
    m.noMatch = true;
    return false;
}
} // namespace

bool Recordset::FindFirst(std::u16string_view criteria) {
    impl_->t();
    impl_->load();
    return findFrom(*impl_, 0, criteria);
}

bool Recordset::FindNext(std::u16string_view criteria) {
    impl_->t();
    impl_->load();
    return findFrom(*impl_, impl_->pos + 1, criteria);
}

bool Recordset::NoMatch() const {
    return impl_->noMatch;
}

void Recordset::Delete() {
    Impl& m = *impl_;
    Table& t = m.t();
    if (m.adding)
        throw Error("table '" + m.name() + "': Delete during AddNew (call Update or CancelUpdate)");
    if (!m.posInAdded)
        m.load();
    if (m.deletedHere || m.pos >= m.count())
        throw Error("table '" + m.name() + "': no current row to delete");
    deleteRow(t, m.rowAt(m.pos));
    if (m.gone.size() < m.count())
        m.gone.resize(m.count(), false);
    m.gone[m.pos] = true;
    ++m.goneCount;
    m.deletedHere = true;
    m.cached = false;
}

void Recordset::AddNew() {
    Impl& m = *impl_;
    Table& t = m.t();
    if (!t.file().writable())
        throw Error(t.file().name() + ": the database is open read-only");
    m.adding = true;
    // The last row's values stay, unassigned, so that their texts' room is used again; Update
    // stores Null for every column not assigned since.
    const std::size_t n = t.def().columns.size();
    if (m.pending.size() != n) {
        m.pending.assign(n, Null{});
        m.keyColumn.assign(n, 0);
        for (const RealIndex& ri : t.def().realIndexes)
            for (const IndexColumn& ic : ri.columns)
                m.keyColumn[columnPosition(t.def(), ic)] = 1;
        m.plainRoom.assign(n, -1);
        for (std::size_t k = 0; k < n; ++k) {
            const ColumnDef& c = t.def().columns[k];
            if (c.type == ColumnType::Text && !c.fixed() && t.file().format().jet4())
                m.plainRoom[k] = c.length / 2;
        }
    }
    m.assigned.assign(n, 0);
    m.plainTexts.assign(n, PlainText{});
    m.plainBytes.clear();
}

void Recordset::assign(std::size_t column, Value v) {
    Impl& m = *impl_;
    Table& t = m.assigning();
    m.pending[column] = convertForColumn(t, t.def().columns[column], std::move(v));
    m.assigned[column] = 1;
    m.plainTexts[column].given = false;
}

void Recordset::assignText(std::size_t column, std::u16string_view text) {
    Impl& m = *impl_;
    Table& t = m.assigning();
    if (!textFits(t, t.def().columns[column], text.size()))
        return assign(column, Value(std::u16string(text)));
    Value& slot = m.pending[column];
    if (auto* s = std::get_if<std::u16string>(&slot))
        s->assign(text);
    else
        slot = std::u16string(text);
    m.assigned[column] = 1;
    m.plainTexts[column].given = false;
}

void Recordset::assignAnsi(std::size_t column, std::string_view text, bool ascii) {
    Impl& m = *impl_;
    Table& t = m.assigning();
    const std::int32_t room = m.plainRoom[column];
    if (room < 0 || !(ascii || plainAnsi(text))) {
        // Anything else is converted as any other text.
        return assignText(column, widenAnsi(text));
    }
    // A text too long is refused in the words any other gets.
    if (text.size() > static_cast<std::size_t>(room))
        textFits(t, t.def().columns[column], text.size());
    m.plainTexts[column] = {static_cast<std::uint32_t>(m.plainBytes.size()),
                            static_cast<std::uint32_t>(text.size()), true};
    m.plainBytes.append(text);
    m.assigned[column] = 1;
    Value& slot = m.pending[column];
    if (m.keyColumn[column]) {
        if (auto* s = std::get_if<std::u16string>(&slot))
            widenPlain(text, *s);
        else
            slot = widenPlain(text);
    } else if (isNull(slot)) {
        slot = std::u16string(); // not Null, for the required columns' check
    }
}

void Recordset::Update() {
    Impl& m = *impl_;
    Table& t = m.t();
    if (!m.adding)
        throw Error("table '" + m.name() + "': Update without AddNew");
    for (std::size_t i = 0; i < m.pending.size(); ++i)
        if (!m.assigned[i] && !isNull(m.pending[i]))
            m.pending[i] = Null{};
    RowRef r = insertRow(t, m.pending, m.assigned, {m.plainBytes, &m.plainTexts});
    m.adding = false;
    m.added.push(r.id);
    m.pos = m.count() - 1;
    m.posInAdded = !m.loaded;
    m.cached = false;
    m.deletedHere = false;
}

void Recordset::CancelUpdate() {
    impl_->adding = false;
}

void Recordset::Close() {
    if (impl_)
        impl_->open = false;
}

} // namespace jet
