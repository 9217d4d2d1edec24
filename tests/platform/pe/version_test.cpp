// The version block on its own: VerQueryValue's sub-blocks, the decoded
// VersionInfo, and the quirks of real files.

#include "platform/pe/version.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include <gtest/gtest.h>

#include "platform/core/lasterror.h"
#include "platform/core/text.h"
#include "tests/support/pe_writer.h"

using namespace winsys;
using namespace testsupport;

namespace {

PeVersion twoTranslations() {
    PeVersion v;
    v.fileVersionMS = 0x00050006;
    v.fileVersionLS = 0x00070008;
    v.tables = {
        {0x0409, 1200, {{"CompanyName", "Acme Corp"}, {"Comments", ""}, {"ProductName", "Widget"}}},
        {0x0407, 0x04E4, {{"CompanyName", "Acme GmbH"}}},
    };
    return v;
}

std::string queryText(std::span<const std::uint8_t> block, const char* sub) {
    const void* p = nullptr;
    win::UINT len = 0;
    if (!win::VerQueryValue(block, sub, &p, &len)) return "<missing>";
    auto bytes = static_cast<const std::uint8_t*>(p);
    std::string s = fromUtf16leBytes(bytes, std::size_t{len} * 2);
    return s.substr(0, s.find('\0'));
}

} // namespace

TEST(VerQueryValue, SubBlocks) {
    const auto block = buildVersionBlock(twoTranslations());
    struct Case {
        const char* label;
        const char* subBlock;
        bool found;
        win::UINT len;     // when found
        const char* text;  // for string values, else nullptr
    };
    const Case cases[] = {
        {"root", "\\", true, 52, nullptr},
        {"empty path is the root", "", true, 52, nullptr},
        {"translations", "\\VarFileInfo\\Translation", true, 8, nullptr},
        {"a string", "\\StringFileInfo\\040904B0\\CompanyName", true, 10, "Acme Corp"},
        {"keys ignore case", "\\stringfileinfo\\040904b0\\COMPANYNAME", true, 10, "Acme Corp"},
        {"second translation", "\\StringFileInfo\\040704E4\\CompanyName", true, 10, "Acme GmbH"},
        {"repeated separators", "\\\\StringFileInfo\\\\040904B0\\ProductName\\", true, 7, "Widget"},
        {"empty value counts its NUL", "\\StringFileInfo\\040904B0\\Comments", true, 1, ""},
        {"an inner node has no value", "\\StringFileInfo", true, 0, nullptr},
        {"name missing", "\\StringFileInfo\\040904B0\\LegalCopyright", false, 0, nullptr},
        {"name only in the other table", "\\StringFileInfo\\040704E4\\ProductName", false, 0, nullptr},
        {"table missing", "\\StringFileInfo\\040904E4\\CompanyName", false, 0, nullptr},
        {"a prefix of a key is no match", "\\StringFileInfo\\040904B0\\Company", false, 0, nullptr},
        {"below a leaf", "\\VarFileInfo\\Translation\\x", false, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const void* sentinel = &c;
        const void* p = sentinel;
        win::UINT len = 0xDEADBEEF;
        win::SetLastError(0);
        const win::BOOL ok = win::VerQueryValue(block, c.subBlock, &p, &len);
        if (!c.found) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(win::GetLastError(), win::ERROR_RESOURCE_TYPE_NOT_FOUND);
            EXPECT_EQ(p, sentinel);
            EXPECT_EQ(len, 0xDEADBEEFu);
            continue;
        }
        ASSERT_TRUE(ok);
        EXPECT_EQ(len, c.len);
        const auto* at = static_cast<const std::uint8_t*>(p);
        ASSERT_GE(at, block.data());
        ASSERT_LE(at, block.data() + block.size());
        if (c.text) {
            EXPECT_EQ(queryText(block, c.subBlock), c.text);
        }
    }

    // The values behind the two binary sub-blocks.
    const void* p = nullptr;
    win::UINT len = 0;
    ASSERT_TRUE(win::VerQueryValue(block, "\\", &p, &len));
    win::VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, p, sizeof fixed);
    EXPECT_EQ(fixed.dwSignature, win::VS_FFI_SIGNATURE);
    EXPECT_EQ(fixed.dwFileVersionMS, 0x00050006u);
    EXPECT_EQ(fixed.dwFileVersionLS, 0x00070008u);
    ASSERT_TRUE(win::VerQueryValue(block, "\\VarFileInfo\\Translation", &p, &len));
    const std::uint8_t* t = static_cast<const std::uint8_t*>(p);
    EXPECT_EQ(std::vector<std::uint8_t>(t, t + len), (std::vector<std::uint8_t>{0x09, 0x04, 0xB0, 0x04, 0x07, 0x04, 0xE4, 0x04}));
}

// Several names of one table in one walk: each exactly what VerQueryValue
// gives for its sub-block, a repeated or differently cased name included.
TEST(VerQueryValue, NamesOfOneTableAtOnceAgreeWithOneByOne) {
    PeVersion v = twoTranslations();
    v.tables[0].strings.push_back({"companyname", "Second Acme"}); // a later duplicate never wins
    const auto block = buildVersionBlock(v);
    static constexpr const char* kNames[] = {"ProductName", "CompanyName", "COMPANYNAME", "Comments", "Missing"};
    for (const char* table : {"040904B0", "040704e4", "040904E4"}) {
        SCOPED_TRACE(table);
        const auto values = queryVersionStrings(block, table, kNames);
        ASSERT_EQ(values.size(), std::size(kNames));
        for (std::size_t i = 0; i < std::size(kNames); ++i) {
            SCOPED_TRACE(kNames[i]);
            const void* p = nullptr;
            win::UINT len = 0;
            const bool ok = win::VerQueryValue(block, std::string("\\StringFileInfo\\") + table + "\\" + kNames[i], &p, &len);
            ASSERT_EQ(values[i].has_value(), ok);
            if (!ok) continue;
            EXPECT_EQ(values[i]->buffer, p);
            EXPECT_EQ(values[i]->len, len);
        }
    }
    EXPECT_EQ(queryText(block, "\\StringFileInfo\\040904B0\\companyname"), "Acme Corp");
}

