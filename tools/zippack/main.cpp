// zippack ARCHIVE FOLDER: packs every file below FOLDER into the zip
// ARCHIVE, named by its path below FOLDER. The demo makes its extension
// packages (.xpi, .oex) with it.

#include <cstdio>
#include <exception>
#include <filesystem>

#include "tests/support/zip_writer.h"

int main(int argc, char** argv) {
    if (argc != 3 || !std::filesystem::is_directory(argv[2])) {
        std::fprintf(stderr, "usage: zippack ARCHIVE FOLDER\n");
        return 2;
    }
    try {
        testsupport::packFolder(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zippack: %s\n", e.what());
        return 1;
    }
    return 0;
}
