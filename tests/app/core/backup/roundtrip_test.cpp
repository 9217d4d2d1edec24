// The backup, removal and restore of a whole add-on: registry trees in both
// views with every value type, single values (a default value among them),
// a folder with a read-only file and paths deeper than 260 characters, a
// file in the 64-bit system folder and a file directly below C:\. After the
// restore every name, type and byte is back, the backup is gone from the
// store, and a program killed before or during the removal loses nothing.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/core/backup/backup_fixture.h"

#include "platform/core/text.h"
#include "platform/files/paths.h"

namespace backuptest {
namespace {

using namespace win;
using sorlix::CAxBackuper;

constexpr const char* kAddonKey = "Software\\Vendor\\Addon";        // 32-bit view of HKLM
constexpr const char* kAddon64Key = "Software\\Vendor64\\Addon";    // 64-bit view of HKLM
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kSettingsKey = "Software\\Vendor\\Settings";
constexpr const char* kAddonFolder = "C:\\Program Files\\Vendor\\Addon";
constexpr const char* kIniFile = "C:\\users\\tester\\AppData\\Roaming\\Vendor\\addon.ini";
constexpr const char* kSystemFile = "C:\\windows\\system32\\VendorDir\\vendor64.dll";
constexpr const char* kRootFile = "C:\\vendor.txt";

std::string deepPath() {
    std::string p = std::string(kAddonFolder) + "\\deep";
    for (int i = 0; i < 6; ++i) p += "\\" + std::string(50, char('a' + i));
    return p + "\\leaf.txt";
}

// What the add-on leaves on the machine, as the tests compare it.
struct MachineState {
    std::optional<RegTree> vendor32, vendor64, run, settings;
    FileTree addonFolder, iniFolder, systemFolder, rootFile;
    bool operator==(const MachineState&) const = default;
};

class BackupRoundTrip : public BackupTest {
protected:
    BackupRoundTrip() {
        std::vector<BYTE> big(100 * 1024);
        for (std::size_t i = 0; i < big.size(); ++i) big[i] = BYTE(i * 7 + i / 256);
        std::vector<BYTE> multi = winsys::toUtf16leBytes("one", true);
        for (const char* s : {"two", ""}) {
            const auto b = winsys::toUtf16leBytes(s, true);
            multi.insert(multi.end(), b.begin(), b.end());
        }
        writeValue(HKEY_LOCAL_MACHINE, kAddonKey, text("", "the default"));
        writeValue(HKEY_LOCAL_MACHINE, kAddonKey, text("Sz", "hello"));
        writeValue(HKEY_LOCAL_MACHINE, kAddonKey, text("Expand", "%ProgramFiles%\\Vendor", REG_EXPAND_SZ));
        writeValue(HKEY_LOCAL_MACHINE, kAddonKey, {"Multi", REG_MULTI_SZ, multi});
        writeValue(HKEY_LOCAL_MACHINE, kAddonKey, dword("Dword", 0xDEADBEEF));
        writeValue(HKEY_LOCAL_MACHINE, std::string(kAddonKey) + "\\Nested\\Deeper", {"Big", REG_BINARY, big});
        writeValue(HKEY_LOCAL_MACHINE, std::string(kAddonKey) + "\\Nested", text("", "nested default"));
        writeValue(HKEY_LOCAL_MACHINE, std::string(kAddonKey) + "\\Nested\\Empty", {"Empty", REG_BINARY, {}});
        writeValue(HKEY_LOCAL_MACHINE, "Software\\Vendor\\Other", text("Stays", "yes"));
        writeValue(HKEY_LOCAL_MACHINE, kAddon64Key, text("Path", "C:\\windows\\system32\\VendorDir"),
                   KEY_WOW64_64KEY);
        writeValue(HKEY_CURRENT_USER, kRunKey, text("VendorAddon", "addon.exe /run"));
        writeValue(HKEY_CURRENT_USER, kRunKey, text("Other", "other.exe"));
        writeValue(HKEY_CURRENT_USER, kSettingsKey, text("", "settings default"));
        writeValue(HKEY_CURRENT_USER, kSettingsKey, text("Keep", "kept"));

        prefix.writeFile(std::string(kAddonFolder) + "\\addon.dll", std::string("MZ\0\1\2\xff binary", 14));
        prefix.writeFile(std::string(kAddonFolder) + "\\sub\\readonly.txt", "read only");
        prefix.setReadOnly(std::string(kAddonFolder) + "\\sub\\readonly.txt");
        prefix.makeDir(std::string(kAddonFolder) + "\\empty folder");
        prefix.writeFile(deepPath(), "deep leaf");
        prefix.writeFile(kIniFile, "[addon]\r\nx=1\r\n");
        prefix.writeFile(kSystemFile, "64-bit library");
        prefix.writeFile(kRootFile, "at the root");

        record = newRecord();
        addFile(record.get(), kAddonFolder);
        addFile(record.get(), kIniFile);
        addFile(record.get(), kSystemFile, true);
        addFile(record.get(), kRootFile);
        addSubkey(record.get(), halvenlib::HKEY_LOCAL_MACHINE, kAddonKey);
        addSubkey(record.get(), halvenlib::HKEY_LOCAL_MACHINE_64BIT, kAddon64Key);
        addValue(record.get(), halvenlib::HKEY_CURRENT_USER, kRunKey, "VendorAddon");
        addValue(record.get(), halvenlib::HKEY_CURRENT_USER, kSettingsKey, "");
    }

