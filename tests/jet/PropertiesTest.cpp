// Column and object properties: the lists Access wrote read and write back, a
// damaged list is an error and never a crash, and a column made NOT NULL refuses Null here and is
// seen as required by mdbtools.
#include "jet/Properties.h"

#include "JetTest.h"
#include "jet/Check.h"
#include "support/Command.h"

namespace fs = std::filesystem;
using namespace jet;
using namespace std::string_literals;

namespace {

// Every property list in the catalogue of a file, with the name of its object.
std::vector<std::pair<std::u16string, Binary>> propertyLists(const fs::path& file) {
    auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    auto rs = db.OpenRecordset(u"MSysObjects");
    std::vector<std::pair<std::u16string, Binary>> out;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        const Value v = rs.GetValue(u"LvProp");
        if (const auto* b = std::get_if<Binary>(&v))
            out.emplace_back(std::get<std::u16string>(rs.GetValue(u"Name")), *b);
    }
    return out;
}

} // namespace

TEST(Properties, AccessMadeListsReadAndWriteBack) {
    const fs::path dir = testsupport::fixturesDir() / "access-made";
    if (testsupport::fixturesDir().empty())
        GTEST_SKIP() << "fixtures absent";
    std::size_t lists = 0, required = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".mdb")
            continue; // Access 97's lists (names in single bytes) included
        for (const auto& [name, blob] : propertyLists(entry.path())) {
            SCOPED_TRACE(entry.path().filename().string() + ", " + utf8(name));
            auto blocks = parseProperties(blob);
            EXPECT_EQ(parseProperties(encodeProperties(blocks)), blocks);
            required += requiredColumns(blocks).size();
            ++lists;
        }
    }
    EXPECT_GT(lists, 20u);
    EXPECT_GE(required, 10u); // fixedTextTestV2000's users: every column required
}

// NOT NULL on a new table: kept as the column's property, so Null is refused on insert with
// Access's words and mdbtools sees the columns as required (and the database's Access version).
TEST(Properties, RequiredColumnsRefuseNull) {
    testsupport::TempDir tmp;
    const fs::path file = tmp / "req.mdb";
    {
        auto db = jettest::withTable(file, {u"People",
                                            {{u"ID", ColumnType::Long, 0, true, true},
                                             {u"Name", ColumnType::Text, 30, false, true},
                                             {u"Age", ColumnType::Int, 0, false, true},
                                             {u"Note", ColumnType::Memo}},
                                            {{u"PrimaryKey", {{u"ID"}}, true}}});
        auto rs = db.OpenRecordset(u"People");
        auto add = [&](std::initializer_list<std::pair<const char*, Value>> row) {
            return jettest::errorOf([&] {
                rs.AddNew();
                for (const auto& [column, value] : row)
                    rs[column] = value;
                rs.Update();
            });
        };
        EXPECT_EQ(add({{"Name", u"Ann"s}, {"Age", 40}}), "no error");
        const std::string refusal = "' cannot contain a Null value because the Required property "
                                    "for this field is set to True.  Enter a value in this field.";
        EXPECT_EQ(add({{"Note", u"no name"s}, {"Age", 40}}), "The field 'People.Name" + refusal);
        rs.CancelUpdate();
        // An age of empty text converts to Null.
        EXPECT_EQ(add({{"Name", u"Bo"s}, {"Age", u""s}}), "The field 'People.Age" + refusal);
        rs.CancelUpdate();
        EXPECT_EQ(rs.RecordCount(), 1);
        db.Close();
    }
    auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
    const TableDef& d = db.GetTable(u"People").def();
    EXPECT_TRUE(d.columns[0].required && d.columns[1].required && !d.columns[3].required);
    db.Close();
    if (testsupport::haveMdbTools()) {
        auto props = testsupport::run("mdb-prop " + testsupport::quote(file.string()) + " People");
        EXPECT_NE(props.out.find("name: Name\n\tRequired: yes"), std::string::npos) << props.out;
        EXPECT_EQ(props.out.find("name: Note"), std::string::npos) << props.out;
        auto db = testsupport::run("mdb-prop " + testsupport::quote(file.string()) + " MSysDb");
        EXPECT_NE(db.out.find("AccessVersion: 08.50"), std::string::npos) << db.out;
    }
}

// A damaged list is an error, never a crash, and in a file costs only the properties: the rows
// still read, and `check` names the table.
TEST(Properties, ADamagedListIsAnErrorThatCheckReports) {
    std::vector<PropertyBlock> blocks{
        {u"", false, {}},
        {u"Name", true, {requiredProperty()}},
        {u"Notes", true, {{u"Format", ColumnType::Text, false, {'@', 0}}}}};
    const Binary blob = encodeProperties(blocks);
    EXPECT_EQ(requiredColumns(parseProperties(blob)), std::vector<std::u16string>{u"Name"});
    // Any cut is an error, or a shorter sound list when it falls on a chunk's boundary.
    for (std::size_t n = 0; n < blob.size(); ++n)
        jettest::errorOf([&] { parseProperties(Binary(blob.begin(), blob.begin() + n)); });
    Binary wrongName = blob;
    wrongName[0] = 'X';
    EXPECT_THROW(parseProperties(wrongName), Error);
    Binary badNumber = blob;
    badNumber[badNumber.size() - 3 - 2] = 0x7F; // Format's name number, past the names
    EXPECT_THROW(parseProperties(badNumber), Error);

    testsupport::TempDir tmp;
    const fs::path file = tmp / "damaged.mdb";
    {
        auto db = jettest::withTable(file, {u"T", {{u"A", ColumnType::Long, 0, false, true}}, {}});
        jettest::addRows(db, "T", {{{"A", 7}}});
        db.Close();
    }
    std::string bytes = testsupport::readFile(file);
    const auto at = bytes.find(std::string("MR2\0", 4));
    ASSERT_NE(at, std::string::npos);
    bytes[at + 5] = '\x7F'; // the names chunk now runs far past the list's end
    testsupport::writeFile(file, bytes);
    auto db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    EXPECT_EQ(db.OpenRecordset(u"T").RecordCount(), 1);
    EXPECT_FALSE(db.GetTable(u"T").def().columns[0].required);
    EXPECT_THAT(checkDatabase(db), ::testing::ElementsAre(::testing::HasSubstr(
                                       "table 'T': its properties cannot be read")));
}
