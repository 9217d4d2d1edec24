#include "platform/xml/dom.h"

// pugixml parses without expanding references; one iterative pass over the
// tree then decodes the references itself, refusing every entity that is not
// predefined, and checks what pugixml lets through: nesting depth, duplicate
// attributes, one root element. Walks are iterative, so no file can exhaust
// the stack. pugixml reads no DTD and no external entity, and skips a DOCTYPE
// when parse_doctype is off.

#include <pugixml.hpp>
#include <unordered_set>

#include "platform/core/text.h"

#include "platform/files/files.h"
#include "platform/xml/encoding.h"

namespace winsys::xml {

namespace {

constexpr unsigned kParseFlags = pugi::parse_cdata | pugi::parse_comments | pugi::parse_pi |
                                 pugi::parse_declaration | pugi::parse_eol | pugi::parse_wconv_attribute;

// Longest name a reason quotes, and longest part of a line the parse error
// keeps: a file may hold one line of megabytes.
constexpr std::size_t kQuotedUnits = 200;

std::string quoted(std::string_view name) { return winsys::cutWithEllipsis(name, kQuotedUnits); }

bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isXmlChar(char32_t cp) {
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
           (cp >= 0x10000 && cp <= 0x10FFFF);
}

// "#65", "#x41": the character, or 0 when the reference is malformed.
char32_t characterReference(std::string_view name) {
    const bool hex = name.size() > 1 && name[1] == 'x';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8) return 0;
    char32_t cp = 0;
    for (char c : digits) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (hex && c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else return 0;
        cp = cp * (hex ? 16 : 10) + static_cast<char32_t>(v);
    }
    return isXmlChar(cp) ? cp : 0;
}

struct ReferenceError {
    std::size_t at = 0; // offset in the raw value
    std::string reason;
};

// Expands the predefined entities and character references of `raw`;
// anything else after "&" is an error.
bool expandReferences(std::string_view raw, std::string& out, ReferenceError& error) {
    out.clear();
    out.reserve(raw.size());
    std::size_t i = 0;
    while (i < raw.size()) {
        const std::size_t amp = raw.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(raw.substr(i));
            break;
        }
        out.append(raw.substr(i, amp - i));
        const std::size_t semi = raw.find(';', amp);
        const std::size_t stop = raw.find_first_of(" \t\r\n<&", amp + 1);
        if (semi == std::string_view::npos || (stop != std::string_view::npos && stop < semi) || semi == amp + 1) {
            error = {amp, "A reference is not terminated by ';' or names nothing."};
            return false;
        }
        const std::string_view name = raw.substr(amp + 1, semi - amp - 1);
        if (name == "lt") out += '<';
        else if (name == "gt") out += '>';
        else if (name == "amp") out += '&';
        else if (name == "apos") out += '\'';
        else if (name == "quot") out += '"';
        else if (name[0] == '#') {
            const char32_t cp = characterReference(name);
            if (cp == 0) {
                error = {amp, "Invalid character reference '&" + quoted(name) + ";'."};
                return false;
            }
            appendUtf8(out, cp);
        } else {
            error = {amp, "Reference to undefined entity '" + quoted(name) + "'."};
            return false;
        }
        i = semi + 1;
    }
    return true;
}

// The name of the first attribute that repeats an earlier one's, or null.
// Pairs are compared only for the few attributes an element usually has;
// beyond them a hash set keeps the check linear.
const char* repeatedAttribute(pugi::xml_node n) {
    constexpr int kPairwiseUpTo = 16;
    int count = 0;
    for (pugi::xml_attribute a = n.first_attribute(); a && count <= kPairwiseUpTo; a = a.next_attribute()) ++count;
    if (count <= kPairwiseUpTo) {
        for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute())
            for (pugi::xml_attribute b = n.first_attribute(); b != a; b = b.next_attribute())
                if (std::string_view(a.name()) == b.name()) return a.name();
        return nullptr;
    }
    std::unordered_set<std::string_view> seen;
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute())
        if (!seen.insert(a.name()).second) return a.name();
    return nullptr;
}

