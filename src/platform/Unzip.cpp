#include "platform/Unzip.h"

#include "platform/AtomicFile.h"
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
            // Entry names are UTF-8, taken as such rather than as the program's own text.
            if (!part.empty() && part != ".")
                relative /= fs::path(std::u8string(part.begin(), part.end()));
            start = i + 1;
        }
    }
    return relative;
}

struct Item {
    zip_uint64_t index;
    fs::path relative;
    bool folder;
};

int listItems(zip_t* z, std::vector<Item>& items) {
    auto count = zip_get_num_entries(z, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        auto index = static_cast<zip_uint64_t>(i);
        const char* name = zip_get_name(z, index, 0);
        if (!name)
            return kReadFailed;
        auto relative = safeRelativePath(name);
        if (!relative || isLink(z, index))
            return kUnsafeEntry;
        items.push_back({index, *relative, isFolderEntry(name)});
    }
    return kSuccess;
}

// The expanded sizes the archive states against the space free where the items go (the
// nearest folder of destination that exists).
bool fitsFreeSpace(zip_t* z, const std::vector<Item>& items, fs::path dest) {
    std::uint64_t total = 0;
    for (const auto& item : items) {
        zip_stat_t st;
        if (!item.folder && zip_stat_index(z, item.index, 0, &st) == 0 &&
            (st.valid & ZIP_STAT_SIZE))
            total += st.size;
    }
    std::error_code ec;
    while (!dest.empty() && !fs::exists(dest, ec) && dest.has_parent_path() &&
           dest.parent_path() != dest)
        dest = dest.parent_path();
    auto space = fs::space(dest, ec);
    return ec || total <= space.available;
}

int extractItem(zip_t* z, const Item& item, const fs::path& target, std::vector<char>& buffer) {
    zip_file_t* file = zip_fopen_index(z, item.index, 0);
    if (!file)
        return kReadFailed;
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> closer(file, zip_fclose);
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    if (!out)
        return kCannotCreate;
    zip_int64_t n = 0;
    while ((n = zip_fread(file, buffer.data(), buffer.size())) > 0)
        out.write(buffer.data(), n);
    out.close();
    if (n < 0)
        return kReadFailed;
    return out ? kSuccess : kCannotCreate;
}

int extractInto(zip_t* z, const std::vector<Item>& items, const fs::path& staging) {
    std::vector<char> buffer(1 << 16);
    for (const auto& item : items) {
        const auto target = staging / item.relative;
        std::error_code ec;
        fs::create_directories(item.folder ? target : target.parent_path(), ec);
        if (ec)
            return kCannotCreate;
        if (item.folder)
            continue;
        if (int r = extractItem(z, item, target, buffer); r != kSuccess)
            return r;
    }
    return kSuccess;
}

bool readOnly(const fs::path& file) {
    std::error_code ec;
    return fs::exists(file, ec) &&
           (fs::status(file, ec).permissions() & fs::perms::owner_write) == fs::perms::none;
}

// Every item is in the staging folder: a read-only file of an item's name is refused before
// anything moves, then each item takes its place in one rename.
int moveIntoPlace(const std::vector<Item>& items, const fs::path& staging, const fs::path& dest) {
    for (const auto& item : items)
        if (!item.folder && readOnly(dest / item.relative))
            return kCannotCreate;
    for (const auto& item : items) {
        std::error_code ec;
        const auto target = dest / item.relative;
        fs::create_directories(item.folder ? target : target.parent_path(), ec);
        if (!item.folder && !ec)
            fs::rename(staging / item.relative, target, ec);
        if (ec)
            return kCannotCreate;
    }
    atomicfile::syncFolder(dest);
    return kSuccess;
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
    auto dest = hostpath::resolve(destDirHostPath);
    // "C:\\Dest\\" names the folder Dest, beside which the staging folder goes.
    if (!dest.has_filename())
        dest = dest.parent_path();
    std::vector<Item> items;
    if (int listed = listItems(z.get(), items); listed != kSuccess)
        return listed;
    if (!fitsFreeSpace(z.get(), items, dest))
        return kDiskFull;

    const auto staging = atomicfile::partialPath(dest);
    std::error_code ec;
    fs::remove_all(staging, ec);
    int result = extractInto(z.get(), items, staging);
    if (result == kSuccess)
        result = moveIntoPlace(items, staging, dest);
    fs::remove_all(staging, ec);
    return result;
}

} // namespace unzip
