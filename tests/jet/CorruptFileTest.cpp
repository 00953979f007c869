// Damaged and foreign files: each is refused with a jet::Error whose message says what is
// wrong, never a crash or another exception. The damage is done to a small Access-made file
// (when the fixtures are there) and to one the engine builds.
#include "JetTest.h"
#include "base/Coding.h"
#include "jet/DataPage.h"
#include "jet/Error.h"

#include <functional>
#include <random>

namespace fs = std::filesystem;
using namespace jet;
using ::testing::AllOf;
using ::testing::HasSubstr;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes load(const fs::path& p) {
    const std::string s = testsupport::readFile(p);
    return Bytes(s.begin(), s.end());
}

// Opens the file and reads every row of every table.
void readEverything(const fs::path& p) {
    auto db = Database::OpenDatabase(p, OpenMode::ReadOnly);
    for (const auto& name : db.TableNames())
        jettest::exportOf(db, name);
}

// The first user table's definition page, usage map row and first data page.
struct Facts {
    std::uint32_t tdef, data;
    RowId usage;
};

Facts factsOf(const fs::path& p) {
    auto db = Database::OpenDatabase(p, OpenMode::ReadOnly);
    Table& t = db.GetTable(db.TableNames().front());
    return {t.def().page, t.ownedPages().front(), rowIdFromPointer(t.def().usedPages)};
}

std::size_t at(const Bytes& f, std::uint32_t page) {
    return static_cast<std::size_t>(page) * (f[0x14] == 0 ? 2048 : 4096);
}

template <class T>
void put(Bytes& b, std::size_t at, T value) {
    coding::putLE<T>(b, at, value);
}

// A built host template, made once.
const fs::path& built() {
    static testsupport::TempDir tmp;
    static const fs::path file = jettest::hostTemplate(tmp, jettest::Source::Built);
    return file;
}

struct Damage {
    const char* name;
    std::function<void(Bytes&, const Facts&)> apply;
    const char* expected;       // found in the message
    const char* only = nullptr; // the one fixture it needs; else the small one and the built one
};

class JetCorruptFile : public ::testing::TestWithParam<Damage> {};

TEST_P(JetCorruptFile, RefusedWithClearError) {
    const Damage& d = GetParam();
    std::vector<fs::path> sources;
    if (auto f = jettest::fixture(d.only ? d.only : "access-made/delTestV2000.mdb"); !f.empty())
        sources.push_back(f);
    if (!d.only)
        sources.push_back(built());
    if (sources.empty())
        GTEST_SKIP() << "fixture absent: " << d.only;
    testsupport::TempDir tmp;
    for (const auto& src : sources) {
        SCOPED_TRACE(src.filename().string());
        Bytes bytes = load(src);
        d.apply(bytes, factsOf(src));
        const fs::path damaged = tmp / "damaged.mdb";
        testsupport::writeFile(damaged, bytes);
        EXPECT_THAT(jettest::errorOf([&] { readEverything(damaged); }),
                    AllOf(HasSubstr(d.expected), HasSubstr("damaged.mdb")));
    }
}