std::size_t offsetOf(pugi::xml_node n) {
    const std::ptrdiff_t o = n.offset_debug();
    return o < 0 ? 0 : static_cast<std::size_t>(o);
}

pugi::xml_node nextInDocumentOrder(pugi::xml_node n, const pugi::xml_node& top, int& depth, bool descend) {
    if (descend && n.first_child()) {
        ++depth;
        return n.first_child();
    }
    while (n != top) {
        if (n.next_sibling()) return n.next_sibling();
        n = n.parent();
        --depth;
    }
    return {};
}

} // namespace

// ---- Node ----

NodeType Node::type() const {
    switch (pugi::xml_node(node_).type()) {
    case pugi::node_element: return NodeType::Element;
    case pugi::node_pcdata: return NodeType::Text;
    case pugi::node_cdata: return NodeType::CData;
    case pugi::node_comment: return NodeType::Comment;
    case pugi::node_document: return NodeType::Document;
    default: return NodeType::ProcessingInstruction;
    }
}

std::string Node::nodeName() const {
    const pugi::xml_node n(node_);
    switch (type()) {
    case NodeType::Text: return "#text";
    case NodeType::CData: return "#cdata-section";
    case NodeType::Comment: return "#comment";
    case NodeType::Document: return "#document";
    default: return n.name();
    }
}

std::string Node::baseName() const {
    if (type() != NodeType::Element) return {};
    const std::string_view name = pugi::xml_node(node_).name();
    const std::size_t colon = name.find(':');
    return std::string(colon == std::string_view::npos ? name : name.substr(colon + 1));
}

std::string Node::text() const {
    const pugi::xml_node top(node_);
    if (!top) return {};
    const NodeType t = type();
    if (t == NodeType::Comment || t == NodeType::ProcessingInstruction || t == NodeType::Text ||
        t == NodeType::CData)
        return top.value();
    std::string out;
    int depth = 0;
    for (pugi::xml_node n = top.first_child(); n; n = nextInDocumentOrder(n, top, depth, true)) {
        if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) out += n.value();
    }
    std::size_t b = 0, e = out.size();
    while (b < e && isXmlSpace(out[b])) ++b;
    while (e > b && isXmlSpace(out[e - 1])) --e;
    return out.substr(b, e - b);
}

std::vector<Attribute> Node::attributes() const {
    std::vector<Attribute> out;
    for (pugi::xml_attribute a : pugi::xml_node(node_).attributes()) out.push_back({a.name(), a.value()});
    return out;
}

NodeList Node::childNodes() const {
    NodeList list;
    for (pugi::xml_node c : pugi::xml_node(node_).children()) list.nodes_.push_back(Node(doc_, c.internal_object()));
    return list;
}

Node Node::firstChild() const {
    const pugi::xml_node c = pugi::xml_node(node_).first_child();
    return c ? Node(doc_, c.internal_object()) : Node();
}
Node Node::lastChild() const {
    const pugi::xml_node c = pugi::xml_node(node_).last_child();
    return c ? Node(doc_, c.internal_object()) : Node();
}
Node Node::nextSibling() const {
    const pugi::xml_node c = pugi::xml_node(node_).next_sibling();
    return c ? Node(doc_, c.internal_object()) : Node();
}
Node Node::parentNode() const {
    const pugi::xml_node c = pugi::xml_node(node_).parent();
    return c ? Node(doc_, c.internal_object()) : Node();
}

// ---- Document ----

Document::Document() : doc_(std::make_shared<pugi::xml_document>()) {}

Node Document::node() const { return Node(doc_, doc_->internal_object()); }

Node Document::documentElement() const {
    const pugi::xml_node e = doc_->document_element();
    return e ? Node(doc_, e.internal_object()) : Node();
}

