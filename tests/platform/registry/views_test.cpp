// The 32-bit view on 64-bit Windows, link keys, and the merged
// HKEY_CLASSES_ROOT.
#include "platform/registry/registry.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/platform/registry/reg_test_util.h"
#include "tests/support/test_prefix.h"

using namespace win;
using namespace regtest;

namespace {

// A hive section making `path` (relative to the hive, single backslashes) a
// link key to `target`.
std::string linkSection(const std::string& path, const std::string& target) {
    std::string escaped;
    for (char c : path) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    std::string hex;
    static const char digits[] = "0123456789abcdef";
    for (BYTE b : winsys::toUtf16leBytes(target, false)) {
        if (!hex.empty()) hex += ',';
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return "\n[" + escaped + "] 1\n#link\n\"SymbolicLinkValue\"=hex(6):" + hex + "\n";
}

void writeSystemHive(const testsupport::TestPrefix& p, const std::string& sections) {
    std::ofstream(p.root() / "system.reg", std::ios::binary | std::ios::trunc)
        << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n" << sections;
}

} // namespace

// Where a key written in the 32-bit view lands, seen from the 64-bit view.
// The prefix's class keys redirect CLSID, as Wine's do; other class names
// are shared.
TEST(RegistryViews, ThirtyTwoBitPathsAreRedirected) {
    struct Row {
        const char* label;
        HKEY root;
        std::string path;   // as a 32-bit program names it
        std::string landed; // where the 64-bit view finds it
    };
    const std::vector<Row> rows = {
        {"machine software", HKEY_LOCAL_MACHINE, "Software\\Vendor\\App", "Software\\Wow6432Node\\Vendor\\App"},
        {"machine classes", HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\{1}",
         "Software\\Classes\\Wow6432Node\\CLSID\\{1}"},
        {"names compare without case", HKEY_LOCAL_MACHINE, "SOFTWARE\\classes\\clsid\\{4}",
         "Software\\Classes\\Wow6432Node\\CLSID\\{4}"},
        {"class name Wow6432Node lacks is shared", HKEY_LOCAL_MACHINE, "Software\\Classes\\Foo.Bar",
         "Software\\Classes\\Foo.Bar"},
        {"already Wow6432Node", HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Vendor2",
         "Software\\Wow6432Node\\Vendor2"},
        {"classes already Wow6432Node", HKEY_LOCAL_MACHINE, "Software\\Classes\\Wow6432Node\\Bar",
         "Software\\Classes\\Wow6432Node\\Bar"},
        {"outside Software", HKEY_LOCAL_MACHINE, "System\\Setup\\X", "System\\Setup\\X"},
        {"user classes", HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{2}",
         "Software\\Classes\\Wow6432Node\\CLSID\\{2}"},
        {"user class name Wow6432Node lacks is shared", HKEY_CURRENT_USER, "Software\\Classes\\.ext",
         "Software\\Classes\\.ext"},
        {"user software is shared", HKEY_CURRENT_USER, "Software\\Vendor", "Software\\Vendor"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        testsupport::TestPrefix p;
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            createKey(root, "Software\\Classes\\Wow6432Node\\CLSID", KEY_ALL_ACCESS | KEY_WOW64_64KEY);
        {
            UniqueHKey k = createKey(row.root, row.path);
            setText(k.get(), "where", row.label);
        }
        EXPECT_EQ(textOf(row.root, row.path, "where"), row.label);
        EXPECT_EQ(textOf(row.root, row.landed, "where", KEY_READ | KEY_WOW64_64KEY), row.label);
        EXPECT_EQ(textOf(row.root, row.path, "where", KEY_READ | KEY_WOW64_32KEY), row.label);
        if (row.landed != row.path) {
            EXPECT_EQ(textOf(row.root, row.path, "where", KEY_READ | KEY_WOW64_64KEY), "<missing>");
        }
    }
}

// HKLM\Software lists its Wow6432Node child's contents in the 32-bit view;
// a classes key lists its shared names and those Wow6432Node holds.
TEST(RegistryViews, RedirectedKeysListTheirWow6432NodeContents) {
    testsupport::TestPrefix p;
    createKey(HKEY_LOCAL_MACHINE, "Software\\Only64", KEY_ALL_ACCESS | KEY_WOW64_64KEY);
    createKey(HKEY_LOCAL_MACHINE, "Software\\Only32");
    createKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\{64}", KEY_ALL_ACCESS | KEY_WOW64_64KEY);
    createKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\Wow6432Node\\CLSID\\{32}", KEY_ALL_ACCESS | KEY_WOW64_64KEY);
    createKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\Class64", KEY_ALL_ACCESS | KEY_WOW64_64KEY);
    createKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\Class32");

    UniqueHKey s32, s64, c32, c64;
    ASSERT_EQ(openKey(HKEY_LOCAL_MACHINE, "Software", KEY_ALL_ACCESS, s32), ERROR_SUCCESS);
    ASSERT_EQ(openKey(HKEY_LOCAL_MACHINE, "Software", KEY_READ | KEY_WOW64_64KEY, s64), ERROR_SUCCESS);
    ASSERT_EQ(openKey(HKEY_LOCAL_MACHINE, "Software\\Classes", KEY_READ, c32), ERROR_SUCCESS);
    ASSERT_EQ(openKey(HKEY_LOCAL_MACHINE, "Software\\Classes", KEY_READ | KEY_WOW64_64KEY, c64), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(s32.get()), std::vector<std::string>{"Only32"});
    EXPECT_EQ(subkeyNames(s64.get()), (std::vector<std::string>{"Classes", "Only64", "Wow6432Node"}));
    EXPECT_EQ(subkeyNames(c32.get()), (std::vector<std::string>{"Class32", "Class64", "CLSID"}));
    EXPECT_EQ(subkeyNames(c64.get()), (std::vector<std::string>{"Class32", "Class64", "CLSID", "Wow6432Node"}));
    DWORD subkeys = 0;
    ASSERT_EQ(RegQueryInfoKey(c32.get(), &subkeys, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 3u);
    EXPECT_EQ(textOf(HKEY_CLASSES_ROOT, "CLSID\\{32}", "", KEY_READ), "<missing>"); // the key exists, no value
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, "CLSID\\{32}"));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "CLSID\\{64}"));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, "CLSID\\{64}", KEY_READ | KEY_WOW64_64KEY));

    // Values and relative opens through a 32-bit handle stay in that view.
    setText(s32.get(), "v", "32");
    EXPECT_EQ(textOf(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node", "v", KEY_READ | KEY_WOW64_64KEY), "32");
    EXPECT_EQ(textOf(s32.get(), "Classes\\Class32", ""), "<missing>"); // the key exists, its default value not
    EXPECT_TRUE(keyExists(s32.get(), "Classes\\Class32"));
    EXPECT_FALSE(keyExists(s32.get(), "Only64"));
    EXPECT_TRUE(keyExists(s32.get(), "Only64", KEY_READ | KEY_WOW64_64KEY));
}

TEST(RegistryViews, OnThirtyTwoBitWindowsTheFlagsChangeNothing) {
    testsupport::TestPrefixOptions o;
    o.arch = winsys::Arch::Win32;
    testsupport::TestPrefix p(o);
    {
        UniqueHKey k = createKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\{3}");
        setText(k.get(), "v", "one view");
    }
    for (REGSAM view : {REGSAM{0}, KEY_WOW64_32KEY, KEY_WOW64_64KEY, KEY_WOW64_32KEY | KEY_WOW64_64KEY})
        EXPECT_EQ(textOf(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\{3}", "v", KEY_READ | view), "one view");
    EXPECT_EQ(textOf(HKEY_CLASSES_ROOT, "CLSID\\{3}", "v", KEY_READ | KEY_WOW64_64KEY), "one view");
    UniqueHKey software;
    ASSERT_EQ(openKey(HKEY_LOCAL_MACHINE, "Software", KEY_READ, software), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(software.get()), std::vector<std::string>{"Classes"});
}

TEST(RegistryViews, LinkKeysAreFollowed) {
    testsupport::TestPrefix p;
    const std::string sid = p.options().userSid;
    writeSystemHive(p, "\n[System\\\\Target] 1\n\"v\"=\"target\"\n"
                       "\n[System\\\\Target\\\\Sub] 1\n" +
                           linkSection("System\\Link", "\\Registry\\Machine\\System\\Target") +
                           linkSection("System\\Chain", "\\REGISTRY\\MACHINE\\System\\Link") +
                           linkSection("System\\Loop", "\\Registry\\Machine\\System\\Loop") +
                           linkSection("System\\ToUser", "\\Registry\\User\\" + sid + "\\Software\\Mine") +
                           linkSection("System\\Dangling", "\\Registry\\Machine\\System\\Nowhere") +
                           linkSection("System\\Outside", "\\Device\\Somewhere"));
    p.reopen();
    {
        UniqueHKey mine = createKey(HKEY_CURRENT_USER, "Software\\Mine");
        setText(mine.get(), "v", "user's");
    }
    EXPECT_EQ(textOf(HKEY_LOCAL_MACHINE, "System\\Link", "v"), "target");
    EXPECT_EQ(textOf(HKEY_LOCAL_MACHINE, "system\\chain", "v"), "target");
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, "System\\Link\\Sub"));
    EXPECT_EQ(textOf(HKEY_LOCAL_MACHINE, "System\\ToUser", "v"), "user's");
    {
        UniqueHKey link;
        ASSERT_EQ(openKey(HKEY_LOCAL_MACHINE, "System\\Link", KEY_READ, link), ERROR_SUCCESS);
        EXPECT_EQ(subkeyNames(link.get()), std::vector<std::string>{"Sub"});
    }

    // REG_OPTION_OPEN_LINK opens the link key itself.
    UniqueHKey self;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "System\\Link", REG_OPTION_OPEN_LINK, KEY_READ, self.put()),
              ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueEx(self.get(), "SymbolicLinkValue", &type, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_LINK);

    HKEY out = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "System\\Loop", 0, KEY_READ, &out), static_cast<LSTATUS>(ERROR_CANTOPEN));
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "System\\Dangling", 0, KEY_READ, &out),
              static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "System\\Outside", 0, KEY_READ, &out),
              static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));

    // Creating through a dangling link makes its target.
    createKey(HKEY_LOCAL_MACHINE, "System\\Dangling\\New");
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, "System\\Nowhere\\New"));

    // Deleting a link deletes the link, not what it points at.
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "System\\Chain"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTree(HKEY_LOCAL_MACHINE, "System\\Link"), ERROR_SUCCESS);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "System\\Link"));
    EXPECT_EQ(textOf(HKEY_LOCAL_MACHINE, "System\\Target", "v"), "target");
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, "System\\Target\\Sub"));
}

