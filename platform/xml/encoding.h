#pragma once
// Decoding the bytes of an XML document into UTF-8 text, once, on purpose:
// a byte-order mark decides (UTF-8, UTF-16 LE or BE); without one, UTF-16
// shows by its "<?" pattern; otherwise the declaration's encoding is used
// (UTF-8, US-ASCII, ISO-8859-1, Windows-1252), and without a declared
// encoding the bytes are UTF-8. Nothing passes through a code page by chance.

#include <cstddef>
#include <string>
#include <string_view>

namespace winsys::xml {

struct DecodedText {
    bool ok = false;
    std::string text;       // UTF-8, without byte-order mark
    std::string reason;     // when !ok
    std::size_t offset = 0; // when !ok: offset of the fault in `text` as decoded so far
};

DecodedText decodeXmlBytes(std::string_view bytes);

// The offset of the first byte that is not valid UTF-8 (or is a NUL
// character), or npos when the whole text is valid.
std::size_t invalidUtf8At(std::string_view text);

} // namespace winsys::xml
