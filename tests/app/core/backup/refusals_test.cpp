// What the engine refuses: a backup whose copy would be empty or missing
// (so the delete flow removes nothing of the add-on), and any removal,
// restore or backup of a path that leads outside the prefix folder.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/app/core/backup/backup_fixture.h"

#include "platform/files/paths.h"


namespace backuptest {
namespace {

using namespace win;
using sorlix::CAxBackuper;

// "Z:\a\b" for the host path /a/b.
std::string onZ(const fs::path& host) {
    std::string s = "Z:" + host.string();
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

std::string contentOf(const fs::path& host) {
    std::ifstream in(host, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A folder of the host outside the prefix, with one file.
struct HostFolder {
    HostFolder() {
        std::string tmpl = (fs::temp_directory_path() / "sorlix-outside-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path = tmpl;
        std::ofstream(path / "host.txt") << "the host's own file";
    }
    ~HostFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string onZ() const { return backuptest::onZ(path); }
    fs::path path;
};

class BackupRefusals : public BackupTest {
protected:
    std::string outsideCause(const char* verb, const std::string& path) const {
        return std::string("Cannot ") + verb + " '" + path + "'. It leads outside the Windows prefix.";
    }
    void expectRefusedBackup(_CLittleConfig* r, const std::string& cause) {
        std::string got;
        EXPECT_FALSE(backuper().Backup("Addon", "", r, got));
        EXPECT_EQ(got, cause);
        EXPECT_TRUE(listed().empty());
        expectStoreEmpty();
        EXPECT_TRUE(win::isFsRedirectionActive());
    }
};

TEST_F(BackupRefusals, ABackupWhoseCopyWouldHoldNothingFails) {
    prefix.writeFile("C:\\Good\\a.txt", "good");
    struct Row {
        const char* label;
        std::string path, cause;
    };
    const Row rows[] = {
        {"a missing folder written with a trailing backslash", "C:\\Nowhere\\", "Cannot back up 'C:\\Nowhere\\'. It does not exist."},
        {"a file written with a trailing backslash", "C:\\Good\\a.txt\\", "Not a folder: 'C:\\Good\\a.txt\\'"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ComPtr<_CLittleConfig> r = newRecord();
        addFile(r.get(), "C:\\Good\\a.txt");
        addFile(r.get(), row.path);
        expectRefusedBackup(r.get(), row.cause);
        EXPECT_FALSE(fs::exists(prefix.host("C:\\Nowhere")));
        EXPECT_TRUE(fs::exists(prefix.host("C:\\Good\\a.txt")));
    }
}

TEST_F(BackupRefusals, ABackupOfEmptyFoldersFailsWhenTheirCopiesCannotBeMade) {
    prefix.makeDir("C:\\Addon\\Empty\\Inner");
    // After Init, the store's folder of this type is taken by a file: no copy can be made.
    CAxBackuper b = backuper();
    fs::remove_all(prefix.host(kFilesFolder));
    prefix.writeFile(kFilesFolder, "");
    ComPtr<_CLittleConfig> r = newRecord();
    addFile(r.get(), "C:\\Addon\\Empty");
    std::string cause;
    EXPECT_FALSE(b.Backup("Addon", "", r.get(), cause));
    EXPECT_EQ(cause.rfind("Cannot create folder '" + kFilesFolder + "\\{", 0), 0u) << cause;
    EXPECT_NE(cause.find("'" + kFilesFolder + "' is not a folder."), std::string::npos) << cause;
    EXPECT_EQ(subkeys(HKEY_CURRENT_USER, kIndexKey), std::vector<std::string>{});
    EXPECT_TRUE(fs::exists(prefix.host("C:\\Addon\\Empty\\Inner")));
}

TEST_F(BackupRefusals, NothingOutsideThePrefixIsBackedUp) {
    HostFolder outside;
    prefix.writeFile("C:\\Good\\a.txt", "good");
    fs::create_directory_symlink(outside.path, prefix.root() / "dosdevices" / "d:");
    fs::create_directory_symlink(outside.path, prefix.host("C:\\Good\\link"));
    const struct {
        const char* label;
        std::string path;
        bool x64;
    } rows[] = {
        {"a host folder on Z:", outside.onZ(), false},
        {"a host file on Z:", outside.onZ() + "\\host.txt", false},
        {"the host's root", "Z:\\", false},
        {"a drive whose link leaves the prefix", "D:\\host.txt", false},
        {"a link inside drive C: that leaves it", "C:\\Good\\link\\host.txt", false},
        {"a 64-bit item", outside.onZ() + "\\host.txt", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        ComPtr<_CLittleConfig> r = newRecord();
        addFile(r.get(), "C:\\Good\\a.txt");
        addFile(r.get(), row.path, row.x64);
        expectRefusedBackup(r.get(), outsideCause("back up", row.path));
    }
    EXPECT_TRUE(fs::exists(outside.path / "host.txt"));

    // Z: is only a way in: what it names inside the prefix is backed up.
    ComPtr<_CLittleConfig> r = newRecord();
    addFile(r.get(), onZ(prefix.host("C:\\Good\\a.txt")));
    backUp(r.get());
}

TEST_F(BackupRefusals, RemovalLeavesWhatLiesOutsideThePrefixAndLogsIt) {
    HostFolder outside;
    prefix.writeFile("C:\\Addon\\a.dll", "a");
    const std::string hostFile = outside.onZ() + "\\host.txt";
    ComPtr<_CLittleConfig> r = newRecord();
    addFile(r.get(), hostFile);
    addFile(r.get(), outside.onZ(), true);
    addFile(r.get(), "C:\\Addon");

    EXPECT_FALSE(CAxBackuper().RemoveByLittleConfig(r.get()));
    ASSERT_EQ(logLines().size(), 2u);
    EXPECT_EQ(logLines()[0].description, "Cannot delete '" + hostFile + "'. It leads outside the Windows prefix.");
    EXPECT_EQ(logLines()[1].description,
              "Cannot delete '" + outside.onZ() + "'. It leads outside the Windows prefix.");
    for (const auto& line : logLines()) {
        EXPECT_EQ(line.severity, halvenlib::sevInternalError);
        EXPECT_EQ(line.source, "CAxBackuper.RemoveByLittleConfig");
    }
    EXPECT_TRUE(fs::exists(outside.path / "host.txt"));
    EXPECT_FALSE(fs::exists(prefix.host("C:\\Addon")));
    EXPECT_TRUE(win::isFsRedirectionActive());
}

TEST_F(BackupRefusals, RestoreWritesNothingOutsideThePrefix) {
    HostFolder outside;
    prefix.writeFile("C:\\Addon\\a.dll", "a");
    ComPtr<_CLittleConfig> r = newRecord();
    addFile(r.get(), "C:\\Addon\\a.dll");
    const std::string id = backUp(r.get());
    ASSERT_TRUE(CAxBackuper().RemoveByLittleConfig(r.get()));

    // An index that sends the copy elsewhere: a backup made before the
    // check, or one changed since.
    writeValue(HKEY_CURRENT_USER, backupKey(id), text("FileOrFolder1RestoreTo", outside.onZ() + "\\new"));
    std::string cause;
    EXPECT_FALSE(backuper().Restore(id, cause));
    EXPECT_EQ(cause, outsideCause("restore", outside.onZ() + "\\new\\a.dll"));
    EXPECT_FALSE(fs::exists(outside.path / "new"));
    EXPECT_EQ(listed().size(), 1u);

    // A folder link on the way is refused; a file link where the file goes
    // back is replaced by the file, never written through.
    writeValue(HKEY_CURRENT_USER, backupKey(id), text("FileOrFolder1RestoreTo", "C:\\Addon"));
    fs::remove_all(prefix.host("C:\\Addon"));
    fs::create_directory_symlink(outside.path, prefix.host("C:\\Addon"));
    EXPECT_FALSE(backuper().Restore(id, cause));
    EXPECT_EQ(cause, outsideCause("restore", "C:\\Addon\\a.dll"));
    EXPECT_EQ(listed().size(), 1u);
    EXPECT_TRUE(win::isFsRedirectionActive());

    fs::remove(prefix.host("C:\\Addon"));
    prefix.makeDir("C:\\Addon");
    fs::create_symlink(outside.path / "host.txt", prefix.host("C:\\Addon\\a.dll"));
    EXPECT_TRUE(backuper().Restore(id, cause)) << cause;
    EXPECT_EQ(contentOf(outside.path / "host.txt"), "the host's own file");
    EXPECT_FALSE(fs::is_symlink(prefix.host("C:\\Addon\\a.dll")));
    EXPECT_EQ(contentOf(prefix.host("C:\\Addon\\a.dll")), "a");
    EXPECT_TRUE(listed().empty());
}

TEST_F(BackupRefusals, APathThatNamesNoPlaceIsAnInvalidItem) {
    prefix.writeFile("C:\\Good\\a.txt", "good");
    const struct {
        const char* label;
        std::string path;
    } rows[] = {
        {"an empty path", ""},
        {"a bare name", "a.txt"},
        {"a relative path", "Good\\a.txt"},
        {"a path from the root of no drive", "\\Good\\a.txt"},
        {"a drive that does not exist", "Q:\\Good\\a.txt"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        ComPtr<_CLittleConfig> r = newRecord();
        addFile(r.get(), "C:\\Good\\a.txt");
        addFile(r.get(), row.path);
        expectRefusedBackup(r.get(), "Invalid FileOrFolder: '" + row.path + "'");
    }
}

} // namespace
} // namespace backuptest
