// An add-on's files through backup, removal and restore, exactly as they
// were: links (to siblings, out of the add-on, dangling) stay links, modes
// and times come back, special files and names Windows cannot hold are
// refused before anything is deleted, a restore cut short runs again, the
// leftovers of killed runs go, and no record reaches the program's own data.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/app/core/backup/backup_fixture.h"
#include "tests/support/file_tree.h"

#include "platform/files/tree.h"

namespace backuptest {
namespace {

using sorlix::CAxBackuper;
using testsupport::exactTreeOf;

constexpr const char* kPlace = "C:\\Program Files\\Vendor";
constexpr const char* kAddon = "C:\\Program Files\\Vendor\\Addon";

void setTime(const fs::path& p, long seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 123456789}};
    ::utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

class BackupTrees : public BackupTest {
protected:
    fs::path host(const std::string& p) const { return prefix.host(p); }

    // A version folder as browsers keep them: a link to a sibling folder, a
    // relative link climbing out of the add-on, an absolute link to a host
    // file, a dangling link, and folders and files of several modes.
    void makeAddon(int files = 3) {
        prefix.writeFile(std::string(kPlace) + "\\shared.txt", "beside the add-on");
        prefix.writeFile(std::string(kAddon) + "\\lib\\core.js", "core");
        for (int i = 0; i < files; ++i)
            prefix.writeFile(std::string(kAddon) + "\\lib\\many\\f" + std::to_string(i) + ".txt",
                             std::string(static_cast<std::size_t>(i % 97), char('a' + i % 26)));
        prefix.writeFile(std::string(kAddon) + "\\private\\key.txt", "secret");
        prefix.writeFile(std::string(kAddon) + "\\run.sh", "#!/bin/sh\n");
        prefix.writeFile(std::string(kAddon) + "\\ro.txt", "read only");
        const fs::path a = host(kAddon);
        fs::create_directory_symlink("lib", a / "lib-link");
        fs::create_symlink("../shared.txt", a / "up-link");
        fs::create_symlink(outsideFile, a / "host-link");
        fs::create_symlink("nowhere", a / "dangling");
        fs::permissions(a / "private" / "key.txt", fs::perms(0600));
        fs::permissions(a / "run.sh", fs::perms(0775));
        fs::permissions(a / "ro.txt", fs::perms(0444));
        fs::permissions(a / "private", fs::perms(0700));
        setTime(a / "lib" / "core.js", 1000000000);
        setTime(a / "up-link", 1100000000);
        setTime(a / "private", 1200000000);
        setTime(a / "lib", 1300000000);
        setTime(a, 1400000000);
    }

    ComPtr<_CLittleConfig> record() {
        ComPtr<_CLittleConfig> r = newRecord();
        addFile(r.get(), kAddon);
        return r;
    }

    fs::path outside = fs::temp_directory_path() / ("sorlix-trees-" + std::to_string(::getpid()));
    std::string outsideFile = (outside / "host.txt").string();

