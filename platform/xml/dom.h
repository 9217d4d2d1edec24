#pragma once
// The XML DOM of the layer, over pugixml: a document loaded from a file, from
// bytes or from text, its nodes, node lists, attributes and parse error.
//
// What a load accepts, the same for every caller:
//   - Bytes are decoded on purpose: a byte-order mark decides, else the XML
//     declaration's encoding, else UTF-8. Bytes that are not valid in the
//     chosen encoding fail the load.
//   - Nothing outside the document is ever read: a DOCTYPE is passed over
//     (never read, never refused); a reference to any entity other than the
//     five predefined ones, or a malformed character reference, fails the load.
//   - Elements nested deeper than kMaxDepth fail the load like a malformed file.
//   - Text nodes of white space alone are not kept, so elements written on
//     lines of their own are direct siblings.
// A failed load leaves a document without children (no last child) and a
// parse error with a non-zero code. Nodes keep their document alive.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/wintypes.h"

namespace pugi {
class xml_document;
struct xml_node_struct;
} // namespace pugi

namespace winsys::xml {

// Deepest element nesting a load accepts (the root element is level 1).
inline constexpr int kMaxDepth = 512;

// Parse error codes; 0 after a successful load. A file that cannot be read
// reports HRESULT_FROM_WIN32 of its error instead.
inline constexpr win::LONG kErrorSyntax = win::hr(0xC00CE501);     // malformed XML
inline constexpr win::LONG kErrorEntity = win::hr(0xC00CE502);     // undefined entity, bad reference
inline constexpr win::LONG kErrorEncoding = win::hr(0xC00CE503);   // unknown encoding, bad bytes
inline constexpr win::LONG kErrorDepth = win::hr(0xC00CE504);      // nested deeper than kMaxDepth
inline constexpr win::LONG kErrorNoDocument = win::hr(0xC00CE505); // no root element, or more than one

enum class NodeType { Element, Text, CData, Comment, ProcessingInstruction, Document };

struct Attribute {
    std::string name; // with its prefix, as written ("xml:lang", "xmlns:em")
    std::string value;
};

struct ParseError {
    win::LONG errorCode = 0;
    std::string reason;
    win::LONG line = 0;    // from 1; 0 when the error has no place in the text
    win::LONG linepos = 0; // character in that line, from 1
    std::string srcText;   // the failing line; its first 200 characters and "…" when longer
};

class NodeList;

// A node of a loaded document, or no node (false) where the DOM has none.
class Node {
public:
    Node() = default;
    explicit operator bool() const { return node_ != nullptr; }

    NodeType type() const;
    // Element: its name with prefix; text "#text", CDATA "#cdata-section",
    // comment "#comment", processing instruction its target, document "#document".
    std::string nodeName() const;
    // Element: its name without prefix; every other node: "".
    std::string baseName() const;
    // Text and CDATA: the value. Element and document: the text and CDATA of
    // all descendants in document order, with outer XML white space trimmed.
    // Comment and processing instruction: their content.
    std::string text() const;
    // An element's attributes in document order, namespace declarations
    // included; other nodes have none.
    std::vector<Attribute> attributes() const;

    NodeList childNodes() const;
    Node firstChild() const;
    Node lastChild() const;
    Node nextSibling() const;
    Node parentNode() const;

    bool operator==(const Node& other) const { return node_ == other.node_; }

private:
    friend class Document;
    friend class NodeList;
    Node(std::shared_ptr<const pugi::xml_document> doc, pugi::xml_node_struct* node)
        : doc_(std::move(doc)), node_(node) {}
    std::shared_ptr<const pugi::xml_document> doc_;
    pugi::xml_node_struct* node_ = nullptr;
};

// The children of a node, in document order; item counts from 0.
class NodeList {
public:
    NodeList() = default;
    std::size_t length() const { return nodes_.size(); }
    Node item(std::size_t index) const { return index < nodes_.size() ? nodes_[index] : Node(); }
    std::vector<Node>::const_iterator begin() const { return nodes_.begin(); }
    std::vector<Node>::const_iterator end() const { return nodes_.end(); }

private:
    friend class Node;
    std::vector<Node> nodes_;
};

class Document {
public:
    Document();

    // Reads the file at a Windows path and loads its bytes.
    bool load(std::string_view windowsPath);
    // Loads a document from its bytes, decoded as the header says.
    bool loadBytes(std::string_view bytes);
    // Loads a document from text that is already decoded (UTF-8); a
    // declared encoding is not consulted, a leading byte-order mark dropped.
    bool loadXML(std::string_view text);

    const ParseError& parseError() const { return error_; }

    // The document node, and its children (declaration, comments, the root).
    Node node() const;
    NodeList childNodes() const { return node().childNodes(); }
    Node firstChild() const { return node().firstChild(); }
    Node lastChild() const { return node().lastChild(); }
    // The root element, or no node.
    Node documentElement() const;

private:
    bool parse(std::string utf8);
    bool fail(win::LONG code, std::string reason, const std::string& text, std::size_t offset);

    std::shared_ptr<pugi::xml_document> doc_;
    ParseError error_;
};

} // namespace winsys::xml
