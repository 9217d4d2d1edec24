// The demo machine as demo/build-prefix.sh builds it: a 64-bit prefix of
// user "demo" on which the real collection finds Internet Explorer add-ons
// of all five kinds in both registry views, for the machine, for "demo" and
// for new users; one broken toolbar; one 64-bit toolbar in the 64-bit system
// folder; every add-on file a PE DLL of its view's machine; and the system
// toolbar and explorer bar that are registered there left out. Beside them
// the add-ons of Firefox, Waterfox, Chrome, Safari and Opera, and some of
// them deleted and restored.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/core/caddontypevisor.h"
#include "app/core/caxbackuper.h"
#include "app/core/comcalls.h"
#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "common/interfaces/records.h"
#include "common/interfaces/registry.h"
#include "common/interfaces/table.h"
#include "components/interfaces/quarncust.h"
#include "platform/com/class_registry.h"
#include "platform/com/variant.h"
#include "platform/core/machine.h"
#include "platform/core/text.h"
#include "platform/pe/pe.h"
#include "tests/app/collection/collection_support.h"
#include "tests/support/file_tree.h"
#include "tests/support/program_objects.h"
#include "tests/support/records.h"

namespace fs = std::filesystem;
using collectiontest::addonsByName;
using halvenlib::_CCollection;
using halvenlib::_CGumArray;
using halvenlib::_CParams;
using testsupport::paramText;
using win::LONG;
using winsys::com::ComPtr;

namespace {

constexpr const char* kDemoSid = "S-1-5-21-1004336348-1177238915-682003330-1000";
constexpr const char* kSystemToolbar = "{6A1B2C3D-0005-4E5F-8A9B-0C1D2E3F4A55}";
constexpr const char* kSystemBar = "{EFA24E61-B078-11D0-89E4-00C04FC9E26E}";
constexpr const char* kVerticalBars = "{00021493-0000-0000-C000-000000000046}";
const std::string kLocal = "C:\\users\\demo\\AppData\\Local\\";
const std::string kOpera32Widgets = kLocal + "Opera\\Opera\\widgets\\";
const std::string kOpera64Widgets = kLocal + "Opera\\Opera x64\\widgets\\";

std::string text(win::VARIANT& v) {
    std::string s;
    EXPECT_EQ(winsys::com::toText(v, &s), win::S_OK);
    win::VariantClear(&v);
    return s;
}

using Rows = std::vector<std::pair<std::string, std::string>>;

// The rows the details pane shows for an add-on.
Rows detailsRows(const std::string& id) {
    const ComPtr<_CParams> details = sorlix::DB->Details(id);
    if (!details) return {{"<no details>", ""}};
    return collectiontest::rows(details.get());
}

// Whether the collection holds `item` among its items.
bool holds(_CCollection* c, const std::string& item) {
    LONG n = 0;
    c->get_Count(&n);
    for (LONG i = 1; i <= n; ++i) {
        win::VARIANT index = winsys::com::makeLong(i), v;
        if (c->get_Item(&index, &v) == win::S_OK && text(v) == item) return true;
    }
    return false;
}

// The prefix, built once for the suite in a temporary folder.
class DemoPrefix : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string tmpl = (fs::temp_directory_path() / "sorlix-demo-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        root_ = new fs::path(tmpl);
        const fs::path prefix = *root_ / "prefix", output = *root_ / "build-prefix.out";
        const std::string command = "bash '" BUILD_PREFIX_SCRIPT "' '" + prefix.string() + "' '" BUILD_DIR "' >'" +
                                    output.string() + "' 2>&1";
        status_ = std::system(command.c_str());
        std::ifstream in(output);
        output_ = new std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(*root_, ec);
        delete root_;
        delete output_;
    }

    void SetUp() override {
        ASSERT_EQ(status_, 0) << *output_;
        auto m = winsys::Machine::open(prefix());
        ASSERT_TRUE(m) << m.error().message;
        winsys::setMachine(std::move(m).value());
        program_ = std::make_unique<testsupport::ProgramObjects>();
    }
    void TearDown() override {
        program_.reset();
        winsys::com::releaseApplicationObjects();
        winsys::setMachine(nullptr);
    }

    // Opens the prefix again as a new process of the program would.
    void reopen() {
        TearDown();
        SetUp();
    }

    static fs::path prefix() { return *root_ / "prefix"; }
    static fs::path host(const std::string& windowsPath) {
        std::string rest = windowsPath.substr(3);
        for (char& c : rest)
            if (c == '\\') c = '/';
        return prefix() / "drive_c" / rest;
    }

    // Display name -> record of every add-on the collection filed under `type`.
    static std::map<std::string, ComPtr<_CParams>> listing(LONG type) {
        std::map<std::string, ComPtr<_CParams>> found;
        for (const auto& [name, id] : addonsByName(type)) found[name] = sorlix::DB->AddonInfo(id);
        return found;
    }
    // The run's log holds no error line.
    void expectNoErrorLogged() const {
        for (const testsupport::LogLine& line : program_->log->lines) {
            EXPECT_NE(line.severity, halvenlib::sevError) << line.source << ": " << line.description;
            EXPECT_NE(line.severity, halvenlib::sevInternalError) << line.source << ": " << line.description;
        }
    }

