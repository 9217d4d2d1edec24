// Firefox and Waterfox extensions on small test machines: every place they
// are looked for and in which order, the records and removal records, the
// registry values in both views and per user, the folders a value may not
// name, what is logged for packages and manifests that cannot be read, and
// a package never lending another one's manifest.

#include "tests/app/enumerators/mozilla/mozilla_fixture.h"

#include <fstream>

#include "app/core/caddontypevisor.h"
#include "app/core/globals.h"
#include "app/core/minfocollector.h"
#include "app/enumerators/cmozillaextenum.h"
#include "platform/core/text.h"
#include "tests/support/records.h"

using namespace moztest;
using sorlix::CFFextEnumerator;
using sorlix::CWF64ExtEnum;
using testsupport::ZipEntry;

namespace {

// The Firefox installs of the machine: two versions in one folder, one
// version without its Main key.
constexpr const char* kFirefoxInstalls = R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Mozilla\Mozilla Firefox\24.0 (en-US)\Main]
"Install Directory"="C:\\Program Files (x86)\\Mozilla Firefox"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Mozilla\Mozilla Firefox\25.0 (en-US)\Main]
"Install Directory"="C:\\Program Files (x86)\\Mozilla Firefox"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Mozilla\Mozilla Firefox\26.0 (en-US)]
"Version"="26.0"
)";

std::string logText(const std::vector<testsupport::LogLine>& log) {
    std::string all;
    for (const auto& l : log) all += l.source + ": " + l.description + "\n";
    return all;
}

Lines texts(const std::vector<testsupport::LogLine>& log) {
    Lines r;
    for (const auto& l : log) r.push_back(l.description);
    return r;
}

Lines dllsOf(_CNodes* result) {
    Lines r;
    for (const auto& n : nodesOf(result)) r.push_back(param(n.get(), "dLL"));
    return r;
}

std::string cannot(const std::string& path, const std::string& why) {
    return "Cannot enumerate extension: '" + path + "'. " + why;
}

TEST(FirefoxExtensions, EveryPlaceInOrderWithRecords) {
    MozMachine m;
    m.prefix.importReg(kFirefoxInstalls);
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Mozilla\Firefox\Extensions]
"reg@example.org"="C:\\Addons\\Reg Ext"
"gone@example.org"="C:\\Addons\\Gone"
"short"="C:\\"

[HKEY_LOCAL_MACHINE\SOFTWARE\Mozilla\Firefox\Extensions]
"native@example.org"="C:\\Addons\\Native"

