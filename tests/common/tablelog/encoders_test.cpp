// The encoders as plain functions: Base64 of texts and bytes with their
// different line breaks, decoding through breaks and blanks, round trips,
// URL percent-encoding by UTF-16 code unit, and byte/integer arrays.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/encoders.h"

using namespace halvenlib;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int k = 0; k < n; ++k) out += s;
    return out;
}

TEST(Base64, EncodesTextsAndBytes) {
    const std::string line76 = repeat("YWFh", 19); // 57 times "a"
    const struct {
        const char* label;
        std::string input; // ASCII, so the text and byte forms see the same bytes
        std::string text;  // Base64Encode
        std::string bytes; // Base64EncodeB
    } rows[] = {
        {"empty", "", "", ""},
        {"one byte", "f", "Zg==", "Zg=="},
        {"two bytes", "fo", "Zm8=", "Zm8="},
        {"three bytes", "foo", "Zm9v", "Zm9v"},
        {"six bytes", "foobar", "Zm9vYmFy", "Zm9vYmFy"},
        {"56 bytes: no break", std::string(56, 'a'), repeat("YWFh", 18) + "YWE=", repeat("YWFh", 18) + "YWE="},
        {"57 bytes: text form ends with CR LF", std::string(57, 'a'), line76 + "\r\n", line76},
        {"58 bytes", std::string(58, 'a'), line76 + "\r\nYQ==", line76 + "\r\nYQ=="},
        {"114 bytes", std::string(114, 'a'), line76 + "\r\n" + line76 + "\r\n", line76 + "\r\n" + line76},
        {"115 bytes", std::string(115, 'a'), line76 + "\r\n" + line76 + "\r\nYQ==", line76 + "\r\n" + line76 + "\r\nYQ=="},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        EXPECT_EQ(Base64Encode(r.input), r.text);
        EXPECT_EQ(Base64EncodeB(bytesOf(r.input)), r.bytes);
    }
}

TEST(Base64, TextGoesThroughTheAnsiCodePage) {
    EXPECT_EQ(Base64Encode("\xC3\xA9\xE2\x82\xAC"), "6YA="); // é € -> E9 80
    EXPECT_EQ(Base64Encode("\xE4\xB8\xAD"), "Pw==");         // not in Windows-1252: '?'
}

