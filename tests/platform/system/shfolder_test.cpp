#include "platform/system/shfolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/platform/system/system_fixture.h"

using winsys::Arch;

namespace {

const std::string kRoaming = "C:\\users\\tester\\AppData\\Roaming";
const std::string kLocal = "C:\\users\\tester\\AppData\\Local";
const std::string kStart = kRoaming + "\\Microsoft\\Windows\\Start Menu";
const std::string kCommonStart = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu";

struct FolderCase {
    int csidl;
    std::string win64;
    std::string win32; // empty: the same as on 64-bit Windows
};

const FolderCase kFolderCases[] = {
    {win::CSIDL_DESKTOP, "C:\\users\\tester\\Desktop", ""},
    {win::CSIDL_PROGRAMS, kStart + "\\Programs", ""},
    {win::CSIDL_PERSONAL, "C:\\users\\tester\\Documents", ""},
    {win::CSIDL_FAVORITES, "C:\\users\\tester\\Favorites", ""},
    {win::CSIDL_STARTUP, kStart + "\\Programs\\Startup", ""},
    {win::CSIDL_RECENT, kRoaming + "\\Microsoft\\Windows\\Recent", ""},
    {win::CSIDL_SENDTO, kRoaming + "\\Microsoft\\Windows\\SendTo", ""},
    {win::CSIDL_STARTMENU, kStart, ""},
    {win::CSIDL_MYMUSIC, "C:\\users\\tester\\Music", ""},
    {win::CSIDL_MYVIDEO, "C:\\users\\tester\\Videos", ""},
    {win::CSIDL_DESKTOPDIRECTORY, "C:\\users\\tester\\Desktop", ""},
    {win::CSIDL_NETHOOD, kRoaming + "\\Microsoft\\Windows\\Network Shortcuts", ""},
    {win::CSIDL_FONTS, "C:\\windows\\Fonts", ""},
    {win::CSIDL_TEMPLATES, kRoaming + "\\Microsoft\\Windows\\Templates", ""},
    {win::CSIDL_COMMON_STARTMENU, kCommonStart, ""},
    {win::CSIDL_COMMON_PROGRAMS, kCommonStart + "\\Programs", ""},
    {win::CSIDL_COMMON_STARTUP, kCommonStart + "\\Programs\\Startup", ""},
    {win::CSIDL_COMMON_DESKTOPDIRECTORY, "C:\\users\\Public\\Desktop", ""},
    {win::CSIDL_APPDATA, kRoaming, ""},
    {win::CSIDL_PRINTHOOD, kRoaming + "\\Microsoft\\Windows\\Printer Shortcuts", ""},
    {win::CSIDL_LOCAL_APPDATA, kLocal, ""},
    {win::CSIDL_ALTSTARTUP, kStart + "\\Programs\\Startup", ""},
    {win::CSIDL_COMMON_ALTSTARTUP, kCommonStart + "\\Programs\\Startup", ""},
    {win::CSIDL_COMMON_FAVORITES, "C:\\users\\tester\\Favorites", ""},
    {win::CSIDL_INTERNET_CACHE, kLocal + "\\Microsoft\\Windows\\Temporary Internet Files", ""},
    {win::CSIDL_COOKIES, kRoaming + "\\Microsoft\\Windows\\Cookies", ""},
    {win::CSIDL_HISTORY, kLocal + "\\Microsoft\\Windows\\History", ""},
    {win::CSIDL_COMMON_APPDATA, "C:\\ProgramData", ""},
    {win::CSIDL_WINDOWS, "C:\\windows", ""},
    {win::CSIDL_SYSTEM, "C:\\windows\\system32", ""},
    {win::CSIDL_PROGRAM_FILES, "C:\\Program Files (x86)", "C:\\Program Files"},
    {win::CSIDL_MYPICTURES, "C:\\users\\tester\\Pictures", ""},
    {win::CSIDL_PROFILE, "C:\\users\\tester", ""},
    {win::CSIDL_SYSTEMX86, "C:\\windows\\syswow64", "C:\\windows\\system32"},
    {win::CSIDL_PROGRAM_FILESX86, "C:\\Program Files (x86)", "C:\\Program Files"},
    {win::CSIDL_PROGRAM_FILES_COMMON, "C:\\Program Files (x86)\\Common Files", "C:\\Program Files\\Common Files"},
    {win::CSIDL_PROGRAM_FILES_COMMONX86, "C:\\Program Files (x86)\\Common Files", "C:\\Program Files\\Common Files"},
    {win::CSIDL_COMMON_TEMPLATES, "C:\\ProgramData\\Microsoft\\Windows\\Templates", ""},
    {win::CSIDL_COMMON_DOCUMENTS, "C:\\users\\Public\\Documents", ""},
    {win::CSIDL_COMMON_ADMINTOOLS, kCommonStart + "\\Programs\\Administrative Tools", ""},
    {win::CSIDL_ADMINTOOLS, kStart + "\\Programs\\Administrative Tools", ""},
    {win::CSIDL_COMMON_MUSIC, "C:\\users\\Public\\Music", ""},
    {win::CSIDL_COMMON_PICTURES, "C:\\users\\Public\\Pictures", ""},
    {win::CSIDL_COMMON_VIDEO, "C:\\users\\Public\\Videos", ""},
};

bool isDir(const testsupport::TestPrefix& p, const std::string& windowsPath) {
    return std::filesystem::is_directory(p.host(windowsPath));
}

} // namespace