    std::unique_ptr<testsupport::ProgramObjects> program_;

private:
    static fs::path* root_;
    static std::string* output_;
    static int status_;
};

fs::path* DemoPrefix::root_ = nullptr;
std::string* DemoPrefix::output_ = nullptr;
int DemoPrefix::status_ = -1;

TEST_F(DemoPrefix, IsA64BitMachineOfUserDemo) {
    EXPECT_TRUE(winsys::machine().is64bit());
    EXPECT_EQ(winsys::machine().userName(), "demo");
    EXPECT_EQ(winsys::machine().userSid(), kDemoSid);
}

struct Addon {
    LONG type;
    const char* displayName;
    const char* dLL; // as the collection resolves it; empty for the broken toolbar
    const char* scope; // nullptr: the kind has no scope
    const char* manufacturer; // nullptr: none
};

const Addon kAddons[] = {
    {1, "Bluebird Search Toolbar", "C:\\Program Files (x86)\\Bluebird\\bbtoolbar.dll", "Everyone", "Bluebird Labs"},
    {1, "Coupon Scout Toolbar", "", "Everyone", nullptr},
    {1, "Marmot Mail Notifier", "C:\\Program Files (x86)\\Marmot Mail\\mmnotify.dll", "demo", "Marmot Mail Ltd"},
    {2, "Check Mail", "C:\\Program Files (x86)\\Marmot Mail\\mmnotify.dll", "Default", "Marmot Mail Ltd"},
    {2, "Snip Notes", "C:\\Program Files (x86)\\Snip Notes\\snipnotes.dll", "Everyone", "Snipwell Software"},
    {3, "Clip to Snip Notes", "C:\\Program Files (x86)\\Snip Notes\\snipnotes.dll", "Everyone", "Snipwell Software"},
    {3, "Look up in Lexicon", "C:\\Program Files (x86)\\Lexicon Lookup\\lexbar.dll", "demo", "Quillby Reference"},
    {4, "Lexicon Lookup Bar", "C:\\Program Files (x86)\\Lexicon Lookup\\lexbar.dll", nullptr, "Quillby Reference"},
    {4, "Tidewater News Sidebar", "C:\\Program Files (x86)\\Tidewater\\tidebar.dll", nullptr, "Tidewater Media"},
    {5, "Price Finder Helper", "C:\\Program Files (x86)\\PriceFinder\\pfhelper.dll", nullptr, "Pennyroyal Software"},
    {6, "Marmot Mail Notifier", "C:\\Program Files\\Marmot Mail\\mmnotify64.dll", "demo", "Marmot Mail Ltd"},
    {6, "Skylark Weather Toolbar", "C:\\windows\\system32\\skylarkwx.dll", "Everyone", "Skylark Weather Co."},
    {7, "Check Mail", "C:\\Program Files\\Marmot Mail\\mmnotify64.dll", "Default", "Marmot Mail Ltd"},
    {7, "Translate", "C:\\Program Files\\QuickTranslate\\qtbutton64.dll", "Everyone", "Lingofox Ltd"},
    {8, "Look up in Lexicon", "C:\\Program Files (x86)\\Lexicon Lookup\\lexbar.dll", "demo", "Quillby Reference"},
    {8, "Translate with Quick Translate", "C:\\Program Files\\QuickTranslate\\qtbho64.dll", "Everyone",
     "Lingofox Ltd"},
    {9, "Harbor Radio", "C:\\Program Files\\Harbor Radio\\harborbar64.dll", nullptr, "Harborlight Audio"},
    {9, "Tidewater News Sidebar", "C:\\Program Files\\Tidewater\\tidebar64.dll", nullptr, "Tidewater Media"},
    {10, "Quick Translate", "C:\\Program Files\\QuickTranslate\\qtbho64.dll", nullptr, "Lingofox Ltd"},
};

TEST_F(DemoPrefix, EveryAddonTypeShowsAddonsAndTheRunLogsNoError) {
    sorlix::MInfoCollector::CollectAllAddonInfo();
    for (LONG type = 1; type <= sorlix::kLastAddonType; ++type)
        EXPECT_FALSE(addonsByName(type).empty()) << "no add-on of type " << type;
    expectNoErrorLogged();
}

TEST_F(DemoPrefix, CollectionFindsEveryInternetExplorerAddonOfBothViews) {
    sorlix::MInfoCollector::CollectAllAddonInfo();
    for (LONG type = 1; type <= 10; ++type) {
        SCOPED_TRACE("type " + std::to_string(type));
        std::set<std::string> expected;
        for (const Addon& a : kAddons)
            if (a.type == type) expected.insert(a.displayName);
        const auto found = listing(type);
        std::set<std::string> names;
        for (const auto& [name, info] : found) names.insert(name);
        EXPECT_EQ(names, expected);
    }
    for (const Addon& a : kAddons) {
        SCOPED_TRACE(std::to_string(a.type) + " " + a.displayName);
        const auto found = listing(a.type);
        const auto it = found.find(a.displayName);
        if (it == found.end()) continue; // reported above
        _CParams* info = it->second.get();
        EXPECT_TRUE(winsys::equalsNoCase(paramText(info, "dLL"), a.dLL)) << paramText(info, "dLL");
        EXPECT_EQ(paramText(info, "file64bitSystem32"), a.type >= 6 ? "True" : "False");
        EXPECT_EQ(paramText(info, "scope"), a.scope ? a.scope : "<missing>");
        EXPECT_EQ(paramText(info, "manufacturer"), a.manufacturer ? a.manufacturer : "<missing>");
    }
    expectNoErrorLogged();
}

