// Hives on disk: values of every type and size survive a write and a fresh
// load; a hive is written only when changed, atomically, and a failed write
// leaves the old file whole and the hive still to be written.
#include "platform/registry/registry.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>

#include "platform/registry/hive.h"
#include "platform/registry/store.h"
#include "tests/platform/registry/reg_test_util.h"
#include "tests/support/test_prefix.h"

namespace fs = std::filesystem;
using namespace win;
using namespace regtest;

namespace {

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

ino_t inodeOf(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::set<std::string> entriesOf(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

// Restores normal writes however a test ends.
struct FaultGuard {
    ~FaultGuard() { winsys::testing::failHiveWrites(winsys::testing::HiveWriteFault::None); }
};

} // namespace

TEST(RegistryDurability, ValuesOfEveryTypeAndSizeSurviveAFreshLoad) {
    std::vector<BYTE> big(100 * 1024);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<BYTE>(i * 7 + 3);
    std::string longText;
    while (longText.size() < 50 * 1024) longText += "caf\u00e9 \"q\" \\ \t\u263a ";
    struct Row {
        std::string name;
        DWORD type;
        std::vector<BYTE> data;
    };
    std::vector<Row> rows = {
        {"none", REG_NONE, {}},
        {"sz", REG_SZ, sz("text")},
        {"expand", REG_EXPAND_SZ, sz("%SystemRoot%\\x")},
        {"binary", REG_BINARY, {0, 1, 0xfe, 0xff}},
        {"dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
        {"dword big-endian", REG_DWORD_BIG_ENDIAN, {0x12, 0x34, 0x56, 0x78}},
        {"link", REG_LINK, winsys::toUtf16leBytes("\\Registry\\Machine\\X", false)},
        {"multi", REG_MULTI_SZ, winsys::toUtf16leBytes(std::string("a\0b\0", 4), true)},
        {"resource list", REG_RESOURCE_LIST, {1, 2, 3}},
        {"full resource descriptor", REG_FULL_RESOURCE_DESCRIPTOR, {4, 5}},
        {"requirements list", REG_RESOURCE_REQUIREMENTS_LIST, {6}},
        {"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"odd type number", 0x20000, {9, 9}},
        {"sz of odd size", REG_SZ, {0x41, 0, 0x42}},
        {"empty sz", REG_SZ, {}},
        {"100 KB binary", REG_BINARY, big},
        {"long text", REG_SZ, sz(longText)},
        {"", REG_SZ, sz("default value")},
    };
    testsupport::TestPrefix p;
    {
        UniqueHKey k = createKey(HKEY_CURRENT_USER, "Types");
        for (const Row& r : rows) ASSERT_EQ(RegSetValueEx(k.get(), r.name, r.type, r.data), ERROR_SUCCESS) << r.name;
    } // closing the key writes user.reg
    p.reopen();
    UniqueHKey k;
    ASSERT_EQ(openKey(HKEY_CURRENT_USER, "Types", KEY_READ, k), ERROR_SUCCESS);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        std::string name;
        DWORD type = 0xdeadbeef;
        std::vector<BYTE> data;
        ASSERT_EQ(RegEnumValue(k.get(), static_cast<DWORD>(i), &name, &type, &data), ERROR_SUCCESS);
        EXPECT_EQ(name, rows[i].name);
        EXPECT_EQ(type, rows[i].type);
        EXPECT_TRUE(data == rows[i].data) << data.size() << " bytes read, " << rows[i].data.size() << " written";
    }
    EXPECT_TRUE(winsys::registryWarnings().empty());
}

TEST(RegistryDurability, AHiveIsWrittenOnlyWhenChanged) {
    testsupport::TestPrefix p;
    const fs::path user = p.root() / "user.reg", system = p.root() / "system.reg";
    const std::string systemBefore = readFile(system);
    const ino_t systemInode = inodeOf(system), userInode = inodeOf(user);

    // Reads, and a write of what is already there, change nothing.
    {
        UniqueHKey k;
        EXPECT_EQ(openKey(HKEY_LOCAL_MACHINE, "", KEY_READ, k), ERROR_SUCCESS);
        EXPECT_EQ(RegQueryInfoKey(k.get(), nullptr, nullptr), ERROR_SUCCESS);
    }
    ASSERT_TRUE(winsys::flushRegistry());
    EXPECT_EQ(inodeOf(user), userInode);

    // A change is in the file when its call returns; the same data again
    // write nothing.
    UniqueHKey k = createKey(HKEY_CURRENT_USER, "Changed");
    setText(k.get(), "v", "1");
    EXPECT_NE(readFile(user).find("[Changed]"), std::string::npos);
    const ino_t written = inodeOf(user);
    setText(k.get(), "v", "1");
    ASSERT_EQ(RegCloseKey(k.release()), ERROR_SUCCESS);
    ASSERT_TRUE(winsys::flushRegistry());
    EXPECT_EQ(inodeOf(user), written);

    EXPECT_EQ(readFile(system), systemBefore);
    EXPECT_EQ(inodeOf(system), systemInode);
}

TEST(RegistryDurability, AMissingUserHiveIsMadeOnFirstWrite) {
    testsupport::TestPrefix p;
    fs::remove(p.root() / "user.reg");
    fs::remove(p.root() / "userdef.reg");
    p.reopen();
    EXPECT_TRUE(subkeyNames(HKEY_CURRENT_USER).empty());
    ASSERT_TRUE(winsys::flushRegistry());
    EXPECT_FALSE(fs::exists(p.root() / "user.reg"));
    {
        UniqueHKey k = createKey(HKEY_CURRENT_USER, "Software\\New");
        setText(k.get(), "v", "made");
    }
    const std::string text = readFile(p.root() / "user.reg");
    EXPECT_EQ(text.rfind("WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\" +
                             winsys::machine().userSid() + "\n\n#arch=win64\n",
                         0),
              0u)
        << text;
    EXPECT_FALSE(fs::exists(p.root() / "userdef.reg"));
    p.reopen();
    EXPECT_EQ(textOf(HKEY_CURRENT_USER, "Software\\New", "v"), "made");
}

// A write that fails at any step fails the call that changed the hive,
// leaves the old file as it was and no temporary file, and the change is
// dropped: the store holds what the disk holds.
TEST(RegistryDurability, AnInterruptedWriteFailsTheCallAndLeavesTheOldHive) {
    using winsys::testing::HiveWriteFault;
    struct Row {
        const char* label;
        HiveWriteFault fault;
        std::size_t afterBytes;
        int err;
        DWORD expected;
    };
    const std::vector<Row> rows = {
        {"nothing written", HiveWriteFault::AfterBytes, 0, EIO, ERROR_CANTWRITE},
        {"half written, disk full", HiveWriteFault::AfterBytes, 100, ENOSPC, ERROR_DISK_FULL},
        {"written, not renamed", HiveWriteFault::BeforeRename, 0, EIO, ERROR_CANTWRITE},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        FaultGuard guard;
        testsupport::TestPrefix p;
        const fs::path user = p.root() / "user.reg";
        UniqueHKey k = createKey(HKEY_CURRENT_USER, "Durable");
        setText(k.get(), "v", "old");
        const std::string before = readFile(user);
        const auto entries = entriesOf(p.root());

        winsys::testing::failHiveWrites(row.fault, row.afterBytes, row.err);
        EXPECT_EQ(RegSetValueEx(k.get(), "v", REG_SZ, sz("new")), static_cast<LSTATUS>(row.expected));
        UniqueHKey made;
        EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Made", 0, KEY_ALL_ACCESS, made.put(), nullptr),
                  static_cast<LSTATUS>(row.expected));
        EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "Durable"), static_cast<LSTATUS>(row.expected));
        EXPECT_EQ(readFile(user), before);
        EXPECT_EQ(entriesOf(p.root()), entries);
        EXPECT_EQ(textOf(HKEY_CURRENT_USER, "Durable", "v"), "old");
        EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Made"));

        winsys::testing::failHiveWrites(HiveWriteFault::None);
        setText(createKey(HKEY_CURRENT_USER, "Durable").get(), "v", "new");
        p.reopen();
        EXPECT_EQ(textOf(HKEY_CURRENT_USER, "Durable", "v"), "new");
        EXPECT_TRUE(winsys::registryWarnings().empty());
    }
}

