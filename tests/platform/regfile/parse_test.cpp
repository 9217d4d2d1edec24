#include "platform/registry/regfile.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/core/text.h"

using namespace winsys;

namespace {

std::string hexBytes(const std::vector<win::BYTE>& data) {
    std::string out;
    char buf[4];
    for (auto b : data) {
        std::snprintf(buf, sizeof buf, "%s%02x", out.empty() ? "" : ",", b);
        out += buf;
    }
    return out;
}

// One line per operation, so that a table row states the whole outcome.
std::vector<std::string> describe(const std::vector<RegOperation>& ops) {
    std::vector<std::string> out;
    for (const auto& op : ops) {
        switch (op.kind) {
        case RegOperation::Kind::CreateKey: out.push_back("key " + op.key.text()); break;
        case RegOperation::Kind::DeleteKey: out.push_back("delete key " + op.key.text()); break;
        case RegOperation::Kind::DeleteValue: out.push_back("delete " + op.key.text() + " [" + op.name + "]"); break;
        case RegOperation::Kind::SetValue:
            out.push_back("set " + op.key.text() + " [" + op.name + "] " + std::to_string(op.type) + " " +
                          hexBytes(op.data));
            break;
        }
    }
    return out;
}

std::string utf16File(std::string_view utf8) {
    auto bytes = encodeRegFile(utf8);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

TEST(RegParse, AcceptedForms) {
    struct Case {
        const char* label;
        std::string bytes;
        std::vector<std::string> ops;
    };
    const std::string v5 = "Windows Registry Editor Version 5.00\r\n\r\n";
    const Case cases[] = {
        {"every value form, UTF-8 without BOM, LF",
         "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\A]\n"
         "@=\"d\"\n\"s\"=\"x\"\n\"e\"=\"\"\n\"n\"=dword:0000002a\n\"b\"=hex:00,ff\n\"z\"=hex:\n"
         "\"x\"=hex(2):25,00,00,00\n\"m\"=hex(7):61,00,00,00,00,00\n\"q\"=hex(b):01,00,00,00,00,00,00,00\n"
         "\"none\"=hex(0):\n\"odd\"=hex(1234abcd):07\n",
         {"key HKEY_CURRENT_USER\\Software\\A", "set HKEY_CURRENT_USER\\Software\\A [] 1 64,00,00,00",
          "set HKEY_CURRENT_USER\\Software\\A [s] 1 78,00,00,00", "set HKEY_CURRENT_USER\\Software\\A [e] 1 00,00",
          "set HKEY_CURRENT_USER\\Software\\A [n] 4 2a,00,00,00", "set HKEY_CURRENT_USER\\Software\\A [b] 3 00,ff",
          "set HKEY_CURRENT_USER\\Software\\A [z] 3 ", "set HKEY_CURRENT_USER\\Software\\A [x] 2 25,00,00,00",
          "set HKEY_CURRENT_USER\\Software\\A [m] 7 61,00,00,00,00,00",
          "set HKEY_CURRENT_USER\\Software\\A [q] 11 01,00,00,00,00,00,00,00",
          "set HKEY_CURRENT_USER\\Software\\A [none] 0 ", "set HKEY_CURRENT_USER\\Software\\A [odd] 305441741 07"}},
        {"UTF-16LE with BOM and CRLF, text beyond ASCII",
         utf16File(v5 + "[HKEY_LOCAL_MACHINE\\Software\\\xC3\xA9]\r\n\"\xE2\x82\xAC\"=\"\xC3\xA9\xF0\x9F\x98\x80\"\r\n"),
         {"key HKEY_LOCAL_MACHINE\\Software\\\xC3\xA9",
          "set HKEY_LOCAL_MACHINE\\Software\\\xC3\xA9 [\xE2\x82\xAC] 1 e9,00,3d,d8,00,de,00,00"}},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + v5 + "[HKCU\\A]\r\n\"\xC3\xA9\"=dword:1\r\n",
         {"key HKEY_CURRENT_USER\\A", "set HKEY_CURRENT_USER\\A [\xC3\xA9] 4 01,00,00,00"}},
        {"REGEDIT4: Windows-1252 text, ANSI hex(2) and hex(7) become UTF-16LE, hex: stays",
         "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\caf\xE9]\r\n\"s\"=\"\x80\"\r\n\"x\"=hex(2):41,80,00\r\n"
         "\"m\"=hex(7):61,00,e9,00,00\r\n\"b\"=hex:80\r\n",
         {"key HKEY_CURRENT_USER\\caf\xC3\xA9", "set HKEY_CURRENT_USER\\caf\xC3\xA9 [s] 1 ac,20,00,00",
          "set HKEY_CURRENT_USER\\caf\xC3\xA9 [x] 2 41,00,ac,20,00,00",
          "set HKEY_CURRENT_USER\\caf\xC3\xA9 [m] 7 61,00,00,00,e9,00,00,00,00,00",
          "set HKEY_CURRENT_USER\\caf\xC3\xA9 [b] 3 80"}},
        {"REGEDIT4 in UTF-16: hex(2) bytes are still ANSI",
         utf16File("REGEDIT4\r\n[HKCU\\A]\r\n\"x\"=hex(2):e9,00\r\n"),
         {"key HKEY_CURRENT_USER\\A", "set HKEY_CURRENT_USER\\A [x] 2 e9,00,00,00"}},
        {"escapes in names and strings; an unknown escape stays",
         v5 + "[HKCU\\A]\r\n\"a\\\\b\\\"c\"=\"C:\\\\dir\\\"x\\\"\"\r\n\"l\"=\"1\\n2\\r\"\r\n\"u\"=\"C:\\q\"\r\n",
         {"key HKEY_CURRENT_USER\\A",
          "set HKEY_CURRENT_USER\\A [a\\b\"c] 1 43,00,3a,00,5c,00,64,00,69,00,72,00,22,00,78,00,22,00,00,00",
          "set HKEY_CURRENT_USER\\A [l] 1 31,00,0a,00,32,00,0d,00,00,00",
          "set HKEY_CURRENT_USER\\A [u] 1 43,00,3a,00,5c,00,71,00,00,00"}},
        {"continuations, blanks, one-digit and upper-case bytes, trailing comment",
         v5 + "[HKCU\\A]\r\n\"b\"=hex:01,02,\\\r\n  03,\\\r\n\t A , f ; note\r\n\"c\"=hex(3):1,\\\r\n\r\n\"d\"=dword:1\r\n",
         {"key HKEY_CURRENT_USER\\A", "set HKEY_CURRENT_USER\\A [b] 3 01,02,03,0a,0f",
          "set HKEY_CURRENT_USER\\A [c] 3 01", "set HKEY_CURRENT_USER\\A [d] 4 01,00,00,00"}},
        {"deletions of trees and values",
         v5 + "[-HKEY_CURRENT_USER\\Software\\Old]\r\n\r\n[HKCU\\A]\r\n\"v\"=-\r\n@=-\r\n",
         {"delete key HKEY_CURRENT_USER\\Software\\Old", "key HKEY_CURRENT_USER\\A", "delete HKEY_CURRENT_USER\\A [v]",
          "delete HKEY_CURRENT_USER\\A []"}},
        {"every root name, short and long, any case; trailing backslash; ']' inside a name",
         v5 + "[HKLM\\a]\r\n[hkcu\\b]\r\n[HKCR\\c]\r\n[HKU\\d]\r\n[HKCC\\e]\r\n[hkey_classes_root\\f\\]\r\n"
              "[HKEY_USERS\\.Default\\g]h]\r\n[HKEY_CURRENT_CONFIG]\r\n",
         {"key HKEY_LOCAL_MACHINE\\a", "key HKEY_CURRENT_USER\\b", "key HKEY_CLASSES_ROOT\\c", "key HKEY_USERS\\d",
          "key HKEY_CURRENT_CONFIG\\e", "key HKEY_CLASSES_ROOT\\f", "key HKEY_USERS\\.Default\\g]h",
          "key HKEY_CURRENT_CONFIG"}},
        {"comments, blank lines, leading blanks, blanks around '=', upper-case type words",
         v5 + "; comment\r\n  [HKCU\\A]  \r\n ;\r\n\t\"n\" = DWORD:FFFFFFFF ; c\r\n @ = \"x\" ; c\r\n\"h\"=HEX(2):00,00\r\n",
         {"key HKEY_CURRENT_USER\\A", "set HKEY_CURRENT_USER\\A [n] 4 ff,ff,ff,ff", "set HKEY_CURRENT_USER\\A [] 1 78,00,00,00",
          "set HKEY_CURRENT_USER\\A [h] 2 00,00"}},
        {"header only", "Windows Registry Editor Version 5.00", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto ops = parseRegText(c.bytes, "t.reg");
        ASSERT_TRUE(ops.ok()) << ops.error().message;
        EXPECT_EQ(describe(ops.value()), c.ops);
    }
}

TEST(RegParse, OperationsCarryTheirLine) {
    auto ops = parseRegText("REGEDIT4\n\n[HKCU\\A]\n\"a\"=hex:01,\\\n 02\n\"b\"=dword:1\n", "t.reg");
    ASSERT_TRUE(ops.ok()) << ops.error().message;
    ASSERT_EQ(ops->size(), 3u);
    EXPECT_EQ((*ops)[0].line, 3);
    EXPECT_EQ((*ops)[1].line, 4);
    EXPECT_EQ((*ops)[2].line, 6);
}

TEST(RegParse, KeyPaths) {
    struct Case {
        const char* text;
        const char* expected; // the full path, or the start of the error
    };
    const Case cases[] = {
        {"HKLM", "HKEY_LOCAL_MACHINE"},
        {"HKLM\\", "HKEY_LOCAL_MACHINE"},
        {"hkcu\\Software\\X", "HKEY_CURRENT_USER\\Software\\X"},
        {"HKEY_USERS\\S-1-5\\y\\", "HKEY_USERS\\S-1-5\\y"},
        {"HKXX\\a", "unknown root key 'HKXX'"},
        {"\\a", "missing root key"},
        {"", "missing root key"},
        {"HKCU\\\\", "empty key name"},
        {"HKCU\\a\\\\b", "empty key name"},
        {"HKCU\\a\\\\", "empty key name"},
        {"HKCU\\\\a", "empty key name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto p = parseRegKeyPath(c.text);
        const std::string got = p ? p->text() : p.error().message;
        EXPECT_EQ(got.substr(0, std::string(c.expected).size()), c.expected) << got;
    }
}
