#include "platform/registry/regfile.h"

// The writer of .reg text, the inverse of the reader: every value comes out
// in a form that reads back to the same type and bytes. Text goes in quotes
// only when the quotes carry it exactly; everything else is a byte list.

#include <cstdio>

#include "platform/core/text.h"

namespace winsys {

namespace {

// regedit breaks a byte list once a line holds this many characters.
constexpr std::size_t kHexLineLimit = 77;

std::string escapeText(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        // Only names get here with line breaks: data with them is written as bytes.
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

// REG_SZ data that a quoted string carries exactly: UTF-16 that ends in its
// one NUL, with whole surrogate pairs and no line breaks.
bool asPlainText(const std::vector<win::BYTE>& data, std::string& text) {
    if (data.size() < 2 || data.size() % 2 != 0) return false;
    const std::size_t units = data.size() / 2;
    auto unit = [&](std::size_t i) { return static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8)); };
    if (unit(units - 1) != 0) return false;
    for (std::size_t i = 0; i + 1 < units; ++i) {
        const char16_t u = unit(i);
        if (u == 0 || u == u'\n' || u == u'\r') return false;
        if (u >= 0xDC00 && u <= 0xDFFF) return false;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 2 >= units) return false;
            const char16_t low = unit(i + 1);
            if (low < 0xDC00 || low > 0xDFFF) return false;
            ++i;
        }
    }
    text = fromUtf16leBytes(data.data(), data.size() - 2);
    return true;
}

} // namespace

std::string formatRegValue(std::string_view name, win::DWORD type, const std::vector<win::BYTE>& data) {
    std::string out = name.empty() ? std::string("@=") : "\"" + escapeText(name) + "\"=";
    std::string text;
    if (type == win::REG_SZ && asPlainText(data, text)) return out + "\"" + escapeText(text) + "\"";

    char buf[32];
    if (type == win::REG_DWORD && data.size() == 4) {
        const win::DWORD v = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<win::DWORD>(data[3]) << 24);
        std::snprintf(buf, sizeof buf, "dword:%08x", v);
        return out + buf;
    }
    if (type == win::REG_BINARY) {
        out += "hex:";
    } else {
        std::snprintf(buf, sizeof buf, "hex(%x):", type);
        out += buf;
    }
    static const char kDigits[] = "0123456789abcdef";
    out.reserve(out.size() + data.size() * 3 + data.size() / 25 * 5);
    std::size_t column = utf16Length(out);
    for (std::size_t i = 0; i < data.size(); ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0xF];
        if (i + 1 == data.size()) break;
        out += ',';
        column += 3;
        if (column >= kHexLineLimit) {
            out += "\\\r\n  ";
            column = 2;
        }
    }
    return out;
}

std::vector<std::uint8_t> encodeRegFile(std::string_view utf8) {
    std::vector<std::uint8_t> out{0xFF, 0xFE};
    const auto body = toUtf16leBytes(utf8, false);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

} // namespace winsys
