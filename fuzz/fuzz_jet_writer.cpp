// The engine's write path: rows of arbitrary values added to and deleted from the host's
// template tables, built from data/schemas/BRANDMDB.sql. Refused rows are fine; afterwards the
// file must open again and pass the engine's own check, indexes included.
#include "FuzzFiles.h"
#include "jet/Check.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/SchemaSql.h"
#include "jet/TableDef.h"

#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// The input, read a byte or a number at a time; zero once it is used up.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool more() const { return at_ < size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint64_t number(int bytes) {
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v = v << 8 | byte();
        return v;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_, at_ = 0;
};

const fs::path& templateFile() {
    static const fs::path file = [] {
        auto path = fuzzfiles::folder() / "template.mdb";
        std::ifstream in(fs::path(TARNFIELD_SCHEMAS_DIR) / "BRANDMDB.sql");
        std::stringstream sql;
        sql << in.rdbuf();
        fs::remove(path);
        auto db = jet::createFromSchemaSql(path, sql.str());
        fuzzfiles::expect(jet::checkDatabase(db).empty(), "the new template is sound");
        db.Close();
        return path;
    }();
    return file;
}

// Letters the General sort order treats specially are more likely than others.
std::u16string text(Bytes& in) {
    static const char16_t kAlphabet[] = u"aAbBzZ09 -'.,&éÉäÄßøÆñÑ\u0152\u2019\t";
    const std::size_t length = in.byte() % 4 == 0 ? in.byte() + in.byte() : in.byte() % 24;
    std::u16string out;
    for (std::size_t i = 0; i < length && in.more(); ++i) {
        const std::uint8_t b = in.byte();
        out += b < 200 ? kAlphabet[b % (sizeof kAlphabet / sizeof(char16_t) - 1)]
                       : static_cast<char16_t>(0x20 + b);
    }
    return out;
}

jet::Value value(Bytes& in, jet::ColumnType type) {
    using T = jet::ColumnType;
    const std::uint8_t kind = in.byte();
    if (kind % 8 == 0)
        return jet::Null{};
    if (kind % 8 == 1)
        return text(in); // converted, or refused, by the column
    switch (type) {
    case T::Boolean:
        return (in.byte() & 1) != 0;
    case T::Byte:
        return in.byte();
    case T::Int:
        return static_cast<std::int16_t>(in.number(2));
    case T::Long:
        return static_cast<std::int32_t>(in.number(4));
    case T::Money:
        return jet::Currency{static_cast<std::int64_t>(in.number(8))};
    case T::Float:
        return static_cast<float>(static_cast<std::int32_t>(in.number(4))) / 64.0f;
    case T::Double:
        return static_cast<double>(static_cast<std::int64_t>(in.number(8))) / 1024.0;
    case T::DateTime:
        return jet::DateTime{static_cast<double>(static_cast<std::int32_t>(in.number(3))) / 8.0};
    default:
        return text(in);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto work = fuzzfiles::folder() / "work.mdb";
    fs::copy_file(templateFile(), work, fs::copy_options::overwrite_existing);
    Bytes in(data, size);
    {
        auto db = jet::Database::OpenDatabase(work);
        const auto tables = db.TableNames();
        auto rs = db.OpenRecordset(std::u16string_view(tables[in.byte() % tables.size()]));
        const auto columns = rs.Definition().columns;
        for (int row = 0; row < 64 && in.more(); ++row) {
            const std::uint8_t op = in.byte();
            try {
                if (op % 5 == 4) {
                    rs.MoveFirst();
                    for (int skip = op / 5 % 4; skip > 0 && !rs.Eof(); --skip)
                        rs.MoveNext();
                    if (!rs.Eof())
                        rs.Delete();
                    continue;
                }
                rs.AddNew();
                for (const auto& column : columns) {
                    try {
                        rs[std::u16string_view(column.name)] = value(in, column.type);
                    } catch (const jet::Error&) {
                    }
                }
                rs.Update();
            } catch (const jet::Error&) {
                try {
                    rs.CancelUpdate();
                } catch (const jet::Error&) {
                }
            }
        }
        rs.Close();
        db.Close();
    }
    auto again = jet::Database::OpenDatabase(work, jet::OpenMode::ReadOnly);
    const auto problems = jet::checkDatabase(again);
    for (const auto& p : problems)
        std::fprintf(stderr, "%s\n", p.c_str());
    fuzzfiles::expect(problems.empty(), "the engine's check passes after writing");
    return 0;
}
