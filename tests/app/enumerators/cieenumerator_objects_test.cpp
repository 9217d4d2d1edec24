// Internet Explorer explorer bars and browser helper objects: records and
// removal records in both registry views, the system bars left out, the
// file and name fallbacks, the caches an explorer bar's removal clears; and
// the error traps of the entries and the workers of all five kinds.

#include "tests/app/enumerators/ie_fixture.h"

#include <functional>

#include "app/core/globals.h"
#include "app/core/mmain.h"

using namespace ietest;
using sorlix::CIEEnumerator;

namespace {

constexpr const char* kBHOKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
constexpr const char* kVertical = "{00021493-0000-0000-C000-000000000046}";
constexpr const char* kHorizontal = "{00021494-0000-0000-C000-000000000046}";

// ---- Explorer bars ----

TEST(IEExplorerBars, RecordsInBothViews) {
    Machine m;
    // The 32-bit class id is stored in lower case: records and removal
    // records carry it upper-cased.
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{fa000000-0000-0000-0000-000000000001}]
@="&Bar 32"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{fa000000-0000-0000-0000-000000000001}\InProcServer32]
@="C:\\x\\bar32.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{fa000000-0000-0000-0000-000000000001}\Implemented Categories\{00021493-0000-0000-C000-000000000046}]

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{FA000000-0000-0000-0000-000000000002}\InProcServer32]
@="C:\\x\\bar64.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{FA000000-0000-0000-0000-000000000002}\Implemented Categories\{00021494-0000-0000-C000-000000000046}]
)");
    m.pe("C:\\x\\bar32.dll", {{"CompanyName", "Bars"}, {"ProductVersion", "3.2"}, {"FileDescription", "Side bar"}});
    m.pe("C:\\x\\bar64.dll", {{"ProductName", "Wide &Bar"}});
    struct Case {
        bool IE64bit;
        const char* id;
        Rows record;
        Lines backup, caches;
    } cases[] = {
        {false, "{FA000000-0000-0000-0000-000000000001}",
         {{"manufacturer", "Bars"}, {"version", "3.2"}, {"description", "Side bar"}, {"websearchName", "Bar 32"},
          {"originalName", "Bar 32"}, {"dLL", "C:\\x\\bar32.dll"}, {"file64bitSystem32", "False"},
          {"cATID", kVertical}, {"type", "Vertical Explorer Bar"}, {"backupCfg", "<object>"},
          {"deleteCfg", "<object>"}},
         {"subkey " + kHKCR + " CLSID\\{FA000000-0000-0000-0000-000000000001}\\Implemented Categories\\" + kVertical},
         {"subkey " + kHKCU + " " + kPostSetup + "Component Categories\\" + kVertical + "\\Enum",
          "subkey " + kHKCU + " " + kPostSetup + "Component Categories64\\" + kVertical + "\\Enum"}},
        {true, "{FA000000-0000-0000-0000-000000000002}",
         {{"websearchName", "Wide Bar"}, {"originalName", "Wide Bar"}, {"dLL", "C:\\x\\bar64.dll"},
          {"file64bitSystem32", "True"}, {"cATID", kHorizontal}, {"type", "Horizontal Explorer Bar"},
          {"backupCfg", "<object>"}, {"deleteCfg", "<object>"}},
         {"subkey " + kHKCR64 + " CLSID\\{FA000000-0000-0000-0000-000000000002}\\Implemented Categories\\" +
          kHorizontal},
         {"subkey " + kHKCU + " " + kPostSetup + "Component Categories\\" + kHorizontal + "\\Enum",
          "subkey " + kHKCU + " " + kPostSetup + "Component Categories64\\" + kHorizontal + "\\Enum"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.IE64bit ? "64-bit" : "32-bit");
        CIEEnumerator e;
        const auto result = e.EnumExplorerBars(c.IE64bit);
        ASSERT_NO_FATAL_FAILURE(expectOneAddon(result.get(), c.id, c.record, c.backup));
        EXPECT_EQ(removal(nodesOf(result.get())[0].get(), "deleteCfg"), c.caches);
    }
    EXPECT_TRUE(m.log().empty());
}