[HKEY_CURRENT_USER\Software\Mozilla\Firefox\Extensions]
"again@example.org"="c:\\addons\\REG EXT\\"
"user@example.org"="C:\\users\\tester\\Packs\\user.xpi"
)");
    const std::string profile = kProfiles + "\\k3x9wq2m.default";
    const std::string far = "C:\\Elsewhere\\far.profile";
    // Only the folders of Profiles\ are profiles: the absolute profile and
    // the one climbing out of the Mozilla folder are not looked at.
    m.prefix.writeFile(kMozilla + "\\Firefox\\profiles.ini",
                       "[Profile0]\r\nName=default\r\nIsRelative=1\r\nPath=Profiles/k3x9wq2m.default\r\n\r\n"
                       "[Profile1]\r\nName=far\r\nIsRelative=0\r\nPath=C:\\Elsewhere\\far.profile\r\n\r\n"
                       "[Profile2]\r\nName=up\r\nIsRelative=1\r\nPath=../../../../../Addons\r\n");
    m.prefix.writeFile(kProfiles + "\\notes.txt", "not a profile");
    m.folderExtension(far + "\\extensions\\far@example.org", manifest("far@example.org", "Far"));

    m.folderExtension("C:\\Addons\\Reg Ext", manifest("reg@example.org", "Registered",
                                                      "    <em:creator>Reg Maker</em:creator>\n"
                                                      "    <em:homepageURL>https://reg.example.org/</em:homepageURL>\n"
                                                      "    <em:updateInfoURL>https://reg.example.org/u</em:updateInfoURL>\n"
                                                      "    <em:description>From the registry</em:description>\n"));
    m.folderExtension("C:\\Addons\\Native", manifest("native@example.org", "Native"));
    m.packedExtension("C:\\users\\tester\\Packs\\user.xpi", manifest("user@example.org", "Per User"));
    const std::string inst = m.folderExtension(kFirefoxDir + "\\Extensions\\inst@example.org",
                                               manifest("inst@example.org", "Installed"));
    const std::string moz = m.folderExtension(kMozilla + "\\Extensions\\moz@example.org",
                                              manifest("moz@example.org", "Shared"));
    // A localized name and a target application's name come before the top-level name.
    const std::string loc = m.folderExtension(
        profile + "\\extensions\\loc@example.org",
        "<?xml version=\"1.0\"?>\n<RDF:RDF xmlns:RDF=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
        "xmlns:em=\"http://www.mozilla.org/2004/em-rdf#\">\n"
        "<RDF:Description RDF:about=\"urn:mozilla:install-manifest\">\n"
        "  <em:localized><RDF:Description><em:locale>de</em:locale><em:name>Lokal</em:name>"
        "<em:description>Deutsch</em:description></RDF:Description></em:localized>\n"
        "  <em:targetApplication><RDF:Description><em:id>{ec8030f7-c20a-464f-9b0e-13a3a9e97384}</em:id>"
        "<em:name>Firefox</em:name></RDF:Description></em:targetApplication>\n"
        "  <em:id>loc@example.org</em:id>\n  <em:name>Localized</em:name>\n"
        "  <em:description>English</em:description>\n"
        "</RDF:Description>\n</RDF:RDF>\n");
    const std::string packed = m.packedExtension(profile + "\\extensions\\pack@example.org.xpi",
                                                 manifest("pack@example.org", "Packed"));
    const std::string staged = profile + "\\extensions\\staged\\staged@example.org.xpi";
    // The manifest below a folder of the package is found by its name.
    m.package(staged, {{"chrome.manifest", ""}, {"meta/install.rdf", manifest("staged@example.org", "Staged")}});

    const auto result = CFFextEnumerator().EnumFirefoxExtensions();
    ASSERT_TRUE(result);
    EXPECT_EQ(dllsOf(result.get()), (Lines{"C:\\Addons\\Reg Ext\\", "C:\\users\\tester\\Packs\\user.xpi", inst + "\\",
                                           moz + "\\", loc + "\\", packed, staged}))
        << logText(m.log());
    const auto nodes = nodesOf(result.get());
    ASSERT_EQ(nodes.size(), 7u);
    EXPECT_EQ(dump(nodes[0].get()), (Rows{{"dLL", "C:\\Addons\\Reg Ext\\"},
                                          {"manufacturer", "Reg Maker"},
                                          {"description", "From the registry"},
                                          {"homepageURL", "https://reg.example.org/"},
                                          {"originalName", "Registered"},
                                          {"iD", "reg@example.org"},
                                          {"updateInfoURL", "https://reg.example.org/u"},
                                          {"backupCfg", "<object>"},
                                          {"websearchName", "Registered"}}));
    EXPECT_EQ(removal(nodes[0].get(), "backupCfg"), (Lines{"file C:\\Addons\\Reg Ext\\ False"}));
    EXPECT_EQ(dump(nodes[4].get()), (Rows{{"dLL", loc + "\\"},
                                          {"description", "English"},
                                          {"originalName", "Localized"},
                                          {"iD", "loc@example.org"},
                                          {"backupCfg", "<object>"},
                                          {"websearchName", "Localized"}}));
    EXPECT_EQ(removal(nodes[5].get(), "backupCfg"), (Lines{"file " + packed + " False"}));
    EXPECT_EQ(param(nodes[6].get(), "originalName"), "Staged");
    EXPECT_TRUE(m.log().empty()) << logText(m.log());
    EXPECT_FALSE(m.workFolderExists());
}

