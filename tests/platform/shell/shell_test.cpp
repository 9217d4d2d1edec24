// ShellExecute on the prefix: what it answers for programs, missing files
// and verbs it has no use for, and that every request is recorded as made.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/system/shell.h"
#include "tests/support/test_prefix.h"

namespace {

TEST(ShellExecute, AnswersAndRecordsEachRequest) {
    testsupport::TestPrefix prefix;
    prefix.writeFile("C:\\Program Files\\Tool\\tool.exe", "MZ");
    prefix.writeFile("C:\\Program Files\\Tool\\setup.CMD", "@echo off");
    struct Row {
        const char* label;
        const char* verb;
        std::string file;
        std::intptr_t answer;
    };
    const Row rows[] = {
        {"runas on a program", "runas", "C:\\Program Files\\Tool\\tool.exe", win::kShellStarted},
        {"open on a program", "open", "C:\\Program Files\\Tool\\tool.exe", win::kShellStarted},
        {"no verb is open", "", "C:\\Program Files\\Tool\\tool.exe", win::kShellStarted},
        {"verb and extension in any case", "RunAs", "C:\\program files\\tool\\SETUP.cmd", win::kShellStarted},
        {"missing file", "runas", "C:\\Program Files\\Tool\\gone.exe", win::SE_ERR_FNF},
        {"missing folder", "open", "C:\\Nowhere\\tool.exe", win::SE_ERR_PNF},
        {"a verb we do not offer", "print", "C:\\Program Files\\Tool\\tool.exe", win::SE_ERR_NOASSOC},
        {"runas on a folder", "runas", "C:\\Program Files\\Tool", win::SE_ERR_NOASSOC},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        winsys::clearShellRequests();
        EXPECT_EQ(win::ShellExecute(row.verb, row.file, "-x \"a b\"", "C:\\", win::SW_SHOWNORMAL), row.answer);
        EXPECT_EQ(winsys::recordedShellRequests(),
                  (std::vector<winsys::ShellRequest>{{row.verb, row.file, "-x \"a b\"", "C:\\", win::SW_SHOWNORMAL}}));
    }
    winsys::clearShellRequests();
}

} // namespace
