// Chrome extensions: records of every version folder of every profile,
// names from the locale messages, the policy values a removal takes, what
// is logged for bad manifests, the program files the registry names, and
// the plugin paths manifests declare, traversal refused.

#include "tests/app/enumerators/chrome/chrome_fixture.h"

#include "app/enumerators/cchromeextenumerator.h"
#include "app/enumerators/enumcalls.h"
#include "tests/support/real_browser_data.h"

using namespace chrometest;
using sorlix::CChromeExtEnumerator;

namespace {

const std::string kA(32, 'a'), kB(32, 'b'), kC(32, 'c'), kD(32, 'd'), kE(32, 'e'), kF(32, 'f'), kG(32, 'g'),
    kH(32, 'h');
const std::string kSynology = "hmelcbpnhbgdobilamgpijfbcgfglahe";
const std::string kForced = "SOFTWARE\\Policies\\Google\\Chrome\\ExtensionInstallForcelist";
const std::string kRecommended = "SOFTWARE\\Policies\\Google\\Chrome\\Recommended\\ExtensionInstallForcelist";

// Policies in both views and per user; only "<id>;<address>" values link.
constexpr const char* kPolicies = R"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\SOFTWARE\Policies\Google\Chrome\ExtensionInstallForcelist]
"1"="hmelcbpnhbgdobilamgpijfbcgfglahe"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Policies\Google\Chrome\ExtensionInstallForcelist]
"2"=";https://example.com/update"
"1"="hmelcbpnhbgdobilamgpijfbcgfglahe;https://clients2.google.com/service/update2/crx"

[HKEY_CURRENT_USER\SOFTWARE\Policies\Google\Chrome\Recommended\ExtensionInstallForcelist]
"1"="hmelcbpnhbgdobilamgpijfbcgfglahe;https://clients2.google.com/service/update2/crx"

[HKEY_LOCAL_MACHINE\SOFTWARE\Policies\Google\Chrome\ExtensionInstallForcelist]
"1"="hmelcbpnhbgdobilamgpijfbcgfglahe;https://clients2.google.com/service/update2/crx"

[HKEY_LOCAL_MACHINE\SOFTWARE\Policies\Google\Chrome\Recommended\ExtensionInstallForcelist]
"5"="aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa;https://example.com/update"
)";

struct Expected {
    std::string dir;
    Rows record;
    Lines removal;
};

Rows extensionRows(const std::string& dir, const std::string& id, const std::string& description,
                   const std::string& permissions, const std::string& name) {
    Rows r{{"dLL", dir}, {"iD", id}};
    if (!description.empty()) r.emplace_back("description", description);
    if (!permissions.empty()) r.emplace_back("permissions", permissions);
    r.emplace_back("backupCfg", "<object>");
    r.emplace_back("originalName", name);
    r.emplace_back("websearchName", name);
    return r;
}