TEST(FirefoxExtensions, WebSearchNameFallsBack) {
    MozMachine m;
    const std::string ext = kProfiles + "\\a.default\\extensions\\";
    struct Case {
        const char* folder;
        std::string more;
        const char* websearch; // nullptr: the dLL path
    };
    const Case cases[] = {
        {"name", "<em:name>N</em:name><em:description>D</em:description><em:creator>C</em:creator>", "N"},
        {"description", "<em:description>D</em:description><em:creator>C</em:creator>", "D"},
        {"creator", "<em:creator>C</em:creator>", "C"},
        {"empty name", "<em:name></em:name><em:creator>C</em:creator>", "C"},
        {"none", "", nullptr},
    };
    for (const Case& c : cases) m.folderExtension(ext + c.folder, manifest(c.folder, "", c.more));
    const auto result = CFFextEnumerator().EnumFirefoxExtensions();
    ASSERT_TRUE(result);
    const auto nodes = nodesOf(result.get());
    ASSERT_EQ(nodes.size(), std::size(cases));
    for (const auto& n : nodes) {
        const std::string dll = param(n.get(), "dLL");
        for (const Case& c : cases)
            if (dll == ext + c.folder + "\\") {
                SCOPED_TRACE(c.folder);
                EXPECT_EQ(param(n.get(), "websearchName"), c.websearch ? c.websearch : dll);
            }
    }
    EXPECT_EQ(param(nodes[0].get(), "originalName"), "<missing>") << "an empty name adds no key";
}

TEST(WaterfoxExtensions, SixtyFourBitViewAndItsFlag) {
    MozMachine m;
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Mozilla\Waterfox\56.2.0 (x64 en-US)\Main]
"Install Directory"="C:\\\\Program Files\\\\Waterfox"

[HKEY_LOCAL_MACHINE\SOFTWARE\Mozilla\Waterfox\56.3.0 (x64 en-US)\Main]
"Install Directory"="C:\\Program Files\\Waterfox Native"

[HKEY_LOCAL_MACHINE\SOFTWARE\Mozilla\Firefox\Extensions]
"native@example.org"="C:\\Program Files\\Addons\\Native"

[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Mozilla\Firefox\Extensions]
"wow@example.org"="C:\\Program Files (x86)\\Addons\\Wow"

[HKEY_CURRENT_USER\Software\Mozilla\Firefox\Extensions]
"user@example.org"="C:\\users\\tester\\Addons\\User"
)");
    m.folderExtension("C:\\Program Files\\Addons\\Native", manifest("native@example.org", "Native"));
    m.folderExtension("C:\\Program Files (x86)\\Addons\\Wow", manifest("wow@example.org", "Wow"));
    m.folderExtension("C:\\users\\tester\\Addons\\User", manifest("user@example.org", "User"));
    const std::string inst = m.folderExtension("C:\\Program Files\\Waterfox\\Extensions\\wf@example.org",
                                               manifest("wf@example.org", "Waterfox's own"));
    m.folderExtension("C:\\Program Files\\Waterfox Native\\extensions\\no@example.org", manifest("no@example.org", "No"));
    // The 64-bit system folder is reached as it is, not redirected.
    const std::string sys = "C:\\windows\\system32\\ext@example.org.xpi";
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Mozilla\Firefox\Extensions]
"sys@example.org"="C:\\windows\\system32\\ext@example.org.xpi"
)");
    m.packedExtension(sys, manifest("sys@example.org", "In system32"));
    const std::string profiled = m.packedExtension(kProfiles + "\\w.default\\extensions\\p.xpi", manifest("p", "P"));

    CWF64ExtEnum waterfox;
    EXPECT_EQ(waterfox.EnumWaterfox64InstallFolders(), (Lines{"C:\\Program Files\\Waterfox"}));
    const auto result = waterfox.EnumWaterfox64Extensions();
    ASSERT_TRUE(result);
    EXPECT_EQ(dllsOf(result.get()), (Lines{"C:\\Program Files\\Addons\\Native\\", sys,
                                           "C:\\users\\tester\\Addons\\User\\", inst + "\\", profiled}))
        << logText(m.log());
    for (const auto& n : nodesOf(result.get()))
        EXPECT_EQ(removal(n.get(), "backupCfg"), (Lines{"file " + param(n.get(), "dLL") + " True"}));
    EXPECT_EQ(sorlix::Wow64RedirectionCount, 0);
    EXPECT_TRUE(m.log().empty()) << logText(m.log());
    EXPECT_FALSE(m.workFolderExists());
}