TEST(IEExplorerBars, SystemBarsPagesAndNames) {
    Machine m;
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{efa24e61-b078-11d0-89e4-00c04fc9e26e}\Implemented Categories\{00021493-0000-0000-C000-000000000046}]

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{21569614-B795-46B1-85F4-E737A8DC09AD}\Implemented Categories\{00021494-0000-0000-C000-000000000046}]

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{FB000000-0000-0000-0000-00000000001}\Implemented Categories\{00021493-0000-0000-C000-000000000046}]

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{FB000000-0000-0000-0000-000000000002}]
@="Page bar"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{FB000000-0000-0000-0000-000000000002}\InProcServer32]
@="%SystemRoot%\\system32\\SHDOCVW.DLL"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{FB000000-0000-0000-0000-000000000002}\Instance\InitPropertyBag]
"Url"="C:\\x\\bar.htm"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{FB000000-0000-0000-0000-000000000002}\Implemented Categories\{00021493-0000-0000-C000-000000000046}]

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{FB000000-0000-0000-0000-000000000003}]
@="No page"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{FB000000-0000-0000-0000-000000000003}\InProcServer32]
@="C:\\windows\\system32\\shdocvw.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{FB000000-0000-0000-0000-000000000003}\Implemented Categories\{00021494-0000-0000-C000-000000000046}]

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{FB000000-0000-0000-0000-000000000004}\InProcServer32]
@="C:\\x\\named.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{FB000000-0000-0000-0000-000000000004}\Implemented Categories\{00021494-0000-0000-C000-000000000046}]

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{FB000000-0000-0000-0000-000000000005}\Implemented Categories\{00021494-0000-0000-C000-000000000046}]
)");
    m.pe("C:\\x\\named.dll", {{"ProductName", "Product &Bar"}});
    struct Case {
        const char* id;
        const char* type;
        const char* originalName;
        const char* dLL;
    } cases[] = {
        {"{FB000000-0000-0000-0000-000000000002}", "Vertical Explorer Bar", "Page bar", "C:\\x\\bar.htm"},
        // Served by the browser's view without a page: a broken registration.
        {"{FB000000-0000-0000-0000-000000000003}", "Horizontal Explorer Bar", "No page", ""},
        {"{FB000000-0000-0000-0000-000000000004}", "Horizontal Explorer Bar", "Product Bar", "C:\\x\\named.dll"},
        {"{FB000000-0000-0000-0000-000000000005}", "Horizontal Explorer Bar", "", ""},
    };
    CIEEnumerator e;
    const auto result = e.EnumExplorerBars(false);
    ASSERT_TRUE(result);
    Lines expectedIds;
    for (const Case& c : cases) expectedIds.push_back(c.id);
    EXPECT_EQ(idsOf(result.get()), expectedIds);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const auto node = nodeById(result.get(), c.id);
        ASSERT_TRUE(node);
        EXPECT_EQ(param(node.get(), "type"), c.type);
        EXPECT_EQ(param(node.get(), "originalName"), c.originalName);
        EXPECT_EQ(param(node.get(), "websearchName"), c.originalName);
        EXPECT_EQ(param(node.get(), "dLL"), c.dLL);
    }
}

TEST(IEExplorerBars, On32bitWindowsOneCacheKeyAndNo64bitView) {
    Machine m(testsupport::TestPrefixOptions{.arch = winsys::Arch::Win32});
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{FA000000-0000-0000-0000-000000000001}\Implemented Categories\{00021493-0000-0000-C000-000000000046}]
)");
    CIEEnumerator e;
    const auto result = e.EnumExplorerBars(false);
    ASSERT_TRUE(result);
    const auto nodes = nodesOf(result.get());
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(removal(nodes[0].get(), "deleteCfg"),
              Lines{"subkey " + kHKCU + " " + kPostSetup + "Component Categories\\" + kVertical + "\\Enum"});

    CIEEnumerator e64;
    const auto none = e64.EnumExplorerBars(true);
    ASSERT_TRUE(none);
    EXPECT_TRUE(nodesOf(none.get()).empty());
    EXPECT_TRUE(m.log().empty());
}

// ---- Browser helper objects ----

TEST(IEBHOs, RecordsInBothViewsUseTheClassOfTheirOwnView) {
    Machine m;
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\{BA000000-0000-0000-0000-000000000001}]
@="&Helper 32"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\{BA000000-0000-0000-0000-000000000001}]

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{BA000000-0000-0000-0000-000000000001}\InProcServer32]
@="C:\\x\\bho32.dll"

