#include "app/core/minfocollector.h"

// One table gives every add-on type its enumerator entry and flag; a type
// whose enumerator is not part of the program yet has no entry and yields
// no result without a log line. The details rows of the Internet Explorer
// types depend on whether the registration is broken (empty "dLL"); those
// of the other types are a fixed list of optional rows per kind.

#include <array>
#include <exception>
#include <memory>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "app/core/caddontypevisor.h"
#include "app/core/comcalls.h"
#include "app/core/mmain.h"
#include "app/core/programming_error.h"
#include "app/core/resume_next.h"
#include "app/core/screen.h"
#include "app/core/strings.h"
#include "app/enumerators/cchromeextenumerator.h"
#include "app/enumerators/cchromepluginenum.h"
#include "app/enumerators/cffpluginsenumerator.h"
#include "app/enumerators/cieenumerator.h"
#include "app/enumerators/cmozillaextenum.h"
#include "app/enumerators/coperaextenum.h"
#include "app/enumerators/coperapluginenum.h"
#include "app/enumerators/csafariextenum.h"
#include "app/enumerators/csafaripluginenum.h"
#include "app/enumerators/cshared32pluginsenum.h"
#include "app/enumerators/cshared64pluginsenum.h"
#include "app/enumerators/cwf64pluginenum.h"
#include "common/interfaces/log.h"
#include "platform/com/variant.h"

