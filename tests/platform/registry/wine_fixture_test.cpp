// The hives of a prefix made by Wine 8 (wineboot -i, 64-bit with WOW64):
// read, written back and read by Wine again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/core/text.h"
#include "platform/registry/hive.h"
#include "platform/registry/registry.h"
#include "platform/registry/store.h"
#include "tests/platform/registry/tree_compare.h"
#include "tests/support/test_prefix.h"

namespace fs = std::filesystem;
using namespace win;
using winsys::reg::ParsedHive;

namespace {

const fs::path kWine8 = fs::path(SORLIX_FIXTURES_DIR) / "wine8";
const char* const kHiveNames[] = {"system.reg", "user.reg", "userdef.reg"};

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

ParsedHive parseFile(const fs::path& p) {
    auto r = winsys::reg::parseHive(readFile(p), p.string());
    if (!r) {
        ADD_FAILURE() << r.error().message;
        return {};
    }
    return std::move(r).value();
}

// A test prefix holding the Wine hives.
struct WinePrefix {
    testsupport::TestPrefix prefix;
    WinePrefix() {
        for (const char* name : kHiveNames)
            fs::copy_file(kWine8 / name, prefix.root() / name, fs::copy_options::overwrite_existing);
        prefix.reopen();
    }
};

std::string queryString(HKEY root, const std::string& path, const std::string& name, REGSAM view) {
    UniqueHKey k;
    if (RegOpenKeyEx(root, path, 0, KEY_READ | view, k.put()) != ERROR_SUCCESS) return "<no key>";
    DWORD type = 0;
    std::vector<BYTE> data;
    if (RegQueryValueEx(k.get(), name, &type, &data) != ERROR_SUCCESS) return "<no value>";
    std::string s = winsys::fromUtf16leBytes(data);
    if (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
}

DWORD subkeyCount(HKEY root, const std::string& path, REGSAM view) {
    UniqueHKey k;
    DWORD n = 0;
    if (RegOpenKeyEx(root, path, 0, KEY_READ | view, k.put()) != ERROR_SUCCESS) return 0;
    EXPECT_EQ(RegQueryInfoKey(k.get(), &n, nullptr), ERROR_SUCCESS);
    return n;
}

void setString(HKEY root, const std::string& path, const std::string& name, const std::string& text, REGSAM view) {
    UniqueHKey k;
    ASSERT_EQ(RegCreateKeyEx(root, path, 0, KEY_ALL_ACCESS | view, k.put(), nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(k.get(), name, REG_SZ, winsys::toUtf16leBytes(text, true)), ERROR_SUCCESS);
}

} // namespace

// Wine's files read without a warning, and writing them gives Wine's bytes
// back: same order, same sections, same escapes, same line breaks.
TEST(WineFixture, HivesReadCleanAndWriteBackByteIdentical) {
    for (const char* name : kHiveNames) {
        SCOPED_TRACE(name);
        const std::string text = readFile(kWine8 / name);
        ASSERT_FALSE(text.empty());
        ParsedHive h = parseFile(kWine8 / name);
        EXPECT_TRUE(h.warnings.empty()) << h.warnings.front();
        EXPECT_EQ(h.tree.arch, "win64");
        EXPECT_TRUE(winsys::reg::formatHive(h.tree) == text) << "formatted text differs from Wine's";
    }
    EXPECT_GT(regtest::countKeys(*parseFile(kWine8 / "system.reg").tree.root), 15000u);
}

TEST(WineFixture, MachineFactsComeFromTheHives) {
    WinePrefix w;
    EXPECT_TRUE(winsys::machine().is64bit());
    EXPECT_EQ(winsys::machine().userSid(), "S-1-5-21-0-0-0-1000");
    EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion",
                          KEY_WOW64_64KEY),
              "6.1");
    EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion", "CurrentBuildNumber",
                          0),
              "7601");
}

