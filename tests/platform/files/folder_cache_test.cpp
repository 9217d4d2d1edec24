// Resolved folders are remembered; a change of the host tree made behind
// the layer's back (as another process makes it: straight on the host, no
// call of the layer) must be seen by the next call, which answers as a walk
// on a machine opened afresh (nothing remembered) does.
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <ctime>

#include "platform/core/lasterror.h"
#include "platform/files/files.h"
#include "platform/files/find.h"
#include "platform/files/inside_prefix.h"
#include "platform/files/paths.h"
#include "platform/files/tree.h"
#include "tests/support/test_prefix.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kAsked = {
    "C:\\Data\\Sub\\Deep\\f.txt", "C:\\DATA\\sub\\deep\\F.TXT", "C:\\Data\\Sub\\New\\x.txt",
    "C:\\data\\SUB",              "C:\\Data\\Sub2\\Deep",       "C:\\Data",
    "C:\\data\\SUB\\Deep\\f.txt",
};

// Where each path leads and what the layer says stands there.
std::vector<std::pair<fs::path, win::DWORD>> hostPaths() {
    std::vector<std::pair<fs::path, win::DWORD>> out;
    for (const std::string& path : kAsked) {
        auto host = winsys::toHostPath(path);
        out.emplace_back(host ? host.value() : fs::path("(fails)"), win::GetFileAttributes(path));
    }
    return out;
}

void makeTree(const fs::path& at, const std::string& sub, const std::string& deep, const std::string& file) {
    fs::create_directories(at / sub / deep);
    std::ofstream(at / sub / deep / file) << "x";
}

// Dates every folder below `root` an hour back: folders that have not
// changed for a while, as on a machine in use (the memory trusts a listing
// of a folder only then).
void settle(const fs::path& root) {
    const timespec past[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_directory() && !e.is_symlink()) ::utimensat(AT_FDCWD, e.path().c_str(), past, AT_SYMLINK_NOFOLLOW);
}

} // namespace

TEST(FolderCache, ChangesBehindTheLayersBackAreSeen) {
    struct Case {
        const char* label;
        std::function<void(const fs::path& prefix)> change;
    };
    const Case cases[] = {
        {"folder renamed", [](const fs::path& p) { fs::rename(p / "drive_c/Data/Sub", p / "drive_c/Data/Sub2"); }},
        {"folder renamed in case only",
         [](const fs::path& p) { fs::rename(p / "drive_c/Data/Sub", p / "drive_c/Data/SUB"); }},
        {"folder removed", [](const fs::path& p) { fs::remove_all(p / "drive_c/Data/Sub"); }},
        {"folder made again with other names inside",
         [](const fs::path& p) {
             fs::remove_all(p / "drive_c/Data/Sub");
             makeTree(p / "drive_c/Data", "Sub", "deep", "F.TXT");
         }},
        {"folder replaced by a link",
         [](const fs::path& p) {
             makeTree(p / "outside", "Sub", "deep", "F.TXT");
             fs::rename(p / "drive_c/Data/Sub", p / "drive_c/Data/Old");
             fs::create_directory_symlink(p / "outside/Sub", p / "drive_c/Data/Sub");
         }},
        {"a parent folder replaced by a link",
         [](const fs::path& p) {
             makeTree(p / "outside/Data", "sub", "DEEP", "f.txt");
             fs::rename(p / "drive_c/Data", p / "drive_c/Old");
             fs::create_directory_symlink(p / "outside/Data", p / "drive_c/Data");
         }},
        {"the spelling asked for appears beside the one found",
         [](const fs::path& p) { makeTree(p / "drive_c", "DATA", "sub", "deep"); }},
        {"a spelling that sorts first appears beside the one found, holding other folders",
         [](const fs::path& p) { makeTree(p / "drive_c", "DATA", "Other", "x.txt"); }},
        {"a file replaced by a folder of its name",
         [](const fs::path& p) {
             fs::remove(p / "drive_c/Data/Sub/Deep/f.txt");
             fs::create_directory(p / "drive_c/Data/Sub/Deep/f.txt");
         }},
        {"a file made read-only",
         [](const fs::path& p) { fs::permissions(p / "drive_c/Data/Sub/Deep/f.txt", fs::perms::owner_read); }},
        {"the drive's link points elsewhere",
         [](const fs::path& p) {
             makeTree(p / "drive_d/Data", "SUB", "Deep", "f.txt");
             fs::remove(p / "dosdevices/c:");
             fs::create_directory_symlink("../drive_d", p / "dosdevices/c:");
         }},
        {"the drive's folder replaced",
         [](const fs::path& p) {
             fs::rename(p / "drive_c", p / "drive_old");
             makeTree(p / "drive_c/data", "sub", "Deep", "f.txt");
         }},
    };
    for (const bool settled : {false, true})
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.label) + (settled ? ", folders settled" : ", folders just made"));
        testsupport::TestPrefix prefix;
        const fs::path root = fs::canonical(prefix.root());
        makeTree(root / "drive_c/Data", "Sub", "Deep", "f.txt");
        if (settled) settle(root);
        const auto before = hostPaths();
        ASSERT_EQ(hostPaths(), before); // asked twice: the second from memory

        c.change(root);
        const auto seen = hostPaths();
        prefix.reopen(); // a machine opened afresh remembers nothing
        const auto walked = hostPaths();
        EXPECT_EQ(seen, walked);
        for (const auto& [host, attributes] : seen) // what is said to stand there is what stands there
            EXPECT_EQ(attributes != win::INVALID_FILE_ATTRIBUTES, fs::exists(fs::symlink_status(host))) << host;
        EXPECT_NE(walked, before); // the change is one the paths show
    }
}

