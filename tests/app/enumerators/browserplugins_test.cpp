// Safari and Opera plugins on test machines: every folder source in order,
// Opera's plugin ignore list (its file format, a missing file, no Opera),
// the 64-bit Opera run seeing the 64-bit system folder, the redirection
// count back at 0 after every run, and the details rows through the
// collection.

#include "tests/app/enumerators/ie_fixture.h"

#include "app/core/globals.h"
#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "app/enumerators/coperapluginenum.h"
#include "app/enumerators/coperapluginignore.h"
#include "app/enumerators/csafaripluginenum.h"
#include "tests/app/collection/collection_support.h"

using namespace ietest;

namespace {

using testsupport::TestPrefixOptions;

void plugin(const Machine& m, const std::string& path, Rows strings = {}) {
    m.pe(path, win::IMAGE_FILE_MACHINE_I386, strings.empty() ? std::nullopt : std::optional<Rows>(std::move(strings)));
}

// dLL of every record, each with a removal record of that one file.
Lines filesOf(_CNodes* result, bool flag) {
    Lines r;
    for (const auto& n : nodesOf(result)) {
        const std::string file = param(n.get(), "dLL");
        EXPECT_EQ(removal(n.get(), "backupCfg"), Lines{"file " + file + (flag ? " True" : " False")});
        r.push_back(file);
    }
    return r;
}

// ---- The ignore list ----

TEST(OperaPluginIgnore, FileFormat) {
    struct Case {
        const char* label;
        std::string text;
        Lines ignored, listed;
    } cases[] = {
        {"header in mixed case, value, comment", "[Plugins To Ignore]\r\nNPSWF32.dll=1\r\n; npnul32.dll\r\n",
         {"npswf32.dll", "C:\\Opera\\program\\plugins\\NPSWF32.DLL", "NPSWF32.dll"}, {"npnul32.dll", "; npnul32.dll"}},
        {"before any header and in another section", "npa.dll\n[other]\nnpb.dll\n[plugins to ignore]\nnpc.dll\n",
         {"npc.dll"}, {"npa.dll", "npb.dll"}},
        {"the section twice among others, CR alone",
         "[plugins to ignore]\rnpa.dll\r[x]\rnpb.dll\r[PLUGINS TO IGNORE]\rnpc.dll", {"npa.dll", "npc.dll"},
         {"npb.dll", "[x]"}},
        {"CR LF, LF and CR in one file", "[plugins to ignore]\r\nnpa.dll\nnpb.dll\rnpc.dll\r\n", {"npa.dll", "npb.dll", "npc.dll"},
         {}},
        {"outer blanks go, inner blanks stay", "[plugins to ignore]\n   \n  np  x.dll =y\n", {"np  x.dll"},
         {"npx.dll", "np x.dll", ""}},
        {"TABs removed from names", "[plugins to ignore]\n\tnp\ttab.dll\t=1\n\t\n", {"nptab.dll"}, {""}},
        {"a header with text after it is another section", "[plugins to ignore] x\nnpa.dll\n", {}, {"npa.dll"}},
        {"byte-order mark before the header", "\xEF\xBB\xBF[plugins to ignore]\nnpbom.dll\n", {"npbom.dll"}, {}},
        {"UTF-8 names", "[plugins to ignore]\nnp\xC3\x9C" "ber.dll\n", {"C:\\x\\np\xC3\xBC" "ber.dll"}, {"npuber.dll"}},
        {"empty file", "", {}, {"npa.dll"}},
    };
    Machine m;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        m.prefix.writeFile("C:\\Opera\\defaults\\plugin-ignore.ini", c.text);
        sorlix::COperaPluginIgnore list;
        std::string cause = "before";
        EXPECT_TRUE(list.LoadPluginIgnoreIni("C:\\Opera\\defaults\\plugin-ignore.ini", cause));
        EXPECT_EQ(cause, "");
        for (const std::string& name : c.ignored) EXPECT_TRUE(list.IsFileIgnored(name)) << name;
        for (const std::string& name : c.listed) EXPECT_FALSE(list.IsFileIgnored(name)) << name;
    }
    EXPECT_TRUE(m.log().empty());
}

