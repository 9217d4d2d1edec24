#pragma once
// Writes zip packages with libzip: the packages of the demo prefix and the
// fixtures of the tests, hostile ones included (names with "..", links,
// encrypted entries, headers that lie about an entry's size).

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct ZipEntry {
    ZipEntry(std::string entryName, std::string contents = {})
        : name(std::move(entryName)), data(std::move(contents)) {}
    ZipEntry& asStored() { stored = true; return *this; }
    ZipEntry& asLink() { link = true; return *this; }
    ZipEntry& withMode(unsigned mode) { unixMode = mode; return *this; }
    ZipEntry& withTime(long long seconds) { mtime = seconds; return *this; }
    ZipEntry& withPassword(std::string p) { password = std::move(p); return *this; }

    std::string name;      // as stored, "/" between folders; "x/" makes a folder entry
    std::string data;      // contents, or the target of a link
    bool stored = false;   // not compressed, so the bytes appear in the file as given
    bool link = false;     // a Unix symbolic link
    unsigned unixMode = 0; // Unix rights (e.g. 0444) recorded for the entry, when not 0
    long long mtime = 0;   // its time (seconds since 1970), when not 0
    std::string password;  // encrypted (AES-256) with it when not empty
};

// Writes the package at a host path, entries in the order given. Throws
// std::runtime_error when libzip refuses.
void writeZip(const std::filesystem::path& file, const std::vector<ZipEntry>& entries);

// Packs every file below `folder`, named by its path below it with "/",
// in name order, compressed.
void packFolder(const std::filesystem::path& file, const std::filesystem::path& folder);

// Makes the headers of the package's first entry declare `size` as its
// uncompressed size (both its local and its central header).
void patchDeclaredSize(const std::filesystem::path& file, std::uint32_t size);

} // namespace testsupport
