#include "tests/support/zip_writer.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <utility>
#include <stdexcept>
#include <sys/stat.h>
#include <zip.h>

namespace testsupport {

namespace {

[[noreturn]] void fail(const std::string& what, zip_t* zip) {
    const std::string reason = zip ? zip_strerror(zip) : "";
    if (zip) zip_discard(zip);
    throw std::runtime_error(what + ": " + reason);
}

std::string readAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void putLe32(std::string& bytes, std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<char>((v >> (8 * k)) & 0xff);
}

} // namespace

void writeZip(const std::filesystem::path& file, const std::vector<ZipEntry>& entries) {
    int error = 0;
    zip_t* zip = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip) throw std::runtime_error("cannot create " + file.string());
    // libzip refuses a name twice: a repeat goes in under a stand-in of the
    // same length that is put right in the written bytes.
    std::vector<std::pair<std::string, std::string>> standIns;
    std::set<std::string> used;
    for (const ZipEntry& given : entries) {
        ZipEntry e = given;
        if (!used.insert(e.name).second) {
            std::string standIn = e.name;
            standIn[0] = static_cast<char>(0x7f - standIns.size());
            standIns.emplace_back(standIn, e.name);
            e.name = standIn;
        }
        zip_int64_t index;
        if (!e.name.empty() && e.name.back() == '/') {
            index = zip_dir_add(zip, e.name.substr(0, e.name.size() - 1).c_str(), ZIP_FL_ENC_UTF_8);
        } else {
            zip_source_t* source = zip_source_buffer(zip, given.data.data(), given.data.size(), 0); // lives until zip_close
            if (!source) fail("source of " + e.name, zip);
            // Duplicate names are wanted in some fixtures, so no ZIP_FL_OVERWRITE check.
            index = zip_file_add(zip, e.name.c_str(), source, ZIP_FL_ENC_UTF_8);
            if (index < 0) zip_source_free(source);
        }
        if (index < 0) fail("entry " + e.name, zip);
        const auto i = static_cast<zip_uint64_t>(index);
        if (e.stored && zip_set_file_compression(zip, i, ZIP_CM_STORE, 0) != 0) fail("store " + e.name, zip);
        if (e.link &&
            zip_file_set_external_attributes(zip, i, 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16) != 0)
            fail("link " + e.name, zip);
        if (e.unixMode &&
            zip_file_set_external_attributes(zip, i, 0, ZIP_OPSYS_UNIX, (S_IFREG | e.unixMode) << 16) != 0)
            fail("mode " + e.name, zip);
        if (e.mtime && zip_file_set_mtime(zip, i, static_cast<time_t>(e.mtime), 0) != 0) fail("time " + e.name, zip);
        if (!e.password.empty() && zip_file_set_encryption(zip, i, ZIP_EM_AES_256, e.password.c_str()) != 0)
            fail("encrypt " + e.name, zip);
    }
    if (zip_close(zip) != 0) fail("write " + file.string(), zip);
    if (standIns.empty()) return;
    std::string bytes = readAll(file);
    for (const auto& [standIn, name] : standIns)
        for (std::size_t at = bytes.find(standIn); at != std::string::npos; at = bytes.find(standIn, at + 1))
            bytes.replace(at, name.size(), name);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

void packFolder(const std::filesystem::path& file, const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    std::vector<ZipEntry> entries;
    for (const auto& f : files) entries.emplace_back(f.lexically_relative(folder).generic_string(), readAll(f));
    writeZip(file, entries);
}

void patchDeclaredSize(const std::filesystem::path& file, std::uint32_t size) {
    std::string bytes = readAll(file);
    const std::size_t local = bytes.find(std::string("PK\x03\x04", 4));
    const std::size_t central = bytes.find(std::string("PK\x01\x02", 4));
    if (local == std::string::npos || central == std::string::npos || central + 28 > bytes.size())
        throw std::runtime_error("no entry in " + file.string());
    putLe32(bytes, local + 22, size);
    putLe32(bytes, central + 24, size);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

} // namespace testsupport
