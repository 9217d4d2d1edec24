// The Reg* calls on a test prefix: names, order, errors, deleted keys,
// HKEY_USERS, the odd roots and calls from several threads.
#include "platform/registry/registry.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "tests/platform/registry/reg_test_util.h"
#include "tests/support/test_prefix.h"

using namespace win;
using namespace regtest;

TEST(RegistryApi, NamesCompareWithoutCaseAndKeepTheirCase) {
    testsupport::TestPrefix p;
    {
        UniqueHKey k = createKey(HKEY_CURRENT_USER, "Software\\MixedCase\\Sub");
        setText(k.get(), "ValName", "one");
    }
    UniqueHKey k;
    ASSERT_EQ(openKey(HKEY_CURRENT_USER, "SOFTWARE\\mixedcase\\SUB", KEY_ALL_ACCESS, k), ERROR_SUCCESS);
    EXPECT_EQ(textOf(k.get(), "", "VALNAME"), "one");
    setText(k.get(), "valname", "two");
    EXPECT_EQ(valueNames(k.get()), std::vector<std::string>{"ValName"});
    EXPECT_EQ(textOf(k.get(), "", "ValName"), "two");

    DWORD disposition = 0;
    UniqueHKey again;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "software\\MIXEDCASE", 0, KEY_ALL_ACCESS, again.put(), &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    UniqueHKey software;
    ASSERT_EQ(openKey(HKEY_CURRENT_USER, "Software", KEY_READ, software), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(software.get()), std::vector<std::string>{"MixedCase"});
}