TEST(OperaPluginIgnore, AMissingFileFailsWithItsReason) {
    Machine m;
    m.prefix.writeFile("C:\\Opera\\defaults\\plugin-ignore.ini", "[plugins to ignore]\nnpa.dll\n");
    sorlix::COperaPluginIgnore list;
    std::string cause;
    ASSERT_TRUE(list.LoadPluginIgnoreIni("C:\\Opera\\defaults\\plugin-ignore.ini", cause));
    EXPECT_FALSE(list.LoadPluginIgnoreIni("C:\\Opera\\defaults\\missing.ini", cause));
    EXPECT_NE(cause, "");
    EXPECT_FALSE(list.IsFileIgnored("npa.dll")); // a new, empty list
    ASSERT_EQ(m.log().size(), 1u);
    EXPECT_EQ(m.log()[0].severity, halvenlib::sevError);
    EXPECT_EQ(m.log()[0].source, "COperaPluginIgnore.LoadPluginIgnoreIni");
    EXPECT_EQ(m.log()[0].description, cause);
}

// ---- Safari ----

TEST(SafariPlugins, EverySourceInOrder) {
    Machine m;
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Apple Computer, Inc.\Safari]
"InstallDir"="C:\\Program Files (x86)\\Safari"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Adobe\Acrobat Reader\11.0\InstallPath]
@="C:\\Reader"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\MediaPlayer]
"Installation Directory"="C:\\WMP"
)");
    plugin(m, "C:\\Program Files (x86)\\Safari\\Plugins\\npsafari.dll",
           {{"CompanyName", "Apple"}, {"ProductName", "Safari Plug"}});
    plugin(m, "C:\\PFiles\\Plugins\\npfixed.dll");
    plugin(m, "C:\\Reader\\browser\\nppdf32.dll");
    plugin(m, "C:\\Reader\\browser\\AdobePDF.dll");
    plugin(m, "C:\\windows\\syswow64\\Macromed\\Flash\\NPSWF32.dll");
    plugin(m, "C:\\windows\\system32\\Macromed\\Flash\\np64only.dll");
    plugin(m, "C:\\windows\\syswow64\\Macromed\\Shockwave 10\\np32dsw.dll");
    plugin(m, "C:\\WMP\\np-mswmp.dll");
    sorlix::CSafariPluginEnum e;
    const auto result = e.EnumSafariPlugins();
    ASSERT_TRUE(result);
    EXPECT_EQ(filesOf(result.get(), false),
              (Lines{"C:\\Reader\\browser\\AdobePDF.dll", "C:\\Program Files (x86)\\Safari\\Plugins\\npsafari.dll",
                     "C:\\PFiles\\Plugins\\npfixed.dll", "C:\\windows\\syswow64\\Macromed\\Flash\\NPSWF32.dll",
                     "C:\\windows\\syswow64\\Macromed\\Shockwave 10\\np32dsw.dll", "C:\\WMP\\np-mswmp.dll"}));
    const auto nodes = nodesOf(result.get());
    EXPECT_EQ(dump(nodes[1].get()), (Rows{{"dLL", "C:\\Program Files (x86)\\Safari\\Plugins\\npsafari.dll"},
                                         {"backupCfg", "<object>"}, {"manufacturer", "Apple"},
                                         {"originalName", "Safari Plug"}, {"websearchName", "Safari Plug"}}));
    EXPECT_EQ(param(nodes[3].get(), "originalName"), "Shockwave Flash");
    EXPECT_EQ(param(nodes[3].get(), "manufacturer"), "Adobe Systems Incorporated");
    EXPECT_TRUE(m.log().empty());
}

TEST(SafariPlugins, WithoutSafariOnA32bitMachineAndWithoutRegistry) {
    Machine m(TestPrefixOptions{.arch = winsys::Arch::Win32});
    plugin(m, "C:\\PFiles\\Plugins\\npfixed.dll");
    plugin(m, "C:\\windows\\system32\\Macromed\\Flash\\npflash.dll");
    sorlix::CSafariPluginEnum e;
    const auto result = e.EnumSafariPlugins();
    ASSERT_TRUE(result);
    EXPECT_EQ(filesOf(result.get(), false),
              (Lines{"C:\\PFiles\\Plugins\\npfixed.dll", "C:\\windows\\system32\\Macromed\\Flash\\npflash.dll"}));
    EXPECT_TRUE(m.log().empty());

    sorlix::Registry.reset();
    sorlix::CSafariPluginEnum again;
    EXPECT_FALSE(again.EnumSafariPlugins());
    ASSERT_FALSE(m.log().empty());
    EXPECT_EQ(m.log().back().source, "CSafariPluginEnum.EnumSafariPlugins");
}

