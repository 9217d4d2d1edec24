#include "platform/core/text.h"

#include <cstring>
#include <optional>

namespace winsys {

namespace {

// Decodes one code point from UTF-8 at s[i], advancing i. Malformed -> U+FFFD;
// so is the three-byte form of a surrogate unless `surrogates` keeps it.
char32_t decodeOne(std::string_view s, std::size_t& i, bool surrogates = false) {
    auto b0 = static_cast<unsigned char>(s[i++]);
    if (b0 < 0x80) return b0;
    int extra;
    char32_t cp;
    if ((b0 & 0xE0) == 0xC0) { extra = 1; cp = b0 & 0x1F; }
    else if ((b0 & 0xF0) == 0xE0) { extra = 2; cp = b0 & 0x0F; }
    else if ((b0 & 0xF8) == 0xF0) { extra = 3; cp = b0 & 0x07; }
    else return 0xFFFD;
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size()) return 0xFFFD;
        auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (b & 0x3F);
        ++i;
    }
    static const char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF && !surrogates)) return 0xFFFD;
    return cp;
}

void encodeOne(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Windows-1252 0x80..0x9F; 0 marks the five unassigned bytes.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

} // namespace

namespace {

std::u16string utf16Of(std::string_view s, bool surrogates) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        // A run of ASCII bytes is copied byte for unit.
        std::size_t run = i;
        while (run < s.size() && static_cast<unsigned char>(s[run]) < 0x80) ++run;
        if (run > i) {
            const std::size_t at = out.size();
            out.resize(at + (run - i));
            for (std::size_t k = i; k < run; ++k) out[at + (k - i)] = static_cast<char16_t>(s[k]);
            i = run;
            continue;
        }
        char32_t cp = decodeOne(s, i, surrogates);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string utf8Of(std::u16string_view s, bool surrogates) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        // A run of ASCII units is copied unit for byte.
        std::size_t run = i;
        while (run < s.size() && s[run] < 0x80) ++run;
        if (run > i) {
            const std::size_t at = out.size();
            out.resize(at + (run - i));
            for (std::size_t k = i; k < run; ++k) out[at + (k - i)] = static_cast<char>(s[k]);
            i = run;
            if (i == s.size()) break;
        }
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF && !surrogates) {
            c = 0xFFFD;
        }
        encodeOne(c, out);
    }
    return out;
}

} // namespace

std::u16string toUtf16(std::string_view s) { return utf16Of(s, false); }
std::string toUtf8(std::u16string_view s) { return utf8Of(s, false); }
std::string toUtf8KeepingSurrogates(std::u16string_view s) { return utf8Of(s, true); }
std::u16string toUtf16KeepingSurrogates(std::string_view s) { return utf16Of(s, true); }

std::size_t utf16Length(std::string_view s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size();) n += decodeOne(s, i) >= 0x10000 ? 2 : 1;
    return n;
}

std::string cutWithEllipsis(std::string_view s, std::size_t maxUnits) {
    std::size_t n = 0, i = 0;
    while (i < s.size()) {
        std::size_t next = i;
        const std::size_t units = decodeOne(s, next) >= 0x10000 ? 2 : 1;
        if (n + units > maxUnits) return std::string(s.substr(0, i)) + "\u2026";
        n += units;
        i = next;
    }
    return std::string(s);
}

std::vector<std::uint8_t> toUtf16leBytes(std::string_view utf8, bool withNul) {
    std::u16string w = toUtf16(utf8);
    if (withNul) w += u'\0';
    std::vector<std::uint8_t> out(w.size() * 2);
    for (std::size_t i = 0; i < w.size(); ++i) {
        out[2 * i] = static_cast<std::uint8_t>(w[i] & 0xFF);
        out[2 * i + 1] = static_cast<std::uint8_t>(w[i] >> 8);
    }
    return out;
}

std::string fromUtf16leBytes(const std::uint8_t* data, std::size_t size) {
    std::u16string w(size / 2, u'\0');
    for (std::size_t i = 0; i < w.size(); ++i)
        w[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return toUtf8(w);
}

std::string fromCp1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char b : bytes) {
        char32_t cp = b;
        if (b >= 0x80 && b < 0xA0) cp = kCp1252High[b - 0x80] ? kCp1252High[b - 0x80] : b;
        encodeOne(cp, out);
    }
    return out;
}

std::string toCp1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = decodeOne(utf8, i);
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out += static_cast<char>(cp);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k)
            if (kCp1252High[k] == cp) { mapped = static_cast<char>(0x80 + k); break; }
        out += mapped;
    }
    return out;
}

