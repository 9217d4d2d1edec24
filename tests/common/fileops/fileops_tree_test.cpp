// Tree removal and copy: the root guard, links inside a tree, trees deeper
// than the classic path limit, and the reasons given on failure.

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/common/fileops/fileops_fixture.h"

namespace fileopstest {
namespace {

using namespace win;
namespace fs = std::filesystem;

// Every file below `root` (relative path -> content), links listed as "-> target".
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> out;
    if (!fs::exists(root)) return out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string rel = it->path().lexically_relative(root).string();
        if (it->is_symlink()) {
            out[rel] = "-> " + fs::read_symlink(it->path()).string();
            it.disable_recursion_pending();
        } else if (it->is_regular_file()) {
            std::ifstream f(it->path(), std::ios::binary);
            out[rel] = std::string(std::istreambuf_iterator<char>(f), {});
        } else {
            out[rel] = "<dir>";
        }
    }
    return out;
}

TEST_F(FileOpsTest, DriveAndShareRootsAreNeverRemovedOrCopied) {
    prefix.writeFile("C:\\sentinel.txt", "keep");
    prefix.writeFile("C:\\x\\keep.txt", "keep");
    const char* roots[] = {"C:\\",         "C:",           "c:/",          "%SystemDrive%",
                           "%SystemDrive%\\", "\\\\?\\C:\\", "\\\\?\\C:",   "\\\\?\\%SystemDrive%\\",
                           "C:\\x\\..",    "C:\\x\\..\\.\\", "\\\\server\\share", "\\\\server\\share\\",
                           "\\\\server\\share\\dir\\..", "\\\\?\\UNC\\server\\share\\", "\\\\server"};
    for (const char* root : roots) {
        std::string cause;
        VARIANT_BOOL ok = VARIANT_TRUE;
        ASSERT_EQ(ops->RemoveFolder2(root, VARIANT_TRUE, &cause, &ok), S_OK) << root;
        EXPECT_EQ(ok, VARIANT_FALSE) << root;
        EXPECT_EQ(cause, std::string("Invalid path: '") + root + "'") << root;

        ok = VARIANT_TRUE;
        ASSERT_EQ(ops->CopyFileOrFolder(root, "C:\\copy\\", &cause, &ok), S_OK) << root;
        EXPECT_EQ(ok, VARIANT_FALSE) << root;
        EXPECT_EQ(cause, std::string("Invalid FileOrFolder: '") + root + "'") << root;
    }
    VARIANT_BOOL withSub = VARIANT_TRUE;
    EXPECT_EQ(ops->RemoveFolder("%SystemDrive%\\", &withSub), S_OK);
    EXPECT_TRUE(exists("C:\\sentinel.txt"));
    EXPECT_TRUE(exists("C:\\x\\keep.txt"));
    EXPECT_FALSE(exists("C:\\copy"));
}

