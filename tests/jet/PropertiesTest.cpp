// Column and object properties: the lists Access wrote read and write back, a column made NOT
// NULL refuses Null with Access's words, and a damaged list is an error that costs only the
// properties. (mdbtools' view of what a new database says is in MdbToolTest.)
#include "jet/Properties.h"

#include "JetTest.h"
#include "jet/Check.h"

namespace fs = std::filesystem;
using namespace jet;
using namespace std::string_literals;

TEST(Properties, AccessMadeListsReadAndWriteBack) {
    if (testsupport::fixturesDir().empty())
        GTEST_SKIP() << "fixtures absent";
    std::size_t lists = 0, required = 0;
    // Access 97's lists (names in single bytes) included.
    for (const auto& entry : fs::directory_iterator(testsupport::fixturesDir() / "access-made")) {
        if (entry.path().extension() != ".mdb")
            continue;
        auto db = Database::OpenDatabase(entry.path(), OpenMode::ReadOnly);
        auto rs = db.OpenRecordset(u"MSysObjects");
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
            const Value v = rs.GetValue(u"LvProp");
            const auto* blob = std::get_if<Binary>(&v);
            if (!blob)
                continue;
            SCOPED_TRACE(entry.path().filename().string() + ", " +
                         utf8(std::get<std::u16string>(rs.GetValue(u"Name"))));
            auto blocks = parseProperties(*blob);
            EXPECT_EQ(parseProperties(encodeProperties(blocks)), blocks);
            required += requiredColumns(blocks).size();
            ++lists;
        }
    }
    EXPECT_GT(lists, 20u);
    EXPECT_GE(required, 10u); // fixedTextTestV2000's users: every column required
}

// NOT NULL on a new table is kept as the column's property: Null is refused on insert with
// Access's words.
TEST(Properties, RequiredColumnsRefuseNull) {
    testsupport::TempDir tmp;
    const fs::path file = tmp / "req.mdb";
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
    db = Database::OpenDatabase(file, OpenMode::ReadOnly);
    EXPECT_EQ(checkDatabase(db), std::vector<std::string>{});
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
