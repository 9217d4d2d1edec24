// The regsvr tool, run as its own process on a test prefix.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/com/class_registry.h"
#include "platform/com/server.h"
#include "tests/platform/com/testlib_interfaces.h"
#include "tests/support/test_prefix.h"

using namespace win;
using namespace winsys::com;

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string output;
};

std::string quoted(const std::string& s) { return "'" + s + "'"; }

ToolRun regsvr(const std::filesystem::path& prefix, const std::string& args) {
    const std::string command = "WINEPREFIX=" + quoted(prefix.string()) + " " + quoted(REGSVR_PATH) + " " + args + " 2>&1";
    ToolRun r;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return r;
    char buf[512];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) r.output.append(buf, n);
    const int status = ::pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(Regsvr, RegistersAndUnregistersALibraryInThePrefix) {
    testsupport::TestPrefix prefix;
    ToolRun r = regsvr(prefix.root(), quoted(COMTESTLIB_PATH));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("succeeded"), std::string::npos) << r.output;
    prefix.reopen(); // read what the tool wrote to the hives
    ComPtr<comtest::_CTestList> list;
    EXPECT_EQ(createInstance(comtest::CLSID_CTestList, &list), S_OK);
    list.reset();

    r = regsvr(prefix.root(), "/u " + quoted(COMTESTLIB_PATH));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    prefix.reopen();
    EXPECT_EQ(createInstance(comtest::CLSID_CTestList, &list), REGDB_E_CLASSNOTREG);
}

TEST(Regsvr, FailuresSayWhatWentWrong) {
    testsupport::TestPrefix prefix;
    const auto libstdcxx = modulePathOf(reinterpret_cast<const void*>(&std::terminate));
    ASSERT_TRUE(libstdcxx);
    const std::filesystem::path notAPrefix = prefix.root() / "drive_c";
    struct Row {
        const char* label;
        std::filesystem::path prefix;
        std::string args;
        int exitCode;
        const char* message;
    } rows[] = {
        {"no library", prefix.root(), "", 1, "no library given"},
        {"unknown option", prefix.root(), "-x " + quoted(COMTESTLIB_PATH), 1, "unexpected argument"},
        {"two libraries", prefix.root(), quoted(COMTESTLIB_PATH) + " " + quoted(COMTESTLIB_PATH), 1,
         "unexpected argument"},
        {"missing file", prefix.root(), "/nonexistent/libnothing.so", 3, "does not exist"},
        {"not a COM library", prefix.root(), quoted(libstdcxx->string()), 3, "has no entry point DllRegisterServer"},
        {"not a prefix", notAPrefix, quoted(COMTESTLIB_PATH), 2, notAPrefix.c_str()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const ToolRun r = regsvr(row.prefix, row.args);
        EXPECT_EQ(r.exitCode, row.exitCode) << r.output;
        EXPECT_NE(r.output.find(row.message), std::string::npos) << r.output;
    }
}

} // namespace
