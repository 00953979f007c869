#include "support/Command.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace testsupport {

#ifdef _WIN32
// Windows (the cross-built tests under Wine): standard output only; mdbtools is not there.
Outcome run(const std::string& commandLine) {
    Outcome r;
    if (FILE* p = ::_popen(commandLine.c_str(), "rb")) {
        std::array<char, 65536> buf{};
        std::size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
            r.out.append(buf.data(), n);
        r.status = ::_pclose(p);
    }
    return r;
}

std::string quote(const std::string& s) {
    return "\"" + s + "\"";
}

bool haveMdbTools() {
    return false;
}
#else
Outcome run(const std::string& commandLine) {
    Outcome r;
    char errName[] = "/tmp/tarnfield-stderr-XXXXXX";
    const int errFd = ::mkstemp(errName);
    if (errFd < 0)
        return r;
    ::close(errFd);
    FILE* p = ::popen(("( " + commandLine + " ) 2>" + quote(errName)).c_str(), "r");
    if (p) {
        std::array<char, 65536> buf{};
        std::size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
            r.out.append(buf.data(), n);
        const int st = ::pclose(p);
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    std::ifstream err(errName, std::ios::binary);
    r.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    ::unlink(errName);
    return r;
}

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

bool haveMdbTools() {
    return std::system("command -v mdb-export >/dev/null 2>&1") == 0;
}
#endif

Outcome mdbTool(const std::string& args) {
    return run(std::string(TARNFIELD_MDB_TOOL) + " " + args + " 2>&1");
}

std::string mdbExport(const std::filesystem::path& file, const std::string& table, bool header) {
    return run(std::string("mdb-export ") + (header ? "" : "-H ") + "-d '\t' -Q " +
               quote(file.string()) + " " + quote(table))
        .out;
}

} // namespace testsupport