[HKEY_LOCAL_MACHINE\Software\Classes\CLSID\{BA000000-0000-0000-0000-000000000001}\InProcServer32]
@="C:\\x\\bho64.dll"
)");
    m.pe("C:\\x\\bho32.dll", {{"CompanyName", "Helpers"}, {"ProductVersion", "3.2"}, {"FileDescription", "Helps"}});
    m.pe("C:\\x\\bho64.dll", {{"CompanyName", "Helpers 64"}, {"ProductName", "Helper &64"}});
    const std::string id = "{BA000000-0000-0000-0000-000000000001}";
    const std::string subkey = std::string(kBHOKey) + "\\" + id;
    struct Case {
        bool IE64bit;
        Rows record;
        Lines removal;
    } cases[] = {
        {false,
         {{"manufacturer", "Helpers"}, {"version", "3.2"}, {"description", "Helps"}, {"iD", id},
          {"websearchName", "Helper 32"}, {"originalName", "Helper 32"}, {"dLL", "C:\\x\\bho32.dll"},
          {"file64bitSystem32", "False"}, {"backupCfg", "<object>"}},
         {"subkey " + kHKLM + " " + subkey}},
        {true,
         {{"manufacturer", "Helpers 64"}, {"iD", id}, {"websearchName", "Helper 64"}, {"originalName", "Helper 64"},
          {"dLL", "C:\\x\\bho64.dll"}, {"file64bitSystem32", "True"}, {"backupCfg", "<object>"}},
         {"subkey " + kHKLM64 + " " + subkey}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.IE64bit ? "64-bit" : "32-bit");
        CIEEnumerator e;
        expectOneAddon(e.EnumBHOs(c.IE64bit).get(), id, c.record, c.removal);
    }
    EXPECT_TRUE(m.log().empty());
}

TEST(IEBHOs, BrokenRegistrationsAndNamesOfTheWrongLength) {
    Machine m;
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\{BB000000-0000-0000-0000-000000000001}]
@="Orphan"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\{BB000000-0000-0000-0000-00000000002}]
@="Too short"

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\{BB000000-0000-0000-0000-0000000000003}]
@="Too long"
)");
    CIEEnumerator e;
    const auto result = e.EnumBHOs(false);
    ASSERT_TRUE(result);
    const auto nodes = nodesOf(result.get());
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(dump(nodes[0].get()), (Rows{{"iD", "{BB000000-0000-0000-0000-000000000001}"}, {"websearchName", "Orphan"},
                                          {"originalName", "Orphan"}, {"dLL", ""}, {"file64bitSystem32", "False"},
                                          {"backupCfg", "<object>"}}));
}

// A name is read for display within 32,767 UTF-16 units, as Windows bounds
// a display name: a longer one is cut, never inside a character, and one
// log line names its key. A menu extension's subkey name is its name, cut
// alike, while its key path stays whole.
TEST(IEBHOs, NamesBeyondTheDisplayBoundAreCutWithOneLogLine) {
    const std::string n32766(32766, 'n');
    const struct {
        const char* label;
        std::string name;
        std::string shown;
    } rows[] = {
        {"at the bound", std::string(32767, 'n'), std::string(32767, 'n')},
        {"one beyond", std::string(32768, 'n'), n32766 + "\u2026"},
        {"100,000 characters", std::string(100000, 'n'), n32766 + "\u2026"},
        {"a surrogate pair across the cut", std::string(32765, 'n') + "\U0001D11E" + "nn",
         std::string(32765, 'n') + "\u2026"},
    };
    const std::string bho = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\"
                            "{BB000000-0000-0000-0000-000000000001}";
    // Texts of this size are told apart by their length and their end.
    auto brief = [](const std::string& s) { return std::to_string(s.size()) + " bytes ending " + s.substr(s.size() - 6); };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        Machine m;
        m.prefix.importReg("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\" +
                           bho.substr(9) + "]\n@=\"" + row.name +
                           "\"\n\n[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Internet Explorer\\MenuExt\\" +
                           row.name + "]\n@=\"C:\\\\x\\\\page.htm\"\n");
        CIEEnumerator e;
        const auto bhos = e.EnumBHOs(false);
        ASSERT_TRUE(bhos);
        const auto helpers = nodesOf(bhos.get());
        ASSERT_EQ(helpers.size(), 1u);
        EXPECT_EQ(brief(param(helpers[0].get(), "originalName")), brief(row.shown));
        EXPECT_EQ(brief(param(helpers[0].get(), "websearchName")), brief(row.shown));
        const auto menus = e.EnumContextMenus(false);
        ASSERT_TRUE(menus);
        const auto items = nodesOf(menus.get());
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(brief(param(items[0].get(), "name")), brief(row.shown));
        EXPECT_EQ(brief(idOf(items[0].get())), brief(row.name));

        const bool cut = row.shown != row.name;
        ASSERT_EQ(m.log().size(), cut ? 2u : 0u);
        for (const auto& line : m.log()) {
            EXPECT_EQ(line.severity, halvenlib::sevWarning);
            EXPECT_LT(line.description.size(), 2000u);
        }
        if (cut) {
            EXPECT_NE(m.log()[0].description.find("Browser Helper Objects\\{BB000000-0000-0000-0000-000000000001}'"),
                      std::string::npos)
                << m.log()[0].description;
            EXPECT_NE(m.log()[1].description.find("Internet Explorer\\MenuExt'"), std::string::npos)
                << m.log()[1].description;
        }
    }
}

// ---- Error traps ----

