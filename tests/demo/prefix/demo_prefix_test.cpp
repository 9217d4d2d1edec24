// The demo machine as demo/build-prefix.sh builds it: a 64-bit prefix of
// user "demo" on which the real collection finds Internet Explorer add-ons
// of all five kinds in both registry views, for the machine, for "demo" and
// for new users; one broken toolbar; one 64-bit toolbar in the 64-bit system
// folder; every add-on file a PE DLL of its view's machine; and the system
// toolbar and explorer bar that are registered there left out.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "common/interfaces/records.h"
#include "common/interfaces/registry.h"
#include "common/interfaces/table.h"
#include "platform/com/class_registry.h"
#include "platform/com/variant.h"
#include "platform/core/machine.h"
#include "platform/core/text.h"
#include "platform/pe/pe.h"
#include "tests/support/program_objects.h"
#include "tests/support/records.h"

namespace fs = std::filesystem;
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

std::string text(win::VARIANT& v) {
    std::string s;
    EXPECT_EQ(winsys::com::toText(v, &s), win::S_OK);
    win::VariantClear(&v);
    return s;
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

    static fs::path prefix() { return *root_ / "prefix"; }
    static fs::path host(const std::string& windowsPath) {
        std::string rest = windowsPath.substr(3);
        for (char& c : rest)
            if (c == '\\') c = '/';
        return prefix() / "drive_c" / rest;
    }

    // (display name, add-on id) of every add-on the collection filed under `type`.
    static std::map<std::string, std::string> ids(LONG type) {
        std::map<std::string, std::string> found;
        for (auto& [name, id] : testsupport::listingRows(sorlix::DB->TypeObjects(type).get())) found[name] = id;
        return found;
    }
    // Display name -> record, likewise.
    static std::map<std::string, ComPtr<_CParams>> listing(LONG type) {
        std::map<std::string, ComPtr<_CParams>> found;
        for (const auto& [name, id] : ids(type)) found[name] = sorlix::DB->AddonInfo(id);
        return found;
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
    for (const testsupport::LogLine& line : program_->log->lines) {
        EXPECT_NE(line.severity, halvenlib::sevError) << line.source << ": " << line.description;
        EXPECT_NE(line.severity, halvenlib::sevInternalError) << line.source << ": " << line.description;
    }
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
    const ComPtr<_CParams> details = sorlix::DB->Details(ids(1)["Coupon Scout Toolbar"]);
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
    for (const testsupport::LogLine& line : program_->log->lines) {
        EXPECT_NE(line.severity, halvenlib::sevError) << line.source << ": " << line.description;
        EXPECT_NE(line.severity, halvenlib::sevInternalError) << line.source << ": " << line.description;
    }
}

TEST_F(DemoPrefix, SafariAndOperaExtensions) {
    const std::string local = "C:\\users\\demo\\AppData\\Local\\";
    const std::string safari = local + "Apple Computer\\Safari\\Extensions\\";
    struct Extension {
        LONG type;
        const char* displayName;
        std::string dLL;
        const char* manufacturer;
    } extensions[] = {
        {19, "Quiet Reader \u2013 Lesemodus", safari + "Quiet Reader-2.safariextension", "Mossgate Software"},
        {19, "Tab Tidy", safari + "Tab Tidy.safariextension", "Ravelstone Labs"},
    };
    sorlix::MInfoCollector::CollectAllAddonInfo();
    for (LONG type : {19}) {
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
    }
    for (const testsupport::LogLine& line : program_->log->lines) {
        EXPECT_NE(line.severity, halvenlib::sevError) << line.source << ": " << line.description;
        EXPECT_NE(line.severity, halvenlib::sevInternalError) << line.source << ": " << line.description;
    }
}

} // namespace
