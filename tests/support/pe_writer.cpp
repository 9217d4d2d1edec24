#include "tests/support/pe_writer.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "platform/core/text.h"

namespace testsupport {

namespace {

using win::DWORD;
using win::WORD;

constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kRsrcRva = 0x1000;
constexpr std::size_t kNtHeaders = 0x40;

std::size_t alignUp(std::size_t n, std::size_t a) { return (n + a - 1) / a * a; }

// Little-endian bytes, appended or patched in place.
struct Buf {
    std::vector<std::uint8_t> b;
    void u8(unsigned v) { b.push_back(static_cast<std::uint8_t>(v)); }
    void u16(unsigned v) { u8(v & 0xFF); u8((v >> 8) & 0xFF); }
    void u32(std::uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); }
    void u64(std::uint64_t v) { u32(static_cast<std::uint32_t>(v)); u32(static_cast<std::uint32_t>(v >> 32)); }
    void bytes(const std::vector<std::uint8_t>& v) { b.insert(b.end(), v.begin(), v.end()); }
    void wide(std::string_view utf8) { for (char16_t c : winsys::toUtf16(utf8)) u16(c); }
    void padTo(std::size_t n) { if (b.size() < n) b.resize(n, 0); }
    void align(std::size_t a) { padTo(alignUp(b.size(), a)); }
    void put32(std::size_t at, std::uint32_t v) { for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF; }
    void put16(std::size_t at, unsigned v) { b[at] = v & 0xFF; b[at + 1] = (v >> 8) & 0xFF; }
};

// One VS_VERSIONINFO node: header, key, value, children, 32-bit aligned.
std::vector<std::uint8_t> verNode(std::string_view key, WORD type, WORD valueLength,
                                  const std::vector<std::uint8_t>& value,
                                  const std::vector<std::vector<std::uint8_t>>& children = {}) {
    Buf n;
    n.u16(0);
    n.u16(valueLength);
    n.u16(type);
    n.wide(key);
    n.u16(0);
    n.align(4);
    n.bytes(value);
    for (const auto& c : children) {
        n.align(4);
        n.bytes(c);
    }
    n.put16(0, static_cast<unsigned>(n.b.size()));
    return n.b;
}

std::vector<std::uint8_t> textValue(std::string_view utf8) {
    Buf v;
    v.wide(utf8);
    v.u16(0);
    return v.b;
}

bool lessId(const winsys::ResourceId& a, const winsys::ResourceId& b) {
    // Named entries come first, by upper-cased name; then ids, ascending.
    if (a.named != b.named) return a.named;
    return a.named ? winsys::upperCase(a.name) < winsys::upperCase(b.name) : a.id < b.id;
}

struct LangNode { WORD id; const std::vector<std::uint8_t>* data; std::size_t entry = 0, dataAt = 0; };
struct NameNode { winsys::ResourceId id; std::vector<LangNode> langs; std::size_t dir = 0, nameAt = 0; };
struct TypeNode { winsys::ResourceId id; std::vector<NameNode> names; std::size_t dir = 0, nameAt = 0; };

template <class T>
T& slot(std::vector<T>& v, const winsys::ResourceId& id) {
    auto it = std::find_if(v.begin(), v.end(), [&](const T& x) { return !lessId(x.id, id) && !lessId(id, x.id); });
    if (it != v.end()) return *it;
    v.push_back(T{id, {}});
    return v.back();
}

std::size_t dirSize(std::size_t entries) { return 16 + 8 * entries; }

void writeDir(Buf& out, std::size_t at, const std::vector<std::pair<DWORD, DWORD>>& entries, std::size_t named) {
    out.put16(at + 12, static_cast<unsigned>(named));
    out.put16(at + 14, static_cast<unsigned>(entries.size() - named));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        out.put32(at + 16 + 8 * i, entries[i].first);
        out.put32(at + 20 + 8 * i, entries[i].second);
    }
}

