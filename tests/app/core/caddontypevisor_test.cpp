// The add-on type and set tables: every stored name and caption of the 24
// types, the 12 sets' member lists and flags, and the programming-error
// stop for numbers outside the ranges.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/core/caddontypevisor.h"
#include "platform/com/com_error.h"
#include "platform/com/variant.h"
#include "tests/support/com_library.h"
#include "tests/support/test_prefix.h"

using namespace sorlix;
using winsys::com::ComPtr;

namespace {

struct TypeCase {
    enAddonType member;
    LONG number;
    const char* backup;
    const char* name;
    const char* title;
    const char* node;
    const char* nodeWithBrowser;
    bool only64;
};

const TypeCase kTypeCases[] = {
    {atIE32Toolbar, 1, "IE32 Toolbar", "toolbar", "Toolbar", "Toolbars", "Internet Explorer (32-bit) Toolbars", false},
    {atIE32ToolbarButton, 2, "IE32 Toolbar Button and Menu", "toolbar button and related menu",
     "Toolbar Button and Related Menu", "Toolbar Buttons and Related Menus",
     "Internet Explorer (32-bit) Toolbar Buttons and Related Menus", false},
    {atIE32MenuExtension, 3, "IE32 Menu Extension", "menu extension", "Menu Extension", "Menu Extensions",
     "Internet Explorer (32-bit) Menu Extensions", false},
    {atIE32ExplorerBar, 4, "IE32 Explorer Bar", "explorer bar", "Explorer Bar", "Explorer Bars",
     "Internet Explorer (32-bit) Explorer Bars", false},
    {atIE32BHO, 5, "IE32 BHO", "browser helper object", "BHO", "Browser Helper Objects",
     "Internet Explorer (32-bit) Browser Helper Objects", false},
    {atIE64Toolbar, 6, "IE64 Toolbar", "toolbar", "Toolbar", "Toolbars", "Internet Explorer (64-bit) Toolbars", true},
    {atIE64ToolbarButton, 7, "IE64 Toolbar Button and Menu", "toolbar button and related menu",
     "Toolbar Button and Related Menu", "Toolbar Buttons and Related Menus",
     "Internet Explorer (64-bit) Toolbar Buttons and Related Menus", true},
    {atIE64MenuExtension, 8, "IE64 Menu Extension", "menu extension", "Menu Extension", "Menu Extensions",
     "Internet Explorer (64-bit) Menu Extensions", true},
    {atIE64ExplorerBar, 9, "IE64 Explorer Bar", "explorer bar", "Explorer Bar", "Explorer Bars",
     "Internet Explorer (64-bit) Explorer Bars", true},
    {atIE64BHO, 10, "IE64 BHO", "browser helper object", "BHO", "Browser Helper Objects",
     "Internet Explorer (64-bit) Browser Helper Objects", true},
    {atShared32Plugin, 11, "Shared32 Plugin", "plugin", "Plugin",
     "Shared Firefox (32-bit), Chrome, Safari and Opera Plugins",
     "Shared Firefox (32-bit), Chrome, Safari and Opera Plugins", false},
    {atShared64Plugin, 12, "Shared64 Plugin", "plugin", "Plugin",
     "Shared Firefox (64-bit) Waterfox and Opera (64-bit) Plugins",
     "Shared Firefox (64-bit) and Opera (64-bit) Plugins", true},
    {atFirefox32Extension, 13, "Firefox32 Extension", "extension", "Extension", "Extensions",
     "Firefox (32-bit) Extensions", false},
    {atFirefox32Plugin, 14, "Firefox32 Plugin", "plugin", "Plugin", "Plugins", "Firefox (32-bit) Plugins", false},
    {atWaterfox64Extension, 15, "Waterfox64 Extension", "extension", "Extension", "Extensions",
     "Firefox (64-bit) Waterfox Extensions", true},
    {atWaterfox64Plugin, 16, "Waterfox64 Plugin", "plugin", "Plugin", "Plugins", "Firefox (64-bit) Waterfox Plugins",
     true},
    {atChromeExtension, 17, "Chrome Extension", "extension", "Extension", "Extensions", "Chrome Extensions", false},
    {atChromePlugin, 18, "Chrome Plugin", "plugin", "Plugin", "Plugins", "Chrome Plugins", false},
    {atSafariExtension, 19, "Safari Extension", "extension", "Extension", "Extensions", "Safari Extensions", false},
    {atSafariPlugin, 20, "Safari Plugin", "plugin", "Plugin", "Plugins", "Safari Plugins", false},
    {atOpera32Extension, 21, "Opera32 Extension", "extension", "Extension", "Extensions", "Opera (32-bit) Extensions",
     false},
    {atOpera32Plugin, 22, "Opera32 Plugin", "plugin", "Plugin", "Plugins", "Opera (32-bit) Plugins", false},
    {atOpera64Extension, 23, "Opera64 Extension", "extension", "Extension", "Extensions", "Opera (64-bit) Extensions",
     true},
    {atOpera64Plugin, 24, "Opera64 Plugin", "plugin", "Plugin", "Plugins", "Opera (64-bit) Plugins", true},
};

TEST(AddonTypeVisor, EveryTypeHasItsNamesCaptionsAndFlag) {
    static_assert(std::size(kTypeCases) == 24);
    const CAddonTypeVisor visor;
    for (const TypeCase& c : kTypeCases) {
        SCOPED_TRACE("type " + std::to_string(c.number));
        EXPECT_EQ(c.member, c.number);
        EXPECT_EQ(visor.BackupObjectName(c.number), c.backup);
        EXPECT_EQ(visor.AddonTypeName(c.number), c.name);
        EXPECT_EQ(visor.AddonTypeTitleName(c.number), c.title);
        EXPECT_EQ(visor.TreeViewNodeName(c.number), c.node);
        EXPECT_EQ(visor.TreeViewNodeNameIncludingBrowser(c.number), c.nodeWithBrowser);
        EXPECT_EQ(visor.AddonTypeIs64bitOnly(c.number), c.only64);
    }
}

TEST(AddonTypeVisor, BackupObjectNameOfAnUnknownTypeIsEmpty) {
    const CAddonTypeVisor visor;
    for (LONG t : {0, -1, 25, 1000}) EXPECT_EQ(visor.BackupObjectName(t), "") << t;
}

struct SetCase {
    enAddonSet member;
    LONG number;
    std::vector<LONG> types;
    bool multibrowser;
};

TEST(AddonTypeVisor, EverySetListsItsTypesInOrderWithItsFlag) {
    const SetCase cases[] = {
        {asAll, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}, true},
        {asIE, 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, true},
        {asIE32, 2, {1, 2, 3, 4, 5}, false},
        {asIE64, 3, {6, 7, 8, 9, 10}, false},
        {asFirefox, 4, {13, 14, 15, 16, 11, 12}, true},
        {asFirefox32, 5, {13, 14, 11}, false},
        {asWaterfox64, 6, {15, 16, 12}, false},
        {asChrome, 7, {17, 18, 11}, false},
        {asSafari, 8, {19, 20, 11}, false},
        {asOpera, 9, {21, 22, 23, 24, 11, 12}, true},
        {asOpera32, 10, {21, 22, 11}, false},
        {asOpera64, 11, {23, 24, 11, 12}, false},
    };
    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common(HALVENLIB_PATH);
    const CAddonTypeVisor visor;
    for (const SetCase& c : cases) {
        SCOPED_TRACE("set " + std::to_string(c.number));
        EXPECT_EQ(c.member, c.number);
        EXPECT_EQ(visor.AddonSetIsMultibrowser(c.number), c.multibrowser);

        const ComPtr<halvenlib::_CGumArray> table = visor.AddonSetTypes(c.number);
        ASSERT_TRUE(table);
        LONG columns = 0, rows = 0;
        table->get_ColumnsCount(&columns);
        table->get_RowsCount(&rows);
        EXPECT_EQ(columns, 1);
        std::vector<LONG> types;
        for (LONG r = 1; r <= rows; ++r) {
            win::VARIANT cell;
            ASSERT_EQ(table->get_Item(r, 1, &cell), win::S_OK);
            LONG t = 0;
            ASSERT_EQ(winsys::com::toLong(cell, &t), win::S_OK);
            types.push_back(t);
        }
        EXPECT_EQ(types, c.types);
    }
}

