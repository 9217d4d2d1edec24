#pragma once
// CAppVisor: finds the programs whose folders browsers load plugins from
// (Flash, QuickTime, Opera, Windows Media Player, the Java runtimes, Adobe
// Reader). It keeps no state: every call reads the registry and the known
// folders again, through the program-wide registry object.

#include <string>

#include "common/interfaces/table.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

// Folder ids of InstallFolder.
enum enAppFolder : win::LONG {
    FolderFlash32 = 0,
    FolderFlash64 = 1,
    FolderQuickTime = 2,
    FolderOpera = 3,
    FolderOpera64 = 4,
    FolderMediaPlayer = 5,
};

// Product ids of InstallFoldersAndVersions.
enum enAppProduct : win::LONG {
    ProductJava = 1,
    ProductAdobeReader = 2,
};

class CAppVisor {
public:
    // The folder of an enAppFolder, not checked for existence; "" when it
    // is unknown or the id is out of range.
    std::string InstallFolder(win::LONG Application) const;
    // A two-column table (folder, version) in the order found, for an
    // enAppProduct; null for another id or when building it failed (logged).
    winsys::com::ComPtr<halvenlib::_CGumArray> InstallFoldersAndVersions(win::LONG Application) const;
    // True only for ProductJava on 64-bit Windows.
    bool IsInstalled(win::LONG Application) const;
};

} // namespace sorlix
