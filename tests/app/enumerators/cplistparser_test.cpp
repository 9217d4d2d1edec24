// The property-list parser over texts held in the test: a list as Safari's
// extension builder writes it, the conversion of each value kind, comments
// and processing instructions, encodings; the structures that give no
// dictionary with one log line and no box, and the documents that do not
// load, which show the box first; nesting at and beyond the DOM's bound.

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/core/globals.h"
#include "app/core/msgbox.h"
#include "app/enumerators/cplistparser.h"
#include "platform/com/object.h"
#include "tests/support/fake_log.h"
#include "tests/support/test_prefix.h"

namespace {

using sorlix::CPlistParser;
using sorlix::PlistArray;
using sorlix::PlistDict;
using sorlix::PlistValue;

std::string render(const PlistValue& value);

std::string render(const PlistDict& dict) {
    std::string s = "{";
    for (std::size_t i = 0; i < dict.size(); ++i)
        s += (i ? ", " : "") + dict.keyAt(i) + ": " + render(dict.valueAt(i));
    return s + "}";
}

// Texts quoted, numbers as %g, Booleans True/False, the empty value "empty".
std::string render(const PlistValue& value) {
    struct Visitor {
        std::string operator()(std::monostate) const { return "empty"; }
        std::string operator()(const std::string& s) const { return "\"" + s + "\""; }
        std::string operator()(double d) const {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%g", d);
            return buf;
        }
        std::string operator()(bool b) const { return b ? "True" : "False"; }
        std::string operator()(const PlistDict& d) const { return render(d); }
        std::string operator()(const PlistArray& a) const {
            std::string s = "[";
            for (std::size_t i = 0; i < a.size(); ++i) s += (i ? ", " : "") + render(a[i]);
            return s + "]";
        }
    };
    return std::visit(Visitor{}, value.v);
}

const std::string kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n";

std::string plist(const std::string& top) { return kHeader + "<plist version=\"1.0\">\n" + top + "\n</plist>\n"; }
std::string dict(const std::string& body) { return plist("<dict>" + body + "</dict>"); }

std::string nestedArrays(int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += "<array>";
    for (int i = 0; i < depth; ++i) s += "</array>";
    return s;
}

// The log and the boxes of one parse.
class PlistParse : public ::testing::Test {
protected:
    PlistParse() {
        sorlix::Log = winsys::com::ComPtr<halvenlib::_axLog>(log_.get());
        sorlix::SetMsgBoxHook([this](const std::string& prompt) { boxes.push_back(prompt); });
    }
    ~PlistParse() override {
        sorlix::SetMsgBoxHook(nullptr);
        sorlix::Log = nullptr;
    }

    // The rendered dictionary, or "none".
    std::string parse(std::string_view bytes) {
        log_->lines.clear();
        boxes.clear();
        const std::optional<PlistDict> d = CPlistParser().Parse(bytes);
        return d ? render(*d) : "none";
    }
    const std::vector<testsupport::LogLine>& log() const { return log_->lines; }

