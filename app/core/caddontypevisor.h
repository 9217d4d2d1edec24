#pragma once
// CAddonTypeVisor: the fixed tables of add-on types (names, captions, the
// word that names their backups, 64-bit-only flag) and add-on sets (ordered
// member types, multibrowser flag). BackupObjectName is stored in backups,
// so its texts must never change. A type or set number outside its range
// is a programming error and stops the program; BackupObjectName alone
// answers the empty text.

#include <string>

#include "common/interfaces/table.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

using win::LONG;

enum enAddonType : LONG {
    atIE32Toolbar = 1,
    atIE32ToolbarButton = 2,
    atIE32MenuExtension = 3,
    atIE32ExplorerBar = 4,
    atIE32BHO = 5,
    atIE64Toolbar = 6,
    atIE64ToolbarButton = 7,
    atIE64MenuExtension = 8,
    atIE64ExplorerBar = 9,
    atIE64BHO = 10,
    atShared32Plugin = 11,
    atShared64Plugin = 12,
    atFirefox32Extension = 13,
    atFirefox32Plugin = 14,
    atWaterfox64Extension = 15,
    atWaterfox64Plugin = 16,
    atChromeExtension = 17,
    atChromePlugin = 18,
    atSafariExtension = 19,
    atSafariPlugin = 20,
    atOpera32Extension = 21,
    atOpera32Plugin = 22,
    atOpera64Extension = 23,
    atOpera64Plugin = 24,
};

inline constexpr LONG kFirstAddonType = atIE32Toolbar;
inline constexpr LONG kLastAddonType = atOpera64Plugin;

enum enAddonSet : LONG {
    asAll = 0,
    asIE = 1,
    asIE32 = 2,
    asIE64 = 3,
    asFirefox = 4,
    asFirefox32 = 5,
    asWaterfox64 = 6,
    asChrome = 7,
    asSafari = 8,
    asOpera = 9,
    asOpera32 = 10,
    asOpera64 = 11,
};

inline constexpr LONG kFirstAddonSet = asAll;
inline constexpr LONG kLastAddonSet = asOpera64;

class CAddonTypeVisor {
public:
    bool AddonSetIsMultibrowser(LONG AddonSet) const;
    // A new one-column table, one row per member type in display order.
    // Throws ComError when the common library fails.
    winsys::com::ComPtr<halvenlib::_CGumArray> AddonSetTypes(LONG AddonSet) const;
    // Lower-case kind, for use inside sentences.
    std::string AddonTypeName(LONG AddonType) const;
    std::string AddonTypeTitleName(LONG AddonType) const;
    // Names the type's backup folders and keys; empty for an unknown type.
    std::string BackupObjectName(LONG AddonType) const;
    // Group caption in a single-browser set.
    std::string TreeViewNodeName(LONG AddonType) const;
    // Group caption in a multibrowser set and the restore window.
    std::string TreeViewNodeNameIncludingBrowser(LONG AddonType) const;
    // The type exists only on 64-bit Windows; the collection skips it elsewhere.
    bool AddonTypeIs64bitOnly(LONG AddonType) const;
};

} // namespace sorlix
