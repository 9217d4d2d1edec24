// CFileChecker: the file of a registry command line, and full paths found
// the way Windows searches (WOW64 redirection, variables, "\??\", the
// unexpanded fallback), cached without regard to case, with paths longer
// than the first buffer.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/core/cfilechecker.h"

#include "platform/system/environment.h"
#include "tests/support/com_library.h"
#include "tests/support/test_prefix.h"

using sorlix::CFileChecker;

namespace {

class FileChecker : public ::testing::Test {
protected:
    testsupport::TestPrefix prefix; // 64-bit: the process's system32 is syswow64
    testsupport::ComLibrary common{HALVENLIB_PATH};
    CFileChecker checker{true, false};
};

TEST_F(FileChecker, FileNameFromCommandLine) {
    struct Case {
        const char* line;
        const char* file;
    } cases[] = {
        {"rundll32.exe shell32.dll,Control_RunDLL x", "shell32.dll"},
        {"rundll32 mylib,Entry", "mylib.dll"},
        {"RUNDLL32", "rundll32.exe"},
        {"\"RunDll32.exe\" lib.dll", "lib.dll"},
        {"%SystemRoot%\\System32\\rundll32.exe   advpack.dll ,LaunchINFSection", "advpack.dll"},
        {"rundll32 a,b c.dll", "a.dll"},
        {"rundll32.exe x.cpl", "x.cpl"},
        {"\"C:\\Program Files\\App\\app.exe\" /s", "C:\\Program Files\\App\\app.exe"},
        {"\"C:\\Program Files\\App\\app.exe\" \"%1\"", "C:\\Program Files\\App\\app.exe"},
        {"\"C:\\Program Files\\App\\app.exe -x", "C:\\Program"},
        {"C:\\Program Files\\App\\app.exe -x", "C:\\Program Files\\App\\app.exe"},
        {"C:\\Program Files\\App\\app.exe \"%1\"", "C:\\Program Files\\App\\app.exe"},
        {"C:\\Program Files\\App\\app.exe %1", "C:\\Program Files\\App\\app.exe"},
        {"app.exe -x -y", "app.exe -x"},
        {"C:\\tools\\app.exe", "C:\\tools\\app.exe"},
        {"\"C:\\tools\\app.exe\"", "C:\\tools\\app.exe"},
        {"  C:\\tools\\app.exe  /quiet", "C:\\tools\\app.exe"},
        {"explorer", "explorer.exe"},
        {"Explorer", "Explorer"},
        {"explorer /e,C:\\", "explorer.exe"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(checker.GetFileNameFromCommandLine(c.line), c.file);
    }
}

TEST_F(FileChecker, FullFileNameSearchedTheWindowsWay) {
    prefix.writeFile("C:\\windows\\syswow64\\only32.dll", "");
    prefix.writeFile("C:\\windows\\system32\\only64.dll", "");
    prefix.writeFile("C:\\tools\\app.exe", "");
    prefix.writeFile("C:\\tools\\%DIR%\\lit.exe", "");
    const std::string dir = "other";
    win::SetEnvironmentVariable("DIR", &dir);

    struct Case {
        const char* name;
        const char* full;
    } cases[] = {
        {"", ""},
        {"only32.dll", "C:\\windows\\system32\\only32.dll"},
        {"%SystemRoot%\\system32\\only32.dll", "C:\\windows\\system32\\only32.dll"},
        {"\\??\\C:\\tools\\app.exe", "C:\\tools\\app.exe"},
        {"C:\\tools\\..\\tools\\app.exe", "C:\\tools\\app.exe"},
        {"C:\\tools\\%DIR%\\lit.exe", "C:\\tools\\%DIR%\\lit.exe"},  // the unexpanded name found
        {"only64.dll", "only64.dll"},                                 // redirected away: the name itself
        {"\\??\\C:\\tools\\gone.exe", "C:\\tools\\gone.exe"},
        {"%DIR%\\gone.exe", "%DIR%\\gone.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(checker.GetFullFileNameFromShortFilename(c.name), c.full);
    }
}

TEST_F(FileChecker, CacheAnswersByTheNameAsGivenInAnyCase) {
    prefix.writeFile("C:\\tools\\app.exe", "");
    prefix.writeFile("C:\\tools\\App2.exe", "");
    EXPECT_EQ(checker.GetFullFileNameFromShortFilename("\\??\\C:\\tools\\app.exe"), "C:\\tools\\app.exe");
    EXPECT_EQ(checker.GetFullFileNameFromShortFilename("c:\\tools\\app2.exe"), "C:\\tools\\app2.exe");
    std::filesystem::remove(prefix.host("C:\\tools\\app.exe"));
    std::filesystem::remove(prefix.host("C:\\tools\\App2.exe"));
    EXPECT_EQ(checker.GetFullFileNameFromShortFilename("\\??\\C:\\TOOLS\\APP.EXE"), "C:\\tools\\app.exe");
    EXPECT_EQ(checker.GetFullFileNameFromShortFilename("C:\\Tools\\App2.exe"), "C:\\tools\\app2.exe");
    // Another spelling of the same file is another key, and the file is gone.
    EXPECT_EQ(checker.GetFullFileNameFromShortFilename("C:\\tools\\.\\app.exe"), "C:\\tools\\.\\app.exe");
}

TEST_F(FileChecker, PathLongerThanTheFirstBufferIsRetriedWithTheReportedSize) {
    std::string folder = "C:";
    for (int k = 0; k < 10; ++k) folder += "\\" + std::string(200, static_cast<char>('a' + k));
    const std::string path = folder + "\\long.dll";
    ASSERT_GT(path.size(), 2000u);
    prefix.writeFile(path, "");
    std::string searchPath;
    win::GetEnvironmentVariable("PATH", &searchPath);
    searchPath += ";" + folder;
    win::SetEnvironmentVariable("PATH", &searchPath);
    for (bool nt4 : {false, true}) {
        SCOPED_TRACE(nt4 ? "NT 4" : "long names");
        CFileChecker c(true, nt4);
        EXPECT_EQ(c.GetFullFileNameFromShortFilename("long.dll"), path);
        EXPECT_EQ(c.GetFullFileNameFromShortFilename("c" + path.substr(1)), path);
    }
}

} // namespace
