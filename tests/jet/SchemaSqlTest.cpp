// The Jet SQL schema reader: the statements it takes and the messages for the ones it doesn't.
#include "jet/SchemaSql.h"

#include "JetTest.h"

using namespace jet;
using ::testing::HasSubstr;

TEST(SchemaSql, ReadsTablesTypesConstraintsAndIndexes) {
    auto tables = parseSchemaSql(R"(
-- a comment
CREATE TABLE [Person Data] (
    [ID] COUNTER,
    Name TEXT(25) NOT NULL,
    [Notes] memo NULL,
    [Fee] DECIMAL(10, 2),
    [Raw] BINARY(16),
    [On] BIT,
    CONSTRAINT [PrimaryKey] PRIMARY KEY ([ID]),
    CONSTRAINT [u] UNIQUE ([Name] DESC, [Fee])
);
create unique index [ByName] on [person data] ([Name] ASC, [ID] DESC);
CREATE INDEX [ByFee] ON [Person Data] ([Fee]) WITH DISALLOW NULL IGNORE NULL;
CREATE INDEX [pk2] ON [Person Data] ([Raw]) WITH PRIMARY;
CREATE TABLE Types (a TEXT(10), b MEMO, c BYTE, d SHORT, e LONG, f SINGLE, g DOUBLE, h CURRENCY,
    i DATETIME, j YESNO, k COUNTER, l LONGBINARY, m GUID, n INTEGER)
)");
    ASSERT_EQ(tables.size(), 2u);
    using T = ColumnType;
    std::vector<ColumnType> types;
    for (const auto& c : tables[1].columns)
        types.push_back(c.type);
    EXPECT_EQ(types, (std::vector<ColumnType>{T::Text, T::Memo, T::Byte, T::Int, T::Long, T::Float,
                                              T::Double, T::Money, T::DateTime, T::Boolean, T::Long,
                                              T::Ole, T::Guid, T::Long}));
    const NewTable& t = tables[0];
    EXPECT_EQ(t.name, u"Person Data");
    ASSERT_EQ(t.columns.size(), 6u);
    EXPECT_EQ(t.columns[0].type, ColumnType::Long);
    EXPECT_TRUE(t.columns[0].autoNumber);
    EXPECT_EQ(t.columns[1].name, u"Name");
    EXPECT_EQ(t.columns[1].size, 25);
    EXPECT_TRUE(t.columns[1].required);
    EXPECT_EQ(t.columns[2].type, ColumnType::Memo);
    EXPECT_FALSE(t.columns[2].required);
    EXPECT_EQ(t.columns[3].type, ColumnType::Numeric);
    EXPECT_EQ(t.columns[3].precision, 10);
    EXPECT_EQ(t.columns[3].scale, 2);
    EXPECT_EQ(t.columns[4].size, 16);
    EXPECT_EQ(t.columns[5].type, ColumnType::Boolean);
    ASSERT_EQ(t.indexes.size(), 5u);
    EXPECT_TRUE(t.indexes[0].primaryKey);
    EXPECT_TRUE(t.indexes[1].unique);
    EXPECT_FALSE(t.indexes[1].columns[0].ascending);
    EXPECT_TRUE(t.indexes[2].unique);
    EXPECT_TRUE(t.indexes[2].columns[0].ascending);
    EXPECT_FALSE(t.indexes[2].columns[1].ascending);
    EXPECT_TRUE(t.indexes[3].disallowNull);
    EXPECT_TRUE(t.indexes[3].ignoreNulls);
    EXPECT_FALSE(t.indexes[3].unique);
    EXPECT_TRUE(t.indexes[4].primaryKey);
    EXPECT_TRUE(parseSchemaSql("").empty());
    EXPECT_TRUE(parseSchemaSql("  -- only a comment\n;;\n").empty());
}

TEST(SchemaSql, BadTextNamesTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"CREATE TABLE t (c TEXT(256))", "line 1: size 256 of column 'c' is out of range"},
        {"CREATE TABLE t (c TEXT(0))", "out of range"},
        {"CREATE TABLE t (c MEMO(5))", "takes no size"},
        {"CREATE TABLE t (c VARIANT)", "unknown type 'VARIANT'"},
        {"CREATE TABLE t (\n c LONG,\n)", "line 3: expected a column name, found ')'"},
        {"CREATE TABLE t (c LONG", "expected ',', found the end of the text"},
        {"CREATE TABLE [t (c LONG)", "not closed"},
        {"CREATE VIEW v", "expected TABLE, INDEX or UNIQUE INDEX"},
        {"DROP TABLE t", "expected CREATE"},
        {"CREATE TABLE t (c LONG) CREATE TABLE u (c LONG)", "expected ';'"},
        {"CREATE TABLE t (c LONG);\nCREATE TABLE T (d LONG);",
         "line 2: table 'T' is created twice"},
        {"CREATE TABLE t (c LONG);\nCREATE INDEX i ON u (c);", "line 2: index 'i' is on table 'u'"},
        {"CREATE TABLE t (c LONG, CONSTRAINT k FOREIGN KEY (c))", "expected PRIMARY KEY or UNIQUE"},
        {"CREATE TABLE t (c LONG); CREATE INDEX i ON t (c) WITH", "after WITH"},
        {"CREATE TABLE t (c DECIMAL(30, 2))", "precision and scale"},
        {"CREATE TABLE t (c LONG NOT)", "expected NULL"},
        {"CREATE TABLE t (c LONG) $", "unexpected character '$'"},
    };
    for (const auto& [sql, message] : cases)
        EXPECT_THAT(jettest::errorOf([&] { parseSchemaSql(sql); }), HasSubstr(message)) << sql;
}