// Wine's link keys: the 32-bit classes are reached through
// Software\Wow6432Node\Classes, shared keys through their links, and the
// two views of HKCR\CLSID hold different classes.
TEST(WineFixture, LinksAndViewsOfARealPrefix) {
    WinePrefix w;
    EXPECT_EQ(subkeyCount(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\Classes\\CLSID", KEY_WOW64_64KEY),
              subkeyCount(HKEY_LOCAL_MACHINE, "Software\\Classes\\Wow6432Node\\CLSID", KEY_WOW64_64KEY));
    EXPECT_EQ(subkeyCount(HKEY_CLASSES_ROOT, "CLSID", 0),
              subkeyCount(HKEY_LOCAL_MACHINE, "Software\\Classes\\Wow6432Node\\CLSID", KEY_WOW64_64KEY));
    EXPECT_EQ(subkeyCount(HKEY_CLASSES_ROOT, "CLSID", KEY_WOW64_64KEY),
              subkeyCount(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID", KEY_WOW64_64KEY));
    // Time Zones under Windows\CurrentVersion links to Windows NT's.
    EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE,
                          "Software\\Microsoft\\Windows\\CurrentVersion\\Time Zones\\Alaskan Standard Time", "Std",
                          KEY_WOW64_64KEY),
              "Alaskan Standard Time");
    // 32-bit Wine\Ports is a link into the 64-bit key.
    UniqueHKey ports32, ports64;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Wine\\Ports", 0, KEY_ALL_ACCESS, ports32.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(ports32.get(), "COM9", REG_SZ, winsys::toUtf16leBytes("/dev/null", true)), ERROR_SUCCESS);
    EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, "Software\\Wine\\Ports", "COM9", KEY_WOW64_64KEY), "/dev/null");
    // HKCC is Wine's current hardware profile.
    UniqueHKey fonts;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_CONFIG, "Software\\Fonts", 0, KEY_READ, fonts.put()), ERROR_SUCCESS);
}

// Class keys as Windows 7 shares them: in the 32-bit view only the names
// that Software\Classes\Wow6432Node holds are redirected; a 64-bit
// installer's ProgID is seen by this 32-bit program, a 32-bit registration
// puts its class under Wow6432Node\CLSID and its ProgID in the shared place.
TEST(WineFixture, ClassKeysAreSharedButForTheRedirectedNames) {
    WinePrefix w;
    const REGSAM v64 = KEY_WOW64_64KEY;
    auto write = [](HKEY root, const std::string& path, REGSAM view, const std::string& text) {
        UniqueHKey k;
        ASSERT_EQ(RegCreateKeyEx(root, path, 0, KEY_ALL_ACCESS | view, k.put(), nullptr), ERROR_SUCCESS) << path;
        ASSERT_EQ(RegSetValueEx(k.get(), "", REG_SZ, winsys::toUtf16leBytes(text, true)), ERROR_SUCCESS);
    };
    // 64 -> 32: what a 64-bit installer writes.
    write(HKEY_LOCAL_MACHINE, "Software\\Classes\\ChromeHTML\\shell\\open\\command", v64, "chrome.exe");
    write(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\{64000000-0000-0000-0000-000000000064}", v64, "class64");
    EXPECT_EQ(queryString(HKEY_CLASSES_ROOT, "ChromeHTML\\shell\\open\\command", "", 0), "chrome.exe");
    EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, "Software\\Classes\\ChromeHTML\\shell\\open\\command", "", 0),
              "chrome.exe");
    EXPECT_EQ(queryString(HKEY_CLASSES_ROOT, "CLSID\\{64000000-0000-0000-0000-000000000064}", "", 0), "<no key>");

    // 32 -> 64: a 32-bit registration, through HKCR and through HKLM.
    write(HKEY_CLASSES_ROOT, "CLSID\\{32000000-0000-0000-0000-000000000032}", 0, "class32");
    write(HKEY_CLASSES_ROOT, "Vendor.Class32", 0, "progid32");
    write(HKEY_LOCAL_MACHINE, "Software\\Classes\\Interface\\{32000000-0000-0000-0000-0000000000aa}", 0, "iface32");
    write(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vnd32", 0, "type32");
    const std::string wow = "Software\\Classes\\Wow6432Node\\";
    EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, wow + "CLSID\\{32000000-0000-0000-0000-000000000032}", "", v64),
              "class32");
    EXPECT_EQ(queryString(HKEY_CLASSES_ROOT, "CLSID\\{32000000-0000-0000-0000-000000000032}", "", v64), "<no key>");
    EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, wow + "Interface\\{32000000-0000-0000-0000-0000000000aa}", "", v64),
              "iface32");
    EXPECT_EQ(queryString(HKEY_CLASSES_ROOT, "Vendor.Class32", "", v64), "progid32");
    EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, "Software\\Classes\\.vnd32", "", v64), "type32");
    EXPECT_EQ(queryString(HKEY_LOCAL_MACHINE, wow + "Vendor.Class32", "", v64), "<no key>");

    // Wow6432Node's AppId is Wine's link to the shared AppId key.
    write(HKEY_CLASSES_ROOT, "AppId\\{32000000-0000-0000-0000-0000000000bb}", 0, "app32");
    EXPECT_EQ(queryString(HKEY_CLASSES_ROOT, "AppId\\{32000000-0000-0000-0000-0000000000bb}", "", v64), "app32");

    // The 32-bit listing holds each name once and no Wow6432Node.
    UniqueHKey hkcr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "", 0, KEY_READ, hkcr.put()), ERROR_SUCCESS);
    std::vector<std::string> names;
    std::string name;
    for (DWORD i = 0; RegEnumKeyEx(hkcr.get(), i, &name) == ERROR_SUCCESS; ++i) names.push_back(name);
    auto count = [&](const std::string& n) {
        return std::count_if(names.begin(), names.end(), [&](const std::string& x) { return winsys::equalsNoCase(x, n); });
    };
    EXPECT_EQ(count("CLSID"), 1);
    EXPECT_EQ(count("ChromeHTML"), 1);
    EXPECT_EQ(count("Vendor.Class32"), 1);
    EXPECT_EQ(count("Wow6432Node"), 0);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return winsys::reg::compareKeyNames(a, b) < 0;
    }));

    // All of it is in the files: a fresh load sees the same.
    w.prefix.reopen();
    EXPECT_EQ(queryString(HKEY_CLASSES_ROOT, "ChromeHTML\\shell\\open\\command", "", 0), "chrome.exe");
    EXPECT_EQ(queryString(HKEY_CLASSES_ROOT, "CLSID\\{32000000-0000-0000-0000-000000000032}", "", 0), "class32");
}

