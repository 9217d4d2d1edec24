// Chrome plugins: the files of Chrome's program and version folders, the
// folders of other products, the files manifests declare (a traversal
// refused), records in queue order with their keys and removal records,
// and the details the collection shows for them.

#include "tests/app/enumerators/chrome/chrome_fixture.h"

#include <optional>

#include "app/core/comcalls.h"
#include "app/core/minfocollector.h"
#include "app/enumerators/cchromepluginenum.h"
#include "app/enumerators/cpluginscan.h"
#include "tests/app/collection/collection_support.h"
#include "tests/support/records.h"
#include "tests/support/real_browser_data.h"

using namespace chrometest;
using sorlix::CChromePluginEnum;

namespace {

const std::string kApp = "C:\\Program Files (x86)\\Google\\Chrome\\Application";
const std::string kVersion = kApp + "\\30.0.1599.101";
const std::string kReader = "C:\\Program Files (x86)\\Adobe\\Reader 11.0\\Reader";
const std::string kJava = "C:\\Program Files (x86)\\Java\\jre7";
const std::string kMozilla = "C:\\users\\tester\\AppData\\Roaming\\Mozilla\\plugins";

constexpr const char* kRegistry = R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\App Paths\chrome.exe]
@="C:\\Program Files (x86)\\Google\\Chrome\\Application\\chrome.exe"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\JavaSoft\Java Runtime Environment\1.7]
"JavaHome"="C:\\Program Files (x86)\\Java\\jre7"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Adobe\Acrobat Reader\11.0\InstallPath]
@="C:\\Program Files (x86)\\Adobe\\Reader 11.0\\Reader"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\MediaPlayer]
"Installation Directory"="C:\\Program Files (x86)\\Google\\Chrome\\Application\\plugins\\"
)";

struct PluginMachine : ChromeMachine {
    PluginMachine() {
        prefix.importReg(kRegistry);
        prefix.writeFile(kApp + "\\chrome.exe", "MZ");
        pe(kVersion + "\\pdf.dll", win::IMAGE_FILE_MACHINE_I386,
           Rows{{"CompanyName", "Google Inc."}, {"ProductName", "Chrome PDF Viewer"},
                {"FileDescription", "Chrome PDF Viewer"}, {"LegalCopyright", "Copyright 2013 Google Inc."}});
        pe(kVersion + "\\gcswf32.dll", win::IMAGE_FILE_MACHINE_I386, std::nullopt);
        pe(kVersion + "\\PepperFlash\\pepflashplayer.dll", win::IMAGE_FILE_MACHINE_I386, std::nullopt);
        pe(kApp + "\\plugins\\npx64.dll", win::IMAGE_FILE_MACHINE_AMD64, Rows{{"ProductName", "Wide Plugin"}});
        pe(kMozilla + "\\npmoz.dll", win::IMAGE_FILE_MACHINE_I386, Rows{{"FileDescription", "Shared plugin"}});
        pe(kJava + "\\new_plugin\\npjp2.dll", win::IMAGE_FILE_MACHINE_I386, Rows{{"CompanyName", "Oracle"}});
        pe(kReader + "\\browser\\nppdf32.dll", win::IMAGE_FILE_MACHINE_I386, std::nullopt);
        pe(kReader + "\\browser\\AdobePDFViewer.dll", win::IMAGE_FILE_MACHINE_I386, std::nullopt);
        pe(kVersion + "\\ppGoogleNaClPluginChrome.dll", win::IMAGE_FILE_MACHINE_I386, std::nullopt);
        pe(kVersion + "\\plugins\\npver.dll", win::IMAGE_FILE_MACHINE_I386, std::nullopt);
        pe(kVersion + "\\plugins\\ver.dll", win::IMAGE_FILE_MACHINE_I386, std::nullopt); // not "np*.dll"
        prefix.makeDir(kApp + "\\Dictionaries\\pdf.dll"); // a folder where a file is expected
        declaring = extension(kDefault, std::string(32, 'p'), "1.0_0",
                              R"({"name":"Declares","plugins":[{"path":"plugins/x.dll"},{"path":"plugins/missing.dll"},)"
                              R"({"path":"../../../../Preferences"}]})");
        pe(declaring + "\\plugins\\x.dll", win::IMAGE_FILE_MACHINE_I386, std::nullopt);
        prefix.writeFile(kUserData + "\\Preferences", "{}");
    }
    std::string declaring;
};

Rows plugin(const std::string& path, Rows names) {
    Rows r{{"dLL", path}, {"backupCfg", "<object>"}};
    r.insert(r.end(), names.begin(), names.end());
    return r;
}

