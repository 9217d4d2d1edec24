#include "tools/regtool/value_text.h"

#include <algorithm>
#include <cstdio>

#include "platform/core/text.h"

namespace regtool {

namespace {

struct TypeEntry {
    win::DWORD type;
    const char* name;
    bool addable; // accepted by "add /t"
};

const TypeEntry kTypes[] = {
    {win::REG_NONE, "REG_NONE", true},
    {win::REG_SZ, "REG_SZ", true},
    {win::REG_EXPAND_SZ, "REG_EXPAND_SZ", true},
    {win::REG_BINARY, "REG_BINARY", true},
    {win::REG_DWORD, "REG_DWORD", true},
    {win::REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN", true},
    {win::REG_LINK, "REG_LINK", false},
    {win::REG_MULTI_SZ, "REG_MULTI_SZ", true},
    {win::REG_RESOURCE_LIST, "REG_RESOURCE_LIST", false},
    {win::REG_FULL_RESOURCE_DESCRIPTOR, "REG_FULL_RESOURCE_DESCRIPTOR", false},
    {win::REG_RESOURCE_REQUIREMENTS_LIST, "REG_RESOURCE_REQUIREMENTS_LIST", false},
    {win::REG_QWORD, "REG_QWORD", true},
};

// The text up to its first NUL.
std::string textUpToNul(const std::vector<win::BYTE>& data, std::size_t from, std::size_t* next) {
    std::size_t end = from;
    while (end + 1 < data.size() && (data[end] || data[end + 1])) end += 2;
    if (next) *next = end + 2;
    return winsys::fromUtf16leBytes(data.data() + from, std::min(end, data.size()) - from);
}

std::uint64_t littleEndian(const std::vector<win::BYTE>& data) {
    std::uint64_t v = 0;
    for (std::size_t i = data.size(); i-- > 0;) v = (v << 8) | data[i];
    return v;
}

// Decimal or 0x-prefixed hexadecimal, at most `max`.
std::optional<std::uint64_t> parseNumber(std::string_view text, std::uint64_t max) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : text) {
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
        if (d >= base) return std::nullopt;
        if (v > (max - static_cast<std::uint64_t>(d)) / static_cast<std::uint64_t>(base)) return std::nullopt;
        v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    }
    return v;
}

std::vector<win::BYTE> bytesOf(std::uint64_t v, int count, bool bigEndian) {
    std::vector<win::BYTE> out(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) out[bigEndian ? count - 1 - i : i] = static_cast<win::BYTE>(v >> (8 * i));
    return out;
}

} // namespace

std::string typeName(win::DWORD type) {
    for (const auto& t : kTypes)
        if (t.type == type) return t.name;
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", type);
    return buf;
}

std::optional<win::DWORD> typeFromName(std::string_view name) {
    if (winsys::equalsNoCase(name, "REG_DWORD_LITTLE_ENDIAN")) return win::REG_DWORD;
    if (winsys::equalsNoCase(name, "REG_QWORD_LITTLE_ENDIAN")) return win::REG_QWORD;
    for (const auto& t : kTypes)
        if (t.addable && winsys::equalsNoCase(name, t.name)) return t.type;
    return std::nullopt;
}

std::string displayData(win::DWORD type, const std::vector<win::BYTE>& data) {
    char buf[24];
    switch (type) {
    case win::REG_SZ:
    case win::REG_EXPAND_SZ:
        return textUpToNul(data, 0, nullptr);
    case win::REG_MULTI_SZ: {
        std::string out;
        for (std::size_t pos = 0; pos + 1 < data.size();) {
            std::string item = textUpToNul(data, pos, &pos);
            if (item.empty()) break;
            if (!out.empty()) out += "\\0";
            out += item;
        }
        return out;
    }
    case win::REG_DWORD:
    case win::REG_QWORD:
        if (data.size() != (type == win::REG_DWORD ? 4u : 8u)) break;
        std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(littleEndian(data)));
        return buf;
    case win::REG_DWORD_BIG_ENDIAN:
        if (data.size() != 4) break;
        std::snprintf(buf, sizeof buf, "0x%x", (data[0] << 24) | (data[1] << 16) | (data[2] << 8) | data[3]);
        return buf;
    }
    std::string out;
    for (auto b : data) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        out += buf;
    }
    return out;
}

winsys::Result<std::vector<win::BYTE>> dataFromText(win::DWORD type, std::string_view text,
                                                     std::string_view separator) {
    auto invalid = [&] {
        return winsys::Error{win::ERROR_INVALID_DATA,
                             "invalid data '" + std::string(text) + "' for " + typeName(type)};
    };
    switch (type) {
    case win::REG_SZ:
    case win::REG_EXPAND_SZ:
        return winsys::toUtf16leBytes(text, true);
    case win::REG_MULTI_SZ: {
        std::vector<win::BYTE> out;
        while (!text.empty()) {
            const std::size_t at = separator.empty() ? std::string_view::npos : text.find(separator);
            const auto item = winsys::toUtf16leBytes(text.substr(0, at), true);
            out.insert(out.end(), item.begin(), item.end());
            text = at == std::string_view::npos ? std::string_view() : text.substr(at + separator.size());
        }
        out.push_back(0);
        out.push_back(0);
        return out;
    }
    case win::REG_DWORD:
    case win::REG_DWORD_BIG_ENDIAN: {
        auto v = parseNumber(text.empty() ? "0" : text, 0xFFFFFFFFu);
        if (!v) return invalid();
        return bytesOf(*v, 4, type == win::REG_DWORD_BIG_ENDIAN);
    }
    case win::REG_QWORD: {
        auto v = parseNumber(text.empty() ? "0" : text, ~std::uint64_t{0});
        if (!v) return invalid();
        return bytesOf(*v, 8, false);
    }
    default: {
        if (text.size() % 2 != 0) return invalid();
        std::vector<win::BYTE> out;
        for (std::size_t i = 0; i < text.size(); i += 2) {
            auto v = parseNumber(std::string("0x") + std::string(text.substr(i, 2)), 0xFF);
            if (!v) return invalid();
            out.push_back(static_cast<win::BYTE>(*v));
        }
        return out;
    }
    }
}

} // namespace regtool
