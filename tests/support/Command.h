// Running a command line from a test and taking what it prints: the engine's own tool and the
// independent Access reader (mdbtools) alike.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

struct Outcome {
    int status = -1; // exit code; -1 when the command did not run or did not exit
    std::string out; // standard output (and whatever the command line sends there)
    std::string err; // standard error, unless the command line sends it elsewhere
};

Outcome run(const std::string& commandLine);

// One argument for the shell, quoted.
std::string quote(const std::string& s);

// The engine's own tool with `args`, standard error joined to standard output.
Outcome mdbTool(const std::string& args);

bool haveMdbTools();

// `mdb-export` of a table, TAB-separated, no quotes, as UTF-8 text; with or without the header
// line of column names.
std::string mdbExport(const std::filesystem::path& file, const std::string& table,
                      bool header = false);

} // namespace testsupport
