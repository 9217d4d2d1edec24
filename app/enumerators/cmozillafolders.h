#pragma once
// CMozillaFolders: the places of a Mozilla browser that hold extensions
// and plugins, read as the browser's extension enumerator reads them: the
// user's Mozilla folder, the Firefox profile folders, the install folders
// the registry names and the extensions that are folders. The plugin
// enumerators scan the "Plugins" folders below them. It only reads; log
// lines carry the extension enumerator's class name ("CFFextEnumerator" or
// "CWF64ExtEnum"), whose lists these are.

#include <string>
#include <vector>

#include "platform/core/wintypes.h"

namespace sorlix {

class CPluginScan;

enum class MozillaBrowser {
    Firefox,    // 32-bit Firefox: "SOFTWARE\Mozilla\Mozilla Firefox"
    Waterfox64, // 64-bit Waterfox: "SOFTWARE\Mozilla\Waterfox"
};

class CMozillaFolders {
public:
    explicit CMozillaFolders(MozillaBrowser browser) : browser_(browser) {}

    // The roaming application-data folder joined with "Mozilla\" (ends in "\").
    static std::string MozillaAppDataFolder();

    // Every folder in "<Mozilla folder>Firefox\Profiles\", in listing order,
    // without a trailing "\". A failure is logged and ends the listing with
    // the folders found so far. Both browsers list the Firefox profiles.
    std::vector<std::string> FirefoxProfileFolders() const;

    // "Install Directory" of every "<browser key>\<version>\Main" of the
    // 32-bit view that has one, in registry order, repeats kept; Waterfox's
    // values have "\\" made "\". Errors reach the caller.
    std::vector<std::string> EnumInstallFolders() const;

    // Extension folders (without a trailing "\"): the registry's
    // "Software\Mozilla\Firefox\Extensions" values first (the machine's, in
    // the browser's view, then the user's), then the folders in the
    // "Extensions" folders of the installs, the Mozilla folder and every
    // profile ("extensions" and "extensions\staged"). Each once; packages
    // never. A failure is logged and ends that part.
    std::vector<std::string> EnumExtensionsThatAreFolders() const;

private:
    std::string source(const char* operation) const;

    MozillaBrowser browser_;
};

// Queues the file named by "Path" of every subkey of
// "SOFTWARE\MozillaPlugins" under `root`, in listing order, each with a new
// removal record holding its subkey; a subkey without a readable "Path"
// queues nothing. Errors reach the caller.
void QueueMozillaPluginRegistrations(CPluginScan& scan, win::LONG root);

} // namespace sorlix
