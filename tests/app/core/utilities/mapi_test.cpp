// MAPI: the Windows-family tests from the prefix's version, file names of
// paths, indirect strings from a PE string table, and capitalising.

#include <gtest/gtest.h>

#include <string>

#include "app/core/mapi.h"

#include "tests/support/pe_writer.h"
#include "tests/support/test_prefix.h"

using namespace sorlix::MAPI;

namespace {

TEST(MAPI, WindowsFamilyFromTheVersion) {
    testsupport::TestPrefix prefix;
    EXPECT_TRUE(IsWindowsNT());
    EXPECT_FALSE(IsWindowsNT4());
    prefix.importReg(R"(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion]
"CurrentVersion"="4.0"
"CurrentBuildNumber"="1381"
)");
    EXPECT_TRUE(IsWindowsNT());
    EXPECT_TRUE(IsWindowsNT4());
}

TEST(MAPI, TextHelpers) {
    struct Case {
        const char* label;
        std::string (*f)(const std::string&);
        const char* in;
        const char* out;
    } cases[] = {
        {"name: empty", GetFileNameFromPath, "", ""},
        {"name: trailing backslash dropped once", GetFileNameFromPath, "C:\\a\\b\\", "b"},
        {"name: plain path", GetFileNameFromPath, "C:\\a\\b.dll", "b.dll"},
        {"name: no backslash", GetFileNameFromPath, "b.dll", "b.dll"},
        {"name: only the root", GetFileNameFromPath, "\\", ""},
        {"first: empty", CapitalizeFirst, "", ""},
        {"first: rest unchanged", CapitalizeFirst, "hello World", "Hello World"},
        {"first: non-ASCII", CapitalizeFirst, "\xC3\xA9t\xC3\xA9", "\xC3\x89t\xC3\xA9"},
        {"words: empty", CapitalizeWords, "", ""},
        {"words: two blanks kept", CapitalizeWords, "foo  bar", "Foo  Bar"},
        {"words: edges kept", CapitalizeWords, " a b ", " A B "},
        {"words: one word", CapitalizeWords, "mIXED", "MIXED"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.f(c.in), c.out);
    }
}

TEST(MAPI, LoadIndirectString) {
    testsupport::TestPrefix prefix; // 64-bit: the process's system32 is syswow64
    testsupport::PeSpec spec;
    spec.strings[104] = "Shell folder";
    spec.strings[105] = "Other";
    spec.strings[300] = std::string(300, 'x');
    testsupport::writePe(prefix.host("C:\\windows\\syswow64\\shell32.dll"), spec);
    testsupport::writePe(prefix.host("C:\\Program Files\\App\\res.dll"), spec);
    prefix.writeFile("C:\\windows\\syswow64\\notpe.dll", "plain text");

    struct Case {
        const char* label;
        const char* in;
        std::string out;
    } cases[] = {
        {"bare name on the search path", "@shell32.dll,-104", "Shell folder"},
        {"without extension", "@shell32,-105", "Other"},
        {"path with blanks, trimmed", "@ C:\\Program Files\\App\\res.dll ,-104", "Shell folder"},
        {"id without minus", "@shell32.dll,104", "Shell folder"},
        {"later pieces ignored", "@shell32.dll,-105,x", "Other"},
        {"id read from its start", "@shell32.dll,-104abc", "Shell folder"},
        {"long string cut to the buffer", "@shell32.dll,-300", std::string(255, 'x')},
        {"missing id", "@shell32.dll,-999", "@shell32.dll,-999"},
        {"missing file", "@nothere.dll,-104", "@nothere.dll,-104"},
        {"not a PE file", "@notpe.dll,-104", "@notpe.dll,-104"},
        {"no comma", "@shell32.dll", "@shell32.dll"},
        {"no @", "shell32.dll,-104", "shell32.dll,-104"},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(LoadIndirectString(c.in), c.out);
    }
}

} // namespace
