#pragma once
// A machine for the backup engine's tests: a 64-bit test prefix with both
// libraries and the program-wide objects, and readers that see the registry
// and the files directly (not through the engine's libraries), so that a
// restore is compared byte for byte with what was there before.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/core/caxbackuper.h"
#include "common/interfaces/registry.h"
#include "components/interfaces/quarncust.h"
#include "platform/com/class_registry.h"
#include "platform/com/variant.h"
#include "platform/registry/registry.h"
#include "tests/support/com_library.h"
#include "tests/support/program_objects.h"
#include "tests/support/test_prefix.h"

namespace backuptest {

namespace fs = std::filesystem;
using quarncust::_CLittleConfig;
using winsys::com::ComPtr;

inline constexpr const char* kWord = "IE";
// The index key of kWord's backups, below HKEY_CURRENT_USER.
inline const std::string kIndexKey = std::string(sorlix::kProductRegistryKey) + "Backup\\" + kWord;
inline const std::string kFilesFolder = std::string(testsupport::ProgramObjects::kDataFolder) + "\\Backup\\" + kWord;

struct RegValue {
    std::string name;
    win::DWORD type = 0;
    std::vector<win::BYTE> data;
    bool operator==(const RegValue&) const = default;
};
// Key path below the snapshot's top ("" for the top) -> its values by name.
using RegTree = std::map<std::string, std::vector<RegValue>>;

struct FileFacts {
    bool folder = false;
    bool readOnly = false;
    std::string bytes;
    bool operator==(const FileFacts&) const = default;
};
// Host path below the snapshot's top -> what is there.
using FileTree = std::map<std::string, FileFacts>;

// The key tree at `path` in the view `view` (0 or KEY_WOW64_64KEY); nothing
// when the key does not exist.
std::optional<RegTree> readTree(win::HKEY root, const std::string& path, win::REGSAM view = 0);
std::optional<RegValue> readValue(win::HKEY root, const std::string& path, const std::string& name,
                                  win::REGSAM view = 0);
void writeValue(win::HKEY root, const std::string& path, const RegValue& v, win::REGSAM view = 0);
void deleteValue(win::HKEY root, const std::string& path, const std::string& name);
bool keyExists(win::HKEY root, const std::string& path, win::REGSAM view = 0);
std::vector<std::string> subkeys(win::HKEY root, const std::string& path);

RegValue text(const std::string& name, const std::string& value, win::DWORD type = win::REG_SZ);
RegValue dword(const std::string& name, std::uint32_t value);

// Everything below a host folder, or the one host file.
FileTree readFiles(const fs::path& top);

// The entries (key paths, file paths) in which two snapshots differ, for
// failure messages; empty when they are equal.
template <class Tree>
std::string differences(const Tree& a, const Tree& b) {
    std::string out;
    for (const auto& [path, facts] : a)
        if (!b.count(path) || !(b.at(path) == facts))
            out += (b.count(path) ? "changed: '" : "missing: '") + path + "' ";
    for (const auto& [path, facts] : b)
        if (!a.count(path)) out += "new: '" + path + "' ";
    return out;
}
template <class Tree>
std::string differences(const std::optional<Tree>& a, const std::optional<Tree>& b) {
    if (!a || !b) return a || b ? std::string(a ? "key gone" : "key new") : std::string();
    return differences(*a, *b);
}

class BackupTest : public ::testing::Test {
protected:
    BackupTest() { program.emplace(); }

    // As a new process on the same prefix: what is on disk is all there is.
    void restartProgram();

    ComPtr<_CLittleConfig> newRecord();
    static void addFile(_CLittleConfig* r, const std::string& path, bool x64 = false);
    static void addSubkey(_CLittleConfig* r, win::LONG root, const std::string& subkey);
    static void addValue(_CLittleConfig* r, win::LONG root, const std::string& subkey, const std::string& name);

    // A backuper initialised for kWord on the test's data folder.
    sorlix::CAxBackuper backuper(const std::string& word = kWord);
    std::vector<sorlix::CAxBackuper::BackupRow> listed(const std::string& word = kWord);
    // Backs `record` up and returns the new backup's id (the test fails when
    // it is not the one new listed backup).
    std::string backUp(_CLittleConfig* record, const std::string& name = "Addon", const std::string& description = "");

    std::string backupKey(const std::string& id) const { return kIndexKey + "\\" + id; }
    fs::path filesFolder(const std::string& id) const { return prefix.host(kFilesFolder + "\\" + id); }
    // The store holds nothing of any backup: no index subkey, no folder of copies.
    void expectStoreEmpty() const;

    std::vector<testsupport::LogLine>& logLines() { return program->log->lines; }

    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH}, product{QUARNCUST_PATH};
    std::optional<testsupport::ProgramObjects> program;
};

} // namespace backuptest
