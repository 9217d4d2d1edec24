// The store's bookkeeping: Init and the calls that need it, an empty
// backup, and the listing (only backups with "Name", per type, rows in the
// registry's order with the unused rows left empty).

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tests/app/core/backup/backup_fixture.h"

namespace backuptest {
namespace {

using namespace win;
using sorlix::CAxBackuper;

class BackupStore : public BackupTest {};

TEST_F(BackupStore, EveryCallButRemovalNeedsASuccessfulInit) {
    CAxBackuper b;
    std::string cause;
    EXPECT_FALSE(b.Init(testsupport::ProgramObjects::kDataFolder, sorlix::kProductRegistryKey, "   ", cause));
    EXPECT_EQ(cause, "BackupObjectName is empty");

    ComPtr<_CLittleConfig> r = newRecord();
    win::LONG count = 5;
    std::vector<CAxBackuper::BackupRow> rows;
    const struct {
        const char* label;
        std::function<bool(std::string&)> run;
    } calls[] = {
        {"Backup", [&](std::string& c) { return b.Backup("n", "d", r.get(), c); }},
        {"ListBackups", [&](std::string& c) { return b.ListBackups(count, rows, c); }},
        {"Restore", [&](std::string& c) { return b.Restore("{00000000-0000-0000-0000-000000000000}", c); }},
    };
    for (const auto& call : calls) {
        SCOPED_TRACE(call.label);
        cause = "sentinel";
        EXPECT_FALSE(call.run(cause));
        EXPECT_EQ(cause, "Not initialized");
    }
    EXPECT_EQ(count, 0);
    expectStoreEmpty();
}

TEST_F(BackupStore, InitMakesTheFilesFolderAndWritesNoRegistry) {
    backuper();
    EXPECT_TRUE(fs::is_directory(prefix.host(kFilesFolder)));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kIndexKey));
}

TEST_F(BackupStore, AnEmptyRecordGivesANamedBackupWithThreeZeroCounts) {
    ComPtr<_CLittleConfig> r = newRecord();
    const std::string id = backUp(r.get(), "Empty", "nothing in it");
    const auto tree = readTree(HKEY_CURRENT_USER, backupKey(id));
    ASSERT_TRUE(tree);
    ASSERT_EQ(tree->size(), 1u); // no item keys
    std::set<std::string> names;
    for (const RegValue& v : tree->at("")) names.insert(v.name);
    EXPECT_EQ(names, (std::set<std::string>{"Name", "Description", "FileOrFolders", "RegSubkeys", "RegValues"}));
    for (const char* count : {"FileOrFolders", "RegSubkeys", "RegValues"})
        EXPECT_EQ(readValue(HKEY_CURRENT_USER, backupKey(id), count), dword(count, 0)) << count;

    std::string cause;
    EXPECT_TRUE(backuper().Restore(id, cause)) << cause;
    expectStoreEmpty();
}

TEST_F(BackupStore, ListBackupsOffersOnlyNamedBackupsOfItsOwnType) {
    CAxBackuper none = backuper();
    win::LONG count = 7;
    std::vector<CAxBackuper::BackupRow> rows(2, {"kept", "kept", "kept"});
    std::string cause = "sentinel";
    EXPECT_TRUE(none.ListBackups(count, rows, cause));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(cause, "");
    EXPECT_EQ(rows.size(), 2u); // left as it was
    EXPECT_EQ(rows[1].id, "kept");

    ComPtr<_CLittleConfig> r = newRecord();
    const std::string first = backUp(r.get(), "First", "one");
    const std::string second = backUp(r.get(), "Second", "");
    writeValue(HKEY_CURRENT_USER, kIndexKey + "\\{00000000-0000-0000-0000-000000000000}", text("Description", "x"));
    std::string other;
    EXPECT_TRUE(backuper("FF").Backup("Other type", "", r.get(), other)) << other;

    EXPECT_TRUE(backuper().ListBackups(count, rows, cause));
    EXPECT_EQ(count, 2);
    ASSERT_EQ(rows.size(), 3u); // one row per index subkey
    std::set<std::string> ids{rows[0].id, rows[1].id};
    EXPECT_EQ(ids, (std::set<std::string>{first, second}));
    for (int i = 0; i < 2; ++i) EXPECT_EQ(rows[i].name, rows[i].id == first ? "First" : "Second");
    for (int i = 0; i < 2; ++i) EXPECT_EQ(rows[i].description, rows[i].id == first ? "one" : "");
    EXPECT_EQ(rows[2].id, "");
    EXPECT_EQ(rows[2].name, "");
    EXPECT_EQ(listed("FF").size(), 1u);
}

} // namespace
} // namespace backuptest
