#include "app/core/mxml.h"

#include <gtest/gtest.h>

using namespace sorlix::MXML;
using winsys::xml::Document;
using winsys::xml::Node;

namespace {

Document load(const char* text) {
    Document doc;
    EXPECT_TRUE(doc.loadXML(text)) << doc.parseError().reason;
    return doc;
}

TEST(MXML, FindChildNodeByNameMatchesBaseNamesInAnyCase) {
    const Document doc = load("<r xmlns:rdf='urn:r'><!--description--><?description x?>description"
                              "<x>1</x><rdf:Description>2</rdf:Description><description>3</description></r>");
    const winsys::xml::NodeList children = doc.documentElement().childNodes();
    struct Case {
        const char* name;
        const char* text; // nullptr: no node
    } cases[] = {{"Description", "2"}, {"DESCRIPTION", "2"}, {"x", "1"}, {"rdf:Description", nullptr},
                 {"#comment", nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Node n = FindChildNodeByName(children, c.name);
        ASSERT_EQ(static_cast<bool>(n), c.text != nullptr);
        if (n) {
            EXPECT_EQ(n.text(), c.text);
        }
    }
    EXPECT_FALSE(FindChildNodeByName(winsys::xml::NodeList(), "x"));
}

TEST(MXML, GetAttributeValueComparesFullNamesLowerCased) {
    const Document doc = load("<a href='first' HREF='second' xml:lang='en' xmlns:em='urn:em' em:id='i'/>");
    const Node a = doc.documentElement();
    EXPECT_EQ(GetAttributeValue(a, "HREF"), "first");
    EXPECT_EQ(GetAttributeValue(a, "XML:Lang"), "en");
    EXPECT_EQ(GetAttributeValue(a, "lang"), "");
    EXPECT_EQ(GetAttributeValue(a, "xmlns:em"), "urn:em");
    EXPECT_EQ(GetAttributeValue(a, "id"), "");
    EXPECT_EQ(GetAttributeValue(a, "missing"), "");
}

TEST(MXML, FindChildNodeByAttributeMatchesValueExactlyAndNameAsGiven) {
    const Document doc = load("<w><description xml:lang='EN'>upper</description>"
                              "<description XML:LANG='de' xml:lang='en-US'>region</description>"
                              "<Description lang='en' XML:Lang='de' xml:lang='en'>english</Description>"
                              "<description xml:lang='en'>later</description></w>");
    const winsys::xml::NodeList children = doc.documentElement().childNodes();
    const Node en = FindChildNodeByAttribute(children, "DESCRIPTION", "xml:lang", "en");
    ASSERT_TRUE(en);
    EXPECT_EQ(en.text(), "english");
    EXPECT_FALSE(FindChildNodeByAttribute(children, "description", "XML:LANG", "en"));
    EXPECT_FALSE(FindChildNodeByAttribute(children, "description", "xml:lang", "fr"));
    EXPECT_FALSE(FindChildNodeByAttribute(winsys::xml::NodeList(), "description", "xml:lang", "en"));
}

} // namespace
