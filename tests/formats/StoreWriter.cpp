// A process that changes the format store once: `store-writer FOLDER append NAME` or
// `store-writer FOLDER delete NAME`. The tests that kill a writer part-way run it with
// TARNFIELD_CRASH_AT set.
#include "formats/FormatStore.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4)
        return 64;
    const std::string folder = argv[1];
    const std::string op = argv[2];
    formats::FormatStore store(folder + std::string(1, std::filesystem::path::preferred_separator));
    try {
        if (op == "append")
            store.Append(argv[3], "EMPLOYEE", {"Last Name", "First Name"});
        else if (op == "delete")
            store.DeleteByName(argv[3]);
        else
            return 64;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