TEST(FirefoxExtensions, ListsForThePluginEnumerators) {
    MozMachine m;
    m.prefix.importReg(kFirefoxInstalls);
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Mozilla\Firefox\Extensions]
"reg@example.org"="C:\\Addons\\Reg"
"pack@example.org"="C:\\Addons\\reg.xpi"
)");
    m.folderExtension("C:\\Addons\\Reg", manifest("reg", "Reg"));
    m.packedExtension("C:\\Addons\\reg.xpi", manifest("regx", "RegX"));
    const std::string a = kProfiles + "\\a.default", b = kProfiles + "\\b.work";
    m.prefix.makeDir(b);
    m.prefix.writeFile(kProfiles + "\\c.txt", "");
    const std::string inFolder = m.folderExtension(a + "\\extensions\\f@example.org", manifest("f", "F"));
    m.packedExtension(a + "\\extensions\\p.xpi", manifest("p", "P"));
    m.prefix.makeDir(b + "\\extensions\\staged\\s@example.org");

    CFFextEnumerator firefox;
    EXPECT_EQ(firefox.EnumFirefoxInstallFolders(), (Lines{kFirefoxDir, kFirefoxDir}));
    EXPECT_EQ(firefox.FirefoxProfileFolders(), (Lines{a, b}));
    // "extensions\staged" is listed too: the plugin enumerators scan its "Plugins".
    EXPECT_EQ(firefox.EnumExtensionsThatAreFolders(),
              (Lines{"C:\\Addons\\Reg", inFolder, b + "\\extensions\\staged", b + "\\extensions\\staged\\s@example.org"}));
    EXPECT_FALSE(m.workFolderExists());
    EXPECT_TRUE(m.log().empty()) << logText(m.log());
}

