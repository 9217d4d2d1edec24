// The shared helpers: JoinPath, copying version fields into records, the
// logged failure of AddFileInfoToResultNode, and the counted redirection
// switch (only the outer pair reaches the library; system32 vs syswow64).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/core/mmainhelpers.h"

#include "app/core/globals.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_error.h"
#include "platform/com/object.h"
#include "platform/com/variant.h"
#include "platform/files/files.h"
#include "tests/support/com_library.h"
#include "tests/support/fake_log.h"
#include "tests/support/pe_writer.h"
#include "tests/support/records.h"
#include "tests/support/test_prefix.h"

using namespace sorlix;
using namespace halvenlib;
using winsys::com::ComPtr;

namespace {

using testsupport::FakeLog;
using testsupport::LogLine;
using testsupport::newParams;
using testsupport::paramText;

LONG count(_CParams* p) {
    LONG n = -1;
    p->get_Count(&n);
    return n;
}

class Helpers : public ::testing::Test {
protected:
    Helpers() { Wow64RedirectionCount = 0; }
    ~Helpers() override { Log.reset(); }

    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH};
};

TEST(JoinPath, Cases) {
    struct Case {
        const char* folder;
        const char* name;
        const char* joined;
    } cases[] = {
        {"", "a.dll", "a.dll"},
        {"", "\\a.dll", "\\a.dll"},
        {"C:\\x\\", "a.dll", "C:\\x\\a.dll"},
        {"C:\\x", "a.dll", "C:\\x\\a.dll"},
        {"C:\\x\\", "\\a.dll", "C:\\x\\\\a.dll"},
        {"C:\\x/", "a.dll", "C:\\x/\\a.dll"},
        {"C:\\x", "", "C:\\x\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + " + " + c.name);
        EXPECT_EQ(MMain::JoinPath(c.folder, c.name), c.joined);
    }
}

TEST_F(Helpers, AddParamFromCollectionTrimsAndSkipsBlank) {
    ComPtr<_CCollection> source;
    ASSERT_EQ(winsys::com::createInstance(CLSID_CCollection, &source), win::S_OK);
    for (auto [key, text] : {std::pair{"CompanyName", "  Acme Corp  "}, std::pair{"ProductName", "   "}}) {
        VARIANT item = winsys::com::makeText(text), k = winsys::com::makeText(key);
        ASSERT_EQ(source->Add(&item, &k, nullptr, nullptr), win::S_OK);
    }
    ComPtr<_CParams> target = newParams();
    MMain::AddParamFromCollection(source.get(), target.get(), "CompanyName", "manufacturer");
    MMain::AddParamFromCollection(source.get(), target.get(), "ProductName", "originalName");
    MMain::AddParamFromCollection(source.get(), target.get(), "LegalCopyright", "copyright");
    EXPECT_EQ(paramText(target.get(), "manufacturer"), "Acme Corp");
    EXPECT_EQ(count(target.get()), 1);

    try {
        MMain::AddParamFromCollection(source.get(), target.get(), "CompanyName", "manufacturer");
        ADD_FAILURE() << "a duplicate name must reach the caller";
    } catch (const winsys::com::ComError& e) {
        EXPECT_EQ(e.number(), 457);
    }
}

TEST_F(Helpers, AddFileInfoToResultNode) {
    auto pe = [&](const char* path, std::vector<std::pair<std::string, std::string>> strings) {
        testsupport::PeSpec spec;
        spec.version = testsupport::PeVersion{.tables = {{0x0409, 1200, std::move(strings)}}};
        testsupport::writePe(prefix.host(path), spec);
    };
    pe("C:\\x\\full.dll", {{"CompanyName", " Acme "}, {"FileVersion", "1.0"}, {"ProductVersion", "2.0"}});
    pe("C:\\x\\fileversion.dll", {{"FileVersion", "1.5"}});
    pe("C:\\x\\emptycompany.dll", {{"CompanyName", ""}, {"ProductVersion", "3"}});
    pe("C:\\x\\none.dll", {{"ProductName", "P"}});

    struct Case {
        const char* file;
        const char* manufacturer;
        const char* version;
    } cases[] = {
        {"C:\\x\\full.dll", " Acme ", "2.0"},
        {"C:\\x\\fileversion.dll", "<missing>", "1.5"},
        {"C:\\x\\emptycompany.dll", "", "3"},
        {"C:\\x\\none.dll", "<missing>", ""},
        {"C:\\x\\missing.dll", "<missing>", ""},
    };
    ComPtr<FakeLog> log = winsys::com::create<FakeLog>();
    Log = ComPtr<_axLog>(log.get());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ComPtr<_CNode> node;
        ASSERT_EQ(winsys::com::createInstance(CLSID_CNode, &node), win::S_OK);
        MMain::AddFileInfoToResultNode(node.get(), c.file);
        ComPtr<_CParams> params;
        ASSERT_EQ(node->get_params(params.put()), win::S_OK);
        EXPECT_EQ(paramText(params.get(), "manufacturer"), c.manufacturer);
        EXPECT_EQ(paramText(params.get(), "version"), c.version);
    }
    EXPECT_TRUE(log->lines.empty());

    // A record that already has "version": the error is logged, the
    // manufacturer added before it stays.
    ComPtr<_CNode> node;
    ASSERT_EQ(winsys::com::createInstance(CLSID_CNode, &node), win::S_OK);
    ComPtr<_CParams> params;
    ASSERT_EQ(node->get_params(params.put()), win::S_OK);
    VARIANT name = winsys::com::makeText("version"), value = winsys::com::makeText("old");
    ComPtr<_CParam> added;
    ASSERT_EQ(params->Add(&name, &value, added.put()), win::S_OK);
    MMain::AddFileInfoToResultNode(node.get(), "C:\\x\\full.dll");
    EXPECT_EQ(paramText(params.get(), "manufacturer"), " Acme ");
    EXPECT_EQ(paramText(params.get(), "version"), "old");
    ASSERT_EQ(log->lines.size(), 1u);
    EXPECT_EQ(log->lines[0].number, 457);
    EXPECT_EQ(log->lines[0].severity, sevError);
    EXPECT_EQ(log->lines[0].source, "MMain.AddFileInfoToResultNode");
}

