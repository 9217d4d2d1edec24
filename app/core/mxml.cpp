#include "app/core/mxml.h"

#include "platform/core/text.h"

namespace sorlix::MXML {

using winsys::lowerCase;
using winsys::xml::Node;
using winsys::xml::NodeList;

Node FindChildNodeByName(const NodeList& Nodes, const std::string& Name) {
    const std::string name = lowerCase(Name);
    for (const Node& n : Nodes)
        if (lowerCase(n.baseName()) == name) return n;
    return {};
}

std::string GetAttributeValue(const Node& Node, const std::string& AttributeName) {
    const std::string name = lowerCase(AttributeName);
    for (const winsys::xml::Attribute& a : Node.attributes())
        if (lowerCase(a.name) == name) return a.value;
    return {};
}

Node FindChildNodeByAttribute(const NodeList& Nodes, const std::string& Name, const std::string& AttributeName,
                              const std::string& AttributeValue) {
    const std::string name = lowerCase(Name);
    for (const Node& n : Nodes) {
        if (lowerCase(n.baseName()) != name) continue;
        for (const winsys::xml::Attribute& a : n.attributes())
            if (lowerCase(a.name) == AttributeName && a.value == AttributeValue) return n;
    }
    return {};
}

} // namespace sorlix::MXML
