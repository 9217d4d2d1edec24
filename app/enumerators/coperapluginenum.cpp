#include "app/enumerators/coperapluginenum.h"

#include <exception>
#include <string>

#include "app/core/cappvisor.h"
#include "app/core/comcalls.h"
#include "app/core/mmain.h"
#include "app/core/mmainhelpers.h"
#include "app/core/resume_next.h"
#include "app/enumerators/coperapluginignore.h"
#include "app/enumerators/cpluginscan.h"
#include "app/enumerators/enumcalls.h"
#include "common/interfaces/registry.h"

namespace sorlix {

namespace {

using winsys::com::ComPtr;

constexpr const char* kSource = "COperaPluginEnum.EnumOperaPlugins";
constexpr const char* kOperaKey = "Software\\Opera Software";

} // namespace

ComPtr<halvenlib::_CNodes> COperaPluginEnum::EnumOperaPlugins(bool Opera64bit) {
    try {
        CPluginScan scan(Opera64bit ? 24 : 22);
        const MMain::Wow64RedirectionOff redirection(kSource, scan.Settings().redirectionOff);
        const CAppVisor& visor = ProgramObject(AppVisor);
        const std::string opera = visor.InstallFolder(Opera64bit ? FolderOpera64 : FolderOpera);
        // Without Opera the join would be a relative path, read against the current folder.
        if (!opera.empty()) scan.QueuePluginFolder(MMain::JoinPath(opera, "program\\plugins"));
        // An unreadable value reads as "", which the folder queue ignores.
        for (const char* name : {"Plugin path", "Next Plugin path"})
            scan.QueuePluginFolder(Enum::QueryString(halvenlib::HKEY_CURRENT_USER, kOperaKey, name));
        for (const std::string& java : Enum::InstallFolders(ProductJava)) scan.QueuePluginFolder(java);
        for (const std::string& reader : Enum::InstallFolders(ProductAdobeReader)) scan.QueuePluginFolder(reader);
        if (!MMain::IsWindows64bit()) scan.QueuePluginFolder(visor.InstallFolder(FolderMediaPlayer));

        COperaPluginIgnore ignore;
        if (!opera.empty()) {
            const std::string file = MMain::JoinPath(opera, "defaults\\plugin-ignore.ini");
            std::string cause;
            if (ignore.LoadPluginIgnoreIni(file, cause))
                scan.IsIgnored = [&ignore](const std::string& path) { return ignore.IsFileIgnored(path); };
            else
                LogLine(0, FormatString("LoadPluginIgnoreIni('%1') failed. %2", {file, cause}),
                        halvenlib::sevInternalError, kSource);
        }
        scan.ProcessPluginFolders();
        return scan.ProcessPlugins();
    } catch (const std::exception& e) {
        LogError(e, kSource);
        return nullptr;
    }
}

} // namespace sorlix