// HKCR: the user's classes over the machine's.
TEST(RegistryViews, ClassesRootMergesUserOverMachine) {
    testsupport::TestPrefix p;
    const REGSAM v64 = KEY_ALL_ACCESS | KEY_WOW64_64KEY;
    {
        UniqueHKey m = createKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\Both", v64);
        setText(m.get(), "", "machine default");
        setText(m.get(), "MachineOnly", "m");
        setText(m.get(), "Shared", "machine");
        createKey(m.get(), "SubM", v64);
        createKey(m.get(), "subShared", v64);
        UniqueHKey u = createKey(HKEY_CURRENT_USER, "Software\\Classes\\Both", v64);
        setText(u.get(), "Shared", "user");
        setText(u.get(), "UserOnly", "u");
        createKey(u.get(), "SubU", v64);
        createKey(u.get(), "SubShared", v64);
        createKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\MachineKey", v64);
        createKey(HKEY_CURRENT_USER, "Software\\Classes\\UserKey", v64);
    }
    UniqueHKey both;
    ASSERT_EQ(openKey(HKEY_CLASSES_ROOT, "both", v64, both), ERROR_SUCCESS);
    EXPECT_EQ(textOf(both.get(), "", "Shared"), "user");
    EXPECT_EQ(textOf(both.get(), "", "MachineOnly"), "m");
    EXPECT_EQ(textOf(both.get(), "", ""), "machine default");
    EXPECT_EQ(subkeyNames(both.get()), (std::vector<std::string>{"SubM", "SubShared", "SubU"}));
    EXPECT_EQ(valueNames(both.get()), (std::vector<std::string>{"Shared", "UserOnly", "", "MachineOnly"}));
    DWORD keys = 0, values = 0;
    ASSERT_EQ(RegQueryInfoKey(both.get(), &keys, &values), ERROR_SUCCESS);
    EXPECT_EQ(keys, 3u);
    EXPECT_EQ(values, 4u);
    UniqueHKey root;
    ASSERT_EQ(openKey(HKEY_CLASSES_ROOT, "", v64, root), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(root.get()), (std::vector<std::string>{"Both", "MachineKey", "UserKey"}));

    // New keys go to the user's classes when their parent is there.
    createKey(both.get(), "NewInBoth", v64);
    createKey(HKEY_CLASSES_ROOT, "MachineKey\\New", v64);
    createKey(HKEY_CLASSES_ROOT, "UserKey\\New", v64);
    createKey(HKEY_CLASSES_ROOT, "Fresh\\Deeper", v64);
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "Software\\Classes\\Both\\NewInBoth", v64));
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, "Software\\Classes\\MachineKey\\New", v64));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, "Software\\Classes\\UserKey\\New", v64));
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, "Software\\Classes\\Fresh\\Deeper", v64));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\Classes\\Fresh", v64));

    // A value set through HKCR lands in the user's key when there is one.
    setText(both.get(), "Written", "w");
    EXPECT_EQ(textOf(HKEY_CURRENT_USER, "Software\\Classes\\Both", "Written", v64), "w");
    {
        UniqueHKey mk;
        ASSERT_EQ(openKey(HKEY_CLASSES_ROOT, "MachineKey", v64, mk), ERROR_SUCCESS);
        setText(mk.get(), "Written", "w");
    }
    EXPECT_EQ(textOf(HKEY_LOCAL_MACHINE, "Software\\Classes\\MachineKey", "Written", v64), "w");

    // Deleting through HKCR removes the value, or the key, from both places.
    ASSERT_EQ(RegDeleteValue(both.get(), "Shared"), ERROR_SUCCESS);
    EXPECT_EQ(textOf(both.get(), "", "Shared"), "<missing>");
    ASSERT_EQ(RegDeleteKeyEx(HKEY_CLASSES_ROOT, "Both\\SubShared", KEY_WOW64_64KEY, 0), ERROR_SUCCESS);
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "Both\\SubShared", v64));
    EXPECT_EQ(RegDeleteKeyEx(HKEY_CLASSES_ROOT, "", KEY_WOW64_64KEY, 0), static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
    ASSERT_EQ(RegDeleteTree(both.get(), ""), ERROR_SUCCESS);
    EXPECT_TRUE(subkeyNames(both.get()).empty());
}

