// Damaged and foreign files: each must be refused with a jet::Error whose message says what
// is wrong, never a crash or another exception.
#include "FixtureDump.h"
#include "jet/DataPage.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "jet/Export.h"
#include "base/Coding.h"
#include "support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace fs = std::filesystem;
using namespace jet;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes load(const fs::path& p) {
    std::string s = testsupport::readFile(p);
    return Bytes(s.begin(), s.end());
}

// Opens the file and reads every row of every table.
void readEverything(const fs::path& p) {
    auto db = Database::OpenDatabase(p, OpenMode::ReadOnly);
    for (const auto& name : db.TableNames()) {
        std::ostringstream out;
        exportTable(db, name, out);
    }
}

std::size_t pageOffset(const Bytes& f, std::uint32_t page) {
    return static_cast<std::size_t>(page) * (f[0x14] == 0 ? 2048 : 4096);
}

struct Damage {
    const char* name;
    const char* source; // fixture, relative to the fixtures folder
    std::function<void(Bytes&)> apply;
    const char* expected; // part of the message
};

// Table definition page and usage map row of a fixture's first user table.
struct TableFacts {
    std::uint32_t tdef;
    RowId usage;
};
TableFacts factsOf(const fs::path& p) {
    auto db = Database::OpenDatabase(p, OpenMode::ReadOnly);
    const auto& def = db.GetTable(db.TableNames().front()).def();
    return {def.page, rowIdFromPointer(def.usedPages)};
}

void PrintTo(const Damage& d, std::ostream* os) {
    *os << d.name;
}

class JetCorruptFile : public ::testing::TestWithParam<Damage> {};

TEST_P(JetCorruptFile, RefusedWithClearError) {
    const Damage& d = GetParam();
    fs::path src = jettest::fixtures() / d.source;
    if (!fs::exists(src))
        GTEST_SKIP() << "fixture absent: " << src;
    testsupport::TempDir tmp;
    Bytes bytes = load(src);
    d.apply(bytes);
    fs::path damaged = tmp / "damaged.mdb";
    testsupport::writeFile(damaged, bytes);
    try {
        readEverything(damaged);
        FAIL() << "no error for " << d.name;
    } catch (const Error& e) {
        std::string m = e.what();
        EXPECT_NE(m.find(d.expected), std::string::npos) << "message: " << m;
        EXPECT_NE(m.find("damaged.mdb"), std::string::npos) << "message names no file: " << m;
    }
}

const fs::path kSmall = "access-made/delTestV2000.mdb";

std::vector<Damage> damages() {
    return {
        {"Empty", "access-made/delTestV2000.mdb", [](Bytes& b) { b.clear(); },
         "not an Access database"},
        {"TruncatedMidPage", "access-made/delTestV2000.mdb", [](Bytes& b) { b.resize(5000); },
         "truncated"},
        {"TruncatedToTwoPages", "access-made/delTestV2000.mdb", [](Bytes& b) { b.resize(8192); },
         "truncated"},
        {"TruncatedAtPageBoundary", "access-made/testV2000.mdb",
         [](Bytes& b) { b.resize(4096 * 20); }, "outside the file"},
        {"ZeroFilled", "access-made/delTestV2000.mdb",
         [](Bytes& b) { std::fill(b.begin(), b.end(), 0); }, "not an Access database"},
        {"RandomBytes", "access-made/delTestV2000.mdb",
         [](Bytes& b) {
             std::mt19937 rng(7);
             for (auto& c : b)
                 c = static_cast<std::uint8_t>(rng());
         },
         "not an Access database"},
        {"TextFileRenamed", "access-made/delTestV2000.mdb",
         [](Bytes& b) {
             std::string t = "Name,Address\nRuth Abbott,10 Harbor Road\n";
             b.assign(t.begin(), t.end());
         },
         "not an Access database"},
        {"AceHeader", "access-made/delTestV2000.mdb",
         [](Bytes& b) { std::copy_n("Standard ACE DB", 15, b.begin() + 4); }, "accdb"},
        {"FutureVersion", "access-made/delTestV2000.mdb", [](Bytes& b) { b[0x14] = 3; }, "version"},
        // The header area is RC4-scrambled: flipping a stored bit flips the same plain bit.
        {"Encrypted", "access-made/delTestV2000.mdb", [](Bytes& b) { b[0x3E] ^= 0x01; },
         "encrypted"},
        {"PasswordJet4", "access-made/delTestV2000.mdb", [](Bytes& b) { b[0x42] ^= 0x41; },
         "password"},
        {"PasswordJet3", "access-made/testV1997.mdb", [](Bytes& b) { b[0x42] ^= 0x41; },
         "password"},
        {"CatalogueNotATableDefinition", "access-made/delTestV2000.mdb",
         [](Bytes& b) { b[pageOffset(b, 2)] = 0x01; }, "not a table definition"},
        {"TableDefinitionPageOfWrongType", "access-made/delTestV2000.mdb",
         [](Bytes& b) {
             auto f = factsOf(jettest::fixtures() / kSmall);
             b[pageOffset(b, f.tdef)] = 0x04;
         },
         "not a table definition"},
        {"TableDefinitionChainPastEnd", "access-made/delTestV2000.mdb",
         [](Bytes& b) {
             auto f = factsOf(jettest::fixtures() / kSmall);
             coding::putLE<std::uint32_t>(b, pageOffset(b, f.tdef) + 4, 0x00FFFFFF);
         },
         "past the end"},
        {"TableDefinitionChainLoops", "access-made/delTestV2000.mdb",
         [](Bytes& b) {
             auto f = factsOf(jettest::fixtures() / kSmall);
             coding::putLE<std::uint32_t>(b, pageOffset(b, f.tdef) + 4, f.tdef);
         },
         "loops"},
        {"UsageMapPastEnd", "access-made/delTestV2000.mdb",
         [](Bytes& b) {
             auto f = factsOf(jettest::fixtures() / kSmall);
             std::size_t po = pageOffset(b, f.usage.page);
             RowSpan s = rowSpan(kJet4Format, coding::Bytes(b).subspan(po, 4096), f.usage.row, "");
             // Inline map: move its start page far past the end of the 33-page file.
             coding::putLE<std::uint32_t>(b, po + s.start + 1, 100000);
         },
         "past the end"},
        {"UsageMapPointerOutsideFile", "access-made/delTestV2000.mdb",
         [](Bytes& b) {
             auto f = factsOf(jettest::fixtures() / kSmall);
             std::size_t tdefAt = pageOffset(b, f.tdef);
             coding::putLE<std::uint32_t>(b, tdefAt + kJet4Format.tdefUsedPages, (5000u << 8));
         },
         "outside the file"},
        {"RowCountTooLarge", "access-made/delTestV2000.mdb",
         [](Bytes& b) {
             auto f = factsOf(jettest::fixtures() / kSmall);
             coding::putLE<std::uint16_t>(b, pageOffset(b, f.tdef) + kJet4Format.tdefNumCols, 0);
         },
         "column count"},
    };
}

