// SaveAsReg50 and SaveSingleValueAsReg50: the export text byte for byte,
// and that regtool reads it back to the same keys and values.

#include <cstdlib>
#include <fstream>

#include <gmock/gmock.h>

#include "tests/common/registry/registry_fixture.h"

namespace regtest {
namespace {

using namespace halvenlib;
using win::KEY_WOW64_64KEY;

using RegExportTest = RegistryTestOn<winsys::Arch::Win64>;

std::vector<win::BYTE> counting(std::size_t n) {
    std::vector<win::BYTE> v(n);
    for (std::size_t k = 0; k < n; ++k) v[k] = static_cast<win::BYTE>(k + 0xA0);
    return v;
}

// "a0,a1,..." for counting(n) from `from` to `to` (exclusive).
std::string hexRun(std::size_t from, std::size_t to) {
    std::string s;
    const char* digits = "0123456789abcdef";
    for (std::size_t k = from; k < to; ++k) {
        const auto b = static_cast<unsigned>((k + 0xA0) & 0xFF);
        if (!s.empty()) s += ',';
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

TEST_F(RegExportTest, SampleKeyRendersExactly) {
    prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Sample]
@="C:\\x"
"n"=dword:00000001
)");
    EXPECT_EQ(saveAsReg50(HKEY_CURRENT_USER, "Software\\Sample"),
              "\r\n[HKEY_CURRENT_USER\\Software\\Sample]\r\n@=\"C:\\\\x\"\r\n\"n\"=dword:00000001\r\n");
    // One trailing backslash names the same key.
    EXPECT_EQ(saveAsReg50(HKEY_CURRENT_USER, "Software\\Sample\\"), saveAsReg50(HKEY_CURRENT_USER, "Software\\Sample"));
}

// Link keys back to a key above (to the key itself, two levels up) are left
// out: the text ends, holding every other key once.
TEST_F(RegExportTest, LinksBackUpAreLeftOut) {
    prefix.importReg("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Loop]\n\"v\"=\"x\"\n[HKEY_CURRENT_USER\\Software\\Loop\\Sub]\n");
    const std::string target = "\\Registry\\User\\" + winsys::machine().userSid() + "\\Software\\Loop";
    std::string hex;
    for (win::BYTE b : winsys::toUtf16leBytes(target, false)) {
        char buf[4];
        std::snprintf(buf, sizeof buf, hex.empty() ? "%02x" : ",%02x", b);
        hex += buf;
    }
    std::ofstream(prefix.root() / "user.reg", std::ios::app)
        << "\n[Software\\\\Loop\\\\Self] 1\n#link\n\"SymbolicLinkValue\"=hex(6):" << hex << "\n"
        << "\n[Software\\\\Loop\\\\Sub\\\\Up] 1\n#link\n\"SymbolicLinkValue\"=hex(6):" << hex << "\n";
    prefix.reopen();
    EXPECT_EQ(saveAsReg50(HKEY_CURRENT_USER, "Software\\Loop"),
              "\r\n[HKEY_CURRENT_USER\\Software\\Loop]\r\n\"v\"=\"x\"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Loop\\Sub]\r\n");
}

TEST_F(RegExportTest, DataPartsByType) {
    const struct {
        const char* label;
        win::DWORD type;
        std::vector<win::BYTE> data;
        std::string part;
    } rows[] = {
        {"text", win::REG_SZ, winsys::toUtf16leBytes("a\\b\"c", true), "\"a\\\\b\\\"c\""},
        {"text without data", win::REG_SZ, {}, "\"\""},
        {"text without its NUL", win::REG_SZ, {'a', 0, 'b', 0}, "\"ab\""},
        {"text outside the ANSI code page", win::REG_SZ, winsys::toUtf16leBytes("\xD0\x96", true), "\"\xD0\x96\""},
        {"dword", win::REG_DWORD, {0xEF, 0xBE, 0xAD, 0xDE}, "dword:deadbeef"},
        {"dword of 2 bytes", win::REG_DWORD, {0x01, 0x02}, "hex(4):01,02"},
        {"dword without data", win::REG_DWORD, {}, "hex(4):"},
        {"binary", win::REG_BINARY, {0x0A, 0xFF, 0x00}, "hex:0a,ff,00"},
        {"binary without data", win::REG_BINARY, {}, "hex:"},
        {"binary of 21 bytes: one line", win::REG_BINARY, counting(21), "hex:" + hexRun(0, 21)},
        {"binary of 22 bytes: break before the 21st", win::REG_BINARY, counting(22),
         "hex:" + hexRun(0, 20) + ",\\\r\n  " + hexRun(20, 22)},
        {"binary of 47 bytes: breaks before the 21st and 46th", win::REG_BINARY, counting(47),
         "hex:" + hexRun(0, 20) + ",\\\r\n  " + hexRun(20, 45) + ",\\\r\n  " + hexRun(45, 47)},
        {"binary of 46 bytes: no break before the last", win::REG_BINARY, counting(46),
         "hex:" + hexRun(0, 20) + ",\\\r\n  " + hexRun(20, 46)},
        {"qword: type in lower case", 11, {1, 0, 0, 0, 0, 0, 0, 0}, "hex(b):01,00,00,00,00,00,00,00"},
        {"qword without data: type in upper case", 11, {}, "hex(B):"},
        {"expand", win::REG_EXPAND_SZ, {'%', 0, 0, 0}, "hex(2):25,00,00,00"},
        {"none", win::REG_NONE, {}, "hex(0):"},
    };
    for (const auto& r : rows) {
        putRaw(win::HKEY_CURRENT_USER, 0, "Software\\Types", r.label, r.type, r.data);
        EXPECT_EQ(saveSingleValue(HKEY_CURRENT_USER, "Software\\Types", r.label),
                  "\r\n[HKEY_CURRENT_USER\\Software\\Types]\r\n\"" + std::string(r.label) + "\"=" + r.part + "\r\n")
            << r.label;
    }
}

TEST_F(RegExportTest, TreeIsDepthFirstWithThe64BitViewUnderItsPlainRoot) {
    putRaw(win::HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, "Software\\E", "v", win::REG_DWORD, {1, 0, 0, 0});
    putRaw(win::HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, "Software\\E\\b", "", win::REG_SZ, {});
    putRaw(win::HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, "Software\\E\\A\\Inner", "w", win::REG_BINARY, {});
    EXPECT_EQ(saveAsReg50(HKEY_LOCAL_MACHINE_64BIT, "Software\\E"),
              "\r\n[HKEY_LOCAL_MACHINE\\Software\\E]\r\n\"v\"=dword:00000001\r\n"
              "\r\n[HKEY_LOCAL_MACHINE\\Software\\E\\A]\r\n"
              "\r\n[HKEY_LOCAL_MACHINE\\Software\\E\\A\\Inner]\r\n\"w\"=hex:\r\n"
              "\r\n[HKEY_LOCAL_MACHINE\\Software\\E\\b]\r\n@=\"\"\r\n");
    EXPECT_EQ(saveAsReg50(HKEY_LOCAL_MACHINE, "Software\\E"), "");
}

TEST_F(RegExportTest, LargeValuesRenderWhole) {
    const std::string name(2500, 'N');
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\Large", name, win::REG_BINARY, counting(3000));
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\Large", "after", win::REG_DWORD, {2, 0, 0, 0});
    const std::string text = saveAsReg50(HKEY_CURRENT_USER, "Software\\Large");
    EXPECT_NE(text.find("\"" + name + "\"=hex:a0,a1,"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), ','), 2999);
    EXPECT_NE(text.find("\"after\"=dword:00000002\r\n"), std::string::npos);
}

TEST_F(RegExportTest, SingleValueIsFoundWithoutRegardToCase) {
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\S", "Other", win::REG_DWORD, {0, 0, 0, 0});
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\S", "Path", win::REG_SZ, winsys::toUtf16leBytes("p", true));
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\S\\Sub", "Path", win::REG_SZ, {});
    EXPECT_EQ(saveSingleValue(HKEY_CURRENT_USER, "Software\\S", "PATH"),
              "\r\n[HKEY_CURRENT_USER\\Software\\S]\r\n\"Path\"=\"p\"\r\n");
    EXPECT_EQ(saveSingleValue(HKEY_CURRENT_USER, "Software\\S", "missing"), "");
    EXPECT_EQ(saveSingleValue(HKEY_CURRENT_USER, "Software\\Missing", "Path"), "");
}

TEST_F(RegExportTest, RootsOutsideTheTableAreNotImplemented) {
    for (win::LONG key : {5, 7, 0}) {
        std::string text;
        win::LONG k = key;
        std::string sub = "Software";
        EXPECT_EQ(raised([&] { return reg->SaveAsReg50(&k, &sub, &text); }), win::E_NOTIMPL) << key;
        EXPECT_EQ(raised([&] { return reg->SaveSingleValueAsReg50(key, "Software", "v", &text); }), win::E_NOTIMPL)
            << key;
    }
    EXPECT_EQ(saveAsReg50(HKEY_CURRENT_USER, "Software\\Missing"), "");
}

TEST_F(RegExportTest, RegtoolImportsTheExportBackToTheSameValues) {
    const std::vector<std::pair<std::string, Raw>> values = {
        {"", {win::REG_SZ, winsys::toUtf16leBytes("C:\\dir \"quoted\"", true)}},
        {"empty text", {win::REG_SZ, {0, 0}}},
        {"unicode", {win::REG_SZ, winsys::toUtf16leBytes("\xD0\x96\xE2\x82\xAC", true)}},
        {"dword", {win::REG_DWORD, {0x78, 0x56, 0x34, 0x12}}},
        {"short dword", {win::REG_DWORD, {0x78, 0x56}}},
        {"binary", {win::REG_BINARY, counting(300)}},
        {"empty binary", {win::REG_BINARY, {}}},
        {"multi", {win::REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}}},
        {"qword", {11, {1, 2, 3, 4, 5, 6, 7, 8}}},
        {"none", {win::REG_NONE, {}}},
    };
    for (const auto& [name, raw] : values) putRaw(win::HKEY_CURRENT_USER, 0, "Software\\RT", name, raw.type, raw.data);
    putRaw(win::HKEY_CURRENT_USER, 0, "Software\\RT\\Child\\" "\xD0\x9A", "x", win::REG_DWORD, {5, 0, 0, 0});
    const std::string text = saveAsReg50(HKEY_CURRENT_USER, "Software\\RT");

    std::string reason;
    ASSERT_TRUE(deleteKeyEx(HKEY_CURRENT_USER, "Software\\RT", &reason)) << reason;
    ASSERT_TRUE(winsys::flushRegistry());
    const auto file = prefix.root() / "export.reg";
    std::ofstream(file, std::ios::binary) << "Windows Registry Editor Version 5.00\r\n" << text;
    const std::string command = "WINEPREFIX='" + prefix.root().string() + "' '" REGTOOL_PATH "' import '" +
                                file.string() + "' > '" + (prefix.root() / "regtool.out").string() + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << std::ifstream(prefix.root() / "regtool.out").rdbuf();
    prefix.reopen();

    for (const auto& [name, raw] : values)
        EXPECT_EQ(rawValue(win::HKEY_CURRENT_USER, 0, "Software\\RT", name), raw) << "'" << name << "'";
    EXPECT_EQ(rawValue(win::HKEY_CURRENT_USER, 0, "Software\\RT\\Child\\" "\xD0\x9A", "x"),
              (Raw{win::REG_DWORD, {5, 0, 0, 0}}));
    EXPECT_EQ(saveAsReg50(HKEY_CURRENT_USER, "Software\\RT"), text);
}

} // namespace
} // namespace regtest
