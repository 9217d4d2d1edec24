// Several writers of one prefix: regtool processes at once, a change made
// by another process while this one holds the hives, a wineserver serving
// the prefix, a writer killed mid-way or right after a change.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/core/text.h"
#include "platform/registry/registry.h"
#include "platform/registry/wineserver.h"
#include "tests/platform/registry/reg_test_util.h"
#include "tests/support/test_prefix.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace win;
using namespace regtest;
using testsupport::TestPrefix;

namespace {

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Starts `program` with WINEPREFIX set, its output into `err`.
pid_t spawn(const std::string& program, const fs::path& prefix, std::vector<std::string> args, const fs::path& err) {
    std::vector<std::string> env{"WINEPREFIX=" + prefix.string()};
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).rfind("WINEPREFIX=", 0) != 0) env.emplace_back(*e);
    std::vector<char*> envp, argv{const_cast<char*>(program.c_str())};
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    if (posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct ToolResult {
    int code;
    std::string err;
};
ToolResult regtool(const fs::path& prefix, std::vector<std::string> args) {
    const fs::path err = prefix / "regtool.err";
    const int code = waitFor(spawn(REGTOOL_PATH, prefix, std::move(args), err));
    ToolResult r{code, readFile(err)};
    fs::remove(err);
    return r;
}

// A process that holds a lock on `file` until it is killed, as a running
// wineserver holds its folder's "lock".
pid_t holdLock(const fs::path& file) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(file.c_str(), O_RDWR | O_CREAT, 0600);
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        ::fcntl(fd, F_SETLKW, &fl);
        (void)!::write(ready[1], "x", 1);
        for (;;) ::pause();
    }
    char c;
    (void)!::read(ready[0], &c, 1);
    ::close(ready[0]);
    ::close(ready[1]);
    return pid;
}

// A stand-in for a wineserver serving the prefix: a process holding the lock
// of the server folder Wine would use for it. The folder goes with the object.
class StandInWineserver {
public:
    explicit StandInWineserver(const fs::path& prefix)
        : base_(fs::path("/tmp") / (".wine-" + std::to_string(::getuid()))), madeBase_(!fs::exists(base_)),
          dir_(winsys::reg::wineserverFolder(base_, prefix)) {
        fs::create_directories(dir_);
        pid_ = holdLock(dir_ / "lock");
    }
    ~StandInWineserver() {
        stop();
        std::error_code ec;
        fs::remove_all(madeBase_ ? base_ : dir_, ec);
    }
    bool running() const { return pid_ > 0; }
    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        waitFor(pid_);
        pid_ = -1;
    }

private:
    fs::path base_;
    bool madeBase_;
    fs::path dir_;
    pid_t pid_ = -1;
};

} // namespace

// Twenty regtool processes adding a key each at the same moment: the
// writers' lock and the reload before a change keep every key.
TEST(RegistryWriters, ConcurrentRegtoolRunsLoseNothing) {
    TestPrefix p;
    constexpr int kRuns = 20;
    std::vector<pid_t> pids;
    for (int i = 0; i < kRuns; ++i)
        pids.push_back(spawn(REGTOOL_PATH, p.root(),
                             {"add", "HKCU\\Software\\Many\\Key" + std::to_string(i), "/v", "n", "/d",
                              std::to_string(i), "/f"},
                             p.root() / ("err" + std::to_string(i))));
    for (pid_t pid : pids) EXPECT_EQ(waitFor(pid), 0);
    p.reopen();
    UniqueHKey many;
    ASSERT_EQ(openKey(HKEY_CURRENT_USER, "Software\\Many", KEY_READ, many), ERROR_SUCCESS);
    EXPECT_EQ(subkeyNames(many.get()).size(), static_cast<std::size_t>(kRuns));
    for (int i = 0; i < kRuns; ++i)
        EXPECT_EQ(textOf(HKEY_CURRENT_USER, "Software\\Many\\Key" + std::to_string(i), "n"), std::to_string(i));
}

