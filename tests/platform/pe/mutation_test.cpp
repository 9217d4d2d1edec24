// Seeded random damage to writer output. Whatever the bytes, the readers
// return errors or results inside the input; the sanitizer build catches
// any read outside it.

#include "platform/pe/pe.h"

#include <chrono>
#include <random>

#include <gtest/gtest.h>

#include "platform/pe/version.h"
#include "tests/support/pe_writer.h"

using namespace winsys;
using namespace testsupport;

namespace {

using Bytes = std::vector<std::uint8_t>;

bool inside(const void* p, std::size_t size, std::span<const std::uint8_t> in) {
    auto at = static_cast<const std::uint8_t*>(p);
    return at >= in.data() && size <= static_cast<std::size_t>(in.data() + in.size() - at);
}

std::vector<PeFile> seeds() {
    std::vector<PeFile> out;
    for (const win::WORD machine : {win::IMAGE_FILE_MACHINE_I386, win::IMAGE_FILE_MACHINE_AMD64}) {
        PeSpec spec;
        spec.machine = machine;
        PeVersion version;
        version.fileVersionMS = 0x00010002;
        version.tables = {{0x0409, 1200, {{"CompanyName", "Acme"}, {"ProductName", "Widget"}, {"Comments", ""}}},
                          {0x0407, 0x04E4, {{"CompanyName", "Acme GmbH"}}}};
        spec.version = version;
        spec.strings = {{0, "zero"}, {17, "seventeen"}, {100, "Vendrel Sorlix"}};
        spec.extra = {{ResourceId::text("PNG"), ResourceId::text("LOGO"), 0, {1, 2, 3}}};
        out.push_back(buildPe(spec));
    }
    return out;
}

// Interesting places to hit: header fields and the start of the resource section.
std::vector<std::size_t> fieldOffsets(const PeLayout& l) {
    std::vector<std::size_t> out{0x3C, l.ntHeaders + 4, l.ntHeaders + 6, l.ntHeaders + 20, l.optionalHeader,
                                 l.resourceDirectory, l.resourceDirectory + 4, l.sectionTable + 12,
                                 l.sectionTable + 16, l.sectionTable + 20, l.versionData, l.versionData + 2};
    for (std::size_t i = 0; i < 160; i += 4) out.push_back(l.rsrc + i);
    return out;
}

void mutate(Bytes& b, const PeLayout& layout, std::mt19937& rng) {
    auto pick = [&](std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    static const std::uint32_t kValues[] = {0, 0xFFFFFFFF, 0x80000000, 0x7FFFFFFF, 1, 0xFFFF};
    const int steps = 1 + static_cast<int>(pick(4));
    for (int s = 0; s < steps && !b.empty(); ++s) {
        switch (pick(5)) {
        case 0: b[pick(b.size())] ^= static_cast<std::uint8_t>(1u << pick(8)); break;
        case 1: b.resize(pick(b.size())); break;
        case 2: {
            Bytes extra(1 + pick(8));
            for (auto& x : extra) x = static_cast<std::uint8_t>(pick(256));
            b.insert(b.begin() + static_cast<std::ptrdiff_t>(pick(b.size())), extra.begin(), extra.end());
            break;
        }
        default: {
            const auto fields = fieldOffsets(layout);
            const std::size_t at = pick(2) ? fields[pick(fields.size())] : pick(b.size());
            const std::uint32_t v = kValues[pick(std::size(kValues))];
            const std::size_t width = pick(2) ? 4 : 2;
            for (std::size_t i = 0; i < width && at + i < b.size(); ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
        }
    }
}

// Runs every reader over the bytes and checks what comes back lies inside them.
void exercise(const Bytes& b) {
    (void)parsePeHeaders(b);
    auto image = PeImage::parse(b);
    if (!image) {
        ASSERT_EQ(image.error().code, win::ERROR_BAD_EXE_FORMAT);
        return;
    }
    for (const auto& e : image->resources()) ASSERT_TRUE(inside(e.data.data(), e.data.size(), b));
    for (win::UINT id : {0u, 1u, 17u, 100u, 65535u}) {
        auto s = image->loadString(id);
        if (s) {
            ASSERT_LE(s->size(), 3 * b.size());
        }
    }
    auto block = image->findResource(ResourceId::number(win::RT_VERSION), ResourceId::number(1));
    if (!block) return;
    ASSERT_TRUE(inside(block->data(), block->size(), b));
    if (auto info = parseVersionInfo(*block)) {
        for (const auto& t : info->tables)
            for (const auto& [name, value] : t.strings) ASSERT_LE(name.size() + value.size(), 3 * block->size());
        ASSERT_LE(info->translations.size(), block->size() / 4);
    }
    for (const char* sub : {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904B0\\CompanyName",
                            "\\StringFileInfo\\040904b0\\Comments", "\\StringFileInfo\\040704E4\\CompanyName"}) {
        const void* p = nullptr;
        win::UINT len = 0;
        if (!win::VerQueryValue(*block, sub, &p, &len)) continue;
        const bool text = sub[1] == 'S';
        ASSERT_TRUE(inside(p, std::size_t{len} * (text ? 2 : 1), *block)) << sub;
    }
    // A table's names found in one walk are what one query each finds.
    static constexpr const char* kNames[] = {"CompanyName", "Comments", "ProductName", "FileVersion"};
    const auto values = queryVersionStrings(*block, "040904B0", kNames);
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        const void* p = nullptr;
        win::UINT len = 0;
        const bool ok = win::VerQueryValue(*block, std::string("\\StringFileInfo\\040904B0\\") + kNames[i], &p, &len);
        ASSERT_EQ(values[i].has_value(), ok) << kNames[i];
        if (ok) ASSERT_TRUE(values[i]->buffer == p && values[i]->len == len) << kNames[i];
    }
}

} // namespace

TEST(PeMutation, RandomDamageNeverEscapesTheInput) {
    const auto bases = seeds();
    std::mt19937 rng(20240611);
    const auto start = std::chrono::steady_clock::now();
    int parsed = 0, versions = 0;
    for (int i = 0; i < 10000; ++i) {
        const PeFile& base = bases[i % bases.size()];
        Bytes b = base.bytes;
        mutate(b, base.layout, rng);
        SCOPED_TRACE(i);
        exercise(b);
        if (HasFatalFailure()) return;
        if (auto image = PeImage::parse(b)) {
            ++parsed;
            versions += image->findResource(ResourceId::number(win::RT_VERSION), ResourceId::number(1)).ok();
        }
    }
    // The damage must leave enough images readable for the deeper readers to be reached.
    EXPECT_GT(parsed, 2500);
    EXPECT_GT(versions, 1200);
    RecordProperty("parsed", parsed);
    RecordProperty("withVersion", versions);
    RecordProperty("seconds", std::to_string(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()));
}
