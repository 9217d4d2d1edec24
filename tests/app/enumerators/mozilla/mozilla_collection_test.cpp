// Firefox and Waterfox extensions of the real data through the collection
// (details rows as the window shows them) and through delete and restore:
// a packed and a folder extension go and come back byte for byte, seen on
// disk by a program started afresh on the prefix; everything else of the
// profile stays as it was.

#include "tests/app/enumerators/mozilla/mozilla_fixture.h"

#include <fstream>
#include <map>
#include <sstream>

#include "app/core/caddontypevisor.h"
#include "app/core/caxbackuper.h"
#include "app/core/comcalls.h"
#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "tests/app/collection/collection_support.h"
#include "tests/support/file_tree.h"
#include "tests/support/records.h"
#include "tests/support/real_browser_data.h"

using namespace moztest;
using collectiontest::detailsOf;

namespace {

// The real data belongs to user "root".
struct Restartable : RestartableMachine {
    Restartable() : RestartableMachine(testsupport::TestPrefixOptions{.userName = "root"}) {}
};

using Listing = std::map<std::string, std::string>; // dLL -> add-on id

Listing collect(win::LONG type) {
    sorlix::MInfoCollector::RecollectAddonInfo(type);
    Listing byPath;
    for (const auto& [name, id] : testsupport::listingRows(sorlix::DB->TypeObjects(type).get()))
        byPath[sorlix::ParamText(sorlix::DB->AddonInfo(id).get(), "dLL")] = id;
    return byPath;
}

TEST(MozillaCollection, DetailsRows) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    Restartable m;
    installRealData(m.prefix);
    const Listing firefox = collect(sorlix::atFirefox32Extension);
    ASSERT_EQ(firefox.size(), 6u);
    EXPECT_EQ(detailsOf(firefox.at(kRealGreasemonkey)), (Rows{{"Location", kRealGreasemonkey},
                                                              {"Manufacturer", "Aaron Boodman; http://youngpup.net/"},
                                                              {"Homepage", "http://www.greasespot.net/"}}));
    const std::string tst = kRealWork + "\\extensions\\staged\\treestyletab@piro.sakura.ne.jp.xpi";
    EXPECT_EQ(detailsOf(firefox.at(tst)), (Rows{{"Location", tst}}));
    const Listing waterfox = collect(sorlix::atWaterfox64Extension);
    EXPECT_EQ(waterfox.size(), 6u);
    const std::string cookies = "C:\\Program Files\\Waterfox\\Extensions\\{45d8ff86-d909-11db-9705-005056c00008}\\";
    EXPECT_EQ(detailsOf(waterfox.at(cookies)), (Rows{{"Location", cookies}, {"Manufacturer", "Tony Schilling"}}));
    EXPECT_TRUE(m.program->log->lines.empty());
}

TEST(MozillaCollection, DeleteAndRestoreAPackedAndAFolderExtension) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    Restartable m;
    installRealData(m.prefix);
    const fs::path profile = m.prefix.host(kRealDefault);
    const fs::path work = m.prefix.host(kRealWork);
    const auto profileBefore = testsupport::treeOf(profile), workBefore = testsupport::treeOf(work);
    const fs::path sidebar = m.prefix.host(kRealSidebar);
    const fs::path greasemonkey = m.prefix.host(kRealGreasemonkey.substr(0, kRealGreasemonkey.size() - 1));
    ASSERT_TRUE(fs::is_regular_file(sidebar) && fs::is_directory(greasemonkey));

    {
        const Listing firefox = collect(sorlix::atFirefox32Extension);
        sorlix::CAxBackuper backuper;
        std::string cause;
        ASSERT_TRUE(backuper.Init(testsupport::ProgramObjects::kDataFolder, sorlix::kProductRegistryKey,
                                  sorlix::AddonTypeVisor->BackupObjectName(sorlix::atFirefox32Extension), cause))
            << cause;
        for (const std::string& path : {kRealSidebar, kRealGreasemonkey}) {
            const win::VARIANT v = sorlix::ParamValue(sorlix::DB->AddonInfo(firefox.at(path)).get(), "backupCfg");
            const auto cfg = ComPtr<win::IDispatch>(v.pdispVal).as<quarncust::_CLittleConfig>();
            ASSERT_TRUE(cfg);
            ASSERT_TRUE(backuper.Backup(path, "", cfg.get(), cause)) << cause;
            ASSERT_TRUE(backuper.RemoveByLittleConfig(cfg.get()));
        }
    }

    m.restart();
    EXPECT_FALSE(fs::exists(sidebar));
    EXPECT_FALSE(fs::exists(greasemonkey));
    auto expectedProfile = profileBefore;
    std::erase_if(expectedProfile, [](const auto& kv) { return kv.first.find("{") != std::string::npos; });
    EXPECT_EQ(testsupport::treeOf(profile), expectedProfile);
    EXPECT_EQ(testsupport::treeOf(work), workBefore);
    const Listing afterDelete = collect(sorlix::atFirefox32Extension);
    EXPECT_EQ(afterDelete.size(), 4u);
    EXPECT_FALSE(afterDelete.count(kRealSidebar) || afterDelete.count(kRealGreasemonkey));

    {
        sorlix::CAxBackuper backuper;
        std::string cause;
        ASSERT_TRUE(backuper.Init(testsupport::ProgramObjects::kDataFolder, sorlix::kProductRegistryKey,
                                  sorlix::AddonTypeVisor->BackupObjectName(sorlix::atFirefox32Extension), cause))
            << cause;
        win::LONG count = 0;
        std::vector<sorlix::CAxBackuper::BackupRow> rows;
        ASSERT_TRUE(backuper.ListBackups(count, rows, cause)) << cause;
        ASSERT_EQ(count, 2);
        for (const auto& row : rows) ASSERT_TRUE(backuper.Restore(row.id, cause)) << cause;
    }

    m.restart();
    EXPECT_EQ(testsupport::treeOf(profile), profileBefore);
    EXPECT_EQ(testsupport::treeOf(work), workBefore);
    const Listing afterRestore = collect(sorlix::atFirefox32Extension);
    EXPECT_EQ(afterRestore.size(), 6u);
    EXPECT_TRUE(afterRestore.count(kRealSidebar) && afterRestore.count(kRealGreasemonkey));
    EXPECT_TRUE(m.program->log->lines.empty());
}

} // namespace
