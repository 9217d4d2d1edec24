#include "app/enumerators/cplistparser.h"

// The layer's DOM refuses documents nested deeper than winsys::xml::kMaxDepth
// and never reads a DTD or an external entity, so the recursion of parseDict
// and parseArray is bounded by the document and a crafted file fails as a
// malformed one.

#include <algorithm>
#include <cctype>
#include <charconv>
#include <exception>
#include <utility>

#include "app/core/comcalls.h"
#include "app/core/msgbox.h"
#include "common/interfaces/log.h"
#include "platform/com/com_error.h"
#include "platform/core/text.h"
#include "platform/xml/dom.h"

namespace sorlix {

namespace {

using winsys::com::ComError;
using winsys::xml::Node;
using winsys::xml::NodeType;

constexpr const char* kSource = "CPlistParser.Parse";
constexpr win::HRESULT kDuplicateKey = static_cast<win::HRESULT>(0x800A01C9u); // error 457

[[noreturn]] void fail(const std::string& why) { throw ComError(win::E_FAIL, why, kSource); }

bool passedOver(const Node& n) {
    return n.type() == NodeType::Comment || n.type() == NodeType::ProcessingInstruction;
}

// `n` itself or the first sibling after it that is not passed over.
Node significant(Node n) {
    while (n && passedOver(n)) n = n.nextSibling();
    return n;
}

// The number the text starts with, read with "." as decimal separator: an
// optional sign, digits with an optional fraction, an optional exponent.
double leadingNumber(const std::string& text) {
    std::size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos) return 0;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    // Only a digit or a point may start the number: no "inf", "nan" or hex.
    if (first == last || !(std::isdigit(static_cast<unsigned char>(*first)) || *first == '.')) return 0;
    double value = 0;
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec != std::errc() || end == first) return 0;
    return negative ? -value : value;
}

// A name as a failure text quotes it: a file may hold a key of megabytes.
std::string shown(const std::string& name) { return winsys::cutWithEllipsis(name, 200); }

PlistValue parseValue(const Node& node);

PlistDict parseDict(const Node& node) {
    if (node.baseName() != "dict") fail("a dict was expected, not \"" + shown(node.nodeName()) + "\"");
    PlistDict dict;
    for (Node key = significant(node.firstChild()); key; key = significant(key.nextSibling())) {
        if (key.baseName() != "key") fail("a key was expected in a dict, not \"" + shown(key.nodeName()) + "\"");
        const Node value = significant(key.nextSibling());
        std::string name = key.text();
        if (!value) fail("the key \"" + shown(name) + "\" has no value");
        if (!dict.add(name, parseValue(value)))
            throw ComError(kDuplicateKey, "This key is already associated with an element of this collection (\"" +
                                              shown(name) + "\")",
                           kSource);
        key = value;
    }
    return dict;
}

PlistArray parseArray(const Node& node) {
    PlistArray array;
    for (const Node& child : node.childNodes())
        if (!passedOver(child)) array.push_back(parseValue(child));
    return array;
}

PlistValue parseValue(const Node& node) {
    const std::string kind = node.baseName();
    if (kind == "string" || kind == "date" || kind == "data") return {node.text()};
    if (kind == "integer" || kind == "real") return {leadingNumber(node.text())};
    if (kind == "true") return {true};
    if (kind == "false") return {false};
    if (kind == "dict") return {parseDict(node)};
    if (kind == "array") return {parseArray(node)};
    return {};
}

std::string parseErrorText(const winsys::xml::ParseError& e) {
    return "Parse Error line " + std::to_string(e.line) + ", character " + std::to_string(e.linepos) + "\r\n\r\n" +
           e.reason + "\r\n" + e.srcText;
}

} // namespace

const PlistValue* PlistDict::find(std::string_view key) const { return entries_.find(key); }
bool PlistDict::add(std::string key, PlistValue value) { return entries_.add(std::move(key), std::move(value)); }
std::size_t PlistDict::size() const { return entries_.size(); }
const std::string& PlistDict::keyAt(std::size_t i) const {
    return entries_.begin()[static_cast<std::ptrdiff_t>(i)].key;
}
const PlistValue& PlistDict::valueAt(std::size_t i) const {
    return entries_.begin()[static_cast<std::ptrdiff_t>(i)].value;
}

std::optional<PlistDict> CPlistParser::Parse(std::string_view Plist, std::string_view document) {
    try {
        winsys::xml::Document doc;
        if (!doc.loadBytes(Plist)) {
            // A failed load always carries a non-zero error code.
            const winsys::xml::ParseError& error = doc.parseError();
            MsgBox(parseErrorText(error));
            throw ComError(error.errorCode, "the property list does not load: " + error.reason, kSource);
        }
        const Node plist = doc.documentElement();
        if (!plist || plist.baseName() != "plist") fail("the document is no plist");
        const Node top = significant(plist.firstChild());
        if (!top) fail("the plist holds no value");
        return parseDict(top);
    } catch (const std::exception& e) {
        const ErrorText error = DescribeError(e);
        LogLine(error.number, document.empty() ? error.text : error.text + " ('" + std::string(document) + "')",
                halvenlib::sevError, kSource);
        return std::nullopt;
    }
}

} // namespace sorlix
