// A folder of this fuzzing process's own, and writing the input into it as a file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

namespace fuzzfiles {

inline const std::filesystem::path& folder() {
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() /
                 ("tarnfield-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

inline void write(const std::filesystem::path& path, std::string_view bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

inline std::string read(const std::filesystem::path& path) {
    std::string out;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[1 << 14];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            out.append(buffer, got);
        std::fclose(f);
    }
    return out;
}

// The folder as a host path, with its trailing separator.
inline std::string hostFolder() {
    return folder().string() + "/";
}

// Stops the run with a message when an expectation fails; libFuzzer then keeps the input.
inline void expect(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "expectation failed: %s\n", what);
        std::abort();
    }
}

} // namespace fuzzfiles
