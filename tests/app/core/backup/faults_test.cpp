// The backup store under faults: a backup whose copy fails leaves nothing
// behind, a restore cut short at any step keeps its backup for another try
// (in a new process too), ids that are not GUID texts and indexes with holes
// are refused, and a removal logs each step it could not do.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/app/core/backup/backup_fixture.h"
#include "tests/support/file_tree.h"

#include "platform/core/text.h"
#include "platform/com/object.h"
#include "platform/files/paths.h"
#include "platform/registry/store.h"

namespace backuptest {
namespace {

using namespace win;
using sorlix::CAxBackuper;

// One small add-on per use, named by `tag` so that rows do not meet.
struct SmallAddon {
    std::string folder, file, key, valueKey;

    SmallAddon(const testsupport::TestPrefix& prefix, const std::string& tag)
        : folder("C:\\" + tag + "\\Addon"),
          file("C:\\" + tag + "\\addon.ini"),
          key("Software\\" + tag + "\\Addon"),
          valueKey("Software\\" + tag) {
        prefix.writeFile(folder + "\\main.dll", "library");
        prefix.writeFile(folder + "\\ro.txt", "read only");
        prefix.setReadOnly(folder + "\\ro.txt");
        prefix.writeFile(file, "[x]");
        writeValue(HKEY_CURRENT_USER, key + "\\Sub", text("S", "sub value"));
        writeValue(HKEY_CURRENT_USER, key, dword("D", 7));
        writeValue(HKEY_CURRENT_USER, valueKey, text("Run", "addon.exe"));
    }
};

class BackupFaults : public BackupTest {
protected:
    struct State {
        FileTree files;
        std::optional<RegTree> keys;
        bool operator==(const State&) const = default;
    };
    State state(const SmallAddon& a) const {
        return {readFiles(prefix.host(a.folder.substr(0, a.folder.rfind('\\')))),
                readTree(HKEY_CURRENT_USER, a.valueKey)};
    }
    ComPtr<_CLittleConfig> recordOf(const SmallAddon& a) {
        ComPtr<_CLittleConfig> r = newRecord();
        addFile(r.get(), a.folder);
        addFile(r.get(), a.file);
        addSubkey(r.get(), halvenlib::HKEY_CURRENT_USER, a.key);
        addValue(r.get(), halvenlib::HKEY_CURRENT_USER, a.valueKey, "Run");
        return r;
    }
    // The backup is still whole in the store and offered for restore.
    void expectKept(const std::string& id) {
        EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, backupKey(id)));
        EXPECT_TRUE(fs::exists(filesFolder(id)));
        const auto rows = listed();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].id, id);
    }
};

