// The layer's XML DOM: a load of any bytes, then a walk over every node,
// its text and its attributes, as the readers above it walk documents.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/xml/dom.h"

namespace {

void walk(const winsys::xml::Node& top) {
    std::vector<winsys::xml::Node> pending{top};
    while (!pending.empty()) {
        const winsys::xml::Node n = pending.back();
        pending.pop_back();
        (void)n.nodeName();
        (void)n.baseName();
        (void)n.text();
        (void)n.attributes();
        for (const winsys::xml::Node& c : n.childNodes()) pending.push_back(c);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    winsys::xml::Document doc;
    if (doc.loadBytes(std::string_view(reinterpret_cast<const char*>(data), size))) walk(doc.node());
    else if (doc.parseError().errorCode == 0 || doc.lastChild()) __builtin_trap(); // a failed load is marked
    return 0;
}