// This process holds the hives; regtool changes them; this process's next
// change (a delete, through a handle opened before) keeps regtool's.
TEST(RegistryWriters, AChangeOfAnotherProcessSurvivesOurNextChange) {
    TestPrefix p;
    UniqueHKey app = createKey(HKEY_CURRENT_USER, "Software\\App");
    setText(app.get(), "old", "1");
    ASSERT_EQ(regtool(p.root(), {"add", "HKCU\\Software\\ByTool", "/v", "v", "/d", "tool", "/f"}).code, 0);
    ASSERT_EQ(regtool(p.root(), {"add", "HKCU\\Software\\App", "/v", "fromTool", "/d", "t", "/f"}).code, 0);
    EXPECT_EQ(RegDeleteValue(app.get(), "old"), ERROR_SUCCESS);
    EXPECT_EQ(textOf(app.get(), "", "fromTool"), "t");
    p.reopen();
    EXPECT_EQ(textOf(HKEY_CURRENT_USER, "Software\\ByTool", "v"), "tool");
    EXPECT_EQ(textOf(HKEY_CURRENT_USER, "Software\\App", "fromTool"), "t");
    EXPECT_EQ(textOf(HKEY_CURRENT_USER, "Software\\App", "old"), "<missing>");
}

// A batch holds the writers' lock and keeps its changes in memory until its
// end: a hive file touched meanwhile (its time changed by some other tool)
// must not be read again over them, dropping what the batch did so far.
TEST(RegistryWriters, ABatchKeepsItsChangesWhenAHiveFileIsTouchedMidway) {
    TestPrefix p;
    ASSERT_TRUE(winsys::beginRegistryBatch());
    UniqueHKey app = createKey(HKEY_CURRENT_USER, "Software\\Batch");
    setText(app.get(), "first", "1");
    const timespec later[2] = {{::time(nullptr) + 60, 0}, {::time(nullptr) + 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (p.root() / "user.reg").c_str(), later, 0), 0);
    setText(app.get(), "second", "2");
    ASSERT_TRUE(winsys::commitRegistryBatch());
    app.reset();
    p.reopen();
    EXPECT_EQ(textOf(HKEY_CURRENT_USER, "Software\\Batch", "first"), "1");
    EXPECT_EQ(textOf(HKEY_CURRENT_USER, "Software\\Batch", "second"), "2");
}

// A wineserver that begins to serve the prefix while a batch is open: the
// batch's end writes nothing and drops its changes.
TEST(RegistryWriters, ABatchIsNotWrittenWhenAWineserverBeginsMidway) {
    TestPrefix p;
    const std::string before = readFile(p.root() / "user.reg");
    ASSERT_TRUE(winsys::beginRegistryBatch());
    UniqueHKey app = createKey(HKEY_CURRENT_USER, "Software\\Batch");
    setText(app.get(), "first", "1");
    StandInWineserver server(p.root());
    ASSERT_TRUE(server.running());
    const auto committed = winsys::commitRegistryBatch();
    server.stop();
    ASSERT_FALSE(committed);
    EXPECT_EQ(committed.error().code, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(readFile(p.root() / "user.reg"), before);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\Batch"));
    app.reset();
    p.reopen();
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, "Software\\Batch"));
}

