#include "app/enumerators/cmozillafolders.h"

#include <set>

#include "app/core/comcalls.h"
#include "app/core/mmain.h"
#include "app/core/mmainhelpers.h"
#include "app/core/resume_next.h"
#include "app/enumerators/cpluginscan.h"
#include "app/enumerators/enumcalls.h"
#include "common/interfaces/global.h"
#include "common/interfaces/registry.h"
#include "platform/core/text.h"

namespace sorlix {

namespace {

using halvenlib::_CCollection;
using win::LONG;
using winsys::com::call;
using winsys::com::ComPtr;

constexpr const char* kExtensionsKey = "Software\\Mozilla\\Firefox\\Extensions";
constexpr const char* kPluginsKey = "SOFTWARE\\MozillaPlugins";

bool isFolder(const std::string& path) {
    win::VARIANT_BOOL r = win::VARIANT_FALSE;
    call([&] { return FileOps()->IsFolder(path, &r); });
    return r != win::VARIANT_FALSE;
}

std::vector<std::string> subkeyNames(LONG root, std::string subkey) {
    ComPtr<_CCollection> names;
    call([&] { return required(Registry)->EnumKey(&root, &subkey, names.put()); });
    return Enum::Texts(names.get());
}

bool keyExists(LONG root, const std::string& subkey) {
    win::VARIANT_BOOL r = win::VARIANT_FALSE;
    call([&] { return required(Registry)->IsKeyExist(root, subkey, &r); });
    return r != win::VARIANT_FALSE;
}

bool queryString(LONG root, std::string subkey, std::string valueName, std::string& value) {
    win::VARIANT_BOOL ok = win::VARIANT_FALSE;
    call([&] { return required(Registry)->QuerySTRING(&root, &subkey, &valueName, &value, &ok); });
    return ok != win::VARIANT_FALSE;
}

std::string withoutTrailingBackslash(std::string path) {
    if (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

// Texts kept once each (without regard to case), in insertion order.
class OrderedSet {
public:
    bool add(const std::string& text) {
        if (!keys_.insert(text).second) return false;
        items_.push_back(text);
        return true;
    }
    const std::vector<std::string>& items() const { return items_; }

private:
    std::set<std::string, winsys::LessNoCase> keys_;
    std::vector<std::string> items_;
};

// Every "\\" made one "\".
std::string singleBackslashes(const std::string& text) {
    std::string r;
    for (std::size_t i = 0; i < text.size(); ++i) {
        r += text[i];
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') ++i;
    }
    return r;
}

// Texts of fewer than four characters name nothing and are passed over.
bool tooShort(const std::string& text) { return winsys::utf16Length(text) < 4; }

// A folder that may hold extensions; whether it exists is seen when it is listed.
void queueExtensionsFolder(OrderedSet& parents, const std::string& folder) {
    if (tooShort(folder)) return;
    parents.add(withoutTrailingBackslash(folder));
}

// An extension folder; packages and missing paths are not queued.
void queueExtension(OrderedSet& items, const std::string& path) {
    if (tooShort(path)) return;
    const std::string item = withoutTrailingBackslash(path);
    if (!Enum::FileExists(item) || !isFolder(item)) return;
    items.add(item);
}

} // namespace

std::string CMozillaFolders::source(const char* operation) const {
    return std::string(browser_ == MozillaBrowser::Firefox ? "CFFextEnumerator." : "CWF64ExtEnum.") + operation;
}

std::string CMozillaFolders::MozillaAppDataFolder() {
    std::string appData;
    call([&] { return Global()->SHGetFolderPath(halvenlib::CSIDL_APPDATA, &appData); });
    return MMain::JoinPath(appData, "Mozilla\\");
}

std::vector<std::string> CMozillaFolders::FirefoxProfileFolders() const {
    std::vector<std::string> folders;
    Enum::Trapped(source("FirefoxProfileFolders"), halvenlib::sevError, [&] {
        const std::string root = MozillaAppDataFolder() + "Firefox\\Profiles\\";
        for (const std::string& name : Enum::DirectoryContents(root)) {
            const std::string folder = root + name;
            if (Enum::FileExists(folder) && isFolder(folder)) folders.push_back(folder);
        }
    });
    return folders;
}

std::vector<std::string> CMozillaFolders::EnumInstallFolders() const {
    const bool waterfox = browser_ == MozillaBrowser::Waterfox64;
    const std::string key = waterfox ? "SOFTWARE\\Mozilla\\Waterfox" : "SOFTWARE\\Mozilla\\Mozilla Firefox";
    std::vector<std::string> folders;
    for (const std::string& version : subkeyNames(halvenlib::HKEY_LOCAL_MACHINE, key)) {
        const std::string main = key + "\\" + version + "\\Main";
        if (!keyExists(halvenlib::HKEY_LOCAL_MACHINE, main)) continue;
        std::string folder;
        if (!queryString(halvenlib::HKEY_LOCAL_MACHINE, main, "Install Directory", folder) || folder.empty()) continue;
        if (waterfox) folder = singleBackslashes(folder);
        folders.push_back(folder);
    }
    return folders;
}

std::vector<std::string> CMozillaFolders::EnumExtensionsThatAreFolders() const {
    OrderedSet parents, items;
    Enum::Trapped(source("EnumExtensions"), halvenlib::sevError, [&] {
        for (const std::string& install : EnumInstallFolders())
            queueExtensionsFolder(parents, MMain::JoinPath(install, "Extensions"));
        queueExtensionsFolder(parents, MozillaAppDataFolder() + "Extensions");
        for (const std::string& profile : FirefoxProfileFolders()) {
            queueExtensionsFolder(parents, profile + "\\extensions\\");
            queueExtensionsFolder(parents, profile + "\\extensions\\staged\\");
        }
        const LONG machine =
            browser_ == MozillaBrowser::Firefox ? halvenlib::HKEY_LOCAL_MACHINE : halvenlib::HKEY_LOCAL_MACHINE_64BIT;
        for (const LONG root : {machine, static_cast<LONG>(halvenlib::HKEY_CURRENT_USER)}) {
            std::vector<std::string> names;
            if (!Enum::ValueNames(root, kExtensionsKey, names)) continue;
            for (const std::string& name : names)
                if (std::string path; queryString(root, kExtensionsKey, name, path)) queueExtension(items, path);
        }
        for (const std::string& parent : parents.items()) {
            Enum::Trapped(source("EnumExtensionsFolder"), halvenlib::sevError, [&] {
                const std::string base = parent.ends_with('\\') ? parent : parent + "\\";
                for (const std::string& name : Enum::DirectoryContents(base)) queueExtension(items, base + name);
            });
        }
    });
    return items.items();
}

void QueueMozillaPluginRegistrations(CPluginScan& scan, LONG root) {
    for (const std::string& id : subkeyNames(root, kPluginsKey)) {
        const std::string subkey = std::string(kPluginsKey) + "\\" + id;
        std::string path;
        if (!queryString(root, subkey, "Path", path)) continue;
        const ComPtr<quarncust::_CLittleConfig> record = Enum::NewLittleConfig();
        call([&] { return record->AddRegistrySubkey(root, subkey); });
        scan.QueuePlugin(path, record);
    }
}

} // namespace sorlix