using EntryFn = std::function<ComPtr<_CNodes>(CIEEnumerator&)>;

struct Kind {
    const char* name;
    EntryFn run;
    const char* entrySource;
    const char* workerSource;
    std::size_t partialNodes; // nodes left when every worker fails at its first file
};

std::vector<Kind> kinds(bool IE64bit) {
    return {
        {"toolbars", [=](CIEEnumerator& e) { return e.EnumToolbars(IE64bit); }, "CIEEnumerator.EnumToolbars",
         "CIEEnumerator.FillTBInfo", 2},
        {"buttons", [=](CIEEnumerator& e) { return e.EnumToolbarButtons(IE64bit); },
         "CIEEnumerator.EnumToolbarButtons", "CIEEnumerator.FillTBButtonInfo", 2},
        {"menus", [=](CIEEnumerator& e) { return e.EnumContextMenus(IE64bit); }, "CIEEnumerator.EnumContextMenus",
         "CIEEnumerator.FillContextMenuInfo", 2},
        {"explorer bars", [=](CIEEnumerator& e) { return e.EnumExplorerBars(IE64bit); }, "CIEEnumerator.EnumObjects",
         "CIEEnumerator.FillExplorerBarInfo", 2},
        {"helper objects", [=](CIEEnumerator& e) { return e.EnumBHOs(IE64bit); }, "CIEEnumerator.EnumBHOs",
         "CIEEnumerator.FillBHOInfo", 1},
    };
}

constexpr const char* kObjectNotSet = "Object variable or With block variable not set";

TEST(IETraps, AnEntryThatFailsLogsAndGivesNoResult) {
    for (const bool IE64bit : {false, true}) {
        for (const Kind& k : kinds(IE64bit)) {
            SCOPED_TRACE(std::string(k.name) + (IE64bit ? ", 64-bit" : ", 32-bit"));
            Machine m;
            sorlix::Registry.reset();
            CIEEnumerator e;
            EXPECT_FALSE(k.run(e));
            ASSERT_EQ(m.log().size(), 1u);
            EXPECT_EQ(m.log()[0].number, 91);
            EXPECT_EQ(m.log()[0].description, kObjectNotSet);
            EXPECT_EQ(m.log()[0].severity, halvenlib::sevInternalError);
            EXPECT_EQ(m.log()[0].source, k.entrySource);
            // The 64-bit toolbars switch redirection back on after the failure too.
            EXPECT_EQ(sorlix::Wow64RedirectionCount, 0);
        }
    }
}

TEST(IETraps, AWorkerThatFailsEndsItsListingAndTheNextPassRuns) {
    Machine m;
    // Two add-ons of each kind in the first listing, and one more toolbar,
    // button and menu for the current user and one horizontal bar: each
    // worker stops at its first add-on and the next pass still runs.
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Toolbar]
"{A0000000-0000-0000-0000-000000000001}"=""
"{A0000000-0000-0000-0000-000000000002}"=""

[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Toolbar\WebBrowser]
"{A0000000-0000-0000-0000-000000000003}"=""

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Extensions\{C0000000-0000-0000-0000-000000000001}]
[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\Extensions\{C0000000-0000-0000-0000-000000000002}]
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Extensions\{C0000000-0000-0000-0000-000000000003}]

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\MenuExt\One]
[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Internet Explorer\MenuExt\Two]
[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\MenuExt\Three]

[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{FA000000-0000-0000-0000-000000000001}\Implemented Categories\{00021493-0000-0000-C000-000000000046}]
[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{FA000000-0000-0000-0000-000000000002}\Implemented Categories\{00021493-0000-0000-C000-000000000046}]
[HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID\{FA000000-0000-0000-0000-000000000003}\Implemented Categories\{00021494-0000-0000-C000-000000000046}]

[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\{BA000000-0000-0000-0000-000000000001}]
[HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Explorer\Browser Helper Objects\{BA000000-0000-0000-0000-000000000002}]
)");
    // Without the file checker every worker fails at its first file name.
    sorlix::FileChecker.reset();
    for (const Kind& k : kinds(false)) {
        SCOPED_TRACE(k.name);
        m.program.log->lines.clear();
        CIEEnumerator e;
        const auto result = k.run(e);
        ASSERT_TRUE(result);
        EXPECT_EQ(nodesOf(result.get()).size(), k.partialNodes);
        ASSERT_EQ(m.log().size(), k.partialNodes);
        for (const auto& line : m.log()) {
            EXPECT_EQ(line.number, 91);
            EXPECT_EQ(line.description, kObjectNotSet);
            EXPECT_EQ(line.severity, halvenlib::sevInternalError);
            EXPECT_EQ(line.source, k.workerSource);
        }
    }
}

} // namespace
