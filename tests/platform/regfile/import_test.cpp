#include "platform/registry/regfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>

#include "platform/core/text.h"
#include "platform/registry/store.h"
#include "tests/support/test_prefix.h"

using namespace winsys;
using testsupport::TestPrefix;

namespace {

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

RegKeyPath key(std::string_view text) {
    auto k = parseRegKeyPath(text);
    if (!k) throw std::runtime_error(k.error().message);
    return k.value();
}

void setValue(std::string_view path, const std::string& name, win::DWORD type, const std::vector<win::BYTE>& data) {
    const RegKeyPath k = key(path);
    win::UniqueHKey h;
    ASSERT_EQ(win::RegCreateKeyEx(k.root, k.subKey, 0, win::KEY_ALL_ACCESS | win::KEY_WOW64_64KEY, h.put(), nullptr),
              0);
    ASSERT_EQ(win::RegSetValueEx(h.get(), name, type, data), 0);
}

bool keyExists(std::string_view path, win::REGSAM view = win::KEY_WOW64_64KEY) {
    const RegKeyPath k = key(path);
    win::UniqueHKey h;
    return win::RegOpenKeyEx(k.root, k.subKey, 0, win::KEY_READ | view, h.put()) == 0;
}

struct Value {
    std::string name;
    win::DWORD type;
    std::vector<win::BYTE> data;
};

std::vector<Value> values(std::string_view path) {
    const RegKeyPath k = key(path);
    win::UniqueHKey h;
    std::vector<Value> out;
    if (win::RegOpenKeyEx(k.root, k.subKey, 0, win::KEY_READ | win::KEY_WOW64_64KEY, h.put()) != 0) return out;
    for (win::DWORD i = 0;; ++i) {
        Value v;
        if (win::RegEnumValue(h.get(), i, &v.name, &v.type, &v.data) != 0) break;
        out.push_back(std::move(v));
    }
    return out;
}

std::vector<win::BYTE> text(std::string_view utf8) { return toUtf16leBytes(utf8, true); }

std::string utf16File(std::string_view utf8) {
    const auto bytes = encodeRegFile(utf8);
    return std::string(bytes.begin(), bytes.end());
}

// The names of the prefix folder's entries that are temporary hive files.
std::vector<std::string> temporaries(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string().find(".tmp.") != std::string::npos) names.push_back(e.path().filename());
    return names;
}

} // namespace

TEST(RegExport, LayoutAsRegeditWritesIt) {
    TestPrefix p;
    setValue("HKCU\\Software\\E", "n", win::REG_DWORD, {1, 0, 0, 0});
    setValue("HKCU\\Software\\E", "", win::REG_SZ, text("C:\\x"));
    setValue("HKCU\\Software\\E\\b", "s", win::REG_SZ, text("say \"hi\""));
    setValue("HKCU\\Software\\E\\A\\z", "m", win::REG_MULTI_SZ, {0x61, 0, 0, 0, 0, 0});
    auto out = exportRegTree(key("hkcu\\Software\\E\\"), RegView::Bits64);
    ASSERT_TRUE(out.ok()) << out.error().message;
    EXPECT_EQ(out.value(),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n[HKEY_CURRENT_USER\\Software\\E]\r\n@=\"C:\\\\x\"\r\n\"n\"=dword:00000001\r\n"
              "\r\n[HKEY_CURRENT_USER\\Software\\E\\A]\r\n"
              "\r\n[HKEY_CURRENT_USER\\Software\\E\\A\\z]\r\n\"m\"=hex(7):61,00,00,00,00,00\r\n"
              "\r\n[HKEY_CURRENT_USER\\Software\\E\\b]\r\n\"s\"=\"say \\\"hi\\\"\"\r\n"
              "\r\n");

    auto missing = exportRegTree(key("HKCU\\Software\\Missing"), RegView::Bits64);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().code, win::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing.error().message,
              "cannot open key HKEY_CURRENT_USER\\Software\\Missing: The system cannot find the file specified.");
}