// ---- Opera ----

constexpr const char* kOperaRegistry = R"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Opera Software]
"Last Install Path"="C:\\Program Files (x86)\\Opera\\"
"Last Install Path x64"="C:\\Program Files\\Opera\\"
"Plugin path"="C:\\windows\\system32\\operaplug"
"Next Plugin path"="  C:\\Next  "

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\JavaSoft\Java Plug-in\1.8]
"JavaHome"="C:\\Java"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Adobe\Acrobat Reader\11.0\InstallPath]
@="C:\\Reader"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Microsoft\MediaPlayer]
"Installation Directory"="C:\\WMP"
)";

struct OperaMachine : Machine {
    OperaMachine() {
        prefix.importReg(kOperaRegistry);
        plugin(*this, "C:\\Program Files (x86)\\Opera\\program\\plugins\\npswf32.dll");
        plugin(*this, "C:\\Program Files (x86)\\Opera\\program\\plugins\\npop32.dll",
               {{"CompanyName", "Opera"}, {"ProductName", "Opera 32"}, {"FileDescription", "Opera plugin"},
                {"LegalCopyright", "(c) Opera"}});
        prefix.writeFile("C:\\Program Files (x86)\\Opera\\defaults\\plugin-ignore.ini",
                         "[Plugins To Ignore]\r\nNPSWF32.dll=1\r\n; npnul32.dll\r\n");
        plugin(*this, "C:\\Program Files\\Opera\\program\\plugins\\npop64.dll", {{"ProductName", "Opera 64"}});
        plugin(*this, "C:\\Program Files\\Opera\\program\\plugins\\npignored64.dll");
        prefix.writeFile("C:\\Program Files\\Opera\\defaults\\plugin-ignore.ini",
                         "\xEF\xBB\xBF[plugins to ignore]\nnpignored64.dll\n");
        plugin(*this, "C:\\windows\\syswow64\\operaplug\\np32sys.dll");
        plugin(*this, "C:\\windows\\system32\\operaplug\\np64sys.dll");
        plugin(*this, "C:\\Next\\npnext.dll");
        plugin(*this, "C:\\Java\\npjp2.dll");
        plugin(*this, "C:\\Reader\\npreader.dll");
        plugin(*this, "C:\\Reader\\browser\\nppdf32.dll");
        plugin(*this, "C:\\WMP\\np-mswmp.dll");
    }
};

TEST(OperaPlugins, EverySourceLessTheIgnoredInBothTypes) {
    OperaMachine m;
    struct Case {
        bool x64;
        Lines files;
    } cases[] = {
        {false,
         {"C:\\Program Files (x86)\\Opera\\program\\plugins\\npop32.dll",
          "C:\\windows\\system32\\operaplug\\np32sys.dll", "C:\\Next\\npnext.dll", "C:\\Java\\npjp2.dll",
          "C:\\Reader\\npreader.dll"}},
        {true,
         {"C:\\Program Files\\Opera\\program\\plugins\\npop64.dll", "C:\\windows\\system32\\operaplug\\np64sys.dll",
          "C:\\Next\\npnext.dll", "C:\\Java\\npjp2.dll", "C:\\Reader\\npreader.dll"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x64 ? "type 24" : "type 22");
        sorlix::COperaPluginEnum e;
        const auto result = e.EnumOperaPlugins(c.x64);
        EXPECT_EQ(sorlix::Wow64RedirectionCount, 0);
        ASSERT_TRUE(result);
        EXPECT_EQ(filesOf(result.get(), c.x64), c.files);
        for (const auto& n : nodesOf(result.get())) EXPECT_EQ(param(n.get(), "file64bitSystem32"), c.x64 ? "True" : "False");
    }
    EXPECT_TRUE(m.log().empty());
}

TEST(OperaPlugins, TheMediaPlayerFolderOn32bitWindowsAndNoOpera) {
    Machine m(TestPrefixOptions{.arch = winsys::Arch::Win32});
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\MediaPlayer]
"Installation Directory"="C:\\WMP"
)");
    plugin(m, "C:\\WMP\\np-mswmp.dll");
    plugin(m, "C:\\WMP\\npswf32.dll");
    sorlix::COperaPluginEnum e;
    const auto result = e.EnumOperaPlugins(false);
    ASSERT_TRUE(result);
    EXPECT_EQ(filesOf(result.get(), false), (Lines{"C:\\WMP\\np-mswmp.dll", "C:\\WMP\\npswf32.dll"}));
    EXPECT_TRUE(m.log().empty());
}

