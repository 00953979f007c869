// Real zip archives built with libzip, for the unzip tests.
#pragma once

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <zip.h>

namespace testsupport {

struct ArchiveEntry {
    std::string name; // a name ending in '/' is a folder
    std::string data;
    bool link = false; // stored as a Unix symbolic link
};

inline void makeArchive(const std::filesystem::path& file,
                        const std::vector<ArchiveEntry>& entries) {
    int error = 0;
    zip_t* z = zip_open(file.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(z, nullptr);
    for (const auto& e : entries) {
        zip_int64_t index = -1;
        if (e.name.back() == '/') {
            index = zip_dir_add(z, e.name.c_str(), ZIP_FL_ENC_UTF_8);
        } else {
            // libzip frees the copy with the archive.
            char* copy = static_cast<char*>(std::malloc(e.data.size() + 1));
            std::memcpy(copy, e.data.data(), e.data.size());
            zip_source_t* src = zip_source_buffer(z, copy, e.data.size(), 1);
            index = zip_file_add(z, e.name.c_str(), src, ZIP_FL_ENC_UTF_8);
        }
        ASSERT_GE(index, 0) << e.name;
        if (e.link)
            zip_file_set_external_attributes(z, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX,
                                             (0120777u) << 16);
    }
    ASSERT_EQ(zip_close(z), 0);
}

} // namespace testsupport
