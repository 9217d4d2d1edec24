// SearchPath in the system search order (WOW64 redirection, the Windows
// folder, PATH, extensions, names with a drive), the buffer rule with its
// reported size, and the long/short forms of a path.

#include <gtest/gtest.h>

#include <string>

#include "platform/system/pathnames.h"

#include "platform/core/lasterror.h"
#include "platform/system/environment.h"
#include "tests/support/test_prefix.h"

namespace {

class PathNames : public ::testing::Test {
protected:
    PathNames() {
        prefix.writeFile("C:\\windows\\syswow64\\only32.dll", "32");
        prefix.writeFile("C:\\windows\\system32\\only64.dll", "64");
        prefix.writeFile("C:\\windows\\syswow64\\both.dll", "system");
        prefix.writeFile("C:\\tools\\both.dll", "tools");
        prefix.writeFile("C:\\windows\\win.ini", "");
        prefix.writeFile("C:\\tools\\tool.exe", "");
        prefix.writeFile("C:\\tools\\sub\\inner.dll", "");
        prefix.writeFile("C:\\tools\\notes.txt", "");
        prefix.writeFile("C:\\data\\file.bin", "");
        prefix.makeDir("C:\\tools\\folder.dll");
        std::string path;
        win::GetEnvironmentVariable("PATH", &path);
        const std::string longer = path + ";;\"C:\\tools\"";
        win::SetEnvironmentVariable("PATH", &longer);
    }
    testsupport::TestPrefix prefix; // 64-bit: the 32-bit process's system32 is syswow64
};

TEST_F(PathNames, SearchPathFollowsTheSystemOrder) {
    struct Case {
        const char* label;
        const char* name;
        const char* extension; // null: none
        const char* expected;  // null: not found
    } cases[] = {
        {"system folder, redirected", "only32.dll", nullptr, "C:\\windows\\system32\\only32.dll"},
        {"64-bit file hidden by redirection", "only64.dll", nullptr, nullptr},
        {"system folder before PATH", "both.dll", nullptr, "C:\\windows\\system32\\both.dll"},
        {"other letter case", "ONLY32.DLL", nullptr, "C:\\windows\\system32\\ONLY32.DLL"},
        {"Windows folder", "win.ini", nullptr, "C:\\windows\\win.ini"},
        {"quoted PATH folder", "tool.exe", nullptr, "C:\\tools\\tool.exe"},
        {"relative name with a folder", "sub\\inner.dll", nullptr, "C:\\tools\\sub\\inner.dll"},
        {"extension added", "tool", ".exe", "C:\\tools\\tool.exe"},
        {"extension not added to one with its own", "notes.txt", ".dll", "C:\\tools\\notes.txt"},
        {"drive path where it stands", "C:\\data\\file.bin", nullptr, "C:\\data\\file.bin"},
        {"drive path folded", "c:\\data\\..\\data\\file.bin", nullptr, "C:\\data\\file.bin"},
        {"drive path not searched", "C:\\elsewhere\\tool.exe", nullptr, nullptr},
        {"rooted path on the system drive", "\\data\\file.bin", nullptr, "C:\\data\\file.bin"},
        {"missing", "nothing.dll", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string ext = c.extension ? c.extension : "";
        std::string found = "untouched";
        win::SetLastError(0);
        const win::DWORD n = win::SearchPath(nullptr, c.name, c.extension ? &ext : nullptr, 260, &found);
        if (c.expected) {
            EXPECT_EQ(found, c.expected);
            EXPECT_EQ(n, found.size());
        } else {
            EXPECT_EQ(n, 0u);
            EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);
            EXPECT_EQ(found, "untouched");
        }
    }
}

TEST_F(PathNames, SearchPathInOneFolder) {
    const std::string folder = "C:\\tools";
    std::string found;
    EXPECT_GT(win::SearchPath(&folder, "both.dll", nullptr, 260, &found), 0u);
    EXPECT_EQ(found, "C:\\tools\\both.dll");
    EXPECT_EQ(win::SearchPath(&folder, "win.ini", nullptr, 260, &found), 0u);
}

TEST_F(PathNames, ShortBufferReportsTheSizeNeededAndIsLeftAlone) {
    const std::string expected = "C:\\tools\\tool.exe"; // 17 units
    std::string found = "untouched";
    EXPECT_EQ(win::SearchPath(nullptr, "tool.exe", nullptr, 17, &found), 18u);
    EXPECT_EQ(found, "untouched");
    EXPECT_EQ(win::SearchPath(nullptr, "tool.exe", nullptr, 18, &found), 17u);
    EXPECT_EQ(found, expected);

    std::string longer = "untouched";
    EXPECT_EQ(win::GetLongPathName(expected, &longer, 5), 18u);
    EXPECT_EQ(longer, "untouched");
    EXPECT_EQ(win::GetShortPathName(expected, &longer, 17), 18u);
    EXPECT_EQ(longer, "untouched");
}

TEST_F(PathNames, LongAndShortFormsAreThePathItself) {
    for (auto* convert : {&win::GetLongPathName, &win::GetShortPathName}) {
        std::string out;
        EXPECT_EQ(convert("C:\\Tools\\tool.exe", &out, 260), 17u);
        EXPECT_EQ(out, "C:\\Tools\\tool.exe");
        win::SetLastError(0);
        EXPECT_EQ(convert("C:\\tools\\gone.exe", &out, 260), 0u);
        EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(convert("", &out, 260), 0u);
        EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_PARAMETER);
    }
}

TEST_F(PathNames, ModuleFilePathAddsDllAndRefusesFolders) {
    EXPECT_EQ(winsys::moduleFilePath("only32"), "C:\\windows\\system32\\only32.dll");
    EXPECT_EQ(winsys::moduleFilePath("C:\\tools\\tool.exe"), "C:\\tools\\tool.exe");
    EXPECT_EQ(winsys::moduleFilePath("folder.dll"), std::nullopt);
    EXPECT_EQ(winsys::moduleFilePath("nothing"), std::nullopt);
}

} // namespace
