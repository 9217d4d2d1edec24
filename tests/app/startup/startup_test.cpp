// Start-up on test prefixes: the folders and logs of a first run, the
// first lines of the log, the customisation object's hold on the log, the
// component check and the flags.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/core/mmain.h"

#include "common/interfaces/global.h"
#include "components/interfaces/quarncust.h"
#include "platform/com/class_registry.h"
#include "platform/core/guid.h"
#include "platform/system/shell.h"
#include "tests/app/startup/fake_custom.h"
#include "tests/app/startup/startup_support.h"
#include "tests/support/com_library.h"
#include "tests/support/test_prefix.h"

using namespace sorlix;
using namespace startuptest;
using MMain::StartupEnd;
using testsupport::ComLibrary;
using testsupport::TestPrefix;

namespace {

const std::string kMainLog = std::string(kDataFolder) + "\\Vendrel Sorlix.log";
const std::string kShortLog = std::string(kDataFolder) + "\\short.log";

std::string windowsText() {
    winsys::com::ComPtr<halvenlib::_CGlobal> g;
    EXPECT_EQ(winsys::com::getApplicationObject(halvenlib::CLSID_CGlobal, halvenlib::_CGlobal::iid, g.putVoid()),
              win::S_OK);
    win::LONG a, b, c, d;
    std::string sp, text;
    g->WindowsVersion(&a, &b, &c, &d, &sp, &text);
    return text;
}

class Startup : public ::testing::Test {
protected:
    void TearDown() override {
        MMain::ReleaseProgramObjects();
        winsys::clearShellRequests();
    }
    Recorder rec;
};

TEST_F(Startup, FirstRunMakesTheFoldersAndWritesTheFirstLinesInOrder) {
    TestPrefix prefix;
    ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);
    ASSERT_FALSE(std::filesystem::exists(prefix.host(kDataFolder)));

    EXPECT_EQ(MMain::Main(rec.hooks()), StartupEnd::MainFormClosed);

    EXPECT_TRUE(std::filesystem::is_directory(prefix.host(std::string(kDataFolder) + "\\Temp")));
    EXPECT_EQ(DataFolder, kDataFolder);
    EXPECT_EQ(TempFolder, std::string(kDataFolder) + "\\Temp");
    const std::vector<std::string> expected{"********** start app",
                                            "Vendrel Sorlix ver.1.0.0",
                                            "Windows: " + windowsText(),
                                            "Quarncust ver.1.0.0",
                                            "IsVista=True",
                                            "UACEnabled=False, IsAdmin=True, ElevationType=2"};
    for (const std::string& file : {kMainLog, kShortLog}) {
        SCOPED_TRACE(file);
        const auto lines = readLog(prefix, file);
        EXPECT_EQ(descriptions(lines), expected);
        ASSERT_GE(lines.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(lines[i].severity, "Trace");
            EXPECT_EQ(lines[i].number, "");
            EXPECT_EQ(lines[i].source, "MMain.Main");
        }
    }
    EXPECT_TRUE(rec.shown.empty());
    EXPECT_EQ(rec.steps, (std::vector<std::string>{"AppVisor", "MainForm", "collect", "show"}));
    EXPECT_TRUE(DB && FileChecker && AddonTypeVisor && Registry && Log);
    EXPECT_TRUE(IsNT);
    EXPECT_FALSE(IsNT4);
}

TEST_F(Startup, ASecondRunStartsAFreshShortLogAndKeepsTheMainLog) {
    TestPrefix prefix;
    ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);
    ASSERT_EQ(MMain::Main(rec.hooks()), StartupEnd::MainFormClosed);
    MMain::ReleaseProgramObjects();
    ASSERT_EQ(MMain::Main(rec.hooks()), StartupEnd::MainFormClosed);
    EXPECT_EQ(readLog(prefix, kShortLog).size(), 6u);
    EXPECT_EQ(readLog(prefix, kMainLog).size(), 12u);
}

