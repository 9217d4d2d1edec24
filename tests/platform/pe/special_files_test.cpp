// What the readers do with files an installer may name that are no plain
// executables: a pipe, a device that never ends, a folder, a huge file. Each
// ends at once, and the readers take no more memory than they need.

#include "platform/pe/pefile.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/core/lasterror.h"
#include "platform/files/files.h"
#include "tests/support/pe_writer.h"
#include "tests/support/test_prefix.h"

namespace fs = std::filesystem;
using namespace winsys;
using namespace testsupport;

namespace {

// "Z:\a\b" for the host path /a/b.
std::string onZ(const fs::path& host) {
    std::string s = "Z:" + host.string();
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

// The process's peak resident memory since the last reset, in KiB.
long peakKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}
void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Runs `f` and gives its time; the pipe gets a writer after `unblockAfter`,
// so that a reader that waits for one still comes back and fails the test
// instead of hanging it.
double secondsFor(const std::function<void()>& f, const fs::path& pipe) {
    std::atomic<bool> done = false;
    std::thread unblock([&] {
        for (int i = 0; i < 50 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (done) return;
        const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    });
    const auto start = std::chrono::steady_clock::now();
    f();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    done = true;
    unblock.join();
    return seconds;
}

TEST(SpecialFiles, PipesDevicesAndFoldersAreRefusedAtOnce) {
    TestPrefix prefix;
    const fs::path pipe = prefix.root() / "fifo";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    prefix.makeDir("C:\\folder.dll");
    struct Row {
        const char* label;
        std::string path;
    };
    const Row rows[] = {
        {"a pipe", onZ(pipe)},
        {"a device without end", "Z:\\dev\\zero"},
        {"a folder", "C:\\folder.dll"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        resetPeak();
        const long before = peakKiB();
        win::DWORD size = 1, error = 0;
        const double seconds = secondsFor(
            [&] {
                win::DWORD handle = 0;
                size = win::GetFileVersionInfoSize(row.path, &handle);
                error = win::GetLastError();
                std::string text;
                EXPECT_EQ(win::LoadString(row.path, 1, &text, 100), 0);
                EXPECT_FALSE(readPeHeaders(row.path));
                auto bytes = readFile(row.path, 10240);
                ASSERT_FALSE(bytes);
                EXPECT_EQ(bytes.error().code, win::ERROR_ACCESS_DENIED);
            },
            pipe);
        EXPECT_EQ(size, 0u);
        EXPECT_EQ(error, win::ERROR_ACCESS_DENIED);
        EXPECT_LT(seconds, 2.0);
        EXPECT_LT(peakKiB() - before, 32 * 1024);
    }
}

// A plugin of a few KiB followed by 300 MiB of nothing (a sparse file):
// its version is read from the first pages alone.
TEST(SpecialFiles, AHugeFileCostsOnlyThePartsThatAreRead) {
    TestPrefix prefix;
    PeSpec spec;
    spec.version = PeVersion{.tables = {{0x0409, 1200, {{"CompanyName", "Acme"}}}}};
    const fs::path host = prefix.host("C:\\big\\huge.dll");
    fs::create_directories(host.parent_path());
    writePe(host, spec);
    fs::resize_file(host, fs::file_size(host) + (std::uintmax_t{300} << 20));

    resetPeak();
    const long before = peakKiB();
    const auto start = std::chrono::steady_clock::now();
    auto info = readVersionInfo("C:\\big\\huge.dll");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(info) << info.error().message;
    ASSERT_FALSE(info->tables.empty());
    EXPECT_EQ(*info->find(info->tables[0].key, "CompanyName"), "Acme");
    EXPECT_LT(seconds, 2.0);
    EXPECT_LT(peakKiB() - before, 32 * 1024);
}

} // namespace
