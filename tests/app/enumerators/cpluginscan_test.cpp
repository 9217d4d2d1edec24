// The shared plugin machinery under the settings of every plugin type, on
// one folder of PE32 and PE32+ files with and without version resources:
// which files are kept, the keys of their records in order, the removal
// records; folder forms, repeats merged or ignored, the Adobe Reader
// folder and the ignore test.

#include "tests/app/enumerators/ie_fixture.h"

#include "app/core/globals.h"
#include "app/enumerators/cpluginscan.h"

using namespace ietest;
using sorlix::CPluginScan;

namespace {

constexpr const char* kFolder = "C:\\x\\Flash";
constexpr const char* kShortPath = "C:\\np.dll"; // shorter than every fixed-name row

struct PluginMachine : Machine {
    PluginMachine() {
        pe32("C:\\x\\Flash\\npa32.dll", Rows{{"CompanyName", "Acme"}, {"ProductName", "Alpha"},
                                         {"FileDescription", "Alpha plugin"}, {"LegalCopyright", "(c) Acme"}});
        pe64("C:\\x\\Flash\\npb64.dll", Rows{{"CompanyName", "Beta Corp"}});
        pe32("C:\\x\\Flash\\npc32.dll", Rows{{"ProductName", "   "}, {"FileDescription", "Gamma"}});
        pe32("C:\\x\\Flash\\NPSWF32.dll", std::nullopt);
        pe64("C:\\x\\Flash\\npswf64_11_1_102.dll", std::nullopt);
        pe32("C:\\x\\Flash\\np.dll", std::nullopt);
        pe32("C:\\x\\Flash\\nodll.dll", std::nullopt);
        pe32("C:\\x\\Flash\\xnp.dll", std::nullopt);
        prefix.writeFile("C:\\x\\Flash\\npnot.txt", "text");
        prefix.writeFile("C:\\x\\Flash\\nptext.dll", "not an image");
        prefix.makeDir("C:\\x\\Flash\\npdir.dll");
        pe32(kShortPath, std::nullopt);
    }
    void pe32(const std::string& path, std::optional<Rows> strings) const { pe(path, win::IMAGE_FILE_MACHINE_I386, strings); }
    void pe64(const std::string& path, std::optional<Rows> strings) const { pe(path, win::IMAGE_FILE_MACHINE_AMD64, strings); }
};

const Rows kAlpha{{"manufacturer", "Acme"}, {"originalName", "Alpha"}, {"description", "Alpha plugin"},
                  {"copyright", "(c) Acme"}, {"websearchName", "Alpha"}};
// After Alpha: the search name does not carry over.
const Rows kBeta{{"manufacturer", "Beta Corp"}, {"websearchName", ""}};
const Rows kGamma{{"description", "Gamma"}, {"websearchName", "Gamma"}};
const Rows kFlash{{"originalName", "Shockwave Flash"}, {"websearchName", "Shockwave Flash"},
                  {"manufacturer", "Adobe Systems Incorporated"}};
const Rows kFlashR102{{"originalName", "Shockwave Flash"}, {"websearchName", "Shockwave Flash"},
                      {"manufacturer", "Adobe Systems Incorporated"}, {"description", "Shockwave Flash 11.1 r102"}};
const Rows kNone{};

struct Kept {
    const char* name; // in kFolder, or kShortPath
    Rows names;
};

struct TypeCase {
    LONG type;
    bool flagKey, flag;
    std::vector<Kept> kept;
};

std::string pathOf(const char* name) {
    return name == std::string(kShortPath) ? name : std::string(kFolder) + "\\" + name;
}

TEST(PluginScan, SettingsOfEveryPluginTypeOverOneFolder) {
    const Kept shortPath{kShortPath, kNone};
    const TypeCase cases[] = {
        {11, false, false,
         {shortPath, {"np.dll", kNone}, {"npa32.dll", kAlpha}, {"npb64.dll", kBeta}, {"npc32.dll", kGamma},
          {"NPSWF32.dll", kFlash}, {"npswf64_11_1_102.dll", kNone}, {"nptext.dll", kNone}}},
        {12, false, true,
         {shortPath, {"np.dll", kNone}, {"npa32.dll", kAlpha}, {"npb64.dll", kBeta}, {"npc32.dll", kGamma},
          {"NPSWF32.dll", kFlash}, {"npswf64_11_1_102.dll", kFlash}, {"nptext.dll", kNone}}},
        {14, false, false,
         {shortPath, {"np.dll", kNone}, {"npa32.dll", kAlpha}, {"npc32.dll", kGamma}, {"NPSWF32.dll", kFlash}}},
        {16, false, true, {{"npb64.dll", kBeta}, {"npswf64_11_1_102.dll", kNone}}},
        {18, false, false,
         {shortPath, {"np.dll", kNone}, {"npa32.dll", kAlpha}, {"npb64.dll", kBeta}, {"npc32.dll", kGamma},
          {"NPSWF32.dll", kFlash}, {"npswf64_11_1_102.dll", kNone}, {"nptext.dll", kNone}}},
        {20, false, false,
         {shortPath, {"np.dll", kNone}, {"npa32.dll", kAlpha}, {"npb64.dll", kBeta}, {"npc32.dll", kGamma},
          {"NPSWF32.dll", kFlash}, {"npswf64_11_1_102.dll", kNone}, {"nptext.dll", kNone}}},
        {22, true, false,
         {shortPath, {"np.dll", kNone}, {"npa32.dll", kAlpha}, {"npb64.dll", kBeta}, {"npc32.dll", kGamma},
          {"NPSWF32.dll", kFlash}, {"npswf64_11_1_102.dll", kFlashR102}, {"nptext.dll", kNone}}},
        {24, true, true,
         {shortPath, {"np.dll", kNone}, {"npa32.dll", kAlpha}, {"npb64.dll", kBeta}, {"npc32.dll", kGamma},
          {"NPSWF32.dll", kFlash}, {"npswf64_11_1_102.dll", kFlashR102}, {"nptext.dll", kNone}}},
    };
    PluginMachine m;
    for (const TypeCase& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        CPluginScan scan(c.type);
        scan.QueuePlugin(kShortPath);
        scan.QueuePluginFolder(kFolder);
        scan.QueuePluginFolder("C:\\x\\flash");   // the same folder in other case
        scan.QueuePluginFolder("C:\\x\\missing"); // absent folders are not queued
        scan.QueuePlugin("");
        scan.ProcessPluginFolders();
        const ComPtr<_CNodes> result = scan.ProcessPlugins();
        ASSERT_TRUE(result);
        const auto nodes = nodesOf(result.get());
        ASSERT_EQ(nodes.size(), c.kept.size());
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            const std::string path = pathOf(c.kept[i].name);
            SCOPED_TRACE(path);
            Rows expected{{"dLL", path}};
            if (c.flagKey) expected.emplace_back("file64bitSystem32", c.flag ? "True" : "False");
            expected.emplace_back("backupCfg", "<object>");
            expected.insert(expected.end(), c.kept[i].names.begin(), c.kept[i].names.end());
            EXPECT_EQ(dump(nodes[i].get()), expected);
            EXPECT_EQ(removal(nodes[i].get(), "backupCfg"), Lines{"file " + path + (c.flag ? " True" : " False")});
        }
    }
    EXPECT_TRUE(m.log().empty());
}

