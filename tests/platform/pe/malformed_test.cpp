// Damaged and hostile images: every failure is an error code, never a crash,
// a hang or a read outside the bytes.

#include "platform/pe/pe.h"

#include <algorithm>
#include <chrono>
#include <functional>

#include <gtest/gtest.h>

#include "tests/support/pe_writer.h"

using namespace winsys;
using namespace testsupport;

namespace {

using Bytes = std::vector<std::uint8_t>;

ResourceId num(win::WORD n) { return ResourceId::number(n); }

std::uint32_t get32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void put16(Bytes& b, std::size_t at, unsigned v) {
    b[at] = v & 0xFF;
    b[at + 1] = (v >> 8) & 0xFF;
}

PeFile versionOnly(win::WORD machine = win::IMAGE_FILE_MACHINE_I386) {
    PeSpec spec;
    spec.machine = machine;
    PeVersion version;
    version.tables = {{0x0409, 1200, {{"CompanyName", "Acme"}}}};
    spec.version = version;
    return buildPe(spec);
}

// File offsets along the only path of a one-resource tree: the root's entry
// (the type), the type's directory and entry (the name), the name's directory
// and entry (the language), and the data entry.
struct Tree {
    std::size_t rsrc, typeEntry, namesDir, nameEntry, langsDir, langEntry, dataEntry;
    explicit Tree(const PeFile& f) {
        rsrc = f.layout.rsrc;
        typeEntry = rsrc + 16;
        namesDir = rsrc + (get32(f.bytes, typeEntry + 4) & 0x7FFFFFFF);
        nameEntry = namesDir + 16;
        langsDir = rsrc + (get32(f.bytes, nameEntry + 4) & 0x7FFFFFFF);
        langEntry = langsDir + 16;
        dataEntry = rsrc + get32(f.bytes, langEntry + 4);
    }
};

} // namespace

