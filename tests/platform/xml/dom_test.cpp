#include "platform/xml/dom.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <string>
#include <vector>

#include "tests/support/test_prefix.h"

using namespace winsys::xml;

namespace {

std::string nested(int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += "<a>";
    for (int i = 0; i < depth; ++i) s += "</a>";
    return s;
}

// Ten levels of ten references each: 10^10 characters if it were expanded.
std::string entityBomb() {
    std::string s = "<?xml version=\"1.0\"?>\n<!DOCTYPE bomb [\n<!ENTITY l0 \"lol\">\n";
    for (int i = 1; i <= 10; ++i) {
        s += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) s += "&l" + std::to_string(i - 1) + ";";
        s += "\">\n";
    }
    return s + "]>\n<bomb>&l10;</bomb>\n";
}

std::string bytes(std::initializer_list<int> b) {
    std::string s;
    for (int c : b) s += static_cast<char>(c);
    return s;
}

std::string utf16(std::string_view ascii, bool bigEndian, bool bom) {
    std::string s = bom ? (bigEndian ? bytes({0xFE, 0xFF}) : bytes({0xFF, 0xFE})) : "";
    for (char c : ascii) {
        if (bigEndian) s += '\0';
        s += c;
        if (!bigEndian) s += '\0';
    }
    return s;
}

struct LoadCase {
    const char* label;
    std::string text;
    win::LONG code; // 0: loads
};

// An element with `count` attributes a0, a1, ..., and `last` after them.
std::string manyAttributes(int count, const std::string& last) {
    std::string t = "<r";
    for (int i = 0; i < count; ++i) t += " a" + std::to_string(i) + "=\"\"";
    return t + " " + last + "=\"\"/>";
}

TEST(XmlDom, LoadsOnlyWellFormedSelfContainedDocuments) {
    const std::vector<LoadCase> cases = {
        {"plain", "<r><a/></r>", 0},
        {"declaration 1.1 read as it is", "<?xml version=\"1.1\"?><r/>", 0},
        {"DOCTYPE with public id passed over",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE plist PUBLIC \"-//X//DTD PLIST 1.0//EN\" "
         "\"http://example.invalid/x.dtd\">\n<plist/>",
         0},
        {"DOCTYPE with internal subset passed over", "<!DOCTYPE r [<!ELEMENT r ANY><!ATTLIST r a CDATA #IMPLIED>]><r/>",
         0},
        {"predefined and character references", "<r a=\"&quot;&#x41;\">&lt;&amp;&gt;&apos;&#233;</r>", 0},
        {"external entity", "<!DOCTYPE r [<!ENTITY x SYSTEM \"C:\\secret.txt\">]><r>&x;</r>", kErrorEntity},
        {"internal entity", "<!DOCTYPE r [<!ENTITY x \"y\">]><r>&x;</r>", kErrorEntity},
        {"entity in an attribute", "<!DOCTYPE r [<!ENTITY x \"y\">]><r a=\"&x;\"/>", kErrorEntity},
        {"entity bomb", entityBomb(), kErrorEntity},
        {"bare ampersand", "<r>a & b</r>", kErrorEntity},
        {"character reference to NUL", "<r>&#0;</r>", kErrorEntity},
        {"character reference not a number", "<r>&#xZZ;</r>", kErrorEntity},
        {"empty", "", kErrorNoDocument},
        {"only a comment", "<!-- c -->", kErrorNoDocument},
        {"two roots", "<a/><b/>", kErrorNoDocument},
        {"truncated", "<r><a>text", kErrorSyntax},
        {"mismatched end", "<r></q>", kErrorSyntax},
        {"duplicate attribute", "<r a=\"1\" a=\"2\"/>", kErrorSyntax},
        {"16 attributes and one more", manyAttributes(16, "b"), 0},
        {"16 attributes and a repeat", manyAttributes(16, "a15"), kErrorSyntax},
        {"100,000 attributes", manyAttributes(100000, "b"), 0},
        {"100,000 attributes and a repeat of the first", manyAttributes(100000, "a0"), kErrorSyntax},
        {"not XML", "{\"name\": 1}", kErrorNoDocument},
        {"binary", bytes({0x62, 0x70, 0x6C, 0x69, 0x73, 0x74, 0x30, 0x30, 0xD1, 0x01}), kErrorEncoding},
        {"512 levels", nested(512), 0},
        {"513 levels", nested(513), kErrorDepth},
        {"200000 levels", nested(200000), kErrorDepth},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.label);
        Document doc;
        EXPECT_EQ(doc.loadXML(c.text), c.code == 0);
        EXPECT_EQ(doc.parseError().errorCode, c.code) << doc.parseError().reason;
        EXPECT_EQ(static_cast<bool>(doc.lastChild()), c.code == 0);
        if (c.code != 0) {
            EXPECT_FALSE(doc.parseError().reason.empty());
        }
    }
}

