// The plugins of Firefox (type 14) and Waterfox (type 16) and the shared
// plugins (types 11 and 12) on test machines with the real Mozilla profiles,
// installs and extension folders of the fixtures: every source of each type
// in order, i386 against x64, the MozillaPlugins registrations of both views
// and of the user with their removal records, the same file merged,
// two spellings of one file, hostile registration paths, a 32-bit machine,
// failed runs, the details through the collection, and deleting and
// restoring plugins through the backup engine.

#include "tests/app/enumerators/mozilla/mozilla_fixture.h"

#include <filesystem>
#include <optional>
#include <unistd.h>

#include "app/core/caxbackuper.h"
#include "app/core/globals.h"
#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "app/enumerators/cffpluginsenumerator.h"
#include "app/enumerators/cshared32pluginsenum.h"
#include "app/enumerators/cshared64pluginsenum.h"
#include "app/enumerators/cwf64pluginenum.h"
#include "app/enumerators/enumcalls.h"
#include "platform/core/text.h"
#include "platform/files/paths.h"
#include "tests/app/collection/collection_support.h"
#include "tests/support/file_tree.h"
#include "tests/support/real_browser_data.h"

using namespace moztest;

namespace {

using testsupport::TestPrefixOptions;

const std::string kDefaultProfile = kProfiles + "\\k3x9wq2m.default";
const std::string kProfileExtension = kDefaultProfile + "\\extensions\\{e4a8a97b-f2ed-450b-b12d-ee082ba24781}";
const std::string kWaterfox = "C:\\Program Files\\Waterfox";
const std::string kWaterfoxExtension = kWaterfox + "\\extensions\\{45d8ff86-d909-11db-9705-005056c00008}";
// The same folder as the list writes it: the install folder joined with "Extensions".
const std::string kWaterfoxExtensionListed = kWaterfox + "\\Extensions\\{45d8ff86-d909-11db-9705-005056c00008}";
const std::string kOse = "C:\\Program Files (x86)\\Organize Search Engines\\ose@baton34dev";
const std::string kAvim = "C:\\Program Files\\AVIM\\{2B8EFF80-1240-11DB-BF6C-934CD2EFDFE8}";
const std::string kPlugins = "SOFTWARE\\MozillaPlugins\\";

enum Image { I386, X64 };

// A plugin file at a host path, with a version resource when `strings` holds any.
void writePlugin(const fs::path& host, Image image, Rows strings = {}) {
    writeDll(host, image == I386 ? win::IMAGE_FILE_MACHINE_I386 : win::IMAGE_FILE_MACHINE_AMD64,
             strings.empty() ? std::nullopt : std::optional<Rows>(std::move(strings)));
}

// The real folders of the fixtures, copied to where `to` says, writable.
void copyReal(const testsupport::TestPrefix& prefix, const std::string& realPath, const std::string& to) {
    prefix.copyIn(kRealDriveC / realPath, to);
}

// The real data's install folders and machine-wide extensions, and where
// the plugins of the four types are found or registered.
const std::string kRegistry = kRealInstallsRegistry + R"(
[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\QuickTimePlayer.exe]
"Path"="C:\\Program Files (x86)\\QuickTime"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\{57752979-A1C9-4C02-856B-FBB27AC4E02C}]
"InstallLocation"="C:\\Program Files (x86)\\QuickTime\\"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Adobe\Acrobat Reader\11.0\InstallPath]
@="C:\\Reader"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\MediaPlayer]
"Installation Directory"="C:\\WMP"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\MozillaPlugins\@a/reg]
"Path"="C:\\Plugins\\npreg32.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\MozillaPlugins\@f/flash]
"Path"="C:\\windows\\system32\\Macromed\\Flash\\NPSWF32.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\MozillaPlugins\@ff/install]
"Path"="C:\\Program Files (x86)\\Mozilla Firefox\\plugins\\npff.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\MozillaPlugins\@d/flash64]
"Path"="C:\\windows\\system32\\Macromed\\Flash\\NPSWF64_11_1_102.DLL"