TEST_F(BackupFaults, ABackupThatFailsLeavesNothingInTheStore) {
    prefix.writeFile("C:\\Good\\a.txt", "good");
    writeValue(HKEY_CURRENT_USER, "Software\\Good\\Key", text("V", "v"));
    writeValue(HKEY_CURRENT_USER, "Software\\Good", text("Run", "r"));
    struct Row {
        const char* label;
        std::function<void(_CLittleConfig*)> bad; // the failing item, after one good item of each kind
        std::string cause;                        // exact, or "" for any reason
        std::string causeStart = {};
    };
    const Row rows[] = {
        {"file missing", [](_CLittleConfig* r) { addFile(r, "C:\\Nowhere\\missing.txt"); }, ""},
        {"64-bit file missing", [](_CLittleConfig* r) { addFile(r, "C:\\windows\\system32\\missing64.dll", true); },
         ""},
        {"drive root", [](_CLittleConfig* r) { addFile(r, "C:\\"); }, "Invalid FileOrFolder: 'C:\\'"},
        {"subkey directly below its root",
         [](_CLittleConfig* r) { addSubkey(r, halvenlib::HKEY_CURRENT_USER, "Software"); },
         "Invalid Subkey: 'HKEY_CURRENT_USER\\Software'"},
        {"subkey missing", [](_CLittleConfig* r) { addSubkey(r, halvenlib::HKEY_LOCAL_MACHINE, "Software\\No\\Key"); },
         "", "OpenKey failed('HKEY_LOCAL_MACHINE\\Software\\No\\Key'"},
        {"value missing",
         [](_CLittleConfig* r) { addValue(r, halvenlib::HKEY_CURRENT_USER, "Software\\Good", "Missing"); }, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ComPtr<_CLittleConfig> r = newRecord();
        addFile(r.get(), "C:\\Good\\a.txt");
        addSubkey(r.get(), halvenlib::HKEY_CURRENT_USER, "Software\\Good\\Key");
        addValue(r.get(), halvenlib::HKEY_CURRENT_USER, "Software\\Good", "Run");
        row.bad(r.get());
        std::string cause;
        EXPECT_FALSE(backuper().Backup("Addon", "", r.get(), cause));
        if (!row.cause.empty()) EXPECT_EQ(cause, row.cause);
        else if (!row.causeStart.empty()) EXPECT_EQ(cause.rfind(row.causeStart, 0), 0u) << cause;
        else EXPECT_FALSE(cause.empty());
        EXPECT_TRUE(listed().empty());
        expectStoreEmpty();
        EXPECT_TRUE(win::isFsRedirectionActive());
        EXPECT_TRUE(fs::exists(prefix.host("C:\\Good\\a.txt")));
    }
}

TEST_F(BackupFaults, ARestoreCutShortKeepsItsBackupForAnotherTry) {
    struct Row {
        const char* label;
        std::function<void(const SmallAddon&)> block, unblock;
    };
    const Row rows[] = {
        {"a folder in the place of the second file",
         [&](const SmallAddon& a) { prefix.makeDir(a.file); },
         [&](const SmallAddon& a) { fs::remove_all(prefix.host(a.file)); }},
        {"registry writes fail",
         [](const SmallAddon&) { winsys::testing::failHiveWrites(winsys::testing::HiveWriteFault::BeforeRename); },
         [](const SmallAddon&) { winsys::testing::failHiveWrites(winsys::testing::HiveWriteFault::None); }},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const SmallAddon a(prefix, "Cut" + std::to_string(++n));
        const State before = state(a);
        ComPtr<_CLittleConfig> r = recordOf(a);
        const std::string id = backUp(r.get());
        EXPECT_TRUE(CAxBackuper().RemoveByLittleConfig(r.get()));

        row.block(a);
        std::string cause;
        EXPECT_FALSE(backuper().Restore(id, cause));
        EXPECT_FALSE(cause.empty());
        row.unblock(a);
        expectKept(id);
        EXPECT_TRUE(win::isFsRedirectionActive());

        // The next try comes from a new process, over what the first one put back.
        restartProgram();
        r = nullptr;
        EXPECT_TRUE(backuper().Restore(id, cause)) << cause;
        EXPECT_TRUE(state(a) == before);
        expectStoreEmpty();
    }
}

// A hive that cannot be written (the disk full, a write error, its file
// replaced by a folder): the backup fails with a reason, so the removal
// never starts, and nothing of the add-on or of a backup is left changed.
TEST_F(BackupFaults, ABackupOnAHiveThatCannotBeWrittenFailsAndKeepsTheAddon) {
    using winsys::testing::HiveWriteFault;
    const fs::path user = prefix.root() / "user.reg", aside = prefix.root() / "user.reg.aside";
    struct Row {
        const char* label;
        std::function<void()> block, unblock;
    };
    const Row rows[] = {
        {"disk full", [] { winsys::testing::failHiveWrites(HiveWriteFault::AfterBytes, 100, ENOSPC); },
         [] { winsys::testing::failHiveWrites(HiveWriteFault::None); }},
        {"write error", [] { winsys::testing::failHiveWrites(HiveWriteFault::BeforeRename, 0, EIO); },
         [] { winsys::testing::failHiveWrites(HiveWriteFault::None); }},
        {"user.reg replaced by a folder",
         [&] {
             fs::rename(user, aside);
             fs::create_directory(user);
         },
         [&] {
             fs::remove(user);
             fs::rename(aside, user);
         }},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const SmallAddon a(prefix, "Unwritable" + std::to_string(++n));
        const State before = state(a);
        ComPtr<_CLittleConfig> r = recordOf(a);
        row.block();
        std::string cause;
        const bool backedUp = backuper().Backup("Addon", "", r.get(), cause);
        row.unblock();
        EXPECT_FALSE(backedUp);
        EXPECT_FALSE(cause.empty());
        r = nullptr;
        restartProgram();
        EXPECT_TRUE(state(a) == before) << differences(state(a).keys, before.keys);
        EXPECT_TRUE(listed().empty());
        expectStoreEmpty();
    }
}

// The program killed (SIGKILL) right after a removal returns and right
// after a restore returns: the prefix, opened again from its files, holds
// what each call did; nothing is lost and no backup is listed twice.
TEST_F(BackupFaults, AProgramKilledRightAfterACallKeepsWhatTheCallDid) {
    const SmallAddon a(prefix, "Killed");
    const State before = state(a);
    // Runs `step` in a child process, which is killed as soon as it says
    // the step returned; true when the step succeeded.
    auto inKilledChild = [](const std::function<bool()>& step) {
        int done[2];
        if (::pipe(done) != 0) return false;
        const pid_t pid = ::fork();
        if (pid == 0) {
            const char ok = step() ? 'y' : 'n';
            (void)!::write(done[1], &ok, 1);
            for (;;) ::pause();
        }
        char c = 0;
        const bool read = ::read(done[0], &c, 1) == 1;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ::close(done[0]);
        ::close(done[1]);
        return read && c == 'y';
    };

    EXPECT_TRUE(inKilledChild([&] {
        std::string cause;
        ComPtr<_CLittleConfig> r = recordOf(a);
        return backuper().Backup("Addon", "", r.get(), cause) && CAxBackuper().RemoveByLittleConfig(r.get());
    }));
    restartProgram();
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, a.key));
    EXPECT_FALSE(readValue(HKEY_CURRENT_USER, a.valueKey, "Run"));
    EXPECT_FALSE(fs::exists(prefix.host(a.folder)));
    const auto rows = listed();
    ASSERT_EQ(rows.size(), 1u);
    const std::string id = rows[0].id;

    EXPECT_TRUE(inKilledChild([&] {
        std::string cause;
        return backuper().Restore(id, cause);
    }));
    restartProgram();
    EXPECT_TRUE(state(a) == before) << differences(state(a).keys, before.keys);
    EXPECT_TRUE(listed().empty());
    expectStoreEmpty();
}

