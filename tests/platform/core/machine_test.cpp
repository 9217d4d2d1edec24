#include "platform/core/machine.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "tests/support/test_prefix.h"

namespace fs = std::filesystem;
using namespace winsys;

TEST(Machine, ReadsArchAndUserFromTheHives) {
    for (Arch arch : {Arch::Win32, Arch::Win64}) {
        testsupport::TestPrefixOptions o;
        o.arch = arch;
        o.userName = "alice";
        testsupport::TestPrefix p(o);
        EXPECT_EQ(machine().arch(), arch);
        EXPECT_EQ(machine().isWow64(), arch == Arch::Win64);
        EXPECT_EQ(machine().userSid(), o.userSid);
        EXPECT_EQ(machine().userName(), "alice");
    }
}

TEST(Machine, DrivesFollowDosdevicesLinks) {
    testsupport::TestPrefix p;
    auto c = machine().driveRoot('C');
    ASSERT_TRUE(c);
    EXPECT_EQ(*c, fs::canonical(p.root() / "drive_c"));
    EXPECT_EQ(machine().driveRoot('z'), fs::path("/"));
    EXPECT_FALSE(machine().driveRoot('q'));
    EXPECT_FALSE(machine().driveRoot('1'));
}

TEST(Machine, MissingCLinkIsMade) {
    testsupport::TestPrefixOptions o;
    o.makeCurrent = false;
    testsupport::TestPrefix p(o);
    fs::remove(p.root() / "dosdevices" / "c:");
    auto m = Machine::open(p.root());
    ASSERT_TRUE(m);
    EXPECT_TRUE(m.value()->driveRoot('c'));
}

TEST(Machine, BadPrefixGivesOneMessageNamingThePath) {
    testsupport::TestPrefixOptions o;
    o.makeCurrent = false;
    testsupport::TestPrefix p(o);
    const fs::path missing = p.root() / "nowhere";
    const fs::path notPrefix = p.root() / "drive_c";
    const fs::path file = p.root() / "system.reg";
    for (const fs::path& bad : {missing, notPrefix, file}) {
        SCOPED_TRACE(bad.string());
        auto m = Machine::open(bad);
        ASSERT_FALSE(m);
        EXPECT_NE(m.error().message.find(bad.string()), std::string::npos) << m.error().message;
    }
}

TEST(Machine, WineprefixChoosesThePrefix) {
    const char* old = std::getenv("WINEPREFIX");
    std::string saved = old ? old : "";
    ::setenv("WINEPREFIX", "/some/where", 1);
    EXPECT_EQ(defaultPrefixPath(), fs::path("/some/where"));
    ::setenv("WINEPREFIX", "", 1);
    EXPECT_EQ(defaultPrefixPath().filename(), ".wine");
    if (old) ::setenv("WINEPREFIX", saved.c_str(), 1);
    else ::unsetenv("WINEPREFIX");
}
