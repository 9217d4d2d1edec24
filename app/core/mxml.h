#pragma once
// Look-ups over DOM nodes that find elements and attribute values without
// regard to the case of names; plain functions without state. Only elements
// have a base name, so text, comments and processing instructions never match.

#include <string>

#include "platform/xml/dom.h"

namespace sorlix::MXML {

// The first node of the list whose base name equals `Name`, both lower-cased.
winsys::xml::Node FindChildNodeByName(const winsys::xml::NodeList& Nodes, const std::string& Name);

// The value of the node's first attribute whose full name ("xml:lang"),
// lower-cased, equals `AttributeName` lower-cased; "" when there is none.
std::string GetAttributeValue(const winsys::xml::Node& Node, const std::string& AttributeName);

// The first node of the list whose lower-cased base name equals `Name`
// lower-cased and which has an attribute whose lower-cased full name equals
// `AttributeName` as given and whose value equals `AttributeValue` exactly.
winsys::xml::Node FindChildNodeByAttribute(const winsys::xml::NodeList& Nodes, const std::string& Name,
                                           const std::string& AttributeName, const std::string& AttributeValue);

} // namespace sorlix::MXML