TEST(XmlDom, ExpandsReferencesOnce) {
    Document doc;
    ASSERT_TRUE(doc.loadXML("<r a=\"&quot;&#x41;&amp;lt;\">&lt;&amp;&gt;&apos;&#233;&amp;amp;</r>"));
    const Node r = doc.documentElement();
    EXPECT_EQ(r.text(), "<&>'\xC3\xA9&amp;");
    ASSERT_EQ(r.attributes().size(), 1u);
    EXPECT_EQ(r.attributes()[0].value, "\"A&lt;");
}

TEST(XmlDom, EntityBombFailsWithSmallMemory) {
    const std::size_t before = mallinfo2().uordblks;
    Document doc;
    EXPECT_FALSE(doc.loadXML(entityBomb()));
    EXPECT_LT(mallinfo2().uordblks, before + (1u << 20));
    EXPECT_NE(doc.parseError().reason.find("l10"), std::string::npos) << doc.parseError().reason;
}

struct DecodeCase {
    const char* label;
    std::string bytes;
    const char* text; // of the root; nullptr: the load fails on the encoding
};

TEST(XmlDom, DecodesBytesByByteOrderMarkThenDeclarationElseUtf8) {
    const std::vector<DecodeCase> cases = {
        {"UTF-8 without declaration", "<r>\xC3\x9C</r>", "\xC3\x9C"},
        {"UTF-8 with BOM", "\xEF\xBB\xBF<r>\xC3\x9C</r>", "\xC3\x9C"},
        {"UTF-16LE with BOM", utf16("<r>x</r>", false, true), "x"},
        {"UTF-16BE with BOM", utf16("<r>x</r>", true, true), "x"},
        {"UTF-16LE without BOM", utf16("<?xml version=\"1.0\"?><r>x</r>", false, false), "x"},
        {"ISO-8859-1 declared", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>\xDC</r>", "\xC3\x9C"},
        {"Windows-1252 declared", "<?xml version='1.0' encoding='windows-1252'?><r>\x80</r>", "\xE2\x82\xAC"},
        {"BOM wins over declaration", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>\xC3\x9C</r>",
         "\xC3\x9C"},
        {"Latin-1 bytes without declaration", "<r>\xDC</r>", nullptr},
        {"unknown encoding", "<?xml version=\"1.0\" encoding=\"x-unknown\"?><r/>", nullptr},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.label);
        Document doc;
        const bool ok = doc.loadBytes(c.bytes);
        ASSERT_EQ(ok, c.text != nullptr) << doc.parseError().reason;
        if (ok) {
            EXPECT_EQ(doc.documentElement().text(), c.text);
        } else {
            EXPECT_EQ(doc.parseError().errorCode, kErrorEncoding);
        }
    }
}

TEST(XmlDom, NodesNamesAttributesAndText) {
    Document doc;
    ASSERT_TRUE(doc.loadXML("<?xml version=\"1.0\"?>\n<!-- head -->\n"
                            "<RDF:RDF xmlns:RDF=\"urn:r\" xmlns=\"urn:d\" em:id=\"x\" b='2'>\n"
                            "  <em:name>  Outer <![CDATA[<cdata> ]]><i>inner</i><!-- not text --><?pi not text?>  </em:name>\n"
                            "  <plain/>\n"
                            "</RDF:RDF>"));
    const NodeList top = doc.childNodes();
    ASSERT_EQ(top.length(), 3u);
    EXPECT_EQ(top.item(0).type(), NodeType::ProcessingInstruction);
    EXPECT_EQ(top.item(1).type(), NodeType::Comment);
    EXPECT_EQ(top.item(2), doc.lastChild());
    EXPECT_FALSE(top.item(3));

    const Node rdf = doc.lastChild();
    EXPECT_EQ(rdf.nodeName(), "RDF:RDF");
    EXPECT_EQ(rdf.baseName(), "RDF");
    const std::vector<Attribute> attrs = rdf.attributes();
    ASSERT_EQ(attrs.size(), 4u);
    EXPECT_EQ(attrs[0].name, "xmlns:RDF");
    EXPECT_EQ(attrs[1].name, "xmlns");
    EXPECT_EQ(attrs[2].name, "em:id");
    EXPECT_EQ(attrs[3].value, "2");

    // White space between elements is no node.
    const NodeList children = rdf.childNodes();
    ASSERT_EQ(children.length(), 2u);
    const Node name = children.item(0);
    EXPECT_EQ(name.baseName(), "name");
    EXPECT_EQ(name.nextSibling().baseName(), "plain");
    EXPECT_EQ(name.parentNode(), rdf);
    EXPECT_EQ(name.text(), "Outer <cdata> inner");
    EXPECT_EQ(name.firstChild().type(), NodeType::Text);
    EXPECT_EQ(name.firstChild().baseName(), "");
    for (const Node& n : name.childNodes())
        if (n.type() != NodeType::Element) {
            EXPECT_EQ(n.baseName(), "") << n.nodeName();
        }
    EXPECT_EQ(name.childNodes().item(3).type(), NodeType::Comment);
    EXPECT_EQ(name.childNodes().item(4).type(), NodeType::ProcessingInstruction);
    EXPECT_TRUE(children.item(1).attributes().empty());
    EXPECT_EQ(children.item(1).text(), "");
}