TEST(SHGetFolderPath, EveryFolderOn64And32BitWindows) {
    for (Arch arch : {Arch::Win64, Arch::Win32}) {
        auto p = systest::machineWith(arch);
        for (const auto& c : kFolderCases) {
            const std::string& expected = arch == Arch::Win32 && !c.win32.empty() ? c.win32 : c.win64;
            const std::string label = "csidl " + std::to_string(c.csidl) + (arch == Arch::Win64 ? " win64" : " win32");
            std::string path = "sentinel";
            EXPECT_EQ(win::SHGetFolderPath(c.csidl | win::CSIDL_FLAG_CREATE, win::SHGFP_TYPE_CURRENT, &path), win::S_OK)
                << label;
            EXPECT_EQ(path, expected) << label;
            EXPECT_TRUE(isDir(*p, expected)) << label << ": created";
            EXPECT_EQ(win::SHGetFolderPath(c.csidl, win::SHGFP_TYPE_CURRENT, &path), win::S_OK) << label << ": again";
        }
    }
}

TEST(SHGetFolderPath, IdsWithoutAFolder) {
    auto p = systest::machineWith(Arch::Win64);
    struct Row {
        const char* label;
        int csidl;
        win::DWORD flags;
        win::HRESULT hr;
    } rows[] = {
        {"CSIDL_INTERNET is virtual", win::CSIDL_INTERNET, 0, win::E_FAIL},
        {"CSIDL_CONTROLS is virtual", win::CSIDL_CONTROLS, 0, win::E_FAIL},
        {"CSIDL_PRINTERS is virtual", win::CSIDL_PRINTERS, 0, win::E_FAIL},
        {"CSIDL_BITBUCKET is virtual", win::CSIDL_BITBUCKET, 0, win::E_FAIL},
        {"CSIDL_DRIVES is virtual", win::CSIDL_DRIVES | win::CSIDL_FLAG_CREATE, 0, win::E_FAIL},
        {"CSIDL_NETWORK is virtual", win::CSIDL_NETWORK, 0, win::E_FAIL},
        {"unknown id 12", 0x0C, 0, win::E_INVALIDARG},
        {"unknown id 0x31", 0x31, 0, win::E_INVALIDARG},
        {"unknown id 0xFF", 0xFF | win::CSIDL_FLAG_CREATE, 0, win::E_INVALIDARG},
        {"bad flags", win::CSIDL_APPDATA, 2, win::E_INVALIDARG},
    };
    for (const auto& r : rows) {
        std::string path = "sentinel";
        EXPECT_EQ(win::SHGetFolderPath(r.csidl, r.flags, &path), r.hr) << r.label;
        EXPECT_EQ(path, "") << r.label;
    }
}

