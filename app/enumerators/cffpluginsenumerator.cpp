#include "app/enumerators/cffpluginsenumerator.h"

#include <exception>
#include <string>

#include "app/core/caddontypevisor.h"
#include "app/core/cappvisor.h"
#include "app/core/comcalls.h"
#include "app/core/mmain.h"
#include "app/core/mmainhelpers.h"
#include "app/core/resume_next.h"
#include "app/enumerators/cmozillaextenum.h"
#include "app/enumerators/cpluginscan.h"
#include "app/enumerators/enumcalls.h"

namespace sorlix {

winsys::com::ComPtr<halvenlib::_CNodes> CFFPluginsEnumerator::EnumFirefoxPlugins() {
    try {
        CPluginScan scan(atFirefox32Plugin);
        CFFextEnumerator firefox;
        scan.QueuePluginFolder(firefox.MozillaAppDataFolder() + "Plugins");
        for (const std::string& profile : firefox.FirefoxProfileFolders())
            scan.QueuePluginFolder(profile + "\\Plugins");
        for (const std::string& extension : firefox.EnumExtensionsThatAreFolders())
            scan.QueuePluginFolder(extension + "\\Plugins");
        for (const std::string& reader : Enum::InstallFolders(ProductAdobeReader))
            scan.ProcessAdobeReaderFolder(MMain::JoinPath(reader, "browser"));
        scan.QueuePluginFolder(ProgramObject(AppVisor).InstallFolder(FolderMediaPlayer));
        scan.ProcessPluginFolders();
        return scan.ProcessPlugins();
    } catch (const std::exception& e) {
        LogError(e, "CFFPluginsEnumerator.EnumFirefoxPlugins");
        return nullptr;
    }
}

} // namespace sorlix
