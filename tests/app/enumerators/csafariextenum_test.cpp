// The Safari extension enumerator on test prefixes: records and removal
// records as the property lists give them (keys matched exactly, values of
// every kind, dicts and arrays left out, the search-name fallbacks), the
// entries that are skipped, each kind of unreadable list costing only its
// own extension with one log line naming it, the real lists of public
// extensions, and the details rows the collection builds from the records.

#include "tests/app/enumerators/ie_fixture.h"

#include <algorithm>
#include <filesystem>

#include "app/core/minfocollector.h"
#include "app/core/mmain.h"
#include "app/core/msgbox.h"
#include "app/enumerators/csafariextenum.h"
#include "tests/app/collection/collection_support.h"
#include "tests/support/records.h"
#include "tests/support/real_browser_data.h"

using namespace ietest;
using sorlix::CSafariExtEnum;

namespace {

constexpr const char* kExtensions = "C:\\users\\tester\\AppData\\Local\\Apple Computer\\Safari\\Extensions";

std::string plist(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n" +
           body + "\n</dict>\n</plist>\n";
}

std::string folder(const std::string& name) { return std::string(kExtensions) + "\\" + name; }

// A test machine whose message boxes are recorded.
struct SafariMachine : Machine {
    SafariMachine() {
        sorlix::SetMsgBoxHook([this](const std::string& prompt) { boxes.push_back(prompt); });
    }
    ~SafariMachine() { sorlix::SetMsgBoxHook(nullptr); }
    void extension(const std::string& name, const std::string& infoPlist) const {
        prefix.writeFile(folder(name) + "\\Info.plist", infoPlist);
    }
    std::vector<std::string> boxes;
};

// The result's nodes ordered by their folder.
std::vector<ComPtr<_CNode>> byFolder(_CNodes* result) {
    auto nodes = nodesOf(result);
    std::sort(nodes.begin(), nodes.end(),
              [](const auto& a, const auto& b) { return param(a.get(), "dLL") < param(b.get(), "dLL"); });
    return nodes;
}

TEST(SafariExtensions, RecordsFromTheirPropertyLists) {
    SafariMachine m;
    m.extension("Full.safariextension", plist(R"(
	<key>Author</key><string>Ada Example</string>
	<key>CFBundleDisplayName</key><string>Übersetzer</string>
	<key>CFBundleIdentifier</key><string>org.example.full</string>
	<key>CFBundleVersion</key><string>3</string>
	<key>Chrome</key><dict><key>Global Page</key><string>global.html</string></dict>
	<key>Description</key><string>Translates pages</string>
	<key>Update Manifest URL</key><string>https://example.org/update.plist</string>
	<key>Website</key><string>https://example.org/</string>)"));
    m.extension("IdOnly.safariextension", plist("<key>CFBundleIdentifier</key><string>org.example.id</string>"));
    m.extension("Kinds.safariextension", plist(R"(
	<key>Author</key><string></string>
	<key>author</key><string>lower case is another key</string>
	<key>CFBundleDisplayName</key><integer>42</integer>
	<key>CFBundleIdentifier</key><true/>
	<key>Description</key><dict><key>en</key><string>a dict is left out</string></dict>
	<key>Website</key><array><string>an array too</string></array>
	<key>Update Manifest URL</key><unknown/>)"));
    m.extension("Empty.safariextension", plist("<key>CFBundleDisplayName</key><string></string>"
                                               "<key>Description</key><string>Only a description</string>"));
    const std::string backup = " False";
    const auto result = CSafariExtEnum().EnumSafariExtensions();
    ASSERT_TRUE(result);
    const auto nodes = byFolder(result.get());
    ASSERT_EQ(nodes.size(), 4u);
    const Rows expected[] = {
        {{"dLL", folder("Empty.safariextension")}, {"originalName", ""}, {"description", "Only a description"},
         {"websearchName", "Only a description"}, {"backupCfg", "<object>"}},
        {{"dLL", folder("Full.safariextension")}, {"manufacturer", "Ada Example"}, {"originalName", "Übersetzer"},
         {"iD", "org.example.full"}, {"description", "Translates pages"},
         {"updateInfoURL", "https://example.org/update.plist"}, {"homepageURL", "https://example.org/"},
         {"websearchName", "Übersetzer"}, {"backupCfg", "<object>"}},
        {{"dLL", folder("IdOnly.safariextension")}, {"iD", "org.example.id"}, {"websearchName", "org.example.id"},
         {"backupCfg", "<object>"}},
        {{"dLL", folder("Kinds.safariextension")}, {"manufacturer", ""}, {"originalName", "42"}, {"iD", "True"},
         {"updateInfoURL", ""}, {"websearchName", "42"}, {"backupCfg", "<object>"}},
    };
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        SCOPED_TRACE(expected[i][0].second);
        EXPECT_EQ(dump(nodes[i].get()), expected[i]);
        EXPECT_EQ(removal(nodes[i].get(), "backupCfg"), Lines{"file " + expected[i][0].second + backup});
    }
    // Numbers and Booleans keep their kind.
    EXPECT_EQ(value(nodes[3].get(), "originalName").vt, win::VT_R8);
    EXPECT_EQ(value(nodes[3].get(), "iD").vt, win::VT_BOOL);
    EXPECT_TRUE(m.log().empty());
    EXPECT_TRUE(m.boxes.empty());
}

TEST(SafariExtensions, EntriesWithoutAPropertyListAreSkipped) {
    SafariMachine m;
    m.prefix.writeFile(std::string(kExtensions) + "\\Extensions.plist", plist(""));
    m.prefix.makeDir(folder("NoInfo.safariextension"));
    m.prefix.writeFile(folder("NoInfo.safariextension") + "\\Settings.plist", plist(""));
    m.extension("Good.safariextension", plist("<key>CFBundleDisplayName</key><string>Good</string>"));
    const auto result = CSafariExtEnum().EnumSafariExtensions();
    ASSERT_TRUE(result);
    EXPECT_EQ(dump(nodesOf(result.get()).at(0).get()).at(0), (std::pair<std::string, std::string>{
                                                                  "dLL", folder("Good.safariextension")}));
    EXPECT_EQ(nodesOf(result.get()).size(), 1u);
    EXPECT_TRUE(m.log().empty());
}

TEST(SafariExtensions, NoExtensionsFolderIsAnEmptyResult) {
    SafariMachine m;
    const auto result = CSafariExtEnum().EnumSafariExtensions();
    ASSERT_TRUE(result);
    EXPECT_TRUE(nodesOf(result.get()).empty());
    EXPECT_TRUE(m.log().empty());
}

// The nesting a stranger's list may hold far beyond the DOM's bound.
std::string nestedArrays(int depth) {
    std::string t;
    for (int i = 0; i < depth; ++i) t += "<array>";
    for (int i = 0; i < depth; ++i) t += "</array>";
    return t;
}

TEST(SafariExtensions, EachUnreadableListCostsOnlyItsOwnExtension) {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    struct Case {
        const char* label;
        std::string text;
        bool box;    // the parser's message box: the document does not load
        bool listed; // the list is read after all: "M" among the extensions
    } cases[] = {
        {"truncated", plist("<key>a</key><string>b</string>").substr(0, 90), true, false},
        {"binary property list", std::string("bplist00\xD1\x01\x02QaQb\x08\x0B\x0D\0\0\0\0\0\0\x01\x01", 24), true,
         false},
        {"empty file", "", true, false},
        {"external entity",
         head + "<!DOCTYPE plist [<!ENTITY s SYSTEM \"C:\\windows\\win.ini\">]>"
                "<plist><dict><key>CFBundleDisplayName</key><string>&s;</string></dict></plist>",
         true, false},
        {"undefined entity", plist("<key>CFBundleDisplayName</key><string>&nbsp;</string>"), true, false},
        {"100,000 nested arrays", plist("<key>a</key>" + nestedArrays(100000)), true, false},
        {"top-level array", "<plist><array/></plist>", false, false},
        {"a key without a value", plist("<key>CFBundleDisplayName</key>"), false, false},
        {"a repeated key", plist("<key>a</key><string>1</string><key>a</key><string>2</string>"), false, false},
        {"no plist element", head + "<dict/>", false, false},
        // A DTD is passed over unread, its entities never defined.
        {"a DOCTYPE with an internal subset and a parameter entity",
         head + "<!DOCTYPE plist [<!ENTITY % p SYSTEM \"C:\\windows\\win.ini\"> %p; <!ELEMENT plist ANY>]>"
                "<plist><dict><key>CFBundleDisplayName</key><string>M</string></dict></plist>",
         false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SafariMachine m;
        m.extension("A.safariextension", plist("<key>CFBundleDisplayName</key><string>A</string>"));
        m.extension("M.safariextension", c.text);
        m.extension("Z.safariextension", plist("<key>CFBundleDisplayName</key><string>Z</string>"));
        const auto result = CSafariExtEnum().EnumSafariExtensions();
        ASSERT_TRUE(result);
        std::vector<std::string> names;
        for (const auto& n : byFolder(result.get())) names.push_back(param(n.get(), "originalName"));
        const std::vector<std::string> expected = c.listed ? std::vector<std::string>{"A", "M", "Z"}
                                                           : std::vector<std::string>{"A", "Z"};
        EXPECT_EQ(names, expected);
        EXPECT_EQ(m.boxes.size(), c.box ? 1u : 0u);
        if (c.listed) {
            EXPECT_TRUE(m.log().empty());
            continue;
        }
        ASSERT_EQ(m.log().size(), 1u);
        EXPECT_EQ(m.log()[0].source, "CPlistParser.Parse");
        EXPECT_EQ(m.log()[0].severity, halvenlib::sevError);
        EXPECT_NE(m.log()[0].description.find("('" + folder("M.safariextension") + "\\Info.plist')"),
                  std::string::npos)
            << m.log()[0].description;
    }
}

// The real lists, copied into the user's Extensions folder.
void copyRealExtensions(const testsupport::TestPrefix& prefix) {
    namespace fs = std::filesystem;
    const fs::path real = fs::path(REAL_BROWSER_DATA) / "drive_c/users/root/AppData/Local/Apple Computer/Safari/Extensions";
    prefix.copyIn(real, kExtensions);
}

TEST(SafariExtensions, RealPropertyLists) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    SafariMachine m;
    copyRealExtensions(m.prefix);
    const auto result = CSafariExtEnum().EnumSafariExtensions();
    ASSERT_TRUE(result);
    const auto nodes = byFolder(result.get());
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(dump(nodes[0].get()),
              (Rows{{"dLL", folder("ClickToFlash.safariextension")},
                    {"manufacturer", "Matt Ball"},
                    {"originalName", "ClickToFlash"},
                    {"iD", "com.mattball.safari.clicktoflash"},
                    {"description", "Blocks Flash content until you want it"},
                    {"updateInfoURL", "http://github.com/mattball/ClickToFlash-safari-extension/raw/master/version.plist"},
                    {"homepageURL", "http://github.com/mattball/ClickToFlash-safari-extension"},
                    {"websearchName", "ClickToFlash"},
                    {"backupCfg", "<object>"}}));
    EXPECT_EQ(param(nodes[1].get(), "originalName"), "Vimmy");
    EXPECT_EQ(param(nodes[1].get(), "manufacturer"), "George Gritsouk");
    EXPECT_EQ(param(nodes[2].get(), "originalName"), "SSL Everywhere");
    EXPECT_EQ(param(nodes[2].get(), "updateInfoURL"), "<missing>");
    EXPECT_TRUE(m.log().empty());
}

TEST(SafariExtensions, DetailsThroughTheCollection) {
    SafariMachine m;
    m.extension("Full.safariextension",
                plist("<key>Author</key><string>Ada</string><key>CFBundleDisplayName</key><string>Full</string>"
                      "<key>CFBundleIdentifier</key><string>org.example.full</string>"
                      "<key>Update Manifest URL</key><string>https://example.org/u</string>"
                      "<key>Website</key><string>https://example.org/</string>"));
    m.extension("Bare.safariextension", plist("<key>CFBundleDisplayName</key><string>Bare</string>"));
    sorlix::MInfoCollector::CollectAddonInfo(19);
    const auto listing = testsupport::listingRows(sorlix::DB->TypeObjects(19).get());
    ASSERT_EQ(listing.size(), 2u);
    EXPECT_EQ(listing[0].first, "Bare");
    EXPECT_EQ(listing[1].first, "Full");
    EXPECT_EQ(collectiontest::detailsOf(listing[1].second),
              (Rows{{"Location", folder("Full.safariextension")},
                    {"Manufacturer", "Ada"},
                    {"Id", "org.example.full"},
                    {"Homepage", "https://example.org/"},
                    {"Update Info", "https://example.org/u"}}));
    EXPECT_EQ(collectiontest::detailsOf(listing[0].second),
              (Rows{{"Location", folder("Bare.safariextension")}}));
    EXPECT_TRUE(m.log().empty());
}

} // namespace
