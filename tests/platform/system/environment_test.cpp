#include "platform/system/environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "platform/core/lasterror.h"
#include "platform/core/text.h"
#include "tests/platform/system/system_fixture.h"

using systest::env;
using winsys::Arch;

namespace {

std::optional<std::string> lookupIn(const std::map<std::string, std::string, winsys::LessNoCase>& vars,
                                    std::string_view name) {
    auto it = vars.find(name);
    if (it == vars.end()) return std::nullopt;
    return it->second;
}

// Sets a host variable for one test and puts the old value back.
class HostVariable {
public:
    HostVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value, 1);
    }
    ~HostVariable() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace

TEST(ExpandReferences, Table) {
    const std::map<std::string, std::string, winsys::LessNoCase> vars{
        {"windir", "C:\\windows"}, {"Empty", ""}, {"Pct", "%windir%"}};
    struct Row {
        const char* label;
        const char* in;
        const char* out;
    } rows[] = {
        {"plain text", "no references", "no references"},
        {"one reference", "%windir%\\system32", "C:\\windows\\system32"},
        {"name ignores case", "%WINDIR%|%WinDir%", "C:\\windows|C:\\windows"},
        {"unknown left as written", "%nosuch%\\x", "%nosuch%\\x"},
        {"lone % kept", "100% sure", "100% sure"},
        {"trailing lone %", "a%", "a%"},
        {"%% is no reference", "%%", "%%"},
        {"unknown then known shares the %", "%nosuch%windir%", "%nosuchC:\\windows"},
        {"empty value", "[%Empty%]", "[]"},
        {"value not expanded again", "%Pct%", "%windir%"},
        {"adjacent references", "%windir%%windir%", "C:\\windowsC:\\windows"},
        {"empty text", "", ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(winsys::expandReferences(r.in, [&](std::string_view n) { return lookupIn(vars, n); }), r.out)
            << r.label;
}

TEST(ProcessEnvironment, WhatWineGivesAFreshPrefix) {
    struct Row {
        Arch arch;
        const char* name;
        const char* value;
    } rows[] = {
        {Arch::Win64, "SystemDrive", "C:"},
        {Arch::Win64, "SystemRoot", "C:\\windows"},
        {Arch::Win64, "windir", "C:\\windows"},
        {Arch::Win64, "winsysdir", "C:\\windows\\system32"},
        {Arch::Win64, "ComSpec", "C:\\windows\\system32\\cmd.exe"},
        {Arch::Win64, "OS", "Windows_NT"},
        {Arch::Win64, "PATHEXT", ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC"},
        {Arch::Win64, "ProgramFiles", "C:\\Program Files (x86)"},
        {Arch::Win64, "ProgramFiles(x86)", "C:\\Program Files (x86)"},
        {Arch::Win64, "ProgramW6432", "C:\\Program Files"},
        {Arch::Win64, "CommonProgramFiles", "C:\\Program Files (x86)\\Common Files"},
        {Arch::Win64, "CommonProgramFiles(x86)", "C:\\Program Files (x86)\\Common Files"},
        {Arch::Win64, "CommonProgramW6432", "C:\\Program Files\\Common Files"},
        {Arch::Win64, "ProgramData", "C:\\ProgramData"},
        {Arch::Win64, "ALLUSERSPROFILE", "C:\\ProgramData"},
        {Arch::Win64, "PUBLIC", "C:\\users\\Public"},
        {Arch::Win64, "USERPROFILE", "C:\\users\\tester"},
        {Arch::Win64, "APPDATA", "C:\\users\\tester\\AppData\\Roaming"},
        {Arch::Win64, "LOCALAPPDATA", "C:\\users\\tester\\AppData\\Local"},
        {Arch::Win64, "TEMP", "C:\\users\\tester\\AppData\\Local\\Temp"},
        {Arch::Win64, "TMP", "C:\\users\\tester\\AppData\\Local\\Temp"},
        {Arch::Win64, "USERNAME", "tester"},
        {Arch::Win64, "HOMEDRIVE", "C:"},
        {Arch::Win64, "HOMEPATH", "\\users\\tester"},
        {Arch::Win64, "COMPUTERNAME", "TESTBOX"},
        {Arch::Win64, "USERDOMAIN", "TESTBOX"},
        {Arch::Win64, "PROCESSOR_ARCHITECTURE", "x86"},
        {Arch::Win64, "PROCESSOR_ARCHITEW6432", "AMD64"},
        {Arch::Win64, "HOME", "<unset>"},
        {Arch::Win64, "WINEPREFIX", "<unset>"},
        {Arch::Win32, "ProgramFiles", "C:\\Program Files"},
        {Arch::Win32, "CommonProgramFiles", "C:\\Program Files\\Common Files"},
        {Arch::Win32, "ProgramFiles(x86)", "<unset>"},
        {Arch::Win32, "ProgramW6432", "<unset>"},
        {Arch::Win32, "PROCESSOR_ARCHITECTURE", "x86"},
        {Arch::Win32, "PROCESSOR_ARCHITEW6432", "<unset>"},
        {Arch::Win32, "SystemRoot", "C:\\windows"},
    };
    // The host's variables must not leak in.
    HostVariable home("HOME", "/home/host"), prefix("WINEPREFIX", "/somewhere"), os("OS", "Linux"),
        programFiles("ProgramFiles", "/opt");
    const std::string computer = R"([HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\ComputerName\ComputerName]
"ComputerName"="TESTBOX"
)";
    for (Arch arch : {Arch::Win64, Arch::Win32}) {
        auto p = systest::machineWith(arch, computer);
        for (const auto& r : rows) {
            if (r.arch == arch) {
                EXPECT_EQ(env(r.name), r.value) << r.name << (arch == Arch::Win64 ? " win64" : " win32");
            }
        }
        const std::string path = env("PATH");
        EXPECT_EQ(path.rfind("C:\\windows\\system32;C:\\windows;", 0), 0u) << path;
        EXPECT_GT(std::atoi(env("NUMBER_OF_PROCESSORS").c_str()), 0);
    }
}

TEST(ProcessEnvironment, BuiltFromTheRegistryKeysInOrder) {
    using systest::expandSz;
    auto p = systest::machineWith(Arch::Win64,
        "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager\\Environment]\n"
        "\"Path\"=" + expandSz("%SystemRoot%\\system32;%SystemRoot%") + "\n"
        "\"TEMP\"=" + expandSz("%SystemRoot%\\temp") + "\n"
        "\"TMP\"=" + expandSz("%SystemRoot%\\temp") + "\n"
        "\"Later\"=" + expandSz("[%Plain%]") + "\n"
        "\"Plain\"=\"p\"\n"
        "\"Literal\"=\"%SystemRoot%\"\n"
        "\"PROCESSOR_ARCHITECTURE\"=\"AMD64\"\n"
        "\"ProgramFiles\"=\"C:\\\\Bogus\"\n"
        "\"Count\"=dword:00000005\n"
        "\n"
        "[HKEY_CURRENT_USER\\Environment]\n"
        "\"PATH\"=\"C:\\\\tools\"\n"
        "\"TEMP\"=" + expandSz("%USERPROFILE%\\AppData\\Local\\Temp") + "\n"
        "\"Mine\"=" + expandSz("%Plain%-%Unknown%") + "\n"
        "\n"
        "[HKEY_CURRENT_USER\\Volatile Environment]\n"
        "\"APPDATA\"=\"C:\\\\roaming\"\n");
    struct Row {
        const char* label;
        const char* name;
        const char* value;
    } rows[] = {
        {"system REG_EXPAND_SZ expanded", "TMP", "C:\\windows\\temp"},
        {"user value wins over system", "TEMP", "C:\\users\\tester\\AppData\\Local\\Temp"},
        {"user PATH appended to system PATH", "PATH", "C:\\windows\\system32;C:\\windows;C:\\tools"},
        {"plain texts come before expandable ones", "Later", "[p]"},
        {"REG_SZ not expanded", "Literal", "%SystemRoot%"},
        {"unknown reference left in the value", "Mine", "p-%Unknown%"},
        {"volatile key last", "APPDATA", "C:\\roaming"},
        {"WOW64 overrides the key's architecture", "PROCESSOR_ARCHITECTURE", "x86"},
        {"WOW64 overrides the key's program files", "ProgramFiles", "C:\\Program Files (x86)"},
        {"non-text values skipped", "Count", "<unset>"},
    };
    for (const auto& r : rows) EXPECT_EQ(env(r.name), r.value) << r.label;
}

TEST(ProcessEnvironment, GetSetAndExpand) {
    auto p = systest::machineWith(Arch::Win64);
    std::string value = "sentinel";

    // Names compare without regard to case; setting keeps the new case.
    const std::string v1 = "one";
    ASSERT_TRUE(win::SetEnvironmentVariable("MyVar", &v1));
    EXPECT_EQ(win::GetEnvironmentVariable("MYVAR", &value), 3u);
    EXPECT_EQ(value, "one");
    const std::string v2 = "Zwei \xC3\xA4"; // counts in UTF-16 units
    ASSERT_TRUE(win::SetEnvironmentVariable("myvar", &v2));
    EXPECT_EQ(win::GetEnvironmentVariable("MyVar", &value), 6u);
    EXPECT_EQ(value, v2);

    std::string expanded;
    const win::DWORD count = win::ExpandEnvironmentStrings("%MYVAR%|%windir%|%none%|50%", &expanded);
    EXPECT_EQ(expanded, v2 + "|C:\\windows|%none%|50%");
    EXPECT_EQ(count, winsys::utf16Length(expanded) + 1) << "with its NUL";

    // An empty value is set; GetEnvironmentVariable tells it from a missing one by the last error.
    const std::string empty;
    ASSERT_TRUE(win::SetEnvironmentVariable("Blank", &empty));
    win::SetLastError(1234);
    EXPECT_EQ(win::GetEnvironmentVariable("blank", &value), 0u);
    EXPECT_EQ(win::GetLastError(), win::ERROR_SUCCESS);
    EXPECT_EQ(value, "");

    ASSERT_TRUE(win::SetEnvironmentVariable("MYVAR", nullptr));
    value = "sentinel";
    EXPECT_EQ(win::GetEnvironmentVariable("MyVar", &value), 0u);
    EXPECT_EQ(win::GetLastError(), win::ERROR_ENVVAR_NOT_FOUND);
    EXPECT_EQ(value, "sentinel");
    EXPECT_TRUE(win::SetEnvironmentVariable("MYVAR", nullptr)) << "removing what is not there";

    for (const char* bad : {"", "A=B"}) {
        win::SetLastError(0);
        EXPECT_FALSE(win::SetEnvironmentVariable(bad, &v1)) << bad;
        EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_PARAMETER) << bad;
    }

    // A new process (a reopened machine) starts from the registry again.
    p->reopen();
    EXPECT_EQ(env("Blank"), "<unset>");
}