// In the 32-bit view HKCR merges the two Wow6432Node classes keys.
TEST(RegistryViews, ClassesRootOfTheThirtyTwoBitView) {
    testsupport::TestPrefix p;
    createKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\{64}", KEY_ALL_ACCESS | KEY_WOW64_64KEY);
    createKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\Wow6432Node\\CLSID\\{M32}", KEY_ALL_ACCESS | KEY_WOW64_64KEY);
    createKey(HKEY_CURRENT_USER, "Software\\Classes\\Wow6432Node\\CLSID\\{U32}", KEY_ALL_ACCESS | KEY_WOW64_64KEY);
    UniqueHKey clsid32, clsid64;
    ASSERT_EQ(openKey(HKEY_CLASSES_ROOT, "CLSID", KEY_READ, clsid32), ERROR_SUCCESS);
    ASSERT_EQ(openKey(HKEY_CLASSES_ROOT, "CLSID", KEY_READ | KEY_WOW64_64KEY, clsid64), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(clsid32.get()), (std::vector<std::string>{"{M32}", "{U32}"}));
    EXPECT_EQ(subkeyNames(clsid64.get()), std::vector<std::string>{"{64}"});
    EXPECT_EQ(subkeyNames(HKEY_CLASSES_ROOT), std::vector<std::string>{"CLSID"});
}