TEST(AddonTypeVisor, AddonSetTypesGivesANewTableEachCall) {
    testsupport::TestPrefix prefix;
    testsupport::ComLibrary common(HALVENLIB_PATH);
    const CAddonTypeVisor visor;
    const auto first = visor.AddonSetTypes(asChrome);
    first->Clear();
    const auto second = visor.AddonSetTypes(asChrome);
    EXPECT_NE(first.get(), second.get());
    LONG rows = 0;
    second->get_RowsCount(&rows);
    EXPECT_EQ(rows, 3);
}

TEST(AddonTypeVisorDeathTest, NumbersOutsideTheRangesStopTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const CAddonTypeVisor visor;
    struct DeathCase {
        const char* label;
        std::function<void()> call;
        const char* message;
    };
    const DeathCase cases[] = {
        {"AddonTypeName(0)", [&] { visor.AddonTypeName(0); }, "add-on type 0 is outside 1 to 24"},
        {"AddonTypeTitleName(25)", [&] { visor.AddonTypeTitleName(25); }, "add-on type 25 is outside"},
        {"TreeViewNodeName(-1)", [&] { visor.TreeViewNodeName(-1); }, "add-on type -1 is outside"},
        {"TreeViewNodeNameIncludingBrowser(25)", [&] { visor.TreeViewNodeNameIncludingBrowser(25); },
         "add-on type 25 is outside"},
        {"AddonTypeIs64bitOnly(0)", [&] { visor.AddonTypeIs64bitOnly(0); }, "add-on type 0 is outside"},
        {"AddonSetIsMultibrowser(12)", [&] { visor.AddonSetIsMultibrowser(12); }, "add-on set 12 is outside 0 to 11"},
        {"AddonSetTypes(-1)", [&] { visor.AddonSetTypes(-1); }, "add-on set -1 is outside"},
    };
    for (const DeathCase& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_DEATH(c.call(), std::string("Programming error: ") + c.message);
    }
}

} // namespace
