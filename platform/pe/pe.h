#pragma once
// A reader of PE (Windows executable) images over bytes in memory: the
// machine type, 32- or 64-bit optional header, the resource tree and the
// string tables. It never touches the disk (platform/pe/pefile.h reads files).
//
// The bytes are untrusted: every read is bounds-checked and goes through
// memcpy, so odd offsets are harmless. The resource tree is walked as the
// loader walks it, exactly three levels (type, name, language) ending in
// data entries, so a loop in the tree can only repeat entries, never recurse;
// a budget on entries visited bounds the work a hostile file can cause.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/core/result.h"
#include "platform/core/wintypes.h"

namespace win {

inline constexpr WORD IMAGE_FILE_MACHINE_I386 = 0x014C;
inline constexpr WORD IMAGE_FILE_MACHINE_AMD64 = 0x8664;

inline constexpr WORD RT_STRING = 6;
inline constexpr WORD RT_VERSION = 16;
inline constexpr WORD VS_VERSION_INFO = 1; // the id of the version resource

} // namespace win

namespace winsys {

using ByteSpan = std::span<const std::uint8_t>;

// A resource type or name: a 16-bit id, or a name (compared without regard
// to case, as the loader compares them).
struct ResourceId {
    bool named = false;
    win::WORD id = 0;
    std::string name;

    static ResourceId number(win::WORD n) { return {false, n, {}}; }
    static ResourceId text(std::string s) { return {true, 0, std::move(s)}; }
    bool matches(const ResourceId& other) const;
};

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    win::WORD language = 0;
    win::DWORD codePage = 0;
    ByteSpan data; // inside the image's bytes
};

// The file header facts, readable without the rest of the image.
struct PeHeaders {
    win::WORD machine = 0; // IMAGE_FILE_MACHINE_*, or whatever number the file holds
    bool pe32plus = false; // optional header magic 0x20B (64-bit), else 0x10B
};

// Reads the DOS header, the "PE\0\0" signature, the file header and the
// optional header's magic. ERROR_BAD_EXE_FORMAT with a reason otherwise.
Result<PeHeaders> parsePeHeaders(ByteSpan file);

class PeImage {
public:
    // The image keeps a view of `file`: the bytes must outlive it.
    // ERROR_BAD_EXE_FORMAT when the headers or the section table are unreadable.
    static Result<PeImage> parse(ByteSpan file);

    win::WORD machine() const { return headers_.machine; }
    bool is64Bit() const { return headers_.pe32plus; }
    bool hasResources() const { return !rsrc_.empty(); }

    // Every resource in directory order. A damaged directory counts as empty;
    // the walk gives up past its budget (kMaxEntriesVisited directory entries,
    // kMaxNameUnits characters of names), which no real image comes near.
    std::vector<ResourceEntry> resources() const;

    // One resource's data. Without a language the loader's choice: neutral,
    // then English (United States), then the first listed. Fails with
    //   ERROR_RESOURCE_DATA_NOT_FOUND  no (readable) resource section, or data out of bounds
    //   ERROR_RESOURCE_TYPE_NOT_FOUND  no such type
    //   ERROR_RESOURCE_NAME_NOT_FOUND  no such name
    //   ERROR_RESOURCE_LANG_NOT_FOUND  not in that language (or in none readable)
    Result<ByteSpan> findResource(const ResourceId& type, const ResourceId& name,
                                  std::optional<win::WORD> language = std::nullopt) const;

    // String `id` of the RT_STRING tables (block id/16 + 1, entry id%16).
    // Errors as findResource for the block; an empty entry, one cut short, or
    // an id above 0xFFFF is ERROR_RESOURCE_NAME_NOT_FOUND.
    Result<std::string> loadString(win::UINT id) const;

    static constexpr std::size_t kMaxEntriesVisited = 1u << 16;
    static constexpr std::size_t kMaxNameUnits = 1u << 20;

private:
    struct Section {
        std::uint32_t rva = 0;
        std::uint32_t rawSize = 0;
        std::uint32_t rawOffset = 0;
    };
    struct DirEntry {
        win::DWORD name = 0;   // high bit: offset of a counted name, else the id
        win::DWORD target = 0; // high bit: offset of a subdirectory, else of a data entry
    };
    // What one walk may still spend: directory entries read, and characters
    // of names decoded or copied into results.
    struct Budget {
        std::size_t entries = kMaxEntriesVisited;
        std::size_t nameUnits = kMaxNameUnits;
    };

    // The file bytes from `rva` to the end of its section's data (or of the file).
    std::optional<ByteSpan> sectionTail(std::uint32_t rva) const;
    // The file bytes behind [rva, rva + size), when all of them lie in one section.
    std::optional<ByteSpan> mapRva(std::uint32_t rva, std::uint32_t size) const;
    std::optional<std::vector<DirEntry>> readDirectory(win::DWORD target, Budget& budget) const;
    std::optional<ResourceId> entryId(const DirEntry& e, Budget& budget) const;
    std::optional<ResourceEntry> readDataEntry(win::DWORD target) const;
    const DirEntry* findEntry(const std::vector<DirEntry>& entries, const ResourceId& id,
                              Budget& budget) const;

    ByteSpan file_;
    PeHeaders headers_;
    std::vector<Section> sections_;
    ByteSpan rsrc_; // from the resource directory to the end of its section's data
};

} // namespace winsys
