// Writer -> reader round trips over bytes in memory, for both machine types.

#include "platform/pe/pe.h"

#include <gtest/gtest.h>

#include "platform/pe/version.h"
#include "tests/support/pe_writer.h"

using namespace winsys;
using namespace testsupport;

namespace {

ResourceId num(win::WORD n) { return ResourceId::number(n); }

PeVersion sampleVersion() {
    PeVersion v;
    v.fileVersionMS = 0x00010002;
    v.fileVersionLS = 0x00030004;
    v.productVersionMS = 0x000B0000;
    v.productVersionLS = 0x0010FFFF;
    v.fileFlags = 0x2; // VS_FF_PRERELEASE
    v.tables = {{0x0409, 1200, {{"CompanyName", "Acme Corp"}, {"FileVersion", "1.2.3.4"}, {"ProductName", "Widget"}}}};
    return v;
}

// Everything the writer was told must read back the same way.
void expectSameVersion(const PeVersion& want, const VersionInfo& got) {
    ASSERT_TRUE(got.fixed.has_value());
    EXPECT_EQ(got.fixed->dwSignature, win::VS_FFI_SIGNATURE);
    EXPECT_EQ(got.fixed->dwFileVersionMS, want.fileVersionMS);
    EXPECT_EQ(got.fixed->dwFileVersionLS, want.fileVersionLS);
    EXPECT_EQ(got.fixed->dwProductVersionMS, want.productVersionMS);
    EXPECT_EQ(got.fixed->dwProductVersionLS, want.productVersionLS);
    EXPECT_EQ(got.fixed->dwFileFlags, want.fileFlags);
    EXPECT_EQ(got.fixed->dwFileOS, want.fileOS);
    EXPECT_EQ(got.fixed->dwFileType, want.fileType);
    ASSERT_EQ(got.translations.size(), want.tables.size());
    ASSERT_EQ(got.tables.size(), want.tables.size());
    for (std::size_t i = 0; i < want.tables.size(); ++i) {
        EXPECT_EQ(got.translations[i].language, want.tables[i].language);
        EXPECT_EQ(got.translations[i].codePage, want.tables[i].codePage);
        EXPECT_EQ(got.tables[i].key, translationKey(got.translations[i]));
        EXPECT_EQ(got.tables[i].strings, want.tables[i].strings);
    }
}

} // namespace

