// The details rows built from hand-made add-on records, for every add-on
// type: the Internet Explorer kinds with a broken (empty "dLL") and a
// working registration, the optional rows of the other kinds with the file
// shown by its full name, values kept as they are, and the failure for a
// record that lacks a key an unconditional row reads.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/core/minfocollector.h"

#include "platform/com/com_error.h"
#include "tests/app/collection/collection_support.h"
#include "tests/support/com_library.h"
#include "tests/support/program_objects.h"
#include "tests/support/test_prefix.h"

using namespace collectiontest;
using sorlix::MInfoCollector::BuildDetails;

namespace {

class Details : public ::testing::Test {
protected:
    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common{HALVENLIB_PATH}, product{QUARNCUST_PATH};
    testsupport::ProgramObjects program;
};

// What the Internet Explorer enumerator gives each kind, file aside.
const Rows kToolbar = {{"originalName", "Bar"}, {"manufacturer", "Acme"}, {"scope", "Everyone"},
                       {"version", "1.0"},      {"description", "A bar"}};
const Rows kBar = {{"manufacturer", "Acme"}, {"description", "A bar"}, {"type", "Vertical Explorer Bar"}};
const Rows kBHO = {{"manufacturer", "Acme"}, {"iD", "{11111111-2222-3333-4444-555555555555}"}};

Rows with(Rows r, const std::string& file) {
    r.insert(r.begin(), {"dLL", file});
    return r;
}

// Every key any enumerator sets, so that each kind shows exactly its own rows.
const Rows kEverything = {
    {"originalName", "Name"},       {"dLL", "\\??\\C:\\plug\\np.dll"},
    {"description", "Desc"},        {"manufacturer", "Maker"},
    {"copyright", "(c) Maker"},     {"homepageURL", "http://home"},
    {"updateInfoURL", "http://upd"}, {"permissions", "tabs, cookies"},
    {"iD", "ext@maker"},            {"license", "MIT"},
    {"scope", "Everyone"},          {"type", "Kind"},
    {"version", "2.0"},             {"websearchName", "Name"},
};

// The rows that kEverything gives the kinds that several types share.
const Rows kPluginDetails = {
    {"File", "C:\\plug\\np.dll"}, {"Description", "Desc"}, {"Manufacturer", "Maker"}, {"Copyright", "(c) Maker"}};
const Rows kMozillaDetails = {{"Location", "C:\\plug\\np.dll"},
                              {"Manufacturer", "Maker"},
                              {"Homepage", "http://home"},
                              {"Update Info", "http://upd"}};
const Rows kOperaDetails = {{"Location", "C:\\plug\\np.dll"}, {"Manufacturer", "Maker"}, {"License", "MIT"}};

TEST_F(Details, RowsOfEveryTypeInDisplayOrder) {
    const std::string id = "{11111111-2222-3333-4444-555555555555}";
    const std::string file = "C:\\x\\bar.dll";
    struct Case {
        const char* label;
        win::LONG type;
        Rows record;
        Rows details;
    } cases[] = {
        // Internet Explorer, broken and working, 32-bit and 64-bit view.
        {"toolbar broken", 1, with(kToolbar, ""), {{"File", kBrokenToolbar}, {"User", "Everyone"}}},
        {"toolbar", 1, with(kToolbar, file), {{"File", file}, {"Manufacturer", "Acme"}, {"User", "Everyone"}}},
        {"toolbar without maker or scope", 6, {{"dLL", file}}, {{"File", file}}},
        {"button broken", 2, with(kToolbar, ""), {{"File", kBrokenButton}, {"User", "Everyone"}}},
        {"button", 7, with(kToolbar, file), {{"File", file}, {"Manufacturer", "Acme"}, {"User", "Everyone"}}},
        {"menu broken", 8, with(kToolbar, ""), {{"File", kBrokenMenu}, {"User", "Everyone"}}},
        {"menu", 3, with(kToolbar, file), {{"File", file}, {"Manufacturer", "Acme"}, {"User", "Everyone"}}},
        {"explorer bar broken", 4, with(kBar, ""), {{"File", kBrokenBar}}},
        {"explorer bar", 9, with(kBar, file),
         {{"File", file}, {"Manufacturer", "Acme"}, {"Type", "Vertical Explorer Bar"}}},
        {"helper object broken", 10, with(kBHO, ""), {{"ID", id}, {"File", kBrokenBHO}}},
        {"helper object", 5, with(kBHO, file), {{"ID", id}, {"File", file}, {"Manufacturer", "Acme"}}},
        // The other kinds: rows only for keys present, files by their full name.
        {"shared 32-bit plugin", 11, kEverything, kPluginDetails},
        {"plugin without copyright", 12, {{"dLL", "C:\\p.dll"}, {"description", "D"}},
         {{"File", "C:\\p.dll"}, {"Description", "D"}}},
        {"Firefox extension", 13, kEverything, kMozillaDetails},
        {"Firefox plugin", 14, kEverything, kPluginDetails},
        {"Waterfox extension", 15, kEverything, kMozillaDetails},
        {"Waterfox plugin", 16, kEverything, kPluginDetails},
        {"Chrome extension", 17, kEverything, {{"Location", "C:\\plug\\np.dll"}, {"Permissions", "tabs, cookies"}}},
        {"Chrome plugin", 18, kEverything, kPluginDetails},
        {"Safari extension", 19, kEverything,
         {{"Location", "C:\\plug\\np.dll"}, {"Manufacturer", "Maker"}, {"Id", "ext@maker"},
          {"Homepage", "http://home"}, {"Update Info", "http://upd"}}},
        {"Safari plugin", 20, kEverything, kPluginDetails},
        {"Opera 32-bit extension", 21, kEverything, kOperaDetails},
        {"Opera 32-bit plugin", 22, kEverything, kPluginDetails},
        {"Opera 64-bit extension", 23, kEverything, kOperaDetails},
        {"Opera 64-bit plugin", 24, kEverything, kPluginDetails},
        {"Chrome extension without keys", 17, {{"originalName", "x"}}, {}},
        {"Safari extension id only", 19, {{"iD", "ext@maker"}}, {{"Id", "ext@maker"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const auto details = BuildDetails(c.type, record(c.record).get());
        ASSERT_TRUE(details);
        EXPECT_EQ(rows(details.get()), c.details);
    }
    EXPECT_TRUE(program.log->lines.empty());
}

TEST_F(Details, ValuesKeptAsTheRecordHoldsThem) {
    const std::string multiLine = "Acme Corp.\r\nAll rights reserved.\n  ";
    struct Case {
        const char* label;
        win::LONG type;
        Rows record;
        Rows details;
    } cases[] = {
        {"toolbar", 1, {{"dLL", "C:\\a.dll"}, {"manufacturer", multiLine}, {"scope", " "}},
         {{"File", "C:\\a.dll"}, {"Manufacturer", multiLine}, {"User", " "}}},
        {"plugin", 11, {{"description", multiLine}, {"copyright", ""}},
         {{"Description", multiLine}, {"Copyright", ""}}},
        {"Opera extension", 21, {{"license", multiLine}}, {{"License", multiLine}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(rows(BuildDetails(c.type, record(c.record).get()).get()), c.details);
    }
}

TEST_F(Details, MissingKeyOfAnUnconditionalRowFails) {
    struct Case {
        const char* label;
        win::LONG type;
        Rows record;
    } cases[] = {
        {"toolbar without dLL", 1, {{"scope", "Everyone"}}},
        {"broken toolbar without scope", 6, {{"dLL", ""}}},
        {"broken menu without scope", 3, {{"dLL", ""}}},
        {"helper object without iD", 5, {{"dLL", "C:\\a.dll"}}},
        {"explorer bar without type", 9, {{"dLL", "C:\\a.dll"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        try {
            BuildDetails(c.type, record(c.record).get());
            ADD_FAILURE() << "no error";
        } catch (const winsys::com::ComError& e) {
            EXPECT_EQ(e.number(), 5);
        }
    }
}

} // namespace