[HKEY_LOCAL_MACHINE\SOFTWARE\MozillaPlugins\@e/missing]
"Path"="C:\\nowhere\\np.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\MozillaPlugins\@g/folder]
"Path"="C:\\Plugins64"

[HKEY_LOCAL_MACHINE\SOFTWARE\MozillaPlugins\@h/nopath]
"Description"="no Path"

[HKEY_LOCAL_MACHINE\SOFTWARE\MozillaPlugins\@i/dword]
"Path"=dword:00000001

[HKEY_CURRENT_USER\SOFTWARE\MozillaPlugins\@a/reg]
"Path"="c:\\plugins\\NPREG32.DLL"

[HKEY_CURRENT_USER\SOFTWARE\MozillaPlugins\@b/x64]
"Path"="C:\\Plugins64\\npreg64.dll"

[HKEY_CURRENT_USER\SOFTWARE\MozillaPlugins\@c/both]
"Path"="C:\\users\\tester\\AppData\\Roaming\\Mozilla\\Plugins\\np64roam.dll"
)";

// The real Mozilla data of the fixtures and plugin files in every place
// one of the four types looks, on a 64-bit machine.
void setUpMozilla(const testsupport::TestPrefix& prefix) {
    const auto plugin = [&](const std::string& path, Image image, Rows strings = {}) {
        writePlugin(prefix.host(path), image, std::move(strings));
    };
    copyReal(prefix, "users/root/AppData/Roaming/Mozilla", kMozilla);
    copyReal(prefix, "Program Files (x86)/Mozilla Firefox", kFirefoxDir);
    copyReal(prefix, "Program Files/Waterfox", kWaterfox);
    copyReal(prefix, "Program Files (x86)/Organize Search Engines", "C:\\Program Files (x86)\\Organize Search Engines");
    copyReal(prefix, "Program Files/AVIM", "C:\\Program Files\\AVIM");
    prefix.importReg(kRegistry);

    plugin(kMozilla + "\\Plugins\\np32roam.dll", I386,
           {{"CompanyName", "Acme"}, {"ProductName", "Roam 32"}, {"FileDescription", "Roaming plugin"},
            {"LegalCopyright", "(c) Acme"}});
    plugin(kMozilla + "\\Plugins\\np64roam.dll", X64, {{"ProductName", "Roam 64"}});
    plugin(kDefaultProfile + "\\Plugins\\npprof32.dll", I386);
    plugin(kDefaultProfile + "\\Plugins\\npprof64.dll", X64);
    plugin(kProfileExtension + "\\Plugins\\npext32.dll", I386);
    plugin(kProfileExtension + "\\Plugins\\npext64.dll", X64);
    plugin(kOse + "\\Plugins\\npose32.dll", I386);
    plugin(kAvim + "\\Plugins\\npavim64.dll", X64);
    plugin(kWaterfoxExtension + "\\Plugins\\npwfext64.dll", X64);
    plugin(kWaterfox + "\\Plugins\\npwf64.dll", X64);
    plugin(kWaterfox + "\\Plugins\\npwf32.dll", I386);
    plugin(kFirefoxDir + "\\plugins\\npff.dll", I386, {{"ProductName", "Firefox Plug"}});
    plugin("C:\\Program Files (x86)\\QuickTime\\Plugins\\npqt.dll", I386);
    plugin("C:\\Reader\\browser\\nppdf32.dll", X64);
    plugin("C:\\Reader\\browser\\AdobePDF.dll", I386);
    plugin("C:\\Reader\\browser\\Adobe64.dll", X64);
    plugin("C:\\WMP\\np-mswmp.dll", I386);
    plugin("C:\\Plugins\\npreg32.dll", I386);
    plugin("C:\\Plugins64\\npreg64.dll", X64);
    // The 32-bit system folder holds the 32-bit Flash, the 64-bit one the 64-bit Flash.
    plugin("C:\\windows\\syswow64\\Macromed\\Flash\\NPSWF32.dll", I386);
    plugin("C:\\windows\\system32\\Macromed\\Flash\\NPSWF64_11_1_102.DLL", X64);
}

