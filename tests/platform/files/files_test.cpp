#include "platform/files/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/core/lasterror.h"
#include "platform/core/text.h"
#include "platform/files/find.h"
#include "platform/files/hostfile.h"
#include "tests/support/test_prefix.h"

namespace fs = std::filesystem;
using namespace win;
using testsupport::TestPrefix;

namespace {

std::string readHost(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

mode_t hostMode(const fs::path& p) {
    struct stat st;
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st.st_mode & 07777;
}

void setHostTimes(const fs::path& p, time_t sec, long nsec) {
    const timespec t[2] = {{sec, nsec}, {sec, nsec}};
    ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), t, 0), 0);
}

std::uint64_t ticks(const FILETIME& f) { return (std::uint64_t{f.dwHighDateTime} << 32) | f.dwLowDateTime; }

// The error a call reported, 0 when it succeeded.
DWORD errorOf(bool succeeded) { return succeeded ? ERROR_SUCCESS : GetLastError(); }
DWORD errorOf(const winsys::Result<void>& r) { return r ? ERROR_SUCCESS : r.error().code; }

std::string text(const winsys::Result<std::vector<std::uint8_t>>& r) {
    return r ? std::string(r->begin(), r->end()) : "<" + r.error().message + ">";
}

} // namespace

TEST(Files, ErrnoTable) {
    struct Case { const char* label; int err; DWORD code; };
    const Case cases[] = {
        {"ENOENT", ENOENT, ERROR_FILE_NOT_FOUND}, {"ENOTDIR", ENOTDIR, ERROR_PATH_NOT_FOUND},
        {"EACCES", EACCES, ERROR_ACCESS_DENIED}, {"EPERM", EPERM, ERROR_ACCESS_DENIED},
        {"EISDIR", EISDIR, ERROR_ACCESS_DENIED}, {"EROFS", EROFS, ERROR_WRITE_PROTECT},
        {"EEXIST", EEXIST, ERROR_ALREADY_EXISTS}, {"ENOTEMPTY", ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
        {"ENAMETOOLONG", ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE}, {"ENOSPC", ENOSPC, ERROR_DISK_FULL},
        {"EDQUOT", EDQUOT, ERROR_DISK_FULL}, {"EXDEV", EXDEV, ERROR_NOT_SAME_DEVICE},
        {"ELOOP", ELOOP, ERROR_CANT_RESOLVE_FILENAME}, {"EMFILE", EMFILE, ERROR_TOO_MANY_OPEN_FILES},
        {"ENFILE", ENFILE, ERROR_TOO_MANY_OPEN_FILES}, {"ENOMEM", ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
        {"EBUSY", EBUSY, ERROR_SHARING_VIOLATION}, {"ETXTBSY", ETXTBSY, ERROR_SHARING_VIOLATION},
        {"EINVAL", EINVAL, ERROR_INVALID_PARAMETER}, {"EIO", EIO, ERROR_GEN_FAILURE},
        {"anything else", EPROTO, ERROR_GEN_FAILURE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(winsys::errorFromErrno(c.err), c.code);
    }
    // A missing file is 2 when its folder is there, 3 when that is missing too.
    TestPrefix p;
    EXPECT_EQ(winsys::errorFromErrno(ENOENT, p.host("C:\\users\\nope")), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(winsys::errorFromErrno(ENOENT, p.host("C:\\nope\\x")), ERROR_PATH_NOT_FOUND);
}

TEST(Files, MainFailuresGiveWindowsErrorNumbers) {
    TestPrefix p;
    p.writeFile("C:\\d\\f.txt", "x");
    p.writeFile("C:\\full\\x", "x");
    p.makeDir("C:\\empty");
    const std::string longName(300, 'n');
    std::string out;

    struct Case { const char* label; std::function<DWORD()> call; DWORD error; };
    const Case cases[] = {
        {"attributes of a missing file", [] { return errorOf(GetFileAttributes("C:\\d\\nope") != INVALID_FILE_ATTRIBUTES); }, ERROR_FILE_NOT_FOUND},
        {"attributes under a missing folder", [] { return errorOf(GetFileAttributes("C:\\nope\\x") != INVALID_FILE_ATTRIBUTES); }, ERROR_PATH_NOT_FOUND},
        {"attributes under a file", [] { return errorOf(GetFileAttributes("C:\\d\\f.txt\\x") != INVALID_FILE_ATTRIBUTES); }, ERROR_PATH_NOT_FOUND},
        {"missing drive", [] { return errorOf(GetFileAttributes("Q:\\x") != INVALID_FILE_ATTRIBUTES); }, ERROR_PATH_NOT_FOUND},
        {"network path", [] { return errorOf(GetFileAttributes("\\\\server\\share\\x") != INVALID_FILE_ATTRIBUTES); }, ERROR_BAD_NETPATH},
        {"bad name", [] { return errorOf(GetFileAttributes("C:\\a<b") != INVALID_FILE_ATTRIBUTES); }, ERROR_INVALID_NAME},
        {"create an existing folder", [] { return errorOf(CreateDirectory("C:\\D") != 0); }, ERROR_ALREADY_EXISTS},
        {"create over a file", [] { return errorOf(CreateDirectory("C:\\d\\F.txt") != 0); }, ERROR_ALREADY_EXISTS},
        {"create under a missing folder", [] { return errorOf(CreateDirectory("C:\\nope\\x") != 0); }, ERROR_PATH_NOT_FOUND},
        {"create a drive's root", [] { return errorOf(CreateDirectory("C:\\") != 0); }, ERROR_ACCESS_DENIED},
        {"create a name too long", [&] { return errorOf(CreateDirectory("C:\\" + longName) != 0); }, ERROR_FILENAME_EXCED_RANGE},
        {"remove a folder not empty", [] { return errorOf(RemoveDirectory("C:\\full") != 0); }, ERROR_DIR_NOT_EMPTY},
        {"remove a file as folder", [] { return errorOf(RemoveDirectory("C:\\d\\f.txt") != 0); }, ERROR_DIRECTORY},
        {"remove a missing folder", [] { return errorOf(RemoveDirectory("C:\\nope") != 0); }, ERROR_FILE_NOT_FOUND},
        {"delete a missing file", [] { return errorOf(DeleteFile("C:\\d\\nope") != 0); }, ERROR_FILE_NOT_FOUND},
        {"delete under a missing folder", [] { return errorOf(DeleteFile("C:\\nope\\x") != 0); }, ERROR_PATH_NOT_FOUND},
        {"delete a folder", [] { return errorOf(DeleteFile("C:\\empty") != 0); }, ERROR_ACCESS_DENIED},
        {"copy a missing file", [] { return errorOf(CopyFile("C:\\d\\nope", "C:\\d\\new", 0) != 0); }, ERROR_FILE_NOT_FOUND},
        {"copy onto a file, failing if it exists", [] { return errorOf(CopyFile("C:\\d\\f.txt", "C:\\full\\X", 1) != 0); }, ERROR_FILE_EXISTS},
        {"copy onto a folder", [] { return errorOf(CopyFile("C:\\d\\f.txt", "C:\\empty", 0) != 0); }, ERROR_ACCESS_DENIED},
        {"copy a folder", [] { return errorOf(CopyFile("C:\\empty", "C:\\d\\g", 0) != 0); }, ERROR_ACCESS_DENIED},
        {"copy a file onto itself", [] { return errorOf(CopyFile("C:\\d\\f.txt", "C:\\D\\F.TXT", 0) != 0); }, ERROR_SHARING_VIOLATION},
        {"copy into a missing folder", [] { return errorOf(CopyFile("C:\\d\\f.txt", "C:\\nope\\f.txt", 0) != 0); }, ERROR_PATH_NOT_FOUND},
        {"move onto a file", [] { return errorOf(MoveFile("C:\\d\\f.txt", "C:\\full\\x") != 0); }, ERROR_ALREADY_EXISTS},
        {"move a missing file", [] { return errorOf(MoveFile("C:\\d\\nope", "C:\\d\\new") != 0); }, ERROR_FILE_NOT_FOUND},
        {"move into a missing folder", [] { return errorOf(MoveFile("C:\\d\\f.txt", "C:\\nope\\f.txt") != 0); }, ERROR_PATH_NOT_FOUND},
        {"read a missing file", [] { auto r = winsys::readFile("C:\\d\\nope"); return r ? ERROR_SUCCESS : r.error().code; }, ERROR_FILE_NOT_FOUND},
        {"full path of a network path", [&] { return errorOf(GetFullPathName("\\\\s\\x", &out) != 0); }, ERROR_BAD_NETPATH},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SetLastError(0xdeadbeef);
        EXPECT_EQ(c.call(), c.error);
    }
    // The failures changed nothing.
    EXPECT_EQ(readHost(p.host("C:\\d\\f.txt")), "x");
    EXPECT_EQ(readHost(p.host("C:\\full\\x")), "x");
    EXPECT_TRUE(fs::is_directory(p.host("C:\\empty")));
    EXPECT_FALSE(fs::exists(p.host("C:\\d\\new")));
}

TEST(Files, ReadOnlyFilesRefuseChangeEvenForRoot) {
    TestPrefix p;
    p.writeFile("C:\\ro.txt", "keep");
    p.writeFile("C:\\other.txt", "other");
    p.setReadOnly("C:\\ro.txt");
    p.makeDir("C:\\rodir");
    p.setReadOnly("C:\\rodir");
    ASSERT_TRUE(GetFileAttributes("C:\\ro.txt") & FILE_ATTRIBUTE_READONLY);

    struct Case { const char* label; std::function<DWORD()> call; };
    const Case cases[] = {
        {"delete", [] { return errorOf(DeleteFile("C:\\RO.TXT") != 0); }},
        {"write", [] { return errorOf(winsys::writeFile("C:\\ro.txt", "new")); }},
        {"append", [] { return errorOf(winsys::appendFile("C:\\ro.txt", "new")); }},
        {"copy over", [] { return errorOf(CopyFile("C:\\other.txt", "C:\\ro.txt", 0) != 0); }},
        {"remove a read-only folder", [] { return errorOf(RemoveDirectory("C:\\rodir") != 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SetLastError(0xdeadbeef);
        EXPECT_EQ(c.call(), ERROR_ACCESS_DENIED);
    }
    EXPECT_EQ(readHost(p.host("C:\\ro.txt")), "keep");
    EXPECT_TRUE(fs::is_directory(p.host("C:\\rodir")));

    // Once the attribute is cleared, the file goes.
    ASSERT_TRUE(SetFileAttributes("C:\\ro.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(GetFileAttributes("C:\\ro.txt") & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(DeleteFile("C:\\ro.txt"));
    EXPECT_FALSE(fs::exists(p.host("C:\\ro.txt")));
}

TEST(Files, AppendCreatesThenAddsAtTheEnd) {
    TestPrefix p;
    EXPECT_EQ(winsys::appendFile("C:\\logs\\a.log", "one\r\n").error().code, ERROR_PATH_NOT_FOUND);
    p.makeDir("C:\\logs");
    ASSERT_TRUE(winsys::appendFile("C:\\LOGS\\a.log", "one\r\n").ok());
    ASSERT_TRUE(winsys::appendFile("C:\\logs\\A.LOG", "two\r\n").ok());
    EXPECT_EQ(readHost(p.host("C:\\logs\\a.log")), "one\r\ntwo\r\n");
}

TEST(Files, AttributesSizesAndTimes) {
    TestPrefix p;
    p.writeFile("C:\\t\\file.txt", "12345");
    p.writeFile("C:\\t\\.hidden", "");
    p.writeFile("C:\\t\\ro.txt", "");
    p.setReadOnly("C:\\t\\ro.txt");
    p.makeDir("C:\\t\\dir");
    fs::create_directory_symlink(p.host("C:\\t\\dir"), p.host("C:\\t\\dirlink"));
    fs::create_symlink(p.host("C:\\t\\file.txt"), p.host("C:\\t\\filelink"));
    fs::create_symlink(p.host("C:\\t\\gone"), p.host("C:\\t\\dangling"));

    constexpr DWORD A = FILE_ATTRIBUTE_ARCHIVE, D = FILE_ATTRIBUTE_DIRECTORY, R = FILE_ATTRIBUTE_READONLY,
                    H = FILE_ATTRIBUTE_HIDDEN, L = FILE_ATTRIBUTE_REPARSE_POINT;
    struct Case { const char* path; DWORD attributes; std::uint64_t size; };
    const Case cases[] = {
        {"C:\\t\\FILE.TXT", A, 5},
        {"C:\\t\\.hidden", A | H, 0},
        {"C:\\t\\ro.txt", A | R, 0},
        {"C:\\t\\dir", D, 0},
        {"C:\\t\\dirlink", D | L, 0},
        {"C:\\t\\filelink", A | L, 5},
        {"C:\\t\\dangling", A | L, 0},
        {"C:\\", D, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(GetFileAttributes(c.path), c.attributes);
        WIN32_FILE_ATTRIBUTE_DATA d;
        ASSERT_TRUE(GetFileAttributesEx(c.path, &d));
        EXPECT_EQ(d.dwFileAttributes, c.attributes);
        EXPECT_EQ((std::uint64_t{d.nFileSizeHigh} << 32) | d.nFileSizeLow, c.size);
    }

    // Times are 100 ns ticks from 1601.
    setHostTimes(p.host("C:\\t\\file.txt"), 1000000000, 5000000);
    WIN32_FILE_ATTRIBUTE_DATA d;
    ASSERT_TRUE(GetFileAttributesEx("C:\\t\\file.txt", &d));
    const std::uint64_t expected = (1000000000ull + 11644473600ull) * 10000000ull + 50000ull;
    EXPECT_EQ(ticks(d.ftLastWriteTime), expected);
    EXPECT_EQ(ticks(d.ftLastAccessTime), expected);
    // A file made now was born now, whatever the host keeps.
    ASSERT_TRUE(GetFileAttributesEx("C:\\t\\.hidden", &d));
    const auto now = (static_cast<std::int64_t>(::time(nullptr)) + 11644473600ll) * 10000000ll;
    EXPECT_LT(std::llabs(now - static_cast<std::int64_t>(ticks(d.ftCreationTime))), 3600ll * 10000000ll);
}

TEST(Files, SetFileAttributesTogglesTheWriteBits) {
    TestPrefix p;
    p.writeFile("C:\\f.txt", "x");
    const fs::path host = p.host("C:\\f.txt");
    fs::permissions(host, fs::perms(0664));
    ASSERT_TRUE(SetFileAttributes("C:\\F.TXT", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(hostMode(host), 0444u);
    EXPECT_EQ(GetFileAttributes("C:\\f.txt"), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(SetFileAttributes("C:\\f.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(hostMode(host), 0644u); // the owner's write only
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetFileAttributes("C:\\nope", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(Files, CreateAndRemoveFolders) {
    TestPrefix p;
    const mode_t saved = ::umask(0);
    const BOOL made = CreateDirectory("C:\\Users\\TESTER\\New");
    ::umask(saved);
    ASSERT_TRUE(made);
    const fs::path host = p.host("C:\\users\\tester\\New");
    ASSERT_TRUE(fs::is_directory(host));
    EXPECT_EQ(hostMode(host), 0755u); // never writable by others, whatever the umask
    EXPECT_TRUE(RemoveDirectory("C:\\users\\tester\\NEW\\"));
    EXPECT_FALSE(fs::exists(host));

    // A link to a folder is removed itself; the folder and its files stay.
    p.writeFile("C:\\real\\keep.txt", "x");
    fs::create_directory_symlink(p.host("C:\\real"), p.host("C:\\link"));
    EXPECT_TRUE(RemoveDirectory("C:\\link"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(p.host("C:\\link"))));
    EXPECT_TRUE(fs::exists(p.host("C:\\real\\keep.txt")));
}

TEST(Files, DeleteFileRemovesLinksNotTargets) {
    TestPrefix p;
    p.writeFile("C:\\target.txt", "x");
    p.setReadOnly("C:\\target.txt");
    fs::create_symlink(p.host("C:\\target.txt"), p.host("C:\\link.txt"));
    p.makeDir("C:\\dir");
    fs::create_directory_symlink(p.host("C:\\dir"), p.host("C:\\dirlink"));

    EXPECT_TRUE(DeleteFile("C:\\link.txt"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(p.host("C:\\link.txt"))));
    EXPECT_TRUE(fs::exists(p.host("C:\\target.txt")));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(DeleteFile("C:\\dirlink")); // a folder link is RemoveDirectory's
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(Files, CopyFileKeepsContentTimeAndReadOnly) {
    TestPrefix p;
    p.writeFile("C:\\src.txt", "fresh");
    setHostTimes(p.host("C:\\src.txt"), 981158400, 0); // 2001-02-03
    p.writeFile("C:\\Old.txt", "a much longer old content");

    ASSERT_TRUE(CopyFile("C:\\src.txt", "C:\\new.txt", 1));
    EXPECT_EQ(readHost(p.host("C:\\new.txt")), "fresh");
    WIN32_FILE_ATTRIBUTE_DATA s, d;
    ASSERT_TRUE(GetFileAttributesEx("C:\\src.txt", &s));
    ASSERT_TRUE(GetFileAttributesEx("C:\\new.txt", &d));
    EXPECT_EQ(ticks(d.ftLastWriteTime), ticks(s.ftLastWriteTime));

    // Over an existing file in another case: replaced whole, no second file.
    ASSERT_TRUE(CopyFile("C:\\src.txt", "C:\\OLD.TXT", 0));
    EXPECT_EQ(readHost(p.host("C:\\Old.txt")), "fresh");
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(p.host("C:\\"))) names.push_back(e.path().filename().string());
    EXPECT_EQ(std::count(names.begin(), names.end(), "Old.txt"), 1);
    for (const std::string& n : names) EXPECT_TRUE(n == "Old.txt" || !winsys::equalsNoCase(n, "old.txt")) << n;
    for (const std::string& n : names) EXPECT_NE(n[0], '.') << "temporary left: " << n;

    // The copy of a read-only file is read-only.
    p.setReadOnly("C:\\src.txt");
    ASSERT_TRUE(CopyFile("C:\\src.txt", "C:\\ro-copy.txt", 1));
    EXPECT_TRUE(GetFileAttributes("C:\\ro-copy.txt") & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(readHost(p.host("C:\\ro-copy.txt")), "fresh");
}

TEST(Files, MoveFileRenamesFilesAndFolders) {
    TestPrefix p;
    p.writeFile("C:\\a\\one.txt", "1");
    p.writeFile("C:\\a\\sub\\two.txt", "2");
    ASSERT_TRUE(MoveFile("C:\\A\\ONE.TXT", "C:\\a\\uno.txt"));
    EXPECT_EQ(readHost(p.host("C:\\a\\uno.txt")), "1");
    EXPECT_FALSE(fs::exists(p.host("C:\\a\\one.txt")));

    ASSERT_TRUE(MoveFile("C:\\a\\sub", "C:\\moved"));
    EXPECT_EQ(readHost(p.host("C:\\moved\\two.txt")), "2");

    // A change of case only is a rename, not a clash.
    ASSERT_TRUE(MoveFile("C:\\a\\uno.txt", "C:\\a\\UNO.TXT"));
    EXPECT_TRUE(fs::exists(p.host("C:\\a\\UNO.TXT")));
    EXPECT_FALSE(fs::exists(p.host("C:\\a\\uno.txt")));
}

TEST(Files, WholeFileReadAndWrite) {
    TestPrefix p;
    ASSERT_TRUE(winsys::writeFile("C:\\users\\TESTER\\data.bin", "a long first content"));
    const fs::path host = p.host("C:\\users\\tester\\data.bin");
    EXPECT_EQ(hostMode(host), 0644u);
    ASSERT_TRUE(winsys::writeFile("C:\\users\\tester\\DATA.BIN", "short"));
    EXPECT_EQ(readHost(host), "short"); // no stale tail
    EXPECT_EQ(text(winsys::readFile("C:\\users\\tester\\data.bin")), "short");
    EXPECT_EQ(text(winsys::readFile("C:\\users\\tester\\data.bin", 3)), "sho");

    // A replaced file keeps its mode.
    fs::permissions(host, fs::perms(0600));
    ASSERT_TRUE(winsys::writeFile("C:\\users\\tester\\data.bin", std::vector<std::uint8_t>{0, 1, 2}));
    EXPECT_EQ(hostMode(host), 0600u);
    EXPECT_EQ(readHost(host), std::string("\0\1\2", 3));

    // Empty content empties the file.
    ASSERT_TRUE(winsys::writeFile("C:\\users\\tester\\data.bin", ""));
    EXPECT_EQ(fs::file_size(host), 0u);

    // Writing through a link changes its target and keeps the link.
    p.writeFile("C:\\target.txt", "old");
    fs::create_symlink(p.host("C:\\target.txt"), p.host("C:\\link.txt"));
    ASSERT_TRUE(winsys::writeFile("C:\\link.txt", "new"));
    EXPECT_TRUE(fs::is_symlink(p.host("C:\\link.txt")));
    EXPECT_EQ(readHost(p.host("C:\\target.txt")), "new");

    EXPECT_EQ(winsys::readFile("C:\\users").error().code, ERROR_ACCESS_DENIED);
    EXPECT_EQ(winsys::writeFile("C:\\users", "x").error().code, ERROR_ACCESS_DENIED);
    EXPECT_EQ(winsys::writeFile("C:\\nope\\x", "x").error().code, ERROR_PATH_NOT_FOUND);
}

TEST(Files, TempFileNames) {
    TestPrefix p;
    std::string name = "sentinel";
    EXPECT_EQ(GetTempFileName("C:\\windows\\temp", "abcdef", 0x12345, &name), 0x12345u);
    EXPECT_EQ(name, "C:\\windows\\temp\\abc2345.tmp");
    EXPECT_FALSE(fs::exists(p.host("C:\\windows\\temp\\abc2345.tmp"))); // not made with a number given

    struct Case { const char* label; const char* folder; const char* prefix; const char* head; };
    const Case cases[] = {
        {"three prefix characters", "C:\\windows\\temp\\", "gkx-long", "C:\\windows\\temp\\gkx"},
        {"short prefix, no trailing backslash", "C:\\windows\\temp", "g", "C:\\windows\\temp\\g"},
        {"empty prefix", "C:\\windows\\temp", "", "C:\\windows\\temp\\"},
        {"characters, not bytes", "C:\\windows\\temp", "\xC3\xA9\xC3\xA0\xC3\xBCx", "C:\\windows\\temp\\\xC3\xA9\xC3\xA0\xC3\xBC"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        name.clear();
        const UINT n = GetTempFileName(c.folder, c.prefix, 0, &name);
        ASSERT_NE(n, 0u);
        char hex[16];
        std::snprintf(hex, sizeof hex, "%X", n);
        EXPECT_EQ(name, std::string(c.head) + hex + ".tmp");
        auto data = winsys::readFile(name);
        ASSERT_TRUE(data) << data.error().message; // made, empty
        EXPECT_TRUE(data->empty());
    }

    struct Bad { const char* label; const char* folder; const char* prefix; DWORD error; };
    p.writeFile("C:\\file.txt", "x");
    const Bad bad[] = {
        {"missing folder", "C:\\nope", "x", ERROR_DIRECTORY},
        {"a file as folder", "C:\\file.txt", "x", ERROR_DIRECTORY},
        {"missing drive", "Q:\\", "x", ERROR_DIRECTORY},
        {"separator in the prefix", "C:\\windows\\temp", "a\\b", ERROR_INVALID_NAME},
    };
    for (const Bad& c : bad) {
        SCOPED_TRACE(c.label);
        name = "sentinel";
        SetLastError(0xdeadbeef);
        EXPECT_EQ(GetTempFileName(c.folder, c.prefix, 0, &name), 0u);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(name, "sentinel");
    }
}

TEST(Files, TempFileNameSkipsTakenNamesInAnyCaseAndFailsWhenAllAre) {
    TestPrefix p;
    p.makeDir("C:\\t");
    const fs::path folder = p.host("C:\\t");
    constexpr unsigned kFree = 0xBEEF, kOtherCase = 0xABCD;
    for (unsigned n = 1; n <= 0xFFFF; ++n) {
        if (n == kFree) continue;
        char file[32];
        std::snprintf(file, sizeof file, n == kOtherCase ? "zz%x.TMP" : "zz%X.tmp", n);
        std::ofstream(folder / file).put('x');
    }
    std::string name;
    EXPECT_EQ(GetTempFileName("C:\\t", "zz", 0, &name), kFree);
    EXPECT_EQ(name, "C:\\t\\zzBEEF.tmp");
    SetLastError(0xdeadbeef);
    EXPECT_EQ(GetTempFileName("C:\\t", "zz", 0, &name), 0u);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
}

TEST(Files, FullPathName) {
    std::string full = "sentinel";
    EXPECT_EQ(GetFullPathName("\\\\?\\c:/a/../\xC3\xA9\\", &full), 5u); // UTF-16 units
    EXPECT_EQ(full, "C:\\\xC3\xA9\\");
    EXPECT_EQ(GetFullPathName("C:\\x\\*.txt", &full), 10u);
    EXPECT_EQ(full, "C:\\x\\*.txt");
}

TEST(Files, TreeDeeperThanMaxPath) {
    TestPrefix p;
    std::string path = "C:\\deep";
    ASSERT_TRUE(CreateDirectory(path));
    std::vector<std::string> folders{path};
    for (int i = 0; i < 25; ++i) {
        path += "\\level_" + std::to_string(i) + "_abcdefghijklmnop";
        // With and without the long-path prefix alike.
        ASSERT_TRUE(CreateDirectory(i % 2 ? "\\\\?\\" + path : path)) << i << ": " << GetLastError();
        folders.push_back(path);
    }
    ASSERT_GT(path.size(), 600u);
    const std::string file = path + "\\Leaf.txt";
    ASSERT_TRUE(winsys::writeFile(file, "deep"));
    EXPECT_EQ(text(winsys::readFile("\\\\?\\" + path + "\\LEAF.TXT")), "deep");
    EXPECT_EQ(GetFileAttributes(file), FILE_ATTRIBUTE_ARCHIVE);

    WIN32_FIND_DATA d;
    UniqueFindHandle h(FindFirstFile(path + "\\*.*", &d));
    ASSERT_TRUE(h) << GetLastError();
    std::vector<std::string> names{d.cFileName};
    while (FindNextFile(h.get(), &d)) names.push_back(d.cFileName);
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "Leaf.txt"}));

    ASSERT_TRUE(DeleteFile(file));
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) ASSERT_TRUE(RemoveDirectory(*it)) << *it;
    EXPECT_FALSE(fs::exists(p.host("C:\\deep")));
}
