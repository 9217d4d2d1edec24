#pragma once
// CChromeExtEnumerator: the Chrome extensions of the machine (add-on type
// 17), one record per extension version folder with a usable
// "manifest.json", tied to the policy values that force or recommend the
// extension so that a removal takes them too. It also serves the Chrome
// plugin enumerator with the Chrome program files the registry names and
// the plugin files that manifests declare. It only reads.

#include <string>
#include <vector>

#include "app/enumerators/json.h"
#include "common/interfaces/records.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

class CChromeExtEnumerator {
public:
    // Null after a trapped error (logged).
    winsys::com::ComPtr<halvenlib::_CNodes> EnumChromeExtensions();
    // Full paths, each once, keyed by the path; null after a trapped error.
    winsys::com::ComPtr<halvenlib::_CCollection> FindPluginsInExtensions();
    // Chrome program files named by the registry, each once, keyed by the
    // path; a new list every call; null after a trapped error.
    winsys::com::ComPtr<halvenlib::_CCollection> FindChromeExeFiles();

private:
    void EnumerateExtensionInstallForcelist();
    void ReadForcelistKey(win::LONG root, const std::string& subkey);
    void ProcessExtensionsFolder(const std::string& folder);
    void ProcessManifestJson(const std::string& id, const std::string& dir);
    void AddExtensionRecord(const std::string& id, const std::string& dir, const JsonObject& manifest);
    void AddDeclaredPlugins(const std::string& dir, const JsonObject& manifest);
    void FindExtensionsFolders();
    void FindExtensionsFoldersByChromeExeLocation(const std::string& exe);
    void QueueExtensionsFolder(const std::string& folder);

    struct ForcelistEntry {
        std::string id;
        win::LONG root;
        std::string subkey, valueName;
    };

    bool pluginMode_ = false;
    winsys::com::ComPtr<halvenlib::_CNodes> result_;
    winsys::com::ComPtr<halvenlib::_CCollection> plugins_;
    winsys::com::ComPtr<halvenlib::_CCollection> folders_;  // queue of "Extensions" folders
    winsys::com::ComPtr<halvenlib::_CCollection> exeFiles_; // program files already used
    std::vector<ForcelistEntry> forcelist_;
};

} // namespace sorlix
