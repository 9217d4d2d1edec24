#include "platform/system/computer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/core/lasterror.h"
#include "platform/system/environment.h"
#include "platform/system/layout.h"
#include "tests/platform/system/system_fixture.h"

using winsys::Arch;

TEST(GetComputerName, FromTheRegistryElseTheHost) {
    {
        auto p = systest::machineWith(Arch::Win64,
            "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\ComputerName\\ComputerName]\n"
            "\"ComputerName\"=\"Office-PC\"\n");
        std::string name;
        ASSERT_TRUE(win::GetComputerName(&name));
        EXPECT_EQ(name, "Office-PC");
    }
    auto p = systest::machineWith(Arch::Win64);
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    std::string name;
    ASSERT_TRUE(win::GetComputerName(&name));
    EXPECT_EQ(name, winsys::netbiosNameFromHostName(host));
    EXPECT_FALSE(name.empty());
}

TEST(NetbiosNameFromHostName, Table) {
    struct Row {
        const char* label;
        const char* host;
        const char* name;
    } rows[] = {
        {"upper case", "builder", "BUILDER"},
        {"domain dropped", "box.example.org", "BOX"},
        {"cut to 15", "averyverylonghostname", "AVERYVERYLONGHO"},
        {"exactly 15 kept", "fifteen-chars-x", "FIFTEEN-CHARS-X"},
        {"cut counts characters, not bytes", "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"
                                             "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4",
         "\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84"
         "\xC3\x84\xC3\x84"},
    };
    for (const auto& r : rows) EXPECT_EQ(winsys::netbiosNameFromHostName(r.host), r.name) << r.label;
}

TEST(GetTempPath, FirstOfTmpTempUserprofileThenWindows) {
    struct Row {
        const char* label;
        const char* tmp;         // nullptr: removed
        const char* temp;
        const char* userprofile;
        const char* expected;
    } rows[] = {
        {"TMP first", "C:\\t1", "C:\\t2", "C:\\u", "C:\\t1\\"},
        {"then TEMP", nullptr, "C:\\t2", "C:\\u", "C:\\t2\\"},
        {"then the profile", nullptr, nullptr, "C:\\u", "C:\\u\\"},
        {"then the Windows folder", nullptr, nullptr, nullptr, "C:\\windows\\"},
        {"an empty TMP does not count", "", "C:\\t2", "C:\\u", "C:\\t2\\"},
        {"no second backslash", "C:\\t1\\", nullptr, nullptr, "C:\\t1\\"},
        {"folded to a full path", "C:\\a\\..\\b\\.", nullptr, nullptr, "C:\\b\\"},
    };
    for (const auto& r : rows) {
        auto p = systest::machineWith(Arch::Win64);
        const std::string tmp = r.tmp ? r.tmp : "", temp = r.temp ? r.temp : "", up = r.userprofile ? r.userprofile : "";
        ASSERT_TRUE(win::SetEnvironmentVariable("TMP", r.tmp ? &tmp : nullptr));
        ASSERT_TRUE(win::SetEnvironmentVariable("TEMP", r.temp ? &temp : nullptr));
        ASSERT_TRUE(win::SetEnvironmentVariable("USERPROFILE", r.userprofile ? &up : nullptr));
        std::string path;
        win::SetLastError(4321);
        EXPECT_EQ(win::GetTempPath(&path), std::string(r.expected).size()) << r.label;
        EXPECT_EQ(path, r.expected) << r.label;
        EXPECT_EQ(win::GetLastError(), 4321u) << r.label << ": success leaves the last error alone";
    }
    auto p = systest::machineWith(Arch::Win64);
    std::string path;
    win::GetTempPath(&path);
    EXPECT_EQ(path, "C:\\users\\tester\\AppData\\Local\\Temp\\") << "a fresh machine";
}

TEST(SystemDirectories, On32And64BitWindows) {
    for (Arch arch : {Arch::Win64, Arch::Win32}) {
        const char* label = arch == Arch::Win64 ? "win64" : "win32";
        auto p = systest::machineWith(arch);
        std::string path;
        EXPECT_EQ(win::GetWindowsDirectory(&path), 10u) << label;
        EXPECT_EQ(path, "C:\\windows") << label;
        EXPECT_EQ(win::GetSystemDirectory(&path), 19u) << label;
        EXPECT_EQ(path, "C:\\windows\\system32") << label;
        path = "sentinel";
        const win::UINT n = win::GetSystemWow64Directory(&path);
        if (arch == Arch::Win64) {
            EXPECT_EQ(n, 19u);
            EXPECT_EQ(path, "C:\\windows\\syswow64");
        } else {
            EXPECT_EQ(n, 0u);
            EXPECT_EQ(win::GetLastError(), win::ERROR_CALL_NOT_IMPLEMENTED);
            EXPECT_EQ(path, "sentinel");
        }
    }
}
