#include "platform/registry/regfile.h"

#include <gtest/gtest.h>

#include "platform/core/text.h"

using namespace winsys;

namespace {

std::vector<win::BYTE> text(std::string_view utf8) { return toUtf16leBytes(utf8, true); }

std::vector<win::BYTE> sequence(std::size_t n) {
    std::vector<win::BYTE> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<win::BYTE>(i);
    return v;
}

} // namespace

TEST(RegFormat, ValueLines) {
    struct Case {
        const char* label;
        std::string name;
        win::DWORD type;
        std::vector<win::BYTE> data;
        std::string line;
    };
    const Case cases[] = {
        {"default text, backslash doubled", "", win::REG_SZ, text("C:\\x"), "@=\"C:\\\\x\""},
        {"quotes and backslashes in name and text", "a\"b\\", win::REG_SZ, text("say \"hi\""),
         "\"a\\\"b\\\\\"=\"say \\\"hi\\\"\""},
        {"empty text is its NUL", "e", win::REG_SZ, {0, 0}, "\"e\"=\"\""},
        {"text beyond ASCII stays text", "n", win::REG_SZ, text("\xC3\xA9\xF0\x9F\x98\x80"),
         "\"n\"=\"\xC3\xA9\xF0\x9F\x98\x80\""},
        {"REG_SZ without its NUL", "s", win::REG_SZ, {0x41, 0}, "\"s\"=hex(1):41,00"},
        {"REG_SZ with an inner NUL", "s", win::REG_SZ, {0x41, 0, 0, 0, 0x42, 0, 0, 0}, "\"s\"=hex(1):41,00,00,00,42,00,00,00"},
        {"REG_SZ with a line break", "s", win::REG_SZ, text("a\nb"), "\"s\"=hex(1):61,00,0a,00,62,00,00,00"},
        {"REG_SZ with a lone surrogate", "s", win::REG_SZ, {0x00, 0xD8, 0, 0}, "\"s\"=hex(1):00,d8,00,00"},
        {"REG_SZ of odd size", "s", win::REG_SZ, {0x41, 0, 0}, "\"s\"=hex(1):41,00,00"},
        {"REG_SZ of no bytes", "s", win::REG_SZ, {}, "\"s\"=hex(1):"},
        {"dword in lower case", "n", win::REG_DWORD, {0xAB, 0x00, 0x00, 0xC0}, "\"n\"=dword:c00000ab"},
        {"dword of the wrong size", "n", win::REG_DWORD, {1, 2, 3}, "\"n\"=hex(4):01,02,03"},
        {"binary", "b", win::REG_BINARY, {0x00, 0xFF, 0x10}, "\"b\"=hex:00,ff,10"},
        {"empty binary", "b", win::REG_BINARY, {}, "\"b\"=hex:"},
        {"expand string", "x", win::REG_EXPAND_SZ, text("%a%"), "\"x\"=hex(2):25,00,61,00,25,00,00,00"},
        {"qword type in lower case", "q", win::REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, "\"q\"=hex(b):01,00,00,00,00,00,00,00"},
        {"none, empty", "z", win::REG_NONE, {}, "\"z\"=hex(0):"},
        {"any type number", "t", 0x1234ABCDu, {7}, "\"t\"=hex(1234abcd):07"},
        {"line break in a name", "a\nb", win::REG_DWORD, {0, 0, 0, 0}, "\"a\\nb\"=dword:00000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(formatRegValue(c.name, c.type, c.data), c.line);
    }
}

// regedit breaks a byte list after the comma that brings a line to 77
// characters, so no line passes 80 columns, and indents the rest by two.
TEST(RegFormat, LongByteListsWrapAsRegeditDoes) {
    struct Case {
        const char* label;
        std::string name;
        std::size_t bytes;
        std::vector<std::size_t> perLine;
    };
    const Case cases[] = {
        {"the first line after a 23-character prefix holds 18 bytes", "DigitalProductId", 60, {18, 25, 17}},
        {"a last byte that would start a new line stays", "DigitalProductId", 18, {18}},
        {"one byte past the break goes on its own line", "DigitalProductId", 19, {18, 1}},
        {"the default value's prefix is 6 characters", "", 24 + 25 + 25, {24, 25, 25}},
        {"columns count UTF-16 units, not UTF-8 bytes", "\xC3\xA9\xC3\xA9\xC3\xA9", 30, {23, 7}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const auto data = sequence(c.bytes);
        const std::string out = formatRegValue(c.name, win::REG_BINARY, data);
        std::vector<std::string> lines;
        for (std::size_t start = 0;;) {
            std::size_t end = out.find("\r\n", start);
            lines.push_back(out.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos) break;
            start = end + 2;
        }
        ASSERT_EQ(lines.size(), c.perLine.size()) << out;
        std::size_t index = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::string line = lines[i];
            const bool last = i + 1 == lines.size();
            EXPECT_LE(utf16Length(line), 80u) << line;
            if (i == 0) {
                line = line.substr(line.find(':') + 1);
            } else {
                ASSERT_EQ(line.substr(0, 2), "  ");
                line = line.substr(2);
            }
            if (!last) {
                ASSERT_EQ(line.substr(line.size() - 2), ",\\") << line;
                line.resize(line.size() - 1);
            }
            std::string expected;
            for (std::size_t k = 0; k < c.perLine[i]; ++k, ++index) {
                char buf[4];
                std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned>(data[index]));
                expected += buf;
                if (!(last && k + 1 == c.perLine[i])) expected += ",";
            }
            EXPECT_EQ(line, expected);
        }
    }
}

TEST(RegFormat, FileIsUtf16leWithBom) {
    EXPECT_EQ(encodeRegFile("A\xE2\x82\xAC"), (std::vector<std::uint8_t>{0xFF, 0xFE, 0x41, 0x00, 0xAC, 0x20}));
}
