// Times tarnfield-batch on generated EMPLOYEE TAB files that use every field (spouse, six
// children, five plans):
//   batch_bench TARNFIELD_BATCH TEMPLATE.MDB [RECORDS...]      (default 10000 100000)
// For each size: records per second, the batch's peak memory, the time of a plain copy of the
// finished database for comparison (twice: the first to a new file, whose pages the system must
// find room for, as the batch had to; the second over that copy, the same bytes moved with the
// room already there), and the time the first-record window's whole-file count of imported
// and rejected records takes on the same file. The batch makes its database durable (fsync)
// before it is renamed into place; a plain copy does not, so a third copy, over the second, is
// timed with the same fsync ("synced s"). With BATCH_BENCH_KEEP set, the host
// folder (with the last TAB file and database) is left in the temporary folder for profiling.
#include "formats/FieldCatalogue.h"
#include "sample/SampleDatabases.h"
#include "wizard/ImportPreview.h"
#include "wizard/TabVerifier.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void writeHost(const fs::path& host, const fs::path& templateFile) {
    sample::writeOneAccount(host);
    fs::copy_file(templateFile, host / "BRANDMDB.MDB", fs::copy_options::overwrite_existing);
}

// One line per record, the default EMPLOYEE list's 45 fields, all filled.
void writeTab(const fs::path& file, long records) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    std::string line;
    for (long i = 0; i < records; ++i) {
        line = "Last" + std::to_string(i) + "\tFirst\tK\t" + std::to_string(i) +
               " Main Street\tApt 1\tDover\tDE\t19901\t" + (i % 2 ? "M" : "F") + "\t" +
               std::to_string(100000000 + i % 900000000) +
               "\t1/5/1970\t2/1/2000\t3/1/2000\t4/1/2000\tSpouse Name\t222334444\t7/7/1971";
        for (int c = 1; c <= 6; ++c)
            line +=
                "\tChild " + std::to_string(c) + "\t55566777" + std::to_string(c) + "\t1/1/2001";
        line += "\tMedical\tSingle\tDental\tFamily\tOther 1\tSingle\tOther 2\tSingle\tOther 3"
                "\tFamily\r\n";
        out << line;
    }
}

struct Run {
    int status = -1;
    double seconds = 0;
    long peakKb = 0;
};

Run runBatch(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        freopen("/dev/null", "w", stdout);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Run r;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    r.seconds = seconds(start);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.peakKb = usage.ru_maxrss;
    return r;
}

double countSeconds(const fs::path& host, const fs::path& tab) {
    wizard::ImportRunInput in;
    in.ModeCode = 1;
    in.AppDir = host.string() + "/";
    in.TabPath = tab.string();
    in.labels = formats::defaultFieldList(1);
    in.DateFlags = wizard::initialDateFlags(in.labels);
    in.firstLineIsRecord = true;
    const std::atomic<bool> stop{false};
    auto start = std::chrono::steady_clock::now();
    if (!wizard::CountRecords(in, stop))
        return -1;
    return seconds(start);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: batch_bench TARNFIELD_BATCH TEMPLATE.MDB [RECORDS...]\n", stderr);
        return 2;
    }
    std::vector<long> sizes;
    for (int i = 3; i < argc; ++i)
        sizes.push_back(std::stol(argv[i]));
    if (sizes.empty())
        sizes = {10000, 100000};
    const fs::path host = fs::temp_directory_path() / "tarnfield_batch_bench";
    fs::remove_all(host);
    writeHost(host, argv[2]);
    std::printf("%10s %10s %12s %10s %12s %10s %10s %10s %10s\n", "records", "seconds", "records/s",
                "peak MB", "db MB", "copy s", "again s", "synced s", "count s");
    std::fflush(stdout);
    for (long n : sizes) {
        const fs::path tab = host / "employees.txt", out = host / "out.mdb";
        writeTab(tab, n);
        Run r = runBatch({argv[1], "--app-dir", host.string(), "--type", "EMPLOYEE", "--out",
                          out.string(), tab.string()});
        if (r.status != 0) {
            std::fprintf(stderr, "tarnfield-batch exited with %d\n", r.status);
            return 1;
        }
        // A copy over any copy before it; a durable one is synced as the batch syncs its own.
        auto copySeconds = [&](bool durable) {
            auto start = std::chrono::steady_clock::now();
            fs::copy_file(out, host / "copy.mdb", fs::copy_options::overwrite_existing);
            if (durable) {
                const int fd = ::open((host / "copy.mdb").c_str(), O_RDONLY);
                if (fd < 0 || ::fsync(fd) != 0)
                    std::fprintf(stderr, "cannot fsync the copy\n");
                if (fd >= 0)
                    ::close(fd);
            }
            return seconds(start);
        };
        fs::remove(host / "copy.mdb");
        const double copy = copySeconds(false), again = copySeconds(false),
                     synced = copySeconds(true);
        std::printf("%10ld %10.2f %12.0f %10.1f %12.1f %10.3f %10.3f %10.3f %10.3f\n", n, r.seconds,
                    n / r.seconds, r.peakKb / 1024.0, fs::file_size(out) / 1048576.0, copy, again,
                    synced, countSeconds(host, tab));
        std::fflush(stdout);
    }
    if (!std::getenv("BATCH_BENCH_KEEP"))
        fs::remove_all(host);
    return 0;
}