// Export then import gives back every key and value exactly, through the
// file form and the hives on disk.
TEST(RegExport, RoundTripKeepsEveryKeyAndValue) {
    TestPrefix p;
    std::vector<win::BYTE> big(100 * 1024);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<win::BYTE>(i * 7 + i / 251);
    const std::string root = "HKCU\\Software\\Round";
    const std::vector<std::pair<std::string, std::vector<Value>>> tree = {
        {root,
         {{"sz", win::REG_SZ, text("plain \\ \"quoted\" \xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80")},
          {"empty", win::REG_SZ, {0, 0}},
          {"noNul", win::REG_SZ, {0x41, 0}},
          {"oddSize", win::REG_SZ, {0x41, 0, 0}},
          {"innerNul", win::REG_SZ, {0x41, 0, 0, 0, 0x42, 0, 0, 0}},
          {"lines", win::REG_SZ, text("a\r\nb")},
          {"expand", win::REG_EXPAND_SZ, text("%SystemRoot%\\x")},
          {"binary", win::REG_BINARY, {0, 1, 0xFE, 0xFF}},
          {"emptyBinary", win::REG_BINARY, {}},
          {"dword", win::REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
          {"shortDword", win::REG_DWORD, {1, 2}},
          {"bigEndian", win::REG_DWORD_BIG_ENDIAN, {0x12, 0x34, 0x56, 0x78}},
          {"link", win::REG_LINK, text("\\Registry\\Machine\\x")},
          {"multi", win::REG_MULTI_SZ, {0x61, 0, 0, 0, 0x62, 0, 0, 0, 0, 0}},
          {"resources", win::REG_RESOURCE_LIST, {1, 2, 3}},
          {"qword", win::REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
          {"none", win::REG_NONE, {}},
          {"oddType", 0x12345678u, {9}},
          {"big", win::REG_BINARY, big},
          {"name with \"quotes\", \\ and\nbreak", win::REG_SZ, text("v")},
          {"", win::REG_SZ, text("default, set last, exported first")}}},
        {root + "\\Sub key ]x", {{"n", win::REG_DWORD, {0, 0, 0, 0}}}},
        {root + "\\Sub key ]x\\\xC3\xA9t\xC3\xA9", {}},
        {root + "\\a", {{"big", win::REG_SZ, toUtf16leBytes(std::string(60000, 'x'), true)}}},
    };
    for (const auto& [path, vals] : tree) {
        const RegKeyPath k = key(path);
        win::UniqueHKey h;
        ASSERT_EQ(win::RegCreateKeyEx(k.root, k.subKey, 0, win::KEY_ALL_ACCESS | win::KEY_WOW64_64KEY, h.put(), nullptr),
                  0);
        for (const auto& v : vals) setValue(path, v.name, v.type, v.data);
    }
    auto first = exportRegTree(key(root), RegView::Bits64);
    ASSERT_TRUE(first.ok()) << first.error().message;
    EXPECT_NE(first->find("\r\n[HKEY_CURRENT_USER\\Software\\Round]\r\n@=\"default"), std::string::npos);

    ASSERT_EQ(deleteRegTree(key(root), RegView::Bits64), 0);
    ASSERT_FALSE(keyExists(root));
    const auto file = encodeRegFile(first.value());
    p.importReg(std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
    p.reopen();

    for (const auto& [path, vals] : tree) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(keyExists(path));
        std::vector<Value> expected = vals;
        // The default value comes first in the text, so it is created first.
        std::stable_partition(expected.begin(), expected.end(), [](const Value& v) { return v.name.empty(); });
        const auto got = values(path);
        ASSERT_EQ(got.size(), expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            SCOPED_TRACE(expected[i].name);
            EXPECT_EQ(got[i].name, expected[i].name);
            EXPECT_EQ(got[i].type, expected[i].type);
            EXPECT_EQ(got[i].data, expected[i].data);
        }
    }
    auto second = exportRegTree(key(root), RegView::Bits64);
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(second.value(), first.value());
}

TEST(RegImport, ViewChoosesWhereKeysGo) {
    TestPrefix p;
    auto ops = parseRegText("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\ViewTest]\n\"v\"=dword:1\n", "v.reg");
    ASSERT_TRUE(ops.ok());
    ASSERT_TRUE(applyRegOperations(ops.value(), RegView::Bits32, "v.reg").ok());
    EXPECT_TRUE(keyExists("HKLM\\Software\\Wow6432Node\\ViewTest"));
    EXPECT_FALSE(keyExists("HKLM\\Software\\ViewTest"));
    ASSERT_TRUE(applyRegOperations(ops.value(), RegView::Bits64, "v.reg").ok());
    EXPECT_TRUE(keyExists("HKLM\\Software\\ViewTest"));

    // Deleting in one view leaves the other alone; deleting what is not there is no error.
    ops = parseRegText("REGEDIT4\n[-HKLM\\Software\\ViewTest]\n[-HKLM\\Software\\NotThere]\n[HKLM\\Software\\X]\n\"no\"=-\n",
                       "d.reg");
    ASSERT_TRUE(ops.ok());
    auto r = applyRegOperations(ops.value(), RegView::Bits32, "d.reg");
    ASSERT_TRUE(r.ok()) << r.error().message;
    EXPECT_FALSE(keyExists("HKLM\\Software\\Wow6432Node\\ViewTest"));
    EXPECT_TRUE(keyExists("HKLM\\Software\\ViewTest"));
}

// A text that parses but fails while it is applied writes nothing of
// itself either: not the keys before the failing line, not the other hive.
TEST(RegImport, ALineThatFailsWhileAppliedWritesNothingOfTheFile) {
    using winsys::testing::HiveWriteFault;
    std::string deep = "HKEY_CURRENT_USER\\Software\\Deep";
    for (int i = 0; i < 520; ++i) deep += "\\k";
    const std::string good = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Good]\n\"a\"=\"b\"\n"
                             "\n[HKEY_LOCAL_MACHINE\\Software\\Good]\n\"c\"=dword:00000001\n";
    struct Row {
        const char* label;
        std::string text;
        std::function<void(const TestPrefix&)> block, unblock;
        std::string reason;
    };
    const std::vector<Row> rows = {
        {"key nested too deeply", good + "\n[" + deep + "]\n", [](const TestPrefix&) {},
         [](const TestPrefix&) {}, "importReg:9: cannot create key " + deep},
        {"the disk full", good, [](const TestPrefix&) {
             winsys::testing::failHiveWrites(HiveWriteFault::AfterBytes, 100, ENOSPC);
         },
         [](const TestPrefix&) { winsys::testing::failHiveWrites(HiveWriteFault::None); }, "nothing of the file was imported"},
        // Both temporary files are written before either is renamed.
        {"user.reg cannot be written, system.reg can", good, [](const TestPrefix&) {
             winsys::testing::failHiveWrites(HiveWriteFault::BeforeRename, 0, EIO, "user.reg");
         },
         [](const TestPrefix&) { winsys::testing::failHiveWrites(HiveWriteFault::None); },
         "nothing of the file was imported"},
        {"system.reg replaced by a folder", good,
         [](const TestPrefix& p) {
             std::filesystem::rename(p.root() / "system.reg", p.root() / "system.reg.aside");
             std::filesystem::create_directory(p.root() / "system.reg");
         },
         [](const TestPrefix& p) {
             std::filesystem::remove(p.root() / "system.reg");
             std::filesystem::rename(p.root() / "system.reg.aside", p.root() / "system.reg");
         },
         "nothing of the file was imported"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        TestPrefix p;
        p.importReg("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Before]\n\"v\"=\"kept\"\n");
        const std::string system = readFile(p.root() / "system.reg"), user = readFile(p.root() / "user.reg");
        row.block(p);
        try {
            p.importReg(row.text);
            ADD_FAILURE() << "imported";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(row.reason), std::string::npos) << e.what();
        }
        EXPECT_FALSE(keyExists("HKCU\\Software\\Good"));
        EXPECT_FALSE(keyExists("HKLM\\Software\\Good"));
        EXPECT_TRUE(keyExists("HKCU\\Software\\Before"));
        EXPECT_EQ(readFile(p.root() / "user.reg"), user);
        EXPECT_TRUE(temporaries(p.root()).empty());
        row.unblock(p);
        EXPECT_EQ(readFile(p.root() / "system.reg"), system);

        // The batch is over: the next import is written.
        p.reopen();
        p.importReg(good);
        p.reopen();
        EXPECT_TRUE(keyExists("HKCU\\Software\\Good"));
        EXPECT_TRUE(keyExists("HKLM\\Software\\Good"));
        EXPECT_TRUE(keyExists("HKCU\\Software\\Before"));
    }
}

TEST(RegImport, BadTextNamesTheLineAndWritesNothing) {
    struct Case {
        const char* label;
        std::string text;
        int line;
        const char* reason;
    };
    // Every text starts with a good key and value that must not be written.
    const std::string good = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Good]\r\n\"a\"=\"b\"\r\n";
    const Case cases[] = {
        {"missing header", "[HKCU\\Software\\Good]\r\n\"a\"=\"b\"\r\n", 1, "not a registry file"},
        {"old header spelled wrong", "REGEDIT 4\r\n[HKCU\\Software\\Good]\r\n", 1, "not a registry file"},
        {"empty text", "", 1, "not a registry file"},
        {"value before any key", "REGEDIT4\r\n\"a\"=\"b\"\r\n[HKCU\\Software\\Good]\r\n", 2, "value before any key"},
        {"unknown root", good + "[HKEY_NOWHERE\\x]\r\n", 5, "unknown root key 'HKEY_NOWHERE'"},
        {"empty key name part", good + "[HKCU\\a\\\\b]\r\n", 5, "empty key name"},
        {"missing ']'", good + "[HKCU\\x\r\n", 5, "missing ']'"},
        {"text after ']'", good + "[HKCU\\x] y\r\n", 5, "unexpected text after ']'"},
        {"deleting a root", good + "[-HKEY_CURRENT_USER]\r\n", 5, "a root key cannot be deleted"},
        {"value under a deleted key", good + "[-HKCU\\x]\r\n\"a\"=\"b\"\r\n", 6, "being deleted"},
        {"unterminated string", good + "\"a\"=\"b\r\n", 5, "unterminated string"},
        {"unterminated name", good + "\"a=\"b\r\n", 5, "missing '='"},
        {"escaped closing quote", good + "\"a\"=\"C:\\\"\r\n", 5, "unterminated string"},
        {"missing '='", good + "\"a\" \"b\"\r\n", 5, "missing '='"},
        {"text after a string", good + "\"a\"=\"b\" c\r\n", 5, "unexpected text after the value"},
        {"bad hex digit", good + "\"a\"=hex:0g\r\n", 5, "bad hex byte '0g'"},
        {"three-digit byte", good + "\"a\"=hex:123\r\n", 5, "bad hex byte '123'"},
        {"missing comma", good + "\"a\"=hex:01 02\r\n", 5, "missing ','"},
        {"bad digit on a continuation line", good + "\"a\"=hex:01,\\\r\n  02,\\\r\n  zz\r\n", 7, "bad hex byte 'zz'"},
        {"file ends after a continuation", good + "\"a\"=hex:01,\\", 5, "ends after"},
        {"text after a continuation", good + "\"a\"=hex:01,\\ x\r\n", 5, "unexpected text after '\\'"},
        {"bad dword digits", good + "\"a\"=dword:0000000g\r\n", 5, "bad dword value '0000000g'"},
        {"dword of nine digits", good + "\"a\"=dword:123456789\r\n", 5, "bad dword value"},
        {"dword without digits", good + "\"a\"=dword:\r\n", 5, "bad dword value ''"},
        {"bad type in hex(...)", good + "\"a\"=hex(zz):00\r\n", 5, "bad value type in 'hex(zz)'"},
        {"hex( without ')'", good + "\"a\"=hex(2:00\r\n", 5, "bad value type"},
        {"hex(N) without ':'", good + "\"a\"=hex(2)00\r\n", 5, "missing ':'"},
        {"unknown value format", good + "\"a\"=qword:1\r\n", 5, "unknown value format 'qword:1'"},
        {"stray text", good + "a=b\r\n", 5, "unexpected text 'a=b'"},
        {"line count in UTF-16 with LF",
         utf16File("Windows Registry Editor Version 5.00\n[HKCU\\Software\\Good]\n\"a\"=\"b\"\n\"n\"=dword:x\n"), 4,
         "bad dword value 'x'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TestPrefix p;
        const std::string system = readFile(p.root() / "system.reg"), user = readFile(p.root() / "user.reg");
        try {
            p.importReg(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const std::runtime_error& e) {
            const std::string msg = e.what();
            const std::string where = "importReg:" + std::to_string(c.line) + ": ";
            EXPECT_EQ(msg.substr(0, where.size()), where) << msg;
            EXPECT_NE(msg.find(c.reason), std::string::npos) << msg;
        }
        EXPECT_FALSE(keyExists("HKCU\\Software\\Good"));
        EXPECT_EQ(readFile(p.root() / "system.reg"), system);
        EXPECT_EQ(readFile(p.root() / "user.reg"), user);
    }
}
