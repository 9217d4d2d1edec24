#include "platform/core/guid.h"

#include <random>

namespace winsys {

std::string guidToString(const win::GUID& g) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "{00000000-0000-0000-0000-000000000000}";
    // Writes `digits` hexadecimal digits of v ending before `end`.
    const auto put = [&](std::size_t end, std::uint32_t v, int digits) {
        for (int i = 1; i <= digits; ++i, v >>= 4) out[end - static_cast<std::size_t>(i)] = kHex[v & 0xF];
    };
    put(9, g.Data1, 8);
    put(14, g.Data2, 4);
    put(19, g.Data3, 4);
    static constexpr std::size_t kByteEnd[8] = {22, 24, 27, 29, 31, 33, 35, 37};
    for (int i = 0; i < 8; ++i) put(kByteEnd[i], g.Data4[i], 2);
    return out;
}

std::optional<win::GUID> guidFromString(std::string_view t) {
    if (t.size() != 38 || t[0] != '{' || t[37] != '}' || t[9] != '-' || t[14] != '-' || t[19] != '-' || t[24] != '-')
        return std::nullopt;
    auto hex = [&](std::size_t pos, int digits, std::uint64_t& out) {
        out = 0;
        for (int i = 0; i < digits; ++i) {
            char c = t[pos + i];
            int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (v < 0) return false;
            out = out * 16 + static_cast<unsigned>(v);
        }
        return true;
    };
    win::GUID g;
    std::uint64_t v;
    if (!hex(1, 8, v)) return std::nullopt;
    g.Data1 = static_cast<std::uint32_t>(v);
    if (!hex(10, 4, v)) return std::nullopt;
    g.Data2 = static_cast<std::uint16_t>(v);
    if (!hex(15, 4, v)) return std::nullopt;
    g.Data3 = static_cast<std::uint16_t>(v);
    static const std::size_t bytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!hex(bytePos[i], 2, v)) return std::nullopt;
        g.Data4[i] = static_cast<std::uint8_t>(v);
    }
    return g;
}

win::GUID newGuid() {
    thread_local std::random_device rd;
    thread_local std::mt19937_64 gen(((std::uint64_t)rd() << 32) ^ rd());
    std::uint64_t a = gen(), b = gen();
    win::GUID g;
    g.Data1 = static_cast<std::uint32_t>(a >> 32);
    g.Data2 = static_cast<std::uint16_t>(a >> 16);
    g.Data3 = static_cast<std::uint16_t>((a & 0x0FFF) | 0x4000);
    for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<std::uint8_t>(b >> (8 * i));
    g.Data4[0] = static_cast<std::uint8_t>((g.Data4[0] & 0x3F) | 0x80);
    return g;
}

} // namespace winsys