// Each bad package or manifest yields no record and one line with its
// reason; nothing is written outside the work folder, which is gone after
// the run.
TEST(FirefoxExtensions, UnreadableItemsAndHostilePackages) {
    MozMachine m;
    const std::string ext = kProfiles + "\\a.default\\extensions\\";
    struct Case {
        std::string name;
        std::function<void(const std::string& path)> make;
        std::string reason;
    };
    const std::string good = manifest("x", "X");
    const std::vector<Case> cases = {
        {"a-text.xpi", [&](const std::string& p) { m.prefix.writeFile(p, good); },
         "The file cannot be read as a zip package."},
        {"b-truncated.xpi",
         [&](const std::string& p) {
             m.package(p, {{"install.rdf", good + std::string(4000, ' ')}, {"big.bin", std::string(8000, 'b')}});
             fs::resize_file(m.prefix.host(p), fs::file_size(m.prefix.host(p)) / 2);
         },
         "The file cannot be read as a zip package."},
        {"c-bomb.xpi",
         [&](const std::string& p) {
             m.package(p, {{"install.rdf", good + std::string(30 * 1024 * 1024, ' ')}});
             testsupport::patchDeclaredSize(m.prefix.host(p), 2048);
         },
         "The package's install.rdf cannot be extracted."},
        // Names with "\" are no install.rdf of any folder.
        {"d-climbing.xpi", [&](const std::string& p) { m.package(p, {{"..\\..\\install.rdf", good}}); },
         "The package holds no install.rdf."},
        {"e-drive.xpi", [&](const std::string& p) { m.package(p, {{"C:\\x\\install.rdf", good}}); },
         "The package holds no install.rdf."},
        {"e-up.xpi", [&](const std::string& p) { m.package(p, {{"../install.rdf", good}}); }, ""},
        {"e-root.xpi", [&](const std::string& p) { m.package(p, {{"/abs/install.rdf", good}}); }, ""},
        {"f-link.xpi",
         [&](const std::string& p) {
             m.package(p, {ZipEntry("install.rdf", "/etc/hostname").asLink()});
         },
         "The package's install.rdf cannot be extracted."},
        {"g-none.xpi", [&](const std::string& p) { m.package(p, {{"chrome.manifest", ""}}); },
         "The package holds no install.rdf."},
        {"h-empty.xpi", [&](const std::string& p) { m.package(p, {{"install.rdf", ""}}); }, "Invalid XML"},
        {"i-badxml", [&](const std::string& p) { m.prefix.writeFile(p + "\\install.rdf", "<RDF><Description>"); },
         "Invalid XML"},
        {"j-entity",
         [&](const std::string& p) {
             m.prefix.writeFile("C:\\secret.txt", "secret");
             m.prefix.writeFile(p + "\\install.rdf",
                                "<?xml version=\"1.0\"?><!DOCTYPE RDF [<!ENTITY s SYSTEM \"file:///C:/secret.txt\">]>"
                                "<RDF><Description><name>&s;</name></Description></RDF>");
         },
         "Invalid XML"},
        {"k-nomanifest", [&](const std::string& p) { m.prefix.writeFile(p + "\\chrome.manifest", ""); },
         "The folder has no install.rdf."},
        {"l-nordf", [&](const std::string& p) { m.package(p, {{"install.rdf", "<x/>"}}); }, "RDF tag not found"},
        {"m-nodescription", [&](const std::string& p) { m.folderExtension(p, "<RDF><About/></RDF>"); },
         "Description tag not found"},
    };
    for (const Case& c : cases) c.make(ext + c.name);
    const std::string fine = m.packedExtension(ext + "z-fine.xpi", good);
    const auto outsideBefore = fs::exists(m.prefix.host("C:\\users\\tester\\AppData\\Local\\Vendrel Sorlix\\Temp"));

    const auto result = CFFextEnumerator().EnumFirefoxExtensions();
    ASSERT_TRUE(result);
    // "../install.rdf" and "/abs/install.rdf" are written flat, by their bare names.
    EXPECT_EQ(dllsOf(result.get()), (Lines{ext + "e-root.xpi", ext + "e-up.xpi", fine}));
    Lines expected;
    for (const Case& c : cases)
        if (!c.reason.empty()) expected.push_back(cannot(ext + c.name, c.reason));
    EXPECT_EQ(texts(m.log()), expected);
    for (const auto& l : m.log()) {
        EXPECT_EQ(l.source, "CFFextEnumerator.EnumFirefoxExtensions");
        EXPECT_EQ(l.severity, halvenlib::sevInternalError);
    }
    // Nothing landed beside the work folder, above it, or at the package's place.
    EXPECT_FALSE(m.workFolderExists());
    EXPECT_FALSE(outsideBefore);
    for (const fs::path& root : {m.prefix.root() / "drive_c"})
        for (const auto& e : fs::recursive_directory_iterator(root)) {
            if (!winsys::equalsNoCase(e.path().filename().string(), "install.rdf")) continue;
            const std::string where = e.path().parent_path().string();
            EXPECT_NE(where.find("extensions"), std::string::npos) << "install.rdf written at " << e.path();
            EXPECT_FALSE(e.is_symlink()) << e.path();
        }
    EXPECT_FALSE(fs::exists(m.prefix.host("C:\\abs"))) << "an absolute entry left a folder";
}