INSTANTIATE_TEST_SUITE_P(JetDamages, JetCorruptFile, ::testing::ValuesIn(damages()),
                         [](const auto& info) { return std::string(info.param.name); });

// Random damage anywhere in a database: reading may succeed or fail, but only with
// jet::Error (under the sanitizers this also proves no out-of-bounds access).
TEST(JetCorruptFuzz, RandomByteDamageGivesErrorsNotCrashes) {
    for (const char* name : {"access-made/testV1997.mdb", "templates/jet4/BRANDMDB.MDB",
                             "access-made/overflowTestV2000.mdb"}) {
        fs::path src = jettest::fixtures() / name;
        if (!fs::exists(src))
            GTEST_SKIP() << "fixture absent: " << src;
        const Bytes original = load(src);
        testsupport::TempDir tmp;
        std::mt19937 rng(12345);
        for (int round = 0; round < 60; ++round) {
            Bytes b = original;
            int hits = 1 + static_cast<int>(rng() % 40);
            for (int i = 0; i < hits; ++i)
                b[4096 + rng() % (b.size() - 4096)] = static_cast<std::uint8_t>(rng());
            fs::path p = tmp / "fuzz.mdb";
            testsupport::writeFile(p, b);
            try {
                readEverything(p);
            } catch (const Error&) {
            } catch (const std::exception& e) {
                ADD_FAILURE() << name << " round " << round << ": not a jet::Error: " << e.what();
            }
        }
    }
}

// The same for changes: deleting and adding rows in a damaged copy fails cleanly or works.
TEST(JetCorruptFuzz, RandomDamageUnderWritesGivesErrorsNotCrashes) {
    fs::path src = jettest::fixtures() / "templates/jet4/BRANDMDB.MDB";
    if (!fs::exists(src))
        GTEST_SKIP() << "fixture absent: " << src;
    const Bytes original = load(src);
    testsupport::TempDir tmp;
    std::mt19937 rng(777);
    for (int round = 0; round < 40; ++round) {
        Bytes b = original;
        int hits = 1 + static_cast<int>(rng() % 30);
        for (int i = 0; i < hits; ++i)
            b[4096 + rng() % (b.size() - 4096)] = static_cast<std::uint8_t>(rng());
        fs::path p = tmp / "fuzz.mdb";
        testsupport::writeFile(p, b);
        try {
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
        } catch (const Error&) {
        } catch (const std::exception& e) {
            ADD_FAILURE() << "round " << round << ": not a jet::Error: " << e.what();
        }
    }
}

} // namespace
