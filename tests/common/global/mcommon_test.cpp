// The library's shared helpers, called directly.

#include "common/mcommon.h"

#include <gtest/gtest.h>

#include "platform/system/environment.h"
#include "tests/support/test_prefix.h"

namespace {

using namespace halvenlib;

std::string versionReg(const std::string& values) {
    return "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion]\n" +
           values + "\n";
}

TEST(MCommon, StartupCachesVistaForDescribeApiError) {
    struct Case {
        const char* label;
        std::string values;
        bool vista;
    };
    const Case cases[] = {
        {"Vista 6.0", "\"CurrentVersion\"=\"6.0\"", true},
        {"Windows 7 6.1", "\"CurrentVersion\"=\"6.1\"", true},
        {"XP 5.1", "\"CurrentVersion\"=\"5.1\"", false},
        {"Windows 10", "\"CurrentVersion\"=\"6.3\"\n\"CurrentMajorVersionNumber\"=dword:0000000a\n"
                       "\"CurrentMinorVersionNumber\"=dword:00000000",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        testsupport::TestPrefix prefix;
        prefix.importReg(versionReg(c.values));
        prefix.reopen();
        LibraryStartup();
        EXPECT_EQ(IsVista(), c.vista);
        EXPECT_EQ(DescribeApiError(0), c.vista ? "Undefined Vista error." : "Undefined error.");
        EXPECT_EQ(DescribeApiError(2), "The system cannot find the file specified. ");
    }
}

TEST(MCommon, CachedFlagsStayWhileFreshQueriesFollowTheMachine) {
    testsupport::TestPrefix prefix; // 64-bit Windows 7: Vista family, WOW64
    LibraryStartup();
    ASSERT_TRUE(IsVista());
    ASSERT_TRUE(IsWow64());
    EXPECT_TRUE(IsUnicodeOs());

    testsupport::TestPrefix win32({.arch = winsys::Arch::Win32});
    win32.importReg(versionReg("\"CurrentMajorVersionNumber\"=dword:0000000a"));
    win32.reopen();
    EXPECT_TRUE(IsVista());
    EXPECT_TRUE(IsWow64());
    EXPECT_FALSE(IsVistaNow());
    EXPECT_FALSE(IsWow64Now());
}

TEST(MCommon, FormatSystemMessageFoldsLineBreaks) {
    testsupport::TestPrefix prefix;
    EXPECT_EQ(FormatSystemMessage(5), "Access is denied. ");
    EXPECT_EQ(FormatSystemMessage(0), "The operation completed successfully. ");
    EXPECT_EQ(FormatSystemMessage(0x7654321), "");
}

TEST(MCommon, ExpandEnvVarsReturnsLongExpansionsWhole) {
    testsupport::TestPrefix prefix;
    const std::string big(1500, 'x');
    ASSERT_TRUE(win::SetEnvironmentVariable("BIG", &big));
    struct Case {
        const char* label;
        const char* text;
        std::string expected;
    };
    const Case cases[] = {
        {"plain", "no references", "no references"},
        {"windir", "%windir%\\system32", "C:\\windows\\system32"},
        {"unknown stays", "%NO_SUCH_VAR%!", "%NO_SUCH_VAR%!"},
        {"beyond 1000 characters", "<%BIG%>", "<" + big + ">"},
        {"twice beyond", "%BIG%%BIG%", big + big},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        auto result = ExpandEnvVars(c.text);
        ASSERT_TRUE(result.ok());
        EXPECT_EQ(*result, c.expected);
    }
}

TEST(MCommon, BufferCuts) {
    using namespace std::string_literals;
    EXPECT_EQ(TrimAtNull("abc\0def"s), "abc");
    EXPECT_EQ(TrimAtNull("abc"), "abc");
    EXPECT_EQ(TrimAtNull("\0x"s), "");

    struct Case {
        const char* label;
        std::vector<std::uint8_t> bytes;
        std::string expected;
    };
    const Case cases[] = {
        {"up to the zero character", {'h', 0, 0xE9, 0, 0, 0, 'x', 0}, "h\xC3\xA9"},
        {"no zero character", {'h', 0, 'i', 0}, ""},
        {"zero character first", {0, 0, 'h', 0, 0, 0}, ""},
        {"zero bytes across characters do not count", {'a', 0, 0, 'b', 0, 0}, "a\xE6\x88\x80"},
        {"odd trailing byte", {'a', 0, 0}, ""},
        {"empty", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(StringFromBuffer(c.bytes), c.expected);
    }
}

TEST(MCommon, FileExists) {
    testsupport::TestPrefix prefix;
    prefix.writeFile("C:\\data\\Notes.txt", "x");
    struct Case {
        const char* path;
        bool exists;
    };
    const Case cases[] = {
        {"C:\\data\\Notes.txt", true}, {"c:\\DATA\\notes.TXT", true}, {"C:\\data", true},
        {"C:\\data\\", true},          {"C:\\data\\*.txt", true},     {"C:\\data\\other.txt", false},
        {"C:\\nowhere\\x", false},     {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(FileExists(c.path), c.exists) << c.path;
}

TEST(MCommon, ReplaceAllDoesNotRescan) {
    EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");
    EXPECT_EQ(ReplaceAll("'''", "''", "'"), "''");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
}

TEST(MCommon, WindowsVersionText) {
    struct Case {
        const char* label;
        win::OSVERSIONINFOEX info;
        const char* expected;
    };
    const Case cases[] = {
        {"NT", {6, 1, 7601, 2, "Service Pack 1"}, "Platform: Windows NT. Version: 6.1.7601. Service Pack 1"},
        {"95", {4, 10, 2222, 1, "A"}, "Platform: Windows 95. Version: 4.10.2222. A"},
        {"other platform", {5, 0, 1, 3, ""}, "Platform: . Version: 5.0.1. "},
        {"build cut to 16 bits", {4, 0, 0x04000457, 1, ""}, "Platform: Windows 95. Version: 4.0.1111. "},
        {"service pack up to NUL", {10, 0, 19045, 2, std::string("SP\0junk", 7)},
         "Platform: Windows NT. Version: 10.0.19045. SP"},
    };
    for (const Case& c : cases) EXPECT_EQ(WindowsVersionText(c.info), c.expected) << c.label;
}

TEST(MCommon, ProcessorText) {
    struct Case {
        win::DWORD type;
        win::WORD level, revision;
        const char* expected;
    };
    const Case cases[] = {
        {386, 3, 0, "Intel 386"},
        {486, 4, 0, "Intel 486"},
        {586, 6, 0x9E0A, "Intel Pentium Family 6 Model 158 Stepping 10"},
        {586, 15, 0xFFFF, "Intel Pentium Family 15 Model 255 Stepping 255"},
        {4000, 0, 0, "MIPS R4000"},
        {21064, 0, 0, "DEC Alpha 21064"},
        {8664, 6, 0x9E0A, "(unknown)"},
    };
    for (const Case& c : cases) {
        win::SYSTEM_INFO info;
        info.dwProcessorType = c.type;
        info.wProcessorLevel = c.level;
        info.wProcessorRevision = c.revision;
        EXPECT_EQ(ProcessorText(info), c.expected) << c.type;
    }
}

} // namespace