struct MozillaMachine : Machine {
    MozillaMachine() { setUpMozilla(prefix); }
};

// The same machine as a program sees it that can be ended and started
// again on the prefix.
struct RestartableMozillaMachine : RestartableMachine {
    RestartableMozillaMachine() { setUpMozilla(prefix); }
};

ComPtr<_CNodes> run(LONG type) {
    switch (type) {
    case 11: return sorlix::CShared32PluginsEnum().EnumerateShared32Plugins();
    case 12: return sorlix::CShared64PluginsEnum().EnumerateShared64Plugins();
    case 14: return sorlix::CFFPluginsEnumerator().EnumFirefoxPlugins();
    default: return sorlix::CWF64PluginEnum().EnumWaterfox64Plugins();
    }
}

struct Found {
    std::string file;
    Lines backup;
};

std::vector<Found> found(_CNodes* result) {
    std::vector<Found> r;
    for (const auto& n : nodesOf(result)) r.push_back({param(n.get(), "dLL"), removal(n.get(), "backupCfg")});
    return r;
}

bool operator==(const Found& a, const Found& b) { return a.file == b.file && a.backup == b.backup; }
std::ostream& operator<<(std::ostream& o, const Found& f) {
    o << f.file << " [";
    for (const auto& l : f.backup) o << l << "; ";
    return o << "]";
}

// A host folder outside every prefix (reached as Z:), removed at the end.
struct OutsideFolder {
    explicit OutsideFolder(const std::string& name)
        : path(fs::temp_directory_path() / ("sorlix-outside-" + name + "-" + std::to_string(::getpid()))) {
        fs::create_directories(path);
    }
    ~OutsideFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    OutsideFolder(const OutsideFolder&) = delete;
    OutsideFolder& operator=(const OutsideFolder&) = delete;
    fs::path path;
};

// A .reg section registering `path` as plugin `id` of the user.
std::string userRegistration(const std::string& id, const std::string& path) {
    return "[HKEY_CURRENT_USER\\SOFTWARE\\MozillaPlugins\\" + id + "]\n\"Path\"=\"" + testsupport::regText(path) +
           "\"\n\n";
}

std::string subkey(const std::string& root, const std::string& id) { return "subkey " + root + " " + kPlugins + id; }
std::string file(const std::string& path, bool x64) { return "file " + path + (x64 ? " True" : " False"); }

