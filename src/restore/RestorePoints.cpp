#include "restore/RestorePoints.h"

#include "platform/Ansi.h"
#include "platform/HostPath.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace restore {
namespace {

// Characters [from, from + count) of text, or fewer where it is shorter, as a text function of
// the host's platform would give them.
std::string mid(std::string_view text, std::size_t from, std::size_t count) {
    if (from >= text.size())
        return {};
    return std::string(text.substr(from, count));
}

std::string lastChars(std::string_view text, std::size_t count) {
    return std::string(text.size() > count ? text.substr(text.size() - count) : text);
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

void copyOver(const std::string& source, const std::string& target) {
    auto from = hostpath::resolve(source);
    auto to = hostpath::resolve(target);
    auto temp = to;
    temp += ".restoring";
    std::error_code ec;
    fs::remove(temp, ec);
    if (!fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec) || ec) {
        fs::remove(temp, ec);
        throw std::runtime_error("The file " + target + " could not be restored from " + source +
                                 ".");
    }
    fs::rename(temp, to, ec);
    if (ec) {
        fs::remove(temp, ec);
        throw std::runtime_error("The file " + target + " could not be replaced; it is unchanged.");
    }
}

} // namespace

const char* personPrefix(ImportType type) {
    switch (type) {
    case ImportType::ActiveEmployees:
        return "newhire";
    case ImportType::Qualifiers:
        return "qualife";
    default:
        return "partici";
    }
}

const char* personTarget(ImportType type) {
    switch (type) {
    case ImportType::ActiveEmployees:
        return "Newhire.dat";
    case ImportType::Qualifiers:
        return "Qualifer.dat";
    default:
        return "Particip.dat";
    }
}

std::string captionFor(std::string_view fileName) {
    auto stamp = lastChars(fileName, 26);
    return "Restore Point - " + mid(stamp, 0, 10) + " at " + mid(stamp, 14, 2) + ":" +
           mid(stamp, 17, 2) + ":" + mid(stamp, 20, 2);
}

std::optional<std::vector<RestorePoint>> listRestorePoints(const std::string& accountDir,
                                                           ImportType type) {
    const std::string folder = accountDir + "Restore\\";
    auto native = hostpath::resolve(folder);
    std::error_code ec;
    if (!fs::is_directory(native, ec))
        return std::nullopt;

    std::vector<std::string> names;
    for (auto it = fs::directory_iterator(native, ec); !ec && it != fs::directory_iterator();
         it.increment(ec))
        if (!it->is_directory(ec))
            names.push_back(hostpath::fromNative(it->path().filename()));
    std::sort(names.begin(), names.end());

    std::vector<RestorePoint> points;
    for (const auto& name : names) {
        if (lower(name.substr(0, 7)) != personPrefix(type))
            continue;
        RestorePoint p;
        p.Caption = captionFor(name);
        p.PersonFile = folder + name;
        auto stamp = lastChars(name, 26);
        if (hostpath::isFile(folder + "Company_" + stamp))
            p.CompanyFile = folder + "Company_" + stamp;
        if (hostpath::isFile(folder + "Insplan_" + stamp))
            p.PlanFile = folder + "Insplan_" + stamp;
        points.push_back(std::move(p));
    }
    return points;
}

void restoreFiles(const RestorePoint& point, const std::string& accountDir, ImportType type,
                  bool company, bool plan) {
    copyOver(point.PersonFile, accountDir + personTarget(type));
    if (company && !point.CompanyFile.empty())
        copyOver(point.CompanyFile, accountDir + "Company.dat");
    if (plan && !point.PlanFile.empty())
        copyOver(point.PlanFile, accountDir + "Insplan.dat");
}

} // namespace restore
