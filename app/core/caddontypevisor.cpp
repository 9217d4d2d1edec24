#include "app/core/caddontypevisor.h"

#include <array>
#include <string_view>
#include <vector>

#include "app/core/programming_error.h"
#include "platform/com/com_error.h"
#include "platform/com/safearray.h"
#include "platform/com/class_registry.h"
#include "platform/com/variant.h"

namespace sorlix {

namespace {

using winsys::com::ComPtr;

struct TypeRow {
    std::string_view backupObjectName;
    std::string_view addonTypeName;
    std::string_view addonTypeTitleName;
    std::string_view treeViewNodeName;
    std::string_view treeViewNodeNameIncludingBrowser;
    bool is64bitOnly;
};

// Row k - 1 describes add-on type k.
constexpr std::array<TypeRow, kLastAddonType> kTypes{{
    {"IE32 Toolbar", "toolbar", "Toolbar", "Toolbars", "Internet Explorer (32-bit) Toolbars", false},
    {"IE32 Toolbar Button and Menu", "toolbar button and related menu", "Toolbar Button and Related Menu",
     "Toolbar Buttons and Related Menus", "Internet Explorer (32-bit) Toolbar Buttons and Related Menus", false},
    {"IE32 Menu Extension", "menu extension", "Menu Extension", "Menu Extensions",
     "Internet Explorer (32-bit) Menu Extensions", false},
    {"IE32 Explorer Bar", "explorer bar", "Explorer Bar", "Explorer Bars", "Internet Explorer (32-bit) Explorer Bars",
     false},
    {"IE32 BHO", "browser helper object", "BHO", "Browser Helper Objects",
     "Internet Explorer (32-bit) Browser Helper Objects", false},
    {"IE64 Toolbar", "toolbar", "Toolbar", "Toolbars", "Internet Explorer (64-bit) Toolbars", true},
    {"IE64 Toolbar Button and Menu", "toolbar button and related menu", "Toolbar Button and Related Menu",
     "Toolbar Buttons and Related Menus", "Internet Explorer (64-bit) Toolbar Buttons and Related Menus", true},
    {"IE64 Menu Extension", "menu extension", "Menu Extension", "Menu Extensions",
     "Internet Explorer (64-bit) Menu Extensions", true},
    {"IE64 Explorer Bar", "explorer bar", "Explorer Bar", "Explorer Bars", "Internet Explorer (64-bit) Explorer Bars",
     true},
    {"IE64 BHO", "browser helper object", "BHO", "Browser Helper Objects",
     "Internet Explorer (64-bit) Browser Helper Objects", true},
    {"Shared32 Plugin", "plugin", "Plugin", "Shared Firefox (32-bit), Chrome, Safari and Opera Plugins",
     "Shared Firefox (32-bit), Chrome, Safari and Opera Plugins", false},
    // The two captions of this type really differ.
    {"Shared64 Plugin", "plugin", "Plugin", "Shared Firefox (64-bit) Waterfox and Opera (64-bit) Plugins",
     "Shared Firefox (64-bit) and Opera (64-bit) Plugins", true},
    {"Firefox32 Extension", "extension", "Extension", "Extensions", "Firefox (32-bit) Extensions", false},
    {"Firefox32 Plugin", "plugin", "Plugin", "Plugins", "Firefox (32-bit) Plugins", false},
    {"Waterfox64 Extension", "extension", "Extension", "Extensions", "Firefox (64-bit) Waterfox Extensions", true},
    {"Waterfox64 Plugin", "plugin", "Plugin", "Plugins", "Firefox (64-bit) Waterfox Plugins", true},
    {"Chrome Extension", "extension", "Extension", "Extensions", "Chrome Extensions", false},
    {"Chrome Plugin", "plugin", "Plugin", "Plugins", "Chrome Plugins", false},
    {"Safari Extension", "extension", "Extension", "Extensions", "Safari Extensions", false},
    {"Safari Plugin", "plugin", "Plugin", "Plugins", "Safari Plugins", false},
    {"Opera32 Extension", "extension", "Extension", "Extensions", "Opera (32-bit) Extensions", false},
    {"Opera32 Plugin", "plugin", "Plugin", "Plugins", "Opera (32-bit) Plugins", false},
    {"Opera64 Extension", "extension", "Extension", "Extensions", "Opera (64-bit) Extensions", true},
    {"Opera64 Plugin", "plugin", "Plugin", "Plugins", "Opera (64-bit) Plugins", true},
}};

struct SetRow {
    std::vector<LONG> types; // in display and re-collection order
    bool multibrowser;
};

// Row k describes add-on set k.
const std::array<SetRow, kLastAddonSet + 1> kSets{{
    {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}, true},
    {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, true},
    {{1, 2, 3, 4, 5}, false},
    {{6, 7, 8, 9, 10}, false},
    {{13, 14, 15, 16, 11, 12}, true},
    {{13, 14, 11}, false},
    {{15, 16, 12}, false},
    {{17, 18, 11}, false},
    {{19, 20, 11}, false},
    {{21, 22, 23, 24, 11, 12}, true},
    {{21, 22, 11}, false},
    {{23, 24, 11, 12}, false},
}};

bool isAddonType(LONG t) { return t >= kFirstAddonType && t <= kLastAddonType; }

const TypeRow& typeRow(LONG t) {
    if (!isAddonType(t)) programmingError("add-on type " + std::to_string(t) + " is outside 1 to 24");
    return kTypes[static_cast<std::size_t>(t - 1)];
}

const SetRow& setRow(LONG s) {
    if (s < kFirstAddonSet || s > kLastAddonSet)
        programmingError("add-on set " + std::to_string(s) + " is outside 0 to 11");
    return kSets[static_cast<std::size_t>(s)];
}

} // namespace

bool CAddonTypeVisor::AddonSetIsMultibrowser(LONG AddonSet) const { return setRow(AddonSet).multibrowser; }

ComPtr<halvenlib::_CGumArray> CAddonTypeVisor::AddonSetTypes(LONG AddonSet) const {
    using namespace winsys::com;
    const SetRow& row = setRow(AddonSet);
    ComPtr<halvenlib::_CGumArray> table;
    check(createInstance(halvenlib::CLSID_CGumArray, &table));
    call([&] { return table->Init(1); });
    for (LONG t : row.types) {
        const VARIANT cells = makeArray(makeVariantArray({makeLong(t)}, 1));
        call([&] { return table->AddRow(cells.parray); });
    }
    return table;
}

std::string CAddonTypeVisor::AddonTypeName(LONG AddonType) const {
    return std::string(typeRow(AddonType).addonTypeName);
}

std::string CAddonTypeVisor::AddonTypeTitleName(LONG AddonType) const {
    return std::string(typeRow(AddonType).addonTypeTitleName);
}

std::string CAddonTypeVisor::BackupObjectName(LONG AddonType) const {
    return isAddonType(AddonType) ? std::string(typeRow(AddonType).backupObjectName) : std::string();
}

std::string CAddonTypeVisor::TreeViewNodeName(LONG AddonType) const {
    return std::string(typeRow(AddonType).treeViewNodeName);
}

std::string CAddonTypeVisor::TreeViewNodeNameIncludingBrowser(LONG AddonType) const {
    return std::string(typeRow(AddonType).treeViewNodeNameIncludingBrowser);
}

bool CAddonTypeVisor::AddonTypeIs64bitOnly(LONG AddonType) const { return typeRow(AddonType).is64bitOnly; }

} // namespace sorlix