// The .rsrc section's bytes: directories, data entries, names, then data.
std::vector<std::uint8_t> buildRsrc(const std::vector<PeRawResource>& all, std::size_t* versionAt) {
    std::vector<TypeNode> types;
    for (const auto& r : all) slot(slot(types, r.type).names, r.name).langs.push_back({r.language, &r.data});
    auto byId = [](const auto& a, const auto& b) { return lessId(a.id, b.id); };
    std::sort(types.begin(), types.end(), byId);
    for (auto& t : types) {
        std::sort(t.names.begin(), t.names.end(), byId);
        for (auto& n : t.names)
            std::sort(n.langs.begin(), n.langs.end(), [](const LangNode& a, const LangNode& b) { return a.id < b.id; });
    }

    std::size_t at = dirSize(types.size());
    for (auto& t : types) { t.dir = at; at += dirSize(t.names.size()); }
    for (auto& t : types)
        for (auto& n : t.names) { n.dir = at; at += dirSize(n.langs.size()); }
    for (auto& t : types)
        for (auto& n : t.names)
            for (auto& l : n.langs) { l.entry = at; at += 16; }
    auto placeName = [&](const winsys::ResourceId& id, std::size_t& nameAt) {
        if (!id.named) return;
        nameAt = at;
        at += 2 + 2 * winsys::utf16Length(id.name);
    };
    for (auto& t : types) {
        placeName(t.id, t.nameAt);
        for (auto& n : t.names) placeName(n.id, n.nameAt);
    }
    for (auto& t : types)
        for (auto& n : t.names)
            for (auto& l : n.langs) { at = alignUp(at, 8); l.dataAt = at; at += l.data->size(); }

    Buf out;
    out.padTo(at);
    auto nameField = [](const winsys::ResourceId& id, std::size_t nameAt) {
        return id.named ? DWORD(0x80000000u | nameAt) : DWORD(id.id);
    };
    auto putName = [&](const winsys::ResourceId& id, std::size_t nameAt) {
        if (!id.named) return;
        const auto units = winsys::toUtf16(id.name);
        out.put16(nameAt, static_cast<unsigned>(units.size()));
        for (std::size_t i = 0; i < units.size(); ++i) out.put16(nameAt + 2 + 2 * i, units[i]);
    };
    auto countNamed = [](const auto& v) {
        return static_cast<std::size_t>(std::count_if(v.begin(), v.end(), [](const auto& x) { return x.id.named; }));
    };
    std::vector<std::pair<DWORD, DWORD>> rootEntries;
    for (auto& t : types) {
        rootEntries.push_back({nameField(t.id, t.nameAt), DWORD(0x80000000u | t.dir)});
        putName(t.id, t.nameAt);
        std::vector<std::pair<DWORD, DWORD>> nameEntries;
        for (auto& n : t.names) {
            nameEntries.push_back({nameField(n.id, n.nameAt), DWORD(0x80000000u | n.dir)});
            putName(n.id, n.nameAt);
            std::vector<std::pair<DWORD, DWORD>> langEntries;
            for (auto& l : n.langs) {
                langEntries.push_back({l.id, DWORD(l.entry)});
                out.put32(l.entry, static_cast<DWORD>(kRsrcRva + l.dataAt));
                out.put32(l.entry + 4, static_cast<DWORD>(l.data->size()));
                std::copy(l.data->begin(), l.data->end(), out.b.begin() + static_cast<std::ptrdiff_t>(l.dataAt));
                if (!t.id.named && t.id.id == win::RT_VERSION && versionAt && !*versionAt) *versionAt = l.dataAt;
            }
            writeDir(out, n.dir, langEntries, 0);
        }
        writeDir(out, t.dir, nameEntries, countNamed(t.names));
    }
    writeDir(out, 0, rootEntries, countNamed(types));
    return out.b;
}

// Sixteen counted strings per block, block id = string id / 16 + 1.
std::vector<PeRawResource> stringBlocks(const std::map<win::UINT, std::string>& strings, WORD language) {
    std::map<WORD, std::map<unsigned, std::string>> blocks;
    for (const auto& [id, text] : strings) {
        if (id > 0xFFFF) throw std::invalid_argument("string id above 0xFFFF");
        blocks[static_cast<WORD>(id / 16 + 1)][id % 16] = text;
    }
    std::vector<PeRawResource> out;
    for (const auto& [block, entries] : blocks) {
        Buf b;
        for (unsigned i = 0; i < 16; ++i) {
            auto it = entries.find(i);
            const std::u16string units = it == entries.end() ? u"" : winsys::toUtf16(it->second);
            b.u16(static_cast<unsigned>(units.size()));
            for (char16_t c : units) b.u16(c);
        }
        out.push_back({winsys::ResourceId::number(win::RT_STRING), winsys::ResourceId::number(block), language, b.b});
    }
    return out;
}

} // namespace

std::vector<std::uint8_t> buildVersionBlock(const PeVersion& v) {
    Buf fixed;
    for (DWORD d : {win::DWORD(0xFEEF04BD), DWORD(0x00010000), v.fileVersionMS, v.fileVersionLS, v.productVersionMS,
                    v.productVersionLS, DWORD(0x3F), v.fileFlags, v.fileOS, v.fileType, DWORD(0), DWORD(0), DWORD(0)})
        fixed.u32(d);

    std::vector<std::vector<std::uint8_t>> tables;
    Buf translations;
    for (const auto& t : v.tables) {
        std::vector<std::vector<std::uint8_t>> strings;
        for (const auto& [name, text] : t.strings)
            strings.push_back(verNode(name, 1, static_cast<WORD>(winsys::utf16Length(text) + 1), textValue(text)));
        char key[9];
        std::snprintf(key, sizeof key, "%04X%04X", unsigned{t.language}, unsigned{t.codePage});
        tables.push_back(verNode(key, 1, 0, {}, strings));
        translations.u16(t.language);
        translations.u16(t.codePage);
    }
    std::vector<std::vector<std::uint8_t>> sections;
    sections.push_back(verNode("StringFileInfo", 1, 0, {}, tables));
    sections.push_back(verNode("VarFileInfo", 1, 0, {},
                               {verNode("Translation", 0, static_cast<WORD>(translations.b.size()), translations.b)}));
    return verNode("VS_VERSION_INFO", 0, static_cast<WORD>(fixed.b.size()), fixed.b, sections);
}