TEST_F(FileOpsTest, LinksInsideATreeAreRemovedAndCopiedAsLinks) {
    prefix.writeFile("C:\\outside\\keep.txt", "outside");
    prefix.writeFile("C:\\tree\\own.txt", "own");
    prefix.writeFile("C:\\tree\\sub\\deeper.txt", "deeper");
    fs::create_directory_symlink(prefix.host("C:\\outside"), prefix.host("C:\\tree\\sub\\away"));
    fs::create_directory_symlink("..", prefix.host("C:\\tree\\sub\\loop")); // back to the tree itself
    fs::create_symlink(prefix.host("C:\\outside\\keep.txt"), prefix.host("C:\\tree\\file-link.txt"));

    std::string cause;
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(ops->CopyFileOrFolder("C:\\tree", "C:\\backup\\", &cause, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE) << cause;
    const auto copied = snapshot(prefix.host("C:\\backup\\tree"));
    EXPECT_EQ(copied, (std::map<std::string, std::string>{
                          {"file-link.txt", "-> " + prefix.host("C:\\outside\\keep.txt").string()},
                          {"own.txt", "own"},
                          {"sub", "<dir>"},
                          {"sub/away", "-> " + prefix.host("C:\\outside").string()},
                          {"sub/deeper.txt", "deeper"},
                          {"sub/loop", "-> .."},
                      }));

    ASSERT_EQ(ops->RemoveFolder2("C:\\tree", VARIANT_TRUE, &cause, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE) << cause;
    EXPECT_FALSE(exists("C:\\tree"));
    EXPECT_EQ(snapshot(prefix.host("C:\\outside")), (std::map<std::string, std::string>{{"keep.txt", "outside"}}));

    // A link given as the tree itself goes alone.
    fs::create_directory_symlink(prefix.host("C:\\outside"), prefix.host("C:\\alias"));
    ASSERT_EQ(ops->RemoveFolder2("C:\\alias", VARIANT_TRUE, &cause, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE) << cause;
    EXPECT_FALSE(exists("C:\\alias"));
    EXPECT_TRUE(exists("C:\\outside\\keep.txt"));
}

TEST_F(FileOpsTest, TreesDeeperThanThePathLimitAreCopiedWholeThenRemoved) {
    std::string deep = "C:\\long";
    while (deep.size() < 400) deep += "\\level with a long folder name";
    prefix.writeFile(deep + "\\bottom.txt", "bottom");
    prefix.writeFile("C:\\long\\top.txt", "top");
    ASSERT_GT(deep.size() + 11, 260u);

    std::string cause;
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(ops->CopyFileOrFolder("C:\\long", "C:\\bak\\long", &cause, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE) << cause;
    const auto original = snapshot(prefix.host("C:\\long"));
    EXPECT_EQ(snapshot(prefix.host("C:\\bak\\long")), original);
    EXPECT_EQ(original.at(fs::relative(prefix.host(deep + "\\bottom.txt"), prefix.host("C:\\long")).string()),
              "bottom");

    ASSERT_EQ(ops->RemoveFolder2("C:\\long\\", VARIANT_TRUE, &cause, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE) << cause;
    EXPECT_FALSE(exists("C:\\long"));
    EXPECT_FALSE(snapshot(prefix.host("C:\\bak\\long")).empty());
}

TEST_F(FileOpsTest, NamesInsideATreeAreNotExpanded) {
    // "%USERNAME%" would read as "tester", a sibling that must not be touched.
    prefix.writeFile("C:\\names\\%USERNAME%\\a.txt", "literal");
    prefix.writeFile("C:\\names\\tester\\b.txt", "sibling");
    std::string cause;
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(ops->CopyFileOrFolder("%SystemDrive%\\names", "C:\\nb\\", &cause, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE) << cause;
    EXPECT_EQ(snapshot(prefix.host("C:\\nb\\names")), snapshot(prefix.host("C:\\names")));

    ASSERT_EQ(ops->RemoveFolder2("C:\\names\\%USERNAME%", VARIANT_TRUE, &cause, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE) << cause;
    EXPECT_TRUE(exists("C:\\names\\%USERNAME%")); // expanded once: the caller meant C:\names\tester
    EXPECT_FALSE(exists("C:\\names\\tester"));
    ASSERT_EQ(ops->RemoveFolder2("C:\\names", VARIANT_TRUE, &cause, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE) << cause;
    EXPECT_FALSE(exists("C:\\names"));
}

TEST_F(FileOpsTest, CopyPlacesFilesAndFoldersWhereTheTargetSays) {
    prefix.writeFile("C:\\s\\a.txt", "a");
    prefix.makeDir("C:\\s\\empty");
    prefix.makeDir("C:\\into");
    const struct {
        const char* label;
        const char* from;
        const char* to;
        const char* made;
    } cases[] = {
        {"file into a folder", "C:\\s\\a.txt", "C:\\into\\", "C:\\into\\a.txt"},
        {"file under a name", "C:\\s\\a.txt", "C:\\into\\renamed.txt", "C:\\into\\renamed.txt"},
        {"folder into a folder", "C:\\s\\", "C:\\into\\", "C:\\into\\s\\a.txt"},
        {"empty folder", "C:\\s\\empty", "C:\\into\\e2", "C:\\into\\e2"},
    };
    for (const auto& c : cases) {
        std::string cause = "sentinel";
        VARIANT_BOOL ok = VARIANT_FALSE;
        ASSERT_EQ(ops->CopyFileOrFolder(c.from, c.to, &cause, &ok), S_OK) << c.label;
        EXPECT_EQ(ok, VARIANT_TRUE) << c.label << ": " << cause;
        EXPECT_EQ(cause, "") << c.label;
        EXPECT_TRUE(exists(c.made)) << c.label;
    }
}

TEST_F(FileOpsTest, FailuresGiveTheirReasons) {
    prefix.writeFile("C:\\full\\f.txt", "x");
    prefix.writeFile("C:\\abcd\\f.txt", "x");
    prefix.writeFile("C:\\self\\f.txt", "x");
    prefix.writeFile("C:\\blocker", "a file where a folder would be made");
    prefix.makeDir("C:\\emptyf");
    prefix.makeDir("C:\\nest\\a\\b");
    fs::create_symlink(prefix.host("C:\\full\\f.txt"), prefix.host("C:\\file-link"));
    const struct {
        const char* label;
        std::function<VARIANT_BOOL(std::string*)> call;
        const char* cause;
    } cases[] = {
        {"non-empty folder without subfolders",
         [&](std::string* c) {
             VARIANT_BOOL ok;
             ops->RemoveFolder2("C:\\full", VARIANT_FALSE, c, &ok);
             return ok;
         },
         "The directory is not empty. "},
        {"file with subfolders",
         [&](std::string* c) {
             VARIANT_BOOL ok;
             ops->RemoveFolder2("C:\\full\\f.txt", VARIANT_TRUE, c, &ok);
             return ok;
         },
         "RemoveFolder2 failed. The directory name is invalid. "},
        {"link to a file with subfolders",
         [&](std::string* c) {
             VARIANT_BOOL ok;
             ops->RemoveFolder2("C:\\file-link", VARIANT_TRUE, c, &ok);
             return ok;
         },
         "RemoveFolder2 failed. The directory name is invalid. "},
        {"missing folder without subfolders",
         [&](std::string* c) {
             VARIANT_BOOL ok;
             ops->RemoveFolder2("C:\\none", VARIANT_FALSE, c, &ok);
             return ok;
         },
         "The system cannot find the file specified. "},
        {"copy of a missing source",
         [&](std::string* c) {
             VARIANT_BOOL ok;
             ops->CopyFileOrFolder("C:\\none\\x", "C:\\to\\", c, &ok);
             return ok;
         },
         "Automation error"},
        {"copy of a missing folder written with a trailing backslash",
         [&](std::string* c) {
             VARIANT_BOOL ok;
             ops->CopyFileOrFolder("C:\\none\\", "C:\\to\\", c, &ok);
             return ok;
         },
         "Automation error"},
        {"copy of a file written with a trailing backslash",
         [&](std::string* c) {
             VARIANT_BOOL ok;
             ops->CopyFileOrFolder("C:\\full\\f.txt\\", "C:\\to\\", c, &ok);
             return ok;
         },
         "Not a folder: 'C:\\full\\f.txt\\'"},
        {"empty folder whose copy cannot be made",
         [&](std::string* c) {
             VARIANT_BOOL ok;
             ops->CopyFileOrFolder("C:\\emptyf", "C:\\blocker\\", c, &ok);
             return ok;
         },
         "Cannot create folder 'C:\\blocker\\emptyf'."},
        {"folder of empty folders whose copy cannot be made",
         [&](std::string* c) {
             VARIANT_BOOL ok;
             ops->CopyFileOrFolder("C:\\nest\\", "C:\\blocker\\", c, &ok);
             return ok;
         },
         "Cannot create folder 'C:\\blocker\\nest'."},
        {"source without a backslash",
         [&](std::string* c) {
             VARIANT_BOOL ok;
             ops->CopyFileOrFolder("C:abcd", "C:\\to\\", c, &ok);
             return ok;
         },
         "Invalid Folder: 'C:abcd'"},
        {"folder into itself",
         [&](std::string* c) {
             VARIANT_BOOL ok;
             ops->CopyFileOrFolder("C:\\self", "C:\\self\\inner\\", c, &ok);
             return ok;
         },
         "Cannot copy folder 'C:\\self' into itself."},
        {"copy onto a missing folder",
         [&](std::string* c) {
             VARIANT_BOOL ok;
             ops->CopyFileOrFolder("C:\\full\\f.txt", "C:\\no\\such\\", c, &ok);
             return ok;
         },
         "Cannot copy file 'C:\\full\\f.txt' to 'C:\\no\\such\\f.txt'. The system cannot find the path specified. "},
    };
    for (const auto& c : cases) {
        std::string cause = "sentinel";
        EXPECT_EQ(c.call(&cause), VARIANT_FALSE) << c.label;
        EXPECT_EQ(cause, c.cause) << c.label;
    }
    EXPECT_TRUE(exists("C:\\full\\f.txt"));
    EXPECT_TRUE(fs::is_symlink(prefix.host("C:\\file-link")));
    EXPECT_FALSE(exists("C:\\self\\inner"));
    EXPECT_FALSE(exists("C:\\to")); // nothing made for a source that is not there
}

// The guard counts characters as Windows does (UTF-16 units), not bytes:
// "C:" and one accented letter is three characters in four or five bytes.
TEST_F(FileOpsTest, PathsOfThreeCharactersAreRefusedWhateverTheirBytes) {
    for (const std::string path : {"C:\xC3\xA9", "C:\xE2\x82\xAC"}) {
        SCOPED_TRACE(path);
        prefix.writeFile("C:\\" + path.substr(path.find(':') + 1) + "\\keep.txt", "keep");
        std::string cause;
        VARIANT_BOOL ok = VARIANT_TRUE;
        ASSERT_EQ(ops->RemoveFolder2(path, VARIANT_TRUE, &cause, &ok), S_OK);
        EXPECT_EQ(ok, VARIANT_FALSE);
        EXPECT_EQ(cause, "Invalid path: '" + path + "'");
        ok = VARIANT_TRUE;
        ASSERT_EQ(ops->CopyFileOrFolder(path, "C:\\copy\\", &cause, &ok), S_OK);
        EXPECT_EQ(ok, VARIANT_FALSE);
        EXPECT_EQ(cause, "Invalid FileOrFolder: '" + path + "'");
    }
    EXPECT_TRUE(exists("C:\\\xC3\xA9\\keep.txt"));
    EXPECT_TRUE(exists("C:\\\xE2\x82\xAC\\keep.txt"));
    EXPECT_FALSE(exists("C:\\copy"));
}

} // namespace
} // namespace fileopstest
