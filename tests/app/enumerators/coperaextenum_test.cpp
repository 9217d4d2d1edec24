// The Opera extension enumerator on test prefixes: records and removal
// records from the packages' configurations (the search-name fallbacks,
// localized names, "config.xml" in a sub-folder, several of them), the
// entries that are skipped, packages that cannot be read (damaged,
// truncated, oversized, bad XML, deep nesting, an external entity),
// hostile entry names and links that write and read nothing outside the
// work folder, a left-over "config.xml" never read as another package's,
// the 64-bit run, the work folder gone after every run, the real packages
// of public extensions and the details rows the collection builds.

#include "tests/app/enumerators/ie_fixture.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "app/enumerators/coperaextenum.h"
#include "platform/core/text.h"
#include "platform/unzip/unzip.h"
#include "tests/app/collection/collection_support.h"
#include "tests/app/enumerators/opera_widget_config.h"
#include "tests/support/file_tree.h"
#include "tests/support/records.h"
#include "tests/support/zip_writer.h"
#include "tests/support/real_browser_data.h"

using namespace ietest;
using sorlix::COperaExtEnum;
using testsupport::ZipEntry;
namespace fs = std::filesystem;

namespace {

constexpr const char* kWidgets32 = "C:\\users\\tester\\AppData\\Local\\Opera\\Opera\\widgets";
constexpr const char* kWidgets64 = "C:\\users\\tester\\AppData\\Local\\Opera\\Opera x64\\widgets";
constexpr const char* kTemp = "C:\\users\\tester\\AppData\\Local\\Vendrel Sorlix\\Temp";
constexpr const char* kWork = "C:\\users\\tester\\AppData\\Local\\Vendrel Sorlix\\Temp\\OperaExtEnumerator";

std::string at32(const std::string& name) { return std::string(kWidgets32) + "\\" + name; }
std::string at64(const std::string& name) { return std::string(kWidgets64) + "\\" + name; }

std::string widget(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<widget xmlns=\"http://www.w3.org/ns/widgets\">\n" + body +
           "\n</widget>\n";
}
std::string named(const std::string& name) { return widget("<name>" + name + "</name>"); }

struct OperaMachine : Machine {
    OperaMachine() { prefix.makeDir(kTemp); }
    bool workFolderExists() const { return fs::exists(fs::symlink_status(prefix.host(kWork))); }
    // Every entry of the prefix outside the work folder with its contents.
    std::map<std::string, std::string> outsideWorkFolder() const {
        return testsupport::entriesOutside(prefix.root() / "drive_c", prefix.host(kWork));
    }
};

std::vector<ComPtr<_CNode>> byPath(_CNodes* result) {
    auto nodes = nodesOf(result);
    std::sort(nodes.begin(), nodes.end(),
              [](const auto& a, const auto& b) { return param(a.get(), "dLL") < param(b.get(), "dLL"); });
    return nodes;
}

// "name" of every record in path order; a record without one shows its path.
Lines names(_CNodes* result) {
    Lines r;
    for (const auto& n : byPath(result)) r.push_back(param(n.get(), "websearchName"));
    return r;
}

// UTF-16 little-endian bytes with a byte-order mark.
std::string utf16le(const std::string& utf8) {
    std::string bytes = "\xFF\xFE";
    for (char16_t u : winsys::toUtf16(utf8)) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

TEST(OperaExtensions, RecordsFromTheirConfigurations) {
    OperaMachine m;
    std::string deep;
    for (int i = 0; i < 200; ++i) deep += "d" + std::to_string(i) + "/";
    m.package(at32("a-full.oex"), {{"index.html", "<html/>"}, {"config.xml", kOpera11Config}, {"icons/64.png", "png"}});
    m.package(at32("b-description.OEX"), {{"config.xml", widget("<description xml:lang=\"en\">Only words</description>"
                                                                 "<name></name>")}});
    m.package(at32("c-author.oex"), {{"config.xml", widget("<author>Solo Author</author>"
                                                           "<description>no language</description>")}});
    m.package(at32("d-bare.oex"), {{"config.xml", widget("")}});
    m.package(at32("e-in-folder.oex"), {{"content/config.xml", named("From a folder")}});
    m.package(at32("f-deep-folders.oex"), {{deep + "config.xml", named("Deep folders")}});
    m.package(at32("g-root-wins.oex"), {{"sub/config.xml", named("Sub")}, {"CONFIG.XML", named("Root")}});
    m.package(at32("h-first-listed.oex"), {{"one/config.xml", named("First")}, {"two/config.xml", named("Second")}});
    m.package(at32("i-utf16.oex"), {{"config.xml", utf16le("<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
                                                           "<widget><name>Übersetzer für Seiten</name></widget>")}});
    m.package(at32("j-xml11.oex"), {{"config.xml", "<?xml version='1.1'?><widget version='1.1'><name>Eleven</name>"
                                                   "<license>v='1.1'</license></widget>"}});
    // Skipped: a folder named like a package, other extensions.
    m.prefix.writeFile(at32("k-folder.oex") + "\\config.xml", named("Folder"));
    m.package(at32("l-package.zip"), {{"config.xml", named("Zip")}});
    m.package(at32("m-package.oex.bak"), {{"config.xml", named("Backup")}});
    m.prefix.writeFile(std::string(kWork) + "\\stale.txt", "from an earlier run");

    const auto result = COperaExtEnum().EnumOperaExtensions(false);
    ASSERT_TRUE(result);
    const auto nodes = byPath(result.get());
    const Rows full{{"dLL", at32("a-full.oex")},
                    {"manufacturer", "Ada Example"},
                    {"description", "Notes on every page."},
                    {"license", "MIT License"},
                    {"originalName", "Sticky Notes"},
                    {"updateInfoURL", "https://extension-updates.example.org/notes/"},
                    {"backupCfg", "<object>"},
                    {"websearchName", "Sticky Notes"}};
    const Rows expected[] = {
        full,
        {{"dLL", at32("b-description.OEX")}, {"description", "Only words"}, {"backupCfg", "<object>"},
         {"websearchName", "Only words"}},
        {{"dLL", at32("c-author.oex")}, {"manufacturer", "Solo Author"}, {"backupCfg", "<object>"},
         {"websearchName", "Solo Author"}},
        {{"dLL", at32("d-bare.oex")}, {"backupCfg", "<object>"}, {"websearchName", at32("d-bare.oex")}},
        {{"dLL", at32("e-in-folder.oex")}, {"originalName", "From a folder"}, {"backupCfg", "<object>"},
         {"websearchName", "From a folder"}},
        {{"dLL", at32("f-deep-folders.oex")}, {"originalName", "Deep folders"}, {"backupCfg", "<object>"},
         {"websearchName", "Deep folders"}},
        {{"dLL", at32("g-root-wins.oex")}, {"originalName", "Root"}, {"backupCfg", "<object>"},
         {"websearchName", "Root"}},
        {{"dLL", at32("h-first-listed.oex")}, {"originalName", "First"}, {"backupCfg", "<object>"},
         {"websearchName", "First"}},
        {{"dLL", at32("i-utf16.oex")}, {"originalName", "Übersetzer für Seiten"}, {"backupCfg", "<object>"},
         {"websearchName", "Übersetzer für Seiten"}},
        {{"dLL", at32("j-xml11.oex")}, {"license", "v='1.1'"}, {"originalName", "Eleven"}, {"backupCfg", "<object>"},
         {"websearchName", "Eleven"}},
    };
    ASSERT_EQ(nodes.size(), std::size(expected));
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        SCOPED_TRACE(expected[i][0].second);
        EXPECT_EQ(dump(nodes[i].get()), expected[i]);
        EXPECT_EQ(removal(nodes[i].get(), "backupCfg"), Lines{"file " + expected[i][0].second + " False"});
    }
    EXPECT_TRUE(m.log().empty());
    EXPECT_FALSE(m.workFolderExists());
    EXPECT_EQ(sorlix::Wow64RedirectionCount, 0);
}

TEST(OperaExtensions, NoWidgetsFolderIsAnEmptyResult) {
    for (bool x64 : {false, true}) {
        SCOPED_TRACE(x64);
        OperaMachine m;
        m.package(at32("only32.oex"), {{"config.xml", named("Only 32")}});
        const auto result = COperaExtEnum().EnumOperaExtensions(x64);
        ASSERT_TRUE(result);
        EXPECT_EQ(nodesOf(result.get()).size(), x64 ? 0u : 1u);
        EXPECT_TRUE(m.log().empty());
        EXPECT_FALSE(m.workFolderExists());
    }
}

TEST(OperaExtensions, PackagesThatCannotBeReadAreLoggedAndLeftOut) {
    std::string nested = "<widget><name>Nested</name>";
    for (int i = 0; i < 100000; ++i) nested += "<x>";
    for (int i = 0; i < 100000; ++i) nested += "</x>";
    nested += "</widget>";
    const std::string good = named("Good");
    struct Case {
        const char* label;
        std::function<void(const OperaMachine&, const std::string&)> make;
        const char* cause; // the parser's reason, or its start when it ends in ": "
    };
    const Case cases[] = {
        {"no config.xml", [](auto& m, auto& p) { m.package(p, {{"index.html", "<html/>"}, {"config.xm", "x"}}); },
         "Invalid XML: "},
        {"not a zip", [](auto& m, auto& p) { m.prefix.writeFile(p, "<widget><name>Plain</name></widget>"); },
         "Invalid XML: "},
        {"empty file", [](auto& m, auto& p) { m.prefix.writeFile(p, ""); }, "Invalid XML: "},
        {"truncated package",
         [&](auto& m, auto& p) {
             m.package(p, {{"config.xml", good}, {"big.js", std::string(20000, 'j')}});
             fs::resize_file(m.prefix.host(p), fs::file_size(m.prefix.host(p)) / 2);
         },
         "Invalid XML: "},
        {"bad CRC",
         [&](auto& m, auto& p) {
             m.package(p, {ZipEntry("config.xml", good).asStored()});
             std::string bytes = testsupport::readHost(m.prefix.host(p));
             bytes[bytes.find("Good")] = 'g';
             std::ofstream(m.prefix.host(p), std::ios::binary | std::ios::trunc) << bytes;
         },
         "Invalid XML: "},
        {"inflates beyond its declared size",
         [](auto& m, auto& p) {
             m.package(p, {{"config.xml", std::string(30 * 1024 * 1024, ' ')}});
             testsupport::patchDeclaredSize(m.prefix.host(p), 2048);
         },
         "Invalid XML: "},
        {"declares more than the bound",
         [](auto& m, auto& p) {
             m.package(p, {{"config.xml", "<widget><name>Big</name>" + std::string(win::kUzpMaxEntrySize, ' ') +
                                              "</widget>"}});
         },
         "Invalid XML: "},
        {"encrypted", [&](auto& m, auto& p) { m.package(p, {ZipEntry("config.xml", good).withPassword("pw")}); },
         "Invalid XML: "},
        {"truncated XML", [&](auto& m, auto& p) { m.package(p, {{"config.xml", good.substr(0, good.size() / 2)}}); },
         "Invalid XML: "},
        {"not XML", [](auto& m, auto& p) { m.package(p, {{"config.xml", "{\"name\": \"json\"}"}}); },
         "Invalid XML: "},
        {"no widget", [](auto& m, auto& p) { m.package(p, {{"config.xml", "<gadget><name>G</name></gadget>"}}); },
         "Widget tag not found"},
        {"widget below the top", [](auto& m, auto& p) { m.package(p, {{"config.xml", "<r><widget/></r>"}}); },
         "Widget tag not found"},
        {"100,000 nested elements", [&](auto& m, auto& p) { m.package(p, {{"config.xml", nested}}); },
         "Invalid XML: "},
        {"external entity",
         [](auto& m, auto& p) {
             m.package(p, {{"config.xml", "<?xml version=\"1.0\"?>\n<!DOCTYPE widget [<!ENTITY s SYSTEM "
                                          "\"file:///C:/secret.txt\">]>\n<widget><name>&s;</name></widget>"}});
         },
         "Invalid XML: "},
    };
    OperaMachine m;
    m.prefix.writeFile("C:\\secret.txt", "TOP-SECRET");
    m.package(at32("a.oex"), {{"config.xml", named("A")}});
    m.package(at32("z.oex"), {{"config.xml", named("Z")}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        m.program.log->lines.clear();
        fs::remove(m.prefix.host(at32("m.oex")));
        c.make(m, at32("m.oex"));
        const auto before = m.outsideWorkFolder();
        winsys::resetUnzipCounters();
        const auto result = COperaExtEnum().EnumOperaExtensions(false);
        ASSERT_TRUE(result);
        EXPECT_EQ(names(result.get()), (Lines{"A", "Z"}));
        ASSERT_EQ(m.log().size(), 1u);
        const auto& line = m.log()[0];
        EXPECT_EQ(line.number, 0);
        EXPECT_EQ(line.severity, halvenlib::sevInternalError);
        EXPECT_EQ(line.source, "COperaExtEnum.ProcessConfigXml");
        const std::string prefix = std::string("W3CWidgetParser.Parse Failed. ") + c.cause;
        EXPECT_EQ(line.description.rfind(prefix, 0), 0u) << line.description;
        EXPECT_TRUE(line.description.ends_with(" ('" + at32("m.oex") + "')")) << line.description;
        if (prefix.ends_with(": ")) {
            EXPECT_GT(line.description.size(), prefix.size() + at32("m.oex").size() + 5) << "a reason is given";
        }
        EXPECT_EQ(line.description.find("TOP-SECRET"), std::string::npos);
        EXPECT_LE(winsys::unzipCounters().inflatedBytes, 1024u * 1024) << "nothing beyond the configurations";
        EXPECT_EQ(m.outsideWorkFolder(), before);
        EXPECT_FALSE(m.workFolderExists());
    }
}

TEST(OperaExtensions, HostileEntriesReadAndWriteNothingOutsideTheWorkFolder) {
    OperaMachine m;
    // Bait: configurations where escaping names or links would land or read.
    for (const char* bait : {"C:\\config.xml", "C:\\users\\tester\\AppData\\Local\\Vendrel Sorlix\\config.xml",
                             "C:\\users\\tester\\AppData\\Local\\Vendrel Sorlix\\Temp\\config.xml"})
        m.prefix.writeFile(bait, named("Bait"));
    m.package(at32("dots.oex"), {{"../config.xml", named("Dots")}});
    m.package(at32("deep-dots.oex"), {{"../../../../../../config.xml", named("Deep dots")}});
    m.package(at32("slash.oex"), {{"/config.xml", named("Slash")}});
    m.package(at32("backslash.oex"), {{"..\\config.xml", named("Backslash")}});
    m.package(at32("drive.oex"), {{"C:\\config.xml", named("Drive")}});
    m.package(at32("up.oex"), {{"a/../../config.xml", named("Up")}});
    m.package(at32("link.oex"), {ZipEntry("config.xml", "../../../../../../config.xml").asLink()});
    m.package(at32("link-then-file.oex"),
              {ZipEntry("config.xml", "../config.xml").asLink(), {"sub/config.xml", named("Behind a link")}});
    m.package(at32("huge-other.oex"),
              {{"media/big.bin", std::string(64 * 1024 * 1024, '\0')}, {"config.xml", named("Huge neighbour")}});
    const auto before = m.outsideWorkFolder();
    winsys::resetUnzipCounters();
    const auto result = COperaExtEnum().EnumOperaExtensions(false);
    ASSERT_TRUE(result);
    EXPECT_EQ(m.outsideWorkFolder(), before);
    EXPECT_LE(winsys::unzipCounters().inflatedBytes, 64u * 1024) << "the large neighbour is not inflated";
    const std::map<std::string, std::string> expected{{at32("deep-dots.oex"), "Deep dots"},
                                                      {at32("dots.oex"), "Dots"},
                                                      {at32("huge-other.oex"), "Huge neighbour"},
                                                      {at32("slash.oex"), "Slash"},
                                                      {at32("up.oex"), "Up"}};
    std::map<std::string, std::string> found;
    for (const auto& n : nodesOf(result.get())) found[param(n.get(), "dLL")] = param(n.get(), "originalName");
    EXPECT_EQ(found, expected);
    Lines failed;
    for (const auto& line : m.log()) {
        EXPECT_EQ(line.source, "COperaExtEnum.ProcessConfigXml") << line.description;
        failed.push_back(line.description.substr(line.description.rfind("('")));
    }
    std::sort(failed.begin(), failed.end());
    EXPECT_EQ(failed, (Lines{"('" + at32("backslash.oex") + "')", "('" + at32("drive.oex") + "')", "('" + at32("link-then-file.oex") + "')",
                             "('" + at32("link.oex") + "')"}));
    EXPECT_FALSE(m.workFolderExists());
}

TEST(OperaExtensions, ALeftOverConfigurationIsNeverReadAsAnotherPackages) {
    const std::string leftOver = std::string(kWork) + "\\config.xml";
    struct Case {
        const char* label;
        std::function<void(const OperaMachine&)> make;
    } cases[] = {
        // The start of the run cannot remove the folder while it holds a read-only file.
        {"read-only file", [&](auto& m) {
             m.prefix.writeFile(leftOver, named("Left over"));
             m.prefix.setReadOnly(leftOver);
         }},
        {"read-only upper case", [&](auto& m) {
             m.prefix.writeFile(std::string(kWork) + "\\CONFIG.XML", named("Left over"));
             m.prefix.setReadOnly(std::string(kWork) + "\\CONFIG.XML");
         }},
        {"beside a read-only file", [&](auto& m) {
             m.prefix.writeFile(leftOver, named("Left over"));
             m.prefix.writeFile(std::string(kWork) + "\\a-locked.txt", "x");
             m.prefix.setReadOnly(std::string(kWork) + "\\a-locked.txt");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        OperaMachine m;
        c.make(m);
        m.package(at32("a-none.oex"), {{"index.html", "<html/>"}});
        m.package(at32("b-good.oex"), {{"config.xml", named("Good")}});
        m.package(at32("c-none.oex"), {{"readme.txt", "no configuration"}});
        const auto result = COperaExtEnum().EnumOperaExtensions(false);
        ASSERT_TRUE(result);
        EXPECT_EQ(names(result.get()), Lines{"Good"});
        ASSERT_EQ(m.log().size(), 2u);
        EXPECT_TRUE(m.log()[0].description.ends_with("('" + at32("a-none.oex") + "')")) << m.log()[0].description;
        EXPECT_TRUE(m.log()[1].description.ends_with("('" + at32("c-none.oex") + "')")) << m.log()[1].description;
        for (const auto& line : m.log()) EXPECT_EQ(line.source, "COperaExtEnum.ProcessConfigXml");
    }
}

TEST(OperaExtensions, APackageFailsWhenTheLeftOverCannotBeRemoved) {
    OperaMachine m;
    // A folder named "config.xml" holding a read-only file stays.
    const std::string inner = std::string(kWork) + "\\config.xml\\locked.txt";
    m.prefix.writeFile(inner, named("Left over"));
    m.prefix.setReadOnly(inner);
    m.package(at32("a.oex"), {{"config.xml", named("A")}});
    const auto result = COperaExtEnum().EnumOperaExtensions(false);
    ASSERT_TRUE(result);
    EXPECT_TRUE(nodesOf(result.get()).empty());
    ASSERT_EQ(m.log().size(), 1u);
    EXPECT_EQ(m.log()[0].source, "COperaExtEnum.ProcessExtensionFile");
    EXPECT_EQ(m.log()[0].severity, halvenlib::sevError);
    EXPECT_NE(m.log()[0].description.find(std::string(kWork) + "\\config.xml"), std::string::npos)
        << m.log()[0].description;
    EXPECT_EQ(testsupport::readHost(m.prefix.host(inner)), named("Left over"));
}

TEST(OperaExtensions, The64BitRunReadsItsOwnFolderAndMarksItsRemovals) {
    OperaMachine m;
    m.package(at32("thirty-two.oex"), {{"config.xml", named("Thirty-two")}});
    m.package(at64("sixty-four.oex"), {{"config.xml", named("Sixty-four")}});
    struct Case {
        bool x64;
        std::string path, name;
    } cases[] = {{false, at32("thirty-two.oex"), "Thirty-two"}, {true, at64("sixty-four.oex"), "Sixty-four"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x64);
        const auto result = COperaExtEnum().EnumOperaExtensions(c.x64);
        EXPECT_EQ(sorlix::Wow64RedirectionCount, 0);
        ASSERT_TRUE(result);
        const auto nodes = nodesOf(result.get());
        ASSERT_EQ(nodes.size(), 1u);
        EXPECT_EQ(param(nodes[0].get(), "originalName"), c.name);
        EXPECT_EQ(removal(nodes[0].get(), "backupCfg"), Lines{"file " + c.path + (c.x64 ? " True" : " False")});
    }
    EXPECT_TRUE(m.log().empty());
}

TEST(OperaExtensions, AFailedRunGivesNoResultAndSwitchesRedirectionBack) {
    OperaMachine m;
    m.package(at32("a.oex"), {{"config.xml", named("A")}});
    // No work folder can be made without the temporary folder.
    sorlix::TempFolder.clear();
    for (bool x64 : {false, true}) {
        SCOPED_TRACE(x64);
        const auto before = m.outsideWorkFolder();
        EXPECT_FALSE(COperaExtEnum().EnumOperaExtensions(x64));
        EXPECT_EQ(sorlix::Wow64RedirectionCount, 0);
        EXPECT_EQ(m.outsideWorkFolder(), before);
    }
    ASSERT_EQ(m.log().size(), 2u);
    for (const auto& line : m.log()) {
        EXPECT_EQ(line.source, "COperaExtEnum.EnumOperaExtensions");
        EXPECT_EQ(line.severity, halvenlib::sevError);
    }
}

// The real packages, copied into the user's Opera folders.
void copyRealPackages(const testsupport::TestPrefix& prefix) {
    const fs::path real = fs::path(REAL_BROWSER_DATA) / "drive_c/users/root/AppData/Local/Opera";
    prefix.copyIn(real, "C:\\users\\tester\\AppData\\Local\\Opera");
}

TEST(OperaExtensions, RealPackages) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    OperaMachine m;
    copyRealPackages(m.prefix);
    const auto result32 = COperaExtEnum().EnumOperaExtensions(false);
    ASSERT_TRUE(result32);
    const auto nodes = byPath(result32.get());
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(dump(nodes[0].get()),
              (Rows{{"dLL", at32("google-adsense-monitor-12.16.oex")},
                    {"manufacturer", "M Shabeer Ali"},
                    {"description", "Preview your Adsense earnings in an Opera Speed Dial."},
                    {"license", "Licensed under GPL v3.0"},
                    {"originalName", "Google Adsense Monitor"},
                    {"updateInfoURL",
                     "https://extension-updates.opera.com/api/w3c-wd1/update/c2885050-a794-4440-b68a-f9b9a019496c/"},
                    {"backupCfg", "<object>"},
                    {"websearchName", "Google Adsense Monitor"}}));
    EXPECT_EQ(param(nodes[1].get(), "originalName"), "Sina Weibo For The World: A Social Web Experiment");
    // The text of an element: its outer white space trimmed.
    EXPECT_EQ(param(nodes[1].get(), "manufacturer"), "Rich Tibbett");
    EXPECT_EQ(param(nodes[1].get(), "updateInfoURL"), "<missing>");
    EXPECT_EQ(param(nodes[1].get(), "description").rfind("A social web experiment to connect", 0), 0u);
    EXPECT_TRUE(param(nodes[1].get(), "description").ends_with("to interact with the Chinese people."));

    const auto result64 = COperaExtEnum().EnumOperaExtensions(true);
    ASSERT_TRUE(result64);
    const auto nodes64 = nodesOf(result64.get());
    ASSERT_EQ(nodes64.size(), 1u);
    EXPECT_EQ(param(nodes64[0].get(), "originalName"), "Layers");
    EXPECT_EQ(param(nodes64[0].get(), "manufacturer"), "andreasbovens");
    EXPECT_EQ(removal(nodes64[0].get(), "backupCfg"), Lines{"file " + at64("layers-1.0.oex") + " True"});
    EXPECT_TRUE(m.log().empty());
    EXPECT_FALSE(m.workFolderExists());
}

const char* kLayersLicense = R"(Copyright 2011 andreasbovens

Licensed under the Apache License, Version 2.0 (the "License");
you may not use this file except in compliance with the License.
You may obtain a copy of the License at

    http://www.apache.org/licenses/LICENSE-2.0

Unless required by applicable law or agreed to in writing, software
distributed under the License is distributed on an "AS IS" BASIS,
WITHOUT WARRANTIES OR CONDITIONS OF ANY KIND, either express or implied.
See the License for the specific language governing permissions and
limitations under the License.)";

TEST(OperaExtensions, DetailsThroughTheCollection) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    OperaMachine m;
    copyRealPackages(m.prefix);
    m.package(at32("bare.oex"), {{"config.xml", named("Bare")}});
    struct Case {
        LONG type;
        std::map<std::string, Rows> details; // by display name
    } cases[] = {
        {21,
         {{"Bare", {{"Location", at32("bare.oex")}}},
          {"Google Adsense Monitor",
           {{"Location", at32("google-adsense-monitor-12.16.oex")},
            {"Manufacturer", "M Shabeer Ali"},
            {"License", "Licensed under GPL v3.0"}}},
          {"Sina Weibo For The World: A Social Web Experiment",
           {{"Location", at32("sina-weibo-ftw-0.1.oex")},
            {"Manufacturer", "Rich Tibbett"},
            {"License", "Licensed under the MIT license"}}}}},
        {23,
         {{"Layers",
           {{"Location", at64("layers-1.0.oex")}, {"Manufacturer", "andreasbovens"}, {"License", kLayersLicense}}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        sorlix::MInfoCollector::CollectAddonInfo(c.type);
        std::map<std::string, Rows> found;
        for (const auto& [name, id] : testsupport::listingRows(sorlix::DB->TypeObjects(c.type).get()))
            found[name] = collectiontest::detailsOf(id);
        EXPECT_EQ(found, c.details);
    }
    EXPECT_EQ(sorlix::Wow64RedirectionCount, 0);
    EXPECT_TRUE(m.log().empty());
}

} // namespace