char32_t foldCase(char32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
    // Latin-1 supplement (not the division sign, not y-diaeresis' odd pair).
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    if (c == 0xFF) return 0x178;
    // Latin Extended-A: pairs, upper case even (with two odd stretches).
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c & ~char32_t{1};
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : c - 1;
    // Greek and Cyrillic.
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 32;
    if (c >= 0x430 && c <= 0x44F) return c - 32;
    if (c >= 0x450 && c <= 0x45F) return c - 80;
    if (c >= 0x460 && c <= 0x4FF && !(c >= 0x482 && c <= 0x489)) return c & ~char32_t{1};
    // Full-width Latin letters.
    if (c >= 0xFF41 && c <= 0xFF5A) return c - 32;
    return c;
}

namespace {

constexpr std::uint64_t kHigh = 0x8080808080808080ull;

// Upper case of eight plain-ASCII bytes at once: a byte from 'a' to 'z'
// loses 0x20. No sum carries into the next byte, all being below 0x80.
std::uint64_t upper8(std::uint64_t x) {
    const std::uint64_t fromA = x + 0x1F1F1F1F1F1F1F1Full; // high bit where the byte >= 'a'
    const std::uint64_t pastZ = x + 0x0505050505050505ull; // high bit where the byte > 'z'
    return x - (((fromA & ~pastZ) & kHigh) >> 2);
}

// How many leading bytes of both, in whole blocks of eight, are plain ASCII
// and equal without regard to case: where a comparison may start.
std::size_t asciiPrefixEqualNoCase(std::string_view a, std::string_view b) {
    const auto upper = upper8;
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x = 0, y = 0;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if ((x | y) & kHigh) break;
        if (x != y && upper(x) != upper(y)) break;
    }
    return i;
}

} // namespace

int compareNoCase(std::string_view a, std::string_view b) {
    std::size_t i = asciiPrefixEqualNoCase(a, b), j = i;
    while (i < a.size() && j < b.size()) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[j]);
        char32_t x, y;
        if (ca < 0x80 && cb < 0x80) {
            x = (ca >= 'a' && ca <= 'z') ? ca - 32 : ca;
            y = (cb >= 'a' && cb <= 'z') ? cb - 32 : cb;
            ++i; ++j;
        } else {
            x = foldCase(decodeOne(a, i, true)); y = foldCase(decodeOne(b, j, true));
        }
        if (x != y) return x < y ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

std::string upperCase(std::string_view s) {
    // Plain ASCII, by far the most common, needs no decoding: changed in
    // place up to the first other character.
    std::string out(s);
    std::size_t i = 0;
    for (; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c >= 0x80) break;
        if (c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 32);
    }
    if (i == out.size()) return out;
    out.resize(i);
    while (i < s.size()) encodeOne(foldCase(decodeOne(s, i, true)), out);
    return out;
}

namespace {

// A hash of the bytes of `s` eight at a time, each block upper-cased first
// when `fold` (then every byte must be plain ASCII: nothing when one is not).
std::optional<std::uint64_t> blockHash(std::string_view s, bool fold) {
    const auto mix = [](std::uint64_t h, std::uint64_t w) {
        h = (h ^ w) * 0x9E3779B97F4A7C15ull;
        return h ^ (h >> 29);
    };
    std::uint64_t h = 0xCBF29CE484222325ull;
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t w = 0;
        std::memcpy(&w, s.data() + i, 8);
        if (fold) {
            if (w & kHigh) return std::nullopt;
            w = upper8(w);
        }
        h = mix(h, w);
    }
    std::uint64_t tail = 0;
    if (i < s.size()) std::memcpy(&tail, s.data() + i, s.size() - i);
    if (fold) {
        if (tail & kHigh) return std::nullopt;
        tail = upper8(tail);
    }
    return mix(mix(h, tail), s.size());
}

} // namespace

std::uint64_t hashNoCase(std::string_view s) {
    // Of the bytes of upperCase(s): plain ASCII is upper-cased as it is read.
    if (auto h = blockHash(s, true)) return *h;
    return *blockHash(upperCase(s), false);
}

std::string lowerCase(std::string_view s) {
    std::string out(s);
    std::size_t start = 0;
    for (; start < out.size(); ++start) {
        const auto c = static_cast<unsigned char>(out[start]);
        if (c >= 0x80) break;
        if (c >= 'A' && c <= 'Z') out[start] = static_cast<char>(c + 32);
    }
    if (start == out.size()) return out;
    out.resize(start);
    for (std::size_t i = start; i < s.size();) {
        char32_t c = decodeOne(s, i, true);
        char32_t lower = c;
        // Search the small range of candidates whose upper case is c.
        if (c < 0x80) lower = (c >= 'A' && c <= 'Z') ? c + 32 : c;
        else if (foldCase(c) == c) {
            for (char32_t cand : {c + 32, c + 1, c + 80, c + 1 - 1}) {
                if (cand != c && foldCase(cand) == c) { lower = cand; break; }
            }
            if (c == 0x178) lower = 0xFF;
        }
        encodeOne(lower, out);
    }
    return out;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    return compareNoCase(text.substr(0, prefix.size()), prefix) == 0;
}

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    return compareNoCase(text.substr(text.size() - suffix.size()), suffix) == 0;
}

} // namespace winsys
