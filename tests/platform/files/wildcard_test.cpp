#include "platform/files/wildcard.h"

#include <gtest/gtest.h>

using winsys::matchesWildcard;

TEST(Wildcard, MatchesAsWindowsSearchesDo) {
    struct Case { const char* label; const char* mask; const char* name; bool matches; };
    const Case cases[] = {
        {"star takes all", "*", "a.txt", true},
        {"star takes a dotless name", "*", "README", true},
        {"star-dot-star takes a dotless name", "*.*", "README", true},
        {"star-dot-star takes a dotted name", "*.*", "a.b.c", true},
        {"star-dot-star takes the dot entries", "*.*", "..", true},
        {"extension ignores case", "*.txt", "NOTES.TXT", true},
        {"extension must match", "*.txt", "notes.dat", false},
        {"star-dot stops at the last dot", "*.txt", "a.txt.bak", false},
        {"star-dot spans inner dots", "*.txt", "a.b.txt", true},
        {"no short-name match", "*.htm", "page.html", false},
        {"literal name ignores case", "Data.XML", "data.xml", true},
        {"literal name is whole", "data", "data.xml", false},
        {"question mark takes one", "a?c", "abc", true},
        {"question mark needs one inside", "a?c", "ac", false},
        {"question mark takes nothing at the end", "abc?", "abc", true},
        {"question marks take nothing at a dot", "a??.txt", "a.txt", true},
        {"question mark is not a dot", "a?txt", "a.txt", false},
        {"dot-star takes a dotless name", "readme.*", "readme", true},
        {"dot-star takes an extension", "readme.*", "readme.md", true},
        {"dot-star needs the dot", "a.*", "abc", false},
        {"prefix and star", "tmp*.tmp", "TMP1A2B.tmp", true},
        {"star in the middle", "a*z", "abcz", true},
        {"star backtracks", "*ab", "aabab", true},
        {"star needs the tail", "*ab", "aaba", false},
        {"case of non-ASCII letters", "\xC3\x89T\xC3\x89.*", "\xC3\xA9t\xC3\xA9.log", true}, // ÉTÉ.* / été.log
        {"empty mask takes nothing", "", "a", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(matchesWildcard(c.mask, c.name), c.matches) << c.mask << " vs " << c.name;
    }
}
