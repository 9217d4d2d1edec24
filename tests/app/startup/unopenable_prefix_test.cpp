// The program on a prefix it cannot open, through its real start-up: the
// reason, naming the folder, is shown in a message box and written to
// stderr, and the program ends with code 2. A prefix without user.reg is
// named as such, not as one whose libraries are unregistered.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/main/program.h"
#include "platform/com/class_registry.h"
#include "platform/core/machine.h"
#include "tests/support/com_library.h"
#include "tests/support/test_prefix.h"

namespace {

namespace fs = std::filesystem;

void ensureApplication() {
    if (QApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "sorlix-startup-test";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives until the process ends
}

struct Box {
    std::string text, title;
};

struct Started {
    int code = -1;
    std::vector<Box> boxes;
    std::string stderrText;
};

// RunProgram with WINEPREFIX at `prefix`, each message box answered with OK.
Started runOn(const fs::path& prefix) {
    Started run;
    const char* old = std::getenv("WINEPREFIX");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("WINEPREFIX", prefix.c_str(), 1);
    winsys::setMachine(nullptr); // as in a new process
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            run.boxes.push_back({box->text().toStdString(), box->windowTitle().toStdString()});
            box->button(QMessageBox::Ok)->click();
        }
    });
    answer.start();
    ::testing::internal::CaptureStderr();
    run.code = sorlix::app::RunProgram();
    run.stderrText = ::testing::internal::GetCapturedStderr();
    answer.stop();
    winsys::com::releaseApplicationObjects();
    winsys::setMachine(nullptr);
    if (saved) ::setenv("WINEPREFIX", saved->c_str(), 1);
    else ::unsetenv("WINEPREFIX");
    return run;
}

void writeText(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

TEST(UnopenablePrefix, IsShownInABoxAndOnStderrAndEndsWithCodeTwo) {
    ensureApplication();
    struct Row {
        const char* label;
        // Makes the prefix from a fresh one whose libraries are registered;
        // false when the host cannot make it here.
        std::function<bool(const fs::path&)> spoil;
        std::string folder; // below the fresh prefix; empty: the prefix itself
        std::string says;   // after "Windows prefix '<folder>'"
    };
    const Row rows[] = {
        {"a folder that does not exist", [](const fs::path&) { return true; }, "nowhere", " does not exist."},
        {"an empty folder", [](const fs::path& p) { return fs::create_directory(p / "empty"); }, "empty",
         " is empty: it is not a Wine prefix."},
        {"a file", [](const fs::path&) { return true; }, "system.reg", " is not a folder."},
        {"a folder that is no Wine prefix", [](const fs::path&) { return true; }, "drive_c",
         " has no system.reg: it is not a Wine prefix."},
        {"system.reg a folder",
         [](const fs::path& p) { return fs::remove(p / "system.reg") && fs::create_directory(p / "system.reg"); }, "",
         ": system.reg cannot be read."},
        {"system.reg no registry file", [](const fs::path& p) { return writeText(p / "system.reg", "hello\n"), true; },
         "", ": system.reg is not a Wine registry file."},
        {"without user.reg", [](const fs::path& p) { return fs::remove(p / "user.reg"); }, "", " has no user.reg."},
        {"user.reg a folder",
         [](const fs::path& p) { return fs::remove(p / "user.reg") && fs::create_directory(p / "user.reg"); }, "",
         ": user.reg cannot be read."},
        {"user.reg without read permission",
         [](const fs::path& p) { return ::chmod((p / "user.reg").c_str(), 0) == 0 && ::geteuid() != 0; }, "",
         ": user.reg cannot be read."},
        {"user.reg no registry file", [](const fs::path& p) { return writeText(p / "user.reg", ""), true; }, "",
         ": user.reg is not a Wine registry file."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        testsupport::TestPrefix prefix;
        testsupport::ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);
        const fs::path folder = row.folder.empty() ? prefix.root() : prefix.root() / row.folder;
        if (!row.spoil(prefix.root())) continue; // e.g. permissions do not hold for root
        const Started run = runOn(folder);
        EXPECT_EQ(run.code, 2);
        const std::string text = "Windows prefix '" + folder.string() + "'" + row.says;
        ASSERT_EQ(run.boxes.size(), 1u);
        EXPECT_EQ(run.boxes[0].text, text);
        EXPECT_EQ(run.boxes[0].title, "Vendrel Sorlix");
        // (Qt's offscreen platform may add lines of its own.)
        EXPECT_EQ(run.stderrText.substr(0, run.stderrText.find('\n') + 1), "sorlix: " + text + "\n");
    }
}

} // namespace