TEST(ChromeExtensions, ProfilesManifestsAndPolicies) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    ChromeMachine m;
    m.prefix.importReg(kPolicies);
    const std::string a = m.extension(kDefault, kA, "1.0_0",
                                      R"({"name":"__MSG_appName__","description":"__MSG_appDesc__","default_locale":"en"})");
    m.prefix.writeFile(a + "\\_locales\\en\\messages.json",
                       R"({"appName":{"message":"Localised Name"},"appDesc":{"message":"Localised description"}})");
    const std::string b = m.extension(kDefault, kB, "2.1_0", R"({"name":"__MSG_extName__","default_locale":"de"})");
    m.prefix.writeFile(b + "\\_locales\\de\\messages.json", R"({"extName":{"message":"Deutsch"}})");
    const std::string c = m.extension(kDefault, kC, "1_0",
                                      "\xEF\xBB\xBF{\"name\":\"Caf\xC3\xA9 \xE2\x82\xAC\",\"description\":\"\\u00fcber\","
                                      "\"permissions\":[\"tabs\"]}");
    const std::string d = m.extension(kDefault, kD, "1_0", R"({"name":"One","name":"Two"})");
    const std::string e = kDefault + "\\" + kE + "\\1_0";
    m.prefix.writeFile(e + "\\background.js", "");
    const std::string f = m.extension(kDefault, kF, "1_0", R"({"name":"","description":"No name"})");
    const std::string g = m.extension(kDefault, kG, "1_0",
                                      R"({"name":"Sockets","permissions":["storage",{"socket":["tcp-listen:*:*"]},"tabs"]})");
    // Bytes that are not UTF-8 (a Latin-1 name) still give the extension.
    const std::string h = m.extension(kDefault, kH, "1_0", "{\"name\":\"Caf\xE9 \xFF\"}");

    const std::string gmail = kDefault + "\\cggpnbihohkonckihofapdigcckejndn\\4.4.0_0";
    const std::string server = kDefault + "\\gmfjgcnmphflkjbgdcbgelnngjeeppjl\\3.2_0";
    const std::string syn3 = kDefault + "\\" + kSynology + "\\3.0.14_0";
    const std::string syn4 = kDefault + "\\" + kSynology + "\\4.0.19_0";
    const std::string tabs = kProfile1 + "\\cbncngnepamjbknhaklbhmopaanfiipj\\0.1.0_0";
    const Lines synologyPolicies{"value " + kHKLM + " " + kForced + " | 1", "value " + kHKCU + " " + kRecommended + " | 1",
                                 "value " + kHKLM64 + " " + kForced + " | 1"};
    auto synologyRemoval = [&](const std::string& dir) {
        Lines r{"file " + dir + " False"};
        r.insert(r.end(), synologyPolicies.begin(), synologyPolicies.end());
        return r;
    };

    const Expected expected[] = {
        {a, extensionRows(a, kA, "Localised description", "", "Localised Name"),
         {"file " + a + " False", "value " + kHKLM64 + " " + kRecommended + " | 5"}},
        {b, extensionRows(b, kB, "", "", "__MSG_extName__"), {"file " + b + " False"}},
        {c, extensionRows(c, kC, "\xC3\xBC" "ber", "tabs", "Caf\xC3\xA9 \xE2\x82\xAC"), {"file " + c + " False"}},
        {gmail,
         extensionRows(gmail, "cggpnbihohkonckihofapdigcckejndn", "__MSG_gmailcheck_description__",
                       "alarms, tabs, webNavigation, *://*.google.com/", "__MSG_gmailcheck_name__"),
         {"file " + gmail + " False"}},
        {f, extensionRows(f, kF, "No name", "", kF), {"file " + f + " False"}},
        {g, extensionRows(g, kG, "", "storage, tabs", "Sockets"), {"file " + g + " False"}},
        {server,
         extensionRows(server, "gmfjgcnmphflkjbgdcbgelnngjeeppjl", "__MSG_appDescription__", "system.network",
                       "HTTP Server Sample"),
         {"file " + server + " False"}},
        {h, extensionRows(h, kH, "", "", "Caf\xEF\xBF\xBD \xEF\xBF\xBD"), {"file " + h + " False"}},
        {syn3,
         extensionRows(syn3, kSynology, "__MSG_chromeExtensionDescription__",
                       "http://*/, https://*/, background, notifications, contextMenus, storage, tabs, <all_urls>, "
                       "webRequest, webRequestBlocking",
                       "Synology Download Station"),
         synologyRemoval(syn3)},
        {syn4,
         extensionRows(syn4, kSynology, "__MSG_chromeExtensionDescription__",
                       "alarms, notifications, contextMenus, storage, tabs, scripting, declarativeNetRequest",
                       "Synology Download Station"),
         synologyRemoval(syn4)},
        {tabs,
         extensionRows(tabs, "cbncngnepamjbknhaklbhmopaanfiipj",
                       "This extension creates a new window with the tabs to the right of the currently selected tab.",
                       "tabs, contextMenus", "New Window With Tabs To Right"),
         {"file " + tabs + " False"}},
    };

    CChromeExtEnumerator enumerator;
    const auto result = enumerator.EnumChromeExtensions();
    ASSERT_TRUE(result);
    const auto nodes = nodesOf(result.get());
    ASSERT_EQ(nodes.size(), std::size(expected));
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        SCOPED_TRACE(expected[i].dir);
        EXPECT_EQ(dump(nodes[i].get()), expected[i].record);
        EXPECT_EQ(removal(nodes[i].get(), "backupCfg"), expected[i].removal);
    }

    ASSERT_EQ(m.log().size(), 2u);
    EXPECT_EQ(m.log()[0].number, 0);
    EXPECT_EQ(m.log()[0].description, "Parsing Error(s) occured. '" + d + "'");
    EXPECT_EQ(m.log()[0].severity, halvenlib::sevInternalError);
    EXPECT_EQ(m.log()[0].source, "CChromeExtEnumerator.ProcessManifestJson");
    EXPECT_EQ(m.log()[1].number, 53);
    EXPECT_EQ(m.log()[1].severity, halvenlib::sevError);
    EXPECT_EQ(m.log()[1].source, "CChromeExtEnumerator.ProcessManifestJson");
}

