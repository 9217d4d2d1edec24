// Internet Explorer toolbars: records and removal records in both registry
// views (the class looked up in the view of the mode), the files Windows
// brings left out, names of the wrong length skipped, the name fallbacks,
// the per-user pass over HKEY_USERS, redirection while the 64-bit toolbars
// are read, and the logged machine key that cannot be listed.

#include "tests/app/enumerators/ie_fixture.h"

#include "app/core/globals.h"

using namespace ietest;
using sorlix::CIEEnumerator;

namespace {

constexpr const char* kToolbarKey = "Software\\Microsoft\\Internet Explorer\\Toolbar";
constexpr const char* kUserToolbarPath = "\\Software\\Microsoft\\Internet Explorer\\Toolbar\\WebBrowser";

TEST(IEToolbars, RecordsInBothViewsUseTheClassOfTheirOwnView) {
    Machine m;
    // One class id, registered differently in each view: each mode must
    // take the class of its own view.
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Toolbar]
"{A0000000-0000-0000-0000-000000000001}"=hex:00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\Toolbar]
"{A0000000-0000-0000-0000-000000000001}"=hex:00

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{A0000000-0000-0000-0000-000000000001}]
@=" Bar &32 "

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{A0000000-0000-0000-0000-000000000001}\InProcServer32]
@="C:\\x\\tb32.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{A0000000-0000-0000-0000-000000000001}]
@="Bar 64"

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{A0000000-0000-0000-0000-000000000001}\InProcServer32]
@="C:\\x\\tb64.dll"
)");
    m.pe("C:\\x\\tb32.dll", {{"CompanyName", "Maker 32"}, {"ProductVersion", "3.2"}, {"FileDescription", "Bar one"}});
    m.pe("C:\\x\\tb64.dll", {{"CompanyName", "Maker 64"}, {"ProductVersion", "6.4"}, {"ProductName", "P64"}});

    struct Case {
        bool IE64bit;
        Rows record;
        Lines removal;
    } cases[] = {
        {false,
         {{"originalName", "Bar 32"}, {"dLL", "C:\\x\\tb32.dll"}, {"file64bitSystem32", "False"}, {"key", kHKLM},
          {"hive", kToolbarKey}, {"scope", "Everyone"}, {"backupCfg", "<object>"}, {"manufacturer", "Maker 32"},
          {"version", "3.2"}, {"description", "Bar one"}, {"websearchName", "Bar 32"}},
         {"value " + kHKLM + " " + kToolbarKey + " | {A0000000-0000-0000-0000-000000000001}"}},
        {true,
         {{"originalName", "Bar 64"}, {"dLL", "C:\\x\\tb64.dll"}, {"file64bitSystem32", "True"}, {"key", kHKLM64},
          {"hive", kToolbarKey}, {"scope", "Everyone"}, {"backupCfg", "<object>"}, {"manufacturer", "Maker 64"},
          {"version", "6.4"}, {"websearchName", "Bar 64"}},
         {"value " + kHKLM64 + " " + kToolbarKey + " | {A0000000-0000-0000-0000-000000000001}"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.IE64bit ? "64-bit" : "32-bit");
        CIEEnumerator e;
        expectOneAddon(e.EnumToolbars(c.IE64bit).get(), "{A0000000-0000-0000-0000-000000000001}", c.record, c.removal);
    }
    EXPECT_TRUE(m.log().empty());
}

