#include "app/enumerators/crdfparser.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/test_prefix.h"
#include "tests/support/real_browser_data.h"

using sorlix::CRDFParser;

namespace {

constexpr const char* kRealData = REAL_BROWSER_DATA "/drive_c";

std::string manifest(const std::string& description) {
    return "<?xml version=\"1.0\"?>\n<RDF xmlns=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
           "xmlns:em=\"http://www.mozilla.org/2004/em-rdf#\">\n" +
           description + "\n</RDF>\n";
}

constexpr const char* kSevenFields = "<Description about=\"urn:mozilla:install-manifest\">\n"
                                     "  <em:creator>Maker</em:creator>\n"
                                     "  <em:contributor>Helper</em:contributor>\n"
                                     "  <em:contributor>Second helper</em:contributor>\n"
                                     "  <em:description>Does things</em:description>\n"
                                     "  <em:homepageURL>http://home.example/</em:homepageURL>\n"
                                     "  <em:name>Thing</em:name>\n"
                                     "  <em:id>thing@example</em:id>\n"
                                     "  <em:updateURL>http://not-read.example/</em:updateURL>\n"
                                     "  <em:updateInfoURL>http://info.example/</em:updateInfoURL>\n"
                                     "</Description>";

std::string utf16le(const std::string& ascii) {
    std::string s = "\xFF\xFE";
    for (char c : ascii) {
        s += c;
        s += '\0';
    }
    return s;
}

struct Fields {
    std::string Creator, Contributor, Description, HomepageURL, Name, id, UpdateinfoURL;
};
Fields fieldsOf(const CRDFParser& p) {
    return {p.Creator, p.Contributor, p.Description, p.HomepageURL, p.Name, p.id, p.UpdateinfoURL};
}
bool operator==(const Fields& a, const Fields& b) {
    return a.Creator == b.Creator && a.Contributor == b.Contributor && a.Description == b.Description &&
           a.HomepageURL == b.HomepageURL && a.Name == b.Name && a.id == b.id && a.UpdateinfoURL == b.UpdateinfoURL;
}
std::ostream& operator<<(std::ostream& o, const Fields& f) {
    return o << "{" << f.Creator << "|" << f.Contributor << "|" << f.Description << "|" << f.HomepageURL << "|"
             << f.Name << "|" << f.id << "|" << f.UpdateinfoURL << "}";
}

struct Case {
    const char* label;
    std::string content; // written to C:\m\install.rdf; "<missing>" writes nothing
    bool ok;
    const char* reason;
    Fields fields;
};

TEST(CRDFParser, ReadsTheSevenFieldsOfTheFirstDescription) {
    const Fields seven{"Maker", "Helper", "Does things", "http://home.example/", "Thing", "thing@example",
                       "http://info.example/"};
    const std::vector<Case> cases = {
        {"element form", manifest(kSevenFields), true, "", seven},
        {"other prefix and case",
         "<r:rdf xmlns:r='urn:r' xmlns:x='urn:x'><r:DESCRIPTION><x:NAME>Thing</x:NAME><CREATOR>Maker</CREATOR>"
         "<x:HomePageUrl>h</x:HomePageUrl></r:DESCRIPTION></r:rdf>",
         true, "", {"Maker", "", "", "h", "Thing", "", ""}},
        {"attribute form",
         manifest("<Description about='urn:mozilla:install-manifest' em:name='Thing' em:id='thing@example' "
                  "em:creator='Maker'/>"),
         true, "", {}},
        {"localized and target application first",
         manifest("<Description><em:localized><Description><em:name>Ding</em:name><em:locale>de</em:locale>"
                  "</Description></em:localized><em:targetApplication><Description><em:id>{app}</em:id>"
                  "</Description></em:targetApplication><em:id>thing@example</em:id><em:name>Thing</em:name>"
                  "</Description>"),
         true, "", {"", "", "", "", "Thing", "thing@example", ""}},
        {"only localized names",
         manifest("<Description><em:id>x@y</em:id><em:localized><Description><em:name>Ding</em:name>"
                  "</Description></em:localized></Description>"),
         true, "", {"", "", "", "", "", "x@y", ""}},
        {"CDATA and references, outer white space trimmed",
         manifest("<Description><em:name>\n  <![CDATA[A <b>]]> &amp; C  \n</em:name></Description>"), true, "",
         {"", "", "", "", "A <b> & C", "", ""}},
        {"second Description not read",
         manifest("<Description><em:id>first</em:id></Description><Description><em:name>n</em:name></Description>"),
         true, "", {"", "", "", "", "", "first", ""}},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + manifest("<Description><em:name>\xC3\x9C</em:name></Description>"), true,
         "", {"", "", "", "", "\xC3\x9C", "", ""}},
        {"UTF-16 with BOM", utf16le(manifest("<Description><em:name>Wide</em:name></Description>")), true, "",
         {"", "", "", "", "Wide", "", ""}},
        {"empty file", "", false, "Invalid XML", {}},
        {"missing file", "<missing>", false, "The folder has no install.rdf.", {}},
        {"not XML", "name=Thing\n", false, "Invalid XML", {}},
        {"truncated", manifest(kSevenFields).substr(0, 200), false, "Invalid XML", {}},
        {"external entity",
         "<!DOCTYPE RDF [<!ENTITY e SYSTEM \"C:\\secret.txt\">]>" + manifest("<Description><em:name>&e;</em:name>"
                                                                               "</Description>"),
         false, "Invalid XML", {}},
        {"no RDF", "<Description><em:name xmlns:em='urn:em'>n</em:name></Description>", false, "RDF tag not found",
         {}},
        {"no Description", manifest("<em:name>n</em:name>"), false, "Description tag not found", {}},
    };
    testsupport::TestPrefix prefix;
    prefix.writeFile("C:\\secret.txt", "SECRET");
    CRDFParser parser; // one parser for every file, as the enumerators use it
    prefix.writeFile("C:\\full.rdf", manifest(kSevenFields));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string reason = "sentinel";
        // Each case starts from full fields, so a failure must clear them.
        ASSERT_TRUE(parser.Parse("C:\\full.rdf", reason));
        std::filesystem::remove(prefix.host("C:\\m\\install.rdf"));
        if (c.content != "<missing>") prefix.writeFile("C:\\m\\install.rdf", c.content);
        reason = "sentinel";
        EXPECT_EQ(parser.Parse("C:\\m\\install.rdf", reason), c.ok);
        EXPECT_EQ(reason, c.reason);
        EXPECT_EQ(fieldsOf(parser), c.fields);
    }
}

