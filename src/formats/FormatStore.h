// The store of saved formats, Formats.Dat in the program folder: one 2562-byte record per saved
// field structure. Names are not unique; every comparison is made on trimmed values.
#pragma once

#include "platform/RecordFile.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace formats {

//  OFFSET          SIZE MEANING
//       0            50 name, padded with blanks
//      50            12 file type name ("EMPLOYEE", ...), padded with blanks
//      62 + 50(k-1)  50 label k (k = 1..50), leading blanks kept; 50 blanks when unused
struct FormatRecord {
    static constexpr std::uint32_t kLength = 2562;
    static constexpr std::size_t kNameWidth = 50;
    static constexpr std::size_t kTypeWidth = 12;
    static constexpr std::size_t kFieldWidth = 50;
    static constexpr std::size_t kFieldCount = 50;

    std::string name;
    std::string type;
    std::array<std::string, kFieldCount> fields;

    static FormatRecord decode(const records::Record& record);
    records::Record encode() const;
};

inline constexpr const char* kStoreFile = "Formats.Dat";
inline constexpr const char* kDeleteTempFile = "TempFormats.Dat";
inline constexpr const char* kDeleteByNameTempFile = "Formats2.Dat";

// What LoadFormat found: the labels at indexes 1..k (index 0 holds no label), and whether the
// matching records gave at least one label.
struct LoadedFormat {
    std::vector<std::string> chosenFields;
    bool anyLabel = false;
};

class FormatStore {
public:
    // appDir: the program folder with its trailing separator.
    explicit FormatStore(std::string appDir);

    // Number of records; a missing store is created empty.
    std::int64_t Count() const;
    bool HasType(const std::string& type) const;
    std::vector<std::string> NamesOfType(const std::string& type) const;
    std::vector<std::string> AllNames() const;

    // Adds a record after the last one; labels beyond the fiftieth are not stored. The store is
    // replaced whole, as a deletion replaces it.
    void Append(const std::string& name, const std::string& type,
                const std::vector<std::string>& labels) const;

    // The last record of type T named N wins; nullopt when no record matches.
    std::optional<LoadedFormat> LoadFormat(const std::string& type, const std::string& name) const;

    // Removes every record named N (exact), whatever its type.
    void DeleteByName(const std::string& name) const;
    // Removes every record whose name equals N in any letter case, whatever its type.
    void DeleteByNameIgnoringCase(const std::string& name) const;

    // Called after the replacement store is complete on disk and before it replaces the old
    // one: the moment a crash would hit between the two. For tests.
    std::function<void()> beforeReplace;

private:
    std::filesystem::path file(const char* name) const;
    std::vector<FormatRecord> readAll() const;
    void rewriteWithout(const char* tempName,
                        const std::function<bool(const FormatRecord&)>& drop) const;
    void replaceStore(const std::filesystem::path& tempPath,
                      const std::vector<FormatRecord>& records) const;

    std::string appDir_;
};

} // namespace formats