TEST(IEToolbars, SkipsSystemToolbarsAndNamesOfTheWrongLength) {
    Machine m;
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Toolbar]
"{A0000000-0000-0000-0000-000000000001}"=""
"{A0000000-0000-0000-0000-000000000002}"=""
"{A0000000-0000-0000-0000-000000000003}"=""
"{A0000000-0000-0000-0000-000000000004}"=""
"{A0000000-0000-0000-0000-000000000005}"=""
"{A0000000-0000-0000-0000-000000000006}"=""
"{A0000000-0000-0000-0000-00000000007}"=""
"{A0000000-0000-0000-0000-0000000000008}"=""
"{A0000000-0000-0000-0000-000000000009}"=""

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{A0000000-0000-0000-0000-000000000001}\InProcServer32]
@="C:\\Windows\\System32\\IEFRAME.DLL"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{A0000000-0000-0000-0000-000000000002}\InProcServer32]
@="C:\\x\\myieframe.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{A0000000-0000-0000-0000-000000000003}\InProcServer32]
@="%SystemRoot%\\system32\\Shell32.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{A0000000-0000-0000-0000-000000000004}\InProcServer32]
@="C:\\x\\BrowseUI.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{A0000000-0000-0000-0000-000000000005}\InProcServer32]
@="C:\\x\\msdxm.ocx"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{A0000000-0000-0000-0000-000000000006}\InProcServer32]
@="C:\\x\\ExplorerFrame.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{A0000000-0000-0000-0000-00000000007}\InProcServer32]
@="C:\\x\\short.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{A0000000-0000-0000-0000-0000000000008}\InProcServer32]
@="C:\\x\\long.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{A0000000-0000-0000-0000-000000000009}\InProcServer32]
@="C:\\x\\good.dll"
)");
    CIEEnumerator e;
    const auto result = e.EnumToolbars(false);
    ASSERT_TRUE(result);
    EXPECT_EQ(idsOf(result.get()),
              (Lines{"{A0000000-0000-0000-0000-000000000002}", "{A0000000-0000-0000-0000-000000000009}"}));
}

TEST(IEToolbars, NameAndWebSearchFallbacks) {
    Machine m;
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Toolbar]
"{B0000000-0000-0000-0000-000000000001}"=""
"{B0000000-0000-0000-0000-000000000002}"=""
"{B0000000-0000-0000-0000-000000000003}"=""
"{B0000000-0000-0000-0000-000000000004}"=""
"{B0000000-0000-0000-0000-000000000005}"=""
"{B0000000-0000-0000-0000-000000000006}"=""
"{B0000000-0000-0000-0000-000000000007}"=""

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{B0000000-0000-0000-0000-000000000001}]
@="&Links "

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{B0000000-0000-0000-0000-000000000001}\InProcServer32]
@="C:\\x\\all.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{B0000000-0000-0000-0000-000000000002}\InProcServer32]
@="C:\\x\\all.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{B0000000-0000-0000-0000-000000000003}\InProcServer32]
@="C:\\x\\desc.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{B0000000-0000-0000-0000-000000000004}\InProcServer32]
@="C:\\x\\legal.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{B0000000-0000-0000-0000-000000000005}\InProcServer32]
@="C:\\x\\missing.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{B0000000-0000-0000-0000-000000000006}]
@=" && "

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{B0000000-0000-0000-0000-000000000006}\InProcServer32]
@="C:\\x\\none.dll"
)");
    m.pe("C:\\x\\all.dll", {{"ProductName", "Prod"}, {"FileDescription", "Desc"}, {"LegalCopyright", "(c) All"}});
    m.pe("C:\\x\\desc.dll", {{"FileDescription", "Desc only"}, {"LegalCopyright", "(c) Desc"}});
    m.pe("C:\\x\\legal.dll", {{"LegalCopyright", "(c) Maker"}});
    m.pe("C:\\x\\none.dll", {{"CompanyName", "Nobody"}});

    struct Case {
        const char* id;
        const char* originalName; // "<missing>" when the record has none
        const char* websearchName;
        const char* dLL;
    } cases[] = {
        {"{B0000000-0000-0000-0000-000000000001}", "Links", "Links", "C:\\x\\all.dll"},
        {"{B0000000-0000-0000-0000-000000000002}", "<missing>", "Prod", "C:\\x\\all.dll"},
        {"{B0000000-0000-0000-0000-000000000003}", "<missing>", "Desc only", "C:\\x\\desc.dll"},
        {"{B0000000-0000-0000-0000-000000000004}", "<missing>", "(c) Maker", "C:\\x\\legal.dll"},
        {"{B0000000-0000-0000-0000-000000000005}", "<missing>", "C:\\x\\missing.dll", "C:\\x\\missing.dll"},
        {"{B0000000-0000-0000-0000-000000000006}", "<missing>", "C:\\x\\none.dll", "C:\\x\\none.dll"},
        // No class at all: a broken registration, listed with an empty file.
        {"{B0000000-0000-0000-0000-000000000007}", "<missing>", "", ""},
    };
    CIEEnumerator e;
    const auto result = e.EnumToolbars(false);
    ASSERT_TRUE(result);
    ASSERT_EQ(nodesOf(result.get()).size(), std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const auto node = nodeById(result.get(), c.id);
        ASSERT_TRUE(node);
        EXPECT_EQ(param(node.get(), "originalName"), c.originalName);
        EXPECT_EQ(param(node.get(), "websearchName"), c.websearchName);
        EXPECT_EQ(param(node.get(), "dLL"), c.dLL);
    }
}