// A damaged manifest before a package without one, and a read-only
// install.rdf left in the work folder by an earlier run: no package takes
// a manifest that its own extraction did not write.
TEST(FirefoxExtensions, NoPackageReadsAnotherPackagesManifest) {
    MozMachine m;
    const std::string ext = kProfiles + "\\a.default\\extensions\\";
    const std::string damaged = ext + "a-damaged.xpi";
    m.package(damaged, {ZipEntry("install.rdf", manifest("damaged", "Original")).asStored()});
    {
        const fs::path host = m.prefix.host(damaged);
        std::ifstream in(host, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        in.close();
        bytes[bytes.find("Original")] = 'o';
        std::ofstream(host, std::ios::binary | std::ios::trunc) << bytes;
    }
    const std::string withoutManifest = ext + "b-without.xpi";
    m.package(withoutManifest, {{"chrome.manifest", ""}});
    const std::string good = m.packedExtension(ext + "c-good.xpi", manifest("good", "Good"));
    const std::string after = ext + "d-without.xpi";
    m.package(after, {{"icon.png", "png"}});

    auto run = [&] {
        const auto result = CFFextEnumerator().EnumFirefoxExtensions();
        return result ? dllsOf(result.get()) : Lines{"<no result>"};
    };
    EXPECT_EQ(run(), (Lines{good}));
    EXPECT_EQ(texts(m.log()), (Lines{cannot(damaged, "The package's install.rdf cannot be extracted."),
                                     cannot(withoutManifest, "The package holds no install.rdf."),
                                     cannot(after, "The package holds no install.rdf.")}));
    EXPECT_FALSE(m.workFolderExists());

    // An earlier run left a read-only manifest that cannot be removed.
    m.program.log->lines.clear();
    const std::string folder = m.folderExtension(ext + "e-folder", manifest("folder", "Folder"));
    m.prefix.writeFile(kWorkFolder + "\\install.rdf", manifest("stale", "Stale"));
    m.prefix.setReadOnly(kWorkFolder + "\\install.rdf");
    const Lines dlls = run();
    EXPECT_EQ(dlls, (Lines{folder + "\\"})) << logText(m.log());
    ASSERT_EQ(m.log().size(), 4u) << logText(m.log());
    for (const auto& l : m.log())
        EXPECT_NE(l.description.find("An earlier install.rdf cannot be removed from the work folder."), std::string::npos)
            << l.description;
}

// A registry value naming a folder that holds more than one extension
// (or the whole machine) yields no record, so no removal takes that folder.
TEST(FirefoxExtensions, RegistryValuesNamingSharedFolders) {
    MozMachine m;
    m.prefix.importReg(kFirefoxInstalls);
    const std::string profile = kProfiles + "\\a.default";
    m.folderExtension(profile + "\\extensions\\p@example.org", manifest("p", "P"));
    m.folderExtension(kFirefoxDir + "\\Extensions\\i@example.org", manifest("i", "I"));
    const std::string ok = m.folderExtension("C:\\Addons\\One", manifest("one", "One"));
    // Each of these folders gets an install.rdf, so that only the refusal keeps it out.
    // "C:\\" itself is too short to be read at all.
    const Lines refused = {"C:\\.",
                           "C:\\users",
                           "C:\\users\\tester",
                           "C:\\users\\tester\\AppData\\Roaming",
                           kMozilla,
                           kMozilla + "\\Firefox",
                           profile,
                           profile + "\\extensions",
                           kFirefoxDir,
                           kFirefoxDir + "\\extensions\\..\\..",
                           "C:\\Program Files",
                           "C:\\windows\\system32",
                           "C:/Program Files (x86)/Mozilla Firefox/",
                           std::string(testsupport::ProgramObjects::kDataFolder) + "\\Temp",
                           // The Mozilla folder as the host's drive spells it.
                           [&] {
                               std::string z = "Z:" + m.prefix.host(kMozilla).string();
                               for (char& c : z)
                                   if (c == '/') c = '\\';
                               return z;
                           }()};
    std::string reg = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Mozilla\\Firefox\\Extensions]\n";
    auto escaped = [](std::string s) {
        for (std::size_t at = 0; (at = s.find('\\', at)) != std::string::npos; at += 2) s.insert(at, "\\");
        return s;
    };
    for (std::size_t i = 0; i < refused.size(); ++i) {
        reg += "\"v" + std::to_string(i) + "\"=\"" + escaped(refused[i]) + "\"\n";
        if (refused[i] != "C:\\." && !refused[i].starts_with("Z:") && !refused[i].ends_with("\\extensions") && refused[i].find("..") == std::string::npos && refused[i].find('/') == std::string::npos)
            m.prefix.writeFile(refused[i] + "\\install.rdf", manifest("whole", "Whole Folder"));
    }
    reg += "\"ok\"=\"C:\\\\Addons\\\\One\"\n";
    m.prefix.importReg(reg);

    const auto result = CFFextEnumerator().EnumFirefoxExtensions();
    ASSERT_TRUE(result);
    EXPECT_EQ(dllsOf(result.get()), (Lines{ok + "\\", kFirefoxDir + "\\Extensions\\i@example.org\\",
                                           profile + "\\extensions\\p@example.org\\"}))
        << logText(m.log());
    Lines expected;
    for (const std::string& r : refused)
        expected.push_back(cannot(r, "The registry value names a folder that is no single extension."));
    EXPECT_EQ(texts(m.log()), expected);
    CFFextEnumerator firefox;
    EXPECT_EQ(firefox.EnumExtensionsThatAreFolders(),
              (Lines{ok, kFirefoxDir + "\\Extensions\\i@example.org", profile + "\\extensions\\p@example.org"}));
}