TEST_F(BackupFaults, RestoreRefusesIdsThatAreNotBackupIds) {
    const SmallAddon a(prefix, "Ids");
    const std::string id = backUp(recordOf(a).get());
    std::string lower = id;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::string absent = "{00000000-0000-0000-0000-000000000000}";
    const struct {
        std::string id, cause;
    } rows[] = {
        {"", "Invalid backup id: ''"},
        {"{}", "Invalid backup id: '{}'"},
        {"..", "Invalid backup id: '..'"},
        {id.substr(1, 36), "Invalid backup id: '" + id.substr(1, 36) + "'"},
        {lower, "Invalid backup id: '" + lower + "'"},
        {id + "\\x", "Invalid backup id: '" + id + "\\x'"},
        {absent, "Backup '" + absent + "' not found"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("id '" + row.id + "'");
        std::string cause;
        EXPECT_FALSE(backuper().Restore(row.id, cause));
        EXPECT_EQ(cause, row.cause);
        expectKept(id);
    }
    std::string cause;
    EXPECT_TRUE(backuper().Restore(id, cause)) << cause;
}

// Every entry that the counts promise must be there; a backup with a hole
// is refused and kept, and restores once the hole is mended.
TEST_F(BackupFaults, RestoreRefusesAnIndexWithHolesAndKeepsTheBackup) {
    const SmallAddon a(prefix, "Holes");
    const State before = state(a);
    ComPtr<_CLittleConfig> r = recordOf(a);
    const std::string id = backUp(r.get());
    const std::string key = backupKey(id);
    EXPECT_TRUE(CAxBackuper().RemoveByLittleConfig(r.get()));
    auto idOf = [&](const std::string& name) {
        const auto v = readValue(HKEY_CURRENT_USER, key, name);
        const std::string s = v ? winsys::fromUtf16leBytes(v->data) : std::string();
        return s.substr(0, s.find('\0'));
    };
    const std::string fileItem = idOf("FileOrFolder1Id"), valueItem = idOf("RegValue1Id");
    auto cannotRead = [&](const std::string& name) { return "Cannot read '" + name + "' of backup '" + id + "'"; };

    for (const char* name : {"FileOrFolders", "FileOrFolder1Id", "FileOrFolder2RestoreTo",
                             "FileOrFolder1x64bitSystem32", "RegSubkeys", "RegSubkey1Id", "RegSubkey1Key",
                             "RegSubkey1Subkey", "RegValues", "RegValue1Id", "RegValue1Key", "RegValue1Subkey",
                             "Name"}) {
        SCOPED_TRACE(name);
        const auto saved = readValue(HKEY_CURRENT_USER, key, name);
        ASSERT_TRUE(saved);
        deleteValue(HKEY_CURRENT_USER, key, name);
        std::string cause;
        EXPECT_FALSE(backuper().Restore(id, cause));
        EXPECT_EQ(cause, std::string(name) == "Name" ? "Backup '" + id + "' is not complete" : cannotRead(name));
        EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, key));
        EXPECT_TRUE(fs::exists(filesFolder(id)));
        EXPECT_EQ(listed().size(), std::string(name) == "Name" ? 0u : 1u);
        writeValue(HKEY_CURRENT_USER, key, *saved);
    }
    {
        SCOPED_TRACE("item id that is not a GUID text");
        writeValue(HKEY_CURRENT_USER, key, text("FileOrFolder1Id", ""));
        std::string cause;
        EXPECT_FALSE(backuper().Restore(id, cause));
        EXPECT_EQ(cause, "Invalid item id '' in backup '" + id + "'");
        writeValue(HKEY_CURRENT_USER, key, text("FileOrFolder1Id", fileItem));
    }
    {
        SCOPED_TRACE("copy of a file item missing");
        const fs::path item = filesFolder(id) / fileItem, aside = prefix.host("C:\\aside");
        fs::rename(item, aside);
        fs::create_directory(item);
        std::string cause;
        EXPECT_FALSE(backuper().Restore(id, cause));
        EXPECT_EQ(cause, "The copy of item '" + fileItem + "' is missing from backup '" + id + "'");
        fs::remove(item);
        fs::rename(aside, item);
    }
    {
        SCOPED_TRACE("copy of a value item missing");
        const std::string itemKey = key + "\\" + valueItem;
        const auto saved = readValue(HKEY_CURRENT_USER, itemKey, "Run");
        ASSERT_TRUE(saved);
        deleteValue(HKEY_CURRENT_USER, itemKey, "Run");
        std::string cause;
        EXPECT_FALSE(backuper().Restore(id, cause));
        EXPECT_EQ(cause, "The copy of item '" + valueItem + "' is missing from backup '" + id + "'");
        writeValue(HKEY_CURRENT_USER, itemKey, *saved);
    }
    EXPECT_TRUE(logLines().empty());
    std::string cause;
    EXPECT_TRUE(backuper().Restore(id, cause)) << cause;
    EXPECT_TRUE(state(a) == before);
    expectStoreEmpty();
}