TEST(XmlDom, ParseErrorGivesLinePositionAndSourceLine) {
    Document doc;
    EXPECT_FALSE(doc.loadXML("<r>\r\n  <a>\xC3\xA9\xC3\xA9 &bad;</a>\r\n</r>"));
    const ParseError& e = doc.parseError();
    EXPECT_EQ(e.errorCode, kErrorEntity);
    EXPECT_EQ(e.line, 2);
    EXPECT_EQ(e.linepos, 9);
    EXPECT_EQ(e.srcText, "  <a>\xC3\xA9\xC3\xA9 &bad;</a>");
    EXPECT_NE(e.reason.find("bad"), std::string::npos);

    // A line of megabytes is quoted by its first 200 characters, and so is a name.
    const std::string longName(5 << 20, 'n');
    EXPECT_FALSE(doc.loadXML("<r>&" + longName + ";</r>"));
    EXPECT_EQ(doc.parseError().srcText, "<r>&" + std::string(196, 'n') + "\u2026");
    EXPECT_EQ(doc.parseError().reason, "Reference to undefined entity '" + std::string(200, 'n') + "\u2026'.");

    // A later good load clears the error.
    EXPECT_TRUE(doc.loadXML("<r/>"));
    EXPECT_EQ(doc.parseError().errorCode, 0);
    EXPECT_EQ(doc.parseError().reason, "");
}

TEST(XmlDom, NodesKeepTheirDocumentAlive) {
    Node root;
    {
        Document doc;
        ASSERT_TRUE(doc.loadXML("<r><a>kept</a></r>"));
        root = doc.documentElement();
        ASSERT_TRUE(doc.loadXML("<other/>"));
    }
    EXPECT_EQ(root.firstChild().text(), "kept");
}

TEST(XmlDom, LoadsByPathAndNeverReadsWhatTheFileNames) {
    testsupport::TestPrefix prefix;
    prefix.writeFile("C:\\secret.txt", "SECRET");
    prefix.writeFile("C:\\evil.dtd", "<!ENTITY x \"DTD\">");
    prefix.writeFile("C:\\ok.xml", "\xEF\xBB\xBF<r>\xC3\x9C</r>");
    prefix.writeFile("C:\\external.xml", "<!DOCTYPE r [<!ENTITY x SYSTEM \"C:\\secret.txt\">]><r>&x;</r>");
    prefix.writeFile("C:\\dtd.xml", "<!DOCTYPE r SYSTEM \"C:\\evil.dtd\"><r>plain</r>");

    Document doc;
    EXPECT_TRUE(doc.load("C:\\OK.XML"));
    EXPECT_EQ(doc.documentElement().text(), "\xC3\x9C");

    EXPECT_FALSE(doc.load("C:\\external.xml"));
    EXPECT_FALSE(doc.lastChild());
    EXPECT_EQ(doc.parseError().reason.find("SECRET"), std::string::npos);

    // The external DTD is not read, so its entity does not exist.
    EXPECT_TRUE(doc.load("C:\\dtd.xml"));
    EXPECT_EQ(doc.documentElement().text(), "plain");

    EXPECT_FALSE(doc.load("C:\\missing.xml"));
    EXPECT_FALSE(doc.lastChild());
    EXPECT_NE(doc.parseError().errorCode, 0);
}

} // namespace
