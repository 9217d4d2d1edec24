// Internet Explorer toolbar buttons and context-menu extensions: records
// and removal records in both registry views (a button's extension class
// looked up in the view of the mode), the texts, and the file that each
// kind of registration names.

#include "tests/app/enumerators/ie_fixture.h"

using namespace ietest;
using sorlix::CIEEnumerator;

namespace {

constexpr const char* kExtensionsKey = "Software\\Microsoft\\Internet Explorer\\Extensions";
constexpr const char* kMenuExtKey = "Software\\Microsoft\\Internet Explorer\\MenuExt";

// ---- Toolbar buttons ----

TEST(IEToolbarButtons, RecordsInBothViewsUseTheClassOfTheirOwnView) {
    Machine m;
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Extensions\{C0000000-0000-0000-0000-000000000001}]
"ButtonText"="&Go"
"MenuText"="Go &there"
"Script"="res://C:\\x\\btn32.dll/page.htm"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\Extensions\{C0000000-0000-0000-0000-000000000001}]
"ButtonText"="Go64"
"ClsidExtension"="{C0000000-0000-0000-0000-0000000000EE}"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{C0000000-0000-0000-0000-0000000000EE}\InProcServer32]
@="C:\\x\\wrong.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{C0000000-0000-0000-0000-0000000000EE}\InProcServer32]
@="C:\\x\\btn64.dll"
)");
    m.pe("C:\\x\\btn32.dll", {{"CompanyName", "Buttons 32"}, {"FileVersion", "1.0"}, {"ProductVersion", "1.2"}});
    m.pe("C:\\x\\btn64.dll", {{"CompanyName", "Buttons 64"}, {"FileVersion", "6.0"}});
    const std::string subkey = std::string(kExtensionsKey) + "\\{C0000000-0000-0000-0000-000000000001}";
    struct Case {
        bool IE64bit;
        Rows record;
        Lines removal;
    } cases[] = {
        {false,
         {{"buttontext", "Go"}, {"menutext", "Go there"}, {"websearchName", "Go Go there"}, {"originalName", "Go"},
          {"dLL", "C:\\x\\btn32.dll"}, {"file64bitSystem32", "False"}, {"scope", "Everyone"},
          {"backupCfg", "<object>"}, {"manufacturer", "Buttons 32"}, {"version", "1.2"}},
         {"subkey " + kHKLM + " " + subkey}},
        {true,
         {{"buttontext", "Go64"}, {"menutext", ""}, {"websearchName", "Go64 "}, {"originalName", "Go64"},
          {"dLL", "C:\\x\\btn64.dll"}, {"file64bitSystem32", "True"}, {"scope", "Everyone"},
          {"backupCfg", "<object>"}, {"manufacturer", "Buttons 64"}, {"version", "6.0"}},
         {"subkey " + kHKLM64 + " " + subkey}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.IE64bit ? "64-bit" : "32-bit");
        CIEEnumerator e;
        expectOneAddon(e.EnumToolbarButtons(c.IE64bit).get(), "{C0000000-0000-0000-0000-000000000001}", c.record, c.removal);
    }
    EXPECT_TRUE(m.log().empty());
}