TEST(FolderCache, AFolderReplacedByALinkBetweenTwoCallsIsTreatedAsTheLink) {
    testsupport::TestPrefix prefix;
    const fs::path root = fs::canonical(prefix.root());
    makeTree(root / "drive_c/Data", "Sub", "Deep", "f.txt");
    makeTree(root.parent_path() / (root.filename().string() + "-outside"), "Sub", "Deep", "f.txt");
    const fs::path outside = root.parent_path() / (root.filename().string() + "-outside");
    ASSERT_EQ(win::GetFileAttributes("C:\\Data\\Sub") & win::FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    ASSERT_TRUE(winsys::mapsInsidePrefix("C:\\Data\\Sub\\Deep\\f.txt"));

    fs::rename(root / "drive_c/Data/Sub", root / "drive_c/Data/Old");
    fs::create_directory_symlink(outside / "Sub", root / "drive_c/Data/Sub");

    EXPECT_EQ(win::GetFileAttributes("C:\\Data\\Sub"), win::FILE_ATTRIBUTE_DIRECTORY | win::FILE_ATTRIBUTE_REPARSE_POINT);
    // What guards the deletes and writes made for a user sees it leave the prefix.
    EXPECT_FALSE(winsys::mapsInsidePrefix("C:\\Data\\Sub\\Deep\\f.txt"));
    // A removal removes the link, not what it points at.
    EXPECT_FALSE(win::RemoveDirectory("C:\\Data\\Sub\\Deep"));
    EXPECT_EQ(win::GetLastError(), win::ERROR_DIR_NOT_EMPTY);
    EXPECT_TRUE(win::RemoveDirectory("C:\\Data\\Sub"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(root / "drive_c/Data/Sub")));
    EXPECT_TRUE(fs::exists(outside / "Sub/Deep/f.txt"));
    EXPECT_TRUE(fs::exists(root / "drive_c/Data/Old/Deep/f.txt"));
    fs::remove_all(outside);
}

TEST(FolderCache, TheLayersOwnChangesAreSeenAtOnce) {
    testsupport::TestPrefix prefix;
    const fs::path root = fs::canonical(prefix.root());
    makeTree(root / "drive_c/Data", "Sub", "Deep", "f.txt");
    ASSERT_EQ(winsys::toHostPath("C:\\data\\sub\\deep").value(), root / "drive_c/Data/Sub/Deep");

    ASSERT_TRUE(win::MoveFile("C:\\Data\\Sub", "C:\\Data\\Moved"));
    EXPECT_EQ(win::GetFileAttributes("C:\\Data\\Sub\\Deep"), win::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(winsys::toHostPath("C:\\data\\moved\\deep").value(), root / "drive_c/Data/Moved/Deep");

    // A folder made again under the old name in another case is the one found.
    ASSERT_TRUE(win::CreateDirectory("C:\\Data\\SUB"));
    ASSERT_TRUE(win::CreateDirectory("C:\\Data\\SUB\\deep"));
    EXPECT_EQ(winsys::toHostPath("C:\\data\\sub\\DEEP\\g.txt").value(), root / "drive_c/Data/SUB/deep/g.txt");
    ASSERT_TRUE(winsys::writeFile("C:\\Data\\Sub\\Deep\\g.txt", "y"));
    EXPECT_TRUE(fs::exists(root / "drive_c/Data/SUB/deep/g.txt"));

    // Removed through the layer, a folder is gone for the next call.
    ASSERT_TRUE(win::DeleteFile("C:\\Data\\Sub\\Deep\\g.txt"));
    ASSERT_TRUE(win::RemoveDirectory("C:\\Data\\Sub\\Deep"));
    win::WIN32_FIND_DATA data;
    EXPECT_FALSE(win::UniqueFindHandle(win::FindFirstFile("C:\\Data\\Sub\\Deep\\*", &data)));
    EXPECT_EQ(win::GetLastError(), win::ERROR_PATH_NOT_FOUND);
}

// Another process changes the way to a folder between two calls; what
// removes or writes, and the guard before it, must act on the entry the
// disk holds now, never on the one the memory still names.
TEST(FolderCache, WritesActOnWhatTheDiskHoldsNow) {
    const auto fill = [](const fs::path& folder) {
        fs::create_directories(folder / "Tree");
        std::ofstream(folder / "x.txt") << "x";
        std::ofstream(folder / "Tree/y.txt") << "y";
    };
    const auto repoint = [](const fs::path& link, const fs::path& target) {
        fs::remove(link);
        fs::create_directory_symlink(target, link);
    };
    struct Case {
        const char* label;
        std::string folder; // the Windows folder acted in
        fs::path before;    // the host folder it named, below the prefix
        fs::path now;       // the one it names after the change
        // Whether a read sees the change too. A listing's memory is checked
        // by the folder's time only, so a read may take the remembered
        // spelling until that folder changes again.
        bool readsSeeIt;
        std::function<void(const fs::path& prefix)> setUp, change;
    };
    const Case cases[] = {
        {"drive_c itself a link to a disk, re-pointed to another", "C:\\Data", "disk1/Data", "disk2/Data", true,
         [&](const fs::path& p) {
             fs::rename(p / "drive_c", p / "disk1");
             fs::create_directory_symlink("disk1", p / "drive_c");
             fill(p / "disk1/Data");
             fill(p / "disk2/Data");
         },
         [&](const fs::path& p) { repoint(p / "drive_c", "disk2"); }},
        {"a link on the way to the drive's folder re-pointed, the dosdevices link unchanged", "D:\\Data",
         "vol1/d/Data", "vol2/d/Data", true,
         [&](const fs::path& p) {
             fill(p / "vol1/d/Data");
             fill(p / "vol2/d/Data");
             fs::create_directory_symlink("vol1", p / "volume");
             fs::create_directory_symlink("../volume/d", p / "dosdevices/d:");
         },
         [&](const fs::path& p) { repoint(p / "volume", "vol2"); }},
        {"the exact spelling added beside the one found, the folder's time put back", "C:\\Data\\sub",
         "drive_c/Data/SUB", "drive_c/Data/sub", false,
         [&](const fs::path& p) {
             fill(p / "drive_c/Data/SUB");
             settle(p / "drive_c");
         },
         [&](const fs::path& p) {
             const fs::path data = p / "drive_c/Data";
             struct stat st;
             ASSERT_EQ(::stat(data.c_str(), &st), 0);
             fill(data / "sub");
             const timespec back[2] = {st.st_atim, st.st_mtim};
             ASSERT_EQ(::utimensat(AT_FDCWD, data.c_str(), back, 0), 0);
         }},
    };
    // Each call comes first after the change: any of them heals the memory
    // for the calls that follow, so each must see the change by itself.
    struct Call {
        const char* label;
        bool write; // a read is asked only where reads see the change
        std::function<void(const std::string& folder, const fs::path& now)> run;
    };
    const Call calls[] = {
        {"the guards' place", true,
         [](const std::string& w, const fs::path& now) { EXPECT_EQ(winsys::resolvedPlace(w + "\\x.txt"), now / "x.txt"); }},
        {"DeleteFile", true,
         [](const std::string& w, const fs::path& now) {
             EXPECT_TRUE(win::DeleteFile(w + "\\x.txt"));
             EXPECT_FALSE(fs::exists(now / "x.txt"));
         }},
        {"the tree removal", true,
         [](const std::string& w, const fs::path& now) {
             winsys::FoundEntry entry;
             ASSERT_FALSE(winsys::openEntry(w + "\\Tree", &entry));
             ASSERT_TRUE(entry.exists);
             EXPECT_FALSE(winsys::removeTree({entry.folder.get(), entry.name, w + "\\Tree"}, false));
             EXPECT_FALSE(fs::exists(now / "Tree"));
         }},
        {"a write", true,
         [](const std::string& w, const fs::path& now) {
             EXPECT_TRUE(winsys::writeFile(w + "\\new.txt", "new"));
             EXPECT_TRUE(fs::exists(now / "new.txt"));
         }},
        {"a read", false,
         [](const std::string& w, const fs::path& now) { EXPECT_EQ(winsys::toHostPath(w + "\\x.txt").value(), now / "x.txt"); }},
    };
    for (const Case& c : cases)
    for (const Call& call : calls) {
        if (!call.write && !c.readsSeeIt) continue;
        SCOPED_TRACE(std::string(c.label) + ": " + call.label);
        testsupport::TestPrefix prefix;
        const fs::path root = fs::canonical(prefix.root());
        c.setUp(root);
        const std::string file = c.folder + "\\x.txt";
        for (int twice = 0; twice < 2; ++twice) { // the second time from memory
            ASSERT_EQ(winsys::toHostPath(file).value(), root / c.before / "x.txt");
            ASSERT_NE(win::GetFileAttributes(c.folder + "\\Tree\\y.txt"), win::INVALID_FILE_ATTRIBUTES);
            ASSERT_EQ(win::GetFileAttributes(c.folder + "\\new.txt"), win::INVALID_FILE_ATTRIBUTES);
        }

        c.change(root);
        call.run(c.folder, root / c.now);
        // Nothing under the old place is touched.
        EXPECT_TRUE(fs::exists(root / c.before / "x.txt"));
        EXPECT_TRUE(fs::exists(root / c.before / "Tree/y.txt"));
        EXPECT_FALSE(fs::exists(root / c.before / "new.txt"));
        // The place acted on is the one a machine opened afresh names.
        prefix.reopen();
        EXPECT_EQ(winsys::toHostPath(file).value(), root / c.now / "x.txt");
    }
}
