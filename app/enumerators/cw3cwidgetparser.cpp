#include "app/enumerators/cw3cwidgetparser.h"

// The layer's DOM reads XML 1.1 as it is written, never reads a DTD or an
// external entity, and refuses documents nested deeper than its bound, so a
// configuration is read in one load and the text of an element is bounded.
// A file over kMaxInputFileBytes is refused unread.

#include <exception>

#include "app/core/comcalls.h"
#include "app/core/mxml.h"
#include "app/enumerators/enumcalls.h"
#include "platform/com/com_error.h"
#include "platform/xml/dom.h"

namespace sorlix {

using winsys::xml::Node;

bool CW3CWidgetParser::Parse(const std::string& Filename, std::string& FalseCause) {
    std::string bytes;
    try {
        bytes = Enum::ReadInputFile(Filename);
    } catch (const winsys::com::ComError& e) {
        // Missing, unreadable or over the bound: a failed load with that reason.
        for (std::string* field : {&Name, &License, &Author, &AuthorURL, &UpdateDescription, &Description})
            field->clear();
        FalseCause = "Invalid XML: " + e.description();
        return false;
    }
    return ParseBytes(bytes, FalseCause);
}

bool CW3CWidgetParser::ParseBytes(std::string_view Bytes, std::string& FalseCause) {
    winsys::xml::Document doc;
    doc.loadBytes(Bytes);
    return fill(doc, FalseCause);
}

bool CW3CWidgetParser::fill(const winsys::xml::Document& doc, std::string& FalseCause) {
    FalseCause.clear();
    for (std::string* field : {&Name, &License, &Author, &AuthorURL, &UpdateDescription, &Description}) field->clear();
    try {
        // A failed load leaves the document without children.
        if (!doc.lastChild()) {
            FalseCause = "Invalid XML: " + doc.parseError().reason;
            return false;
        }
        const Node widget = MXML::FindChildNodeByName(doc.childNodes(), "widget");
        if (!widget) {
            FalseCause = "Widget tag not found";
            return false;
        }
        const winsys::xml::NodeList children = widget.childNodes();
        if (const Node n = MXML::FindChildNodeByName(children, "name")) Name = n.text();
        if (const Node n = MXML::FindChildNodeByName(children, "license")) License = n.text();
        if (const Node n = MXML::FindChildNodeByName(children, "author")) {
            Author = n.text();
            AuthorURL = MXML::GetAttributeValue(n, "href");
        }
        if (const Node n = MXML::FindChildNodeByName(children, "update-description"))
            UpdateDescription = MXML::GetAttributeValue(n, "href");
        if (const Node n = MXML::FindChildNodeByAttribute(children, "description", "xml:lang", "en"))
            Description = n.text();
        return true;
    } catch (const std::exception& e) {
        LogError(e, "CW3CWidgetParser.Parse");
        return false;
    }
}

} // namespace sorlix