    MachineState state() const {
        return {readTree(HKEY_LOCAL_MACHINE, "Software\\Vendor"),
                readTree(HKEY_LOCAL_MACHINE, "Software\\Vendor64", KEY_WOW64_64KEY),
                readTree(HKEY_CURRENT_USER, kRunKey),
                readTree(HKEY_CURRENT_USER, kSettingsKey),
                readFiles(prefix.host("C:\\Program Files\\Vendor")),
                readFiles(prefix.host("C:\\users\\tester\\AppData\\Roaming\\Vendor")),
                readFiles(prefix.host("C:\\windows\\system32\\VendorDir")),
                readFiles(prefix.host(kRootFile))};
    }

    // Nothing of the add-on is left, and its neighbours are untouched.
    void expectRemoved() const {
        EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kAddonKey));
        EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, "Software\\Vendor\\Other"));
        EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kAddon64Key, KEY_WOW64_64KEY));
        EXPECT_FALSE(readValue(HKEY_CURRENT_USER, kRunKey, "VendorAddon"));
        EXPECT_TRUE(readValue(HKEY_CURRENT_USER, kRunKey, "Other"));
        EXPECT_FALSE(readValue(HKEY_CURRENT_USER, kSettingsKey, ""));
        EXPECT_TRUE(readValue(HKEY_CURRENT_USER, kSettingsKey, "Keep"));
        for (const char* p : {kAddonFolder, kIniFile, kSystemFile, kRootFile})
            EXPECT_FALSE(fs::exists(prefix.host(p))) << p;
    }

    void expectRestored(const MachineState& before, const std::string& id) {
        const MachineState now = state();
        EXPECT_EQ(differences(before.vendor32, now.vendor32), "") << "HKLM\\Software\\Vendor";
        EXPECT_EQ(differences(before.vendor64, now.vendor64), "") << "HKLM\\Software\\Vendor64, 64-bit view";
        EXPECT_EQ(differences(before.run, now.run), "") << kRunKey;
        EXPECT_EQ(differences(before.settings, now.settings), "") << kSettingsKey;
        EXPECT_EQ(differences(before.addonFolder, now.addonFolder), "") << kAddonFolder;
        EXPECT_EQ(differences(before.iniFolder, now.iniFolder), "") << kIniFile;
        EXPECT_EQ(differences(before.systemFolder, now.systemFolder), "") << kSystemFile;
        EXPECT_EQ(differences(before.rootFile, now.rootFile), "") << kRootFile;
        EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, backupKey(id)));
        EXPECT_FALSE(fs::exists(filesFolder(id)));
        EXPECT_TRUE(listed().empty());
        EXPECT_TRUE(win::isFsRedirectionActive());
    }

    ComPtr<_CLittleConfig> record;
};

TEST_F(BackupRoundTrip, BackupRemoveRestoreBringsEveryByteBack) {
    ASSERT_GT(deepPath().size(), 260u);
    const MachineState before = state();
    ASSERT_TRUE(before.vendor32 && before.vendor64 && before.run && before.settings);

    const std::string id = backUp(record.get(), "  Vendor Addon  ", " as given ");
    const auto rows = listed();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, "Vendor Addon");
    EXPECT_EQ(rows[0].description, " as given ");
    EXPECT_TRUE(win::isFsRedirectionActive());

    EXPECT_TRUE(CAxBackuper().RemoveByLittleConfig(record.get()));
    EXPECT_TRUE(logLines().empty());
    EXPECT_TRUE(win::isFsRedirectionActive());
    expectRemoved();
    // The restore must make the missing folder in the 64-bit view itself.
    fs::remove_all(prefix.host("C:\\windows\\system32\\VendorDir"));

    std::string cause = "sentinel";
    EXPECT_TRUE(backuper().Restore(id, cause)) << cause;
    EXPECT_EQ(cause, "");
    expectRestored(before, id);
    EXPECT_FALSE(fs::exists(prefix.host("C:\\windows\\syswow64\\VendorDir")));
    EXPECT_TRUE(logLines().empty());
}

