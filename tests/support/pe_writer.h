#pragma once
// Small, valid PE files for tests: a resource-only DLL, PE32 for i386 and
// PE32+ for AMD64, with one .rsrc section holding a version resource,
// string-table entries and any other resources, or with no section at all.
//
//   PeSpec spec;
//   spec.machine = win::IMAGE_FILE_MACHINE_AMD64;
//   spec.version = PeVersion{.fileVersionMS = 0x00010002, .tables = {{0x0409, 1200, {{"CompanyName", "Acme"}}}}};
//   spec.strings[100] = "Vendrel Sorlix";
//   writePe(prefix.host("C:\\x\\np.dll"), spec);

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/wintypes.h"
#include "platform/pe/pe.h"

namespace testsupport {

// One translation of the version resource and its string table.
struct PeVersionTable {
    win::WORD language = 0x0409;
    win::WORD codePage = 1200;
    std::vector<std::pair<std::string, std::string>> strings; // in this order
};

struct PeVersion {
    win::DWORD fileVersionMS = 0, fileVersionLS = 0;
    win::DWORD productVersionMS = 0, productVersionLS = 0;
    win::DWORD fileFlags = 0;
    win::DWORD fileOS = 0x00040004; // VOS_NT_WINDOWS32
    win::DWORD fileType = 2;        // VFT_DLL
    std::vector<PeVersionTable> tables;
};

struct PeRawResource {
    winsys::ResourceId type;
    winsys::ResourceId name;
    win::WORD language = 0;
    std::vector<std::uint8_t> data;
};

struct PeSpec {
    win::WORD machine = win::IMAGE_FILE_MACHINE_I386; // AMD64 and ARM64 get PE32+
    std::optional<PeVersion> version;
    std::map<win::UINT, std::string> strings; // RT_STRING entries by id
    win::WORD language = 0x0409;              // of the version and string resources
    std::vector<PeRawResource> extra;
};

// File offsets of what the builder wrote, for tests that damage it.
struct PeLayout {
    std::size_t ntHeaders = 0;
    std::size_t optionalHeader = 0;
    std::size_t resourceDirectory = 0; // the data directory entry (RVA, size)
    std::size_t sectionTable = 0;
    std::size_t rsrc = 0;              // 0 when the file has no resources
    std::uint32_t rsrcRva = 0;
    std::size_t versionData = 0;       // 0 when there is no version resource
    std::size_t versionSize = 0;
};

struct PeFile {
    std::vector<std::uint8_t> bytes;
    PeLayout layout;
};

PeFile buildPe(const PeSpec& spec);
// Writes the file, creating its folders.
void writePe(const std::filesystem::path& hostPath, const PeSpec& spec);

// The VS_VERSIONINFO block alone, as it lies in the resource.
std::vector<std::uint8_t> buildVersionBlock(const PeVersion& version);

} // namespace testsupport
