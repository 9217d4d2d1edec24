// Chrome extensions through the collection (details rows, two versions of
// one extension named apart) and through delete and restore: the version
// folder and its policy values go and come back byte for byte, everything
// else stays as it was.

#include "tests/app/enumerators/chrome/chrome_fixture.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "app/core/caxbackuper.h"
#include "app/core/comcalls.h"
#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "app/enumerators/enumcalls.h"
#include "tests/app/collection/collection_support.h"
#include "tests/support/file_tree.h"
#include "tests/support/records.h"
#include "tests/support/real_browser_data.h"

using namespace chrometest;
namespace fs = std::filesystem;

namespace {

const std::string kSynology = "hmelcbpnhbgdobilamgpijfbcgfglahe";
const std::string kSyn3 = kDefault + "\\" + kSynology + "\\3.0.14_0";
const std::string kSyn4 = kDefault + "\\" + kSynology + "\\4.0.19_0";
const std::string kForced = "SOFTWARE\\Policies\\Google\\Chrome\\ExtensionInstallForcelist";

constexpr const char* kPolicies = R"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\SOFTWARE\Policies\Google\Chrome\ExtensionInstallForcelist]
"1"="hmelcbpnhbgdobilamgpijfbcgfglahe"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Policies\Google\Chrome\ExtensionInstallForcelist]
"1"="hmelcbpnhbgdobilamgpijfbcgfglahe;https://clients2.google.com/service/update2/crx"
"2"="cbncngnepamjbknhaklbhmopaanfiipj;https://clients2.google.com/service/update2/crx"

[HKEY_LOCAL_MACHINE\SOFTWARE\Policies\Google\Chrome\ExtensionInstallForcelist]
"1"="hmelcbpnhbgdobilamgpijfbcgfglahe;https://clients2.google.com/service/update2/crx"
)";

TEST(ChromeCollection, DetailsAndNamesOfTwoVersions) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    ChromeMachine m;
    sorlix::MInfoCollector::CollectAddonInfo(sorlix::atChromeExtension);
    const auto names = collectiontest::addonsByName(sorlix::atChromeExtension);
    ASSERT_TRUE(names.count("Synology Download Station") && names.count("Synology Download Station (2)"));
    const std::string first = names.at("Synology Download Station");
    const std::string second = names.at("Synology Download Station (2)");
    const std::string firstDir = sorlix::ParamText(sorlix::DB->AddonInfo(first).get(), "dLL");
    EXPECT_EQ(collectiontest::detailsOf(first), (Rows{{"Location", firstDir},
                                      {"Permissions", firstDir == kSyn3 ? std::string("http://*/, https://*/, background, "
                                                                                      "notifications, contextMenus, storage, "
                                                                                      "tabs, <all_urls>, webRequest, "
                                                                                      "webRequestBlocking")
                                                                        : std::string("alarms, notifications, "
                                                                                      "contextMenus, storage, tabs, "
                                                                                      "scripting, declarativeNetRequest")}}));
    EXPECT_NE(sorlix::ParamText(sorlix::DB->AddonInfo(second).get(), "dLL"), firstDir);
    EXPECT_EQ(names.size(), 5u); // the five version folders of the real profiles
    EXPECT_TRUE(m.log().empty());
}

struct PolicyValue {
    win::LONG root;
    std::string subkey, name;
};

TEST(ChromeCollection, DeleteAndRestoreAnExtensionVersion) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    ChromeMachine m;
    m.prefix.importReg(kPolicies);
    const PolicyValue linked[] = {{halvenlib::HKEY_LOCAL_MACHINE, kForced, "1"},
                                  {halvenlib::HKEY_LOCAL_MACHINE_64BIT, kForced, "1"}};
    const PolicyValue others[] = {{halvenlib::HKEY_CURRENT_USER, kForced, "1"},
                                  {halvenlib::HKEY_LOCAL_MACHINE, kForced, "2"}};
    auto policies = [&] {
        std::vector<std::string> texts;
        for (const auto& v : linked) texts.push_back(sorlix::Enum::QueryString(v.root, v.subkey, v.name));
        for (const auto& v : others) texts.push_back(sorlix::Enum::QueryString(v.root, v.subkey, v.name));
        return texts;
    };
    const fs::path userData = m.prefix.host(kUserData);
    const auto filesBefore = testsupport::treeOf(userData);
    const auto policiesBefore = policies();
    for (const auto& p : policiesBefore) ASSERT_FALSE(p.empty());

    sorlix::MInfoCollector::CollectAddonInfo(sorlix::atChromeExtension);
    std::string id;
    for (const auto& [name, addon] : collectiontest::addonsByName(sorlix::atChromeExtension))
        if (sorlix::ParamText(sorlix::DB->AddonInfo(addon).get(), "dLL") == kSyn3) id = addon;
    ASSERT_FALSE(id.empty());
    const win::VARIANT cfgValue = sorlix::ParamValue(sorlix::DB->AddonInfo(id).get(), "backupCfg");
    const auto cfg = ComPtr<win::IDispatch>(cfgValue.pdispVal).as<quarncust::_CLittleConfig>();
    ASSERT_TRUE(cfg);

    sorlix::CAxBackuper backuper;
    std::string cause;
    ASSERT_TRUE(backuper.Init(testsupport::ProgramObjects::kDataFolder, sorlix::kProductRegistryKey,
                              sorlix::AddonTypeVisor->BackupObjectName(sorlix::atChromeExtension), cause))
        << cause;
    ASSERT_TRUE(backuper.Backup("Synology Download Station", "", cfg.get(), cause)) << cause;
    ASSERT_TRUE(backuper.RemoveByLittleConfig(cfg.get()));

    EXPECT_FALSE(fs::exists(m.prefix.host(kSyn3)));
    EXPECT_EQ(testsupport::treeOf(m.prefix.host(kSyn4)), testsupport::treeOf(kRealUserData / "Default/Extensions" / kSynology / "4.0.19_0"));
    EXPECT_EQ(testsupport::treeOf(userData / "Profile 1"), testsupport::treeOf(kRealUserData / "Profile 1"));
    EXPECT_TRUE(fs::is_directory(m.prefix.host(kDefault + "\\Temp")));
    const auto afterDelete = policies();
    EXPECT_EQ(afterDelete, (std::vector<std::string>{"", "", policiesBefore[2], policiesBefore[3]}));

    win::LONG count = 0;
    std::vector<sorlix::CAxBackuper::BackupRow> rows;
    ASSERT_TRUE(backuper.ListBackups(count, rows, cause));
    ASSERT_EQ(count, 1);
    ASSERT_TRUE(backuper.Restore(rows[0].id, cause)) << cause;
    EXPECT_EQ(testsupport::treeOf(userData), filesBefore);
    EXPECT_EQ(policies(), policiesBefore);
    EXPECT_TRUE(m.log().empty());
}

} // namespace