TEST(ChromePlugins, RecordsInQueueOrder) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    PluginMachine m;
    const Rows flash{{"originalName", "Shockwave Flash"}, {"websearchName", "Shockwave Flash"},
                     {"manufacturer", "Adobe Systems Incorporated"}};
    const Rows pepper{{"originalName", "Shockwave Flash"}, {"websearchName", "Shockwave Flash"},
                      {"manufacturer", "Google Inc"}};
    const std::vector<Rows> expected{
        plugin(kVersion + "\\ppGoogleNaClPluginChrome.dll", {{"originalName", "Native Client"},
                                                             {"websearchName", "Native Client"},
                                                             {"manufacturer", "Google Inc"}}),
        plugin(kVersion + "\\pdf.dll", {{"manufacturer", "Google Inc."}, {"originalName", "Chrome PDF Viewer"},
                                        {"description", "Chrome PDF Viewer"},
                                        {"copyright", "Copyright 2013 Google Inc."},
                                        {"websearchName", "Chrome PDF Viewer"}}),
        plugin(kVersion + "\\gcswf32.dll", flash),
        plugin(kVersion + "\\PepperFlash\\pepflashplayer.dll", pepper),
        plugin(kReader + "\\browser\\AdobePDFViewer.dll", {}),
        // Reached again through the media player folder, written with a
        // trailing "\": still one record.
        plugin(kApp + "\\plugins\\npx64.dll", {{"originalName", "Wide Plugin"}, {"websearchName", "Wide Plugin"}}),
        plugin(kVersion + "\\plugins\\npver.dll", {}),
        plugin(kMozilla + "\\npmoz.dll", {{"description", "Shared plugin"}, {"websearchName", "Shared plugin"}}),
        plugin(kJava + "\\new_plugin\\npjp2.dll", {{"manufacturer", "Oracle"}, {"websearchName", ""}}),
        plugin(m.declaring + "\\plugins\\x.dll", {}),
    };
    CChromePluginEnum enumerator;
    const auto result = enumerator.EnumerateChromePlugins();
    ASSERT_TRUE(result);
    const auto nodes = nodesOf(result.get());
    ASSERT_EQ(nodes.size(), expected.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        SCOPED_TRACE(expected[i][0].second);
        EXPECT_EQ(dump(nodes[i].get()), expected[i]);
        EXPECT_EQ(removal(nodes[i].get(), "backupCfg"), Lines{"file " + expected[i][0].second + " False"});
    }
    // The refused traversal, logged once by the manifest's reader.
    ASSERT_EQ(m.log().size(), 1u);
    EXPECT_EQ(m.log()[0].severity, halvenlib::sevInternalError);
    EXPECT_NE(m.log()[0].description.find("../../../../Preferences"), std::string::npos);
}

TEST(ChromePlugins, WithoutChromeOtherProductsStillCount) {
    Machine m;
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\MediaPlayer]
"Installation Directory"="C:\\Player"
)");
    m.pe("C:\\Player\\npdsplay.dll", {{"CompanyName", "Player Co"}});
    CChromePluginEnum enumerator;
    const auto result = enumerator.EnumerateChromePlugins();
    ASSERT_TRUE(result);
    EXPECT_EQ(idsOf(result.get()).size(), 1u);
    EXPECT_EQ(param(nodesOf(result.get())[0].get(), "dLL"), "C:\\Player\\npdsplay.dll");
    EXPECT_TRUE(m.log().empty());
}

// The details rows of a plugin: "File" always, the others where the record
// has them; the same for the records the shared 32- and 64-bit settings make.
TEST(ChromePlugins, DetailsThroughTheCollection) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    PluginMachine m;
    const Rows pdf{{"File", kVersion + "\\pdf.dll"},
                   {"Description", "Chrome PDF Viewer"},
                   {"Manufacturer", "Google Inc."},
                   {"Copyright", "Copyright 2013 Google Inc."}};
    const Rows oracle{{"File", kJava + "\\new_plugin\\npjp2.dll"}, {"Manufacturer", "Oracle"}};
    const Rows flash{{"File", kVersion + "\\gcswf32.dll"}, {"Manufacturer", "Adobe Systems Incorporated"}};
    const Rows bare{{"File", kReader + "\\browser\\AdobePDFViewer.dll"}};

    sorlix::MInfoCollector::CollectAddonInfo(sorlix::atChromePlugin);
    std::map<std::string, Rows> byFile;
    for (const auto& [name, id] : testsupport::listingRows(sorlix::DB->TypeObjects(sorlix::atChromePlugin).get()))
        byFile[sorlix::ParamText(sorlix::DB->AddonInfo(id).get(), "dLL")] = collectiontest::detailsOf(id);
    EXPECT_EQ(byFile.size(), 10u);
    for (const Rows& rows : {pdf, oracle, flash, bare}) EXPECT_EQ(byFile[rows[0].second], rows);

    for (win::LONG type : {sorlix::atShared32Plugin, sorlix::atShared64Plugin}) {
        SCOPED_TRACE("type " + std::to_string(type));
        sorlix::CPluginScan scan(type);
        for (const Rows& rows : {pdf, oracle, bare}) scan.QueuePlugin(rows[0].second);
        const auto nodes = nodesOf(scan.ProcessPlugins().get());
        ASSERT_EQ(nodes.size(), 3u);
        std::vector<Rows> details;
        for (const auto& node : nodes)
            details.push_back(collectiontest::rows(sorlix::MInfoCollector::BuildDetails(type, paramsOf(node.get()).get()).get()));
        EXPECT_EQ(details, (std::vector<Rows>{pdf, oracle, bare}));
    }
}

} // namespace
