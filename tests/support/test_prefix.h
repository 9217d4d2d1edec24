#pragma once
// A throw-away Windows machine for tests: a prefix in a temporary folder with
// Wine's layout, made the current machine while the object lives.
//
//   TestPrefix p;                         // 64-bit Windows, user "tester"
//   p.writeFile("C:\\x\\a.txt", "hello"); // through the host path
//   p.importReg(R"(Windows Registry Editor Version 5.00 ...)");

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/core/machine.h"

namespace testsupport {

struct TestPrefixOptions {
    winsys::Arch arch = winsys::Arch::Win64;
    std::string userName = "tester";
    std::string userSid = "S-1-5-21-1111111111-2222222222-3333333333-1000";
    bool makeCurrent = true; // install as winsys::machine()
};

class TestPrefix {
public:
    TestPrefix() : TestPrefix(TestPrefixOptions{}) {}
    explicit TestPrefix(const TestPrefixOptions& options);
    ~TestPrefix();
    TestPrefix(const TestPrefix&) = delete;
    TestPrefix& operator=(const TestPrefix&) = delete;

    const std::filesystem::path& root() const { return root_; }
    const TestPrefixOptions& options() const { return options_; }

    // Host path of a "C:\..." path in this prefix (no case folding, no
    // redirection: the test says exactly where a file lies).
    std::filesystem::path host(std::string_view windowsPath) const;

    // Writes a file (creating its folders) at a Windows path of drive C:.
    void writeFile(std::string_view windowsPath, std::string_view content) const;
    void makeDir(std::string_view windowsPath) const;
    // Copies a host folder with all below it to a Windows folder of drive
    // C: (merging with what is there), every copy writable, so that a test
    // can remove it: fixtures are read-only.
    void copyIn(const std::filesystem::path& hostFolder, std::string_view windowsFolder) const;
    // Marks a file read-only as the layer sees it.
    void setReadOnly(std::string_view windowsPath, bool readOnly = true) const;

    // Imports registry export text (version 5 or REGEDIT4) into the
    // machine's registry and writes the hives; a bad text fails the test.
    void importReg(std::string_view text) const;

    // Opens the prefix again as a fresh machine (as a new process would).
    void reopen();

private:
    std::filesystem::path root_;
    TestPrefixOptions options_;
};

// `text` as it stands between the quotes of a registry export's string
// value: every "\" doubled.
std::string regText(std::string_view text);

} // namespace testsupport
