// Reader for the reference dumps beside the fixture databases (see the fixtures README), and
// the fixture list shared by the fixture tests.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace jettest {

struct DumpTable {
    std::string name;
    long rows = 0;
    std::vector<std::string> columns, types;
    std::vector<std::vector<std::string>> values;
    std::vector<std::string> indexes;
};

std::vector<DumpTable> readDump(const std::filesystem::path& dumpFile);

std::filesystem::path fixtures();
// Every fixture database: access-made/*.mdb and templates/*/*.mdb, sorted.
std::vector<std::filesystem::path> fixtureDatabases();
// The dump beside a database.
std::filesystem::path dumpFor(const std::filesystem::path& db);

} // namespace jettest
