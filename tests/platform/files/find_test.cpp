#include "platform/files/find.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <vector>

#include "platform/core/lasterror.h"
#include "platform/files/paths.h"
#include "tests/support/test_prefix.h"

namespace fs = std::filesystem;
using namespace win;
using testsupport::TestPrefix;

namespace {

// Names a search gives, in order; empty with the error when it fails.
std::vector<std::string> listing(const std::string& pattern, DWORD* error = nullptr) {
    std::vector<std::string> names;
    WIN32_FIND_DATA d;
    SetLastError(0xdeadbeef);
    UniqueFindHandle h(FindFirstFile(pattern, &d));
    if (!h) {
        if (error) *error = GetLastError();
        return names;
    }
    names.push_back(d.cFileName);
    while (FindNextFile(h.get(), &d)) names.push_back(d.cFileName);
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    if (error) *error = ERROR_SUCCESS;
    return names;
}

using Names = std::vector<std::string>;

} // namespace

TEST(Find, ListsAsWindowsDoes) {
    TestPrefix p;
    for (const char* f : {"C:\\x\\b.TXT", "C:\\x\\a.txt", "C:\\x\\c.dat", "C:\\x\\noext", "C:\\x\\.hidden", "C:\\x\\a.txt.bak"})
        p.writeFile(f, "");
    p.makeDir("C:\\x\\Sub");
    const Names all{".", "..", ".hidden", "a.txt", "a.txt.bak", "b.TXT", "c.dat", "noext", "Sub"};

    struct Case { const char* label; const char* pattern; Names names; };
    const Case cases[] = {
        {"star", "C:\\x\\*", all},
        {"star-dot-star", "c:/X/*.*", all},
        {"long prefix", "\\\\?\\C:\\x\\*.*", all},
        {"extension, any case", "C:\\x\\*.txt", {"a.txt", "b.TXT"}},
        {"no extension", "C:\\x\\noext.*", {"noext"}},
        {"one name, any case", "C:\\X\\A.TXT", {"a.txt"}},
        {"a folder by its name", "C:\\x", {"x"}},
        {"dot names the folder", "C:\\x\\Sub\\.", {"Sub"}},
        {"root has no dot entries", "C:\\*", {"Program Files", "Program Files (x86)", "ProgramData", "users", "windows", "x"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(listing(c.pattern), c.names);
    }
}

TEST(Find, EntryData) {
    TestPrefix p;
    p.writeFile("C:\\x\\file.bin", "123");
    p.makeDir("C:\\x\\dir");
    fs::create_directory_symlink(p.host("C:\\x\\dir"), p.host("C:\\x\\dirlink"));

    WIN32_FIND_DATA d;
    UniqueFindHandle h(FindFirstFile("C:\\x\\*", &d));
    ASSERT_TRUE(h);
    std::vector<WIN32_FIND_DATA> entries{d};
    while (FindNextFile(h.get(), &d)) entries.push_back(d);
    ASSERT_EQ(entries.size(), 5u);
    struct Want { const char* name; DWORD attributes; DWORD size; };
    const Want want[] = {
        {".", FILE_ATTRIBUTE_DIRECTORY, 0},
        {"..", FILE_ATTRIBUTE_DIRECTORY, 0},
        {"dir", FILE_ATTRIBUTE_DIRECTORY, 0},
        {"dirlink", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, 0},
        {"file.bin", FILE_ATTRIBUTE_ARCHIVE, 3},
    };
    for (std::size_t k = 0; k < entries.size(); ++k) {
        SCOPED_TRACE(want[k].name);
        EXPECT_EQ(entries[k].cFileName, want[k].name);
        EXPECT_EQ(entries[k].dwFileAttributes, want[k].attributes);
        EXPECT_EQ(entries[k].nFileSizeLow, want[k].size);
        EXPECT_EQ(entries[k].nFileSizeHigh, 0u);
        EXPECT_NE(entries[k].ftLastWriteTime.dwHighDateTime, 0u);
    }

    // A name looked up on its own, as written or in another case, gives
    // the entry the listing gives.
    for (const char* name : {"file.bin", "FILE.BIN", "dirlink", "DirLink", "dir"}) {
        SCOPED_TRACE(name);
        WIN32_FIND_DATA one;
        UniqueFindHandle single(FindFirstFile(std::string("C:\\x\\") + name, &one));
        ASSERT_TRUE(single);
        const auto same = std::find_if(entries.begin(), entries.end(),
                                       [&](const WIN32_FIND_DATA& e) { return e.cFileName == one.cFileName; });
        ASSERT_NE(same, entries.end()) << one.cFileName;
        EXPECT_EQ(one.dwFileAttributes, same->dwFileAttributes);
        EXPECT_EQ(one.nFileSizeLow, same->nFileSizeLow);
        EXPECT_EQ(one.ftLastWriteTime.dwLowDateTime, same->ftLastWriteTime.dwLowDateTime);
        EXPECT_FALSE(FindNextFile(single.get(), &one));
    }
}

TEST(Find, Failures) {
    TestPrefix p;
    p.writeFile("C:\\x\\a.txt", "");
    struct Case { const char* label; const char* pattern; DWORD error; };
    const Case cases[] = {
        {"nothing matches", "C:\\x\\*.zzz", ERROR_FILE_NOT_FOUND},
        {"trailing separator", "C:\\x\\", ERROR_FILE_NOT_FOUND},
        {"a drive's root", "C:\\", ERROR_FILE_NOT_FOUND},
        {"missing folder", "C:\\nope\\*", ERROR_PATH_NOT_FOUND},
        {"missing folders", "C:\\nope\\deeper\\*", ERROR_PATH_NOT_FOUND},
        {"a file as folder", "C:\\x\\a.txt\\*", ERROR_DIRECTORY},
        {"missing drive", "Q:\\*", ERROR_PATH_NOT_FOUND},
        {"wildcard in a folder", "C:\\*\\a.txt", ERROR_INVALID_NAME},
        {"network path", "\\\\server\\share\\*", ERROR_BAD_NETPATH},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        DWORD error = 0;
        EXPECT_TRUE(listing(c.pattern, &error).empty());
        EXPECT_EQ(error, c.error);
    }

    WIN32_FIND_DATA d;
    d.cFileName = "sentinel";
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(FindNextFile(INVALID_HANDLE_VALUE, &d));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(d.cFileName, "sentinel");
    HANDLE h = FindFirstFile("C:\\x\\*", &d);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(FindClose(h));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(FindClose(h)); // closed already
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(FindFirstFile("C:\\x\\*", nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Find, SearchesFollowRedirection) {
    TestPrefix p;
    p.writeFile("C:\\windows\\system32\\native.dll", "");
    p.writeFile("C:\\windows\\syswow64\\wow.dll", "");
    p.makeDir("C:\\windows\\system32\\catroot");

    EXPECT_EQ(listing("C:\\windows\\system32\\*.dll"), Names{"wow.dll"});
    // An exempt folder is found where it is, in system32.
    EXPECT_EQ(listing("C:\\windows\\system32\\catroot"), Names{"catroot"});
    EXPECT_EQ(listing("C:\\windows\\system32\\catroot\\*"), (Names{".", ".."}));

    void* old = nullptr;
    ASSERT_TRUE(Wow64DisableWow64FsRedirection(&old));
    EXPECT_EQ(listing("C:\\windows\\system32\\*.dll"), Names{"native.dll"});
    ASSERT_TRUE(Wow64RevertWow64FsRedirection(old));
    EXPECT_EQ(listing("C:\\windows\\system32\\*.dll"), Names{"wow.dll"});
}

TEST(Find, HostNamesWithBackslashAreNotListed) {
    TestPrefix p;
    p.writeFile("C:\\x\\kept.dll", "");
    // Joined to C:\x, "..\..\windows" would leave the folder it lies in.
    const fs::path x = p.host("C:\\x");
    fs::create_directories(x / "..\\..\\windows");
    std::ofstream(x / "a\\b.dll") << "";
    EXPECT_EQ(listing("C:\\x\\*"), (Names{".", "..", "kept.dll"}));
    DWORD error = 0;
    EXPECT_TRUE(listing("C:\\x\\a\\b.dll", &error).empty());
    EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);
}