TEST(IEToolbars, TheyAreReadWithRedirectionOffIn64bitMode) {
    Machine m;
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Toolbar]
"{A0000000-0000-0000-0000-000000000001}"=""

[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\Toolbar]
"{A0000000-0000-0000-0000-000000000001}"=""

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{A0000000-0000-0000-0000-000000000001}\InProcServer32]
@="C:\\windows\\system32\\tbsys.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{A0000000-0000-0000-0000-000000000001}\InProcServer32]
@="C:\\windows\\system32\\tbsys.dll"
)");
    m.pe("C:\\windows\\system32\\tbsys.dll", {{"CompanyName", "Maker 64"}});
    m.pe("C:\\windows\\syswow64\\tbsys.dll", {{"CompanyName", "Maker 32"}});
    for (const bool IE64bit : {false, true}) {
        SCOPED_TRACE(IE64bit ? "64-bit" : "32-bit");
        CIEEnumerator e;
        const auto result = e.EnumToolbars(IE64bit);
        ASSERT_TRUE(result);
        const auto nodes = nodesOf(result.get());
        ASSERT_EQ(nodes.size(), 1u);
        EXPECT_EQ(param(nodes[0].get(), "manufacturer"), IE64bit ? "Maker 64" : "Maker 32");
        EXPECT_EQ(sorlix::Wow64RedirectionCount, 0);
    }
}

TEST(IEToolbars, MachineKeyThatCannotBeListedIsLoggedAndUsersStillCome) {
    struct Case {
        winsys::Arch arch;
        bool IE64bit;
        std::string root;
        const char* reason; // null: the registry's reason is not looked at
    } cases[] = {
        {winsys::Arch::Win64, false, "HKEY_LOCAL_MACHINE",
         "OpenKey failed('HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Internet Explorer\\Toolbar', ReadOnly=True)"},
        {winsys::Arch::Win64, true, "HKEY_LOCAL_MACHINE_64BIT",
         "OpenKey failed('HKEY_LOCAL_MACHINE_64BIT\\Software\\Microsoft\\Internet Explorer\\Toolbar', "
         "ReadOnly=True)"},
        // The library takes its WOW64 flag from the first machine it was
        // loaded on, so the reason depends on the order of the tests.
        {winsys::Arch::Win32, true, "HKEY_LOCAL_MACHINE_64BIT", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.arch == winsys::Arch::Win32 ? "32-bit Windows, " : "64-bit Windows, ") +
                     (c.IE64bit ? "64-bit view" : "32-bit view"));
        Machine m(testsupport::TestPrefixOptions{.arch = c.arch});
        // Only the default user has a toolbar; the current user's key is
        // missing and passed over silently.
        m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_USERS\.DEFAULT\Software\Microsoft\Internet Explorer\Toolbar\WebBrowser]
"{A0000000-0000-0000-0000-000000000001}"=""
)");
        CIEEnumerator e;
        const auto result = e.EnumToolbars(c.IE64bit);
        ASSERT_TRUE(result);
        EXPECT_EQ(idsOf(result.get()), Lines{"{A0000000-0000-0000-0000-000000000001}"});
        ASSERT_EQ(m.log().size(), 1u);
        EXPECT_EQ(m.log()[0].number, 0);
        const std::string start = "Cannot enumerate '" + c.root + "\\" + kToolbarKey + "': ";
        const std::string& line = m.log()[0].description;
        EXPECT_EQ(line.substr(0, start.size()), start);
        EXPECT_EQ(line.back(), '.');
        if (c.reason) {
            EXPECT_EQ(line, start + c.reason + ".");
        }
        EXPECT_EQ(m.log()[0].severity, halvenlib::sevError);
        EXPECT_EQ(m.log()[0].source, "");
    }
}