// Where the lines after the customisation object go, for each way its Init
// treats the log argument.
TEST_F(Startup, TheCustomisationObjectMayExchangeTheLogButNotLoseIt) {
    struct Row {
        const char* label;
        std::optional<win::CLSID> custom; // what "Quarncust.CCustom2" names; none: not registered
        bool swapped;
        const char* pending; // the error that start-up logs once its objects exist
    };
    const Row rows[] = {
        {"puts another log", fakecustom::CLSID_SwapLog, true, nullptr},
        {"puts nothing", fakecustom::CLSID_EmptyLog, false, nullptr},
        {"puts an object that is no log", fakecustom::CLSID_NotALog, false, nullptr},
        {"ProgID not registered", std::nullopt, false, "ProgID 'Quarncust.CCustom2' is not registered"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        TestPrefix prefix;
        ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH), fake(FAKECUSTOM_PATH);
        // A ProgID is a class key both views share.
        const std::string progIdKey = "[HKEY_CURRENT_USER\\Software\\Classes\\Quarncust.CCustom2";
        if (row.custom)
            prefix.importReg("Windows Registry Editor Version 5.00\n\n" + progIdKey + "\\CLSID]\n@=\"" +
                             winsys::guidToString(*row.custom) + "\"\n");
        else
            prefix.importReg("Windows Registry Editor Version 5.00\n\n[-" + progIdKey.substr(1) + "]\n");

        ASSERT_EQ(MMain::Main(rec.hooks()), StartupEnd::MainFormClosed);

        const auto main = descriptions(readLog(prefix, kMainLog));
        const auto other = descriptions(readLog(prefix, kMainLog + ".swapped"));
        ASSERT_GE(main.size(), 3u);
        EXPECT_EQ(main[0], "********** start app");
        std::vector<std::string> later{"IsVista=True", "UACEnabled=False, IsAdmin=True, ElevationType=2"};
        if (row.pending) later.push_back(row.pending);
        EXPECT_EQ(row.swapped ? other : std::vector<std::string>(main.begin() + 3, main.end()), later);
        EXPECT_EQ(row.swapped ? main.size() : other.size(), row.swapped ? 3u : 0u);
        ASSERT_TRUE(Log);
        std::string logFile;
        Log->get_FileName(&logFile);
        EXPECT_EQ(logFile, row.swapped ? kMainLog + ".swapped" : kMainLog);
        MMain::ReleaseProgramObjects();
    }
}

TEST_F(Startup, AMissingComponentIsShownAndLoggedAndNothingFollows) {
    const std::string tail =
        "' or one of its dependencies not correctly registered: a file is missing or invalid. Try to reinstall "
        "Vendrel Sorlix.";
    struct Row {
        const char* label;
        bool common, product;
        std::string message;
        bool logged; // without the common library there is no log to write to
    };
    const Row rows[] = {
        {"nothing registered", false, false, "Component 'HALVENLIB.DLL" + tail, false},
        {"product library only", false, true, "Component 'HALVENLIB.DLL" + tail, false},
        {"common library only", true, false, "Component 'QUARNCUST.DLL" + tail, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        TestPrefix prefix;
        std::optional<ComLibrary> common, product;
        if (row.common) common.emplace(HALVENLIB_PATH);
        if (row.product) product.emplace(QUARNCUST_PATH);
        Recorder r;

        EXPECT_EQ(MMain::Main(r.hooks()), StartupEnd::ComponentsMissing);

        ASSERT_EQ(r.shown.size(), 1u);
        EXPECT_EQ(r.shown[0].text, row.message);
        EXPECT_EQ(r.shown[0].title, "Vendrel Sorlix");
        EXPECT_EQ(r.shown[0].icon, MessageIcon::None);
        EXPECT_EQ(r.steps, std::vector<std::string>{"message"});
        EXPECT_FALSE(DB || FileChecker || Registry || AddonTypeVisor);
        const auto lines = readLog(prefix, kMainLog);
        if (row.logged) {
            ASSERT_EQ(lines.size(), 4u);
            EXPECT_EQ(lines[3].description, row.message);
            EXPECT_EQ(lines[3].severity, "InternalError");
            EXPECT_EQ(lines[3].source, "MMain.Main");
        } else {
            EXPECT_TRUE(lines.empty());
            EXPECT_FALSE(std::filesystem::exists(prefix.host(kDataFolder)));
        }
        MMain::ReleaseProgramObjects();
    }
}

TEST_F(Startup, TheSixtyFourBitFlagFollowsThePrefix) {
    for (winsys::Arch arch : {winsys::Arch::Win32, winsys::Arch::Win64}) {
        SCOPED_TRACE(arch == winsys::Arch::Win64 ? "win64" : "win32");
        testsupport::TestPrefixOptions options;
        options.arch = arch;
        TestPrefix prefix(options);
        ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);
        ASSERT_EQ(MMain::Main(rec.hooks()), StartupEnd::MainFormClosed);
        EXPECT_EQ(Is64bitWindows, arch == winsys::Arch::Win64);
        MMain::ReleaseProgramObjects();
    }
}

TEST_F(Startup, APendingErrorOfTheStepsIsLoggedOnce) {
    TestPrefix prefix;
    ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);
    auto hooks = rec.hooks();
    hooks.createAppVisor = [] { throw std::runtime_error("no plugin-host detector"); };
    ASSERT_EQ(MMain::Main(hooks), StartupEnd::MainFormClosed);
    const auto lines = readLog(prefix, kMainLog);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().description, "no plugin-host detector");
    EXPECT_EQ(lines.back().severity, "Error");
    EXPECT_EQ(lines.back().source, "MMain.Main");
    EXPECT_EQ(rec.steps, (std::vector<std::string>{"MainForm", "collect", "show"}));
}

} // namespace