TEST(VerQueryValue, RootNeedsAWholeSignedFixedInfo) {
    auto block = buildVersionBlock(twoTranslations());
    // The fixed info starts after the 6-byte header and "VS_VERSION_INFO\0", aligned: offset 40.
    ASSERT_EQ(block[40], 0xBD);
    struct Case { const char* label; std::size_t at; std::uint8_t value; };
    const Case cases[] = {
        {"bad signature", 40, 0x00},
        {"value shorter than the structure", 2, 51}, // wValueLength
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto bad = block;
        bad[c.at] = c.value;
        const void* p = nullptr;
        win::UINT len = 0;
        EXPECT_FALSE(win::VerQueryValue(bad, "\\", &p, &len));
        auto info = parseVersionInfo(bad);
        ASSERT_TRUE(info.ok());
        EXPECT_FALSE(info->fixed.has_value());
        // The rest of the block still reads.
        EXPECT_EQ(queryText(bad, "\\StringFileInfo\\040904B0\\CompanyName"), "Acme Corp");
    }
}

TEST(VersionInfo, TranslationKeys) {
    struct Case { Translation t; const char* key; };
    const Case cases[] = {
        {{0x0409, 1200}, "040904B0"},
        {{0x0407, 0x04E4}, "040704E4"},
        {{0, 0}, "00000000"},
        {{0xFFFF, 0xFFFF}, "FFFFFFFF"},
    };
    for (const auto& c : cases) EXPECT_EQ(translationKey(c.t), c.key);
}

TEST(VersionInfo, QuirksOfRealFiles) {
    PeVersion v;
    v.tables = {{0x0409, 1200, {{"CompanyName", "Acme"}, {"ProductName", "Widget"}}}};
    const auto good = buildVersionBlock(v);
    // Offsets of the first string node and its value length.
    std::string asText(good.begin(), good.end());
    const std::u16string key = u"CompanyName";
    const std::string keyBytes(reinterpret_cast<const char*>(key.data()), key.size() * 2);
    const std::size_t node = asText.find(keyBytes) - 6;
    const std::u16string widget = u"Widget";
    const std::size_t widgetAt =
        asText.find(std::string(reinterpret_cast<const char*>(widget.data()), widget.size() * 2));

    struct Case {
        const char* label;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        const char* company;
        const char* product;
    };
    const Case cases[] = {
        {"value length counted in bytes", [&](auto& b) { b[node + 2] = 10; }, "Acme", "Widget"},
        {"value length beyond its node", [&](auto& b) { b[node + 2] = 0xFF; b[node + 3] = 0x7F; }, "Acme", "Widget"},
        {"value without its NUL", [&](auto& b) { b[node + 2] = 4; }, "Acme", "Widget"},
        {"root longer than the block", [&](auto& b) { b[0] = 0xFF; b[1] = 0xFF; }, "Acme", "Widget"},
        // A child that claims less than its header ends its parent's list there.
        {"zero-length node ends the list", [&](auto& b) { b[node] = 0; b[node + 1] = 0; }, nullptr, nullptr},
        {"block cut inside the second string", [&](auto& b) { b.resize(widgetAt + 6); }, "Acme", "Wid"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto block = good;
        c.damage(block);
        auto info = parseVersionInfo(block);
        ASSERT_TRUE(info.ok());
        const std::string* company = info->find("040904B0", "CompanyName");
        const std::string* product = info->find("040904B0", "ProductName");
        if (c.company) {
            ASSERT_NE(company, nullptr);
            EXPECT_EQ(*company, c.company);
        } else {
            EXPECT_EQ(company, nullptr);
        }
        if (c.product) {
            ASSERT_NE(product, nullptr);
            EXPECT_EQ(*product, c.product);
        } else {
            EXPECT_EQ(product, nullptr);
        }
    }
}

TEST(VersionInfo, UnreadableRootAndOddAddress) {
    const auto good = buildVersionBlock(twoTranslations());
    struct Case { const char* label; std::vector<std::uint8_t> block; };
    const Case bad[] = {
        {"empty", {}},
        {"shorter than a header", {0x06, 0x00, 0x00, 0x00}},
        {"root length below its header", {0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x41, 0x00}},
        {"key without its NUL", {0x0A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x41, 0x00, 0x42, 0x00}},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.label);
        auto info = parseVersionInfo(c.block);
        ASSERT_FALSE(info.ok());
        EXPECT_EQ(info.error().code, win::ERROR_RESOURCE_TYPE_NOT_FOUND);
        const void* p = nullptr;
        win::UINT len = 0;
        EXPECT_FALSE(win::VerQueryValue(c.block, "\\", &p, &len));
    }
    // A block at an odd address reads the same: nothing relies on alignment in memory.
    std::vector<std::uint8_t> shifted(good.size() + 1);
    std::copy(good.begin(), good.end(), shifted.begin() + 1);
    const std::span<const std::uint8_t> odd(shifted.data() + 1, good.size());
    EXPECT_EQ(queryText(odd, "\\StringFileInfo\\040704E4\\CompanyName"), "Acme GmbH");
    auto info = parseVersionInfo(odd);
    ASSERT_TRUE(info.ok());
    ASSERT_TRUE(info->fixed.has_value());
    EXPECT_EQ(info->fixed->dwFileVersionLS, 0x00070008u);
}