TEST(MozillaPlugins, EverySourceOfEachTypeInOrder) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    MozillaMachine m;
    const std::string roam32 = kMozilla + "\\Plugins\\np32roam.dll", roam64 = kMozilla + "\\Plugins\\np64roam.dll";
    const std::string npff = kFirefoxDir + "\\plugins\\npff.dll";
    struct Case {
        LONG type;
        std::vector<Found> plugins;
    } cases[] = {
        {11,
         {// Registrations first: the machine's, then the user's, which merge by path in any case.
          {"C:\\Plugins\\npreg32.dll", {subkey(kHKLM, "@a/reg"), subkey(kHKCU, "@a/reg")}},
          {"C:\\windows\\system32\\Macromed\\Flash\\NPSWF32.dll", {subkey(kHKLM, "@f/flash")}},
          // Registered and in the Firefox install's "plugins": file and registration.
          {npff, {file(npff, false), subkey(kHKLM, "@ff/install")}},
          // No machine test: the user's 64-bit registrations too.
          {"C:\\Plugins64\\npreg64.dll", {subkey(kHKCU, "@b/x64")}},
          {roam64, {subkey(kHKCU, "@c/both")}},
          // Adobe Reader's plugin whatever its machine.
          {"C:\\Reader\\browser\\nppdf32.dll", {file("C:\\Reader\\browser\\nppdf32.dll", false)}},
          // QuickTime's folder from both entries, scanned as one.
          {"C:\\Program Files (x86)\\QuickTime\\Plugins\\npqt.dll",
           {file("C:\\Program Files (x86)\\QuickTime\\Plugins\\npqt.dll", false)}}}},
        {12,
         {{"C:\\windows\\system32\\Macromed\\Flash\\NPSWF64_11_1_102.DLL", {subkey(kHKLM64, "@d/flash64")}}}},
        {14,
         {// The Adobe Reader folder is queued as it is read, before the folder scan.
          {"C:\\Reader\\browser\\AdobePDF.dll", {file("C:\\Reader\\browser\\AdobePDF.dll", false)}},
          {roam32, {file(roam32, false)}},
          {kDefaultProfile + "\\Plugins\\npprof32.dll", {file(kDefaultProfile + "\\Plugins\\npprof32.dll", false)}},
          // The registry's extension (32-bit view) before the profile's.
          {kOse + "\\Plugins\\npose32.dll", {file(kOse + "\\Plugins\\npose32.dll", false)}},
          {kProfileExtension + "\\Plugins\\npext32.dll", {file(kProfileExtension + "\\Plugins\\npext32.dll", false)}},
          {"C:\\WMP\\np-mswmp.dll", {file("C:\\WMP\\np-mswmp.dll", false)}}}},
        {16,
         {// The user's x64 registrations first; the i386 one is passed over.
          {"C:\\Plugins64\\npreg64.dll", {subkey(kHKCU, "@b/x64")}},
          // Registered and in the roaming folder: file and registration.
          {roam64, {file(roam64, true), subkey(kHKCU, "@c/both")}},
          {kWaterfox + "\\Plugins\\npwf64.dll", {file(kWaterfox + "\\Plugins\\npwf64.dll", true)}},
          {kDefaultProfile + "\\Plugins\\npprof64.dll", {file(kDefaultProfile + "\\Plugins\\npprof64.dll", true)}},
          // The registry's extension (64-bit view), the install's, then the profile's.
          {kAvim + "\\Plugins\\npavim64.dll", {file(kAvim + "\\Plugins\\npavim64.dll", true)}},
          {kWaterfoxExtensionListed + "\\Plugins\\npwfext64.dll",
           {file(kWaterfoxExtensionListed + "\\Plugins\\npwfext64.dll", true)}},
          {kProfileExtension + "\\Plugins\\npext64.dll", {file(kProfileExtension + "\\Plugins\\npext64.dll", true)}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        const auto result = run(c.type);
        EXPECT_EQ(sorlix::Wow64RedirectionCount, 0);
        ASSERT_TRUE(result);
        EXPECT_EQ(found(result.get()), c.plugins);
    }
    EXPECT_TRUE(m.log().empty());
}

// A profile's "extensions\staged" holds extensions, not one: it gives no
// extension record, but its "Plugins" is scanned as every extension's is.
TEST(MozillaPlugins, AProfilesStagedFolderIsScannedForPlugins) {
    SKIP_WITHOUT_REAL_BROWSER_DATA(); // the machine holds the real profile beside the plugins made here
    MozillaMachine m;
    const std::string staged = kDefaultProfile + "\\extensions\\staged\\Plugins";
    writePlugin(m.prefix.host(staged + "\\npstaged32.dll"), I386);
    writePlugin(m.prefix.host(staged + "\\npstaged64.dll"), X64);
    for (const auto& [type, plugin, x64] : {std::tuple{14, "npstaged32.dll", false}, std::tuple{16, "npstaged64.dll", true}}) {
        SCOPED_TRACE("type " + std::to_string(type));
        const auto result = run(type);
        ASSERT_TRUE(result);
        const std::string path = staged + "\\" + plugin;
        int listed = 0;
        for (const Found& f : found(result.get()))
            if (f.file == path) {
                ++listed;
                EXPECT_EQ(f.backup, Lines{file(path, x64)});
            }
        EXPECT_EQ(listed, 1);
    }
}

TEST(MozillaPlugins, RecordsFromVersionResourcesAndFixedNames) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    MozillaMachine m;
    struct Case {
        LONG type;
        std::string file;
        Rows names; // after "dLL" and "backupCfg"
    } cases[] = {
        {14, kMozilla + "\\Plugins\\np32roam.dll",
         {{"manufacturer", "Acme"}, {"originalName", "Roam 32"}, {"description", "Roaming plugin"},
          {"copyright", "(c) Acme"}, {"websearchName", "Roam 32"}}},
        {14, kDefaultProfile + "\\Plugins\\npprof32.dll", {}},
        {16, kMozilla + "\\Plugins\\np64roam.dll", {{"originalName", "Roam 64"}, {"websearchName", "Roam 64"}}},
        {11, "C:\\windows\\system32\\Macromed\\Flash\\NPSWF32.dll",
         {{"originalName", "Shockwave Flash"}, {"websearchName", "Shockwave Flash"},
          {"manufacturer", "Adobe Systems Incorporated"}}},
        {12, "C:\\windows\\system32\\Macromed\\Flash\\NPSWF64_11_1_102.DLL",
         {{"originalName", "Shockwave Flash"}, {"websearchName", "Shockwave Flash"},
          {"manufacturer", "Adobe Systems Incorporated"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const auto result = run(c.type);
        ASSERT_TRUE(result);
        Rows expected{{"dLL", c.file}, {"backupCfg", "<object>"}};
        expected.insert(expected.end(), c.names.begin(), c.names.end());
        Rows got{{"<none>", ""}};
        for (const auto& n : nodesOf(result.get()))
            if (param(n.get(), "dLL") == c.file) got = dump(n.get());
        EXPECT_EQ(got, expected);
    }
    EXPECT_TRUE(m.log().empty());
}

// Registration paths a stranger may write: none reaches a file outside the
// drive through "..", a relative, network or device path; a file outside the
// prefix (on Z:) is listed by its registration alone.
TEST(MozillaPlugins, HostileRegistrationPaths) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    MozillaMachine m;
    // Where a naive join of "C:\..\.." would lead: next to drive_c.
    writePlugin(m.prefix.root() / "Plugins" / "npescape.dll", I386);
    writePlugin(m.prefix.root() / "npescape.dll", X64);
    const OutsideFolder outsideFolder("hostile");
    const fs::path& outsideDir = outsideFolder.path;
    writePlugin(outsideDir / "npoutside.dll", X64);
    const std::string outside = winsys::toWindowsPath(outsideDir / "npoutside.dll");
    std::string reg = "Windows Registry Editor Version 5.00\n\n";
    const std::pair<const char*, std::string> values[] = {
        {"@h/escape32", "C:\\..\\..\\Plugins\\npescape.dll"},
        {"@h/escape64", "C:\\Program Files\\..\\..\\..\\npescape.dll"},
        {"@h/relative", "Plugins\\npreg32.dll"},
        {"@h/network", "\\\\server\\share\\npreg32.dll"},
        {"@h/device", "\\\\.\\C:\\Plugins\\npreg32.dll"},
        {"@h/blank", "   "},
        {"@h/empty", ""},
        {"@h/outside", outside},
    };
    for (const auto& [id, path] : values) reg += userRegistration(id, path);
    m.prefix.importReg(reg);
    for (LONG type : {11, 16}) {
        SCOPED_TRACE("type " + std::to_string(type));
        const auto result = run(type);
        ASSERT_TRUE(result);
        // Every record that holds one of these registrations, with all it holds.
        std::vector<Found> hostile;
        for (const Found& f : found(result.get()))
            for (const std::string& line : f.backup)
                if (line.find("@h/") != std::string::npos) {
                    hostile.push_back(f);
                    break;
                }
        EXPECT_EQ(hostile, (std::vector<Found>{{outside, {subkey(kHKCU, "@h/outside")}}}));
    }
    EXPECT_EQ(sorlix::Wow64RedirectionCount, 0);
    EXPECT_TRUE(m.log().empty());
}

// A registration may spell a scanned or registered file otherwise ("/",
// "." and "..", doubled separators, a trailing dot): the file still has one
// record, under the spelling that reached it first, holding every route.
TEST(MozillaPlugins, TwoSpellingsOfOneFileMeetInOneRecord) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    MozillaMachine m;
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\SOFTWARE\MozillaPlugins\@s/slashes]
"Path"="C:/Program Files/Waterfox/Plugins/./npwf64.dll"

[HKEY_CURRENT_USER\SOFTWARE\MozillaPlugins\@s/up]
"Path"="C:\\Plugins\\..\\Plugins\\\\npreg32.dll."
)");
    const std::string npwf64 = kWaterfox + "\\Plugins\\npwf64.dll";
    struct Case {
        LONG type;
        Found plugin;
    } cases[] = {
        {16, {"C:/Program Files/Waterfox/Plugins/./npwf64.dll", {file(npwf64, true), subkey(kHKCU, "@s/slashes")}}},
        {11, {"C:\\Plugins\\npreg32.dll",
              {subkey(kHKLM, "@a/reg"), subkey(kHKCU, "@a/reg"), subkey(kHKCU, "@s/up")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        const auto result = run(c.type);
        ASSERT_TRUE(result);
        std::vector<Found> same;
        for (const Found& f : found(result.get()))
            if (winsys::lowerCase(f.file).find(c.type == 16 ? "npwf64" : "npreg32") != std::string::npos)
                same.push_back(f);
        EXPECT_EQ(same, std::vector<Found>{c.plugin});
    }
    EXPECT_TRUE(m.log().empty());
}

TEST(MozillaPlugins, A32bitMachine) {
    Machine m(TestPrefixOptions{.arch = winsys::Arch::Win32});
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Mozilla\Mozilla Firefox\3.6 (en-US)\Main]
"Install Directory"="C:\\Program Files\\Mozilla Firefox\\"

[HKEY_LOCAL_MACHINE\SOFTWARE\Mozilla\Mozilla Firefox\3.5 (en-US)\Main]
"Install Directory"=""

[HKEY_LOCAL_MACHINE\SOFTWARE\Mozilla\Mozilla Firefox\3.0\Other]
"Install Directory"="C:\\Elsewhere"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\QuickTimePlayer.exe]
"Path"="C:\\Program Files\\QuickTime"

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{57752979-A1C9-4C02-856B-FBB27AC4E02C}]
"InstallLocation"="c:\\program files\\quicktime"

[HKEY_LOCAL_MACHINE\SOFTWARE\MozillaPlugins\@a/reg]
"Path"="C:\\Plugins\\npreg.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\Mozilla\Firefox\Extensions]
"short"="C:\\"
"folder"="C:\\Ext\\mine@example\\"
)");
    auto pe = [&](const std::string& path) { writePlugin(m.prefix.host(path), I386); };
    pe("C:\\Program Files\\Mozilla Firefox\\plugins\\npff.dll");
    pe("C:\\Program Files\\QuickTime\\Plugins\\npqt.dll");
    pe("C:\\Plugins\\npreg.dll");
    pe(kMozilla + "\\Plugins\\nproam.dll");
    pe("C:\\Ext\\mine@example\\Plugins\\npmine.dll");
    pe("C:\\Elsewhere\\plugins\\npnot.dll");
    pe("C:\\Plugins\\npnot.dll");
    const auto shared = run(11);
    ASSERT_TRUE(shared);
    EXPECT_EQ(found(shared.get()),
              (std::vector<Found>{
                  {"C:\\Plugins\\npreg.dll", {subkey(kHKLM, "@a/reg")}},
                  {"C:\\Program Files\\Mozilla Firefox\\plugins\\npff.dll",
                   {file("C:\\Program Files\\Mozilla Firefox\\plugins\\npff.dll", false)}},
                  {"C:\\Program Files\\QuickTime\\Plugins\\npqt.dll",
                   {file("C:\\Program Files\\QuickTime\\Plugins\\npqt.dll", false)}},
              }));
    // No Media Player, no Adobe Reader, no profile: the run goes on without them.
    const auto firefox = run(14);
    ASSERT_TRUE(firefox);
    EXPECT_EQ(found(firefox.get()),
              (std::vector<Found>{
                  {kMozilla + "\\Plugins\\nproam.dll", {file(kMozilla + "\\Plugins\\nproam.dll", false)}},
                  {"C:\\Ext\\mine@example\\Plugins\\npmine.dll",
                   {file("C:\\Ext\\mine@example\\Plugins\\npmine.dll", false)}},
              }));
    EXPECT_TRUE(m.log().empty());
}