TEST(ChromeExtensions, TheDescriptionPlaceholderIsResolvedWithEveryNamePlaceholder) {
    SKIP_WITHOUT_REAL_BROWSER_DATA(); // the machine holds the real profile beside the extension made here
    const struct {
        const char* label;
        std::string messages, name, description;
    } rows[] = {
        {"both entries", R"({"appName":{"message":"N"},"appDesc":{"message":"D"}})", "N", "D"},
        {"no name entry", R"({"appDesc":{"message":"D"}})", "__MSG_appName__", "D"},
        {"a name entry that is no object", R"({"appName":"N","appDesc":{"message":"D"}})", "__MSG_appName__", "D"},
        {"no description entry", R"({"appName":{"message":"N"}})", "N", "__MSG_appDesc__"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        ChromeMachine m;
        const std::string dir = m.extension(kDefault, kA, "1.0_0", R"({"name":"__MSG_appName__","description":"__MSG_appDesc__"})");
        m.prefix.writeFile(dir + "\\_locales\\en\\messages.json", row.messages);
        const auto result = sorlix::CChromeExtEnumerator().EnumChromeExtensions();
        ASSERT_TRUE(result);
        int found = 0;
        for (const auto& node : nodesOf(result.get())) {
            if (param(node.get(), "dLL") != dir) continue;
            ++found;
            EXPECT_EQ(param(node.get(), "originalName"), row.name);
            EXPECT_EQ(param(node.get(), "description"), row.description);
        }
        EXPECT_EQ(found, 1);
    }
}

TEST(ChromeExtensions, NoUserDataGivesAnEmptyResult) {
    Machine m;
    CChromeExtEnumerator enumerator;
    const auto result = enumerator.EnumChromeExtensions();
    ASSERT_TRUE(result);
    EXPECT_TRUE(nodesOf(result.get()).empty());
    EXPECT_TRUE(m.log().empty());
}

// ---- Chrome program files ----

std::vector<std::string> exeFiles() {
    CChromeExtEnumerator enumerator;
    const auto list = enumerator.FindChromeExeFiles();
    EXPECT_TRUE(list);
    return list ? sorlix::Enum::Texts(list.get()) : std::vector<std::string>{};
}

TEST(ChromeExtensions, ProgramFilesFromAppPathsAndUninstall) {
    const std::string exe = "C:\\Program Files (x86)\\Google\\Chrome\\Application\\chrome.exe";
    struct Case {
        const char* label;
        std::string reg;
        Lines files;
    } cases[] = {
        {"a 64-bit installer's command line, App Paths and InstallLocation name one file",
         R"([HKEY_LOCAL_MACHINE\SOFTWARE\Classes\ChromeHTML\shell\open\command]
@="\"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe\" --single-argument %1"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\App Paths\chrome.exe]
@="C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Google Chrome]
"InstallLocation"="C:\\Program Files\\Google\\Chrome\\Application"
)",
         {"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe"}},
        {"machine and user command lines, any case",
         R"([HKEY_LOCAL_MACHINE\SOFTWARE\Classes\ChromeHTML\shell\open\command]
@="\"C:\\A\\Chrome.EXE\" -- %1"

[HKEY_CURRENT_USER\SOFTWARE\Classes\ChromeHTML\shell\open\command]
@="\"C:\\B\\chrome.exe\""
)",
         {"C:\\A\\Chrome.EXE", "C:\\B\\chrome.exe"}},
        {"App Paths and InstallLocation name one file",
         R"([HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\App Paths\chrome.exe]
@="C:\\Program Files (x86)\\Google\\Chrome\\Application\\chrome.exe"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Google Chrome]
"InstallLocation"="C:\\Program Files (x86)\\Google\\Chrome\\Application"
)",
         {exe}},
        {"per-user install",
         R"([HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Google Chrome]
"InstallLocation"="C:\\users\\tester\\AppData\\Local\\Google\\Chrome\\Application\\"
)",
         {"C:\\users\\tester\\AppData\\Local\\Google\\Chrome\\Application\\chrome.exe"}},
        {"App Paths ending in a quote",
         R"([HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\App Paths\chrome.exe]
@="\"C:\\x\\chrome.exe\""
)",
         {}},
        {"another program", R"([HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\App Paths\chrome.exe]
@="C:\\x\\notchrome.exe"
)",
         {}},
        {"command line without quote",
         R"([HKEY_LOCAL_MACHINE\SOFTWARE\Classes\ChromeHTML\shell\open\command]
@="C:\\x\\chrome.exe -- %1"
)",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Machine m;
        m.prefix.importReg("Windows Registry Editor Version 5.00\n\n" + c.reg);
        EXPECT_EQ(exeFiles(), c.files);
    }
}

