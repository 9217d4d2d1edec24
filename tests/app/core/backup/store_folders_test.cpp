// The store's folders are the program's own: a link or a file where one of
// them goes (a type's folder, Backup, the data folder) stops the engine
// with a reason naming it, and what the link points at is never touched.
// The sweep takes only what the store made: GUID folders no index names
// and a restore's staged files.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/app/core/backup/backup_fixture.h"
#include "tests/support/file_tree.h"

namespace backuptest {
namespace {

using sorlix::CAxBackuper;
using testsupport::exactTreeOf;

constexpr const char* kOrphan = "{00000000-1111-2222-3333-444444444444}";
const std::string kData = testsupport::ProgramObjects::kDataFolder;

class StoreFolders : public BackupTest {
protected:
    // A user's folder: files that no sweep may take, one of them named like
    // a backup id.
    void fillUserFolder(const fs::path& folder) {
        testsupport::writeHost(folder / "notes.txt", "my notes");
        testsupport::writeHost(folder / "photos" / "a.jpg", "jpeg");
        testsupport::writeHost(folder / "taxes" / "2025.pdf", "pdf");
        testsupport::writeHost(folder / kOrphan / "item" / "mine.txt", "mine");
    }
    bool sweep(std::string& cause) {
        return CAxBackuper::RemoveAllLeftovers(kData, sorlix::kProductRegistryKey, cause);
    }

    fs::path outside = fs::temp_directory_path() / ("sorlix-store-" + std::to_string(::getpid()));
    void TearDown() override { fs::remove_all(outside); }
};

TEST_F(StoreFolders, ALinkedStoreFolderStopsTheEngineAndItsTargetStaysUntouched) {
    prefix.writeFile("C:\\Addon\\a.txt", "the add-on");
    const struct Row {
        const char* label;
        std::string linked;    // the store's folder that is made a link
        bool toHost;           // to a host folder, else to one in the prefix
    } rows[] = {
        {"a type folder to a host folder", kFilesFolder, true},
        {"a type folder to a folder of the prefix", kFilesFolder, false},
        {"the Backup folder", kData + "\\Backup", true},
        {"the data folder", kData, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        fs::remove_all(prefix.host(kData));
        fs::remove_all(outside);
        const fs::path target = row.toHost ? outside : prefix.host("C:\\users\\tester\\Documents\\MyStuff");
        fs::remove_all(target);
        fillUserFolder(target);
        const fs::path link = prefix.host(row.linked);
        fs::create_directories(link.parent_path());
        fs::create_directory_symlink(target, link);
        const auto before = exactTreeOf(target);

        // What a delete does first: the engine is set up for the type.
        CAxBackuper b;
        std::string cause;
        EXPECT_FALSE(b.Init(kData, sorlix::kProductRegistryKey, kWord, cause));
        EXPECT_NE(cause.find("'" + row.linked + "' is a link"), std::string::npos) << cause;
        ComPtr<_CLittleConfig> r = newRecord();
        addFile(r.get(), "C:\\Addon\\a.txt");
        EXPECT_FALSE(b.Backup("Addon", "", r.get(), cause));
        // The start-up sweep says so too.
        EXPECT_FALSE(sweep(cause));
        EXPECT_NE(cause.find("'" + row.linked + "' is a link"), std::string::npos) << cause;

        EXPECT_EQ(exactTreeOf(target), before);
        EXPECT_EQ(testsupport::readHost(prefix.host("C:\\Addon\\a.txt")), "the add-on");
        fs::remove(link);
    }
}

TEST_F(StoreFolders, AFileWhereAStoreFolderGoesIsNamed) {
    fs::create_directories(prefix.host(kData));
    prefix.writeFile(kData + "\\Backup", "not a folder");
    CAxBackuper b;
    std::string cause;
    EXPECT_FALSE(b.Init(kData, sorlix::kProductRegistryKey, kWord, cause));
    EXPECT_NE(cause.find("'" + kData + "\\Backup' is not a folder."), std::string::npos) << cause;
    EXPECT_EQ(testsupport::readHost(prefix.host(kData + "\\Backup")), "not a folder");
}

TEST_F(StoreFolders, TheSweepTakesOnlyWhatTheStoreMade) {
    prefix.writeFile("C:\\Addon\\a.txt", "a");
    ComPtr<_CLittleConfig> r = newRecord();
    addFile(r.get(), "C:\\Addon\\a.txt");
    const std::string id = backUp(r.get());
    const fs::path store = prefix.host(kFilesFolder);
    // Made by the store and needed by nobody: an unindexed backup's copies.
    testsupport::writeHost(store / kOrphan / "item" / "copy.bin", "copy");
    testsupport::writeHost(filesFolder(id) / ".sorlix-0123456789", "staged");
    // Not the store's: a user's file, a file and a link named like backup
    // ids, a stray file in a listed backup.
    fs::create_directories(outside);
    testsupport::writeHost(outside / "keep.txt", "host");
    testsupport::writeHost(store / "notes.txt", "mine");
    testsupport::writeHost(store / "{AAAAAAAA-1111-2222-3333-444444444444}", "a file");
    fs::create_directory_symlink(outside, store / "{BBBBBBBB-1111-2222-3333-444444444444}");
    testsupport::writeHost(filesFolder(id) / "readme.txt", "mine too");
    const auto hostBefore = exactTreeOf(outside);

    std::string cause;
    EXPECT_TRUE(sweep(cause)) << cause;
    EXPECT_FALSE(fs::exists(store / kOrphan));
    EXPECT_FALSE(fs::exists(filesFolder(id) / ".sorlix-0123456789"));
    EXPECT_EQ(testsupport::readHost(store / "notes.txt"), "mine");
    EXPECT_EQ(testsupport::readHost(store / "{AAAAAAAA-1111-2222-3333-444444444444}"), "a file");
    EXPECT_TRUE(fs::is_symlink(store / "{BBBBBBBB-1111-2222-3333-444444444444}"));
    EXPECT_EQ(testsupport::readHost(filesFolder(id) / "readme.txt"), "mine too");
    EXPECT_EQ(exactTreeOf(outside), hostBefore);
    EXPECT_EQ(listed().size(), 1u);
}

} // namespace
} // namespace backuptest