bool Document::load(std::string_view windowsPath) {
    doc_ = std::make_shared<pugi::xml_document>();
    error_ = {};
    Result<std::vector<std::uint8_t>> bytes = readFile(windowsPath);
    if (!bytes) {
        error_.errorCode = win::hr(0x80070000u | (bytes.error().code & 0xFFFFu));
        error_.reason = bytes.error().message;
        return false;
    }
    return loadBytes(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

bool Document::loadBytes(std::string_view bytes) {
    doc_ = std::make_shared<pugi::xml_document>();
    error_ = {};
    DecodedText decoded = decodeXmlBytes(bytes);
    if (!decoded.ok) return fail(kErrorEncoding, decoded.reason, decoded.text, decoded.offset);
    return parse(std::move(decoded.text));
}

bool Document::loadXML(std::string_view text) {
    doc_ = std::make_shared<pugi::xml_document>();
    error_ = {};
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    const std::size_t bad = invalidUtf8At(text);
    if (bad != std::string_view::npos)
        return fail(kErrorEncoding, "Invalid character in the document's encoding.", std::string(text), bad);
    return parse(std::string(text));
}

bool Document::parse(std::string utf8) {
    const pugi::xml_parse_result r = doc_->load_buffer(utf8.data(), utf8.size(), kParseFlags, pugi::encoding_utf8);
    if (!r) {
        const win::LONG code = r.status == pugi::status_no_document_element ? kErrorNoDocument : kErrorSyntax;
        return fail(code, r.description(), utf8, static_cast<std::size_t>(r.offset));
    }

    int elements = 0;
    for (pugi::xml_node c : doc_->children()) {
        if (c.type() == pugi::node_element && ++elements > 1)
            return fail(kErrorNoDocument, "Only one top level element is allowed.", utf8, offsetOf(c));
    }
    if (elements == 0) return fail(kErrorNoDocument, "No document element found.", utf8, utf8.size());

    const pugi::xml_node top = *doc_;
    std::string expanded;
    ReferenceError refError;
    int depth = 0;
    for (pugi::xml_node n = top.first_child(); n;) {
        const std::size_t at = offsetOf(n);
        if (n.type() == pugi::node_element) {
            if (depth + 1 > kMaxDepth)
                return fail(kErrorDepth, "Elements are nested deeper than " + std::to_string(kMaxDepth) + " levels.",
                            utf8, at);
            if (const char* repeated = repeatedAttribute(n))
                return fail(kErrorSyntax, "Duplicate attribute '" + quoted(repeated) + "'.", utf8, at);
            for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
                if (!expandReferences(a.value(), expanded, refError)) return fail(kErrorEntity, refError.reason, utf8, at);
                a.set_value(expanded.c_str());
            }
        } else if (n.type() == pugi::node_pcdata) {
            if (!expandReferences(n.value(), expanded, refError))
                return fail(kErrorEntity, refError.reason, utf8, at + refError.at);
            n.set_value(expanded.c_str());
        }
        n = nextInDocumentOrder(n, top, depth, n.type() == pugi::node_element);
    }
    return true;
}

bool Document::fail(win::LONG code, std::string reason, const std::string& text, std::size_t offset) {
    doc_ = std::make_shared<pugi::xml_document>();
    offset = std::min(offset, text.size());
    const std::size_t lineStart = offset == 0 ? 0 : text.rfind('\n', offset - 1) + 1;
    std::size_t lineEnd = text.find('\n', offset);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    std::string line = text.substr(lineStart, lineEnd - lineStart);
    if (!line.empty() && line.back() == '\r') line.pop_back();

    error_.errorCode = code;
    error_.reason = std::move(reason);
    error_.line = 1;
    for (std::size_t i = 0; i < lineStart; ++i)
        if (text[i] == '\n') ++error_.line;
    error_.linepos = 1;
    for (std::size_t i = lineStart; i < offset; ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++error_.linepos;
    error_.srcText = quoted(line);
    return false;
}

} // namespace winsys::xml
