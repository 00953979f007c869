// The source tree's floors, read from the code: every include points down, and the Qt-free
// logic never reaches for Qt or the window machinery.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The floor of each folder of src/; a folder includes only from floors below its own, or from
// the neighbours on its own floor listed in kSideways.
const std::map<std::string, int> kFloor = {
    {"base", 0},        {"jet", 1},      {"platform", 1}, {"session", 2}, {"mapping", 2},
    {"spreadsheet", 2}, {"hostdata", 3}, {"sample", 3},   {"ui", 4},      {"formats", 5},
    {"wizard", 5},      {"restore", 5},  {"backup", 5},   {"tools", 5},   {"batch", 6},
    {"demo", 6},        {"app", 7},
};
const std::set<std::pair<std::string, std::string>> kSideways = {
    {"mapping", "session"}, // the named file types
    {"sample", "hostdata"}, // the sample host folder is written with the host's records
    {"wizard", "formats"},  // the wizard reads the field catalogue and the saved formats
};
// Folders above the windows that still need no Qt.
const std::set<std::string> kQtFreeAbove = {"batch", "demo"};

struct Include {
    fs::path file;
    std::string target; // as written: "jet/Database.h", "QWidget"
    bool quoted;
};

std::vector<Include> includesUnder(const fs::path& src) {
    static const std::regex line(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<Include> out;
    for (const auto& entry : fs::recursive_directory_iterator(src)) {
        const auto ext = entry.path().extension();
        if (ext != ".h" && ext != ".cpp")
            continue;
        std::ifstream in(entry.path());
        std::string text;
        std::smatch m;
        while (std::getline(in, text))
            if (std::regex_search(text, m, line))
                out.push_back({entry.path(), m[2], m[1] == "\""});
    }
    return out;
}

std::string folderOf(const fs::path& src, const fs::path& file) {
    return fs::relative(file, src).begin()->string();
}

// A window's own file, or the window machinery: the only places Qt may appear below app/.
bool isWindowFile(const std::string& folder, const fs::path& file) {
    const std::string name = file.stem().string();
    return folder == "ui" || folder == "app" || name.starts_with("frm") ||
           name.starts_with("Dialog");
}

TEST(IncludeLayers, EveryIncludePointsDownAndLogicStaysFreeOfQt) {
    const fs::path src = TARNFIELD_SOURCE_DIR "/src";
    const auto includes = includesUnder(src);
    ASSERT_GT(includes.size(), 100u) << "no sources under " << src;
    for (const auto& inc : includes) {
        const std::string from = folderOf(src, inc.file);
        const auto where = fs::relative(inc.file, src).generic_string() + " includes " + inc.target;
        ASSERT_TRUE(kFloor.contains(from)) << "src/" << from << " has no floor in this test";
        const bool mayUseQt = isWindowFile(from, inc.file) && !kQtFreeAbove.contains(from);
        if (!inc.quoted) {
            if (inc.target.starts_with("Q")) {
                EXPECT_TRUE(mayUseQt) << where;
            }
            continue;
        }
        const std::string to = inc.target.substr(0, inc.target.find('/'));
        if (to == from)
            continue;
        ASSERT_TRUE(kFloor.contains(to)) << where;
        const bool down = kFloor.at(to) < kFloor.at(from) || kSideways.contains({from, to});
        EXPECT_TRUE(down) << where << ": src/" << to << " is not below src/" << from;
        if (isWindowFile(to, inc.target)) {
            EXPECT_TRUE(mayUseQt) << where;
        }
    }
}

} // namespace
