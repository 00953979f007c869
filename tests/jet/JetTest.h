// What the engine's tests share: the Access-made fixtures (when they are beside the repository),
// databases the engine builds itself from the repository's schemas, and mdbtools' mdb-export as an
// independent reader.
#pragma once

#include "jet/Create.h"
#include "jet/Database.h"
#include "jet/Error.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace jettest {

// Every fixture database: access-made/*.mdb and templates/*/*.mdb, sorted.
std::vector<std::filesystem::path> fixtureDatabases();
// A fixture by its path under the fixtures folder, or an empty path when it is absent.
std::filesystem::path fixture(const std::string& relative);

#define JET_FIXTURE(var, relative)                                                                 \
    const std::filesystem::path var = jettest::fixture(relative);                                  \
    if (var.empty())                                                                               \
    GTEST_SKIP() << "fixture absent: " << (relative)

std::filesystem::path writableCopy(const testsupport::TempDir& tmp,
                                   const std::filesystem::path& from);

// The message of the jet::Error that `f` throws, or "no error".
template <class F>
std::string errorOf(F&& f) {
    try {
        f();
    } catch (const jet::Error& e) {
        return e.what();
    }
    return "no error";
}

// A new database holding one table, left open.
jet::Database withTable(const std::filesystem::path& file, const jet::NewTable& table);

using Row = std::vector<std::pair<const char*, jet::Value>>;
void addRows(jet::Database& db, const char* table, const std::vector<Row>& rows);

// Which host template (BRANDMDB) a test works on: a copy of the one Access made, or the same built
// here with the rows the tests rely on (employees 1 to 5, one company, three letters, the first
// long enough for a page of its own). Empty when the Access-made one is absent.
enum class Source { Access, Built };
std::string sourceName(const ::testing::TestParamInfo<Source>& info);
std::filesystem::path hostTemplate(const testsupport::TempDir& tmp, Source source);

// Our export of a table: header line, then the rows in scan order.
std::string exportOf(jet::Database& db, std::u16string_view table);
std::vector<std::vector<std::string>> tsv(const std::string& text);

// Whether `mdb-export` of a table agrees with our export text field by field (in scan order, or as
// sets of rows when `ordered` is false), allowing its forms of Null, yes/no and numbers. No check
// without mdbtools.
void expectMdbExportAgrees(const std::filesystem::path& file, const std::string& table,
                           const std::string& ours, bool ordered);

} // namespace jettest