TEST(PeImage, RoundTripForBothMachines) {
    struct Case {
        const char* label;
        PeSpec spec;
        std::vector<std::pair<win::UINT, std::string>> present; // string id -> text
        std::vector<win::UINT> absent;                          // string ids that must not load
        std::vector<std::pair<std::string, std::string>> missingNames; // key, name
    };
    PeSpec oneTranslation;
    oneTranslation.version = sampleVersion();
    oneTranslation.strings = {{100, "Vendrel Sorlix"}};

    PeSpec severalTranslations;
    severalTranslations.version = sampleVersion();
    severalTranslations.version->tables.push_back({0x0407, 0x04E4, {{"CompanyName", "Acme GmbH"}}});
    severalTranslations.version->tables.push_back({0x0000, 0x04B0, {{"FileDescription", "Neutral"}}});

    PeSpec emptyValue;
    emptyValue.version = sampleVersion();
    emptyValue.version->tables[0].strings.push_back({"Comments", ""});

    PeSpec unicodeTexts;
    unicodeTexts.version = sampleVersion();
    unicodeTexts.version->tables[0].strings = {{"CompanyName", "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"}};
    unicodeTexts.strings = {{7, "\xD0\x94\xD0\xB0"}};

    PeSpec spreadStrings;
    spreadStrings.strings = {{0, "zero"}, {15, "fifteen"}, {16, "sixteen"}, {31, "thirty-one"},
                             {100, "hundred"}, {65535, "last"}};

    PeSpec noTranslations;
    noTranslations.version = PeVersion{};

    const Case cases[] = {
        {"one translation", oneTranslation, {{100, "Vendrel Sorlix"}}, {99, 101}, {{"040904B0", "InternalName"}}},
        {"several translations", severalTranslations, {}, {0, 100},
         {{"040704E4", "ProductName"}, {"000004B0", "CompanyName"}}},
        {"empty string value", emptyValue, {}, {}, {{"040904B0", "LegalCopyright"}}},
        {"texts beyond ASCII", unicodeTexts, {{7, "\xD0\x94\xD0\xB0"}}, {6, 8}, {}},
        // Ids 1 and 14 share block 1 with 0 and 15 but are empty; 32 and 47 fall in a missing block.
        {"string ids in different blocks", spreadStrings,
         {{0, "zero"}, {15, "fifteen"}, {16, "sixteen"}, {31, "thirty-one"}, {100, "hundred"}, {65535, "last"}},
         {1, 14, 32, 47, 65534, 65536}, {}},
        {"version without translations", noTranslations, {}, {0}, {{"040904B0", "CompanyName"}}},
    };
    for (const win::WORD machine : {win::IMAGE_FILE_MACHINE_I386, win::IMAGE_FILE_MACHINE_AMD64}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.label) + (machine == win::IMAGE_FILE_MACHINE_I386 ? " (i386)" : " (amd64)"));
            PeSpec spec = c.spec;
            spec.machine = machine;
            const PeFile file = buildPe(spec);
            auto image = PeImage::parse(file.bytes);
            ASSERT_TRUE(image.ok()) << image.error().message;
            EXPECT_EQ(image->machine(), machine);
            EXPECT_EQ(image->is64Bit(), machine == win::IMAGE_FILE_MACHINE_AMD64);

            auto block = image->findResource(num(win::RT_VERSION), num(win::VS_VERSION_INFO));
            if (spec.version) {
                ASSERT_TRUE(block.ok()) << block.error().message;
                auto info = parseVersionInfo(*block);
                ASSERT_TRUE(info.ok());
                expectSameVersion(*spec.version, *info);
                for (const auto& [key, name] : c.missingNames) EXPECT_EQ(info->find(key, name), nullptr) << name;
            } else {
                ASSERT_FALSE(block.ok());
                EXPECT_EQ(block.error().code, win::ERROR_RESOURCE_TYPE_NOT_FOUND);
            }
            for (const auto& [id, text] : c.present) {
                auto s = image->loadString(id);
                ASSERT_TRUE(s.ok()) << id;
                EXPECT_EQ(*s, text);
            }
            for (win::UINT id : c.absent) {
                auto s = image->loadString(id);
                ASSERT_FALSE(s.ok()) << id;
                EXPECT_EQ(s.error().code, spec.strings.empty() ? win::ERROR_RESOURCE_TYPE_NOT_FOUND
                                                               : win::ERROR_RESOURCE_NAME_NOT_FOUND)
                    << id;
            }
        }
    }
}

TEST(PeImage, EmptyStringValueReadsAsEmptyNotMissing) {
    PeSpec spec;
    spec.version = sampleVersion();
    spec.version->tables[0].strings.push_back({"Comments", ""});
    const PeFile file = buildPe(spec);
    auto info = parseVersionInfo(PeImage::parse(file.bytes)->findResource(num(win::RT_VERSION), num(1)).value());
    ASSERT_TRUE(info.ok());
    const std::string* comments = info->find("040904b0", "comments");
    ASSERT_NE(comments, nullptr);
    EXPECT_EQ(*comments, "");
}

TEST(PeImage, FileWithoutResources) {
    for (const win::WORD machine : {win::IMAGE_FILE_MACHINE_I386, win::IMAGE_FILE_MACHINE_AMD64}) {
        SCOPED_TRACE(machine);
        PeSpec spec;
        spec.machine = machine;
        const PeFile file = buildPe(spec);
        auto image = PeImage::parse(file.bytes);
        ASSERT_TRUE(image.ok()) << image.error().message;
        EXPECT_FALSE(image->hasResources());
        EXPECT_TRUE(image->resources().empty());
        auto block = image->findResource(num(win::RT_VERSION), num(1));
        ASSERT_FALSE(block.ok());
        EXPECT_EQ(block.error().code, win::ERROR_RESOURCE_DATA_NOT_FOUND);
        auto s = image->loadString(0);
        ASSERT_FALSE(s.ok());
        EXPECT_EQ(s.error().code, win::ERROR_RESOURCE_DATA_NOT_FOUND);
    }
}