TEST(SHGetFolderPath, MissingFolderCreateAndDontVerify) {
    auto p = systest::machineWith(Arch::Win64);
    const std::string favorites = "C:\\users\\tester\\Favorites";
    ASSERT_FALSE(isDir(*p, favorites));
    std::string path = "sentinel";
    EXPECT_EQ(win::SHGetFolderPath(win::CSIDL_FAVORITES, 0, &path), win::HRESULT_FROM_WIN32(win::ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(path, "");

    EXPECT_EQ(win::SHGetFolderPath(win::CSIDL_FAVORITES | win::CSIDL_FLAG_DONT_VERIFY, 0, &path), win::S_OK);
    EXPECT_EQ(path, favorites);
    EXPECT_FALSE(isDir(*p, favorites)) << "not created";

    // Automation clients pass CSIDL_FLAG_CREATE as the sign-extended -32768.
    const int create = -32768;
    EXPECT_EQ(win::SHGetFolderPath(create | win::CSIDL_FAVORITES, 0, &path), win::S_OK);
    EXPECT_EQ(path, favorites);
    EXPECT_TRUE(isDir(*p, favorites));

    // Parents are made too.
    EXPECT_EQ(win::SHGetFolderPath(win::CSIDL_COOKIES | win::CSIDL_FLAG_CREATE, 0, &path), win::S_OK);
    EXPECT_TRUE(isDir(*p, kRoaming + "\\Microsoft\\Windows\\Cookies"));

    // A file where the folder should be.
    p->writeFile("C:\\users\\tester\\Music", "not a folder");
    EXPECT_EQ(win::SHGetFolderPath(win::CSIDL_MYMUSIC, 0, &path), win::HRESULT_FROM_WIN32(win::ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(win::SHGetFolderPath(win::CSIDL_MYMUSIC | win::CSIDL_FLAG_CREATE, 0, &path),
              win::HRESULT_FROM_WIN32(win::ERROR_ALREADY_EXISTS));
    EXPECT_EQ(path, "");
}

TEST(SHGetFolderPath, FromTheShellFoldersKeys) {
    using systest::expandSz;
    const std::string user = "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
    const std::string common = "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
    auto p = systest::machineWith(Arch::Win64,
        user + "User Shell Folders]\n"
        "\"AppData\"=" + expandSz("%USERPROFILE%\\Roam") + "\n"
        "\"Personal\"=\"C:\\\\Docs\"\n"
        "\"Local AppData\"=\"\"\n"
        "\n" + user + "Shell Folders]\n"
        "\"AppData\"=\"C:\\\\ignored\"\n"
        "\"My Pictures\"=\"C:\\\\Pics\\\\\"\n"
        "\n" + common + "User Shell Folders]\n"
        "\"Common Documents\"=" + expandSz("%PUBLIC%\\SharedDocs") + "\n"
        "\n" + common + "Shell Folders]\n"
        "\"Common AppData\"=\"C:\\\\Shared\"\n");
    struct Row {
        const char* label;
        int csidl;
        win::DWORD flags;
        const char* path;
    } rows[] = {
        {"User Shell Folders, expanded, before Shell Folders", win::CSIDL_APPDATA, 0, "C:\\users\\tester\\Roam"},
        {"defaults follow a moved AppData", win::CSIDL_PROGRAMS, 0,
         "C:\\users\\tester\\Roam\\Microsoft\\Windows\\Start Menu\\Programs"},
        {"REG_SZ taken as written", win::CSIDL_PERSONAL, 0, "C:\\Docs"},
        {"an empty value counts as missing", win::CSIDL_LOCAL_APPDATA, 0, "C:\\users\\tester\\AppData\\Local"},
        {"Shell Folders when User Shell Folders lacks it", win::CSIDL_MYPICTURES, 0, "C:\\Pics"},
        {"common folders from HKLM", win::CSIDL_COMMON_DOCUMENTS, 0, "C:\\users\\Public\\SharedDocs"},
        {"common Shell Folders", win::CSIDL_COMMON_APPDATA, 0, "C:\\Shared"},
        {"SHGFP_TYPE_DEFAULT ignores the keys", win::CSIDL_APPDATA, win::SHGFP_TYPE_DEFAULT, kRoaming.c_str()},
        {"SHGFP_TYPE_DEFAULT for a child", win::CSIDL_PROGRAMS, win::SHGFP_TYPE_DEFAULT,
         "C:\\users\\tester\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"},
    };
    for (const auto& r : rows) {
        std::string path;
        EXPECT_EQ(win::SHGetFolderPath(r.csidl | win::CSIDL_FLAG_CREATE, r.flags, &path), win::S_OK) << r.label;
        EXPECT_EQ(path, r.path) << r.label;
    }
}
