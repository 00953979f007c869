#include "support/Command.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace testsupport {

#ifdef _WIN32
// Windows (the cross-built tests under Wine): the program is started directly, without cmd,
// whose quote rules and occasional failures to start a program made tests flaky. The two
// redirections the tests use are done here: a trailing "2>&1" joins standard error to standard
// output (otherwise it goes to a file read back afterwards), and "< FILE" at the end feeds a
// file to standard input. mdbtools is not there.
Outcome run(const std::string& commandLine) {
    Outcome r;
    std::string line = commandLine;
    const std::string joinErr = " 2>&1";
    const bool joined = line.size() >= joinErr.size() && line.ends_with(joinErr);
    if (joined)
        line.resize(line.size() - joinErr.size());

    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    if (const auto from = line.rfind(" < "); from != std::string::npos) {
        std::string file = line.substr(from + 3);
        if (file.size() >= 2 && file.front() == '"' && file.back() == '"')
            file = file.substr(1, file.size() - 2);
        line.resize(from);
        input = ::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    HANDLE readOut = nullptr, writeOut = nullptr;
    if (!::CreatePipe(&readOut, &writeOut, &inherit, 0))
        return r;
    ::SetHandleInformation(readOut, HANDLE_FLAG_INHERIT, 0);
    char errName[MAX_PATH] = {};
    char tempDir[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, tempDir);
    ::GetTempFileNameA(tempDir, "tfe", 0, errName);
    HANDLE errFile = joined ? writeOut
                            : ::CreateFileA(errName, GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA start{};
    start.cb = sizeof(start);
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = input;
    start.hStdOutput = writeOut;
    start.hStdError = errFile;
    PROCESS_INFORMATION process{};
    // Wine now and then fails to start a program on a busy machine and succeeds a moment later:
    // a few tries, and the reason in the output when none succeeds.
    bool started = false;
    DWORD startError = 0;
    for (int attempt = 0; attempt < 5 && !started; ++attempt) {
        if (attempt > 0)
            ::Sleep(200 * attempt);
        started = ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                   nullptr, &start, &process);
        if (!started)
            startError = ::GetLastError();
    }
    if (!started)
        r.out = "could not start " + line + ": error " + std::to_string(startError) + "\n";
    ::CloseHandle(writeOut);
    if (!joined)
        ::CloseHandle(errFile);
    if (input != ::GetStdHandle(STD_INPUT_HANDLE) && input != INVALID_HANDLE_VALUE)
        ::CloseHandle(input);
    if (started) {
        std::array<char, 65536> buf{};
        DWORD n = 0;
        while (::ReadFile(readOut, buf.data(), static_cast<DWORD>(buf.size()), &n, nullptr) &&
               n > 0)
            r.out.append(buf.data(), n);
        ::WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        ::GetExitCodeProcess(process.hProcess, &code);
        r.status = static_cast<int>(code);
        ::CloseHandle(process.hProcess);
        ::CloseHandle(process.hThread);
    }
    ::CloseHandle(readOut);
    std::ifstream err(errName, std::ios::binary);
    r.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    err.close();
    ::DeleteFileA(errName);
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
