#include "platform/Unzip.h"

#include "platform/HostPath.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <vector>
#include <zip.h>

namespace fs = std::filesystem;

namespace unzip {
namespace {

struct ArchiveCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

Archive openArchive(const std::string& hostPath) {
    auto native = hostpath::resolve(hostPath);
    int error = 0;
    zip_t* z = zip_open(native.string().c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!z) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        std::string message = zip_error_strerror(&e);
        zip_error_fini(&e);
        throw ArchiveError(error, hostPath + ": " + message);
    }
    return Archive(z);
}

bool isFolderEntry(const std::string& name) {
    return !name.empty() && name.back() == '/';
}

bool isLink(zip_t* z, zip_uint64_t index) {
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(z, index, 0, &opsys, &attributes) != 0)
        return false;
    constexpr zip_uint32_t kTypeMask = 0170000, kLink = 0120000;
    return opsys == ZIP_OPSYS_UNIX && ((attributes >> 16) & kTypeMask) == kLink;
}

// The item's place below the destination, or nothing when the name would leave it.
std::optional<fs::path> safeRelativePath(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\' || (name.size() >= 2 && name[1] == ':'))
        return std::nullopt;
    fs::path relative;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == '/' || name[i] == '\\') {
            auto part = name.substr(start, i - start);
            if (part == "..")
                return std::nullopt;
            if (!part.empty() && part != ".")
                relative /= hostpath::resolve(part).filename();
            start = i + 1;
        }
    }
    return relative;
}

} // namespace

std::string firstItemName(const std::string& archiveHostPath) {
    auto z = openArchive(archiveHostPath);
    auto count = zip_get_num_entries(z.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(z.get(), static_cast<zip_uint64_t>(i), 0);
        if (name && !isFolderEntry(name))
            return name;
    }
    return {};
}

int extractAll(const std::string& archiveHostPath, const std::string& destDirHostPath) {
    auto z = openArchive(archiveHostPath);
    const auto dest = hostpath::resolve(destDirHostPath);
    auto count = zip_get_num_entries(z.get(), 0);

    struct Item {
        zip_uint64_t index;
        fs::path target;
        bool folder;
    };
    std::vector<Item> items;
    for (zip_int64_t i = 0; i < count; ++i) {
        auto index = static_cast<zip_uint64_t>(i);
        const char* name = zip_get_name(z.get(), index, 0);
        if (!name)
            return kReadFailed;
        auto relative = safeRelativePath(name);
        if (!relative || isLink(z.get(), index))
            return kUnsafeEntry;
        items.push_back({index, dest / *relative, isFolderEntry(name)});
    }

    std::vector<char> buffer(1 << 16);
    for (const auto& item : items) {
        std::error_code ec;
        fs::create_directories(item.folder ? item.target : item.target.parent_path(), ec);
        if (ec)
            return kCannotCreate;
        if (item.folder)
            continue;
        zip_file_t* file = zip_fopen_index(z.get(), item.index, 0);
        if (!file)
            return kReadFailed;
        std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> closer(file, zip_fclose);
        // Written beside the target first, so a damaged item never replaces a good file.
        auto temp = item.target;
        temp += ".unzipping";
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            return kCannotCreate;
        zip_int64_t n = 0;
        while ((n = zip_fread(file, buffer.data(), buffer.size())) > 0)
            out.write(buffer.data(), n);
        out.close();
        if (n < 0 || !out) {
            fs::remove(temp, ec);
            return n < 0 ? kReadFailed : kCannotCreate;
        }
        // A read-only file of that name may not be replaced.
        if (fs::exists(item.target, ec) && (fs::status(item.target, ec).permissions() &
                                            fs::perms::owner_write) == fs::perms::none) {
            fs::remove(temp, ec);
            return kCannotCreate;
        }
        fs::rename(temp, item.target, ec);
        if (ec) {
            fs::remove(temp, ec);
            return kCannotCreate;
        }
    }
    return kSuccess;
}

} // namespace unzip