PeFile buildPe(const PeSpec& spec) {
    std::vector<PeRawResource> resources;
    if (spec.version)
        resources.push_back({winsys::ResourceId::number(win::RT_VERSION), winsys::ResourceId::number(win::VS_VERSION_INFO),
                             spec.language, buildVersionBlock(*spec.version)});
    for (auto& block : stringBlocks(spec.strings, spec.language)) resources.push_back(std::move(block));
    resources.insert(resources.end(), spec.extra.begin(), spec.extra.end());

    std::size_t versionInRsrc = 0;
    const std::vector<std::uint8_t> rsrc = resources.empty() ? std::vector<std::uint8_t>{} : buildRsrc(resources, &versionInRsrc);
    const bool plus = spec.machine == win::IMAGE_FILE_MACHINE_AMD64 || spec.machine == 0xAA64;
    const unsigned optionalSize = plus ? 240 : 224;
    const unsigned sections = rsrc.empty() ? 0 : 1;
    const std::uint32_t rawSize = static_cast<std::uint32_t>(alignUp(rsrc.size(), kFileAlignment));
    const std::uint32_t imageSize = static_cast<std::uint32_t>(kRsrcRva + alignUp(rsrc.size(), kSectionAlignment));

    PeFile file;
    PeLayout& L = file.layout;
    Buf b;
    b.u16(0x5A4D); // "MZ"
    b.padTo(0x3C);
    b.u32(kNtHeaders);
    b.padTo(kNtHeaders);
    L.ntHeaders = b.b.size();
    b.u32(0x00004550); // "PE\0\0"
    b.u16(spec.machine);
    b.u16(sections);
    b.u32(0);          // time stamp
    b.u32(0);
    b.u32(0);          // no symbols
    b.u16(optionalSize);
    b.u16(plus ? 0x2022 : 0x2102); // DLL | executable, plus large-address-aware or 32-bit machine

    L.optionalHeader = b.b.size();
    b.u16(plus ? 0x20B : 0x10B);
    b.u8(14), b.u8(0);   // linker version
    b.u32(0);            // size of code
    b.u32(rawSize);      // size of initialised data
    b.u32(0);
    b.u32(0);            // no entry point: a resource-only DLL
    b.u32(kRsrcRva);     // base of code
    if (plus) b.u64(0x180000000ull);
    else b.u32(kRsrcRva), b.u32(0x10000000u); // base of data, image base
    b.u32(kSectionAlignment);
    b.u32(kFileAlignment);
    b.u16(6), b.u16(0);  // OS version
    b.u16(0), b.u16(0);  // image version
    b.u16(6), b.u16(0);  // subsystem version
    b.u32(0);
    b.u32(imageSize);
    b.u32(kFileAlignment); // size of headers
    b.u32(0);              // checksum
    b.u16(2);              // GUI subsystem
    b.u16(0x0140);         // dynamic base, NX compatible
    for (int i = 0; i < 4; ++i) plus ? b.u64(0x100000) : b.u32(0x100000); // stack and heap
    b.u32(0);              // loader flags
    b.u32(16);             // data directories
    for (int i = 0; i < 16; ++i) {
        if (i == 2) L.resourceDirectory = b.b.size();
        b.u32(i == 2 && sections ? kRsrcRva : 0);
        b.u32(i == 2 && sections ? static_cast<std::uint32_t>(rsrc.size()) : 0);
    }

    L.sectionTable = b.b.size();
    if (sections) {
        for (char c : std::string_view(".rsrc\0\0\0", 8)) b.u8(static_cast<unsigned char>(c));
        b.u32(static_cast<std::uint32_t>(rsrc.size()));
        b.u32(kRsrcRva);
        b.u32(rawSize);
        b.u32(kFileAlignment); // raw data right after the headers
        b.u32(0), b.u32(0), b.u16(0), b.u16(0);
        b.u32(0x40000040);     // initialised data, readable
    }
    b.padTo(kFileAlignment);
    if (sections) {
        L.rsrc = b.b.size();
        L.rsrcRva = kRsrcRva;
        b.bytes(rsrc);
        b.padTo(kFileAlignment + rawSize);
        if (spec.version) {
            L.versionData = L.rsrc + versionInRsrc;
            L.versionSize = resources.front().data.size();
        }
    }
    file.bytes = std::move(b.b);
    return file;
}

void writePe(const std::filesystem::path& hostPath, const PeSpec& spec) {
    const PeFile file = buildPe(spec);
    std::filesystem::create_directories(hostPath.parent_path());
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.bytes.data()), static_cast<std::streamsize>(file.bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + hostPath.string());
}

} // namespace testsupport
