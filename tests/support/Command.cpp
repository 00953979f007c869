#include "support/Command.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

namespace testsupport {

Outcome run(const std::string& commandLine) {
    Outcome r;
    FILE* p = ::popen(commandLine.c_str(), "r");
    if (!p)
        return r;
    std::array<char, 65536> buf{};
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

Outcome mdbTool(const std::string& args) {
    return run(std::string(TARNFIELD_MDB_TOOL) + " " + args + " 2>&1");
}

bool haveMdbTools() {
    return std::system("command -v mdb-export >/dev/null 2>&1") == 0;
}

std::string mdbExport(const std::filesystem::path& file, const std::string& table) {
    return run("mdb-export -H -d '\t' -Q " + quote(file.string()) + " " + quote(table)).out;
}

} // namespace testsupport