TEST(PluginScan, FolderForms) {
    PluginMachine m;
    m.prefix.writeFile("C:\\x\\file.txt", "");
    struct Case {
        LONG type;
        std::vector<std::string> given, stored;
    } cases[] = {
        // Written with and without "\": two entries, yet each file is queued once.
        {11, {"C:\\x\\Flash", "C:\\x\\Flash\\", "", "C:\\x\\file.txt"}, {"C:\\x\\Flash", "C:\\x\\Flash\\", "C:\\x\\file.txt"}},
        {14, {"C:\\x\\Flash\\", "C:\\x\\Flash", "C:\\x\\file.txt"}, {"C:\\x\\Flash", "C:\\x\\file.txt"}},
        {20, {"C:\\x\\Flash\\", "C:\\x\\Flash", "C:\\x\\file.txt", " C:\\x\\Flash"}, {"C:\\x\\Flash\\", "C:\\x\\Flash"}},
        {22, {"  C:\\x\\Flash  ", "C:\\x\\FLASH", "   ", "C:\\x\\file.txt"}, {"C:\\x\\Flash"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type));
        CPluginScan scan(c.type);
        for (const std::string& f : c.given) scan.QueuePluginFolder(f);
        EXPECT_EQ(scan.Folders(), c.stored);
        if (c.type != 11) continue;
        scan.ProcessPluginFolders();
        EXPECT_EQ(scan.Plugins().size(), 7u);
    }
}

