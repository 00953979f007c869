#include "FixtureDump.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace jettest {
namespace {
std::vector<std::string> split(const std::string& s) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (true) {
        auto tab = s.find('\t', start);
        out.push_back(s.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return out;
        start = tab + 1;
    }
}
} // namespace

std::vector<DumpTable> readDump(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<DumpTable> out;
    std::string line;
    bool wantHeader = false;
    while (std::getline(in, line)) {
        if (line.rfind("## ", 0) == 0) {
            DumpTable t;
            auto sp = line.rfind(" rows=");
            t.name = line.substr(3, sp - 3);
            t.rows = std::stol(line.substr(sp + 6));
            out.push_back(t);
            wantHeader = true;
        } else if (out.empty() || line.empty()) {
            continue;
        } else if (wantHeader) {
            for (const auto& c : split(line)) {
                auto colon = c.rfind(':');
                out.back().columns.push_back(c.substr(0, colon));
                out.back().types.push_back(c.substr(colon + 1));
            }
            wantHeader = false;
        } else if (line.rfind("ok index ", 0) == 0) {
            auto open = line.rfind(" (");
            out.back().indexes.push_back(line.substr(9, open - 9));
        } else {
            out.back().values.push_back(split(line));
        }
    }
    return out;
}

fs::path fixtures() {
    return fs::path(TARNFIELD_FIXTURES_DIR);
}

std::vector<fs::path> fixtureDatabases() {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const char* sub : {"access-made", "templates"}) {
        for (auto it = fs::recursive_directory_iterator(fixtures() / sub, ec);
             !ec && it != fs::end(it); it.increment(ec)) {
            auto ext = it->path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
            if (ext == ".mdb")
                out.push_back(it->path());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

fs::path dumpFor(const fs::path& db) {
    auto d = db;
    return d.replace_extension(".dump.txt");
}

} // namespace jettest