// Installing another machine writes the old one's changes and drops its
// store; handles of the old store no longer work.
TEST(RegistryDurability, AChangeOfMachineWritesTheOldStore) {
    auto first = std::make_unique<testsupport::TestPrefix>();
    const fs::path firstUser = first->root() / "user.reg";
    setText(HKEY_CURRENT_USER, "Unflushed", "kept");
    UniqueHKey stale = createKey(HKEY_CURRENT_USER, "Stale");
    {
        testsupport::TestPrefix second;
        EXPECT_EQ(textOf(HKEY_CURRENT_USER, "", "Unflushed"), "<missing>");
        EXPECT_NE(readFile(firstUser).find("\"Unflushed\"=\"kept\""), std::string::npos);
        EXPECT_EQ(RegQueryInfoKey(stale.get(), nullptr, nullptr), static_cast<LSTATUS>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(RegCloseKey(stale.release()), ERROR_SUCCESS);
    }
    first.reset();
}

// A hive that cannot be loaded is left alone; the others work.
TEST(RegistryDurability, AHiveWithABadHeaderIsNeverWritten) {
    testsupport::TestPrefix p;
    const std::string garbage = "not a hive\n[Software]\n";
    std::ofstream(p.root() / "userdef.reg", std::ios::binary | std::ios::trunc) << garbage;
    std::ofstream(p.root() / "system.reg", std::ios::app) << "garbage line\n";
    p.reopen();
    HKEY out = nullptr;
    EXPECT_EQ(RegCreateKeyEx(HKEY_USERS, ".Default\\Software", 0, KEY_ALL_ACCESS, &out, nullptr),
              static_cast<LSTATUS>(ERROR_REGISTRY_CORRUPT));
    { UniqueHKey k = createKey(HKEY_CURRENT_USER, "Fine"); }
    ASSERT_TRUE(winsys::flushRegistry());
    EXPECT_EQ(readFile(p.root() / "userdef.reg"), garbage);
    const auto warnings = winsys::registryWarnings();
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0], (p.root() / "system.reg").string() + ":6: unknown line 'garbage line'");
    EXPECT_EQ(warnings[1], (p.root() / "userdef.reg").string() + ":1: not a Wine registry file 'not a hive'");
}
