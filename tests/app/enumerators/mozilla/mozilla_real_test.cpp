// Firefox and Waterfox extensions of the real fixture data: folder and
// packed extensions of two profiles (one in "extensions\staged"), of each
// browser's install folder, and three extensions the registry points at
// (Firefox's machine-wide value, Waterfox's in the 64-bit view, one per
// user that both browsers see). Manifests come in element form, attribute
// form, with RDF: prefixes and with localized blocks before the names.

#include "tests/app/enumerators/mozilla/mozilla_fixture.h"

#include "app/core/globals.h"
#include "app/enumerators/cmozillaextenum.h"
#include "tests/support/real_browser_data.h"

using namespace moztest;

namespace {

const std::string kRoot = kRealRoaming;
const std::string kWork = kRealWork + "\\extensions\\staged\\";
const std::string kOse = "C:\\Program Files (x86)\\Organize Search Engines\\ose@baton34dev\\";
const std::string kAvim = "C:\\Program Files\\AVIM\\{2B8EFF80-1240-11DB-BF6C-934CD2EFDFE8}\\";
const std::string kGrw = kRoot + "\\Google Reader Watcher\\grwatcher@ajnasz.hu\\";
const std::string kStatusBar = "C:\\Program Files (x86)\\Mozilla Firefox\\Extensions\\{6c28e999-e900-4635-a39d-b1ec90ba0c0f}.xpi";
const std::string kCookies = "C:\\Program Files\\Waterfox\\Extensions\\{45d8ff86-d909-11db-9705-005056c00008}\\";
const std::string kGreasemonkey = kRealGreasemonkey;
const std::string kSidebar = kRealSidebar;
const std::string kTreeStyleTab = kWork + "treestyletab@piro.sakura.ne.jp.xpi";

struct RealMachine : MozMachine {
    RealMachine() : MozMachine(testsupport::TestPrefixOptions{.userName = "root"}) { installRealData(prefix); }
};

using Named = std::vector<std::pair<std::string, std::string>>; // dLL, websearchName

Named namedOf(_CNodes* result) {
    Named r;
    for (const auto& n : nodesOf(result)) r.emplace_back(param(n.get(), "dLL"), param(n.get(), "websearchName"));
    return r;
}

std::string logText(const std::vector<testsupport::LogLine>& log) {
    std::string all;
    for (const auto& l : log) all += l.source + ": " + l.description + "\n";
    return all;
}

TEST(MozillaRealData, FirefoxExtensions) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    RealMachine m;
    const auto result = sorlix::CFFextEnumerator().EnumFirefoxExtensions();
    ASSERT_TRUE(result);
    // Tree Style Tab gives its values as attributes, so its record holds the path only.
    EXPECT_EQ(namedOf(result.get()), (Named{{kOse, "Organize Search Engines"},
                                            {kGrw, "Google Reader Watcher"},
                                            {kStatusBar, "Download Status Bar"},
                                            {kSidebar, "All-in-One Sidebar"},
                                            {kGreasemonkey, "Greasemonkey"},
                                            {kTreeStyleTab, kTreeStyleTab}}));
    const auto gm = nodesOf(result.get()).at(4);
    EXPECT_EQ(dump(gm.get()), (Rows{{"dLL", kGreasemonkey},
                                    {"manufacturer", "Aaron Boodman; http://youngpup.net/"},
                                    {"description", "A User Script Manager for Firefox"},
                                    {"homepageURL", "http://www.greasespot.net/"},
                                    {"originalName", "Greasemonkey"},
                                    {"iD", "{e4a8a97b-f2ed-450b-b12d-ee082ba24781}"},
                                    {"backupCfg", "<object>"},
                                    {"websearchName", "Greasemonkey"}}));
    EXPECT_EQ(dump(nodesOf(result.get()).at(5).get()),
              (Rows{{"dLL", kTreeStyleTab}, {"backupCfg", "<object>"}, {"websearchName", kTreeStyleTab}}));
    EXPECT_TRUE(m.log().empty()) << logText(m.log());
    EXPECT_FALSE(m.workFolderExists());
}

TEST(MozillaRealData, WaterfoxExtensions) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    RealMachine m;
    sorlix::CWF64ExtEnum waterfox;
    EXPECT_EQ(waterfox.EnumWaterfox64InstallFolders(), (Lines{"C:\\Program Files\\Waterfox"}));
    const auto result = waterfox.EnumWaterfox64Extensions();
    ASSERT_TRUE(result);
    EXPECT_EQ(namedOf(result.get()), (Named{{kAvim, "AVIM"},
                                            {kGrw, "Google Reader Watcher"},
                                            {kCookies, "Cookie Monster"},
                                            {kSidebar, "All-in-One Sidebar"},
                                            {kGreasemonkey, "Greasemonkey"},
                                            {kTreeStyleTab, kTreeStyleTab}}));
    EXPECT_EQ(removal(nodesOf(result.get()).at(0).get(), "backupCfg"), (Lines{"file " + kAvim + " True"}));
    EXPECT_EQ(sorlix::Wow64RedirectionCount, 0);
    EXPECT_TRUE(m.log().empty()) << logText(m.log());
}

TEST(MozillaRealData, ProfileAndExtensionFolders) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    RealMachine m;
    sorlix::CFFextEnumerator firefox;
    EXPECT_EQ(firefox.FirefoxProfileFolders(), (Lines{kRoot + "\\Mozilla\\Firefox\\Profiles\\k3x9wq2m.default",
                                                      kRoot + "\\Mozilla\\Firefox\\Profiles\\p7f2d1zc.work"}));
    auto bare = [](std::string s) { return s.substr(0, s.size() - 1); };
    EXPECT_EQ(firefox.EnumExtensionsThatAreFolders(),
              (Lines{bare(kOse), bare(kGrw), bare(kGreasemonkey),
                     kRoot + "\\Mozilla\\Firefox\\Profiles\\p7f2d1zc.work\\extensions\\staged"}));
    EXPECT_FALSE(m.workFolderExists());
}

} // namespace