    void SetUp() override {
        fs::create_directories(outside);
        testsupport::writeHost(outside / "host.txt", "the host's own file");
    }
    void TearDown() override { fs::remove_all(outside); }
};

TEST_F(BackupTrees, LinksModesAndTimesComeBackExactly) {
    makeAddon();
    const auto before = exactTreeOf(host(kAddon));
    const unsigned long flushes = winsys::flushCount();
    const std::string id = backUp(record().get());
    // The copies are on disk before the originals go.
    EXPECT_GT(winsys::flushCount(), flushes);
    // The store holds the links themselves, never what they point at.
    const fs::path stored = filesFolder(id);
    std::vector<fs::path> items{fs::directory_iterator(stored), fs::directory_iterator()};
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(exactTreeOf(items[0] / "Addon"), before);

    ASSERT_TRUE(CAxBackuper().RemoveByLittleConfig(record().get()));
    EXPECT_FALSE(fs::exists(host(kAddon)));
    EXPECT_EQ(testsupport::readHost(outside / "host.txt"), "the host's own file");
    EXPECT_EQ(testsupport::readHost(host(std::string(kPlace) + "\\shared.txt")), "beside the add-on");

    std::string cause;
    const unsigned long beforeRestore = winsys::flushCount();
    ASSERT_TRUE(backuper().Restore(id, cause)) << cause;
    EXPECT_GT(winsys::flushCount(), beforeRestore);
    EXPECT_EQ(exactTreeOf(host(kAddon)), before);
    EXPECT_TRUE(listed().empty());
    expectStoreEmpty();

    // Restoring onto the very same tree (links included) is accepted.
    const std::string again = backUp(record().get());
    ASSERT_TRUE(backuper().Restore(again, cause)) << cause;
    EXPECT_EQ(exactTreeOf(host(kAddon)), before);
}

TEST_F(BackupTrees, SpecialFilesAndUnholdableNamesAreRefusedBeforeAnythingGoes) {
    struct Row {
        const char* label;
        std::function<bool(const fs::path&)> make; // false: the host cannot make it here
        std::string named;                         // what the reason must name
    };
    const Row rows[] = {
        {"a pipe", [](const fs::path& a) { return ::mkfifo((a / "pipe").c_str(), 0644) == 0; }, "Addon\\pipe' is a pipe"},
        {"a socket",
         [](const fs::path& a) {
             const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un addr{};
             addr.sun_family = AF_UNIX;
             const std::string path = (a / "sock").string();
             if (path.size() >= sizeof addr.sun_path) return false;
             path.copy(addr.sun_path, path.size());
             const bool ok = ::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
             ::close(s);
             return ok;
         },
         "Addon\\sock' is a socket"},
        {"a device", [](const fs::path& a) { return ::mknod((a / "zero").c_str(), S_IFCHR | 0666, makedev(1, 5)) == 0; },
         "Addon\\zero' is a device"},
        {"two names differing only in case",
         [](const fs::path& a) {
             testsupport::writeHost(a / "Case.txt", "first");
             testsupport::writeHost(a / "CASE.txt", "second");
             return true;
         },
         "differ only in case"},
        {"a backslash in a name",
         [](const fs::path& a) {
             testsupport::writeHost(a / "odd\\name", "x");
             return true;
         },
         "Addon\\odd\\name' has a name that Windows cannot hold"},
        {"a colon in a name",
         [](const fs::path& a) {
             testsupport::writeHost(a / "sub" / "a:b", "x");
             return true;
         },
         "Addon\\sub\\a:b' has a name that Windows cannot hold"},
        {"a control character in a name",
         [](const fs::path& a) {
             testsupport::writeHost(a / "bell\a", "x");
             return true;
         },
         "has a name that Windows cannot hold"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        fs::remove_all(host(kAddon));
        prefix.writeFile(std::string(kAddon) + "\\keep.txt", "keep");
        fs::create_directories(host(kAddon) / "sub");
        if (!row.make(host(kAddon))) continue; // e.g. no device files without root
        const auto before = exactTreeOf(host(kAddon));
        std::string cause;
        EXPECT_FALSE(backuper().Backup("Addon", "", record().get(), cause));
        EXPECT_NE(cause.find(row.named), std::string::npos) << cause;
        EXPECT_TRUE(listed().empty());
        expectStoreEmpty();
        EXPECT_EQ(exactTreeOf(host(kAddon)), before);
    }
    // The case pair names both.
    fs::remove_all(host(kAddon));
    prefix.writeFile(std::string(kAddon) + "\\Case.txt", "first");
    testsupport::writeHost(host(kAddon) / "CASE.txt", "second");
    std::string cause;
    EXPECT_FALSE(backuper().Backup("Addon", "", record().get(), cause));
    EXPECT_NE(cause.find("Case.txt"), std::string::npos) << cause;
    EXPECT_NE(cause.find("CASE.txt"), std::string::npos) << cause;
}

TEST_F(BackupTrees, ARestoreCutShortRunsAgainToTheEnd) {
    makeAddon(40);
    const auto before = exactTreeOf(host(kAddon));
    const std::string id = backUp(record().get());
    ASSERT_TRUE(CAxBackuper().RemoveByLittleConfig(record().get()));
    // What a restore stopped half-way leaves: some entries back, one file
    // half written, a link made, a folder without its entries or mode.
    const fs::path a = host(kAddon);
    fs::create_directories(a / "lib" / "many");
    testsupport::writeHost(a / "lib" / "core.js", "co");
    testsupport::writeHost(a / "lib" / "many" / "f3.txt", "ddd");
    fs::create_directory_symlink("lib", a / "lib-link");
    fs::create_directories(a / "private");
    // ... and a staged file of the store.
    testsupport::writeHost(filesFolder(id) / ".sorlix-staged", std::string(40000, 'x'));

    std::string cause;
    ASSERT_TRUE(backuper().Restore(id, cause)) << cause;
    EXPECT_EQ(exactTreeOf(host(kAddon)), before);
    EXPECT_TRUE(listed().empty());
    expectStoreEmpty();
}

TEST_F(BackupTrees, ARestoreNeverWritesThroughALinkInThePlace) {
    makeAddon();
    const std::string id = backUp(record().get());
    ASSERT_TRUE(CAxBackuper().RemoveByLittleConfig(record().get()));
    // A folder link where the add-on's folder goes, pointing at a host folder.
    fs::create_directory_symlink(outside, host(kAddon));
    std::string cause;
    EXPECT_FALSE(backuper().Restore(id, cause));
    EXPECT_NE(cause.find("is a link"), std::string::npos) << cause;
    EXPECT_EQ(exactTreeOf(outside).size(), 2u) << "the host folder got entries"; // itself and host.txt
    EXPECT_EQ(listed().size(), 1u);
    fs::remove(host(kAddon));
    ASSERT_TRUE(backuper().Restore(id, cause)) << cause;
}

TEST_F(BackupTrees, LeftoversOfKilledRunsAreRemovedAndListedBackupsKept) {
    prefix.writeFile("C:\\Addon\\a.txt", "a");
    ComPtr<_CLittleConfig> r = newRecord();
    addFile(r.get(), "C:\\Addon\\a.txt");
    const std::string id = backUp(r.get());
    // A backup killed before its index was written, a stray file, and a
    // restore's staged file inside a listed backup.
    const std::string orphan = "{00000000-1111-2222-3333-444444444444}";
    testsupport::writeHost(prefix.host(kFilesFolder + "\\" + orphan + "\\item\\big.bin"), std::string(1 << 16, 'z'));
    fs::permissions(prefix.host(kFilesFolder + "\\" + orphan + "\\item"), fs::perms(0500));
    testsupport::writeHost(filesFolder(id) / ".sorlix-abc", "staged");
    std::string swept;
    EXPECT_TRUE(CAxBackuper::RemoveAllLeftovers(testsupport::ProgramObjects::kDataFolder, sorlix::kProductRegistryKey,
                                                swept))
        << swept;
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(prefix.host(kFilesFolder))) left.push_back(e.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{id});
    EXPECT_FALSE(fs::exists(filesFolder(id) / ".sorlix-abc"));
    EXPECT_EQ(listed().size(), 1u);
    std::string cause;
    EXPECT_TRUE(backuper().Restore(id, cause)) << cause;
}

TEST_F(BackupTrees, NoRecordReachesTheProgramsOwnData) {
    prefix.writeFile("C:\\Addon\\a.txt", "a");
    ComPtr<_CLittleConfig> r0 = newRecord();
    addFile(r0.get(), "C:\\Addon\\a.txt");
    backUp(r0.get());
    const std::string data = testsupport::ProgramObjects::kDataFolder;
    std::string onZ = "Z:" + prefix.host(data).string();
    for (char& c : onZ)
        if (c == '/') c = '\\';
    const auto storeBefore = exactTreeOf(prefix.host(data + "\\Backup"), false);
    for (const std::string& path : {data + "\\Backup\\IE", data, data + "\\Temp\\..\\Backup", onZ + "\\Backup",
                                    std::string("C:\\users\\tester\\AppData\\Local"), std::string("Z:\\..\\")}) {
        SCOPED_TRACE(path);
        ComPtr<_CLittleConfig> r = newRecord();
        addFile(r.get(), path);
        std::string cause;
        EXPECT_FALSE(backuper().Backup("Addon", "", r.get(), cause));
        EXPECT_TRUE(cause.find("program's own data") != std::string::npos ||
                    cause.find("outside the Windows prefix") != std::string::npos)
            << cause;
        // Nor does a removal of the same record (a second record is deleted unbacked).
        EXPECT_FALSE(CAxBackuper().RemoveByLittleConfig(r.get()));
    }
    EXPECT_EQ(exactTreeOf(prefix.host(data + "\\Backup"), false), storeBefore);
    EXPECT_EQ(listed().size(), 1u);
}

TEST_F(BackupTrees, ARemovalThatFailsPartWaySaysWhatStayed) {
    makeAddon();
    const testsupport::ImmutableFile stuck(host(std::string(kAddon) + "\\private\\key.txt"));
    if (!stuck) GTEST_SKIP() << "the host cannot make a file immutable here (needs root and a file system that can)";
    const std::string id = backUp(record().get());
    CAxBackuper remover;
    EXPECT_FALSE(remover.RemoveByLittleConfig(record().get()));
    ASSERT_EQ(remover.RemovalFailures().size(), 1u);
    EXPECT_NE(remover.RemovalFailures()[0].text.find("private\\key.txt"), std::string::npos)
        << remover.RemovalFailures()[0].text;
    EXPECT_EQ(listed().size(), 1u);
}

// Deeper than any host path and than a walk's stack of the caller could go.
TEST_F(BackupTrees, AFolderThousandsOfLevelsDeepGoesAndComesBack) {
    constexpr int kLevels = 5000;
    fs::create_directories(host(kAddon));
    int fd = ::open(host(kAddon).c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < kLevels && fd >= 0; ++level) {
        ::mkdirat(fd, "d", 0750);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    const int leaf = ::openat(fd, "leaf.txt", O_WRONLY | O_CREAT, 0640);
    ASSERT_EQ(::write(leaf, "leaf", 4), 4);
    ::close(leaf);
    ::close(fd);

    const std::string id = backUp(record().get());
    ASSERT_TRUE(CAxBackuper().RemoveByLittleConfig(record().get()));
    EXPECT_FALSE(fs::exists(host(kAddon)));
    std::string cause;
    ASSERT_TRUE(backuper().Restore(id, cause)) << cause;
    fd = ::open(host(kAddon).c_str(), O_RDONLY | O_DIRECTORY);
    int depth = 0;
    for (int next; (next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY)) >= 0; ++depth) {
        ::close(fd);
        fd = next;
    }
    struct stat st;
    EXPECT_EQ(::fstatat(fd, "leaf.txt", &st, 0), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    ::close(fd);
    EXPECT_EQ(depth, kLevels);
    expectStoreEmpty();
}

// Kills at random moments of a restore of an add-on with links, folders of
// several modes and 2,000 files; the same restore run again then finishes.
TEST_F(BackupTrees, RestoresKilledAtRandomMomentsFinishWhenRunAgain) {
    makeAddon(2000);
    const auto before = exactTreeOf(host(kAddon));
    const std::string id = backUp(record().get());
    ASSERT_TRUE(CAxBackuper().RemoveByLittleConfig(record().get()));

    // Kills after a random wait that grows from a millisecond to about a
    // second, so that they fall at every stage whatever this machine's speed.
    std::mt19937 random(20261211);
    double spanMicros = 1000;
    int killedMidway = 0;
    for (int k = 0; k < 20 && !listed().empty(); ++k) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::string cause;
            const bool ok = backuper().Restore(id, cause);
            ::_exit(ok ? 0 : 1);
        }
        ::usleep(static_cast<useconds_t>(std::uniform_real_distribution<double>(0, spanMicros)(random)));
        spanMicros *= 1.4;
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (WIFSIGNALED(status)) ++killedMidway;
        restartProgram();
    }
    EXPECT_GT(killedMidway, 0);
    // Run again while listed; one killed after its index went is done already.
    if (!listed().empty()) {
        std::string cause;
        ASSERT_TRUE(backuper().Restore(id, cause)) << cause;
    }
    std::string swept;
    EXPECT_TRUE(CAxBackuper::RemoveAllLeftovers(testsupport::ProgramObjects::kDataFolder, sorlix::kProductRegistryKey,
                                                swept))
        << swept;
    EXPECT_EQ(exactTreeOf(host(kAddon)), before);
    EXPECT_TRUE(listed().empty());
    expectStoreEmpty();
    for (const auto& e : fs::recursive_directory_iterator(host(kPlace)))
        EXPECT_EQ(e.path().filename().string().rfind(".sorlix-", 0), std::string::npos) << e.path();
}

} // namespace
} // namespace backuptest
