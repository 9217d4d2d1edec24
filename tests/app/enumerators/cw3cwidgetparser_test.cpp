// The widget configuration parser over texts held in the test: configurations
// shaped as Opera 11 and 12 packages carry them, the look-ups by local name
// and language, XML 1.1; the failures with their reasons (missing,
// truncated, without widget, external entity, deep nesting), fields emptied
// by every parse, and the real configurations of public extensions.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/core/globals.h"
#include "app/enumerators/cw3cwidgetparser.h"
#include "platform/com/object.h"
#include "tests/app/enumerators/opera_widget_config.h"
#include "tests/support/fake_log.h"
#include "tests/support/test_prefix.h"

namespace {

using sorlix::CW3CWidgetParser;
using Fields = std::vector<std::string>;

constexpr const char* kSentinel = "sentinel";

// Name, License, Author, AuthorURL, UpdateDescription, Description.
Fields fields(const CW3CWidgetParser& p) {
    return {p.Name, p.License, p.Author, p.AuthorURL, p.UpdateDescription, p.Description};
}

CW3CWidgetParser preset() {
    CW3CWidgetParser p;
    for (std::string* f : {&p.Name, &p.License, &p.Author, &p.AuthorURL, &p.UpdateDescription, &p.Description})
        *f = kSentinel;
    return p;
}

class WidgetParse : public ::testing::Test {
protected:
    WidgetParse() { sorlix::Log = winsys::com::ComPtr<halvenlib::_axLog>(log_.get()); }
    ~WidgetParse() override { sorlix::Log = nullptr; }
    const std::vector<testsupport::LogLine>& log() const { return log_->lines; }

private:
    winsys::com::ComPtr<testsupport::FakeLog> log_ = winsys::com::create<testsupport::FakeLog>();
};

const char* kOpera12 = R"(<?xml version='1.0' encoding='utf-8'?>
<!-- packed by the extension builder -->
<w:widget xmlns:w="http://www.w3.org/ns/widgets" version="12.16" viewmodes="minimized">
	<w:name short="Mon">Page Monitor</w:name>
	<w:author email="dev@example.org">
	   M. Dev
	</w:author>
	<w:update-description href="https://upd.example.org/x"/>
	<w:license>GPL <![CDATA[v3 & later]]></w:license>
	<w:description xml:lang="en">  Watches <b>pages</b> for changes.  </w:description>
	<w:access origin="http://example.org/" subdomains="true"/>
</w:widget>
)";

TEST_F(WidgetParse, ConfigurationsAsPackagesCarryThem) {
    struct Case {
        const char* label;
        std::string text;
        Fields expected;
    } cases[] = {
        {"Opera 11, W3C namespace", kOpera11Config,
         {"Sticky Notes", "MIT License", "Ada Example", "http://example.org/ada",
          "https://extension-updates.example.org/notes/", "Notes on every page."}},
        {"Opera 12, prefixed names, CDATA, trimmed outer white space", kOpera12,
         {"Page Monitor", "GPL v3 & later", "M. Dev", "", "https://upd.example.org/x", "Watches pages for changes."}},
        {"names in other case, HREF", "<WIDGET><NAME>N</NAME><Author HREF='h'>A</Author></WIDGET>",
         {"N", "", "A", "h", "", ""}},
        {"descriptions not exactly en",
         "<widget><description>none</description><description xml:lang='EN'>EN</description>"
         "<description xml:lang='en-US'>US</description></widget>",
         {"", "", "", "", "", ""}},
        {"XML 1.1, a '1.1' value kept",
         "<?xml version='1.1' encoding='utf-8'?><widget version='1.1'><name>V</name>"
         "<update-description href='1.1'/></widget>",
         {"V", "", "", "", "1.1", ""}},
        {"UTF-8 name", "<widget><name>\xC3\x9C" "bersetzer</name></widget>", {"\xC3\x9C" "bersetzer", "", "", "", "", ""}},
        {"empty widget", "<widget/>", {"", "", "", "", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CW3CWidgetParser p = preset();
        std::string cause = kSentinel;
        EXPECT_TRUE(p.ParseBytes(c.text, cause));
        EXPECT_EQ(cause, "");
        EXPECT_EQ(fields(p), c.expected);
    }
    EXPECT_TRUE(log().empty());
}

TEST_F(WidgetParse, FailuresGiveTheirReasonAndEmptyFields) {
    testsupport::TestPrefix prefix;
    prefix.writeFile("C:\\secret.txt", "TOP-SECRET");
    std::string deep = "<widget>";
    for (int i = 0; i < 100000; ++i) deep += "<name>";
    deep += "x";
    for (int i = 0; i < 100000; ++i) deep += "</name>";
    deep += "</widget>";
    const std::string good = kOpera11Config;
    struct Case {
        const char* label;
        std::string text;
        const char* cause; // "Invalid XML: " means that and a reason after it
    } cases[] = {
        {"empty", "", "Invalid XML: "},
        {"truncated", good.substr(0, good.size() / 2), "Invalid XML: "},
        {"no widget at the top", "<config><widget><name>N</name></widget></config>", "Widget tag not found"},
        {"external entity",
         "<!DOCTYPE widget [<!ENTITY s SYSTEM \"C:\\secret.txt\">]><widget><name>&s;</name></widget>",
         "Invalid XML: "},
        {"100,000 nested elements", deep, "Invalid XML: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CW3CWidgetParser p = preset();
        std::string cause = kSentinel;
        EXPECT_FALSE(p.ParseBytes(c.text, cause));
        if (std::string(c.cause) == "Invalid XML: ") {
            EXPECT_EQ(cause.rfind(c.cause, 0), 0u) << cause;
            EXPECT_GT(cause.size(), std::string(c.cause).size()) << "no reason";
        } else {
            EXPECT_EQ(cause, c.cause);
        }
        EXPECT_EQ(cause.find("TOP-SECRET"), std::string::npos);
        EXPECT_EQ(fields(p), Fields(6, ""));
    }
    EXPECT_TRUE(log().empty());
}

TEST_F(WidgetParse, ReadsFilesByPath) {
    testsupport::TestPrefix prefix;
    prefix.writeFile("C:\\w\\config.xml", kOpera11Config);
    CW3CWidgetParser p;
    std::string cause;
    EXPECT_TRUE(p.Parse("C:\\w\\config.xml", cause));
    EXPECT_EQ(p.Name, "Sticky Notes");

    EXPECT_FALSE(p.Parse("C:\\w\\missing.xml", cause));
    EXPECT_EQ(cause.rfind("Invalid XML: ", 0), 0u) << cause;
    EXPECT_GT(cause.size(), std::string("Invalid XML: ").size()) << "no reason";
    EXPECT_EQ(fields(p), Fields(6, ""));
}

} // namespace