// A change writes its hive back whole; reading the new file gives every key
// and value of Wine's plus the change. Unchanged hives keep Wine's bytes.
TEST(WineFixture, ChangedHiveWritesBackEveryKeyAndValue) {
    WinePrefix w;
    setString(HKEY_CURRENT_USER, "Software\\Sorlix\\Test", "Name", "caf\u00e9 \"quoted\" \\ back", 0);
    ASSERT_TRUE(winsys::flushRegistry());

    EXPECT_EQ(readFile(w.prefix.root() / "system.reg"), readFile(kWine8 / "system.reg"));
    EXPECT_EQ(readFile(w.prefix.root() / "userdef.reg"), readFile(kWine8 / "userdef.reg"));

    ParsedHive expected = parseFile(kWine8 / "user.reg");
    expected.tree.root->addSubkey("Software")->addSubkey("Sorlix")->addSubkey("Test")->setValue(
        "Name", REG_SZ, winsys::toUtf16leBytes("caf\u00e9 \"quoted\" \\ back", true).data(),
        winsys::toUtf16leBytes("caf\u00e9 \"quoted\" \\ back", true).size());
    ParsedHive written = parseFile(w.prefix.root() / "user.reg");
    EXPECT_TRUE(written.warnings.empty());
    EXPECT_EQ(regtest::treeDifference(*written.tree.root, *expected.tree.root, false), "");
    EXPECT_EQ(written.tree.relativeTo, expected.tree.relativeTo);

    // Keys that did not change keep their times; the changed one got a new one.
    auto wineKey = expected.tree.root->findSubkey("Control Panel");
    auto ourKey = written.tree.root->findSubkey("Control Panel");
    ASSERT_TRUE(wineKey && ourKey);
    EXPECT_EQ(regtest::treeDifference(*ourKey, *wineKey, true), "");
    auto test = written.tree.root->findSubkey("Software")->findSubkey("Sorlix")->findSubkey("Test");
    ASSERT_TRUE(test && test->time);

    // Read again as a new process would.
    w.prefix.reopen();
    EXPECT_EQ(queryString(HKEY_CURRENT_USER, "Software\\Sorlix\\Test", "Name", 0), "caf\u00e9 \"quoted\" \\ back");
}