// Killed while writing a backup: without "Name" it is not offered, and a
// restore of its id is refused rather than half done.
TEST_F(BackupFaults, ABackupWithoutNameIsNeitherListedNorRestored) {
    const SmallAddon a(prefix, "Unnamed");
    const std::string id = backUp(recordOf(a).get());
    deleteValue(HKEY_CURRENT_USER, backupKey(id), "Name");
    restartProgram();
    EXPECT_TRUE(listed().empty());
    std::string cause;
    EXPECT_FALSE(backuper().Restore(id, cause));
    EXPECT_EQ(cause, "Backup '" + id + "' is not complete");
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, backupKey(id)));
}

// A removal record that hands out another record's entries and runs a hook
// when the backup reads the last value's name: after every file and subkey
// entry is written, before the backup is done.
class HookedRecord final : public winsys::com::DispatchObject<_CLittleConfig> {
public:
    HookedRecord(ComPtr<_CLittleConfig> inner, std::function<void()> hook)
        : inner_(std::move(inner)), hook_(std::move(hook)) {}
    HRESULT AddLittleConfig(_CLittleConfig** r) override { return inner_->AddLittleConfig(r); }
    HRESULT AddFileOrFolder(const std::string& p, VARIANT* x) override { return inner_->AddFileOrFolder(p, x); }
    HRESULT AddRegistrySubkey(LONG k, const std::string& s) override { return inner_->AddRegistrySubkey(k, s); }
    HRESULT AddRegistryValue(LONG k, const std::string& s, const std::string& n) override {
        return inner_->AddRegistryValue(k, s, n);
    }
    HRESULT get_FileOrFoldersCount(LONG* n) override { return inner_->get_FileOrFoldersCount(n); }
    HRESULT get_RegistrySubkeysCount(LONG* n) override { return inner_->get_RegistrySubkeysCount(n); }
    HRESULT get_RegistryValuesCount(LONG* n) override { return inner_->get_RegistryValuesCount(n); }
    HRESULT get_FileOrFolder(LONG i, std::string* p) override { return inner_->get_FileOrFolder(i, p); }
    HRESULT get_FileOrFolderx64bitSystem32(LONG i, VARIANT_BOOL* f) override {
        return inner_->get_FileOrFolderx64bitSystem32(i, f);
    }
    HRESULT get_RegistrySubkeyKey(LONG i, LONG* k) override { return inner_->get_RegistrySubkeyKey(i, k); }
    HRESULT get_RegistrySubkeySubkey(LONG i, std::string* s) override { return inner_->get_RegistrySubkeySubkey(i, s); }
    HRESULT get_RegistryValueKey(LONG i, LONG* k) override { return inner_->get_RegistryValueKey(i, k); }
    HRESULT get_RegistryValueSubkey(LONG i, std::string* s) override { return inner_->get_RegistryValueSubkey(i, s); }
    HRESULT get_RegistryValueValueName(LONG i, std::string* n) override {
        LONG count = 0;
        inner_->get_RegistryValuesCount(&count);
        if (i == count) hook_();
        return inner_->get_RegistryValueValueName(i, n);
    }

private:
    ComPtr<_CLittleConfig> inner_;
    std::function<void()> hook_;
};