// The registry object gone: every run fails with one line of its own and
// leaves the redirection count at 0.
TEST(MozillaPlugins, AFailedRunGivesNoResultAndSwitchesRedirectionBack) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    MozillaMachine m;
    sorlix::Registry.reset();
    const std::pair<LONG, const char*> cases[] = {
        {11, "CShared32PluginsEnum.EnumerateShared32Plugins"},
        {12, "CShared64PluginsEnum.EnumerateShared64Plugins"},
        {14, "CFFPluginsEnumerator.EnumFirefoxPlugins"},
        {16, "CWF64PluginEnum.EnumWaterfox64Plugins"},
    };
    for (const auto& [type, source] : cases) {
        SCOPED_TRACE("type " + std::to_string(type));
        const std::size_t before = m.log().size();
        EXPECT_FALSE(run(type));
        EXPECT_EQ(sorlix::Wow64RedirectionCount, 0);
        ASSERT_GT(m.log().size(), before);
        EXPECT_EQ(m.log().back().source, source);
        EXPECT_EQ(m.log().back().severity, halvenlib::sevError);
    }
}

// ---- Through the collection and the backup engine ----

TEST(MozillaPlugins, DetailsThroughTheCollection) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    MozillaMachine m;
    struct Case {
        LONG type;
        std::string name;
        Rows details;
    } cases[] = {
        {11, "Firefox Plug", {{"File", kFirefoxDir + "\\plugins\\npff.dll"}}},
        {12, "Shockwave Flash",
         {{"File", "C:\\windows\\system32\\Macromed\\Flash\\NPSWF64_11_1_102.DLL"},
          {"Manufacturer", "Adobe Systems Incorporated"}}},
        {14, "Roam 32",
         {{"File", kMozilla + "\\Plugins\\np32roam.dll"}, {"Description", "Roaming plugin"}, {"Manufacturer", "Acme"},
          {"Copyright", "(c) Acme"}}},
        {16, "Roam 64", {{"File", kMozilla + "\\Plugins\\np64roam.dll"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        sorlix::MInfoCollector::CollectAddonInfo(c.type);
        EXPECT_EQ(collectiontest::detailsOf(c.type, c.name), c.details);
    }
    EXPECT_EQ(sorlix::Wow64RedirectionCount, 0);
    EXPECT_TRUE(m.log().empty());
}

// The record of `file` among what the collection filed under `type`.
ComPtr<quarncust::_CLittleConfig> removalRecordOf(LONG type, const std::string& file) {
    sorlix::MInfoCollector::CollectAddonInfo(type);
    for (const auto& [name, id] : collectiontest::listing(sorlix::DB->TypeObjects(type).get())) {
        const auto info = sorlix::DB->AddonInfo(id);
        if (sorlix::ParamText(info.get(), "dLL") != file) continue;
        const win::VARIANT v = sorlix::ParamValue(info.get(), "backupCfg");
        return ComPtr<win::IDispatch>(v.pdispVal).as<quarncust::_CLittleConfig>();
    }
    return nullptr;
}

struct OnDisk {
    bool present;
    std::string bytes, registered;
    bool operator==(const OnDisk&) const = default;
};

// A plugin found both in a folder and through the user's registration
// (Waterfox, 64-bit view), one registered outside the prefix (shared) and
// the 64-bit Flash registered in the 64-bit view: deleting takes the file
// and the registration, or the registration alone, and restoring brings
// back what was there, as a new process sees it.
TEST(MozillaPlugins, DeleteAndRestoreThroughTheBackupEngine) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    RestartableMozillaMachine m;
    const OutsideFolder outsideFolder("restore");
    const fs::path& outsideDir = outsideFolder.path;
    writePlugin(outsideDir / "npoutside.dll", I386);
    const std::string outside = winsys::toWindowsPath(outsideDir / "npoutside.dll");
    m.prefix.importReg("Windows Registry Editor Version 5.00\n\n" + userRegistration("@o/outside", outside));

    const std::string roam64 = kMozilla + "\\Plugins\\np64roam.dll";
    const std::string flash64 = "C:\\windows\\system32\\Macromed\\Flash\\NPSWF64_11_1_102.DLL";
    struct Case {
        LONG type;
        std::string file;
        fs::path host;
        LONG root;
        std::string id;
        bool fileGoes;
    } cases[] = {
        {16, roam64, m.prefix.host(roam64), halvenlib::HKEY_CURRENT_USER, "@c/both", true},
        {11, outside, outsideDir / "npoutside.dll", halvenlib::HKEY_CURRENT_USER, "@o/outside", false},
        {12, flash64, m.prefix.host(flash64), halvenlib::HKEY_LOCAL_MACHINE_64BIT, "@d/flash64", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        auto state = [&] {
            return OnDisk{fs::exists(c.host), testsupport::readHost(c.host),
                          sorlix::Enum::QueryString(c.root, kPlugins + c.id, "Path")};
        };
        const OnDisk before = state();
        ASSERT_TRUE(before.present);
        ASSERT_FALSE(before.registered.empty());
        const auto record = removalRecordOf(c.type, c.file);
        ASSERT_TRUE(record);

        sorlix::CAxBackuper backuper;
        std::string cause;
        ASSERT_TRUE(backuper.Init(testsupport::ProgramObjects::kDataFolder, sorlix::kProductRegistryKey,
                                  sorlix::AddonTypeVisor->BackupObjectName(c.type), cause))
            << cause;
        ASSERT_TRUE(backuper.Backup("plugin", "", record.get(), cause)) << cause;
        ASSERT_TRUE(backuper.RemoveByLittleConfig(record.get()));

        m.restart();
        const OnDisk deleted = state();
        EXPECT_EQ(deleted.present, !c.fileGoes);
        EXPECT_EQ(deleted.registered, "");
        // The other registrations stay.
        EXPECT_EQ(sorlix::Enum::QueryString(halvenlib::HKEY_CURRENT_USER, kPlugins + "@b/x64", "Path"),
                  "C:\\Plugins64\\npreg64.dll");

        sorlix::CAxBackuper again;
        ASSERT_TRUE(again.Init(testsupport::ProgramObjects::kDataFolder, sorlix::kProductRegistryKey,
                               sorlix::AddonTypeVisor->BackupObjectName(c.type), cause))
            << cause;
        LONG count = 0;
        std::vector<sorlix::CAxBackuper::BackupRow> rows;
        ASSERT_TRUE(again.ListBackups(count, rows, cause)) << cause;
        ASSERT_EQ(count, 1);
        ASSERT_TRUE(again.Restore(rows[0].id, cause)) << cause;

        m.restart();
        EXPECT_EQ(state(), before);
    }
    EXPECT_TRUE(m.log().empty());
}

} // namespace
