#include "formats/FormatStore.h"

#include "platform/Ansi.h"
#include "platform/AtomicFile.h"
#include "platform/HostPath.h"

namespace fs = std::filesystem;
using records::RecordFile;

namespace formats {

FormatRecord FormatRecord::decode(const records::Record& record) {
    FormatRecord f;
    f.name = record.text(0, kNameWidth);
    f.type = record.text(kNameWidth, kTypeWidth);
    for (std::size_t k = 0; k < kFieldCount; ++k)
        f.fields[k] = record.text(kNameWidth + kTypeWidth + kFieldWidth * k, kFieldWidth);
    return f;
}

records::Record FormatRecord::encode() const {
    records::Record r(kLength);
    r.setText(0, kNameWidth, name);
    r.setText(kNameWidth, kTypeWidth, type);
    for (std::size_t k = 0; k < kFieldCount; ++k)
        r.setText(kNameWidth + kTypeWidth + kFieldWidth * k, kFieldWidth, fields[k]);
    return r;
}

FormatStore::FormatStore(std::string appDir) : appDir_(std::move(appDir)) {}

fs::path FormatStore::file(const char* name) const {
    return hostpath::resolve(appDir_ + name);
}

std::int64_t FormatStore::Count() const {
    // A store that is there is only read: a read-only Formats.Dat serves every run that reads.
    std::error_code ec;
    const auto mode =
        fs::exists(file(kStoreFile), ec) ? RecordFile::Mode::Read : RecordFile::Mode::ReadWrite;
    RecordFile store(file(kStoreFile), FormatRecord::kLength, mode);
    return store.count(records::CountRule::Rounded);
}

std::vector<FormatRecord> FormatStore::readAll() const {
    RecordFile store(file(kStoreFile), FormatRecord::kLength, RecordFile::Mode::Read);
    std::vector<FormatRecord> out;
    auto n = store.count(records::CountRule::Rounded);
    for (std::int64_t i = 1; i <= n; ++i)
        out.push_back(FormatRecord::decode(store.read(i)));
    return out;
}

bool FormatStore::HasType(const std::string& type) const {
    for (const auto& f : readAll())
        if (ansi::trim(f.type) == type)
            return true;
    return false;
}

std::vector<std::string> FormatStore::NamesOfType(const std::string& type) const {
    std::vector<std::string> names;
    for (const auto& f : readAll())
        if (ansi::trim(f.type) == type)
            names.emplace_back(ansi::trim(f.name));
    return names;
}

std::vector<std::string> FormatStore::AllNames() const {
    std::vector<std::string> names;
    for (const auto& f : readAll())
        names.emplace_back(ansi::trim(f.name));
    return names;
}

void FormatStore::Append(const std::string& name, const std::string& type,
                         const std::vector<std::string>& labels) const {
    auto all = readAll();
    FormatRecord f;
    f.name = ansi::trim(name);
    f.type = ansi::trim(type);
    for (std::size_t k = 0; k < labels.size() && k < FormatRecord::kFieldCount; ++k)
        f.fields[k] = ansi::trimRight(labels[k]);
    all.push_back(std::move(f));
    const auto store = file(kStoreFile);
    atomicfile::removeLeftovers(store);
    replaceStore(atomicfile::partialPath(store), all);
}

std::optional<LoadedFormat> FormatStore::LoadFormat(const std::string& type,
                                                    const std::string& name) const {
    std::optional<LoadedFormat> loaded;
    for (const auto& f : readAll()) {
        if (ansi::trim(f.type) != type || ansi::trim(f.name) != name)
            continue;
        bool anyBefore = loaded && loaded->anyLabel;
        loaded = LoadedFormat{{std::string()}, anyBefore};
        for (const auto& label : f.fields) {
            if (ansi::trim(label).empty())
                continue;
            loaded->chosenFields.emplace_back(ansi::trimRight(label));
            loaded->anyLabel = true;
        }
    }
    return loaded;
}

void FormatStore::rewriteWithout(const char* tempName,
                                 const std::function<bool(const FormatRecord&)>& drop) const {
    auto kept = readAll();
    std::erase_if(kept, drop);

    replaceStore(file(tempName), kept);
}

// The replacement is written completely and on disk before it takes the store's place in one
// rename, and the folder is synced after it, so a crash at any moment leaves either the old
// store or the new one. The crash points mark each step for the tests that kill a writer.
void FormatStore::replaceStore(const fs::path& tempPath,
                               const std::vector<FormatRecord>& records) const {
    std::error_code ec;
    fs::remove(tempPath, ec);
    {
        RecordFile temp(tempPath, FormatRecord::kLength, RecordFile::Mode::ReadWrite);
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (i + 1 == records.size())
                atomicfile::crashPoint("store", 1);
            temp.write(static_cast<std::int64_t>(i + 1), records[i].encode());
        }
        atomicfile::crashPoint("store", 2);
        temp.flushToDisk();
        temp.close();
    }
    atomicfile::crashPoint("store", 3);
    if (beforeReplace)
        beforeReplace();
    if (auto failed = atomicfile::replace(tempPath, file(kStoreFile))) {
        fs::remove(tempPath, ec);
        throw records::FileError("cannot replace " + file(kStoreFile).string() + ": " +
                                 failed.message());
    }
    atomicfile::crashPoint("store", 4);
}

void FormatStore::DeleteByName(const std::string& name) const {
    if (Count() == 0)
        return;
    rewriteWithout(kDeleteTempFile,
                   [&](const FormatRecord& f) { return ansi::trim(f.name) == name; });
}

void FormatStore::DeleteByNameIgnoringCase(const std::string& name) const {
    auto wanted = ansi::upper(ansi::trim(name));
    rewriteWithout(kDeleteByNameTempFile, [&](const FormatRecord& f) {
        return ansi::upper(ansi::trim(f.name)) == wanted;
    });
}

} // namespace formats
