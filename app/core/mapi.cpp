#include "app/core/mapi.h"

#include <cmath>
#include <string_view>

#include "platform/core/text.h"
#include "platform/pe/pefile.h"
#include "platform/system/pathnames.h"
#include "platform/system/version.h"

namespace sorlix::MAPI {

namespace {

constexpr int kStringBuffer = 256;

// The number at the start of `text` as VB's Val reads it (leading blanks,
// digits, a decimal part), rounded half to even; -1 when out of range.
double leadingNumber(std::string_view text) {
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos) return 0;
    double v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) v = v * 10 + (text[i] - '0');
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10) v += (text[i] - '0') * scale;
    }
    return std::nearbyint(v); // the default rounding mode rounds half to even
}

// Bytes of the first UTF-8 character of `s` (1 for a stray byte).
std::size_t firstCharLength(std::string_view s) {
    const auto lead = static_cast<unsigned char>(s[0]);
    std::size_t n = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 1;
    return n <= s.size() ? n : 1;
}

} // namespace

bool IsWindowsNT() {
    win::OSVERSIONINFOEX v;
    return win::GetVersionEx(&v) && v.dwPlatformId == win::VER_PLATFORM_WIN32_NT;
}

bool IsWindowsNT4() {
    if (!IsWindowsNT()) return false;
    win::OSVERSIONINFOEX v;
    return win::GetVersionEx(&v) && v.dwMajorVersion == 4;
}

std::string GetFileNameFromPath(const std::string& path) {
    if (path.empty()) return {};
    std::string_view p = path;
    if (p.back() == '\\') p.remove_suffix(1);
    const auto slash = p.rfind('\\');
    return std::string(slash == std::string_view::npos ? p : p.substr(slash + 1));
}

std::string LoadIndirectString(const std::string& text) {
    if (text.empty() || text[0] != '@') return text;
    const std::string_view rest = std::string_view(text).substr(1);
    const auto comma = rest.find(',');
    if (comma == std::string_view::npos) return text;
    const std::string file = Trim(rest.substr(0, comma));
    std::string_view second = rest.substr(comma + 1);
    second = second.substr(0, second.find(','));
    std::string digits;
    for (char c : second) {
        if (c != '-') digits += c;
    }
    const double id = leadingNumber(digits);
    if (file.empty() || id < 0 || id > 0xFFFFFFFF) return text;

    const auto module = winsys::moduleFilePath(file);
    if (!module) return text;
    std::string loaded;
    if (win::LoadString(*module, static_cast<win::UINT>(id), &loaded, kStringBuffer) <= 0) return text;
    return loaded.empty() ? text : loaded;
}

std::string Trim(std::string_view text) {
    const auto b = text.find_first_not_of(' ');
    if (b == std::string_view::npos) return {};
    return std::string(text.substr(b, text.find_last_not_of(' ') - b + 1));
}

std::string CapitalizeFirst(const std::string& text) {
    if (text.empty()) return text;
    const std::size_t n = firstCharLength(text);
    return winsys::upperCase(std::string_view(text).substr(0, n)) + text.substr(n);
}

std::string CapitalizeWords(const std::string& text) {
    std::string out;
    std::size_t start = 0;
    while (true) {
        const std::size_t blank = text.find(' ', start);
        out += CapitalizeFirst(text.substr(start, blank == std::string::npos ? std::string::npos : blank - start));
        if (blank == std::string::npos) break;
        out += ' ';
        start = blank + 1;
    }
    return out;
}

} // namespace sorlix::MAPI
