#include "platform/pe/pe.h"

#include <algorithm>

#include "platform/core/text.h"
#include "platform/pe/bytes.h"

namespace winsys {

using namespace pebytes;
using win::DWORD;
using win::WORD;

namespace {

constexpr std::uint32_t kPeSignature = 0x00004550; // "PE\0\0"
constexpr WORD kMagicPe32 = 0x10B;
constexpr WORD kMagicPe32Plus = 0x20B;
constexpr std::size_t kFileHeaderSize = 20;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kResourceDirectoryIndex = 2;
constexpr DWORD kHighBit = 0x80000000u;

constexpr WORD kLangNeutral = 0x0000;
constexpr WORD kLangEnglishUs = 0x0409;

Error badFormat(std::string why) { return {win::ERROR_BAD_EXE_FORMAT, "not a PE image: " + why}; }

// Offset of the NT headers, checked far enough for the file header and magic.
Result<std::size_t> ntHeaders(ByteSpan file) {
    if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z') return badFormat("no MZ header");
    const std::size_t nt = u32(file, 0x3C);
    if (!fits(file, nt, 4 + kFileHeaderSize + 2)) return badFormat("NT headers past the end");
    if (u32(file, nt) != kPeSignature) return badFormat("no PE signature");
    return nt;
}

} // namespace

bool ResourceId::matches(const ResourceId& other) const {
    if (named != other.named) return false;
    return named ? equalsNoCase(name, other.name) : id == other.id;
}

Result<PeHeaders> parsePeHeaders(ByteSpan file) {
    auto nt = ntHeaders(file);
    if (!nt) return nt.error();
    const std::size_t fh = *nt + 4;
    const WORD optionalSize = u16(file, fh + 16);
    const WORD magic = u16(file, fh + kFileHeaderSize);
    if (optionalSize < 2 || (magic != kMagicPe32 && magic != kMagicPe32Plus))
        return badFormat("unknown optional header");
    return PeHeaders{u16(file, fh), magic == kMagicPe32Plus};
}

Result<PeImage> PeImage::parse(ByteSpan file) {
    auto headers = parsePeHeaders(file);
    if (!headers) return headers.error();
    PeImage image;
    image.file_ = file;
    image.headers_ = *headers;

    const std::size_t fh = ntHeaders(file).value() + 4;
    const std::size_t sectionCount = u16(file, fh + 2);
    const std::size_t optionalSize = u16(file, fh + 16);
    const std::size_t opt = fh + kFileHeaderSize;
    const std::size_t table = opt + optionalSize;
    if (!fits(file, table, sectionCount * kSectionHeaderSize))
        return badFormat("section table past the end");
    for (std::size_t i = 0; i < sectionCount; ++i) {
        const std::size_t s = table + i * kSectionHeaderSize;
        image.sections_.push_back({u32(file, s + 12), u32(file, s + 16), u32(file, s + 20)});
    }

    // The data directories follow the fixed fields, whose size depends on the magic.
    const std::size_t countAt = image.is64Bit() ? 108 : 92;
    const std::size_t dirs = countAt + 4;
    const std::size_t entry = dirs + kResourceDirectoryIndex * 8;
    if (optionalSize >= entry + 8 && u32(file, opt + countAt) > kResourceDirectoryIndex) {
        const std::uint32_t rva = u32(file, opt + entry);
        // The loader trusts the directory's address, not its recorded size;
        // the end of the section's data bounds every offset inside it.
        if (rva != 0) image.rsrc_ = image.sectionTail(rva).value_or(ByteSpan{});
    }
    return image;
}

std::optional<ByteSpan> PeImage::sectionTail(std::uint32_t rva) const {
    for (const auto& s : sections_) {
        if (rva < s.rva || rva - s.rva >= s.rawSize) continue;
        const std::size_t start = std::size_t{s.rawOffset} + (rva - s.rva);
        const std::size_t end = std::min<std::size_t>(file_.size(), std::size_t{s.rawOffset} + s.rawSize);
        if (start >= end) return std::nullopt;
        return file_.subspan(start, end - start);
    }
    return std::nullopt;
}

std::optional<ByteSpan> PeImage::mapRva(std::uint32_t rva, std::uint32_t size) const {
    auto tail = sectionTail(rva);
    if (!tail || tail->size() < size) return std::nullopt;
    return tail->first(size);
}

std::optional<std::vector<PeImage::DirEntry>> PeImage::readDirectory(DWORD target, Budget& budget) const {
    if (!(target & kHighBit)) return std::nullopt;
    const std::size_t offset = target & ~kHighBit;
    if (!fits(rsrc_, offset, 16)) return std::nullopt;
    const std::size_t count = std::size_t{u16(rsrc_, offset + 12)} + u16(rsrc_, offset + 14);
    if (!fits(rsrc_, offset + 16, count * 8)) return std::nullopt;
    if (count > budget.entries) {
        budget.entries = 0;
        return std::nullopt;
    }
    budget.entries -= count;
    std::vector<DirEntry> entries(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t e = offset + 16 + i * 8;
        entries[i] = {u32(rsrc_, e), u32(rsrc_, e + 4)};
    }
    return entries;
}

std::optional<ResourceId> PeImage::entryId(const DirEntry& e, Budget& budget) const {
    if (!(e.name & kHighBit)) {
        if (e.name > 0xFFFF) return std::nullopt;
        return ResourceId::number(static_cast<WORD>(e.name));
    }
    const std::size_t offset = e.name & ~kHighBit;
    if (!fits(rsrc_, offset, 2)) return std::nullopt;
    const std::size_t units = u16(rsrc_, offset);
    if (!fits(rsrc_, offset + 2, units * 2) || units > budget.nameUnits) return std::nullopt;
    budget.nameUnits -= units;
    return ResourceId::text(fromUtf16leBytes(rsrc_.data() + offset + 2, units * 2));
}

std::optional<ResourceEntry> PeImage::readDataEntry(DWORD target) const {
    if (target & kHighBit) return std::nullopt;
    if (!fits(rsrc_, target, 16)) return std::nullopt;
    auto data = mapRva(u32(rsrc_, target), u32(rsrc_, target + 4));
    if (!data) return std::nullopt;
    ResourceEntry r;
    r.codePage = u32(rsrc_, target + 8);
    r.data = *data;
    return r;
}

const PeImage::DirEntry* PeImage::findEntry(const std::vector<DirEntry>& entries, const ResourceId& id,
                                            Budget& budget) const {
    for (const auto& e : entries) {
        // Ids and names never match each other, so skip decoding the wrong kind.
        if (bool(e.name & kHighBit) != id.named) continue;
        auto got = entryId(e, budget);
        if (got && got->matches(id)) return &e;
    }
    return nullptr;
}

std::vector<ResourceEntry> PeImage::resources() const {
    std::vector<ResourceEntry> out;
    Budget budget;
    auto roots = readDirectory(kHighBit, budget);
    if (!roots) return out;
    for (const auto& t : *roots) {
        auto type = entryId(t, budget);
        auto names = readDirectory(t.target, budget);
        if (!type || !names) continue;
        for (const auto& n : *names) {
            auto name = entryId(n, budget);
            auto langs = readDirectory(n.target, budget);
            if (!name || !langs) continue;
            for (const auto& l : *langs) {
                auto r = readDataEntry(l.target);
                if (!r || (l.name & kHighBit) || l.name > 0xFFFF) continue;
                // Copies of the names count against the budget too, so a loop
                // of long names cannot blow up the result.
                const std::size_t copied = type->name.size() + name->name.size();
                if (copied > budget.nameUnits) return out;
                budget.nameUnits -= copied;
                r->type = *type;
                r->name = *name;
                r->language = static_cast<WORD>(l.name);
                out.push_back(std::move(*r));
            }
        }
    }
    return out;
}

Result<ByteSpan> PeImage::findResource(const ResourceId& type, const ResourceId& name,
                                       std::optional<WORD> language) const {
    Budget budget;
    auto roots = readDirectory(kHighBit, budget);
    if (rsrc_.empty() || !roots)
        return Error{win::ERROR_RESOURCE_DATA_NOT_FOUND, "the image has no resources"};
    const DirEntry* t = findEntry(*roots, type, budget);
    auto names = t ? readDirectory(t->target, budget) : std::nullopt;
    if (!names) return Error{win::ERROR_RESOURCE_TYPE_NOT_FOUND, "no resources of that type"};
    const DirEntry* n = findEntry(*names, name, budget);
    auto langs = n ? readDirectory(n->target, budget) : std::nullopt;
    if (!langs) return Error{win::ERROR_RESOURCE_NAME_NOT_FOUND, "no resource of that name"};

    auto withLanguage = [&](WORD lang) -> const DirEntry* {
        for (const auto& l : *langs)
            if (l.name == lang && !(l.target & kHighBit)) return &l;
        return nullptr;
    };
    const DirEntry* chosen = nullptr;
    if (language) {
        chosen = withLanguage(*language);
    } else {
        chosen = withLanguage(kLangNeutral);
        if (!chosen) chosen = withLanguage(kLangEnglishUs);
        for (const auto& l : *langs) {
            if (chosen) break;
            if (!(l.target & kHighBit) && l.name <= 0xFFFF) chosen = &l;
        }
    }
    if (!chosen) return Error{win::ERROR_RESOURCE_LANG_NOT_FOUND, "no resource in that language"};
    auto data = readDataEntry(chosen->target);
    if (!data) return Error{win::ERROR_RESOURCE_DATA_NOT_FOUND, "resource data lies outside the image"};
    return data->data;
}

Result<std::string> PeImage::loadString(win::UINT id) const {
    const Error missing{win::ERROR_RESOURCE_NAME_NOT_FOUND, "no string " + std::to_string(id)};
    if (id > 0xFFFF) return missing;
    auto block = findResource(ResourceId::number(win::RT_STRING), ResourceId::number(static_cast<WORD>(id / 16 + 1)));
    if (!block) return block.error();
    // A block holds 16 counted UTF-16 strings, one after the other.
    std::size_t offset = 0;
    for (unsigned i = 0;; ++i) {
        if (!fits(*block, offset, 2)) return missing;
        const std::size_t units = u16(*block, offset);
        if (!fits(*block, offset + 2, units * 2)) return missing;
        if (i == id % 16) {
            if (units == 0) return missing;
            return fromUtf16leBytes(block->data() + offset + 2, units * 2);
        }
        offset += 2 + units * 2;
    }
}

} // namespace winsys