std::vector<Damage> damages() {
    using F = const Facts&;
    return {
        {"Empty", [](Bytes& b, F) { b.clear(); }, "not an Access database"},
        {"TruncatedMidPage", [](Bytes& b, F) { b.resize(5000); }, "truncated"},
        {"TruncatedToTwoPages", [](Bytes& b, F) { b.resize(8192); }, "truncated"},
        {"TruncatedAtPageBoundary", [](Bytes& b, F) { b.resize(4096 * 20); }, "outside the file",
         "access-made/testV2000.mdb"},
        {"TruncatedBeforeTheData", [](Bytes& b, F f) { b.resize(at(b, f.data)); }, "past the end"},
        {"ZeroFilled", [](Bytes& b, F) { std::fill(b.begin(), b.end(), 0); },
         "not an Access database"},
        {"RandomBytes",
         [](Bytes& b, F) {
             std::mt19937 rng(7);
             for (auto& c : b)
                 c = static_cast<std::uint8_t>(rng());
         },
         "not an Access database"},
        {"TextFileRenamed",
         [](Bytes& b, F) {
             const std::string t = "Name,Address\nRuth Abbott,10 Harbor Road\n";
             b.assign(t.begin(), t.end());
         },
         "not an Access database"},
        {"AceHeader", [](Bytes& b, F) { std::copy_n("Standard ACE DB", 15, b.begin() + 4); },
         "accdb"},
        {"FutureVersion", [](Bytes& b, F) { b[0x14] = 3; }, "version"},
        // The header area is RC4-scrambled: flipping a stored bit flips the same plain bit.
        {"Encrypted", [](Bytes& b, F) { b[0x3E] ^= 0x01; }, "encrypted"},
        {"PasswordJet4", [](Bytes& b, F) { b[0x42] ^= 0x41; }, "password"},
        {"PasswordJet3", [](Bytes& b, F) { b[0x42] ^= 0x41; }, "password",
         "access-made/testV1997.mdb"},
        {"CatalogueNotATableDefinition", [](Bytes& b, F) { b[at(b, 2)] = 0x01; },
         "not a table definition"},
        {"TableDefinitionPageOfWrongType", [](Bytes& b, F f) { b[at(b, f.tdef)] = 0x04; },
         "not a table definition"},
        {"TableDefinitionPageZeroed",
         [](Bytes& b, F f) { std::fill_n(b.begin() + at(b, f.tdef), 4096, 0); },
         "not a table definition"},
        {"RowOffsetPastThePage",
         [](Bytes& b, F f) {
             put<std::uint16_t>(b, at(b, f.data) + kJet4Format.dataRowTable, 0x1FFF);
         },
         "outside the page"},
        {"TableDefinitionChainPastEnd", [](Bytes& b, F f) { put(b, at(b, f.tdef) + 4, 0xFFFFFFu); },
         "past the end"},
        {"TableDefinitionChainLoops", [](Bytes& b, F f) { put(b, at(b, f.tdef) + 4, f.tdef); },
         "loops"},
        {"UsageMapPastEnd",
         [](Bytes& b, F f) {
             const std::size_t po = at(b, f.usage.page);
             RowSpan s = rowSpan(kJet4Format, coding::Bytes(b).subspan(po, 4096), f.usage.row, "");
             // Inline map: move its start page far past the end of the file.
             put(b, po + s.start + 1, 100000u);
         },
         "past the end"},
        {"UsageMapPointerOutsideFile",
         [](Bytes& b, F f) { put(b, at(b, f.tdef) + kJet4Format.tdefUsedPages, 5000u << 8); },
         "outside the file"},
        {"ColumnCountZero",
         [](Bytes& b, F f) { put<std::uint16_t>(b, at(b, f.tdef) + kJet4Format.tdefNumCols, 0); },
         "column count"},
    };
}

INSTANTIATE_TEST_SUITE_P(JetDamages, JetCorruptFile, ::testing::ValuesIn(damages()),
                         [](const auto& info) { return std::string(info.param.name); });

// Random bytes anywhere past the header, `rounds` times over: `use` may succeed or fail, but
// only with jet::Error (under the sanitizers this also proves no out-of-bounds access).
void fuzz(const fs::path& src, int rounds, int maxHits, unsigned seed,
          const std::function<void(const fs::path&)>& use) {
    SCOPED_TRACE(src.filename().string());
    const Bytes original = load(src);
    testsupport::TempDir tmp;
    std::mt19937 rng(seed);
    for (int round = 0; round < rounds; ++round) {
        Bytes b = original;
        for (int i = 1 + static_cast<int>(rng() % maxHits); i > 0; --i)
            b[4096 + rng() % (b.size() - 4096)] = static_cast<std::uint8_t>(rng());
        const fs::path p = tmp / "fuzz.mdb";
        testsupport::writeFile(p, b);
        try {
            use(p);
        } catch (const Error&) {
        } catch (const std::exception& e) {
            ADD_FAILURE() << "round " << round << ": not a jet::Error: " << e.what();
        }
    }
}

// Deleting and adding rows in a damaged copy fails cleanly or works.
void rewrite(const fs::path& p) {
    auto db = Database::OpenDatabase(p);
    auto rs = db.OpenRecordset("Company_Information");
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        rs.Delete();
    for (int i = 0; i < 30; ++i) {
        rs.AddNew();
        rs["Company_Name"] = u"fuzz";
        rs["ADDRESS"] = std::u16string(static_cast<std::size_t>(i), u'x');
        rs.Update();
    }
    db.Close();
}

TEST(JetCorruptFuzz, RandomDamageGivesErrorsNotCrashes) {
    fuzz(built(), 60, 40, 12345, readEverything);
    fuzz(built(), 40, 30, 777, rewrite);
    for (const char* name : {"access-made/testV1997.mdb", "templates/jet4/BRANDMDB.MDB",
                             "access-made/overflowTestV2000.mdb"}) {
        JET_FIXTURE(src, name);
        fuzz(src, 60, 40, 12345, readEverything);
        if (src.filename() == "BRANDMDB.MDB")
            fuzz(src, 40, 30, 777, rewrite);
    }
}

} // namespace
