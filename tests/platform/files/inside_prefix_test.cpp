#include "platform/files/inside_prefix.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "platform/files/paths.h"
#include "tests/support/test_prefix.h"

namespace fs = std::filesystem;

namespace {

// A folder of the host outside every test prefix.
struct HostFolder {
    HostFolder() {
        std::string tmpl = (fs::temp_directory_path() / "sorlix-host-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path = tmpl;
    }
    ~HostFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

// "Z:\a\b" for the host path /a/b.
std::string onZ(const fs::path& host) {
    std::string s = "Z:" + host.string();
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

TEST(InsidePrefix, EveryLinkOnTheWayIsFollowed) {
    testsupport::TestPrefix p;
    HostFolder outside;
    fs::create_directories(outside.path / "sub");
    p.makeDir("C:\\Program Files\\Addon");
    p.writeFile("C:\\data\\file.txt", "x");
    const fs::path devices = p.root() / "dosdevices";
    fs::create_directory_symlink(outside.path, devices / "d:");
    fs::create_directory_symlink("../drive_c/Program Files", devices / "e:");
    fs::create_directory_symlink("../..", devices / "f:"); // the prefix's parent
    fs::create_directory_symlink("/", p.host("C:\\rootlink"));
    fs::create_directory_symlink(outside.path, p.host("C:\\Program Files\\Addon\\out"));
    fs::create_directory_symlink("../../data", p.host("C:\\Program Files\\Addon\\in"));
    fs::create_symlink(outside.path / "sub", p.host("C:\\data\\last"));
    fs::create_directory_symlink("../../../..", p.host("C:\\data\\up"));

    const struct {
        const char* label;
        std::string path;
        bool inside;
    } cases[] = {
        {"a folder of drive C:", "C:\\Program Files\\Addon", true},
        {"a file of drive C:, another case", "c:\\DATA\\FILE.TXT", true},
        {"a path that does not exist yet", "C:\\new\\deeper\\file.dll", true},
        {"the root of drive C:", "C:\\", true},
        {"dots stop at the root", "C:\\..\\..\\..\\etc", true},
        {"long-path prefix", "\\\\?\\C:\\data", true},
        {"the host's root on Z:", "Z:\\", false},
        {"a host file on Z:", "Z:\\tmp\\fifo", false},
        {"Z: back into the prefix", onZ(p.root() / "drive_c" / "data"), true},
        {"Z: on the prefix folder itself", onZ(p.root()), true},
        {"Z: on a sibling whose name starts the same", onZ(p.root().string() + "x"), false},
        {"a drive linked outside", "D:\\sub", false},
        {"a drive linked inside", "E:\\Addon", true},
        {"a drive linked to the prefix's parent", "F:\\", false},
        {"a component linked to the host's root", "C:\\rootlink\\etc\\passwd", false},
        {"a component linked outside", "C:\\Program Files\\Addon\\out\\sub", false},
        {"a component linked back inside", "C:\\Program Files\\Addon\\in\\file.txt", true},
        {"the last component linked outside", "C:\\data\\last", false},
        {"a relative link that climbs out", "C:\\data\\up\\x", false},
        {"a missing drive", "Q:\\x", false},
        {"a network path", "\\\\server\\share\\x", false},
        {"a relative path", "data\\file.txt", false},
    };
    for (const auto& c : cases) EXPECT_EQ(winsys::mapsInsidePrefix(c.path), c.inside) << c.label << ": " << c.path;
}

TEST(InsidePrefix, RedirectionDecidesWhichSystemFolderIsMeant) {
    testsupport::TestPrefix p; // 64-bit Windows: the process runs under WOW64
    HostFolder outside;
    fs::remove_all(p.host("C:\\windows\\syswow64"));
    fs::create_directory_symlink(outside.path, p.host("C:\\windows\\syswow64"));
    EXPECT_FALSE(winsys::mapsInsidePrefix("C:\\windows\\system32\\x.dll"));
    void* old = nullptr;
    ASSERT_TRUE(win::Wow64DisableWow64FsRedirection(&old));
    EXPECT_TRUE(winsys::mapsInsidePrefix("C:\\windows\\system32\\x.dll"));
    win::Wow64RevertWow64FsRedirection(old);
}

} // namespace