TEST(CRDFParser, ReadsRealManifests) {
    SKIP_WITHOUT_REAL_BROWSER_DATA();
    testsupport::TestPrefix prefix;
    struct Real {
        const char* file;
        const char* name;
        const char* id;
        const char* creator;
    } real[] = {
        {"users/root/AppData/Roaming/Mozilla/Firefox/Profiles/k3x9wq2m.default/extensions/"
         "{e4a8a97b-f2ed-450b-b12d-ee082ba24781}/install.rdf",
         "Greasemonkey", "{e4a8a97b-f2ed-450b-b12d-ee082ba24781}", "Aaron Boodman; http://youngpup.net/"},
        {"Program Files/AVIM/{2B8EFF80-1240-11DB-BF6C-934CD2EFDFE8}/install.rdf", nullptr,
         "{2B8EFF80-1240-11DB-BF6C-934CD2EFDFE8}", nullptr},
        {"Program Files/Waterfox/extensions/{45d8ff86-d909-11db-9705-005056c00008}/install.rdf", nullptr,
         "{45d8ff86-d909-11db-9705-005056c00008}", nullptr},
        {"Program Files (x86)/Organize Search Engines/ose@baton34dev/install.rdf", nullptr, "ose@baton34dev", nullptr},
        {"users/root/AppData/Roaming/Google Reader Watcher/grwatcher@ajnasz.hu/install.rdf", nullptr,
         "grwatcher@ajnasz.hu", nullptr},
    };
    CRDFParser parser;
    for (const Real& r : real) {
        SCOPED_TRACE(r.file);
        const std::filesystem::path source = std::filesystem::path(kRealData) / r.file;
        std::ifstream in(source, std::ios::binary);
        ASSERT_TRUE(in) << source;
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        prefix.writeFile("C:\\real\\install.rdf", bytes);
        std::string reason;
        ASSERT_TRUE(parser.Parse("C:\\real\\install.rdf", reason)) << reason;
        EXPECT_EQ(parser.id, r.id);
        if (r.name) {
            EXPECT_EQ(parser.Name, r.name);
        }
        if (r.creator) {
            EXPECT_EQ(parser.Creator, r.creator);
        }
    }
}

} // namespace