// A writer killed right after its change returned: the change is on disk.
// One killed while writing leaves a temporary file, which the next opening
// of the prefix removes.
TEST(RegistryWriters, AKilledWriterLosesNothingAndLeavesNothingBehind) {
    TestPrefix p;
    createKey(HKEY_LOCAL_MACHINE, "Software\\Victim\\Sub");
    createKey(HKEY_CURRENT_USER, "Software\\Backup\\Copy");
    int done[2];
    ASSERT_EQ(::pipe(done), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Like the program's delete and restore: a tree removed, a tree copied.
        LSTATUS s = RegDeleteTree(HKEY_LOCAL_MACHINE, "Software\\Victim");
        UniqueHKey to = createKey(HKEY_LOCAL_MACHINE, "Software\\Restored");
        UniqueHKey from;
        if (s == ERROR_SUCCESS) s = openKey(HKEY_CURRENT_USER, "Software\\Backup", KEY_READ, from);
        if (s == ERROR_SUCCESS) s = RegCopyTree(from.get(), "Copy", to.get());
        (void)!::write(done[1], s == ERROR_SUCCESS ? "y" : "n", 1);
        for (;;) ::pause();
    }
    char c = 0;
    ASSERT_EQ(::read(done[0], &c, 1), 1);
    ::kill(pid, SIGKILL);
    waitFor(pid);
    ::close(done[0]);
    ::close(done[1]);
    ASSERT_EQ(c, 'y');
    std::ofstream(p.root() / "user.reg.tmp.Xk3q9A") << "half a hive";
    p.reopen();
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, "Software\\Victim"));
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, "Software\\Restored"));
    EXPECT_TRUE(winsys::registryWarnings().empty());
    EXPECT_FALSE(fs::exists(p.root() / "user.reg.tmp.Xk3q9A"));
}

// A wineserver serving the prefix (here a stand-in holding its lock):
// reading works, changing is refused with a plain reason, nothing written.
TEST(RegistryWriters, AServedPrefixIsOnlyRead) {
    TestPrefix p;
    setText(createKey(HKEY_CURRENT_USER, "Software\\Kept").get(), "v", "before");
    StandInWineserver server(p.root());
    ASSERT_TRUE(server.running());
    const std::string before = readFile(p.root() / "user.reg");

    EXPECT_EQ(textOf(HKEY_CURRENT_USER, "Software\\Kept", "v"), "before");
    UniqueHKey k;
    ASSERT_EQ(openKey(HKEY_CURRENT_USER, "Software\\Kept", KEY_ALL_ACCESS, k), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueEx(k.get(), "v", REG_SZ, sz("after")), static_cast<LSTATUS>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "Software\\Kept"), static_cast<LSTATUS>(ERROR_SHARING_VIOLATION));
    const auto refusal = winsys::registryRefusal();
    ASSERT_TRUE(refusal);
    EXPECT_NE(refusal->find("wineserver is running"), std::string::npos) << *refusal;
    const ToolResult add = regtool(p.root(), {"add", "HKCU\\Software\\Kept", "/v", "v", "/d", "tool", "/f"});
    EXPECT_EQ(add.code, 1);
    EXPECT_NE(add.err.find("wineserver is running"), std::string::npos) << add.err;
    EXPECT_EQ(regtool(p.root(), {"query", "HKCU\\Software\\Kept"}).code, 0);
    EXPECT_EQ(readFile(p.root() / "user.reg"), before);

    server.stop();
    EXPECT_FALSE(winsys::registryRefusal());
    EXPECT_EQ(RegSetValueEx(k.get(), "v", REG_SZ, sz("after")), ERROR_SUCCESS);
}

// Wine's own server, where Wine is installed.
TEST(RegistryWriters, ARealWineserverIsSeen) {
    if (std::system("command -v wineserver >/dev/null 2>&1") != 0) GTEST_SKIP() << "Wine is not installed";
    TestPrefix p;
    const fs::path err = p.root() / "wineserver.err";
    const pid_t started = spawn("wineserver", p.root(), {"-p", "20"}, err);
    ASSERT_GT(started, 0);
    bool seen = false;
    for (int i = 0; i < 100 && !seen; ++i) {
        seen = winsys::registryRefusal().has_value();
        if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(seen) << readFile(err);
    UniqueHKey k;
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\New", 0, KEY_ALL_ACCESS, k.put(), nullptr),
              static_cast<LSTATUS>(ERROR_SHARING_VIOLATION));
    waitFor(spawn("wineserver", p.root(), {"-k"}, err));
    waitFor(started);
}