// A file queued with its registration and found again by the scan: one
// record holding both; a type that ignores repeats keeps the first record.
TEST(PluginScan, RepeatsMergeTheirRemovalRecords) {
    PluginMachine m;
    const std::string path = "C:\\x\\Flash\\npa32.dll";
    for (LONG type : {11, 14, 20, 22}) {
        SCOPED_TRACE("type " + std::to_string(type));
        CPluginScan scan(type);
        ComPtr<quarncust::_CLittleConfig> registration;
        ASSERT_EQ(winsys::com::createInstance(quarncust::CLSID_CLittleConfig, &registration), win::S_OK);
        registration->AddRegistrySubkey(halvenlib::HKEY_LOCAL_MACHINE, "SOFTWARE\\MozillaPlugins\\a");
        scan.QueuePlugin("C:\\X\\FLASH\\NPA32.DLL", registration);
        scan.QueuePlugin(path);
        const auto result = scan.ProcessPlugins();
        const auto nodes = nodesOf(result.get());
        ASSERT_EQ(nodes.size(), 1u);
        EXPECT_EQ(param(nodes[0].get(), "dLL"), "C:\\X\\FLASH\\NPA32.DLL");
        Lines expected{"subkey " + kHKLM + " SOFTWARE\\MozillaPlugins\\a"};
        if (type != 20) expected.insert(expected.begin(), "file " + path + " False");
        EXPECT_EQ(removal(nodes[0].get(), "backupCfg"), expected);
    }
}

TEST(PluginScan, AdobeReaderFolderAndTheIgnoreTest) {
    PluginMachine m;
    m.prefix.writeFile("C:\\Reader\\browser\\nppdf32.dll", "x");
    m.prefix.writeFile("C:\\Reader\\browser\\AdobePDFViewer.dll", "x");
    m.prefix.makeDir("C:\\Reader\\browser\\sub");
    CPluginScan scan(20);
    scan.ProcessAdobeReaderFolder("C:\\Reader\\browser");
    scan.ProcessAdobeReaderFolder("C:\\Reader\\missing");
    scan.IsIgnored = [](const std::string& p) { return p.ends_with("npb64.dll"); };
    scan.QueuePluginFolder(kFolder);
    scan.ProcessPluginFolders();
    EXPECT_EQ(scan.Plugins(), (std::vector<std::string>{"C:\\Reader\\browser\\AdobePDFViewer.dll",
                                                        "C:\\x\\Flash\\np.dll", "C:\\x\\Flash\\npa32.dll",
                                                        "C:\\x\\Flash\\npc32.dll", "C:\\x\\Flash\\NPSWF32.dll",
                                                        "C:\\x\\Flash\\npswf64_11_1_102.dll",
                                                        "C:\\x\\Flash\\nptext.dll"}));
    EXPECT_TRUE(m.log().empty());
}

} // namespace