// True when C:\windows\system32 shows the 64-bit folder.
bool sees64BitSystem() { return win::GetFileAttributes("C:\\windows\\system32\\only64.txt") != win::INVALID_FILE_ATTRIBUTES; }

TEST_F(Helpers, RedirectionSwitchNestsByCount) {
    prefix.writeFile("C:\\windows\\system32\\only64.txt", "");
    enum Op { Disable, Revert };
    struct Step {
        const char* label;
        Op op;
        LONG countAfter;
        bool sees64;
    } steps[] = {
        {"first disable switches off", Disable, 1, true},
        {"nested disable", Disable, 2, true},
        {"inner revert keeps it off", Revert, 1, true},
        {"last revert switches on", Revert, 0, false},
        {"revert without a disable", Revert, -1, false},
        {"disable back to zero calls nothing", Disable, 0, false},
        {"next disable switches off", Disable, 1, true},
        {"and its revert on", Revert, 0, false},
    };
    ASSERT_FALSE(sees64BitSystem());
    for (const Step& s : steps) {
        SCOPED_TRACE(s.label);
        s.op == Disable ? MMain::DisableWow64Redirection() : MMain::RevertWow64Redirection();
        EXPECT_EQ(Wow64RedirectionCount, s.countAfter);
        EXPECT_EQ(sees64BitSystem(), s.sees64);
    }
}

TEST(RedirectionSwitch, CountsOn32BitWindowsWhereThereIsNothingToSwitch) {
    testsupport::TestPrefix prefix(testsupport::TestPrefixOptions{.arch = winsys::Arch::Win32});
    testsupport::ComLibrary common{HALVENLIB_PATH};
    prefix.writeFile("C:\\windows\\system32\\native.txt", "");
    Wow64RedirectionCount = 0;
    MMain::DisableWow64Redirection();
    EXPECT_EQ(Wow64RedirectionCount, 1);
    EXPECT_NE(win::GetFileAttributes("C:\\windows\\system32\\native.txt"), win::INVALID_FILE_ATTRIBUTES);
    MMain::RevertWow64Redirection();
    EXPECT_EQ(Wow64RedirectionCount, 0);
    EXPECT_NE(win::GetFileAttributes("C:\\windows\\system32\\native.txt"), win::INVALID_FILE_ATTRIBUTES);
}

} // namespace