// Wine itself reads a hive this store wrote. Runs only where Wine is.
TEST(WineFixture, WineReadsARewrittenHive) {
    const fs::path builtins64 = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows";
    const fs::path builtins32 = "/usr/lib/i386-linux-gnu/wine/i386-windows";
    if (std::system("command -v wine >/dev/null 2>&1") != 0 || !fs::is_directory(builtins64) ||
        !fs::is_directory(builtins32))
        GTEST_SKIP() << "Wine (64-bit with 32-bit support) is not installed here";
    WinePrefix w;
    setString(HKEY_LOCAL_MACHINE, "Software\\Sorlix", "Text", "say \"hi\" \\ there", KEY_WOW64_64KEY);
    {
        UniqueHKey k;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Sorlix", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, k.put(),
                                 nullptr),
                  ERROR_SUCCESS);
        const std::vector<BYTE> multi = winsys::toUtf16leBytes(std::string("one\0two\0", 8), true);
        ASSERT_EQ(RegSetValueEx(k.get(), "List", REG_MULTI_SZ, multi), ERROR_SUCCESS);
        const std::vector<BYTE> dword = {0x2a, 0, 0, 0};
        ASSERT_EQ(RegSetValueEx(k.get(), "Number", REG_DWORD, dword), ERROR_SUCCESS);
    }
    setString(HKEY_LOCAL_MACHINE, "Software\\Sorlix", "Text32", "32-bit view", 0);
    ASSERT_TRUE(winsys::flushRegistry());

    // Wine needs its own DLLs in system32 and syswow64; its builtins serve.
    // "disable" keeps it from updating the prefix.
    const fs::path root = w.prefix.root();
    const fs::path windows = root / "drive_c" / "windows";
    fs::remove_all(windows / "system32");
    fs::remove_all(windows / "syswow64");
    fs::create_directory_symlink(builtins64, windows / "system32");
    fs::create_directory_symlink(builtins32, windows / "syswow64");
    std::ofstream(root / ".update-timestamp") << "disable";
    const std::string env = "WINEPREFIX='" + root.string() + "' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' ";
    const std::string out = (root / "reg-query.txt").string();
    const std::string query = env + "timeout 120 wine reg query 'HKLM\\Software\\Sorlix' ";
    const int rc = std::system((query + "/reg:64 > '" + out + "' 2>&1 && " + query + "/reg:32 >> '" + out +
                                "' 2>&1; r=$?; " + env + "wineserver -k >/dev/null 2>&1; exit $r")
                                   .c_str());
    const std::string text = readFile(out);
    ASSERT_EQ(rc, 0) << text;
    EXPECT_NE(text.find("Text    REG_SZ    say \"hi\" \\ there"), std::string::npos) << text;
    EXPECT_NE(text.find("List    REG_MULTI_SZ    one\\0two"), std::string::npos) << text;
    EXPECT_NE(text.find("Number    REG_DWORD    0x2a"), std::string::npos) << text;
    // The 32-bit view's key is Wow6432Node's, as Wine sees it too.
    const std::string header = "HKEY_LOCAL_MACHINE\\Software\\Sorlix";
    const std::size_t second = text.find(header, text.find(header) + 1);
    ASSERT_NE(second, std::string::npos) << text;
    const std::string part64 = text.substr(0, second), part32 = text.substr(second);
    EXPECT_EQ(part64.find("Text32"), std::string::npos) << text;
    EXPECT_NE(part32.find("Text32    REG_SZ    32-bit view"), std::string::npos) << text;
    EXPECT_EQ(part32.find("Number"), std::string::npos) << text;
}
