#include "app/enumerators/cwf64pluginenum.h"

#include <exception>
#include <string>

#include "app/core/caddontypevisor.h"
#include "app/core/comcalls.h"
#include "app/core/mmainhelpers.h"
#include "app/enumerators/cmozillaextenum.h"
#include "app/enumerators/mozillaplugins.h"
#include "app/enumerators/cpluginscan.h"
#include "common/interfaces/registry.h"

namespace sorlix {

namespace {

constexpr const char* kSource = "CWF64PluginEnum.EnumWaterfox64Plugins";

} // namespace

winsys::com::ComPtr<halvenlib::_CNodes> CWF64PluginEnum::EnumWaterfox64Plugins() {
    try {
        CPluginScan scan(atWaterfox64Plugin);
        CWF64ExtEnum waterfox;
        const MMain::Wow64RedirectionOff redirection(kSource, scan.Settings().redirectionOff);
        for (const std::string& install : waterfox.EnumWaterfox64InstallFolders())
            scan.QueuePluginFolder(install + (install.ends_with('\\') ? "Plugins" : "\\Plugins"));
        for (const std::string& profile : waterfox.FirefoxProfileFolders())
            scan.QueuePluginFolder(profile + "\\Plugins");
        QueueMozillaPluginRegistrations(scan, halvenlib::HKEY_CURRENT_USER);
        scan.QueuePluginFolder(waterfox.MozillaAppDataFolder() + "Plugins");
        for (const std::string& extension : waterfox.EnumExtensionsThatAreFolders())
            scan.QueuePluginFolder(extension + "\\Plugins");
        scan.ProcessPluginFolders();
        return scan.ProcessPlugins();
    } catch (const std::exception& e) {
        LogError(e, kSource);
        return nullptr;
    }
}

} // namespace sorlix