// Stored backups are read back by later versions: the index keeps its
// value names, types and places exactly.
TEST_F(BackupRoundTrip, IndexAndCopiesKeepTheStoredLayout) {
    const std::string id = backUp(record.get(), "Vendor Addon", "about it");
    const std::string key = backupKey(id);
    auto textOf = [&](const std::string& name) {
        auto v = readValue(HKEY_CURRENT_USER, key, name);
        EXPECT_TRUE(v && v->type == REG_SZ) << name;
        const std::string s = v ? winsys::fromUtf16leBytes(v->data) : std::string();
        return s.substr(0, s.find('\0'));
    };
    auto numberOf = [&](const std::string& name) {
        auto v = readValue(HKEY_CURRENT_USER, key, name);
        EXPECT_TRUE(v && v->type == REG_DWORD && v->data.size() == 4) << name;
        return v && v->data.size() == 4 ? std::uint32_t(v->data[0] | v->data[1] << 8 | v->data[2] << 16 |
                                                        std::uint32_t(v->data[3]) << 24)
                                        : 0xBADu;
    };
    EXPECT_EQ(textOf("Name"), "Vendor Addon");
    EXPECT_EQ(textOf("Description"), "about it");
    EXPECT_EQ(numberOf("FileOrFolders"), 4u);
    EXPECT_EQ(textOf("FileOrFolder1RestoreTo"), "C:\\Program Files\\Vendor");
    EXPECT_EQ(textOf("FileOrFolder3RestoreTo"), "C:\\windows\\system32\\VendorDir");
    EXPECT_EQ(textOf("FileOrFolder4RestoreTo"), "C:");
    EXPECT_EQ(numberOf("FileOrFolder1x64bitSystem32"), 0u);
    EXPECT_EQ(numberOf("FileOrFolder3x64bitSystem32"), 0xFFFFFFFFu);
    EXPECT_EQ(numberOf("RegSubkeys"), 2u);
    EXPECT_EQ(numberOf("RegSubkey1Key"), 0x80000002u);
    EXPECT_EQ(numberOf("RegSubkey2Key"), 1u);
    EXPECT_EQ(textOf("RegSubkey1Subkey"), "Software\\Vendor");
    EXPECT_EQ(numberOf("RegValues"), 2u);
    EXPECT_EQ(numberOf("RegValue1Key"), 0x80000001u);
    EXPECT_EQ(textOf("RegValue1Subkey"), kRunKey);

    const std::string fileItem = textOf("FileOrFolder1Id"), systemItem = textOf("FileOrFolder3Id");
    EXPECT_TRUE(fs::exists(filesFolder(id) / fileItem / "Addon" / "sub" / "readonly.txt"));
    EXPECT_TRUE(fs::exists(filesFolder(id) / systemItem / "vendor64.dll"));
    EXPECT_EQ(subkeys(HKEY_CURRENT_USER, key + "\\" + textOf("RegSubkey1Id")), std::vector<std::string>{"Addon"});
    EXPECT_TRUE(readTree(HKEY_CURRENT_USER, key + "\\" + textOf("RegSubkey1Id") + "\\Addon") ==
                readTree(HKEY_LOCAL_MACHINE, kAddonKey));
    EXPECT_EQ(readValue(HKEY_CURRENT_USER, key + "\\" + textOf("RegValue1Id"), "VendorAddon"),
              readValue(HKEY_CURRENT_USER, kRunKey, "VendorAddon"));
    EXPECT_EQ(readValue(HKEY_CURRENT_USER, key + "\\" + textOf("RegValue2Id"), ""),
              readValue(HKEY_CURRENT_USER, kSettingsKey, ""));
}

// Killed after the backup, and again half-way through the removal: each
// new process lists the backup and the last one restores all of it.
TEST_F(BackupRoundTrip, AProgramKilledBeforeOrDuringTheRemovalLosesNothing) {
    const MachineState before = state();
    const std::string id = backUp(record.get(), "Vendor Addon");
    restartProgram();
    ASSERT_EQ(listed().size(), 1u);
    EXPECT_EQ(listed()[0].id, id);

    ComPtr<_CLittleConfig> filesOnly = newRecord();
    for (const char* p : {kAddonFolder, kIniFile}) addFile(filesOnly.get(), p);
    addSubkey(filesOnly.get(), halvenlib::HKEY_LOCAL_MACHINE, kAddonKey);
    EXPECT_TRUE(CAxBackuper().RemoveByLittleConfig(filesOnly.get()));
    restartProgram();

    ASSERT_EQ(listed().size(), 1u);
    std::string cause;
    EXPECT_TRUE(backuper().Restore(id, cause)) << cause;
    expectRestored(before, id);
}

// A removal that cannot delete everything says so, logs each failure and
// goes on; the backup made before it still brings everything back.
TEST_F(BackupRoundTrip, AFailedRemovalIsLoggedAndLeavesARestorableBackup) {
    const MachineState before = state();
    const std::string id = backUp(record.get());
    deleteValue(HKEY_CURRENT_USER, kRunKey, "VendorAddon"); // gone before the removal gets to it

    EXPECT_FALSE(CAxBackuper().RemoveByLittleConfig(record.get()));
    ASSERT_EQ(logLines().size(), 1u);
    EXPECT_EQ(logLines()[0].description,
              "Cannot delete 'HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run' VendorAddon");
    EXPECT_EQ(logLines()[0].number, 0);
    EXPECT_EQ(logLines()[0].severity, halvenlib::sevInternalError);
    EXPECT_EQ(logLines()[0].source, "CAxBackuper.RemoveByLittleConfig");
    expectRemoved();

    std::string cause;
    EXPECT_TRUE(backuper().Restore(id, cause)) << cause;
    expectRestored(before, id);
}

} // namespace
} // namespace backuptest