TEST(RegistryApi, SubkeysEnumerateSortedAndValuesInCreationOrder) {
    testsupport::TestPrefix p;
    UniqueHKey k = createKey(HKEY_CURRENT_USER, "Order");
    for (const char* n : {"b", "_u", "A", "c", "B2"}) createKey(k.get(), n);
    EXPECT_EQ(subkeyNames(k.get()), (std::vector<std::string>{"_u", "A", "b", "B2", "c"}));
    for (const char* n : {"z", "a", "M", ""}) setText(k.get(), n, n);
    EXPECT_EQ(valueNames(k.get()), (std::vector<std::string>{"z", "a", "M", ""}));
    ASSERT_EQ(RegDeleteValue(k.get(), "A"), ERROR_SUCCESS);
    setText(k.get(), "a", "again");
    EXPECT_EQ(valueNames(k.get()), (std::vector<std::string>{"z", "M", "", "a"}));

    std::string name = "sentinel";
    DWORD type = 0xdeadbeef;
    EXPECT_EQ(RegEnumKeyEx(k.get(), 5, &name), static_cast<LSTATUS>(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(RegEnumValue(k.get(), 4, &name, &type, nullptr), static_cast<LSTATUS>(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(name, "sentinel");
    EXPECT_EQ(type, 0xdeadbeef);
    DWORD subKeys = 0, values = 0;
    ASSERT_EQ(RegQueryInfoKey(k.get(), &subKeys, &values), ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 5u);
    EXPECT_EQ(values, 4u);
}

TEST(RegistryApi, ErrorsAreWindowsNumbers) {
    testsupport::TestPrefix p;
    UniqueHKey parent = createKey(HKEY_CURRENT_USER, "E\\Child");
    UniqueHKey readOnly, writeOnly;
    ASSERT_EQ(openKey(HKEY_CURRENT_USER, "E", KEY_READ, readOnly), ERROR_SUCCESS);
    ASSERT_EQ(openKey(HKEY_CURRENT_USER, "E", KEY_WRITE, writeOnly), ERROR_SUCCESS);
    HKEY bogus = reinterpret_cast<HKEY>(std::uintptr_t{0x1234});
    HKEY out = nullptr;
    std::string name;
    const BYTE four[4] = {};
    struct Row {
        const char* label;
        std::function<LSTATUS()> call;
        DWORD expected;
    };
    const std::vector<Row> rows = {
        {"open a missing key", [&] { return RegOpenKeyEx(HKEY_CURRENT_USER, "Nope", 0, KEY_READ, &out); },
         ERROR_FILE_NOT_FOUND},
        {"query a missing value", [&] { return RegQueryValueEx(readOnly.get(), "nope", nullptr, nullptr); },
         ERROR_FILE_NOT_FOUND},
        {"delete a missing value", [&] { return RegDeleteValue(writeOnly.get(), "nope"); }, ERROR_FILE_NOT_FOUND},
        {"delete a missing key", [&] { return RegDeleteKey(HKEY_CURRENT_USER, "Nope"); }, ERROR_FILE_NOT_FOUND},
        {"unknown handle", [&] { return RegQueryValueEx(bogus, "", nullptr, nullptr); }, ERROR_INVALID_HANDLE},
        {"null handle", [&] { return RegOpenKeyEx(nullptr, "x", 0, KEY_READ, &out); }, ERROR_INVALID_HANDLE},
        {"close an unknown handle", [&] { return RegCloseKey(bogus); }, ERROR_INVALID_HANDLE},
        {"no result pointer", [&] { return RegOpenKeyEx(HKEY_CURRENT_USER, "E", 0, KEY_READ, nullptr); },
         ERROR_INVALID_PARAMETER},
        {"both view flags",
         [&] { return RegOpenKeyEx(HKEY_LOCAL_MACHINE, "", 0, KEY_READ | KEY_WOW64_32KEY | KEY_WOW64_64KEY, &out); },
         ERROR_INVALID_PARAMETER},
        {"data pointer missing", [&] { return RegSetValueEx(writeOnly.get(), "v", REG_BINARY, nullptr, 3); },
         ERROR_INVALID_PARAMETER},
        {"leading backslash", [&] { return RegOpenKeyEx(HKEY_CURRENT_USER, "\\E", 0, KEY_READ, &out); },
         ERROR_BAD_PATHNAME},
        {"delete a key with subkeys", [&] { return RegDeleteKey(HKEY_CURRENT_USER, "E"); }, ERROR_ACCESS_DENIED},
        {"delete a hive's root", [&] { return RegDeleteKey(HKEY_USERS, ".Default"); }, ERROR_ACCESS_DENIED},
        {"set through a read-only handle", [&] { return RegSetValueEx(readOnly.get(), "v", REG_DWORD, four, 4); },
         ERROR_ACCESS_DENIED},
        {"query through a write-only handle", [&] { return RegQueryValueEx(writeOnly.get(), "v", nullptr, nullptr); },
         ERROR_ACCESS_DENIED},
        {"enumerate through a write-only handle", [&] { return RegEnumKeyEx(writeOnly.get(), 0, &name); },
         ERROR_ACCESS_DENIED},
        {"create below a read-only handle",
         [&] { return RegCreateKeyEx(readOnly.get(), "New", 0, KEY_READ, &out, nullptr); }, ERROR_ACCESS_DENIED},
        {"enumerate past the end", [&] { return RegEnumKeyEx(readOnly.get(), 1, &name); }, ERROR_NO_MORE_ITEMS},
        {"nesting deeper than Windows allows",
         [&] {
             std::string deep = "k";
             for (int i = 0; i < 512; ++i) deep += "\\k";
             return RegCreateKeyEx(HKEY_CURRENT_USER, deep, 0, KEY_ALL_ACCESS, &out, nullptr);
         },
         ERROR_INVALID_PARAMETER},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        out = reinterpret_cast<HKEY>(std::uintptr_t{0xdead});
        EXPECT_EQ(row.call(), static_cast<LSTATUS>(row.expected));
        if (out != reinterpret_cast<HKEY>(std::uintptr_t{0xdead})) {
            EXPECT_EQ(out, nullptr);
        }
    }
    // Opening an existing key below a read-only handle needs no right.
    UniqueHKey child;
    EXPECT_EQ(RegCreateKeyEx(readOnly.get(), "Child", 0, KEY_READ, child.put(), nullptr), ERROR_SUCCESS);
    HKEY once = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "E", 0, KEY_READ, &once), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(once), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(once), static_cast<LSTATUS>(ERROR_INVALID_HANDLE));
}

TEST(RegistryApi, HandlesOfADeletedKeyReportIt) {
    testsupport::TestPrefix p;
    createKey(HKEY_CURRENT_USER, "Gone\\Deep\\Er");
    UniqueHKey held, deep;
    ASSERT_EQ(openKey(HKEY_CURRENT_USER, "Gone", KEY_ALL_ACCESS, held), ERROR_SUCCESS);
    ASSERT_EQ(openKey(HKEY_CURRENT_USER, "Gone\\Deep\\Er", KEY_ALL_ACCESS, deep), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "Gone"), ERROR_SUCCESS);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Gone"));

    std::string name;
    HKEY out = nullptr;
    const BYTE one[1] = {1};
    for (HKEY h : {held.get(), deep.get()}) {
        EXPECT_EQ(RegQueryValueEx(h, "", nullptr, nullptr), static_cast<LSTATUS>(ERROR_KEY_DELETED));
        EXPECT_EQ(RegSetValueEx(h, "v", REG_BINARY, one, 1), static_cast<LSTATUS>(ERROR_KEY_DELETED));
        EXPECT_EQ(RegEnumKeyEx(h, 0, &name), static_cast<LSTATUS>(ERROR_KEY_DELETED));
        EXPECT_EQ(RegEnumValue(h, 0, &name, nullptr, nullptr), static_cast<LSTATUS>(ERROR_KEY_DELETED));
        EXPECT_EQ(RegOpenKeyEx(h, "Deep", 0, KEY_READ, &out), static_cast<LSTATUS>(ERROR_KEY_DELETED));
        EXPECT_EQ(RegCreateKeyEx(h, "New", 0, KEY_ALL_ACCESS, &out, nullptr), static_cast<LSTATUS>(ERROR_KEY_DELETED));
    }
    // A key made again by the same name is a new key.
    createKey(HKEY_CURRENT_USER, "Gone");
    EXPECT_EQ(RegQueryInfoKey(held.get(), nullptr, nullptr), static_cast<LSTATUS>(ERROR_KEY_DELETED));
    EXPECT_EQ(RegCloseKey(held.release()), ERROR_SUCCESS);
}

TEST(RegistryApi, DeletingKeysAndTrees) {
    testsupport::TestPrefix p;
    {
        UniqueHKey k = createKey(HKEY_CURRENT_USER, "T\\A\\B");
        setText(k.get(), "v", "x");
        UniqueHKey t = createKey(HKEY_CURRENT_USER, "T");
        setText(t.get(), "top", "x");
    }
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "T\\A"), static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "T\\A\\B\\"), ERROR_SUCCESS);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "T\\A\\B"));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "T\\A"));

    // An empty subkey deletes the handle's own key.
    {
        UniqueHKey a;
        ASSERT_EQ(openKey(HKEY_CURRENT_USER, "T\\A", KEY_ALL_ACCESS, a), ERROR_SUCCESS);
        EXPECT_EQ(RegDeleteKey(a.get(), ""), ERROR_SUCCESS);
    }
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "T\\A"));

    // A tree with an empty subkey is emptied, and stays.
    createKey(HKEY_CURRENT_USER, "T\\C\\D");
    {
        UniqueHKey t;
        ASSERT_EQ(openKey(HKEY_CURRENT_USER, "T", KEY_ALL_ACCESS, t), ERROR_SUCCESS);
        ASSERT_EQ(RegDeleteTree(t.get(), ""), ERROR_SUCCESS);
        EXPECT_TRUE(subkeyNames(t.get()).empty());
        EXPECT_TRUE(valueNames(t.get()).empty());
    }
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "T"));
    EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "T"), ERROR_SUCCESS);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "T"));
    EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "T"), static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));

    // Emptying a key through a handle without the rights to do so fails.
    UniqueHKey r = createKey(HKEY_CURRENT_USER, "R");
    setText(r.get(), "v", "x");
    UniqueHKey readOnly;
    ASSERT_EQ(openKey(HKEY_CURRENT_USER, "R", KEY_READ, readOnly), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTree(readOnly.get(), ""), static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
}

