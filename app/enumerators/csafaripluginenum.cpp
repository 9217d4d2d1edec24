#include "app/enumerators/csafaripluginenum.h"

#include <exception>
#include <string>

#include "app/core/cappvisor.h"
#include "app/core/comcalls.h"
#include "app/core/mmain.h"
#include "app/core/mmainhelpers.h"
#include "app/core/resume_next.h"
#include "app/enumerators/cpluginscan.h"
#include "app/enumerators/enumcalls.h"
#include "common/interfaces/registry.h"

namespace sorlix {

namespace {

using winsys::com::ComPtr;

constexpr win::LONG CSIDL_SYSTEMX86 = 41;
constexpr const char* kFixedPluginFolder = "C:\\PFiles\\Plugins\\";

std::string FindSafariInstallDir() {
    return Enum::QueryString(halvenlib::HKEY_LOCAL_MACHINE, "SOFTWARE\\Apple Computer, Inc.\\Safari", "InstallDir");
}

} // namespace

ComPtr<halvenlib::_CNodes> CSafariPluginEnum::EnumSafariPlugins() {
    try {
        CPluginScan scan(20);
        if (const std::string safari = FindSafariInstallDir(); !safari.empty())
            scan.QueuePluginFolder(MMain::JoinPath(safari, "Plugins"));
        scan.QueuePluginFolder(kFixedPluginFolder);
        for (const std::string& reader : Enum::InstallFolders(ProductAdobeReader))
            scan.ProcessAdobeReaderFolder(MMain::JoinPath(reader, "browser"));
        const std::string system32 = MMain::ShellFolder(CSIDL_SYSTEMX86);
        scan.QueuePluginFolder(MMain::JoinPath(system32, "Macromed\\Flash"));
        scan.QueuePluginFolder(MMain::JoinPath(system32, "Macromed\\Shockwave 10"));
        scan.QueuePluginFolder(ProgramObject(AppVisor).InstallFolder(FolderMediaPlayer));
        scan.ProcessPluginFolders();
        return scan.ProcessPlugins();
    } catch (const std::exception& e) {
        LogError(e, "CSafariPluginEnum.EnumSafariPlugins");
        return nullptr;
    }
}

} // namespace sorlix