TEST(PeMalformed, BadHeaders) {
    const PeFile good = versionOnly();
    const std::size_t nt = good.layout.ntHeaders;
    struct Case { const char* label; std::function<void(Bytes&)> damage; };
    const Case cases[] = {
        {"empty", [](Bytes& b) { b.clear(); }},
        {"shorter than a DOS header", [](Bytes& b) { b.resize(63); }},
        {"no MZ", [](Bytes& b) { b[0] = 'X'; }},
        {"header offset past the end", [](Bytes& b) { put32(b, 0x3C, 0xFFFFFFFF); }},
        {"header offset leaves no room", [](Bytes& b) { put32(b, 0x3C, static_cast<std::uint32_t>(b.size() - 10)); }},
        {"header offset 0", [](Bytes& b) { put32(b, 0x3C, 0); }},
        {"bad signature", [&](Bytes& b) { b[nt + 2] = 1; }},
        {"unknown optional header magic", [&](Bytes& b) { put16(b, nt + 24, 0x107); }},
        {"no optional header", [&](Bytes& b) { put16(b, nt + 20, 0); }},
        {"optional header size past the end", [&](Bytes& b) { put16(b, nt + 20, 0xFFFF); }},
        {"section count past the end", [&](Bytes& b) { put16(b, nt + 6, 0xFFFF); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Bytes b = good.bytes;
        c.damage(b);
        auto image = PeImage::parse(b);
        ASSERT_FALSE(image.ok());
        EXPECT_EQ(image.error().code, win::ERROR_BAD_EXE_FORMAT);
        EXPECT_FALSE(image.error().message.empty());
    }
}

TEST(PeMalformed, DamagedResourceTree) {
    const PeFile good = versionOnly();
    const Tree t(good);
    const std::size_t section = good.layout.sectionTable;
    const std::size_t oddCopy = (good.layout.versionData + good.layout.versionSize + 4) | 1;
    ASSERT_LE(oddCopy + 24, good.bytes.size());
    struct Case { const char* label; std::function<void(Bytes&)> damage; win::DWORD error; };
    const Case cases[] = {
        {"untouched", [](Bytes&) {}, 0},
        {"directory address past every section", [&](Bytes& b) { put32(b, good.layout.resourceDirectory, 0xFFFFFF00); }, win::ERROR_RESOURCE_DATA_NOT_FOUND},
        {"directory address in the headers", [&](Bytes& b) { put32(b, good.layout.resourceDirectory, 0x100); }, win::ERROR_RESOURCE_DATA_NOT_FOUND},
        {"section data past the end of the file", [&](Bytes& b) { put32(b, section + 20, 0x7FFFFFF0); }, win::ERROR_RESOURCE_DATA_NOT_FOUND},
        {"section without data", [&](Bytes& b) { put32(b, section + 16, 0); }, win::ERROR_RESOURCE_DATA_NOT_FOUND},
        // The file's end bounds a section that claims more.
        {"section size beyond the file", [&](Bytes& b) { put32(b, section + 16, 0xFFFFFFFF); }, 0},
        {"root entry count past the end", [&](Bytes& b) { put16(b, t.rsrc + 14, 0xFFFF); }, win::ERROR_RESOURCE_DATA_NOT_FOUND},
        {"type's directory past the end", [&](Bytes& b) { put32(b, t.typeEntry + 4, 0x80FFFFF0); }, win::ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"type entry leads to data", [&](Bytes& b) { put32(b, t.typeEntry + 4, get32(b, t.typeEntry + 4) & 0x7FFFFFFF); }, win::ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"type name past the end", [&](Bytes& b) { put32(b, t.typeEntry, 0x80FFFFF0); }, win::ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"type id above 16 bits", [&](Bytes& b) { put32(b, t.typeEntry, 0x00010010); }, win::ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"name's directory past the end", [&](Bytes& b) { put32(b, t.nameEntry + 4, 0x80FFFFF0); }, win::ERROR_RESOURCE_NAME_NOT_FOUND},
        {"language entry leads to a directory", [&](Bytes& b) { put32(b, t.langEntry + 4, 0x80000000u | (t.namesDir - t.rsrc)); }, win::ERROR_RESOURCE_LANG_NOT_FOUND},
        {"data entry past the end", [&](Bytes& b) { put32(b, t.langEntry + 4, 0x00FFFFF0); }, win::ERROR_RESOURCE_DATA_NOT_FOUND},
        {"data address past the end", [&](Bytes& b) { put32(b, t.dataEntry, 0xFFFFFFF0); }, win::ERROR_RESOURCE_DATA_NOT_FOUND},
        {"data address before the section", [&](Bytes& b) { put32(b, t.dataEntry, 0x10); }, win::ERROR_RESOURCE_DATA_NOT_FOUND},
        {"data size past the end", [&](Bytes& b) { put32(b, t.dataEntry + 4, 0xFFFFFFFF); }, win::ERROR_RESOURCE_DATA_NOT_FOUND},
        {"directory at an odd offset", [&](Bytes& b) {
             std::copy_n(b.begin() + static_cast<std::ptrdiff_t>(t.namesDir), 24, b.begin() + static_cast<std::ptrdiff_t>(oddCopy));
             put32(b, t.typeEntry + 4, 0x80000000u | static_cast<std::uint32_t>(oddCopy - t.rsrc));
         }, 0},
        {"loop: type entry leads back to the root", [&](Bytes& b) { put32(b, t.typeEntry + 4, 0x80000000u); }, win::ERROR_RESOURCE_NAME_NOT_FOUND},
        {"loop: name entry leads back to the root", [&](Bytes& b) { put32(b, t.nameEntry + 4, 0x80000000u); }, win::ERROR_RESOURCE_LANG_NOT_FOUND},
        {"loop: language entry leads to its own directory", [&](Bytes& b) { put32(b, t.langEntry + 4, 0x80000000u | (t.langsDir - t.rsrc)); }, win::ERROR_RESOURCE_LANG_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Bytes b = good.bytes;
        c.damage(b);
        auto image = PeImage::parse(b);
        ASSERT_TRUE(image.ok()) << image.error().message;
        auto data = image->findResource(num(win::RT_VERSION), num(win::VS_VERSION_INFO));
        if (c.error == 0) {
            ASSERT_TRUE(data.ok()) << data.error().message;
            EXPECT_EQ(data->size(), good.layout.versionSize);
        } else {
            ASSERT_FALSE(data.ok());
            EXPECT_EQ(data.error().code, c.error);
        }
        // The listing agrees with the lookup.
        EXPECT_EQ(image->resources().size(), c.error == 0 ? 1u : 0u);
    }
}

TEST(PeMalformed, TruncatedAtEveryOffset) {
    for (const win::WORD machine : {win::IMAGE_FILE_MACHINE_I386, win::IMAGE_FILE_MACHINE_AMD64}) {
        SCOPED_TRACE(machine);
        PeSpec spec;
        spec.machine = machine;
        PeVersion version;
        version.tables = {{0x0409, 1200, {{"CompanyName", "Acme"}, {"ProductName", "Widget"}}}};
        spec.version = version;
        spec.strings = {{0, "zero"}, {100, "hundred"}};
        const PeFile file = buildPe(spec);
        const std::size_t headersEnd = file.layout.sectionTable + 40;
        auto whole = PeImage::parse(file.bytes);
        ASSERT_TRUE(whole.ok());
        const auto entries = whole->resources();
        ASSERT_EQ(entries.size(), 3u);

        for (std::size_t cut = 0; cut < file.bytes.size(); ++cut) {
            SCOPED_TRACE(cut);
            const Bytes b(file.bytes.begin(), file.bytes.begin() + static_cast<std::ptrdiff_t>(cut));
            auto image = PeImage::parse(b);
            if (cut < headersEnd) {
                ASSERT_FALSE(image.ok());
                ASSERT_EQ(image.error().code, win::ERROR_BAD_EXE_FORMAT);
                continue;
            }
            ASSERT_TRUE(image.ok());
            // A resource reads, whole and unchanged, exactly when its data survived the cut.
            for (const auto& e : entries) {
                const std::size_t end = static_cast<std::size_t>(e.data.data() - file.bytes.data()) + e.data.size();
                auto data = image->findResource(e.type, e.name, e.language);
                ASSERT_EQ(data.ok(), cut >= end) << e.type.id;
                if (data) {
                    ASSERT_TRUE(std::equal(data->begin(), data->end(), e.data.begin(), e.data.end()));
                }
            }
        }
    }
}

TEST(PeMalformed, HostileTreesStayBounded) {
    // A big resource gives the section room for hand-made directories.
    PeSpec spec;
    spec.extra = {{num(10), num(1), 0, Bytes(80000, 0)}};
    const PeFile room = buildPe(spec);
    const std::size_t rsrc = room.layout.rsrc;
    const std::uint32_t rva = room.layout.rsrcRva;

    struct Case { const char* label; std::function<void(Bytes&)> build; std::size_t minListed; };
    const Case cases[] = {
        // Thousands of entries, each leading back to the root.
        {"wide loop", [&](Bytes& b) {
             const unsigned n = 4000;
             put16(b, rsrc + 12, 0);
             put16(b, rsrc + 14, n);
             for (unsigned i = 0; i < n; ++i) {
                 put32(b, rsrc + 16 + 8 * i, i);
                 put32(b, rsrc + 20 + 8 * i, 0x80000000u);
             }
         }, 0},
        // 64 types x 64 names x 64 languages, all sharing one directory each level:
        // 262144 resources if nothing stopped the walk.
        {"shared directories", [&](Bytes& b) {
             const unsigned n = 64;
             const std::size_t names = 16 + 8 * n, langs = 2 * names, data = 3 * names;
             for (std::size_t dir : {std::size_t{0}, names, langs}) {
                 put16(b, rsrc + dir + 12, 0);
                 put16(b, rsrc + dir + 14, n);
                 for (unsigned i = 0; i < n; ++i) {
                     put32(b, rsrc + dir + 16 + 8 * i, i);
                     const std::size_t next = dir == 0 ? (0x80000000u | names) : dir == names ? (0x80000000u | langs) : data;
                     put32(b, rsrc + dir + 20 + 8 * i, static_cast<std::uint32_t>(next));
                 }
             }
             put32(b, rsrc + data, static_cast<std::uint32_t>(rva + data + 16));
             put32(b, rsrc + data + 4, 4);
         }, 1000},
        // Thousands of types and names sharing one long name: decoding it for
        // every entry the walk may visit would take billions of steps.
        {"long names everywhere", [&](Bytes& b) {
             const unsigned types = 2000, names = 30, units = 30000;
             const std::size_t namesDir = 16 + 8 * types, langsDir = namesDir + 16 + 8 * names, name = langsDir + 16;
             auto dir = [&](std::size_t at, unsigned n, std::size_t target) {
                 put16(b, rsrc + at + 12, n);
                 put16(b, rsrc + at + 14, 0);
                 for (unsigned i = 0; i < n; ++i) {
                     put32(b, rsrc + at + 16 + 8 * i, 0x80000000u | static_cast<std::uint32_t>(name));
                     put32(b, rsrc + at + 20 + 8 * i, 0x80000000u | static_cast<std::uint32_t>(target));
                 }
             };
             dir(0, types, namesDir);
             dir(namesDir, names, langsDir);
             dir(langsDir, 0, 0);
             put16(b, rsrc + name, units);
             for (unsigned i = 0; i < units; ++i) put16(b, rsrc + name + 2 + 2 * i, 'A');
         }, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Bytes b = room.bytes;
        c.build(b);
        auto image = PeImage::parse(b);
        ASSERT_TRUE(image.ok());
        const auto start = std::chrono::steady_clock::now();
        const auto all = image->resources();
        EXPECT_FALSE(image->findResource(ResourceId::text("B"), num(1)).ok());
        EXPECT_FALSE(image->loadString(5).ok());
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_LE(all.size(), PeImage::kMaxEntriesVisited);
        EXPECT_GE(all.size(), c.minListed);
        for (const auto& e : all) {
            ASSERT_GE(e.data.data(), b.data());
            ASSERT_LE(e.data.data() + e.data.size(), b.data() + b.size());
        }
        EXPECT_LT(took, std::chrono::seconds(3));
    }
}