TEST(PeImage, MachineTypeAndOptionalHeader) {
    struct Case { const char* label; win::WORD machine; bool pe32plus; };
    const Case cases[] = {
        {"i386", win::IMAGE_FILE_MACHINE_I386, false},
        {"amd64", win::IMAGE_FILE_MACHINE_AMD64, true},
        {"arm (reported as its number)", 0x01C4, false},
        {"arm64 (reported as its number)", 0xAA64, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        PeSpec spec;
        spec.machine = c.machine;
        spec.strings[1] = "x";
        const PeFile file = buildPe(spec);
        auto headers = parsePeHeaders(file.bytes);
        ASSERT_TRUE(headers.ok());
        EXPECT_EQ(headers->machine, c.machine);
        EXPECT_EQ(headers->pe32plus, c.pe32plus);
        // The data directories sit at a different place in each header form.
        auto image = PeImage::parse(file.bytes);
        ASSERT_TRUE(image.ok());
        EXPECT_EQ(image->loadString(1).value(), "x");
    }
}

TEST(PeImage, ResourceWalkByTypeNameAndLanguage) {
    using B = std::vector<std::uint8_t>;
    PeSpec spec;
    spec.version = sampleVersion();
    spec.extra = {
        {ResourceId::text("PNG"), num(1006), 0x0000, B{1}},
        {num(10), ResourceId::text("CONFIG"), 0x0407, B{2}},
        {num(10), ResourceId::text("CONFIG"), 0x0409, B{3}},
        {num(10), ResourceId::text("Other"), 0x040C, B{4}},
        {num(10), ResourceId::text("Other"), 0x0407, B{5}},
        {num(10), num(5), 0x0409, B{6}},
        {num(10), num(5), 0x0000, B{7}},
    };
    const PeFile file = buildPe(spec);
    auto image = PeImage::parse(file.bytes);
    ASSERT_TRUE(image.ok());

    struct Lookup {
        const char* label;
        ResourceId type, name;
        std::optional<win::WORD> language;
        int byte;          // the one data byte expected, or -1
        win::DWORD error;  // when byte is -1
    };
    const Lookup lookups[] = {
        {"named type", ResourceId::text("PNG"), num(1006), {}, 1, 0},
        {"names ignore case", ResourceId::text("png"), num(1006), {}, 1, 0},
        {"en-US before other languages", num(10), ResourceId::text("config"), {}, 3, 0},
        {"neutral before en-US", num(10), num(5), {}, 7, 0},
        {"else the first listed", num(10), ResourceId::text("OTHER"), {}, 5, 0},
        {"asked-for language", num(10), ResourceId::text("CONFIG"), win::WORD(0x0407), 2, 0},
        {"language not there", num(10), ResourceId::text("CONFIG"), win::WORD(0x0411), -1,
         win::ERROR_RESOURCE_LANG_NOT_FOUND},
        {"an id never matches a name", num(10), ResourceId::text("5"), {}, -1, win::ERROR_RESOURCE_NAME_NOT_FOUND},
        {"no such name", num(10), num(6), {}, -1, win::ERROR_RESOURCE_NAME_NOT_FOUND},
        {"no such type", num(11), num(5), {}, -1, win::ERROR_RESOURCE_TYPE_NOT_FOUND},
    };
    for (const auto& l : lookups) {
        SCOPED_TRACE(l.label);
        auto data = image->findResource(l.type, l.name, l.language);
        if (l.byte < 0) {
            ASSERT_FALSE(data.ok());
            EXPECT_EQ(data.error().code, l.error);
        } else {
            ASSERT_TRUE(data.ok()) << data.error().message;
            ASSERT_EQ(data->size(), 1u);
            EXPECT_EQ((*data)[0], l.byte);
        }
    }

    // The listing: named types first, then ids; every entry's data as written.
    const auto all = image->resources();
    ASSERT_EQ(all.size(), spec.extra.size() + 1);
    EXPECT_TRUE(all[0].type.named);
    EXPECT_EQ(all[0].type.name, "PNG");
    for (const auto& want : spec.extra) {
        SCOPED_TRACE(want.data[0]);
        auto it = std::find_if(all.begin(), all.end(), [&](const ResourceEntry& e) {
            return e.type.matches(want.type) && e.name.matches(want.name) && e.language == want.language;
        });
        ASSERT_NE(it, all.end());
        EXPECT_EQ(std::vector<std::uint8_t>(it->data.begin(), it->data.end()), want.data);
    }
}
