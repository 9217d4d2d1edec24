#pragma once
// The extensions of Mozilla browsers: CFFextEnumerator (32-bit Firefox) and
// CWF64ExtEnum (64-bit Waterfox) are one design that differs only in the
// settings of its Variant. Extensions are folders and packages found in the
// install folders' "Extensions", the user's Mozilla folder, every Firefox
// profile's "extensions" and "extensions\staged", and the registry's
// "Software\Mozilla\Firefox\Extensions" values (queued first, so their
// records come first). Each one's "install.rdf" is read with CRDFParser;
// packages are unpacked one at a time into the work folder "FFExtTemp".
//
// A package's manifest is read only when this package's own extraction wrote
// it: the work folder is made to hold no "install.rdf" before each package
// (else that package yields no record) and is emptied after it, on every
// path. A registry value that names a drive root, a shell folder, the
// Mozilla folder, an install, profile or extensions folder, or a folder
// above one of these, is not taken as an extension: removing its record
// would remove that whole folder.

#include <optional>
#include <string>
#include <vector>

#include "app/enumerators/crdfparser.h"
#include "app/enumerators/keyedqueue.h"
#include "common/interfaces/records.h"
#include "platform/com/com_ptr.h"
#include "platform/core/wintypes.h"

namespace sorlix {

class CMozillaExtEnum {
public:
    // The extensions that are folders (no trailing "\"), in queue order, and
    // the profiles' "extensions\staged" folders, whose "Plugins" the plugin
    // enumerators scan too; no manifest is read and the work folder is not
    // touched.
    std::vector<std::string> EnumExtensionsThatAreFolders();
    // The folders of the Firefox profiles root, in listing order (no trailing "\").
    std::vector<std::string> FirefoxProfileFolders();
    // The roaming application-data folder joined with "Mozilla\" (so it
    // ends in "\").
    std::string MozillaAppDataFolder();

protected:
    struct Variant {
        const char* className;     // log sources
        const char* entryName;
        const char* installKey;    // under HKEY_LOCAL_MACHINE, the 32-bit view
        bool singleBackslashes;    // "\\" in an install folder becomes "\"
        win::LONG extensionsRoot;  // first root of "Software\Mozilla\Firefox\Extensions"
        bool switchRedirection;    // file-system redirection off during the entry
        bool x64bitSystem32;       // flag of the removal record
    };
    explicit CMozillaExtEnum(const Variant& variant) : variant_(variant) {}

    // The entry method: one node per extension whose manifest could be read;
    // null when the run failed (logged).
    winsys::com::ComPtr<halvenlib::_CNodes> enumerate();
    // "Install Directory" of every version under the install key, in registry
    // order, repeats kept.
    std::vector<std::string> installFolders();

private:
    void EnumExtensions();
    void fillQueues();
    void QueueExtensionsFolder(std::string folder);
    // `listedAsFolder`: what the listing that found the path said of it.
    void QueueExtension(std::string path, std::optional<bool> listedAsFolder = std::nullopt);
    void EnumExtensionsFolder(std::string folder);
    bool EnumerateExtensionFileOrFolder(const std::string& path, std::string& errorText);
    bool EnumerateExtension(const std::string& manifest, const std::string& extensionPath, std::string& errorText);
    bool unpackManifest(const std::string& package, std::string& errorText);
    // A profile folder as the profiles root lists it.
    struct Profile {
        std::string path;
        bool link = false;
    };
    std::vector<Profile> profileFolders();
    void collectProtectedFolders(const std::vector<std::string>& installs, const std::vector<Profile>& profiles);
    bool isProtectedFolder(const std::string& path) const;

    Variant variant_;
    std::string workFolder_;
    bool foldersOnly_ = false;
    KeyedQueue parents_;
    KeyedQueue items_;
    KeyedQueue refused_;                 // registry values not taken as extensions
    std::vector<std::string> protected_; // folders a registry value may not name, nor lie above
    winsys::com::ComPtr<halvenlib::_CNodes> result_;
    CRDFParser parser_;
};

// Add-on type 13.
class CFFextEnumerator : public CMozillaExtEnum {
public:
    CFFextEnumerator();
    winsys::com::ComPtr<halvenlib::_CNodes> EnumFirefoxExtensions() { return enumerate(); }
    std::vector<std::string> EnumFirefoxInstallFolders() { return installFolders(); }
};

// Add-on type 15, 64-bit Windows only.
class CWF64ExtEnum : public CMozillaExtEnum {
public:
    CWF64ExtEnum();
    winsys::com::ComPtr<halvenlib::_CNodes> EnumWaterfox64Extensions() { return enumerate(); }
    std::vector<std::string> EnumWaterfox64InstallFolders() { return installFolders(); }
};

} // namespace sorlix
