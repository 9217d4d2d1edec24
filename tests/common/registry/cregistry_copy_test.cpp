// CopySubKey and CopySingleValue: where the copy lands, that it is whole
// (any size of name or data), and the reasons of the failures.

#include <gmock/gmock.h>

#include "tests/common/registry/registry_fixture.h"

namespace regtest {
namespace {

using namespace halvenlib;
using ::testing::ElementsAre;
using ::testing::StartsWith;
using win::KEY_WOW64_32KEY;
using win::KEY_WOW64_64KEY;

using RegistryCopyTest = RegistryTestOn<winsys::Arch::Win64>;

const std::string kCyrillic = "\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87";

// Values every copy must carry over unchanged, the large ones included.
std::vector<std::pair<std::string, Raw>> sampleValues() {
    return {
        {"", {win::REG_SZ, winsys::toUtf16leBytes("default", true)}},
        {"dword", {win::REG_DWORD, {1, 2, 3, 4}}},
        {"big binary", {win::REG_BINARY, std::vector<win::BYTE>(100000, 0x5A)}},
        {std::string(3000, 'L'), {win::REG_SZ, winsys::toUtf16leBytes("long name", true)}},
        {"expand", {win::REG_EXPAND_SZ, winsys::toUtf16leBytes("%TEMP%", true)}},
        {"qword", {11, {1, 2, 3, 4, 5, 6, 7, 8}}},
        {"after the big ones", {win::REG_NONE, {}}},
    };
}

TEST_F(RegistryCopyTest, CopySubKeyPutsTheLastPartUnderTheNewParentWithEverythingBelow) {
    for (const auto& [name, raw] : sampleValues()) putRaw(win::HKEY_CURRENT_USER, 0, "Software\\X\\Y", name, raw.type, raw.data);
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\X\\Y\\Child\\Grandchild", "g", win::REG_DWORD, {9, 0, 0, 0});
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\X\\Y\\" + kCyrillic, "c", win::REG_DWORD, {8, 0, 0, 0});
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\X\\Sibling", "s", win::REG_DWORD, {7, 0, 0, 0});

    std::string reason = "sentinel";
    ASSERT_TRUE(copySubKey(HKEY_CURRENT_USER, "Software\\X\\Y", HKEY_CURRENT_USER, "Software\\Z\\New", &reason))
        << reason;
    EXPECT_EQ(reason, "");
    for (const auto& [name, raw] : sampleValues())
        EXPECT_EQ(rawValue(win::HKEY_CURRENT_USER, 0, "Software\\Z\\New\\Y", name), raw) << name.substr(0, 20);
    EXPECT_TRUE(rawValue(win::HKEY_CURRENT_USER, 0, "Software\\Z\\New\\Y\\Child\\Grandchild", "g"));
    EXPECT_TRUE(rawValue(win::HKEY_CURRENT_USER, 0, "Software\\Z\\New\\Y\\" + kCyrillic, "c"));
    EXPECT_FALSE(keyExists(win::HKEY_CURRENT_USER, 0, "Software\\Z\\New\\Sibling"));
    EXPECT_FALSE(keyExists(win::HKEY_CURRENT_USER, 0, "Software\\Z\\New\\X"));
}

TEST_F(RegistryCopyTest, CopySubKeyCrossesViews) {
    putRaw(win::HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, "Software\\Vendor\\AddOn", "v", win::REG_DWORD, {3, 0, 0, 0});
    std::string reason;
    ASSERT_TRUE(copySubKey(HKEY_LOCAL_MACHINE, "Software\\Vendor\\AddOn", HKEY_LOCAL_MACHINE_64BIT, "Software\\Backup",
                           &reason))
        << reason;
    EXPECT_TRUE(rawValue(win::HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, "Software\\Backup\\AddOn", "v"));
    EXPECT_FALSE(keyExists(win::HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, "Software\\Backup"));
}

TEST_F(RegistryCopyTest, CopySubKeyFailuresSayWhy) {
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\Src\\K", "v", win::REG_DWORD, {1, 0, 0, 0});
    const struct {
        const char* label;
        win::LONG key;
        const char* sub;
        win::LONG to;
        const char* putTo;
        const char* reason;
    } rows[] = {
        {"missing source", HKEY_CURRENT_USER, "Software\\Src\\Missing", HKEY_CURRENT_USER, "Software\\Dst",
         "OpenKey failed('HKEY_CURRENT_USER\\Software\\Src\\Missing', ReadOnly=True)"},
        {"destination cannot be made", HKEY_CURRENT_USER, "Software\\Src\\K", HKEY_USERS, "S-1-5-21-9-9-9-9",
         "CreateKeyAnyOS failed('HKEY_USERS\\S-1-5-21-9-9-9-9\\K')"},
    };
    for (const auto& r : rows) {
        std::string reason;
        EXPECT_FALSE(copySubKey(r.key, r.sub, r.to, r.putTo, &reason)) << r.label;
        EXPECT_EQ(reason, r.reason) << r.label;
    }
}

TEST_F(RegistryCopyTest, CopySingleValueLandsDirectlyInTheTargetKey) {
    const Raw big{win::REG_BINARY, std::vector<win::BYTE>(80000, 0x11)};
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\One", "Big", big.type, big.data);
    std::string reason = "sentinel";
    ASSERT_TRUE(copySingleValue(HKEY_CURRENT_USER, "Software\\One", "Big", HKEY_LOCAL_MACHINE_64BIT, "Software\\Two",
                                &reason))
        << reason;
    EXPECT_EQ(reason, "");
    EXPECT_EQ(rawValue(win::HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, "Software\\Two", "Big"), big);

    EXPECT_FALSE(copySingleValue(HKEY_CURRENT_USER, "Software\\One", "Missing", HKEY_CURRENT_USER, "Software\\Two",
                                 &reason));
    EXPECT_THAT(reason, StartsWith("The system cannot find the file specified."));
    EXPECT_FALSE(keyExists(win::HKEY_CURRENT_USER, 0, "Software\\Two"));

    EXPECT_FALSE(copySingleValue(HKEY_CURRENT_USER, "Software\\Nope", "Big", HKEY_CURRENT_USER, "Software\\Two",
                                 &reason));
    EXPECT_EQ(reason, "OpenKey failed('HKEY_CURRENT_USER\\Software\\Nope', ReadOnly=True)");

    EXPECT_FALSE(copySingleValue(HKEY_CURRENT_USER, "Software\\One", "Big", HKEY_USERS, "S-1-5-21-9-9-9-9\\K",
                                 &reason));
    EXPECT_EQ(reason, "CreateKeyAnyOS failed('HKEY_USERS\\S-1-5-21-9-9-9-9\\K')");
}

} // namespace
} // namespace regtest
