// The elevation check through start-up, as one table: the Windows version,
// "EnableLUA", the token (administrator, elevation type and flag, its
// groups) and whether rundll32 is there, to what start-up then does and logs.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/core/mvista.h"

#include "platform/system/shell.h"
#include "tests/app/startup/startup_support.h"
#include "tests/support/com_library.h"
#include "tests/support/test_prefix.h"

using namespace sorlix;
using namespace startuptest;
using MMain::StartupEnd;

namespace {

const char kRefusal[] =
    "You do not have sufficient permissions to open Vendrel Sorlix. Please logon as administrator to open Vendrel "
    "Sorlix.";
const char kRundll[] = "C:\\windows\\system32\\rundll32.exe";
const char kParameters[] =
    "\"C:\\Program Files\\Vendrel Sorlix\\Sorlix.dll\", Sorlix C:\\Program Files\\Vendrel Sorlix";

struct Token {
    bool administrator;
    winsys::ElevationType type;
    bool elevated;
    std::vector<std::string> groups; // empty: the layer's default groups
};

const Token kFull{true, winsys::ElevationType::Full, true, {}};
const Token kLimited{true, winsys::ElevationType::Limited, false, {}};
const Token kStandardUser{false, winsys::ElevationType::Default, false, {}};
const Token kUnsplitElevated{true, winsys::ElevationType::Default, true, {}};
const Token kUnsplitNotElevated{true, winsys::ElevationType::Default, false, {}};
const Token kAdminGroupLast{true,
                            winsys::ElevationType::Default,
                            false,
                            {"S-1-1-0", "S-1-5-11", "S-1-5-32-545", "S-1-5-32-555", "S-1-5-4", "S-1-2-0",
                             "S-1-5-15", "S-1-5-113", "S-1-5-64-10", "S-1-16-12288", "S-1-5-32-544"}};

struct Row {
    const char* label;
    const char* version; // registry lines of the CurrentVersion key
    std::optional<int> enableLua;
    Token token;
    bool rundll32;
    StartupEnd end;
    std::vector<std::string> lines; // logged after the customisation object's line
    bool refused;                   // the permissions message was shown
    bool handedOver;                // the shell was asked for rundll32
};

const char k51[] = "\"CurrentVersion\"=\"5.1\"\n\"CurrentBuildNumber\"=\"2600\"\n";
const char k60[] = "\"CurrentVersion\"=\"6.0\"\n\"CurrentBuildNumber\"=\"6002\"\n";
const char k61[] = "\"CurrentVersion\"=\"6.1\"\n\"CurrentBuildNumber\"=\"7601\"\n";
const char k10[] = "\"CurrentVersion\"=\"6.3\"\n\"CurrentMajorVersionNumber\"=dword:0000000a\n"
                   "\"CurrentMinorVersionNumber\"=dword:00000000\n\"CurrentBuildNumber\"=\"19045\"\n";

const std::string kFailedHandOver =
    std::string("Cannot start '") + kRundll + "' " + kParameters + " for elevation.";

const Row kRows[] = {
    {"XP: nothing but the first line", k51, 1, kLimited, true, StartupEnd::MainFormClosed, {"IsVista=False"}, false, false},
    {"Windows 10 is not major version 6", k10, 1, kLimited, true, StartupEnd::MainFormClosed, {"IsVista=False"}, false, false},
    {"UAC value missing, administrator", k61, std::nullopt, kFull, true, StartupEnd::MainFormClosed,
     {"IsVista=True", "UACEnabled=False, IsAdmin=True, ElevationType=2"}, false, false},
    {"UAC off, administrator", k60, 0, kUnsplitNotElevated, true, StartupEnd::MainFormClosed,
     {"IsVista=True", "UACEnabled=False, IsAdmin=True, ElevationType=1"}, false, false},
    {"UAC off, standard user", k61, 0, kStandardUser, true, StartupEnd::Refused,
     {"IsVista=True", "UACEnabled=False, IsAdmin=False, ElevationType=1"}, true, false},
    {"UAC missing, standard user", k61, std::nullopt, kStandardUser, true, StartupEnd::Refused,
     {"IsVista=True", "UACEnabled=False, IsAdmin=False, ElevationType=1"}, true, false},
    {"UAC on, limited token", k60, 1, kLimited, true, StartupEnd::HandedOver,
     {"IsVista=True", "UACEnabled=True, IsAdmin=True, ElevationType=3"}, false, true},
    {"UAC on, full token", k61, 1, kFull, true, StartupEnd::MainFormClosed,
     {"IsVista=True", "UACEnabled=True, IsAdmin=True, ElevationType=2"}, false, false},
    {"UAC on, unsplit elevated token", k61, 1, kUnsplitElevated, true, StartupEnd::MainFormClosed,
     {"IsVista=True", "UACEnabled=True, IsAdmin=True, ElevationType=1"}, false, false},
    {"UAC on, standard user", k61, 1, kStandardUser, true, StartupEnd::HandedOver,
     {"IsVista=True", "UACEnabled=True, IsAdmin=False, ElevationType=1"}, false, true},
    {"UAC off, Administrators the last of many groups", k61, 0, kAdminGroupLast, true, StartupEnd::MainFormClosed,
     {"IsVista=True", "UACEnabled=False, IsAdmin=True, ElevationType=1"}, false, false},
    {"UAC on, limited token, rundll32 missing: the failure is logged", k61, 1, kLimited, false,
     StartupEnd::HandedOver,
     {"IsVista=True", "UACEnabled=True, IsAdmin=True, ElevationType=3", kFailedHandOver}, false, true},
};

TEST(ElevationCheck, Table) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.label);
        testsupport::TestPrefix prefix;
        testsupport::ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);
        std::string reg = "Windows Registry Editor Version 5.00\n\n"
                          "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion]\n" +
                          std::string(row.version);
        if (row.enableLua)
            for (const char* view : {"", "Wow6432Node\\"}) {
                char value[16];
                std::snprintf(value, sizeof value, "%08x", *row.enableLua);
                reg += std::string("\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\") + view +
                       "Microsoft\\Windows\\CurrentVersion\\Policies\\System]\n\"EnableLUA\"=dword:" + value + "\n";
            }
        prefix.importReg(reg);
        prefix.makeDir(kProgramFolder);
        if (row.rundll32)
            for (const char* f : {"C:\\windows\\system32\\rundll32.exe", "C:\\windows\\syswow64\\rundll32.exe"})
                prefix.writeFile(f, "MZ");
        winsys::ProcessToken& token = winsys::machine().token();
        token.administrator = row.token.administrator;
        token.elevationType = row.token.type;
        token.elevated = row.token.elevated;
        if (!row.token.groups.empty()) token.groupSids = row.token.groups;
        winsys::clearShellRequests();
        Recorder rec;

        EXPECT_EQ(MMain::Main(rec.hooks()), row.end);

        const auto lines = readLog(prefix, std::string(kDataFolder) + "\\short.log");
        ASSERT_GE(lines.size(), 4u);
        const auto texts = descriptions(lines);
        EXPECT_EQ(std::vector<std::string>(texts.begin() + 4, texts.end()), row.lines);
        for (std::size_t i = 4; i < lines.size(); ++i) {
            const bool failure = lines[i].description == kFailedHandOver;
            EXPECT_EQ(lines[i].severity, failure ? "Error" : "Trace");
            EXPECT_EQ(lines[i].number, failure ? "2" : "");
            EXPECT_EQ(lines[i].source, failure ? "MVista.CheckElevation" : "MVista");
        }
        if (row.refused) {
            ASSERT_EQ(rec.shown.size(), 1u);
            EXPECT_EQ(rec.shown[0].text, kRefusal);
            EXPECT_EQ(rec.shown[0].title, "Vendrel Sorlix");
            EXPECT_EQ(rec.shown[0].icon, MessageIcon::Exclamation);
        } else {
            EXPECT_TRUE(rec.shown.empty());
        }
        const auto requests = winsys::recordedShellRequests();
        if (row.handedOver)
            EXPECT_EQ(requests, (std::vector<winsys::ShellRequest>{{"runas", kRundll, kParameters, "", 1}}));
        else
            EXPECT_TRUE(requests.empty());
        const bool wentOn = row.end == StartupEnd::MainFormClosed;
        const std::vector<std::string> steps =
            wentOn ? std::vector<std::string>{"AppVisor", "MainForm", "collect", "show"}
                   : std::vector<std::string>(row.refused ? 1 : 0, "message");
        EXPECT_EQ(rec.steps, steps);
        EXPECT_EQ(DB != nullptr, wentOn);
        MMain::ReleaseProgramObjects();
    }
}

// The short form of the program folder: the path itself here, whole however
// long, and the long path when there is no short one.
TEST(ElevationCheck, ShortPath) {
    testsupport::TestPrefix prefix;
    std::string deep = "C:\\deep";
    for (int i = 0; i < 5; ++i) deep += "\\" + std::string(240, char('a' + i));
    prefix.makeDir(deep);
    prefix.makeDir(kProgramFolder);
    const struct {
        const char* label;
        std::string path;
    } rows[] = {
        {"existing folder", kProgramFolder},
        {"longer than 1000 characters", deep},
        {"missing folder", "C:\\nowhere\\Vendrel Sorlix"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(MVista::GetShortPath(row.path), row.path);
    }
}

} // namespace
