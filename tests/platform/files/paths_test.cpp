#include "platform/files/paths.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

#include "platform/core/lasterror.h"
#include "platform/core/machine.h"
#include "tests/support/test_prefix.h"

namespace fs = std::filesystem;
using namespace winsys;

namespace {

// The host path of a path that must map.
fs::path hostOf(std::string_view windowsPath) {
    auto h = toHostPath(windowsPath);
    EXPECT_TRUE(h) << windowsPath << ": " << (h ? "" : h.error().message);
    return h ? h.value() : fs::path();
}

} // namespace

TEST(Paths, ParseFoldsAsWindows) {
    struct Case { const char* label; std::string in; bool wild; const char* out; win::DWORD error; };
    const Case cases[] = {
        {"backslashes", "C:\\a\\b", false, "C:\\a\\b", 0},
        {"slashes, lower-case drive", "c:/a/b", false, "C:\\a\\b", 0},
        {"long prefix dropped", "\\\\?\\C:\\a", false, "C:\\a", 0},
        {"NT prefix dropped", "\\??\\C:\\a", false, "C:\\a", 0},
        {"drive-relative counts from the root", "C:a\\b", false, "C:\\a\\b", 0},
        {"bare drive is its root", "C:", false, "C:\\", 0},
        {"root", "C:\\", false, "C:\\", 0},
        {"dot folded", "C:\\a\\.\\b", false, "C:\\a\\b", 0},
        {"dot-dot folded", "C:\\a\\b\\..\\c", false, "C:\\a\\c", 0},
        {"dot-dot stops at the root", "C:\\..\\..\\x", false, "C:\\x", 0},
        {"drive-relative dot-dot stops at the root", "C:..\\x", false, "C:\\x", 0},
        {"long prefix folds too", "\\\\?\\C:\\a\\..\\..\\b", false, "C:\\b", 0},
        {"repeated separators", "C:\\\\a//b", false, "C:\\a\\b", 0},
        {"trailing separator kept", "C:\\a\\b\\", false, "C:\\a\\b\\", 0},
        {"trailing dots and blanks dropped", "C:\\a\\b. .", false, "C:\\a\\b", 0},
        {"trailing dot kept with long prefix", "\\\\?\\C:\\a\\b.", false, "C:\\a\\b.", 0},
        {"inner dots kept", "C:\\a.\\b", false, "C:\\a.\\b", 0},
        {"three dots at the end go", "C:\\a\\...", false, "C:\\a\\", 0},
        {"UTF-8 names", "C:\\\xC3\xA9t\xC3\xA9\\\xE2\x82\xAC", false, "C:\\\xC3\xA9t\xC3\xA9\\\xE2\x82\xAC", 0},
        {"wildcards in the last part", "C:\\a\\*.t?t", true, "C:\\a\\*.t?t", 0},
        {"empty", "", false, nullptr, win::ERROR_PATH_NOT_FOUND},
        {"relative", "a\\b", false, nullptr, win::ERROR_PATH_NOT_FOUND},
        {"root-relative", "\\a", false, nullptr, win::ERROR_PATH_NOT_FOUND},
        {"drive that is no letter", "1:\\a", false, nullptr, win::ERROR_PATH_NOT_FOUND},
        {"UNC", "\\\\server\\share\\x", false, nullptr, win::ERROR_BAD_NETPATH},
        {"long UNC", "\\\\?\\UNC\\server\\share", false, nullptr, win::ERROR_BAD_NETPATH},
        {"device", "\\\\.\\C:\\a", false, nullptr, win::ERROR_NOT_SUPPORTED},
        {"volume", "\\\\?\\Volume{0}\\a", false, nullptr, win::ERROR_NOT_SUPPORTED},
        {"wildcard refused", "C:\\a*b", false, nullptr, win::ERROR_INVALID_NAME},
        {"wildcard only in the last part", "C:\\*\\x", true, nullptr, win::ERROR_INVALID_NAME},
        {"stream colon", "C:\\a\\b:c", false, nullptr, win::ERROR_INVALID_NAME},
        {"pipe", "C:\\a|b", false, nullptr, win::ERROR_INVALID_NAME},
        {"control character", "C:\\a\x01", false, nullptr, win::ERROR_INVALID_NAME},
        {"embedded NUL", std::string("C:\\a\0b", 6), false, nullptr, win::ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        auto p = parseWindowsPath(c.in, c.wild);
        if (c.out) {
            ASSERT_TRUE(p) << p.error().message;
            EXPECT_EQ(formatWindowsPath(*p), c.out);
        } else {
            ASSERT_FALSE(p) << formatWindowsPath(*p);
            EXPECT_EQ(p.error().code, c.error);
            EXPECT_FALSE(p.error().message.empty());
        }
    }
}

TEST(Paths, Wow64RedirectsSystem32ButNotItsExemptFolders) {
    struct Case { const char* label; const char* path; bool redirected; };
    const Case cases[] = {
        {"system32 itself", "C:\\windows\\system32", true},
        {"any case", "c:\\WINDOWS\\System32\\x.dll", true},
        {"drivers", "C:\\windows\\system32\\drivers\\x.sys", true},
        {"drivers\\etc", "C:\\windows\\system32\\drivers\\etc\\hosts", false},
        {"catroot", "C:\\windows\\system32\\catroot\\x", false},
        {"catroot2", "C:\\windows\\system32\\CatRoot2", false},
        {"logfiles", "C:\\windows\\system32\\LogFiles\\x.log", false},
        {"spool", "C:\\windows\\system32\\spool\\drivers", false},
        {"a name like an exempt one", "C:\\windows\\system32\\catroot3", true},
        {"folded into system32", "C:\\windows\\x\\..\\system32\\y", true},
        {"windows", "C:\\windows", false},
        {"syswow64", "C:\\windows\\syswow64\\x", false},
        {"similar name", "C:\\windows\\system32x", false},
        {"other drive", "D:\\windows\\system32", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        auto p = parseWindowsPath(c.path);
        ASSERT_TRUE(p);
        EXPECT_EQ(redirectedUnderWow64(*p), c.redirected);
    }
}

TEST(Paths, HostPathsResolveCaseAndRedirection) {
    testsupport::TestPrefix p;
    p.makeDir("C:\\Program Files\\Vendor App");
    p.writeFile("C:\\users\\tester\\AppData\\Local\\Data.TXT", "x");
    p.writeFile("C:\\windows\\system32\\drivers\\etc\\hosts", "x");
    p.makeDir("C:\\Twin");
    p.makeDir("C:\\twin");
    const fs::path root = fs::canonical(p.root());
    ASSERT_TRUE(win::isFsRedirectionActive());

    struct Case { const char* label; std::string in; fs::path host; };
    const Case cases[] = {
        {"case taken from disk, new part kept", "C:\\PROGRAM FILES\\vendor app\\New Thing",
         "drive_c/Program Files/Vendor App/New Thing"},
        {"file name case", "c:/users/TESTER/appdata/local/data.txt", "drive_c/users/tester/AppData/Local/Data.TXT"},
        {"missing folders keep the case", "C:\\Missing\\Deeper", "drive_c/Missing/Deeper"},
        {"long prefix and dot-dot", "\\\\?\\C:\\USERS\\..\\..\\Windows", "drive_c/windows"},
        {"drive-relative", "C:users", "drive_c/users"},
        {"root", "C:\\", "drive_c"},
        {"exact case wins among twins", "C:\\twin", "drive_c/twin"},
        {"first twin otherwise", "C:\\TWIN", "drive_c/Twin"},
        {"system32 redirected", "C:\\Windows\\System32\\x.dll", "drive_c/windows/syswow64/x.dll"},
        {"exempt folder stays", "C:\\windows\\system32\\drivers\\ETC\\hosts", "drive_c/windows/system32/drivers/etc/hosts"},
        {"drive Z: reaches the host", "Z:" + (root / "DRIVE_C" / "Users").string(), "drive_c/users"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        auto h = toHostPath(c.in);
        ASSERT_TRUE(h) << h.error().message;
        EXPECT_EQ(*h, root / c.host);
    }
    EXPECT_EQ(hostOf("Z:\\"), fs::path("/"));
    EXPECT_EQ(hostOf("z:\\tmp"), fs::path("/tmp"));

    auto missing = toHostPath("Q:\\x");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, win::ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(toHostPath("\\\\server\\share").error().code, win::ERROR_BAD_NETPATH);
}

TEST(Paths, WindowsPathOfAHostFile) {
    testsupport::TestPrefix p;
    const fs::path root = fs::canonical(p.root());
    fs::create_directory_symlink(root / "drive_c" / "users", root / "users-link");
    fs::create_symlink("/etc/hostname", root / "drive_c" / "file.lnk");
    std::string rootText = root.string();
    for (char& ch : rootText)
        if (ch == '/') ch = '\\';

    struct Case { const char* label; fs::path host; std::string windows; };
    const Case cases[] = {
        {"inside drive_c", root / "drive_c" / "users" / "tester", "C:\\users\\tester"},
        {"drive_c itself", root / "drive_c", "C:\\"},
        {"trailing slash", root / "drive_c" / "users" / "", "C:\\users"},
        {"through a folder link into drive_c", root / "users-link" / "tester", "C:\\users\\tester"},
        {"a file link keeps its own name", root / "drive_c" / "file.lnk", "C:\\file.lnk"},
        {"outside every other drive", root / "system.reg", "Z:" + rootText + "\\system.reg"},
        {"host root", "/", "Z:\\"},
        {"host file", "/usr/lib/x.so", "Z:\\usr\\lib\\x.so"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(toWindowsPath(c.host), c.windows);
    }
    // Back again to the same host file.
    const fs::path file = root / "drive_c" / "users" / "tester" / "Desktop";
    EXPECT_EQ(hostOf(toWindowsPath(file)), file);
}

TEST(Paths, RedirectionIsPerThreadAndNests) {
    testsupport::TestPrefix p;
    const fs::path root = fs::canonical(p.root());
    const fs::path sys32 = root / "drive_c/windows/system32/x.dll";
    const fs::path wow64 = root / "drive_c/windows/syswow64/x.dll";
    ASSERT_EQ(hostOf("C:\\windows\\system32\\x.dll"), wow64);

    void* outer = reinterpret_cast<void*>(0x1234);
    ASSERT_TRUE(win::Wow64DisableWow64FsRedirection(&outer));
    EXPECT_EQ(outer, nullptr); // it was on
    EXPECT_FALSE(win::isFsRedirectionActive());
    EXPECT_EQ(hostOf("C:\\windows\\system32\\x.dll"), sys32);

    // Another thread keeps its own state, and its changes stay its own.
    std::thread([&] {
        EXPECT_TRUE(win::isFsRedirectionActive());
        EXPECT_EQ(hostOf("C:\\windows\\system32\\x.dll"), wow64);
        void* old = nullptr;
        EXPECT_TRUE(win::Wow64DisableWow64FsRedirection(&old));
        EXPECT_EQ(hostOf("C:\\windows\\system32\\x.dll"), sys32);
    }).join();
    std::thread([&] { EXPECT_TRUE(win::isFsRedirectionActive()); }).join();
    EXPECT_FALSE(win::isFsRedirectionActive());

    void* inner = nullptr;
    ASSERT_TRUE(win::Wow64DisableWow64FsRedirection(&inner));
    EXPECT_NE(inner, nullptr); // it was off
    ASSERT_TRUE(win::Wow64RevertWow64FsRedirection(inner));
    EXPECT_FALSE(win::isFsRedirectionActive()); // the inner revert keeps it off
    ASSERT_TRUE(win::Wow64RevertWow64FsRedirection(outer));
    EXPECT_TRUE(win::isFsRedirectionActive());

    // Reverting with "on" (0) after two disables switches it on at once.
    void* scratch = nullptr;
    ASSERT_TRUE(win::Wow64DisableWow64FsRedirection(&scratch));
    ASSERT_TRUE(win::Wow64DisableWow64FsRedirection(&scratch));
    ASSERT_TRUE(win::Wow64RevertWow64FsRedirection(nullptr));
    EXPECT_TRUE(win::isFsRedirectionActive());
}

TEST(Paths, NoRedirectionOn32BitWindows) {
    testsupport::TestPrefixOptions o;
    o.arch = Arch::Win32;
    testsupport::TestPrefix p(o);
    const fs::path root = fs::canonical(p.root());
    EXPECT_FALSE(win::isFsRedirectionActive());
    EXPECT_EQ(hostOf("C:\\windows\\system32\\x.dll"), root / "drive_c/windows/system32/x.dll");

    void* old = reinterpret_cast<void*>(0x1234);
    win::SetLastError(0xdeadbeef);
    EXPECT_FALSE(win::Wow64DisableWow64FsRedirection(&old));
    EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_FUNCTION);
    EXPECT_EQ(old, reinterpret_cast<void*>(0x1234)); // untouched
    win::SetLastError(0xdeadbeef);
    EXPECT_FALSE(win::Wow64RevertWow64FsRedirection(nullptr));
    EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_FUNCTION);
}
