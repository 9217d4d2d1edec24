// The program as a new user runs it: `sorlix` with WINEPREFIX on a fresh
// prefix where both libraries are registered starts, writes its logs in the
// prefix, collects, opens its window and ends cleanly when asked to.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/app/startup/startup_support.h"
#include "tests/support/com_library.h"
#include "tests/support/test_prefix.h"

namespace {

using namespace startuptest;

// Starts sorlix on the prefix, waits until its first collection is logged
// (the main window opens next), asks it to end as the session would (SIGTERM)
// and answers its exit code; -1 when it did not end by itself in time.
int runAndEndSorlix(const testsupport::TestPrefix& prefix) {
    const std::string root = prefix.root().string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("WINEPREFIX", root.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::freopen("/dev/null", "w", stdout);
        ::freopen("/dev/null", "w", stderr);
        ::execl(SORLIX_PATH, SORLIX_PATH, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const std::string shortLog = std::string(kDataFolder) + "\\short.log";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    int status = 0;
    bool ended = false;
    while (!ended && readLog(prefix, shortLog).size() < 8 && std::chrono::steady_clock::now() < deadline) {
        ended = ::waitpid(pid, &status, WNOHANG) == pid;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!ended) {
        ::kill(pid, SIGTERM);
        while (!(ended = ::waitpid(pid, &status, WNOHANG) == pid) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SorlixProcess, StartsOnAFreshPrefixWritesItsLogsAndEndsCleanly) {
    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);

    EXPECT_EQ(runAndEndSorlix(prefix), 0);

    for (const char* name : {"\\Vendrel Sorlix.log", "\\short.log"}) {
        SCOPED_TRACE(name);
        const auto lines = descriptions(readLog(prefix, std::string(kDataFolder) + name));
        ASSERT_EQ(lines.size(), 8u);
        EXPECT_EQ(lines[0], "********** start app");
        EXPECT_EQ(lines[1], "Vendrel Sorlix ver.1.0.0");
        EXPECT_EQ(lines[4], "IsVista=True");
        // The first collection: a fresh prefix has no toolbar key in either view.
        const std::string toolbars = "\\Software\\Microsoft\\Internet Explorer\\Toolbar'";
        EXPECT_EQ(lines[6].rfind("Cannot enumerate 'HKEY_LOCAL_MACHINE" + toolbars, 0), 0u);
        EXPECT_EQ(lines[7].rfind("Cannot enumerate 'HKEY_LOCAL_MACHINE_64BIT" + toolbars, 0), 0u);
    }
}

} // namespace
