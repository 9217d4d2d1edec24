// ShellExecute on the prefix: what it answers for programs, missing files
// and verbs it has no use for, that every request is recorded as made, and
// that an address is opened only when the host's opener says it could.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
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

// A host opener of the test's own on PATH: it writes its argument into a
// file and then behaves as its body says.
class Opener : public ::testing::Test {
protected:
    Opener() : folder_(std::filesystem::temp_directory_path() / ("sorlix-opener-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(folder_);
        const char* path = std::getenv("PATH");
        savedPath_ = path ? path : "";
        ::setenv("PATH", folder_.c_str(), 1); // nothing of the host's
    }
    ~Opener() override {
        ::setenv("PATH", savedPath_.c_str(), 1);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    void install(const std::string& body) {
        const auto script = folder_ / "xdg-open";
        std::ofstream(script) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << argumentFile().string() << "'\n" << body << "\n";
        ::chmod(script.c_str(), 0755);
    }
    std::filesystem::path argumentFile() const { return folder_ / "argument"; }
    std::string argument() const {
        std::ifstream in(argumentFile());
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::filesystem::path folder_;
    std::string savedPath_;
};

TEST_F(Opener, AnAddressIsOpenedOnlyWhenTheOpenerCouldOpenIt) {
    const std::string address = "https://www.example.com/search?hl=en&q=a%20b";
    const struct {
        const char* label;
        const char* body;
        std::intptr_t answer;
    } rows[] = {
        {"opened", "exit 0", win::kShellStarted},
        {"no program for it", "exit 3", win::SE_ERR_NOASSOC},
        {"the program failed", "exit 4", win::SE_ERR_NOASSOC},
        // A browser started in the foreground keeps the opener running.
        {"still running", "/bin/sleep 8", win::kShellStarted},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.label);
        std::filesystem::remove(argumentFile());
        install(r.body);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(win::ShellExecute("open", address, "", "", win::SW_SHOWNORMAL), r.answer);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
        EXPECT_EQ(argument(), address);
    }
    // No opener at all.
    std::filesystem::remove(argumentFile().parent_path() / "xdg-open");
    EXPECT_EQ(win::ShellExecute("open", address, "", "", win::SW_SHOWNORMAL), win::SE_ERR_NOASSOC);
    winsys::clearShellRequests();
}

} // namespace
