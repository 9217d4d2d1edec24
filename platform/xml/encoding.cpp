#include "platform/xml/encoding.h"

#include <cstdint>

#include "platform/core/text.h"

namespace winsys::xml {

namespace {

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The value of encoding="..." in a leading declaration, lower-cased; "" when
// there is no declaration or it names no encoding.
std::string declaredEncoding(std::string_view bytes) {
    if (!startsWith(bytes, "<?xml")) return {};
    const std::size_t end = bytes.find("?>");
    const std::string_view decl = bytes.substr(0, end == std::string_view::npos ? bytes.size() : end);
    std::size_t at = decl.find("encoding");
    if (at == std::string_view::npos) return {};
    at += 8;
    while (at < decl.size() && (decl[at] == ' ' || decl[at] == '\t' || decl[at] == '\r' || decl[at] == '\n')) ++at;
    if (at >= decl.size() || decl[at] != '=') return {};
    ++at;
    while (at < decl.size() && (decl[at] == ' ' || decl[at] == '\t' || decl[at] == '\r' || decl[at] == '\n')) ++at;
    if (at >= decl.size() || (decl[at] != '"' && decl[at] != '\'')) return {};
    const char quote = decl[at++];
    const std::size_t close = decl.find(quote, at);
    if (close == std::string_view::npos) return {};
    return lowerCase(decl.substr(at, close - at));
}

std::string fromLatin1(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string fromUtf16(std::string_view bytes, bool bigEndian) {
    std::string le(bytes.substr(0, bytes.size() & ~std::size_t{1}));
    if (bigEndian)
        for (std::size_t i = 0; i + 1 < le.size(); i += 2) std::swap(le[i], le[i + 1]);
    return fromUtf16leBytes(reinterpret_cast<const std::uint8_t*>(le.data()), le.size());
}

DecodedText checkedUtf8(std::string text) {
    DecodedText d;
    const std::size_t bad = invalidUtf8At(text);
    if (bad != std::string::npos) {
        d.reason = "Invalid character in the document's encoding.";
        d.offset = bad;
        d.text = std::move(text);
        return d;
    }
    d.ok = true;
    d.text = std::move(text);
    return d;
}

} // namespace

std::size_t invalidUtf8At(std::string_view text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        if (c == 0) return i;
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0;
        char32_t cp = 0;
        if ((c & 0xE0) == 0xC0) len = 2, cp = c & 0x1F;
        else if ((c & 0xF0) == 0xE0) len = 3, cp = c & 0x0F;
        else if ((c & 0xF8) == 0xF0) len = 4, cp = c & 0x07;
        else return i;
        if (i + len > n) return i;
        for (std::size_t k = 1; k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return i;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        const bool overlong = (len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
        if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return i;
        i += len;
    }
    return std::string_view::npos;
}

DecodedText decodeXmlBytes(std::string_view bytes) {
    if (startsWith(bytes, "\xEF\xBB\xBF")) return checkedUtf8(std::string(bytes.substr(3)));
    if (startsWith(bytes, std::string_view("\xFF\xFE", 2))) return checkedUtf8(fromUtf16(bytes.substr(2), false));
    if (startsWith(bytes, std::string_view("\xFE\xFF", 2))) return checkedUtf8(fromUtf16(bytes.substr(2), true));
    if (startsWith(bytes, std::string_view("<\0?\0", 4))) return checkedUtf8(fromUtf16(bytes, false));
    if (startsWith(bytes, std::string_view("\0<\0?", 4))) return checkedUtf8(fromUtf16(bytes, true));

    const std::string encoding = declaredEncoding(bytes);
    if (encoding.empty() || encoding == "utf-8" || encoding == "utf8" || encoding == "us-ascii" ||
        encoding == "ascii")
        return checkedUtf8(std::string(bytes));
    if (encoding == "iso-8859-1" || encoding == "latin1" || encoding == "iso_8859-1" || encoding == "l1")
        return checkedUtf8(fromLatin1(bytes));
    if (encoding == "windows-1252" || encoding == "cp1252") return checkedUtf8(fromCp1252(bytes));

    DecodedText d;
    d.reason = "The document's encoding '" + encoding + "' is not supported.";
    d.text = std::string(bytes.substr(0, bytes.find('\n')));
    d.offset = 0;
    return d;
}

} // namespace winsys::xml