TEST(Base64, DecodesThroughLineBreaksAndBlanks) {
    const struct {
        const char* label;
        std::string input;
        Bytes expected;
    } rows[] = {
        {"empty", "", {}},
        {"only breaks and blanks", "\r\n \r\n", {}},
        {"one byte", "Zg==", bytesOf("f")},
        {"two bytes", "Zm8=", bytesOf("fo")},
        {"three bytes", "Zm9v", bytesOf("foo")},
        {"breaks and blanks anywhere", " Zm\r9v\nYm Fy\r\n", bytesOf("foobar")},
        {"high bytes", "/+8A", {0xFF, 0xEF, 0x00}},
        {"unpadded tail of two", "Zm9vYg", bytesOf("foob")},
        {"unpadded tail of three", "Zm9vYmE", bytesOf("fooba")},
        {"a lone last character gives nothing", "Zm9vY", bytesOf("foo")},
        {"outside the alphabet counts as 0", "Zm9*", {'f', 'o', 0x40}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        EXPECT_EQ(Base64DecodeB(r.input), r.expected);
    }
}

TEST(Base64, RoundTripsEveryLengthThroughBothEncoders) {
    std::mt19937 random(7);
    for (std::size_t n = 0; n <= 240; ++n) {
        SCOPED_TRACE(n);
        Bytes bytes(n);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
        EXPECT_EQ(Base64DecodeB(Base64EncodeB(bytes)), bytes);
        const std::string ascii(n, static_cast<char>('!' + n % 90));
        EXPECT_EQ(Base64DecodeB(Base64Encode(ascii)), bytesOf(ascii));
        std::string flat = Base64EncodeB(bytes);
        for (std::size_t at; (at = flat.find("\r\n")) != std::string::npos;) flat.erase(at, 2);
        EXPECT_EQ(flat.size(), (n + 2) / 3 * 4);
    }
}

TEST(URLEncode, Table) {
    const struct {
        const char* label;
        std::string input;
        std::string expected;
    } rows[] = {
        {"letters and digits", "azAZ09", "azAZ09"},
        {"kept punctuation", "-._=!'()*,;:@$~", "-._=!'()*,;:@$~"},
        {"blank", "a b", "a%20b"},
        {"code 9", "\t", "%09"},
        {"code 0x0F", "\x0F", "%0F"},
        {"code 16", "\x10", "%10"},
        {"plus, ampersand, percent, slash, question", "+&%/?", "%2B%26%25%2F%3F"},
        {"quotes, hash, angles", "\"#<>", "%22%23%3C%3E"},
        {"brackets, backslash, caret, backquote, braces, bar, DEL", "[\\]^`{|}\x7F", "%5B%5C%5D%5E%60%7B%7C%7D%7F"},
        {"Latin-1 letter kept as itself", "caf\xC3\xA9", "caf\xC3\xA9"},
        {"no-break space (160)", "\xC2\xA0", "%A0"},
        {"152 and 187", "\xC2\x98\xC2\xBB", "%98%BB"},
        {"two-byte range start (256)", "\xC4\x80", "%C4%80"},
        {"two-byte range end (2047)", "\xDF\xBF", "%DF%BF"},
        {"three-byte range start (2048)", "\xE0\xA0\x80", "%E0%A0%80"},
        {"euro sign", "\xE2\x82\xAC", "%E2%82%AC"},
        {"U+FFFF", "\xEF\xBF\xBF", "%EF%BF%BF"},
        {"surrogate pair: two three-byte sequences", "\xF0\x9F\x98\x80", "%ED%A0%BD%ED%B8%80"},
        {"empty", "", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        EXPECT_EQ(URLEncode(r.input), r.expected);
    }
}

TEST(URLEncode, EveryCodeBelow256) {
    const std::set<unsigned> escaped = {34,  35,  37,  38,  43,  47,  60,  62,  63,  91,  92,  93,  94,  96,  123, 124,
                                        125, 127, 152, 160, 164, 166, 167, 169, 171, 172, 173, 174, 176, 177, 181, 182,
                                        183, 187};
    const char* hex = "0123456789ABCDEF";
    for (unsigned c = 0; c < 256; ++c) {
        SCOPED_TRACE(c);
        std::string utf8;
        if (c < 0x80) {
            utf8 = std::string(1, static_cast<char>(c));
        } else {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
        const bool escape = c <= 32 || escaped.count(c) > 0;
        const std::string percent = std::string("%") + hex[c >> 4] + hex[c & 15];
        EXPECT_EQ(URLEncode(utf8), escape ? percent : utf8);
    }
}

TEST(ArrayConversion, BytesToLongs) {
    const struct {
        const char* label;
        Bytes bytes;
        std::vector<std::int32_t> longs;
    } rows[] = {
        {"empty", {}, {}},
        {"1 and 2", {1, 0, 0, 0, 2, 0, 0, 0}, {1, 2}},
        {"least significant first", {0x78, 0x56, 0x34, 0x12}, {0x12345678}},
        {"negative", {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80}, {-1, INT32_MIN}},
        {"three bytes: no whole integer", {1, 2, 3}, {}},
        {"five bytes: the last is dropped", {1, 0, 0, 0, 9}, {1}},
        {"seven bytes", {0, 1, 0, 0, 5, 6, 7}, {256}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        EXPECT_EQ(ByteArrayToLongArray(r.bytes), r.longs);
    }
}

TEST(ArrayConversion, LongsToBytesAndBack) {
    const std::vector<std::vector<std::int32_t>> rows = {{}, {1, 2}, {-1}, {INT32_MIN, INT32_MAX, 0, 0x01020304}};
    for (const auto& longs : rows) {
        const Bytes bytes = LongArrayToByteArray(longs);
        ASSERT_EQ(bytes.size(), 4 * longs.size());
        EXPECT_EQ(ByteArrayToLongArray(bytes), longs);
    }
    EXPECT_EQ(LongArrayToByteArray({1, 2}), (Bytes{1, 0, 0, 0, 2, 0, 0, 0}));
    EXPECT_EQ(LongArrayToByteArray({0x01020304}), (Bytes{4, 3, 2, 1}));
}

} // namespace
