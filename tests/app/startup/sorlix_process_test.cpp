// The program as a new user runs it: `sorlix` with WINEPREFIX on a fresh
// prefix where both libraries are registered starts, writes its logs in the
// prefix and ends cleanly where the main window will later take over.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "tests/app/startup/startup_support.h"
#include "tests/support/com_library.h"
#include "tests/support/test_prefix.h"

namespace {

using namespace startuptest;

int runSorlix(const testsupport::TestPrefix& prefix) {
    const std::string command = "WINEPREFIX='" + prefix.root().string() + "' QT_QPA_PLATFORM=offscreen '" +
                                SORLIX_PATH + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SorlixProcess, StartsOnAFreshPrefixWritesItsLogsAndEndsCleanly) {
    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);

    EXPECT_EQ(runSorlix(prefix), 0);

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