// ---- Plugins declared by manifests ----

// An empty version folder, or one whose manifest is in UTF-16, costs one
// log line in a collection: the extensions' run names the manifest, the
// plugins' run over the same folders passes it by.
TEST(ChromeExtensions, AnUnreadableManifestIsLoggedOnce) {
    const struct {
        const char* label;
        const char* manifest; // null: none
        const char* cause;
    } rows[] = {
        {"empty version folder", nullptr, "File not found"},
        {"manifest in UTF-16", "\xFF\xFE{\0}\0", "UTF-16LE"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        Machine m;
        const std::string dir = kDefault + "\\" + kA + "\\1.0_0";
        m.prefix.makeDir(dir);
        if (row.manifest) m.prefix.writeFile(dir + "\\manifest.json", std::string(row.manifest, 6));
        const auto plugins = CChromeExtEnumerator().FindPluginsInExtensions();
        ASSERT_TRUE(plugins);
        EXPECT_TRUE(sorlix::Enum::Texts(plugins.get()).empty());
        EXPECT_TRUE(m.log().empty());
        const auto result = CChromeExtEnumerator().EnumChromeExtensions();
        ASSERT_TRUE(result);
        EXPECT_TRUE(nodesOf(result.get()).empty());
        ASSERT_EQ(m.log().size(), 1u);
        EXPECT_EQ(m.log()[0].source, "CChromeExtEnumerator.ProcessManifestJson");
        const std::string& line = m.log()[0].description;
        EXPECT_NE(line.find("'" + dir + "\\manifest.json'"), std::string::npos) << line;
        EXPECT_NE(line.find(row.cause), std::string::npos) << line;
    }
}

TEST(ChromeExtensions, DeclaredPluginsStayInsideTheirVersionFolder) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    ChromeMachine m;
    const std::string dir =
        m.extension(kDefault, kA, "1.0_0",
                    R"({"name":"Plugins","plugins":[{"path":"plugins/x.dll"},{"path":"../../../../Preferences"},)"
                    R"({"path":"..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\windows\\system32\\x.dll"},)"
                    R"({"path":"C:\\windows\\x.dll"},{"path":"\\x.dll"},{"path":"/x.dll"},{"path":"x.dll:stream"},)"
                    R"({"path":"a\u0000.dll"},{"path":"a\tb.dll"},{"path":"sub/../y.dll"},{"path":"sub/../.."},)"
                    R"({"path":""},{"public":true},"plugins/z.dll",{"path":"plugins/x.dll"}]})");
    CChromeExtEnumerator enumerator;
    const auto list = enumerator.FindPluginsInExtensions();
    ASSERT_TRUE(list);
    EXPECT_EQ(sorlix::Enum::Texts(list.get()), (Lines{dir + "\\plugins\\x.dll", dir + "\\sub\\..\\y.dll"}));
    Lines refused;
    for (const auto& line : m.log()) {
        EXPECT_EQ(line.severity, halvenlib::sevInternalError);
        EXPECT_EQ(line.source, "CChromeExtEnumerator.ProcessManifestJson");
        refused.push_back(line.description);
    }
    EXPECT_EQ(refused.size(), 9u);
}

} // namespace
