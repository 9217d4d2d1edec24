#pragma once
// Text helpers shared by the whole system. Text is UTF-8 std::string
// everywhere; UTF-16 appears where Windows counts in UTF-16 code units or
// stores UTF-16LE bytes. One case-insensitive comparison serves names of
// keys, values, files and collection items, as Windows' own does.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace winsys {

// UTF-8 <-> UTF-16. Malformed input becomes U+FFFD; nothing throws.
std::u16string toUtf16(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);

// The same, but an unpaired surrogate (legal in Windows names) travels as
// the three bytes UTF-8 would give its code point (ED A0 80..ED BF BF)
// instead of becoming U+FFFD, so that names differing only in one stay
// apart. The comparisons and case mappings below keep such a unit as it is.
std::string toUtf8KeepingSurrogates(std::u16string_view utf16);
std::u16string toUtf16KeepingSurrogates(std::string_view utf8);

// Number of UTF-16 code units the text takes.
std::size_t utf16Length(std::string_view utf8);
// The text when it takes at most `maxUnits` UTF-16 units; else its first
// characters that fit in them, never half a character, followed by "…".
std::string cutWithEllipsis(std::string_view utf8, std::size_t maxUnits);

// UTF-16LE bytes, as the registry stores REG_SZ (optionally with its NUL).
std::vector<std::uint8_t> toUtf16leBytes(std::string_view utf8, bool withNul);
// Decodes UTF-16LE bytes; an odd trailing byte is ignored.
std::string fromUtf16leBytes(const std::uint8_t* data, std::size_t size);
inline std::string fromUtf16leBytes(const std::vector<std::uint8_t>& v) {
    return fromUtf16leBytes(v.data(), v.size());
}

// The ANSI code page of the system: Windows-1252.
std::string fromCp1252(std::string_view bytes);
std::string toCp1252(std::string_view utf8); // unmappable characters become '?'

// Upper-case folding of one code point, as Windows compares names.
char32_t foldCase(char32_t c);

// Case-insensitive comparison of UTF-8 texts, by folded code point.
int compareNoCase(std::string_view a, std::string_view b);
inline bool equalsNoCase(std::string_view a, std::string_view b) {
    return compareNoCase(a, b) == 0;
}
struct LessNoCase {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return compareNoCase(a, b) < 0; }
};
std::string upperCase(std::string_view utf8);
// A hash of the text's upper case: texts that equalsNoCase finds equal hash
// alike. Plain ASCII is hashed as it is read, without a copy.
std::uint64_t hashNoCase(std::string_view utf8);
std::string lowerCase(std::string_view utf8);

bool startsWithNoCase(std::string_view text, std::string_view prefix);
bool endsWithNoCase(std::string_view text, std::string_view suffix);

} // namespace winsys