// The per-user pass of the three kinds that have one: each user key below
// HKEY_USERS, its scope, and removal records under HKEY_USERS.
TEST(IEPerUserPass, ScopesAndRemovalRecordsOfEachUserKey) {
    constexpr const char* kTesterSid = "S-1-5-21-1111111111-2222222222-3333333333-1000";
    struct User {
        std::string key, scope;
    };
    struct Case {
        const char* userSid;    // the current user's key below HKEY_USERS
        std::vector<User> users; // the user keys that give records, in order
    } cases[] = {
        {kTesterSid, {{".Default", "Default"}, {kTesterSid, "tester"}}},
        {"S-1-5-18", {{".Default", "Default"}, {"S-1-5-18", "SYSTEM"}}},
        {"s-1-5-18", {{".Default", "Default"}, {"s-1-5-18", ""}}}, // "S-" is matched with its case
        {"Profiles", {{".Default", "Default"}, {"Profiles", ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.userSid);
        Machine m(testsupport::TestPrefixOptions{.userSid = c.userSid});
        m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Toolbar]

[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\Toolbar]

[HKEY_USERS\.DEFAULT\Software\Microsoft\Internet Explorer\Toolbar\WebBrowser]
"{A0000000-0000-0000-0000-000000000001}"=""

[HKEY_USERS\.DEFAULT\Software\Microsoft\Internet Explorer\Extensions\{C0000000-0000-0000-0000-000000000001}]
"ButtonText"="Button"

[HKEY_USERS\.DEFAULT\Software\Microsoft\Internet Explorer\MenuExt\Menu]
@="C:\\x\\menu.htm"

[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Toolbar\WebBrowser]
"{A0000000-0000-0000-0000-000000000001}"=""

[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Extensions\{C0000000-0000-0000-0000-000000000001}]
"ButtonText"="Button"

[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\MenuExt\Menu]
@="C:\\x\\menu.htm"
)");
        for (const bool IE64bit : {false, true}) {
            SCOPED_TRACE(IE64bit ? "64-bit" : "32-bit");
            CIEEnumerator e;
            const auto toolbars = e.EnumToolbars(IE64bit);
            const auto buttons = e.EnumToolbarButtons(IE64bit);
            const auto menus = e.EnumContextMenus(IE64bit);
            ASSERT_TRUE(toolbars && buttons && menus);
            const auto t = nodesOf(toolbars.get()), b = nodesOf(buttons.get()), x = nodesOf(menus.get());
            ASSERT_EQ(t.size(), c.users.size());
            ASSERT_EQ(b.size(), c.users.size());
            ASSERT_EQ(x.size(), c.users.size());
            for (std::size_t i = 0; i < c.users.size(); ++i) {
                const User& u = c.users[i];
                SCOPED_TRACE(u.key);
                EXPECT_EQ(param(t[i].get(), "scope"), u.scope);
                EXPECT_EQ(param(t[i].get(), "key"), kHKU);
                EXPECT_EQ(param(t[i].get(), "hive"), u.key + kUserToolbarPath);
                EXPECT_EQ(removal(t[i].get(), "backupCfg"),
                          Lines{"value " + kHKU + " " + u.key + kUserToolbarPath +
                                " | {A0000000-0000-0000-0000-000000000001}"});
                EXPECT_EQ(param(b[i].get(), "scope"), u.scope);
                EXPECT_EQ(removal(b[i].get(), "backupCfg"),
                          Lines{"subkey " + kHKU + " " + u.key +
                                "\\Software\\Microsoft\\Internet Explorer\\Extensions\\"
                                "{C0000000-0000-0000-0000-000000000001}"});
                EXPECT_EQ(param(x[i].get(), "scope"), u.scope);
                EXPECT_EQ(removal(x[i].get(), "backupCfg"),
                          Lines{"subkey " + kHKU + " " + u.key +
                                "\\Software\\Microsoft\\Internet Explorer\\MenuExt\\Menu"});
            }
            EXPECT_TRUE(m.log().empty());
        }
    }
}

} // namespace