// HKU holds .Default and the user's SID; the SID's key is HKCU.
TEST(RegistryApi, UsersHoldDefaultAndTheCurrentUser) {
    testsupport::TestPrefix p;
    const std::string sid = p.options().userSid;
    EXPECT_EQ(subkeyNames(HKEY_USERS), (std::vector<std::string>{".Default", sid}));
    {
        UniqueHKey k = createKey(HKEY_USERS, sid + "\\Software\\Via");
        setText(k.get(), "v", "through HKU");
    }
    EXPECT_EQ(textOf(HKEY_CURRENT_USER, "Software\\Via", "v"), "through HKU");
    {
        UniqueHKey k = createKey(HKEY_USERS, ".DEFAULT\\Software\\Via");
        setText(k.get(), "v", "default user");
    }
    EXPECT_EQ(textOf(HKEY_CURRENT_USER, "Software\\Via", "v"), "through HKU");
    EXPECT_EQ(textOf(HKEY_USERS, ".Default\\Software\\Via", "v"), "default user");

    HKEY out = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_USERS, "S-1-5-21-9", 0, KEY_READ, &out), static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegCreateKeyEx(HKEY_USERS, "S-1-5-21-9", 0, KEY_ALL_ACCESS, &out, nullptr),
              static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
    const BYTE one[1] = {1};
    EXPECT_EQ(RegSetValueEx(HKEY_USERS, "v", REG_BINARY, one, 1), static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
}