TEST(IEToolbarButtons, TextsAndTheFileEachRegistrationNames) {
    Machine m;
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Extensions\{D0000000-0000-0000-0000-000000000001}]
"ButtonText"="Go"
"MenuText"="Go"
"Script"="res://C:\\x\\y.dll/page.htm"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Extensions\{D0000000-0000-0000-0000-000000000002}]
"ButtonText"="go"
"MenuText"="Go"
"Script"="RES://C:\\x\\z.dll"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Extensions\{D0000000-0000-0000-0000-000000000003}]
"MenuText"="&Tools"
"Exec"="C:\\x\\run.exe"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Extensions\{D0000000-0000-0000-0000-000000000004}]
"ButtonText"="@C:\\x\\res.dll,-101"
"Script"=""
"Exec"="C:\\x\\exec.exe"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Extensions\{D0000000-0000-0000-0000-000000000005}]
"ButtonText"="Ext"
"ClsidExtension"="{D0000000-0000-0000-0000-0000000000EE}"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Extensions\{D0000000-0000-0000-0000-000000000006}]
"ButtonText"="Unregistered"
"ClsidExtension"="{D0000000-0000-0000-0000-0000000000FF}"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Extensions\{D0000000-0000-0000-0000-000000000007}]
"ButtonText"="Nothing"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Extensions\{D0000000-0000-0000-0000-000000000008}]
"ButtonText"="Bare"
"Script"="res://"
"ClsidExtension"="{D0000000-0000-0000-0000-0000000000EE}"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Extensions\{D0000000-0000-0000-0000-00000000009}]
"ButtonText"="Too short"
"Exec"="C:\\x\\run.exe"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{D0000000-0000-0000-0000-0000000000EE}\InProcServer32]
@="C:\\x\\ext.dll"
)");
    testsupport::PeSpec strings;
    strings.strings[101] = "Search &Now";
    testsupport::writePe(m.prefix.host("C:\\x\\res.dll"), strings);
    m.pe("C:\\x\\y.dll", {{"CompanyName", "Why"}, {"ProductVersion", "2.0"}});

    struct Case {
        const char* id;
        const char* buttontext;
        const char* menutext;
        const char* originalName;
        const char* websearchName;
        const char* dLL;
        const char* manufacturer; // "<missing>" when there is none
        const char* version;
    } cases[] = {
        {"{D0000000-0000-0000-0000-000000000001}", "Go", "Go", "Go", "Go", "C:\\x\\y.dll", "Why", "2.0"},
        {"{D0000000-0000-0000-0000-000000000002}", "go", "Go", "go", "go Go", "C:\\x\\z.dll", "<missing>", ""},
        {"{D0000000-0000-0000-0000-000000000003}", "", "Tools", "Tools", " Tools", "C:\\x\\run.exe", "<missing>", ""},
        {"{D0000000-0000-0000-0000-000000000004}", "Search Now", "", "Search Now", "Search Now ", "C:\\x\\exec.exe",
         "<missing>", ""},
        {"{D0000000-0000-0000-0000-000000000005}", "Ext", "", "Ext", "Ext ", "C:\\x\\ext.dll", "<missing>", ""},
        {"{D0000000-0000-0000-0000-000000000006}", "Unregistered", "", "Unregistered", "Unregistered ", "",
         "<missing>", "<missing>"},
        {"{D0000000-0000-0000-0000-000000000007}", "Nothing", "", "Nothing", "Nothing ", "", "<missing>",
         "<missing>"},
        {"{D0000000-0000-0000-0000-000000000008}", "Bare", "", "Bare", "Bare ", "C:\\x\\ext.dll", "<missing>", ""},
    };
    CIEEnumerator e;
    const auto result = e.EnumToolbarButtons(false);
    ASSERT_TRUE(result);
    ASSERT_EQ(nodesOf(result.get()).size(), std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const auto node = nodeById(result.get(), c.id);
        ASSERT_TRUE(node);
        EXPECT_EQ(param(node.get(), "buttontext"), c.buttontext);
        EXPECT_EQ(param(node.get(), "menutext"), c.menutext);
        EXPECT_EQ(param(node.get(), "originalName"), c.originalName);
        EXPECT_EQ(param(node.get(), "websearchName"), c.websearchName);
        EXPECT_EQ(param(node.get(), "dLL"), c.dLL);
        EXPECT_EQ(param(node.get(), "manufacturer"), c.manufacturer);
        EXPECT_EQ(param(node.get(), "version"), c.version);
    }
}

// ---- Context-menu extensions ----

TEST(IEContextMenus, RecordsInBothViews) {
    Machine m;
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\MenuExt\E&xport to list]
@="res://C:\\x\\menu32.dll/export.htm"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Internet Explorer\MenuExt\Send &64]
@="file://C:\\x\\send.htm"
)");
    m.pe("C:\\x\\menu32.dll", {{"CompanyName", "Menus"}, {"FileVersion", "3.1"}});
    struct Case {
        bool IE64bit;
        const char* id;
        Rows record;
        Lines removal;
    } cases[] = {
        {false, "E&xport to list",
         {{"name", "Export to list"}, {"websearchName", "Export to list"}, {"originalName", "Export to list"},
          {"dLL", "C:\\x\\menu32.dll"}, {"file64bitSystem32", "False"}, {"scope", "Everyone"},
          {"backupCfg", "<object>"}, {"manufacturer", "Menus"}, {"version", "3.1"}},
         {"subkey " + kHKLM + " " + kMenuExtKey + "\\E&xport to list"}},
        {true, "Send &64",
         {{"name", "Send 64"}, {"websearchName", "Send 64"}, {"originalName", "Send 64"}, {"dLL", "C:\\x\\send.htm"},
          {"file64bitSystem32", "True"}, {"scope", "Everyone"}, {"backupCfg", "<object>"}, {"version", ""}},
         {"subkey " + kHKLM64 + " " + kMenuExtKey + "\\Send &64"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.IE64bit ? "64-bit" : "32-bit");
        CIEEnumerator e;
        expectOneAddon(e.EnumContextMenus(c.IE64bit).get(), c.id, c.record, c.removal);
    }
    EXPECT_TRUE(m.log().empty());
}

TEST(IEContextMenus, FilesOfAnyNameLength) {
    Machine m;
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\MenuExt\A]
@="FILE://C:\\x\\page.htm"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\MenuExt\B]
@="Res://C:\\x\\menu.dll"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\MenuExt\C]
@="C:\\x\\plain.htm"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\MenuExt\D]
"Contexts"=dword:00000001
)");
    const Rows expected = {{"A", "C:\\x\\page.htm"}, {"B", "C:\\x\\menu.dll"}, {"C", "C:\\x\\plain.htm"}, {"D", ""}};
    CIEEnumerator e;
    const auto result = e.EnumContextMenus(false);
    ASSERT_TRUE(result);
    Rows files;
    for (const auto& n : nodesOf(result.get())) files.emplace_back(idOf(n.get()), param(n.get(), "dLL"));
    EXPECT_EQ(files, expected);
}

} // namespace
