// Start-up and the program's own folders: what killed runs left in the
// backup store goes at start-up and a sweep that cannot run is logged; a
// link where the data folder goes stops the program before anything is
// written through it.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/core/caxbackuper.h"
#include "app/core/mmain.h"
#include "tests/app/startup/startup_support.h"
#include "tests/support/com_library.h"
#include "tests/support/file_tree.h"
#include "tests/support/test_prefix.h"

using namespace sorlix;
using namespace startuptest;
using MMain::StartupEnd;
using testsupport::ComLibrary;
using testsupport::TestPrefix;
namespace fs = std::filesystem;

namespace {

const std::string kMainLog = std::string(kDataFolder) + "\\Vendrel Sorlix.log";
const std::string kStore = std::string(kDataFolder) + "\\Backup";
constexpr const char* kOrphan = "{00000000-1111-2222-3333-444444444444}";

class OwnFolders : public ::testing::Test {
protected:
    void TearDown() override {
        MMain::ReleaseProgramObjects();
        fs::remove_all(outside);
    }
    Recorder rec;
    fs::path outside = fs::temp_directory_path() / ("sorlix-own-" + std::to_string(::getpid()));
};

TEST_F(OwnFolders, StartUpRemovesTheCopiesOfABackupThatWasNeverIndexed) {
    TestPrefix prefix;
    ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);
    // What a delete killed before its index was written leaves.
    testsupport::writeHost(prefix.host(kStore + "\\IE\\" + kOrphan + "\\item\\big.bin"), std::string(1 << 16, 'z'));

    ASSERT_EQ(MMain::Main(rec.hooks()), StartupEnd::MainFormClosed);
    EXPECT_TRUE(fs::is_directory(prefix.host(kStore + "\\IE")));
    EXPECT_FALSE(fs::exists(prefix.host(kStore + "\\IE\\" + kOrphan)));
    for (const LogLine& line : readLog(prefix, kMainLog)) EXPECT_NE(line.severity, "Error") << line.description;
}

TEST_F(OwnFolders, ASweepThatCannotRunIsLogged) {
    TestPrefix prefix;
    ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);
    testsupport::writeHost(outside / kOrphan / "mine.txt", "the user's");
    fs::create_directories(prefix.host(kStore));
    fs::create_directory_symlink(outside, prefix.host(kStore + "\\IE"));

    ASSERT_EQ(MMain::Main(rec.hooks()), StartupEnd::MainFormClosed);
    EXPECT_EQ(testsupport::readHost(outside / kOrphan / "mine.txt"), "the user's");
    const std::string link = kStore + "\\IE";
    bool logged = false;
    for (const LogLine& line : readLog(prefix, kMainLog))
        if (line.description.find("'" + link + "' is a link") != std::string::npos) {
            logged = true;
            EXPECT_EQ(line.severity, "Error");
            EXPECT_EQ(line.source, "MMain.Main");
            EXPECT_EQ(line.description.rfind("Backup store: ", 0), 0u) << line.description;
        }
    EXPECT_TRUE(logged);
}

TEST_F(OwnFolders, ALinkWhereTheDataFolderGoesStopsTheProgram) {
    const struct Row {
        const char* label;
        std::string linked;
    } rows[] = {
        {"the data folder", kDataFolder},
        {"its Temp folder", std::string(kDataFolder) + "\\Temp"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        TestPrefix prefix;
        ComLibrary common(HALVENLIB_PATH), product(QUARNCUST_PATH);
        fs::remove_all(outside);
        testsupport::writeHost(outside / "notes.txt", "the user's");
        const fs::path link = prefix.host(row.linked);
        fs::create_directories(link.parent_path());
        fs::create_directory_symlink(outside, link);
        const auto before = testsupport::exactTreeOf(outside);
        Recorder r;

        EXPECT_EQ(MMain::Main(r.hooks()), StartupEnd::DataFolderUnusable);
        ASSERT_EQ(r.shown.size(), 1u);
        EXPECT_NE(r.shown[0].text.find("'" + row.linked + "' is a link"), std::string::npos) << r.shown[0].text;
        EXPECT_EQ(r.shown[0].title, "Vendrel Sorlix");
        EXPECT_EQ(r.steps, std::vector<std::string>{"message"});
        EXPECT_EQ(testsupport::exactTreeOf(outside), before);
        MMain::ReleaseProgramObjects();
    }
}

} // namespace