    std::vector<std::string> boxes;

private:
    winsys::com::ComPtr<testsupport::FakeLog> log_ = winsys::com::create<testsupport::FakeLog>();
};

TEST_F(PlistParse, ListAsTheExtensionBuilderWritesIt) {
    const std::string text = dict(R"(
	<key>Author</key>
	<string>Jürgen Übersetzer</string>
	<key>Builder Version</key>
	<integer>13604</integer>
	<key>CFBundleDisplayName</key>
	<string>Übersetzer &amp; Co</string>
	<key>Chrome</key>
	<dict>
		<key>Global Page</key>
		<string>global.html</string>
		<key>Toolbar Items</key>
		<array>
			<dict>
				<key>Identifier</key>
				<string>tb</string>
				<key>Include By Default</key>
				<true/>
			</dict>
		</array>
	</dict>
	<key>Content</key>
	<dict>
		<key>Scripts</key>
		<dict>
			<key>Start</key>
			<array>
				<string>a.js</string>
				<string>b.js</string>
			</array>
		</dict>
	</dict>
	<key>Icon Data</key>
	<data>iVBORw0KGgo=</data>
	<key>Installed</key>
	<date>2013-05-04T10:20:30Z</date>
	<key>Permissions</key>
	<dict>
		<key>Website Access</key>
		<dict>
			<key>Include Secure Pages</key>
			<false/>
			<key>Level</key>
			<string>Some</string>
		</dict>
	</dict>
	<key>Scale</key>
	<real>1.5e3</real>
	<key>Empty</key>
	<string></string>)");
    EXPECT_EQ(parse(text),
              "{Author: \"Jürgen Übersetzer\", Builder Version: 13604, CFBundleDisplayName: \"Übersetzer & Co\", "
              "Chrome: {Global Page: \"global.html\", Toolbar Items: [{Identifier: \"tb\", Include By Default: "
              "True}]}, Content: {Scripts: {Start: [\"a.js\", \"b.js\"]}}, Icon Data: \"iVBORw0KGgo=\", "
              "Installed: \"2013-05-04T10:20:30Z\", Permissions: {Website Access: {Include Secure Pages: False, "
              "Level: \"Some\"}}, Scale: 1500, Empty: \"\"}");
    EXPECT_TRUE(log().empty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(PlistParse, ValuesStructuresAndEncodings) {
    const std::string utf16 = [] {
        const std::string body = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><plist><dict><key>Author</key>"
                                 "<string>\xC3\x9C</string></dict></plist>";
        // UTF-16 LE with its byte-order mark; the one non-ASCII letter is U+00DC.
        std::string s = "\xFF\xFE";
        for (std::size_t i = 0; i < body.size(); ++i) {
            if (body.compare(i, 2, "\xC3\x9C") == 0) {
                s += std::string("\xDC\x00", 2);
                ++i;
            } else {
                s += body[i];
                s += '\0';
            }
        }
        return s;
    }();
    struct Case {
        const char* label;
        std::string text;
        const char* dictionary;
    } cases[] = {
        {"numbers", dict("<key>a</key><integer>42</integer><key>b</key><integer>abc</integer>"
                         "<key>c</key><integer>-7</integer><key>d</key><real> 2.5kg</real>"
                         "<key>e</key><integer>inf</integer><key>f</key><real>.5</real>"),
         "{a: 42, b: 0, c: -7, d: 2.5, e: 0, f: 0.5}"},
        {"empty dict", dict(""), "{}"},
        {"keys differing in case", dict("<key>Author</key><string>A</string><key>author</key><string>a</string>"),
         "{Author: \"A\", author: \"a\"}"},
        {"unknown element and element case", dict("<key>x</key><foo>1</foo><key>y</key><String>s</String>"),
         "{x: empty, y: empty}"},
        {"empty array", dict("<key>a</key><array/>"), "{a: []}"},
        {"comments and instructions passed over",
         kHeader + "<!-- before --><?pi x?><plist><!-- c --><dict><!-- c --><key>a</key><!-- c --><?pi y?>"
                   "<array><!-- c --><integer>1</integer><?pi z?><true/></array><!-- c --></dict></plist>"
                   "<!-- after the root -->",
         "{a: [1, True]}"},
        {"UTF-8 without declaration", "<plist><dict><key>Author</key><string>\xC3\x9C</string></dict></plist>",
         "{Author: \"\xC3\x9C\"}"},
        {"UTF-8 with byte-order mark",
         "\xEF\xBB\xBF<plist><dict><key>Author</key><string>\xC3\x9C</string></dict></plist>",
         "{Author: \"\xC3\x9C\"}"},
        {"UTF-16 with byte-order mark", utf16, "{Author: \"\xC3\x9C\"}"},
        {"declared ISO-8859-1",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><plist><dict><key>Author</key><string>\xDC</string>"
         "</dict></plist>",
         "{Author: \"\xC3\x9C\"}"},
        {"XML 1.1", "<?xml version=\"1.1\"?><plist><dict><key>v</key><string>1.1</string></dict></plist>",
         "{v: \"1.1\"}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(parse(c.text), c.dictionary);
        EXPECT_TRUE(log().empty());
        EXPECT_TRUE(boxes.empty());
    }
}

TEST_F(PlistParse, StructuresThatAreNoDictionaryLogWithoutABox) {
    struct Case {
        const char* label;
        std::string text;
    } cases[] = {
        {"top-level array", plist("<array><string>a</string></array>")},
        {"no plist element", kHeader + "<dict><key>a</key><string>b</string></dict>"},
        {"empty plist", plist("")},
        {"key without value", dict("<key>a</key><string>b</string><key>last</key>")},
        {"value without key", dict("<string>b</string>")},
        {"repeated key", dict("<key>a</key><string>1</string><key>a</key><string>2</string>")},
        {"repeated key in a nested dict", dict("<key>d</key><dict><key>k</key><true/><key>k</key><false/></dict>")},
        {"text among the pairs", dict("<key>a</key><string>b</string>stray")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(parse(c.text), "none");
        EXPECT_TRUE(boxes.empty());
        ASSERT_EQ(log().size(), 1u);
        EXPECT_EQ(log()[0].source, "CPlistParser.Parse");
        EXPECT_EQ(log()[0].severity, halvenlib::sevError);
        EXPECT_FALSE(log()[0].description.empty());
    }
}

// The head of a binary property list: magic, a one-entry dict, its objects.
constexpr char kBinaryPlist[] = "bplist00\xD1\x01\x02QaQb\x08\x0B\x0D\0\0\0\0\0\0\x01\x01";

TEST_F(PlistParse, DocumentsThatDoNotLoadShowTheBoxThenLog) {
    testsupport::TestPrefix prefix;
    prefix.writeFile("C:\\secret.txt", "TOP-SECRET");
    const std::string valid = dict("<key>a</key><string>b</string>");
    struct Case {
        const char* label;
        std::string text;
    } cases[] = {
        {"empty file", ""},
        {"truncated", valid.substr(0, valid.size() / 2)},
        {"binary property list", std::string(kBinaryPlist, sizeof kBinaryPlist - 1)},
        {"100,000 nested arrays", plist(nestedArrays(100000))},
        {"one level beyond the bound", plist("<dict><key>a</key>" + nestedArrays(511) + "</dict>")},
        {"external entity", kHeader.substr(0, kHeader.find('\n') + 1) +
                                "<!DOCTYPE plist [<!ENTITY s SYSTEM \"C:\\secret.txt\">]>"
                                "<plist><dict><key>a</key><string>&s;</string></dict></plist>"},
        {"undefined entity", dict("<key>a</key><string>&nbsp;</string>")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(parse(c.text), "none");
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].rfind("Parse Error line ", 0), 0u) << boxes[0];
        ASSERT_EQ(log().size(), 1u);
        EXPECT_EQ(log()[0].source, "CPlistParser.Parse");
        EXPECT_EQ(log()[0].severity, halvenlib::sevError);
        EXPECT_EQ(log()[0].description.find("TOP-SECRET"), std::string::npos);
    }
    // At the bound the list is read: plist, dict and 510 arrays.
    EXPECT_EQ(parse(plist("<dict><key>a</key>" + nestedArrays(510) + "</dict>")).substr(0, 8), "{a: [[[[");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(PlistParse, BoxNamesLinePositionReasonAndSourceLine) {
    parse("<plist>\n<dict>\n<key>a</key><string>b</strin>\n</dict>\n</plist>");
    ASSERT_EQ(boxes.size(), 1u);
    const std::string& box = boxes[0];
    EXPECT_EQ(box.rfind("Parse Error line 3, character ", 0), 0u) << box;
    const std::size_t reason = box.find("\r\n\r\n");
    ASSERT_NE(reason, std::string::npos) << box;
    const std::size_t source = box.find("\r\n", reason + 4);
    ASSERT_NE(source, std::string::npos) << box;
    EXPECT_GT(source, reason + 4) << "no reason: " << box;
    EXPECT_EQ(box.substr(source + 2), "<key>a</key><string>b</strin>");
}

} // namespace
