#include "common/encoders.h"

#include "platform/core/text.h"

namespace halvenlib {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHex[] = "0123456789ABCDEF";

void appendGroup(std::string& out, const std::uint8_t* p, std::size_t n) {
    const std::uint32_t v = (std::uint32_t{p[0]} << 16) | (n > 1 ? std::uint32_t{p[1]} << 8 : 0u) |
                            (n > 2 ? std::uint32_t{p[2]} : 0u);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
    out += n > 2 ? kAlphabet[v & 63] : '=';
}

// Groups of three, padded; CR LF after every 57 bytes when lineEvery57 is set.
std::string encode(const std::uint8_t* data, std::size_t size, bool lineEvery57) {
    std::string out;
    out.reserve(size / 3 * 4 + 4 + size / 57 * 2);
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        appendGroup(out, data + i, 3);
        if (lineEvery57 && (i + 3) % 57 == 0) out += "\r\n";
    }
    if (i < size) appendGroup(out, data + i, size - i);
    return out;
}

int valueOf(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return 0;
}

void appendPercent(std::string& out, unsigned byte) {
    out += '%';
    out += kHex[(byte >> 4) & 15];
    out += kHex[byte & 15];
}

bool escapedBelow256(unsigned c) {
    if (c <= 32) return true;
    switch (c) {
    case 34: case 35: case 37: case 38: case 43: case 47: case 60: case 62: case 63:
    case 91: case 92: case 93: case 94: case 96: case 123: case 124: case 125: case 127:
    case 152: case 160: case 164: case 166: case 167: case 169: case 171: case 172: case 173:
    case 174: case 176: case 177: case 181: case 182: case 183: case 187:
        return true;
    default:
        return false;
    }
}

} // namespace

std::string Base64Encode(std::string_view text) {
    const std::string bytes = winsys::toCp1252(text);
    return encode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), true);
}

std::string Base64EncodeB(const std::vector<std::uint8_t>& bytes) {
    const std::string flat = encode(bytes.data(), bytes.size(), false);
    std::string out;
    out.reserve(flat.size() + flat.size() / 76 * 2);
    for (std::size_t i = 0; i < flat.size(); i += 76) {
        if (i > 0) out += "\r\n";
        out.append(flat, i, 76);
    }
    return out;
}

std::vector<std::uint8_t> Base64DecodeB(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n' && c != ' ') s += c;

    std::vector<std::uint8_t> out;
    if (s.empty()) return out;
    out.reserve(s.size() / 4 * 3 + 3);
    // The last group is the final (up to) four characters; the ones before it
    // decode as whole groups.
    const std::size_t rest = s.size() % 4 == 0 ? 4 : s.size() % 4;
    const std::size_t lastStart = s.size() - rest;
    auto put = [&](std::size_t at, std::size_t count) {
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 4; ++k)
            v = (v << 6) | static_cast<std::uint32_t>(at + k < s.size() ? valueOf(s[at + k]) : 0);
        if (count > 0) out.push_back(static_cast<std::uint8_t>(v >> 16));
        if (count > 1) out.push_back(static_cast<std::uint8_t>(v >> 8));
        if (count > 2) out.push_back(static_cast<std::uint8_t>(v));
    };
    for (std::size_t i = 0; i < lastStart; i += 4) put(i, 3);

    std::size_t lastBytes;
    if (rest == 4) {
        const std::string_view last(s.data() + lastStart, 4);
        lastBytes = last.ends_with("==") ? 1 : last.ends_with('=') ? 2 : 3;
    } else {
        // An incomplete group gives the whole bytes its characters cover.
        lastBytes = rest - 1;
    }
    put(lastStart, lastBytes);
    return out;
}

std::string URLEncode(std::string_view segment) {
    const std::u16string units = winsys::toUtf16(segment);
    std::string out;
    out.reserve(units.size() * 3);
    for (char16_t u : units) {
        const unsigned c = u;
        if (c < 256) {
            if (escapedBelow256(c))
                appendPercent(out, c);
            else
                out += winsys::toUtf8(std::u16string(1, u));
        } else if (c < 2048) {
            appendPercent(out, 0xC0 + ((c >> 6) & 0x1F));
            appendPercent(out, 0x80 + (c & 0x3F));
        } else {
            appendPercent(out, 0xE0 + ((c >> 12) & 0x0F));
            appendPercent(out, 0x80 + ((c >> 6) & 0x3F));
            appendPercent(out, 0x80 + (c & 0x3F));
        }
    }
    return out;
}

std::vector<std::int32_t> ByteArrayToLongArray(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::int32_t> out(bytes.size() / 4);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::uint32_t v = std::uint32_t{bytes[4 * i]} | std::uint32_t{bytes[4 * i + 1]} << 8 |
                                std::uint32_t{bytes[4 * i + 2]} << 16 | std::uint32_t{bytes[4 * i + 3]} << 24;
        out[i] = static_cast<std::int32_t>(v);
    }
    return out;
}

std::vector<std::uint8_t> LongArrayToByteArray(const std::vector<std::int32_t>& longs) {
    std::vector<std::uint8_t> out;
    out.reserve(longs.size() * 4);
    for (std::int32_t l : longs) {
        const auto v = static_cast<std::uint32_t>(l);
        for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
    }
    return out;
}

} // namespace halvenlib