// A profile is held against registry values where it lies on disk: through
// a link to a folder elsewhere, and under its name in any case.
TEST(FirefoxExtensions, RegistryValuesNamingAProfileThroughALinkOrInAnotherCase) {
    MozMachine m;
    const std::string target = "C:\\Elsewhere\\linked";
    // No "extensions" in it: only the profile itself keeps the value out.
    m.prefix.writeFile(target + "\\install.rdf", manifest("whole", "Whole"));
    std::filesystem::create_directories(m.prefix.host(kProfiles));
    std::filesystem::create_directory_symlink(m.prefix.host(target), m.prefix.host(kProfiles + "\\linked.default"));
    m.prefix.writeFile(kProfiles + "\\Upper.Default\\install.rdf", manifest("upper", "Upper"));
    m.prefix.importReg("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Mozilla\\Firefox\\Extensions]\n"
                       "\"a\"=\"C:\\\\Elsewhere\\\\linked\"\n\"b\"=\"" +
                       testsupport::regText(kProfiles + "\\upper.default") + "\"\n");

    const auto result = CFFextEnumerator().EnumFirefoxExtensions();
    ASSERT_TRUE(result);
    EXPECT_EQ(dllsOf(result.get()), Lines{}) << logText(m.log());
    const std::string why = "The registry value names a folder that is no single extension.";
    EXPECT_EQ(texts(m.log()), (Lines{cannot(target, why), cannot(kProfiles + "\\upper.default", why)}));
}

// On 32-bit Windows the install key and the Extensions values sit in the one
// registry there is, Firefox in the native program files; the collection
// does not ask for Waterfox's 64-bit extensions at all.
TEST(FirefoxExtensions, ThirtyTwoBitWindows) {
    MozMachine m(testsupport::TestPrefixOptions{.arch = winsys::Arch::Win32});
    m.prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Mozilla\Mozilla Firefox\24.0 (x86 en-US)\Main]
"Install Directory"="C:\\Program Files\\Mozilla Firefox"

[HKEY_LOCAL_MACHINE\SOFTWARE\Mozilla\Waterfox\56.2.0 (x64 en-US)\Main]
"Install Directory"="C:\\Program Files\\Waterfox"

[HKEY_LOCAL_MACHINE\SOFTWARE\Mozilla\Firefox\Extensions]
"reg@example.org"="C:\\Addons\\Reg"
)");
    const std::string reg = m.folderExtension("C:\\Addons\\Reg", manifest("reg", "Reg"));
    const std::string inst = m.packedExtension("C:\\Program Files\\Mozilla Firefox\\Extensions\\i.xpi", manifest("i", "I"));
    m.packedExtension("C:\\Program Files\\Waterfox\\Extensions\\w.xpi", manifest("w", "W"));
    const std::string prof = m.packedExtension(kProfiles + "\\a.default\\extensions\\p.xpi", manifest("p", "P"));

    const auto result = CFFextEnumerator().EnumFirefoxExtensions();
    ASSERT_TRUE(result);
    EXPECT_EQ(dllsOf(result.get()), (Lines{reg + "\\", inst, prof})) << logText(m.log());
    sorlix::MInfoCollector::CollectAddonInfo(sorlix::atWaterfox64Extension);
    EXPECT_EQ(testsupport::listingRows(sorlix::DB->TypeObjects(sorlix::atWaterfox64Extension).get()).size(), 0u);
    sorlix::MInfoCollector::CollectAddonInfo(sorlix::atFirefox32Extension);
    EXPECT_EQ(testsupport::listingRows(sorlix::DB->TypeObjects(sorlix::atFirefox32Extension).get()).size(), 3u);
    EXPECT_TRUE(m.log().empty()) << logText(m.log());
}

} // namespace