TEST(RegistryApi, PerformanceDynamicAndConfigRoots) {
    testsupport::TestPrefix p;
    HKEY out = nullptr;
    UniqueHKey perf;
    ASSERT_EQ(openKey(HKEY_PERFORMANCE_DATA, "", KEY_READ, perf), ERROR_SUCCESS);
    std::string name;
    EXPECT_EQ(RegEnumKeyEx(perf.get(), 0, &name), static_cast<LSTATUS>(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(RegQueryValueEx(HKEY_PERFORMANCE_DATA, "Global", nullptr, nullptr),
              static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
    const BYTE one[1] = {1};
    EXPECT_EQ(RegSetValueEx(HKEY_PERFORMANCE_DATA, "v", REG_BINARY, one, 1), static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(RegOpenKeyEx(HKEY_PERFORMANCE_DATA, "x", 0, KEY_READ, &out), static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegOpenKeyEx(HKEY_DYN_DATA, "", 0, KEY_READ, &out), static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));

    // HKCC is the machine's current hardware profile, once there is one.
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_CONFIG, "", 0, KEY_READ, &out), static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
    {
        UniqueHKey k = createKey(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Hardware Profiles\\Current\\Software");
        setText(k.get(), "v", "profile");
    }
    EXPECT_EQ(textOf(HKEY_CURRENT_CONFIG, "Software", "v"), "profile");
}

TEST(RegistryApi, CallsFromSeveralThreads) {
    testsupport::TestPrefix p;
    constexpr int kThreads = 4, kKeys = 100;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kKeys; ++i) {
                UniqueHKey k;
                const std::string path = "Threads\\T" + std::to_string(t) + "\\K" + std::to_string(i);
                if (RegCreateKeyEx(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, k.put(), nullptr) != ERROR_SUCCESS)
                    return;
                const BYTE data[1] = {static_cast<BYTE>(i)};
                RegSetValueEx(k.get(), "i", REG_BINARY, data, 1);
                std::string name;
                RegEnumKeyEx(HKEY_CURRENT_USER, 0, &name);
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) {
        UniqueHKey k;
        ASSERT_EQ(openKey(HKEY_CURRENT_USER, "Threads\\T" + std::to_string(t), KEY_READ, k), ERROR_SUCCESS);
        DWORD n = 0;
        ASSERT_EQ(RegQueryInfoKey(k.get(), &n, nullptr), ERROR_SUCCESS);
        EXPECT_EQ(n, static_cast<DWORD>(kKeys));
    }
}
