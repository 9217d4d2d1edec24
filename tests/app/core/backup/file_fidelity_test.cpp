// What a delete takes and what a restore brings back, beyond names and
// bytes: a file changed between its backup and the removal stays as it is
// now; extended attributes of the user name space come back, or a store
// that cannot keep them fails the backup; a sparse file stays sparse.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

#include "tests/app/core/backup/backup_fixture.h"
#include "tests/support/file_tree.h"

namespace backuptest {
namespace {

using sorlix::CAxBackuper;

constexpr const char* kAddon = "C:\\Program Files\\Vendor\\Addon";

// The user.* attributes of a host entry, by name.
std::map<std::string, std::string> userAttributes(const fs::path& p) {
    std::map<std::string, std::string> out;
    std::vector<char> names(65536);
    const ssize_t n = ::llistxattr(p.c_str(), names.data(), names.size());
    for (ssize_t at = 0; at < n;) {
        const std::string name(names.data() + at);
        at += static_cast<ssize_t>(name.size()) + 1;
        if (name.rfind("user.", 0) != 0) continue;
        std::string value(65536, '\0');
        const ssize_t got = ::lgetxattr(p.c_str(), name.c_str(), value.data(), value.size());
        value.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
        out[name] = value;
    }
    return out;
}

bool setAttribute(const fs::path& p, const std::string& name, const std::string& value) {
    return ::setxattr(p.c_str(), name.c_str(), value.data(), value.size(), 0) == 0;
}

class FileFidelity : public BackupTest {
protected:
    fs::path host(const std::string& p) const { return prefix.host(p); }
    ComPtr<_CLittleConfig> record() {
        ComPtr<_CLittleConfig> r = newRecord();
        addFile(r.get(), kAddon);
        return r;
    }
};

TEST_F(FileFidelity, AFileChangedAfterItsBackupIsNotDeleted) {
    const std::string kChanged = "It changed after its backup was made, so it was kept as it is now; Restore would "
                                 "put back the backed-up version.";
    const std::string kNew = "It was made after the backup, so it was kept.";
    const struct Row {
        const char* label;
        std::function<void(const fs::path& addon)> change;
        std::vector<std::string> kept; // below the add-on, as named in the failures
        std::string why;
    } rows[] = {
        {"rewritten in place, same size",
         [](const fs::path& a) {
             testsupport::writeHost(a / "prefs.js", "NEWER");
             const timespec later[2] = {{0, UTIME_OMIT}, {2000000000, 0}};
             ::utimensat(AT_FDCWD, (a / "prefs.js").c_str(), later, 0);
         },
         {"prefs.js"}, kChanged},
        {"rewritten longer, time set back",
         [](const fs::path& a) {
             struct stat st;
             ::stat((a / "prefs.js").c_str(), &st);
             testsupport::writeHost(a / "prefs.js", "newer and longer");
             const timespec same[2] = {st.st_atim, st.st_mtim};
             ::utimensat(AT_FDCWD, (a / "prefs.js").c_str(), same, 0);
         },
         {"prefs.js"}, kChanged},
        {"replaced by a new file of the same bytes",
         [](const fs::path& a) {
             testsupport::writeHost(a / "prefs.js.new", "older");
             fs::rename(a / "prefs.js.new", a / "prefs.js");
         },
         {"prefs.js"}, kChanged},
        {"a file made since, in a sub-folder",
         [](const fs::path& a) { testsupport::writeHost(a / "sub" / "later.txt", "later"); }, {"sub\\later.txt"},
         kNew},
        {"a folder made since", [](const fs::path& a) { fs::create_directories(a / "cache"); }, {"cache"}, kNew},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        fs::remove_all(host(kAddon));
        prefix.writeFile(std::string(kAddon) + "\\prefs.js", "older");
        prefix.writeFile(std::string(kAddon) + "\\sub\\c.txt", "c");
        prefix.writeFile(std::string(kAddon) + "\\a.txt", "a");
        const timespec earlier[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
        ::utimensat(AT_FDCWD, host(std::string(kAddon) + "\\prefs.js").c_str(), earlier, 0);

        // The delete flow: one engine backs up, then removes.
        CAxBackuper b = backuper();
        std::string cause;
        ASSERT_TRUE(b.Backup("Addon", "", record().get(), cause)) << cause;
        const std::size_t backups = listed().size();
        row.change(host(kAddon));
        const auto keptBefore = testsupport::exactTreeOf(host(std::string(kAddon) + "\\" + row.kept[0]));
        EXPECT_FALSE(b.RemoveByLittleConfig(record().get()));

        const auto& named = b.RemovalFailures();
        ASSERT_EQ(named.size(), row.kept.size());
        for (std::size_t i = 0; i < named.size(); ++i) {
            EXPECT_EQ(named[i].text, "Cannot delete '" + std::string(kAddon) + "\\" + row.kept[i] + "'. " + row.why);
            // The backup holds a copy of a changed file, none of a new one.
            EXPECT_EQ(named[i].madeSinceBackup, row.why == kNew);
        }
        // What was backed up and is unchanged went; what changed stays as it is now.
        EXPECT_FALSE(fs::exists(host(std::string(kAddon) + "\\a.txt")));
        EXPECT_FALSE(fs::exists(host(std::string(kAddon) + "\\sub\\c.txt")));
        // Kept with its newest content.
        EXPECT_EQ(testsupport::exactTreeOf(host(std::string(kAddon) + "\\" + row.kept[0])), keptBefore);
        EXPECT_EQ(listed().size(), backups);
    }
}

TEST_F(FileFidelity, AnUnchangedAddonIsRemovedWhole) {
    prefix.writeFile(std::string(kAddon) + "\\sub\\c.txt", "c");
    fs::create_directory_symlink("sub", host(kAddon) / "link");
    CAxBackuper b = backuper();
    std::string cause;
    ASSERT_TRUE(b.Backup("Addon", "", record().get(), cause)) << cause;
    EXPECT_TRUE(b.RemoveByLittleConfig(record().get()));
    EXPECT_TRUE(b.RemovalFailures().empty());
    EXPECT_FALSE(fs::exists(host(kAddon)));
}

TEST_F(FileFidelity, UserAttributesComeBackAsTheyWere) {
    prefix.writeFile(std::string(kAddon) + "\\sub\\c.txt", "c");
    prefix.writeFile(std::string(kAddon) + "\\ro.txt", "read only");
    const fs::path a = host(kAddon);
    if (!setAttribute(a / "sub" / "c.txt", "user.DOSATTRIB", "0x21"))
        GTEST_SKIP() << "the file system of " << a << " keeps no user.* extended attributes (" << std::strerror(errno)
                     << ")";
    setAttribute(a / "sub" / "c.txt", "user.binary", std::string("\0\x01\xff", 3));
    setAttribute(a / "sub", "user.DOSATTRIB", "0x10");
    setAttribute(a, "user.folder", "top");
    setAttribute(a / "ro.txt", "user.DOSATTRIB", "0x1");
    fs::permissions(a / "ro.txt", fs::perms(0444));
    auto attributesBelow = [&] {
        std::map<std::string, std::map<std::string, std::string>> all;
        all[""] = userAttributes(a);
        for (const auto& e : fs::recursive_directory_iterator(a)) all[fs::relative(e.path(), a)] = userAttributes(e.path());
        return all;
    };
    const auto before = attributesBelow();
    const auto files = testsupport::exactTreeOf(a);

    const std::string id = backUp(record().get());
    ASSERT_TRUE(CAxBackuper().RemoveByLittleConfig(record().get()));
    std::string cause;
    ASSERT_TRUE(backuper().Restore(id, cause)) << cause;
    EXPECT_EQ(attributesBelow(), before);
    EXPECT_EQ(testsupport::exactTreeOf(a), files);

    // Restored over what is there: attributes taken away or added since are
    // put back as the backup has them.
    const std::string again = backUp(record().get());
    ::removexattr((a / "sub" / "c.txt").c_str(), "user.binary");
    setAttribute(a / "sub", "user.added", "later");
    ASSERT_TRUE(backuper().Restore(again, cause)) << cause;
    EXPECT_EQ(attributesBelow(), before);
}

// In a mount name space of its own, a child puts a file system without
// user attributes where the type's store folder is and backs up there.
// Its exit code: 0 refused as it must be, 1 backed up, 2 another reason,
// 77 no such file system can be mounted here.
int backUpIntoAStoreWithoutAttributes(const fs::path& storeFolder, CAxBackuper& b, _CLittleConfig* r) {
    if (::geteuid() != 0) {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return 77;
        auto write = [](const char* file, const std::string& text) {
            const int fd = ::open(file, O_WRONLY);
            const bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
            if (fd >= 0) ::close(fd);
            return ok;
        };
        write("/proc/self/setgroups", "deny");
        if (!write("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !write("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return 77;
    } else if (::unshare(CLONE_NEWNS) != 0) {
        return 77;
    }
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return 77;
    if (::mount("none", storeFolder.c_str(), "ramfs", 0, nullptr) != 0) return 77;
    std::string cause;
    if (b.Backup("Addon", "", r, cause)) return 1;
    return cause.find("has extended attributes that '") != std::string::npos &&
                   cause.find("cannot keep") != std::string::npos
               ? 0
               : 2;
}

TEST_F(FileFidelity, ABackupThatCannotKeepUserAttributesSaysSoAndKeepsTheAddon) {
    prefix.writeFile(std::string(kAddon) + "\\c.txt", "c");
    if (!setAttribute(host(kAddon) / "c.txt", "user.DOSATTRIB", "0x20"))
        GTEST_SKIP() << "the file system of " << host(kAddon) << " keeps no user.* extended attributes";
    const auto before = testsupport::exactTreeOf(host(kAddon));
    CAxBackuper b = backuper();
    ComPtr<_CLittleConfig> r = record();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(backUpIntoAStoreWithoutAttributes(prefix.host(kFilesFolder), b, r.get()));
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no file system without user attributes can be mounted here (needs root or user name spaces)";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: it backed up; 2: it failed for another reason";
    EXPECT_EQ(testsupport::exactTreeOf(host(kAddon)), before);
    EXPECT_TRUE(listed().empty());
}

TEST_F(FileFidelity, ASparseFileStaysSparse) {
    constexpr off_t kSize = 200 * 1024 * 1024;
    constexpr off_t kOneMB = 1024 * 1024;
    prefix.makeDir(kAddon);
    const fs::path file = host(kAddon) / "big.bin";
    {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "head", 4, 0), 4);
        ASSERT_EQ(::pwrite(fd, "middle", 6, kSize / 2), 6);
        ASSERT_EQ(::pwrite(fd, "tail", 4, kSize - 4), 4);
        ::close(fd);
    }
    auto used = [](const fs::path& p) {
        struct stat st;
        return ::stat(p.c_str(), &st) == 0 ? static_cast<off_t>(st.st_blocks) * 512 : -1;
    };
    if (used(file) >= kOneMB) GTEST_SKIP() << "the file system of " << file << " keeps no holes";
    auto at = [](const fs::path& p, off_t where, std::size_t n) {
        std::string s(n, '\0');
        const int fd = ::open(p.c_str(), O_RDONLY);
        const ssize_t got = ::pread(fd, s.data(), n, where);
        ::close(fd);
        s.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
        return s;
    };

    const std::string id = backUp(record().get());
    for (const auto& e : fs::recursive_directory_iterator(filesFolder(id)))
        if (e.is_regular_file()) {
            EXPECT_EQ(e.file_size(), static_cast<std::uintmax_t>(kSize));
            EXPECT_LT(used(e.path()), kOneMB) << "the copy in the store";
        }
    ASSERT_TRUE(CAxBackuper().RemoveByLittleConfig(record().get()));
    std::string cause;
    ASSERT_TRUE(backuper().Restore(id, cause)) << cause;
    EXPECT_EQ(fs::file_size(file), static_cast<std::uintmax_t>(kSize));
    EXPECT_LT(used(file), kOneMB);
    EXPECT_EQ(at(file, 0, 4), "head");
    EXPECT_EQ(at(file, kSize / 2, 6), "middle");
    EXPECT_EQ(at(file, kSize / 2 - 6, 6), std::string(6, '\0'));
    EXPECT_EQ(at(file, kSize - 4, 4), "tail");
}

} // namespace
} // namespace backuptest
