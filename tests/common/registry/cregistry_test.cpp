// CRegistry on 64-bit Windows: reading and writing both views, listings,
// deletion and the errors callers see.

#include <gmock/gmock.h>

#include "platform/com/safearray.h"
#include "tests/common/registry/registry_fixture.h"
#include "tests/support/vtable_check.h"

namespace regtest {
namespace {

using namespace halvenlib;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;
using win::KEY_WOW64_32KEY;
using win::KEY_WOW64_64KEY;

using RegistryTest = RegistryTestOn<winsys::Arch::Win64>;

constexpr const char* kViews = R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Views]
"v"="thirty-two"

[HKEY_LOCAL_MACHINE\Software\Views]
"v"="sixty-four"
)";

TEST(CRegistrySlots, MembersInSlotOrder) {
    EXPECT_TRUE(testsupport::slotOrderMatches(
        _CRegistry::info(),
        {"GetKeyName", "QuerySTRING", "QueryDWORD", "QueryBINARY", "SetSTRING", "SetDWORD", "SetBINARY",
         "DeleteValue", "DeleteKey", "DeleteKeyEx", "EnumKey", "IsKeyExist", "EnumValuesEx", "EnumValues",
         "SaveAsReg50", "CopySubKey", "CopySingleValue", "SaveSingleValueAsReg50", "EnumClassesOfCategory"}));
}

