#include "platform/system/regional.h"

#include <cstdio>

#include "platform/system/regread.h"

namespace winsys {

namespace {

constexpr const char* kInternational = "Control Panel\\International";

constexpr const char* kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr const char* kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};

std::string number(int n, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, n);
    return buf;
}

// Walks a picture: `field(letter, count)` for each run of a letter in
// `letters`, quoted text and every other character copied.
template <class Field>
std::string expand(std::string_view picture, std::string_view letters, Field field) {
    std::string out;
    for (std::size_t i = 0; i < picture.size();) {
        const char c = picture[i];
        if (c == '\'') {
            ++i;
            while (i < picture.size()) {
                if (picture[i] == '\'') {
                    if (i + 1 < picture.size() && picture[i + 1] == '\'') {
                        out += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += picture[i++];
            }
            continue;
        }
        if (letters.find(c) == std::string_view::npos) {
            out += c;
            ++i;
            continue;
        }
        std::size_t n = 1;
        while (i + n < picture.size() && picture[i + n] == c) ++n;
        out += field(c, n);
        i += n;
    }
    return out;
}

// The first character of UTF-8 text, with all its bytes.
std::string_view firstCharacter(std::string_view s) {
    std::size_t n = s.empty() ? 0 : 1;
    while (n < s.size() && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) ++n;
    return s.substr(0, n);
}

void readInto(std::string& value, const char* name) {
    if (auto v = sysreg::readText(win::HKEY_CURRENT_USER, kInternational, name)) value = v->text;
}

} // namespace

RegionalFormats userRegionalFormats() {
    RegionalFormats f;
    readInto(f.shortDate, "sShortDate");
    readInto(f.timeFormat, "sTimeFormat");
    readInto(f.am, "s1159");
    readInto(f.pm, "s2359");
    readInto(f.longDate, "sLongDate");
    readInto(f.decimal, "sDecimal");
    readInto(f.thousand, "sThousand");
    return f;
}

std::string formatDate(const std::tm& t, std::string_view picture) {
    const int year = t.tm_year + 1900;
    return expand(picture, "dMyg", [&](char c, std::size_t n) -> std::string {
        switch (c) {
        case 'd':
            if (n >= 4) return kDayNames[t.tm_wday % 7];
            if (n == 3) return std::string(kDayNames[t.tm_wday % 7], 3);
            return number(t.tm_mday, static_cast<int>(n));
        case 'M':
            if (n >= 4) return kMonthNames[t.tm_mon % 12];
            if (n == 3) return std::string(kMonthNames[t.tm_mon % 12], 3);
            return number(t.tm_mon + 1, static_cast<int>(n));
        case 'y':
            if (n >= 3) return number(year, 4);
            return number(year % 100, static_cast<int>(n));
        default: return "A.D."; // g, gg: the Gregorian era
        }
    });
}

std::string formatTime(const std::tm& t, std::string_view picture, std::string_view am, std::string_view pm) {
    const std::string_view marker = t.tm_hour < 12 ? am : pm;
    return expand(picture, "hHmst", [&](char c, std::size_t n) -> std::string {
        const int width = n >= 2 ? 2 : 1;
        switch (c) {
        case 'h': return number(t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12, width);
        case 'H': return number(t.tm_hour, width);
        case 'm': return number(t.tm_min, width);
        case 's': return number(t.tm_sec, width);
        default: return std::string(n >= 2 ? marker : firstCharacter(marker)); // t, tt
        }
    });
}

std::string localDateTimeText(const std::tm& t, const RegionalFormats& formats) {
    return formatDate(t, formats.shortDate) + " " + formatTime(t, formats.timeFormat, formats.am, formats.pm);
}

std::string groupedNumber(unsigned long long n, const RegionalFormats& formats) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) out += formats.thousand;
        out += digits[i];
    }
    return out;
}

} // namespace winsys