// Killed in the middle of a backup: the next process sees the registry as
// the disk held it then, which holds nothing of the backup yet (its
// registry changes are written together when it ends), and finds no backup
// to offer.
TEST_F(BackupFaults, ABackupCutShortByAKillIsNeverListed) {
    const SmallAddon a(prefix, "Killed");
    const fs::path hive = prefix.root() / "user.reg", atTheKill = prefix.root() / "user.reg.killed";
    auto bytes = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    const std::string before = bytes(hive);
    auto record = winsys::com::create<HookedRecord>(recordOf(a), [&] { fs::copy_file(hive, atTheKill); });
    std::string cause;
    EXPECT_TRUE(backuper().Backup("Addon", "", record.get(), cause)) << cause;
    record = nullptr;
    ASSERT_TRUE(fs::exists(atTheKill));
    EXPECT_EQ(bytes(atTheKill), before);

    program.reset();
    fs::rename(atTheKill, hive);
    prefix.reopen();
    program.emplace();
    EXPECT_TRUE(subkeys(HKEY_CURRENT_USER, kIndexKey).empty());
    EXPECT_TRUE(listed().empty());
}

TEST_F(BackupFaults, RemovalLogsEachStepItCouldNotDoAndGoesOn) {
    const SmallAddon a(prefix, "Remove");
    writeValue(HKEY_CURRENT_USER, a.valueKey, text("Other", "o"));
    // A file the host will not let go of: the folder can never be emptied.
    prefix.makeDir("C:\\Remove\\Stuck");
    prefix.writeFile("C:\\Remove\\Stuck\\plain.txt", "p");
    const testsupport::ImmutableFile stuck(prefix.host("C:\\Remove\\Stuck\\plain.txt"));
    if (!stuck) GTEST_SKIP() << "the host cannot make a file immutable here (needs root and a file system that can)";
    ComPtr<_CLittleConfig> r = newRecord();
    addFile(r.get(), "C:\\Remove\\Stuck");
    addFile(r.get(), "C:\\Remove\\gone.txt"); // already gone: nothing to say
    addFile(r.get(), a.folder);
    addSubkey(r.get(), halvenlib::HKEY_CURRENT_USER, a.key);
    addValue(r.get(), halvenlib::HKEY_CURRENT_USER, a.valueKey, "Missing");
    addValue(r.get(), halvenlib::HKEY_CURRENT_USER, a.valueKey, "Run");

    EXPECT_FALSE(CAxBackuper().RemoveByLittleConfig(r.get()));
    ASSERT_EQ(logLines().size(), 2u);
    const std::string fileLine = "Cannot delete 'C:\\Remove\\Stuck'. 'C:\\Remove\\Stuck\\plain.txt': ";
    EXPECT_EQ(logLines()[0].description.substr(0, fileLine.size()), fileLine) << logLines()[0].description;
    EXPECT_EQ(logLines()[1].description, "Cannot delete 'HKEY_CURRENT_USER\\Software\\Remove' Missing");
    for (const auto& line : logLines()) {
        EXPECT_EQ(line.number, 0);
        EXPECT_EQ(line.severity, halvenlib::sevInternalError);
        EXPECT_EQ(line.source, "CAxBackuper.RemoveByLittleConfig");
    }
    EXPECT_FALSE(fs::exists(prefix.host(a.folder)));
    EXPECT_TRUE(fs::exists(prefix.host(a.file)));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, a.key));
    EXPECT_FALSE(readValue(HKEY_CURRENT_USER, a.valueKey, "Run"));
    EXPECT_TRUE(readValue(HKEY_CURRENT_USER, a.valueKey, "Other"));
}

TEST_F(BackupFaults, ARunTimeErrorEndsTheRemovalWithOneLogLine) {
    const SmallAddon a(prefix, "Trap");
    ComPtr<_CLittleConfig> r = newRecord();
    addFile(r.get(), a.file);
    addSubkey(r.get(), halvenlib::HKEY_CURRENT_USER, ""); // a root is never deleted: the call raises
    addValue(r.get(), halvenlib::HKEY_CURRENT_USER, a.valueKey, "Run");

    EXPECT_FALSE(CAxBackuper().RemoveByLittleConfig(r.get()));
    ASSERT_EQ(logLines().size(), 1u);
    EXPECT_EQ(logLines()[0].number, static_cast<win::LONG>(win::E_INVALIDARG));
    EXPECT_EQ(logLines()[0].severity, halvenlib::sevError);
    EXPECT_EQ(logLines()[0].source, "CAxBackuper.RemoveByLittleConfig");
    EXPECT_FALSE(fs::exists(prefix.host(a.file)));
    EXPECT_TRUE(readValue(HKEY_CURRENT_USER, a.valueKey, "Run")); // not reached
    EXPECT_TRUE(win::isFsRedirectionActive());
}

} // namespace
} // namespace backuptest