TEST_F(RegistryTest, GetKeyNameNamesEveryRoot) {
    const struct {
        win::LONG key;
        const char* name;
    } rows[] = {
        {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},       {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
        {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},     {HKEY_USERS, "HKEY_USERS"},
        {HKEY_PERFORMANCE_DATA, "HKEY_PERFORMANCE_DATA"}, {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
        {HKEY_DYN_DATA, "HKEY_DYN_DATA"},               {HKEY_LOCAL_MACHINE_32BIT, "HKEY_LOCAL_MACHINE"},
        {HKEY_CLASSES_ROOT_32BIT, "HKEY_CLASSES_ROOT"}, {HKEY_LOCAL_MACHINE_64BIT, "HKEY_LOCAL_MACHINE_64BIT"},
        {HKEY_CLASSES_ROOT_64BIT, "HKEY_CLASSES_ROOT_64BIT"}, {5, "5"}, {7, "7"}, {-3, "-3"},
    };
    for (const auto& r : rows) {
        std::string name;
        winsys::com::check(reg->GetKeyName(r.key, &name));
        EXPECT_EQ(name, r.name) << r.key;
    }
}

TEST_F(RegistryTest, PlainRootReadsThe32BitViewAndPseudoRootThe64BitOne) {
    prefix.importReg(kViews);
    std::string v;
    EXPECT_TRUE(querySTRING(HKEY_LOCAL_MACHINE, "Software\\Views", "v", &v));
    EXPECT_EQ(v, "thirty-two");
    EXPECT_TRUE(querySTRING(HKEY_LOCAL_MACHINE_64BIT, "Software\\Views", "v", &v));
    EXPECT_EQ(v, "sixty-four");

    ASSERT_TRUE(setSTRING(HKEY_LOCAL_MACHINE_64BIT, "Software\\Written", "w", "64"));
    ASSERT_TRUE(setSTRING(HKEY_LOCAL_MACHINE, "Software\\Written", "w", "32"));
    EXPECT_EQ(rawValue(win::HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, "Software\\Written", "w")->data,
              winsys::toUtf16leBytes("64", true));
    EXPECT_EQ(rawValue(win::HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, "Software\\Written", "w")->data,
              winsys::toUtf16leBytes("32", true));

    win::VARIANT_BOOL exists{};
    winsys::com::check(reg->IsKeyExist(HKEY_LOCAL_MACHINE_64BIT, "Software\\Wow6432Node\\Views", &exists));
    EXPECT_TRUE(exists);
    winsys::com::check(reg->IsKeyExist(HKEY_CURRENT_USER, "Software\\NoSuchKey", &exists));
    EXPECT_FALSE(exists);
}

TEST_F(RegistryTest, TextValuesRoundTripAndMissingOnesClearTheResult) {
    const struct {
        const char* label;
        std::string text;
        std::vector<win::BYTE> stored;
    } rows[] = {
        {"plain", "C:\\x", {'C', 0, ':', 0, '\\', 0, 'x', 0, 0, 0}},
        {"empty is one NUL", "", {0, 0}},
        {"outside the ANSI code page", "\xD0\x96", {0x16, 0x04, 0, 0}},
    };
    for (const auto& r : rows) {
        ASSERT_TRUE(setSTRING(HKEY_CURRENT_USER, "Software\\T", r.label, r.text)) << r.label;
        const auto raw = rawValue(win::HKEY_CURRENT_USER, 0, "Software\\T", r.label);
        ASSERT_TRUE(raw) << r.label;
        EXPECT_EQ(raw->type, win::REG_SZ) << r.label;
        EXPECT_EQ(raw->data, r.stored) << r.label;
        std::string back = "sentinel";
        EXPECT_TRUE(querySTRING(HKEY_CURRENT_USER, "Software\\T", r.label, &back)) << r.label;
        EXPECT_EQ(back, r.text) << r.label;
    }
    std::string v = "sentinel";
    EXPECT_FALSE(querySTRING(HKEY_CURRENT_USER, "Software\\T", "missing", &v));
    EXPECT_EQ(v, "");
    v = "sentinel";
    EXPECT_FALSE(querySTRING(HKEY_CURRENT_USER, "Software\\Missing", "", &v));
    EXPECT_EQ(v, "");
    // A multi-string reads as its first string.
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\T", "multi", win::REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0});
    EXPECT_TRUE(querySTRING(HKEY_CURRENT_USER, "Software\\T", "multi", &v));
    EXPECT_EQ(v, "a");
}

TEST_F(RegistryTest, DwordValuesRoundTripAndOnlyTheBytesReadChange) {
    win::LONG key = HKEY_CURRENT_USER, value = -2;
    std::string sub = "Software\\D", name = "n";
    win::VARIANT_BOOL ok{};
    winsys::com::check(reg->SetDWORD(&key, &sub, &name, &value, &ok));
    ASSERT_TRUE(ok);
    EXPECT_EQ(*rawValue(win::HKEY_CURRENT_USER, 0, sub, "n"), (Raw{win::REG_DWORD, {0xFE, 0xFF, 0xFF, 0xFF}}));
    win::LONG back = 0;
    winsys::com::check(reg->QueryDWORD(&key, &sub, &name, &back, &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(back, -2);

    putRaw(win::HKEY_CURRENT_USER, 0, sub, "short", win::REG_BINARY, {0x34, 0x12});
    putRaw(win::HKEY_CURRENT_USER, 0, sub, "long", win::REG_BINARY, {1, 2, 3, 4, 5});
    name = "short";
    back = static_cast<win::LONG>(0xDEADBEEF);
    winsys::com::check(reg->QueryDWORD(&key, &sub, &name, &back, &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(static_cast<win::DWORD>(back), 0xDEAD1234u);
    name = "long";
    winsys::com::check(reg->QueryDWORD(&key, &sub, &name, &back, &ok));
    EXPECT_FALSE(ok);
}

VARIANT byteArray(std::vector<win::BYTE> bytes) { return winsys::com::makeArray(winsys::com::makeByteArray(bytes)); }

std::vector<win::BYTE> bytesOf(const VARIANT& v) {
    std::vector<win::BYTE> out(winsys::com::elementCount(v.parray));
    void* p = nullptr;
    winsys::com::check(win::SafeArrayAccessData(v.parray, &p));
    std::copy_n(static_cast<const win::BYTE*>(p), out.size(), out.begin());
    win::SafeArrayUnaccessData(v.parray);
    return out;
}

TEST_F(RegistryTest, SetBinaryWritesTheFirstLengthBytesAndRejectsOtherLengths) {
    const struct {
        const char* label;
        win::LONG length;
        win::HRESULT raised;
        std::vector<win::BYTE> stored;
    } rows[] = {
        {"all", 3, win::S_OK, {1, 2, 3}},
        {"part", 2, win::S_OK, {1, 2}},
        {"none", 0, win::S_OK, {}},
        {"negative", -1, win::E_INVALIDARG, {}},
        {"past the array", 4, win::E_INVALIDARG, {}},
    };
    for (const auto& r : rows) {
        win::LONG key = HKEY_CURRENT_USER, length = r.length;
        std::string sub = "Software\\B", name = r.label;
        VARIANT value = byteArray({1, 2, 3});
        win::VARIANT_BOOL ok{};
        EXPECT_EQ(raised([&] { return reg->SetBINARY(&key, &sub, &name, &value, &length, &ok); }), r.raised)
            << r.label;
        const auto raw = rawValue(win::HKEY_CURRENT_USER, 0, sub, r.label);
        if (r.raised == win::S_OK)
            EXPECT_EQ(raw, (Raw{win::REG_BINARY, r.stored})) << r.label;
        else
            EXPECT_FALSE(raw) << r.label;
    }
    win::LONG key = HKEY_CURRENT_USER, length = 0;
    std::string sub = "Software\\B", name = "x";
    VARIANT notArray = winsys::com::makeText("abc");
    win::VARIANT_BOOL ok{};
    EXPECT_EQ(raised([&] { return reg->SetBINARY(&key, &sub, &name, &notArray, &length, &ok); }), win::E_INVALIDARG);
}

TEST_F(RegistryTest, QueryBinaryFillsTheCallersArray) {
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\B", "b", win::REG_BINARY, {7, 8});
    win::LONG key = HKEY_CURRENT_USER, length = 0;
    std::string sub = "Software\\B", name = "b";
    win::VARIANT_BOOL ok{};
    VARIANT value = byteArray({0, 0, 0, 9});
    winsys::com::check(reg->QueryBINARY(&key, &sub, &name, &value, &length, &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(bytesOf(value), (std::vector<win::BYTE>{7, 8, 0, 9}));

    VARIANT tooSmall = byteArray({0});
    winsys::com::check(reg->QueryBINARY(&key, &sub, &name, &tooSmall, &length, &ok));
    EXPECT_FALSE(ok);
    EXPECT_EQ(length, 1);

    name = "missing";
    winsys::com::check(reg->QueryBINARY(&key, &sub, &name, &value, &length, &ok));
    EXPECT_FALSE(ok);

    VARIANT empty = byteArray({});
    EXPECT_EQ(raised([&] { return reg->QueryBINARY(&key, &sub, &name, &empty, &length, &ok); }),
              winsys::com::hresultFromNumber(9));
    VARIANT notArray = winsys::com::makeLong(1);
    EXPECT_EQ(raised([&] { return reg->QueryBINARY(&key, &sub, &name, &notArray, &length, &ok); }),
              win::E_INVALIDARG);
}

TEST_F(RegistryTest, DeleteValueIsTrueOnlyWhenNothingIsLeftToDelete) {
    prefix.importReg("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\DV]\n\"v\"=dword:1\n");
    const struct {
        const char* label;
        win::LONG key;
        const char* sub;
        const char* value;
        bool result;
    } rows[] = {
        {"existing value", HKEY_CURRENT_USER, "Software\\DV", "v", true},
        {"value already gone", HKEY_CURRENT_USER, "Software\\DV", "v", false},
        {"key does not exist", HKEY_CURRENT_USER, "Software\\NoSuchKey", "v", true},
        {"key cannot be opened (bad path)", HKEY_CURRENT_USER, "\\Software\\DV", "v", false},
        {"key cannot be opened (no such root)", 7, "Software\\DV", "v", false},
    };
    for (const auto& r : rows) EXPECT_EQ(deleteValue(r.key, r.sub, r.value), r.result) << r.label;
    EXPECT_TRUE(keyExists(win::HKEY_CURRENT_USER, 0, "Software\\DV"));
}

constexpr const char* kTree = R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Tree\A\Deep]
"x"="1"
[HKEY_LOCAL_MACHINE\Software\Tree\B]
[HKEY_LOCAL_MACHINE\Software\Tree\)" "\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87" R"(\Inner]
[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Tree\A]
)";

TEST_F(RegistryTest, DeleteKeyExRemovesTheWholeTreeOfOneView) {
    prefix.importReg(kTree);
    std::string reason = "sentinel";
    // A trailing backslash names the same key.
    EXPECT_TRUE(deleteKeyEx(HKEY_LOCAL_MACHINE_64BIT, "Software\\Tree\\", &reason));
    EXPECT_EQ(reason, "");
    EXPECT_FALSE(keyExists(win::HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, "Software\\Tree"));
    EXPECT_TRUE(keyExists(win::HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, "Software\\Tree\\A"));

    EXPECT_TRUE(deleteKeyEx(HKEY_LOCAL_MACHINE, "Software\\Tree", &reason));
    EXPECT_FALSE(keyExists(win::HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, "Software\\Tree"));
    // Already gone: nothing to do.
    EXPECT_TRUE(deleteKeyEx(HKEY_LOCAL_MACHINE, "Software\\Tree", &reason));

    win::LONG key = HKEY_CURRENT_USER;
    std::string sub = "Software\\Gone";
    win::VARIANT_BOOL ok{};
    winsys::com::check(reg->DeleteKey(&key, &sub, &ok));
    EXPECT_TRUE(ok);
}

TEST_F(RegistryTest, DeleteKeyExNeverDeletesARoot) {
    for (const char* sub : {"", "\\"}) {
        std::string reason;
        win::VARIANT_BOOL ok{};
        EXPECT_EQ(raised([&] { return reg->DeleteKeyEx(HKEY_CURRENT_USER, sub, &reason, &ok); }), win::E_INVALIDARG)
            << "'" << sub << "'";
        win::LONG key = HKEY_CURRENT_USER;
        std::string s = sub;
        EXPECT_EQ(raised([&] { return reg->DeleteKey(&key, &s, &ok); }), win::E_INVALIDARG) << "'" << sub << "'";
    }
    EXPECT_TRUE(keyExists(win::HKEY_CURRENT_USER, 0, "Software"));
}

TEST_F(RegistryTest, DeleteKeyExGivesTheReasonOfTheCallThatFailed) {
    // The user's hive root cannot go; a tree that cannot be deleted whole
    // keeps all of it.
    const std::string sid = prefix.options().userSid;
    prefix.importReg("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Kept]\n");
    std::string reason;
    EXPECT_FALSE(deleteKeyEx(HKEY_USERS, sid, &reason));
    EXPECT_THAT(reason, StartsWith("Access is denied."));
    EXPECT_TRUE(keyExists(win::HKEY_CURRENT_USER, 0, "Software\\Kept"));

    const struct {
        const char* label;
        win::LONG key;
        const char* sub;
        const char* reason;
    } rows[] = {
        {"no such root", 7, "Software\\X", "The handle is invalid."},
        {"bad path", HKEY_CURRENT_USER, "\\Software\\X", "The specified path is invalid."},
    };
    for (const auto& r : rows) {
        EXPECT_FALSE(deleteKeyEx(r.key, r.sub, &reason)) << r.label;
        EXPECT_THAT(reason, StartsWith(r.reason)) << r.label;
    }
}

TEST_F(RegistryTest, EnumKeyListsNamesAsItemsAndKeysThroughTheWideCall) {
    prefix.importReg(kTree);
    ComPtr<_CCollection> c;
    win::LONG key = HKEY_LOCAL_MACHINE_64BIT;
    std::string sub = "Software\\Tree";
    winsys::com::check(reg->EnumKey(&key, &sub, c.put()));
    EXPECT_THAT(items(c.get()), ElementsAre("A", "B", "\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87"));
    EXPECT_TRUE(hasKey(c.get(), "b"));
    EXPECT_TRUE(hasKey(c.get(), "\xD0\x9A\xD0\xBB\xD1\x8E\xD1\x87"));
    EXPECT_THAT(enumKey(HKEY_LOCAL_MACHINE, "Software\\Tree"), ElementsAre("A"));
    EXPECT_THAT(enumKey(HKEY_CURRENT_USER, "Software\\Missing"), IsEmpty());
}

TEST_F(RegistryTest, EnumValuesListsEveryValueWhateverItsSize) {
    const std::string longName(6000, 'n');
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\V", "first", win::REG_SZ, winsys::toUtf16leBytes("a", true));
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\V", "", win::REG_SZ, winsys::toUtf16leBytes("d", true));
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\V", "big", win::REG_BINARY, std::vector<win::BYTE>(70000, 0xAB));
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\V", longName, win::REG_DWORD, {1, 0, 0, 0});
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\V", "last", win::REG_DWORD, {1, 0, 0, 0});

    std::vector<std::string> names;
    std::string reason = "sentinel";
    EXPECT_TRUE(enumValuesEx(HKEY_CURRENT_USER, "Software\\V", &names, &reason));
    EXPECT_EQ(reason, "");
    EXPECT_THAT(names, ElementsAre("first", "", "big", longName, "last"));
    EXPECT_THAT(enumValues(HKEY_CURRENT_USER, "Software\\V"), ElementsAre("first", "", "big", longName, "last"));

    EXPECT_FALSE(enumValuesEx(HKEY_CURRENT_USER, "Software\\Missing", &names, &reason));
    EXPECT_EQ(reason, "OpenKey failed('HKEY_CURRENT_USER\\Software\\Missing', ReadOnly=True)");
    EXPECT_THAT(names, IsEmpty());
    EXPECT_THAT(enumValues(HKEY_CURRENT_USER, "Software\\Missing"), IsEmpty());
}

TEST_F(RegistryTest, MembersCanBeCalledByName) {
    prefix.importReg(kViews);
    VARIANT key = winsys::com::makeLong(HKEY_LOCAL_MACHINE_64BIT), sub = winsys::com::makeText("Software\\Views"),
            name = winsys::com::makeText("v"), value = winsys::com::makeText("");
    VARIANT r = winsys::com::callMethod(reg.get(), "querystring",
                                        {winsys::com::byRef(&key), winsys::com::byRef(&sub),
                                         winsys::com::byRef(&name), winsys::com::byRef(&value)});
    EXPECT_EQ(r.vt, win::VT_BOOL);
    EXPECT_EQ(r.boolVal, win::VARIANT_TRUE);
    EXPECT_EQ(value.bstrVal, "sixty-four");
}

} // namespace
} // namespace regtest
