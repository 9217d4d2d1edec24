#include "tests/app/core/backup/backup_fixture.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/com/com_error.h"
#include "platform/core/text.h"

namespace backuptest {

using namespace win;

namespace {

void readInto(HKEY key, const std::string& below, RegTree& out) {
    std::vector<RegValue>& values = out[below];
    for (DWORD i = 0;; ++i) {
        RegValue v;
        if (RegEnumValue(key, i, &v.name, &v.type, &v.data) != ERROR_SUCCESS) break;
        values.push_back(std::move(v));
    }
    // A value put back comes last in its key; the order of values is no data.
    std::sort(values.begin(), values.end(), [](const RegValue& a, const RegValue& b) { return a.name < b.name; });
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        std::string n;
        if (RegEnumKeyEx(key, i, &n) != ERROR_SUCCESS) break;
        names.push_back(std::move(n));
    }
    for (const std::string& n : names) {
        UniqueHKey child;
        ASSERT_EQ(RegOpenKeyEx(key, n, 0, KEY_READ, child.put()), ERROR_SUCCESS) << n;
        readInto(child.get(), below.empty() ? n : below + "\\" + n, out);
    }
}

} // namespace

std::optional<RegTree> readTree(HKEY root, const std::string& path, REGSAM view) {
    UniqueHKey key;
    if (RegOpenKeyEx(root, path, 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return std::nullopt;
    RegTree tree;
    readInto(key.get(), "", tree);
    return tree;
}

std::optional<RegValue> readValue(HKEY root, const std::string& path, const std::string& name, REGSAM view) {
    UniqueHKey key;
    if (RegOpenKeyEx(root, path, 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return std::nullopt;
    RegValue v{name, 0, {}};
    if (RegQueryValueEx(key.get(), name, &v.type, &v.data) != ERROR_SUCCESS) return std::nullopt;
    return v;
}

void writeValue(HKEY root, const std::string& path, const RegValue& v, REGSAM view) {
    UniqueHKey key;
    ASSERT_EQ(RegCreateKeyEx(root, path, 0, KEY_ALL_ACCESS | view, key.put(), nullptr), ERROR_SUCCESS) << path;
    ASSERT_EQ(RegSetValueEx(key.get(), v.name, v.type, v.data), ERROR_SUCCESS) << v.name;
}

void deleteValue(HKEY root, const std::string& path, const std::string& name) {
    UniqueHKey key;
    ASSERT_EQ(RegOpenKeyEx(root, path, 0, KEY_ALL_ACCESS, key.put()), ERROR_SUCCESS) << path;
    ASSERT_EQ(RegDeleteValue(key.get(), name), ERROR_SUCCESS) << name;
}

bool keyExists(HKEY root, const std::string& path, REGSAM view) {
    UniqueHKey key;
    return RegOpenKeyEx(root, path, 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

std::vector<std::string> subkeys(HKEY root, const std::string& path) {
    std::vector<std::string> names;
    UniqueHKey key;
    if (RegOpenKeyEx(root, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        std::string n;
        if (RegEnumKeyEx(key.get(), i, &n) != ERROR_SUCCESS) break;
        names.push_back(std::move(n));
    }
    return names;
}

RegValue text(const std::string& name, const std::string& value, DWORD type) {
    return {name, type, winsys::toUtf16leBytes(value, true)};
}

RegValue dword(const std::string& name, std::uint32_t value) {
    return {name, REG_DWORD, {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)}};
}

FileTree readFiles(const fs::path& top) {
    FileTree tree;
    auto facts = [](const fs::path& p) {
        FileFacts f;
        f.folder = fs::is_directory(p);
        f.readOnly = (fs::status(p).permissions() & fs::perms::owner_write) == fs::perms::none;
        if (!f.folder) {
            std::ifstream in(p, std::ios::binary);
            f.bytes.assign(std::istreambuf_iterator<char>(in), {});
        }
        return f;
    };
    if (!fs::exists(top)) return tree;
    tree[""] = facts(top);
    if (fs::is_directory(top))
        for (const auto& e : fs::recursive_directory_iterator(top))
            tree[fs::relative(e.path(), top).string()] = facts(e.path());
    return tree;
}

void BackupTest::restartProgram() {
    program.reset();
    prefix.reopen();
    program.emplace();
}

ComPtr<_CLittleConfig> BackupTest::newRecord() {
    ComPtr<_CLittleConfig> r;
    winsys::com::check(winsys::com::createInstance(quarncust::CLSID_CLittleConfig, &r));
    return r;
}

void BackupTest::addFile(_CLittleConfig* r, const std::string& path, bool x64) {
    VARIANT flag = winsys::com::makeBool(x64);
    ASSERT_EQ(r->AddFileOrFolder(path, &flag), S_OK);
}

void BackupTest::addSubkey(_CLittleConfig* r, LONG root, const std::string& subkey) {
    ASSERT_EQ(r->AddRegistrySubkey(root, subkey), S_OK);
}

void BackupTest::addValue(_CLittleConfig* r, LONG root, const std::string& subkey, const std::string& name) {
    ASSERT_EQ(r->AddRegistryValue(root, subkey, name), S_OK);
}

sorlix::CAxBackuper BackupTest::backuper(const std::string& word) {
    sorlix::CAxBackuper b;
    std::string cause = "sentinel";
    EXPECT_TRUE(b.Init(testsupport::ProgramObjects::kDataFolder, sorlix::kProductRegistryKey, word, cause));
    EXPECT_EQ(cause, "sentinel"); // set only on failure
    return b;
}

std::vector<sorlix::CAxBackuper::BackupRow> BackupTest::listed(const std::string& word) {
    LONG count = -1;
    std::vector<sorlix::CAxBackuper::BackupRow> rows;
    std::string cause;
    EXPECT_TRUE(backuper(word).ListBackups(count, rows, cause)) << cause;
    rows.resize(static_cast<std::size_t>(count));
    return rows;
}

std::string BackupTest::backUp(_CLittleConfig* record, const std::string& name, const std::string& description) {
    const auto before = listed();
    std::string cause = "sentinel";
    EXPECT_TRUE(backuper().Backup(name, description, record, cause)) << cause;
    EXPECT_EQ(cause, "");
    const auto after = listed();
    EXPECT_EQ(after.size(), before.size() + 1);
    for (const auto& row : after) {
        bool old = false;
        for (const auto& b : before) old = old || b.id == row.id;
        if (!old) return row.id;
    }
    ADD_FAILURE() << "no new backup listed";
    return {};
}

void BackupTest::expectStoreEmpty() const {
    EXPECT_EQ(subkeys(HKEY_CURRENT_USER, kIndexKey), std::vector<std::string>{});
    const fs::path folder = prefix.host(kFilesFolder);
    if (fs::exists(folder)) {
        EXPECT_TRUE(fs::is_empty(folder)) << folder;
    }
}

} // namespace backuptest