TEST_F(DemoPrefix, EveryAddonFileIsADllOfItsView) {
    std::set<std::string> seen;
    for (const Addon& a : kAddons) {
        if (!*a.dLL || !seen.insert(a.dLL).second) continue;
        SCOPED_TRACE(a.dLL);
        std::ifstream in(host(a.dLL), std::ios::binary);
        ASSERT_TRUE(in) << "missing";
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto image = winsys::PeImage::parse(bytes);
        ASSERT_TRUE(image) << image.error().message;
        // Per-user add-ons are found in both passes; their files keep their own machine.
        const bool amd64 = std::string(a.dLL).find("(x86)") == std::string::npos;
        EXPECT_EQ(image.value().machine(), amd64 ? win::IMAGE_FILE_MACHINE_AMD64 : win::IMAGE_FILE_MACHINE_I386);
        EXPECT_EQ(image.value().is64Bit(), amd64);
        EXPECT_TRUE(image.value().hasResources());
    }
}

TEST_F(DemoPrefix, BrokenToolbarIsShownAsImproperlyInstalled) {
    sorlix::MInfoCollector::CollectAllAddonInfo();
    const auto found = listing(1);
    const auto it = found.find("Coupon Scout Toolbar");
    ASSERT_NE(it, found.end());
    EXPECT_EQ(paramText(it->second.get(), "dLL"), "");
    const ComPtr<_CParams> details = sorlix::DB->Details(addonsByName(1)["Coupon Scout Toolbar"]);
    ASSERT_TRUE(details);
    EXPECT_EQ(paramText(details.get(), "File"), "Toolbar is improperly installed or configured");
    EXPECT_EQ(paramText(details.get(), "User"), "Everyone");
    // Its class is registered, only without a server.
    LONG classes = halvenlib::HKEY_CLASSES_ROOT;
    std::string key = "CLSID\\{6A1B2C3D-0004-4E5F-8A9B-0C1D2E3F4A54}", none, name;
    win::VARIANT_BOOL ok = win::VARIANT_FALSE;
    ASSERT_EQ(sorlix::Registry->QuerySTRING(&classes, &key, &none, &name, &ok), win::S_OK);
    EXPECT_EQ(name, "Coupon Scout Toolbar");
}

TEST_F(DemoPrefix, ToolbarOfThe64BitSystemFolderIsMarkedSo) {
    sorlix::MInfoCollector::CollectAllAddonInfo();
    const auto found = listing(6);
    const auto it = found.find("Skylark Weather Toolbar");
    ASSERT_NE(it, found.end());
    const std::string file = paramText(it->second.get(), "dLL");
    EXPECT_TRUE(winsys::startsWithNoCase(file, "C:\\windows\\system32\\")) << file;
    EXPECT_EQ(paramText(it->second.get(), "file64bitSystem32"), "True");
    // Only the 64-bit system folder holds it; 32-bit programs see syswow64 there.
    EXPECT_TRUE(fs::exists(prefix() / "drive_c/windows/system32/skylarkwx.dll"));
    EXPECT_FALSE(fs::exists(prefix() / "drive_c/windows/syswow64/skylarkwx.dll"));
}

TEST_F(DemoPrefix, SystemToolbarAndExplorerBarAreRegisteredButLeftOut) {
    // Registered in both views...
    struct View {
        LONG machine, classes;
    };
    for (const View v : {View{halvenlib::HKEY_LOCAL_MACHINE, halvenlib::HKEY_CLASSES_ROOT},
                         View{halvenlib::HKEY_LOCAL_MACHINE_64BIT, halvenlib::HKEY_CLASSES_ROOT_64BIT}}) {
        SCOPED_TRACE(v.machine);
        ComPtr<_CCollection> values;
        std::string cause;
        win::VARIANT_BOOL ok = win::VARIANT_FALSE;
        ASSERT_EQ(sorlix::Registry->EnumValuesEx(v.machine, "Software\\Microsoft\\Internet Explorer\\Toolbar",
                                                 values.put(), &cause, &ok),
                  win::S_OK);
        ASSERT_NE(ok, win::VARIANT_FALSE) << cause;
        EXPECT_TRUE(holds(values.get(), kSystemToolbar));
        win::VARIANT_BOOL exists = win::VARIANT_FALSE;
        ASSERT_EQ(sorlix::Registry->IsKeyExist(v.classes,
                                               std::string("CLSID\\") + kSystemBar + "\\Implemented Categories\\" +
                                                   kVerticalBars,
                                               &exists),
                  win::S_OK);
        EXPECT_NE(exists, win::VARIANT_FALSE);
    }
    // ...and in no listing.
    sorlix::MInfoCollector::CollectAllAddonInfo();
    for (LONG type = 1; type <= 10; ++type) {
        SCOPED_TRACE("type " + std::to_string(type));
        for (const auto& [name, info] : listing(type)) {
            EXPECT_NE(name, "Address Band");
            EXPECT_NE(name, "Explorer Band");
            EXPECT_EQ(winsys::lowerCase(paramText(info.get(), "dLL")).find("ieframe.dll"), std::string::npos);
        }
    }
}