TEST(OperaPlugins, AMissingIgnoreFileIsLoggedTwiceAndFiltersNothing) {
    OperaMachine m;
    std::filesystem::remove(m.prefix.host("C:\\Program Files (x86)\\Opera\\defaults\\plugin-ignore.ini"));
    sorlix::COperaPluginEnum e;
    const auto result = e.EnumOperaPlugins(false);
    ASSERT_TRUE(result);
    EXPECT_EQ(filesOf(result.get(), false).size(), 6u);
    ASSERT_EQ(m.log().size(), 2u);
    EXPECT_EQ(m.log()[0].source, "COperaPluginIgnore.LoadPluginIgnoreIni");
    EXPECT_EQ(m.log()[1].severity, halvenlib::sevInternalError);
    EXPECT_EQ(m.log()[1].source, "COperaPluginEnum.EnumOperaPlugins");
    EXPECT_EQ(m.log()[1].number, 0);
    EXPECT_EQ(m.log()[1].description, "LoadPluginIgnoreIni('C:\\Program Files (x86)\\Opera\\defaults\\plugin-ignore.ini') failed. " +
                                          m.log()[0].description);
}

TEST(OperaPlugins, AFailedRunGivesNoResultAndSwitchesRedirectionBack) {
    OperaMachine m;
    sorlix::Registry.reset();
    for (bool x64 : {false, true}) {
        sorlix::COperaPluginEnum e;
        EXPECT_FALSE(e.EnumOperaPlugins(x64));
        EXPECT_EQ(sorlix::Wow64RedirectionCount, 0);
    }
    ASSERT_FALSE(m.log().empty());
    EXPECT_EQ(m.log().back().source, "COperaPluginEnum.EnumOperaPlugins");
}

// ---- Through the collection ----

TEST(BrowserPlugins, DetailsThroughTheCollection) {
    OperaMachine m;
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Apple Computer, Inc.\Safari]
"InstallDir"="C:\\Safari"
)");
    plugin(m, "C:\\Safari\\Plugins\\npsafari.dll",
           {{"CompanyName", "Apple"}, {"ProductName", "Safari Plug"}, {"FileDescription", "Safari plugin"},
            {"LegalCopyright", "(c) Apple"}});
    struct Case {
        LONG type;
        std::string name;
        Rows details;
    } cases[] = {
        {20, "Safari Plug",
         {{"File", "C:\\Safari\\Plugins\\npsafari.dll"}, {"Description", "Safari plugin"}, {"Manufacturer", "Apple"},
          {"Copyright", "(c) Apple"}}},
        {22, "Opera 32",
         {{"File", "C:\\Program Files (x86)\\Opera\\program\\plugins\\npop32.dll"}, {"Description", "Opera plugin"},
          {"Manufacturer", "Opera"}, {"Copyright", "(c) Opera"}}},
        {24, "Opera 64", {{"File", "C:\\Program Files\\Opera\\program\\plugins\\npop64.dll"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        sorlix::MInfoCollector::CollectAddonInfo(c.type);
        EXPECT_EQ(collectiontest::detailsOf(c.type, c.name), c.details);
    }
    EXPECT_EQ(sorlix::Wow64RedirectionCount, 0);
    EXPECT_TRUE(m.log().empty());
}

} // namespace
