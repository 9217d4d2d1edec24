// Browser data written by a stranger, through the real extension
// enumerators of Chrome, Firefox, Safari and Opera on one test machine: an
// element of 100,000 attributes, a property list of 100,000 keys, 2,000
// extension folders, manifests just over and at the read bound, a sparse
// 4 GB install manifest, line comments holding "/*", folders where files
// are expected, empty folders where extensions are expected, manifests in
// UTF-16 and UTF-32 and packages with two entries of one name. Each gives its
// stated result and log lines, and the machine's other add-ons are all
// still listed.

#include "tests/app/enumerators/ie_fixture.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "app/core/msgbox.h"
#include "app/enumerators/cchromeextenumerator.h"
#include "app/enumerators/cmozillaextenum.h"
#include "app/enumerators/coperaextenum.h"
#include "app/enumerators/csafariextenum.h"
#include "app/enumerators/enumcalls.h"
#include "tests/support/zip_writer.h"

using namespace ietest;

namespace {

namespace fs = std::filesystem;

const std::string kChrome = "C:\\users\\tester\\AppData\\Local\\Google\\Chrome\\User Data\\Default\\Extensions";
const std::string kFirefox = "C:\\users\\tester\\AppData\\Roaming\\Mozilla\\Firefox\\Profiles\\t.default\\extensions";
const std::string kSafari = "C:\\users\\tester\\AppData\\Local\\Apple Computer\\Safari\\Extensions";
const std::string kOpera = "C:\\users\\tester\\AppData\\Local\\Opera\\Opera\\widgets";

std::string installRdf(const std::string& name, const std::string& extra = {}) {
    return "<?xml version=\"1.0\"?>\n<RDF xmlns=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
           "xmlns:em=\"http://www.mozilla.org/2004/em-rdf#\">\n<Description about=\"urn:mozilla:install-manifest\">"
           "<em:name>" + name + "</em:name>" + extra + "</Description>\n</RDF>\n";
}

std::string infoPlist(const std::string& name, const std::string& extra = {}) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
           "<key>CFBundleDisplayName</key><string>" + name + "</string>\n" + extra + "</dict>\n</plist>\n";
}

std::string widgetConfig(const std::string& name) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<widget xmlns=\"http://www.w3.org/ns/widgets\"><name>" + name +
           "</name></widget>\n";
}

std::string chromeManifest(const std::string& name) { return "{\"name\": \"" + name + "\", \"version\": \"1\"}"; }

