#pragma once
// CW3CWidgetParser: the six fields of an Opera extension's widget
// configuration ("config.xml") that its record shows: the widget element's
// first "name", "license" and "author" (with the author's "href"), the
// "href" of its "update-description", and its first "description" whose
// xml:lang is exactly "en". Elements are matched by local name without
// regard to case; the namespace plays no part. A field whose element is
// missing stays empty.

#include <string>
#include <string_view>

namespace winsys::xml {
class Document;
}

namespace sorlix {

class CW3CWidgetParser {
public:
    std::string Name;
    std::string License;
    std::string Author;
    std::string AuthorURL;
    std::string UpdateDescription;
    std::string Description;

    // Reads the file at `Filename` and fills the fields. False with the
    // reason in `FalseCause` ("Invalid XML: " and the load's reason, or
    // "Widget tag not found"); an unexpected error is logged
    // ("CW3CWidgetParser.Parse"). Every field and `FalseCause` is emptied first.
    bool Parse(const std::string& Filename, std::string& FalseCause);
    // The same over the document's bytes, decoded as the document says.
    bool ParseBytes(std::string_view Bytes, std::string& FalseCause);

private:
    bool fill(const winsys::xml::Document& doc, std::string& FalseCause);
};

} // namespace sorlix