// Safari's plugins and both Opera builds' plugins, less the one each Opera
// build's ignore list names; the 64-bit ones marked for the 64-bit view.
TEST_F(DemoPrefix, SafariAndOperaPluginsLessTheIgnored) {
    struct Case {
        LONG type;
        std::map<std::string, std::string> files; // display name -> file
        const char* flag;
    } cases[] = {
        {20,
         {{"Pinwheel Player", "C:\\Program Files (x86)\\Safari\\Plugins\\npPinwheel.dll"},
          {"Calico Viewer", "C:\\Program Files (x86)\\Safari\\Plugins\\npCalico.dll"}},
         "<missing>"},
        {22, {{"Fern Reader", "C:\\Program Files (x86)\\Opera\\program\\plugins\\npFernReader.dll"}}, "False"},
        {24, {{"Fern Reader", "C:\\Program Files\\Opera\\program\\plugins\\npFernReader64.dll"}}, "True"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        sorlix::MInfoCollector::CollectAddonInfo(c.type);
        std::map<std::string, std::string> found;
        for (const auto& [name, info] : listing(c.type)) {
            found[name] = paramText(info.get(), "dLL");
            EXPECT_EQ(paramText(info.get(), "file64bitSystem32"), c.flag);
        }
        EXPECT_EQ(found, c.files);
    }
    expectNoErrorLogged();
}

TEST_F(DemoPrefix, SafariAndOperaExtensions) {
    const std::string safari = kLocal + "Apple Computer\\Safari\\Extensions\\";
    struct Extension {
        LONG type;
        const char* displayName;
        std::string dLL;
        const char* manufacturer;
        const char* license = nullptr; // Opera's only; nullptr: none
    } extensions[] = {
        {19, "Quiet Reader \u2013 Lesemodus", safari + "Quiet Reader-2.safariextension", "Mossgate Software"},
        {19, "Tab Tidy", safari + "Tab Tidy.safariextension", "Ravelstone Labs"},
        {21, "Google Adsense Monitor", kOpera32Widgets + "google-adsense-monitor-12.16.oex", "M Shabeer Ali",
         "Licensed under GPL v3.0"},
        {21, "Sina Weibo For The World: A Social Web Experiment", kOpera32Widgets + "sina-weibo-ftw-0.1.oex",
         "Rich Tibbett", "Licensed under the MIT license"},
        {23, "Layers", kOpera64Widgets + "layers-1.0.oex", "andreasbovens", "Copyright 2011 andreasbovens"},
    };
    sorlix::MInfoCollector::CollectAllAddonInfo();
    for (LONG type : {19, 21, 23}) {
        SCOPED_TRACE("type " + std::to_string(type));
        std::set<std::string> expected, names;
        for (const Extension& e : extensions)
            if (e.type == type) expected.insert(e.displayName);
        for (const auto& [name, info] : listing(type)) names.insert(name);
        EXPECT_EQ(names, expected);
    }
    for (const Extension& e : extensions) {
        SCOPED_TRACE(e.displayName);
        const auto found = listing(e.type);
        const auto it = found.find(e.displayName);
        if (it == found.end()) continue; // reported above
        EXPECT_EQ(paramText(it->second.get(), "dLL"), e.dLL);
        EXPECT_EQ(paramText(it->second.get(), "manufacturer"), e.manufacturer);
        if (!e.license) continue;
        // The details the window shows for an Opera extension.
        const ComPtr<_CParams> details = sorlix::DB->Details(addonsByName(e.type)[e.displayName]);
        ASSERT_TRUE(details);
        EXPECT_EQ(paramText(details.get(), "Location"), e.dLL);
        EXPECT_EQ(paramText(details.get(), "Manufacturer"), e.manufacturer);
        EXPECT_EQ(paramText(details.get(), "License").rfind(e.license, 0), 0u) << paramText(details.get(), "License");
        EXPECT_FALSE(paramText(it->second.get(), "description").empty());
    }
    EXPECT_FALSE(fs::exists(host(sorlix::TempFolder + "\\OperaExtEnumerator"))) << "work folder left";
    expectNoErrorLogged();
}

// The 64-bit Opera's extension deleted through the backup store and
// restored, each step seen on disk and by a collection of a program that
// opened the prefix afresh.
TEST_F(DemoPrefix, OperaExtensionDeletedAndRestored) {
    const LONG type = sorlix::atOpera64Extension;
    const std::string package = kOpera64Widgets + "layers-1.0.oex";
    const fs::path opera = host(kLocal + "Opera");
    const auto before = testsupport::treeOf(opera);
    ASSERT_EQ(before.count("Opera x64/widgets/layers-1.0.oex"), 1u);

    sorlix::MInfoCollector::CollectAddonInfo(type);
    ASSERT_EQ(addonsByName(type).count("Layers"), 1u);
    const ComPtr<_CParams> info = sorlix::DB->AddonInfo(addonsByName(type)["Layers"]);
    const win::VARIANT cfgValue = sorlix::ParamValue(info.get(), "backupCfg");
    ASSERT_EQ(cfgValue.vt, win::VT_DISPATCH);
    const auto cfg = ComPtr<win::IDispatch>(cfgValue.pdispVal).as<quarncust::_CLittleConfig>();
    ASSERT_TRUE(cfg);
    const std::string backupName = sorlix::AddonTypeVisor->BackupObjectName(type);
    {
        sorlix::CAxBackuper backuper;
        std::string cause;
        ASSERT_TRUE(backuper.Init(sorlix::DataFolder, sorlix::kProductRegistryKey, backupName, cause)) << cause;
        ASSERT_TRUE(backuper.Backup("Layers", "", cfg.get(), cause)) << cause;
        ASSERT_TRUE(backuper.RemoveByLittleConfig(cfg.get()));
    }
    reopen();
    EXPECT_FALSE(fs::exists(host(package)));
    auto expectedAfterDelete = before;
    expectedAfterDelete.erase("Opera x64/widgets/layers-1.0.oex");
    EXPECT_EQ(testsupport::treeOf(opera), expectedAfterDelete);
    sorlix::MInfoCollector::CollectAddonInfo(type);
    EXPECT_TRUE(addonsByName(type).empty());
    {
        sorlix::CAxBackuper backuper;
        std::string cause;
        ASSERT_TRUE(backuper.Init(sorlix::DataFolder, sorlix::kProductRegistryKey, backupName, cause)) << cause;
        LONG count = 0;
        std::vector<sorlix::CAxBackuper::BackupRow> rows;
        ASSERT_TRUE(backuper.ListBackups(count, rows, cause)) << cause;
        ASSERT_EQ(count, 1);
        EXPECT_EQ(rows[0].name, "Layers");
        ASSERT_TRUE(backuper.Restore(rows[0].id, cause)) << cause;
    }
    reopen();
    EXPECT_EQ(testsupport::treeOf(opera), before);
    sorlix::MInfoCollector::CollectAddonInfo(type);
    ASSERT_EQ(addonsByName(type).count("Layers"), 1u);
    EXPECT_EQ(paramText(sorlix::DB->AddonInfo(addonsByName(type)["Layers"]).get(), "dLL"), package);
    {
        sorlix::CAxBackuper backuper;
        std::string cause;
        ASSERT_TRUE(backuper.Init(sorlix::DataFolder, sorlix::kProductRegistryKey, backupName, cause)) << cause;
        LONG count = -1;
        std::vector<sorlix::CAxBackuper::BackupRow> rows;
        ASSERT_TRUE(backuper.ListBackups(count, rows, cause)) << cause;
        EXPECT_EQ(count, 0) << "a restored backup leaves the store";
    }
    expectNoErrorLogged();
}

// Firefox's and Waterfox's extensions: folders and packages (made when the
// prefix is built) in the install folders and both profiles, and the ones
// the registry names for each browser and for the user.
TEST_F(DemoPrefix, FirefoxAndWaterfoxExtensions) {
    const std::string profiles = "C:\\users\\demo\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\";
    const std::string sidebar = profiles + "k3x9wq2m.default\\extensions\\{097d3191-e6fa-4728-9826-b533d755359d}.xpi";
    const std::string greasemonkey = profiles + "k3x9wq2m.default\\extensions\\{e4a8a97b-f2ed-450b-b12d-ee082ba24781}\\";
    const std::string treeStyleTab = profiles + "p7f2d1zc.work\\extensions\\staged\\treestyletab@piro.sakura.ne.jp.xpi";
    const std::string readerWatcher = "C:\\users\\demo\\AppData\\Roaming\\Google Reader Watcher\\grwatcher@ajnasz.hu\\";
    struct Case {
        LONG type;
        std::map<std::string, std::string> extensions; // dLL -> name
        const char* flag;
    } cases[] = {
        {13,
         {{"C:\\Program Files (x86)\\Organize Search Engines\\ose@baton34dev\\", "Organize Search Engines"},
          {readerWatcher, "Google Reader Watcher"},
          {"C:\\Program Files (x86)\\Mozilla Firefox\\Extensions\\{6c28e999-e900-4635-a39d-b1ec90ba0c0f}.xpi",
           "Download Status Bar"},
          {sidebar, "All-in-One Sidebar"},
          {greasemonkey, "Greasemonkey"},
          {treeStyleTab, "<missing>"}},
         "False"},
        {15,
         {{"C:\\Program Files\\AVIM\\{2B8EFF80-1240-11DB-BF6C-934CD2EFDFE8}\\", "AVIM"},
          {readerWatcher, "Google Reader Watcher"},
          {"C:\\Program Files\\Waterfox\\Extensions\\{45d8ff86-d909-11db-9705-005056c00008}\\", "Cookie Monster"},
          {sidebar, "All-in-One Sidebar"},
          {greasemonkey, "Greasemonkey"},
          {treeStyleTab, "<missing>"}},
         "True"},
    };
    for (const std::string& package : {sidebar, treeStyleTab}) {
        std::ifstream in(host(package), std::ios::binary);
        char magic[4] = {};
        in.read(magic, 4);
        EXPECT_EQ(std::string(magic, 4), std::string("PK\x03\x04", 4)) << package;
    }
    for (const Case& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        sorlix::MInfoCollector::CollectAddonInfo(c.type);
        std::map<std::string, std::string> found;
        for (const auto& [name, info] : listing(c.type)) {
            found[paramText(info.get(), "dLL")] = paramText(info.get(), "originalName");
            const auto cfg = ComPtr<win::IDispatch>(sorlix::ParamValue(info.get(), "backupCfg").pdispVal)
                                 .as<quarncust::_CLittleConfig>();
            ASSERT_TRUE(cfg);
            win::VARIANT_BOOL flag = win::VARIANT_FALSE;
            cfg->get_FileOrFolderx64bitSystem32(1, &flag);
            EXPECT_EQ(flag ? "True" : "False", std::string(c.flag));
        }
        EXPECT_EQ(found, c.extensions);
    }
    expectNoErrorLogged();
    EXPECT_FALSE(fs::exists(host(std::string(testsupport::ProgramObjects::kDataFolder) + "\\Temp\\FFExtTemp")));
}

// The Mozilla browsers' plugins and the shared ones, each with its details
// and what deleting it would take: the file where a folder held it, the
// registration where one named it.
TEST_F(DemoPrefix, MozillaAndSharedPluginsWithDetails) {
    const std::string local = "C:\\users\\demo\\AppData\\Local\\", roaming = "C:\\users\\demo\\AppData\\Roaming\\";
    struct Plugin {
        LONG type;
        const char* name;
        std::string file;
        const char* description;
        const char* manufacturer;
        const char* copyright;
        int files, registrations; // in the removal record
    } plugins[] = {
        {11, "Cloudberry Viewer", "C:\\Program Files (x86)\\Cloudberry Viewer\\npcloudberry.dll",
         "Cloudberry document viewer", "Cloudberry Documents", "Copyright (C) 2013 Cloudberry Documents", 0, 1},
        {11, "Pinecone Player", local + "Pinecone Player\\nppinecone.dll", "Pinecone media player", "Pinecone Media",
         "(C) 2012-2013 Pinecone Media", 0, 1},
        {11, "Pinecone Player x64", local + "Pinecone Player\\nppinecone64.dll", "Pinecone media player (64-bit)",
         "Pinecone Media", "(C) 2012-2013 Pinecone Media", 0, 1},
        {11, "Cobalt Maps", "C:\\Program Files (x86)\\Mozilla Firefox\\plugins\\npcobaltmaps.dll", "Cobalt street maps",
         "Cobalt Cartography", "Copyright (C) 2012 Cobalt Cartography", 1, 0},
        {11, "Adobe Reader", "C:\\Program Files (x86)\\Adobe\\Reader 11.0\\Reader\\browser\\nppdf32.dll",
         "Adobe Reader browser plugin", "Adobe Systems Incorporated",
         "Copyright (C) 1984-2012 Adobe Systems Incorporated", 1, 0},
        {12, "Cloudberry Viewer", "C:\\Program Files\\Cloudberry Viewer\\npcloudberry64.dll",
         "Cloudberry document viewer (64-bit)", "Cloudberry Documents", "Copyright (C) 2013 Cloudberry Documents", 0,
         1},
        {14, "Wavelet Streams", roaming + "Mozilla\\Plugins\\npwavelet.dll", "Wavelet audio streams", "Wavelet Audio",
         "Copyright (C) 2013 Wavelet Audio", 1, 0},
        {16, "Pinecone Player x64", local + "Pinecone Player\\nppinecone64.dll", "Pinecone media player (64-bit)",
         "Pinecone Media", "(C) 2012-2013 Pinecone Media", 0, 1},
        {16, "Wavelet Streams", roaming + "Mozilla\\Plugins\\npwavelet64.dll", "Wavelet audio streams (64-bit)",
         "Wavelet Audio", "Copyright (C) 2013 Wavelet Audio", 1, 0},
        {16, "Marlin Charts", "C:\\Program Files\\Waterfox\\Plugins\\npmarlin64.dll", "Marlin live charts (64-bit)",
         "Marlin Analytics", "Copyright (C) 2013 Marlin Analytics", 1, 0},
    };
    for (LONG type : {11, 12, 14, 16}) {
        SCOPED_TRACE("type " + std::to_string(type));
        sorlix::MInfoCollector::CollectAddonInfo(type);
        std::set<std::string> expected, names;
        for (const Plugin& p : plugins)
            if (p.type == type) expected.insert(p.name);
        const auto found = addonsByName(type);
        for (const auto& [name, id] : found) names.insert(name);
        EXPECT_EQ(names, expected);
        for (const Plugin& p : plugins) {
            if (p.type != type || !found.count(p.name)) continue;
            SCOPED_TRACE(p.name);
            const std::string id = found.at(p.name);
            EXPECT_EQ(detailsRows(id), (Rows{{"File", p.file},
                                             {"Description", p.description},
                                             {"Manufacturer", p.manufacturer},
                                             {"Copyright", p.copyright}}));
            const ComPtr<_CParams> info = sorlix::DB->AddonInfo(id);
            win::VARIANT cfgValue = sorlix::ParamValue(info.get(), "backupCfg");
            const auto cfg = ComPtr<win::IDispatch>(cfgValue.pdispVal).as<quarncust::_CLittleConfig>();
            ASSERT_TRUE(cfg);
            LONG files = 0, registrations = 0;
            cfg->get_FileOrFoldersCount(&files);
            cfg->get_RegistrySubkeysCount(&registrations);
            EXPECT_EQ(files, p.files);
            EXPECT_EQ(registrations, p.registrations);
        }
    }
    expectNoErrorLogged();
}

const std::string kChromeUserData = "C:\\users\\demo\\AppData\\Local\\Google\\Chrome\\User Data";
const std::string kChromeApplication = "C:\\Program Files\\Google\\Chrome\\Application";
const std::string kForcelist = "SOFTWARE\\Policies\\Google\\Chrome\\ExtensionInstallForcelist";
constexpr const char* kSynology = "hmelcbpnhbgdobilamgpijfbcgfglahe";

// Both profiles' extensions, one of them in two versions and named by an
// administrator's policy, whose value its removal records list; and the
// plugins Chrome ships in its version folder and keeps in its plugins
// folder, with the details their version resources give.
TEST_F(DemoPrefix, ChromeExtensionsOfBothProfilesAndChromePlugins) {
    const std::string defaultProfile = kChromeUserData + "\\Default\\Extensions\\";
    const std::string policy = "value " + std::to_string(halvenlib::HKEY_LOCAL_MACHINE_64BIT) + " " + kForcelist + " | 1";
    struct Extension {
        const char* displayName;
        std::string folder;
        const char* permissions;
        bool forced;
    } extensions[] = {
        {"Synology Download Station", defaultProfile + kSynology + "\\3.0.14_0",
         "http://*/, https://*/, background, notifications, contextMenus, storage, tabs, <all_urls>, webRequest, "
         "webRequestBlocking",
         true},
        {"Synology Download Station (2)", defaultProfile + kSynology + "\\4.0.19_0",
         "alarms, notifications, contextMenus, storage, tabs, scripting, declarativeNetRequest", true},
        {"HTTP Server Sample", defaultProfile + "gmfjgcnmphflkjbgdcbgelnngjeeppjl\\3.2_0", "system.network", false},
        {"New Window With Tabs To Right",
         kChromeUserData + "\\Profile 1\\Extensions\\cbncngnepamjbknhaklbhmopaanfiipj\\0.1.0_0", "tabs, contextMenus",
         false},
    };
    const std::string roaming = "C:\\users\\demo\\AppData\\Roaming\\";
    const std::string version = kChromeApplication + "\\31.0.1650.57";
    const std::map<std::string, Rows> plugins = {
        {"Chrome PDF Viewer",
         {{"File", version + "\\pdf.dll"},
          {"Description", "Chrome PDF Viewer"},
          {"Manufacturer", "Google Inc."},
          {"Copyright", "Copyright 2013 Google Inc. All rights reserved."}}},
        {"Shockwave Flash", {{"File", version + "\\gcswf32.dll"}, {"Manufacturer", "Adobe Systems Incorporated"}}},
        {"Shockwave Flash (2)",
         {{"File", version + "\\PepperFlash\\pepflashplayer.dll"}, {"Manufacturer", "Google Inc"}}},
        {"Glimmer Slides",
         {{"File", kChromeApplication + "\\plugins\\npGlimmer.dll"},
          {"Description", "Glimmer slide show viewer"},
          {"Manufacturer", "Glimmer Slides Ltd"},
          {"Copyright", "Copyright (C) 2013 Glimmer Slides Ltd"}}},
        // Chrome also loads the plugins of the user's roaming Mozilla folder.
        {"Wavelet Streams",
         {{"File", roaming + "Mozilla\\Plugins\\npwavelet.dll"},
          {"Description", "Wavelet audio streams"},
          {"Manufacturer", "Wavelet Audio"},
          {"Copyright", "Copyright (C) 2013 Wavelet Audio"}}},
        {"Wavelet Streams (2)",
         {{"File", roaming + "Mozilla\\Plugins\\npwavelet64.dll"},
          {"Description", "Wavelet audio streams (64-bit)"},
          {"Manufacturer", "Wavelet Audio"},
          {"Copyright", "Copyright (C) 2013 Wavelet Audio"}}},
    };

    sorlix::MInfoCollector::CollectAllAddonInfo();
    const auto found = addonsByName(sorlix::atChromeExtension);
    std::set<std::string> names, expected;
    for (const auto& [name, id] : found) names.insert(name);
    for (const Extension& e : extensions) expected.insert(e.displayName);
    EXPECT_EQ(names, expected);
    for (const Extension& e : extensions) {
        SCOPED_TRACE(e.displayName);
        const auto it = found.find(e.displayName);
        if (it == found.end()) continue; // reported above
        const ComPtr<_CParams> info = sorlix::DB->AddonInfo(it->second);
        EXPECT_EQ(paramText(info.get(), "dLL"), e.folder);
        std::vector<std::string> removal{"file " + e.folder + " False"};
        if (e.forced) removal.push_back(policy);
        EXPECT_EQ(testsupport::removalLines(info.get(), "backupCfg"), removal);
        EXPECT_EQ(detailsRows(it->second), (Rows{{"Location", e.folder}, {"Permissions", e.permissions}}));
    }

    std::map<std::string, Rows> shown;
    for (const auto& [name, id] : addonsByName(sorlix::atChromePlugin)) {
        shown[name] = detailsRows(id);
        const ComPtr<_CParams> info = sorlix::DB->AddonInfo(id);
        EXPECT_EQ(testsupport::removalLines(info.get(), "backupCfg"),
                  std::vector<std::string>{"file " + paramText(info.get(), "dLL") + " False"}) << name;
    }
    EXPECT_EQ(shown, plugins);
    expectNoErrorLogged();
}

// Deleting the older version of the forced extension takes its version
// folder and the policy value; the newer version, the other extensions and
// the other profile stay as they were, and the restore brings back all of
// it byte for byte.
TEST_F(DemoPrefix, ChromeExtensionDeletedAndRestored) {
    const fs::path userData = host(kChromeUserData);
    const std::string folder = kChromeUserData + "\\Default\\Extensions\\" + kSynology + "\\3.0.14_0";
    const fs::path removed = host(folder);
    auto policy = [] {
        std::string value, cause;
        LONG root = halvenlib::HKEY_LOCAL_MACHINE_64BIT;
        std::string subkey = kForcelist, name = "1";
        win::VARIANT_BOOL ok = win::VARIANT_FALSE;
        EXPECT_EQ(sorlix::Registry->QuerySTRING(&root, &subkey, &name, &value, &ok), win::S_OK);
        return ok != win::VARIANT_FALSE ? value : std::string("<none>");
    };
    const auto before = testsupport::treeOf(userData);
    const std::string policyBefore = policy();
    ASSERT_EQ(policyBefore, std::string(kSynology) + ";https://clients2.google.com/service/update2/crx");
    auto outside = [&] {
        auto rest = before;
        std::erase_if(rest, [&](const auto& entry) {
            return (userData / entry.first).string().starts_with(removed.string());
        });
        return rest;
    }();
    ASSERT_LT(outside.size(), before.size());
    ASSERT_TRUE(outside.count("Profile 1/Extensions/cbncngnepamjbknhaklbhmopaanfiipj/0.1.0_0/manifest.json"));
    ASSERT_TRUE(outside.count(std::string("Default/Extensions/") + kSynology + "/4.0.19_0/manifest.json"));

    sorlix::MInfoCollector::CollectAddonInfo(sorlix::atChromeExtension);
    std::string id;
    for (const auto& [name, addon] : addonsByName(sorlix::atChromeExtension))
        if (paramText(sorlix::DB->AddonInfo(addon).get(), "dLL") == folder) id = addon;
    ASSERT_FALSE(id.empty());
    win::VARIANT key = winsys::com::makeText("backupCfg"), v;
    ComPtr<halvenlib::_CParam> param;
    ASSERT_EQ(sorlix::DB->AddonInfo(id)->get_Item(&key, param.put()), win::S_OK);
    param->get_Value(&v);
    ASSERT_EQ(v.vt, win::VT_DISPATCH);
    const auto cfg = ComPtr<win::IDispatch>(v.pdispVal).as<quarncust::_CLittleConfig>();
    win::VariantClear(&v);
    ASSERT_TRUE(cfg);

    sorlix::CAxBackuper backuper;
    std::string cause;
    ASSERT_TRUE(backuper.Init("C:\\users\\demo\\AppData\\Local\\Vendrel Sorlix", sorlix::kProductRegistryKey,
                              sorlix::AddonTypeVisor->BackupObjectName(sorlix::atChromeExtension), cause))
        << cause;
    ASSERT_TRUE(backuper.Backup("Synology Download Station", "", cfg.get(), cause)) << cause;
    ASSERT_TRUE(backuper.RemoveByLittleConfig(cfg.get()));
    EXPECT_FALSE(fs::exists(removed));
    EXPECT_EQ(testsupport::treeOf(userData), outside);
    EXPECT_EQ(policy(), "<none>");

    LONG count = 0;
    std::vector<sorlix::CAxBackuper::BackupRow> rows;
    ASSERT_TRUE(backuper.ListBackups(count, rows, cause)) << cause;
    ASSERT_EQ(count, 1);
    ASSERT_TRUE(backuper.Restore(rows[0].id, cause)) << cause;
    EXPECT_EQ(testsupport::treeOf(userData), before);
    EXPECT_EQ(policy(), policyBefore);
    expectNoErrorLogged();
}

} // namespace