namespace sorlix::MInfoCollector {

using halvenlib::_CGumArray;
using halvenlib::_CNode;
using halvenlib::_CNodes;
using halvenlib::_CParams;
using win::LONG;
using win::VARIANT;
using winsys::com::call;
using winsys::com::ComPtr;

namespace {

// ---- Enumerators ---------------------------------------------------------------

template <class E, class... A>
E classOf(ComPtr<_CNodes> (E::*)(A...));

// A new enumerator object for one call of its entry; entries without a flag ignore it.
template <auto Entry>
ComPtr<_CNodes> run(bool flag) {
    decltype(classOf(Entry)) enumerator;
    if constexpr (std::is_invocable_v<decltype(Entry), decltype(enumerator)&, bool>) return (enumerator.*Entry)(flag);
    else return (enumerator.*Entry)();
}

struct EnumeratorRow {
    EnumeratorEntry entry; // empty: no enumerator yet
    bool flag;
};

// Index 0 is type 1. An enumerator that comes later fills its row's entry.
std::array<EnumeratorRow, kLastAddonType>& enumerators() {
    static std::array<EnumeratorRow, kLastAddonType> rows{{
        /* 1 */ {run<&CIEEnumerator::EnumToolbars>, false},
        /* 2 */ {run<&CIEEnumerator::EnumToolbarButtons>, false},
        /* 3 */ {run<&CIEEnumerator::EnumContextMenus>, false},
        /* 4 */ {run<&CIEEnumerator::EnumExplorerBars>, false},
        /* 5 */ {run<&CIEEnumerator::EnumBHOs>, false},
        /* 6 */ {run<&CIEEnumerator::EnumToolbars>, true},
        /* 7 */ {run<&CIEEnumerator::EnumToolbarButtons>, true},
        /* 8 */ {run<&CIEEnumerator::EnumContextMenus>, true},
        /* 9 */ {run<&CIEEnumerator::EnumExplorerBars>, true},
        /* 10 */ {run<&CIEEnumerator::EnumBHOs>, true},
        /* 11 */ {run<&CShared32PluginsEnum::EnumerateShared32Plugins>, false},
        /* 12 */ {run<&CShared64PluginsEnum::EnumerateShared64Plugins>, false},
        /* 13 */ {run<&CFFextEnumerator::EnumFirefoxExtensions>, false},
        /* 14 */ {run<&CFFPluginsEnumerator::EnumFirefoxPlugins>, false},
        /* 15 */ {run<&CWF64ExtEnum::EnumWaterfox64Extensions>, false},
        /* 16 */ {run<&CWF64PluginEnum::EnumWaterfox64Plugins>, false},
        /* 17 */ {run<&CChromeExtEnumerator::EnumChromeExtensions>, false},
        /* 18 */ {run<&CChromePluginEnum::EnumerateChromePlugins>, false},
        /* 19 */ {run<&CSafariExtEnum::EnumSafariExtensions>, false},
        /* 20 */ {run<&CSafariPluginEnum::EnumSafariPlugins>, false},
        /* 21 */ {run<&COperaExtEnum::EnumOperaExtensions>, false},
        /* 22 */ {run<&COperaPluginEnum::EnumOperaPlugins>, false},
        /* 23 */ {run<&COperaExtEnum::EnumOperaExtensions>, true},
        /* 24 */ {run<&COperaPluginEnum::EnumOperaPlugins>, true},
    }};
    return rows;
}

// A type number outside 1 to 24 is a fault of the caller: the program stops.
void checkAddonType(LONG t) {
    if (t < kFirstAddonType || t > kLastAddonType)
        programmingError("add-on type " + std::to_string(t) + " is outside 1 to 24");
}

EnumeratorRow& enumeratorOf(LONG addonType) {
    checkAddonType(addonType);
    return enumerators()[static_cast<std::size_t>(addonType - 1)];
}

// ---- Records and details ---------------------------------------------------------

void addRowIfPresent(_CParams* details, const std::string& label, _CParams* info, const std::string& key) {
    if (HasParam(info, key)) AddParam(details, label, ParamValue(info, key));
}

VARIANT fullName(const VARIANT& file) {
    return winsys::com::makeText(ProgramObject(FileChecker).GetFullFileNameFromShortFilename(VariantText(file)));
}

// Types 1 to 10; kinds in type order: toolbar, button, menu extension, explorer bar, helper object.
void addInternetExplorerRows(LONG addonType, _CParams* info, _CParams* details) {
    enum Kind { Toolbar, Button, MenuExtension, ExplorerBar, HelperObject };
    static constexpr LONG kBrokenText[] = {127, 128, 129, 134, 130};
    const Kind kind = static_cast<Kind>((addonType - 1) % 5);

    if (kind == HelperObject) AddParam(details, LoadResString(159), ParamValue(info, "iD"));
    const VARIANT file = ParamValue(info, "dLL");
    if (VariantText(file).empty()) {
        AddParam(details, LoadResString(160), winsys::com::makeText(LoadResString(kBrokenText[kind])));
        if (kind == Toolbar || kind == Button || kind == MenuExtension)
            AddParam(details, LoadResString(162), ParamValue(info, "scope"));
        return;
    }
    AddParam(details, LoadResString(160), file);
    addRowIfPresent(details, LoadResString(161), info, "manufacturer");
    addRowIfPresent(details, LoadResString(162), info, "scope");
    if (kind == ExplorerBar) AddParam(details, LoadResString(188), ParamValue(info, "type"));
}

// Rows of types 11 to 24, each only when the record holds its key.
struct OptionalRow {
    const char* label;
    const char* key;
    bool fullName; // the value is a file, shown by its full long name
};

constexpr OptionalRow kPluginRows[] = {
    {"File", "dLL", true},
    {"Description", "description", false},
    {"Manufacturer", "manufacturer", false},
    {"Copyright", "copyright", false},
};
constexpr OptionalRow kMozillaExtensionRows[] = {
    {"Location", "dLL", true},
    {"Manufacturer", "manufacturer", false},
    {"Homepage", "homepageURL", false},
    {"Update Info", "updateInfoURL", false},
};
constexpr OptionalRow kChromeExtensionRows[] = {
    {"Location", "dLL", true},
    {"Permissions", "permissions", false},
};
constexpr OptionalRow kSafariExtensionRows[] = {
    {"Location", "dLL", true},          {"Manufacturer", "manufacturer", false}, {"Id", "iD", false},
    {"Homepage", "homepageURL", false}, {"Update Info", "updateInfoURL", false},
};
constexpr OptionalRow kOperaExtensionRows[] = {
    {"Location", "dLL", true},
    {"Manufacturer", "manufacturer", false},
    {"License", "license", false},
};

std::span<const OptionalRow> optionalRowsOf(LONG addonType) {
    switch (addonType) {
    case atFirefox32Extension:
    case atWaterfox64Extension: return kMozillaExtensionRows;
    case atChromeExtension: return kChromeExtensionRows;
    case atSafariExtension: return kSafariExtensionRows;
    case atOpera32Extension:
    case atOpera64Extension: return kOperaExtensionRows;
    default: return kPluginRows; // 11, 12, 14, 16, 18, 20, 22, 24
    }
}

// ---- Error traps -------------------------------------------------------------------

// "MInfoCollector.CollectAddonInfo(13)" for type 13.
std::string collectSource(LONG addonType) {
    try {
        return FormatString("MInfoCollector.CollectAddonInfo(%1)", {winsys::com::makeLong(addonType)});
    } catch (const std::exception&) {
        // The line is still worth writing when the common library cannot fill it.
        return "MInfoCollector.CollectAddonInfo(" + std::to_string(addonType) + ")";
    }
}

} // namespace

ComPtr<_CParams> BuildDetails(LONG addonType, _CParams* info) {
    checkAddonType(addonType);
    ComPtr<_CParams> details = NewParams();
    if (addonType <= atIE64BHO) {
        addInternetExplorerRows(addonType, info, details.get());
        return details;
    }
    for (const OptionalRow& row : optionalRowsOf(addonType)) {
        if (!HasParam(info, row.key)) continue;
        const VARIANT v = ParamValue(info, row.key);
        AddParam(details.get(), row.label, row.fullName ? fullName(v) : v);
    }
    return details;
}

void CollectAddonInfo(LONG AddonType) {
    const EnumeratorRow& enumerator = enumeratorOf(AddonType);
    try {
        if (!Is64bitWindows && ProgramObject(AddonTypeVisor).AddonTypeIs64bitOnly(AddonType)) return;
        if (!enumerator.entry) return;
        const ComPtr<_CNodes> result = enumerator.entry(enumerator.flag);
        _CNodes* nodes = required(result);
        CDB& db = ProgramObject(DB);

        LONG count = 0;
        call([&] { return nodes->get_Count(&count); });
        for (LONG i = 1; i <= count; ++i) {
            VARIANT index = winsys::com::makeLong(i);
            ComPtr<_CNode> node;
            call([&] { return nodes->get_Item(&index, node.put()); });
            ComPtr<_CParams> info;
            call([&] { return node->get_params(info.put()); });
            const ComPtr<_CParams> details = BuildDetails(AddonType, info.get());
            db.Add(AddonType, info.get(), details.get());
        }
        db.Sort(AddonType);
    } catch (const std::exception& e) {
        LogError(e, collectSource(AddonType));
    }
}

void CollectAllAddonInfo() {
    const LONG saved = Screen::MousePointer();
    try {
        Screen::SetMousePointer(Screen::vbHourglass);
        DB = std::make_unique<CDB>(Log);
        for (LONG t = kFirstAddonType; t <= kLastAddonType; ++t) CollectAddonInfo(t);
    } catch (const std::exception& e) {
        LogError(e, "MInfoCollector.CollectAllAddonInfo");
    }
    Screen::SetMousePointer(saved);
}

void RecollectAddonInfo(LONG AddonType) {
    try {
        ProgramObject(DB).RemoveTypeInfo(AddonType);
        CollectAddonInfo(AddonType);
    } catch (const std::exception& e) {
        LogError(e, "MInfoCollector.RecollectAddonInfo");
    }
}

void RecollectAppInfo(LONG AddonSet) {
    try {
        const ComPtr<_CGumArray> types = ProgramObject(AddonTypeVisor).AddonSetTypes(AddonSet);
        const LONG rows = RowCount(types.get());
        for (LONG row = 1; row <= rows; ++row) RecollectAddonInfo(CellLong(types.get(), row, 1));
    } catch (const std::exception& e) {
        LogError(e, "MInfoCollector.RecollectAppInfo");
    }
}

EnumeratorEntry ReplaceEnumeratorEntryForTesting(LONG AddonType, EnumeratorEntry entry) {
    return std::exchange(enumeratorOf(AddonType).entry, std::move(entry));
}

} // namespace sorlix::MInfoCollector