// A package whose two top entries are both named `name`: written under two
// names of one length, the second then renamed in the file's bytes (libzip
// writes no such package itself).
void writeTwinPackage(const fs::path& file, const std::string& name, const std::string& first,
                      const std::string& second) {
    std::string twin = name;
    twin.back() = twin.back() == '#' ? '%' : '#';
    testsupport::writeZip(file, {testsupport::ZipEntry(name, first).asStored(),
                                 testsupport::ZipEntry(twin, second).asStored()});
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    for (std::size_t at = 0; (at = bytes.find(twin, at)) != std::string::npos; at += twin.size())
        bytes.replace(at, twin.size(), name);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::string logText(const std::vector<testsupport::LogLine>& lines) {
    std::string t;
    for (const auto& l : lines) t += l.source + ": " + l.description + "\n";
    return t;
}

struct HostileMachine : Machine {
    HostileMachine() {
        sorlix::SetMsgBoxHook([this](const std::string& prompt) { boxes.push_back(prompt); });
        chrome("good", chromeManifest("Good Chrome"));
        prefix.writeFile(kFirefox + "\\good@example.org\\install.rdf", installRdf("Good Firefox"));
        prefix.writeFile(kSafari + "\\Good.safariextension\\Info.plist", infoPlist("Good Safari"));
        fs::create_directories(prefix.host(kOpera));
        testsupport::writeZip(prefix.host(kOpera + "\\good.oex"), {{"config.xml", widgetConfig("Good Opera")}});
    }
    ~HostileMachine() { sorlix::SetMsgBoxHook(nullptr); }

    // Version folder "1.0_0" of extension `id`; answers the id's folder.
    std::string chrome(const std::string& id, const std::string& manifest) const {
        prefix.writeFile(kChrome + "\\" + id + "\\1.0_0\\manifest.json", manifest);
        return kChrome + "\\" + id;
    }

    // "<browser>: <name>" of every extension the four enumerators list.
    Lines listed() {
        Lines names;
        auto collect = [&](const char* browser, const ComPtr<_CNodes>& result) {
            ASSERT_TRUE(result) << browser << " failed";
            for (const auto& n : nodesOf(result.get())) names.push_back(browser + (": " + param(n.get(), "originalName")));
        };
        collect("Chrome", sorlix::CChromeExtEnumerator().EnumChromeExtensions());
        collect("Firefox", sorlix::CFFextEnumerator().EnumFirefoxExtensions());
        collect("Safari", sorlix::CSafariExtEnum().EnumSafariExtensions());
        collect("Opera", sorlix::COperaExtEnum().EnumOperaExtensions(false));
        std::sort(names.begin(), names.end());
        return names;
    }

    std::vector<std::string> boxes;
};

struct Row {
    const char* label;
    // Lays the input out; answers the Windows paths that take it away again.
    std::function<Lines(HostileMachine&)> lay;
    Lines listed;                 // listed besides the machine's own four
    std::vector<Lines> logLines;  // one entry per log line: texts it holds
};

const Lines kGood = {"Chrome: Good Chrome", "Firefox: Good Firefox", "Opera: Good Opera", "Safari: Good Safari"};

TEST(HostileInputs, EachCostsAtMostItsOwnExtension) {
    HostileMachine m;
    const std::string bigManifest = kChrome + "\\big\\1.0_0\\manifest.json";
    const std::string hugeRdf = kFirefox + "\\huge@example.org\\install.rdf";
    const std::string plistFolder = kSafari + "\\Odd.safariextension\\Info.plist";
    const std::string manifestFolder = kChrome + "\\odd\\1.0_0\\manifest.json";

    std::string attributes;
    for (int i = 0; i < 100000; ++i) attributes += " a" + std::to_string(i) + "=\"\"";
    std::string keys;
    for (int i = 0; i < 100000; ++i) keys += "<key>k" + std::to_string(i) + "</key><string/>\n";
    Lines many;
    for (int i = 0; i < 2000; ++i) many.push_back("Firefox: Many " + std::to_string(i));
    // A manifest padded with blanks to `size` bytes.
    auto padded = [](const std::string& name, std::size_t size) {
        std::string text = chromeManifest(name);
        return text + std::string(size - text.size(), ' ');
    };

    // An ASCII manifest in UTF-16 or UTF-32 of either byte order, its
    // byte-order mark first.
    auto encoded = [](const std::string& name, std::size_t unit, bool bigEndian) {
        std::string out;
        auto put = [&](char32_t c) {
            for (std::size_t b = 0; b < unit; ++b) {
                const std::size_t shift = 8 * (bigEndian ? unit - 1 - b : b);
                out += static_cast<char>((c >> shift) & 0xFF);
            }
        };
        put(0xFEFF);
        for (const char c : chromeManifest(name)) put(static_cast<unsigned char>(c));
        return out;
    };

    const Row rows[] = {
        {"an element of 100,000 attributes",
         [&](HostileMachine& h) {
             h.prefix.writeFile(kFirefox + "\\attrs@example.org\\install.rdf",
                                installRdf("Attributes", "<em:creator" + attributes + ">Maker</em:creator>"));
             return Lines{kFirefox + "\\attrs@example.org"};
         },
         {"Firefox: Attributes"}, {}},
        {"a property list of 100,000 keys",
         [&](HostileMachine& h) {
             h.prefix.writeFile(kSafari + "\\Keys.safariextension\\Info.plist", infoPlist("Keys", keys));
             return Lines{kSafari + "\\Keys.safariextension"};
         },
         {"Safari: Keys"}, {}},
        {"2,000 extension folders",
         [&](HostileMachine& h) {
             Lines paths;
             for (int i = 0; i < 2000; ++i) {
                 const std::string folder = kFirefox + "\\many" + std::to_string(i) + "@example.org";
                 h.prefix.writeFile(folder + "\\install.rdf", installRdf("Many " + std::to_string(i)));
                 paths.push_back(folder);
             }
             return paths;
         },
         many, {}},
        {"a manifest of 8 MiB and 1 byte",
         [&](HostileMachine& h) {
             return Lines{h.chrome("big", padded("Big", sorlix::Enum::kMaxInputFileBytes + 1))};
         },
         {},
         {{"CChromeExtEnumerator.ProcessManifestJson", "'" + bigManifest + "' is larger than 8 MiB"}}},
        {"a manifest of exactly 8 MiB",
         [&](HostileMachine& h) { return Lines{h.chrome("edge", padded("Edge", sorlix::Enum::kMaxInputFileBytes))}; },
         {"Chrome: Edge"}, {}},
        {"a sparse 4 GB install manifest",
         [&](HostileMachine& h) {
             h.prefix.writeFile(hugeRdf, installRdf("Huge"));
             fs::resize_file(h.prefix.host(hugeRdf), std::uintmax_t{4} << 30);
             return Lines{kFirefox + "\\huge@example.org"};
         },
         {},
         {{"CFFextEnumerator.EnumFirefoxExtensions", "Cannot enumerate extension: '" + kFirefox + "\\huge@example.org'",
           "'" + hugeRdf + "' is larger than 8 MiB"}}},
        {"a line comment holding \"/*\" before the manifest",
         [&](HostileMachine& h) { return Lines{h.chrome("lead", "// files: src/*.js\n" + chromeManifest("Lead"))}; },
         {"Chrome: Lead"}, {}},
        {"a line comment holding \"/*\" before the closing brace",
         [&](HostileMachine& h) { return Lines{h.chrome("tail", "{\"name\": \"Tail\" // x/*y\r\n}")}; },
         {"Chrome: Tail"}, {}},
        {"a folder named Info.plist",
         [&](HostileMachine& h) {
             h.prefix.makeDir(plistFolder);
             return Lines{kSafari + "\\Odd.safariextension"};
         },
         {},
         {{"CSafariExtEnum.EnumSafariExtensions", "'" + plistFolder + "'"}}},
        {"a folder named manifest.json",
         [&](HostileMachine& h) {
             h.prefix.makeDir(manifestFolder);
             return Lines{kChrome + "\\odd"};
         },
         {},
         {{"CChromeExtEnumerator.ProcessManifestJson", "'" + manifestFolder + "'"}}},
        {"an empty Firefox extension folder",
         [&](HostileMachine& h) {
             h.prefix.makeDir(kFirefox + "\\empty@example.org");
             return Lines{kFirefox + "\\empty@example.org"};
         },
         {},
         {{"Cannot enumerate extension: '" + kFirefox + "\\empty@example.org'. The folder has no install.rdf."}}},
        {"an empty Firefox profile",
         [&](HostileMachine& h) {
             const std::string profile = kFirefox.substr(0, kFirefox.rfind("\\t.default")) + "\\empty.default";
             h.prefix.makeDir(profile);
             return Lines{profile};
         },
         {}, {}},
        {"an empty Chrome version folder",
         [&](HostileMachine& h) {
             h.prefix.makeDir(kChrome + "\\empty\\1.0_0");
             return Lines{kChrome + "\\empty"};
         },
         {},
         {{"CChromeExtEnumerator.ProcessManifestJson", "'" + kChrome + "\\empty\\1.0_0\\manifest.json'"}}},
        {"a manifest in UTF-16LE", [&](HostileMachine& h) { return Lines{h.chrome("u16le", encoded("Wide", 2, false))}; },
         {}, {{"CChromeExtEnumerator.ProcessManifestJson", "'" + kChrome + "\\u16le\\1.0_0\\manifest.json'", "UTF-16LE"}}},
        {"a manifest in UTF-16BE", [&](HostileMachine& h) { return Lines{h.chrome("u16be", encoded("Wide", 2, true))}; },
         {}, {{"CChromeExtEnumerator.ProcessManifestJson", "'" + kChrome + "\\u16be\\1.0_0\\manifest.json'", "UTF-16BE"}}},
        {"a manifest in UTF-32LE", [&](HostileMachine& h) { return Lines{h.chrome("u32le", encoded("Wide", 4, false))}; },
         {}, {{"CChromeExtEnumerator.ProcessManifestJson", "'" + kChrome + "\\u32le\\1.0_0\\manifest.json'", "UTF-32LE"}}},
        {"a manifest in UTF-32BE", [&](HostileMachine& h) { return Lines{h.chrome("u32be", encoded("Wide", 4, true))}; },
         {}, {{"CChromeExtEnumerator.ProcessManifestJson", "'" + kChrome + "\\u32be\\1.0_0\\manifest.json'", "UTF-32BE"}}},
        {"a folder named install.rdf",
         [&](HostileMachine& h) {
             h.prefix.makeDir(kFirefox + "\\odd@example.org\\install.rdf");
             return Lines{kFirefox + "\\odd@example.org"};
         },
         {},
         {{"Cannot enumerate extension: '" + kFirefox + "\\odd@example.org'. Invalid XML"}}},
        {"an extension package with two install manifests at its top",
         [&](HostileMachine& h) {
             writeTwinPackage(h.prefix.host(kFirefox + "\\twin.xpi"), "install.rdf", installRdf("First"),
                              installRdf("Second"));
             return Lines{kFirefox + "\\twin.xpi"};
         },
         {"Firefox: First"}, {}},
        {"an Opera package with two configurations at its top",
         [&](HostileMachine& h) {
             writeTwinPackage(h.prefix.host(kOpera + "\\twin.oex"), "config.xml", widgetConfig("First"),
                              widgetConfig("Second"));
             return Lines{kOpera + "\\twin.oex"};
         },
         {"Opera: First"}, {}},
    };

    EXPECT_EQ(m.listed(), kGood);
    EXPECT_TRUE(m.log().empty()) << logText(m.log());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        m.program.log->lines.clear();
        const Lines laid = row.lay(m);

        Lines expected = kGood;
        expected.insert(expected.end(), row.listed.begin(), row.listed.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(m.listed(), expected);

        ASSERT_EQ(m.log().size(), row.logLines.size()) << logText(m.log());
        for (std::size_t i = 0; i < row.logLines.size(); ++i) {
            const std::string line = m.log()[i].source + " " + m.log()[i].description;
            for (const std::string& part : row.logLines[i]) EXPECT_NE(line.find(part), std::string::npos) << line;
        }
        EXPECT_TRUE(m.boxes.empty());
        for (const std::string& path : laid) fs::remove_all(m.prefix.host(path));
    }
}

} // namespace
