#include "platform/core/text.h"

#include <gtest/gtest.h>

using namespace winsys;

TEST(Text, Utf16RoundTripAndLength) {
    struct Case { const char* label; std::string utf8; std::size_t units; };
    const Case cases[] = {
        {"ascii", "abc", 3},
        {"latin1", "caf\xC3\xA9", 4},
        {"bmp", "\xE2\x82\xAC", 1},
        {"astral", "\xF0\x9F\x98\x80", 2},
        {"empty", "", 0},
        {"ASCII runs between others", "ab\xC3\xA9" "cd\xF0\x9F\x98\x80" "ef\xE2\x82\xAC", 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(utf16Length(c.utf8), c.units);
        EXPECT_EQ(toUtf16(c.utf8).size(), c.units);
        EXPECT_EQ(toUtf8(toUtf16(c.utf8)), c.utf8);
    }
}

TEST(Text, MalformedInputBecomesReplacementCharacter) {
    EXPECT_EQ(toUtf16("a\xFF" "b"), (std::u16string{u'a', 0xFFFD, u'b'}));
    EXPECT_EQ(toUtf16("\xC3"), std::u16string(1, 0xFFFD));            // truncated sequence
    EXPECT_EQ(toUtf16("\xC0\xAF"), std::u16string(1, 0xFFFD));        // overlong
    EXPECT_EQ(toUtf8(std::u16string(1, 0xD800)), "\xEF\xBF\xBD");     // lone surrogate
}

TEST(Text, Utf16leBytes) {
    auto bytes = toUtf16leBytes("A\xE2\x82\xAC", true);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x41, 0, 0xAC, 0x20, 0, 0}));
    EXPECT_EQ(fromUtf16leBytes(bytes), std::string("A\xE2\x82\xAC") + '\0');
    // An odd trailing byte is dropped, never read past.
    const std::uint8_t odd[] = {0x41, 0x00, 0x42};
    EXPECT_EQ(fromUtf16leBytes(odd, 3), "A");
}

TEST(Text, Cp1252BothWays) {
    EXPECT_EQ(fromCp1252("\x80\xE9"), "\xE2\x82\xAC\xC3\xA9");
    EXPECT_EQ(toCp1252("\xE2\x82\xAC\xC3\xA9"), "\x80\xE9");
    EXPECT_EQ(toCp1252("\xE4\xB8\xAD"), "?"); // no such character in the code page
}

TEST(Text, CaseInsensitiveComparison) {
    struct Case { const char* a; const char* b; int sign; };
    const Case cases[] = {
        {"Software", "SOFTWARE", 0},
        {"wow6432node", "Wow6432Node", 0},
        {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", 0},       // é vs É
        {"\xD0\xB4", "\xD0\x94", 0},                         // Cyrillic de
        {"a", "B", -1},
        {"b", "A", 1},
        {"ab", "a", 1},
        {"", "a", -1},
        // Windows compares folded to upper case: '_' (0x5F) sorts after letters.
        {"_x", "a", 1},
        // Long texts are compared eight bytes at a time where they agree:
        // the characters beside the letters ('@' '[' '`' '{') keep their order
        // and only letters fold, wherever in a block they stand.
        {"C:\\Program Files\\Vendor", "c:\\PROGRAM FILES\\vendor", 0},
        {"abcdefgh@", "ABCDEFGH`", -1},
        {"abcdefg`", "ABCDEFG@", 1},
        {"abcdefg[", "ABCDEFG{", -1},
        {"@bcdefghijklmnop", "`BCDEFGHIJKLMNOP", -1},
        {"abcdefgzijklmnop", "ABCDEFGZIJKLMNOQ", -1},
        {"abcdefg{", "ABCDEFGz", 1},
        {"abcdefgh\xC3\xA9", "ABCDEFGH\xC3\x89", 0},
        {"abcdefghi", "ABCDEFGH", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        int r = compareNoCase(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign);
    }
    const struct {
        const char* lower;
        const char* upper;
    } pairs[] = {
        {"abc\xC3\xA9", "ABC\xC3\x89"},                    // plain letters, then one that is not
        {"\xC3\xA9t\xC3\xA9 zone_9", "\xC3\x89T\xC3\x89 ZONE_9"}, // plain ones after and between
        {"c:\\program files\\x", "C:\\PROGRAM FILES\\X"},    // plain only
        {"", ""},
    };
    for (const auto& p : pairs) {
        SCOPED_TRACE(p.lower);
        EXPECT_EQ(upperCase(p.lower), p.upper);
        EXPECT_EQ(lowerCase(p.upper), p.lower);
    }
    EXPECT_TRUE(startsWithNoCase("HKEY_Local", "hkey_"));
    EXPECT_TRUE(endsWithNoCase("File.DLL", ".dll"));
    EXPECT_FALSE(endsWithNoCase("dll", ".dll"));
}

// Texts equal without regard to case hash alike, however long and whatever
// they hold; a few that differ (in a letter, a neighbour of the letters, the
// length) hash apart.
TEST(Text, HashesWithoutRegardToCase) {
    const struct {
        const char* a;
        const char* b;
    } same[] = {
        {"", ""},
        {"dLL", "DLL"},
        {"manufacturer", "MANUFACTURER"},
        {"{0000ABCD-00ef-0A12-0123-456789abcdef}", "{0000abcd-00EF-0a12-0123-456789ABCDEF}"},
        {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"},
        {"abcdefgh\xC3\xA9", "ABCDEFGH\xC3\x89"},
    };
    for (const auto& c : same) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        ASSERT_TRUE(equalsNoCase(c.a, c.b));
        EXPECT_EQ(hashNoCase(c.a), hashNoCase(c.b));
    }
    const std::string_view apart[] = {"", "a", std::string_view("a\0", 2), "b", "@", "`", "abcdefgh", "abcdefgi",
                                      "abcdefgh@", "abcdefgh`", "\xC3\xA9", "\xC3\xAA"};
    for (std::size_t i = 0; i < std::size(apart); ++i)
        for (std::size_t j = i + 1; j < std::size(apart); ++j)
            EXPECT_NE(hashNoCase(apart[i]), hashNoCase(apart[j])) << i << " / " << j;
}
