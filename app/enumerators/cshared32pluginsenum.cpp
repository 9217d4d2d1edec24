#include "app/enumerators/cshared32pluginsenum.h"

#include <exception>

#include "app/core/caddontypevisor.h"
#include "app/core/cappvisor.h"
#include "app/core/comcalls.h"
#include "app/core/mmain.h"
#include "app/core/mmainhelpers.h"
#include "app/core/resume_next.h"
#include "app/enumerators/cmozillaextenum.h"
#include "app/enumerators/mozillaplugins.h"
#include "app/enumerators/cpluginscan.h"
#include "app/enumerators/enumcalls.h"
#include "common/interfaces/registry.h"
#include "platform/core/text.h"

namespace sorlix {

namespace {

constexpr const char* kQuickTimeAppPath =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\QuickTimePlayer.exe";
constexpr const char* kQuickTimeUninstall =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{57752979-A1C9-4C02-856B-FBB27AC4E02C}";

} // namespace

std::optional<std::vector<std::string>> CShared32PluginsEnum::FindQuickTimeInstallFolders() {
    std::vector<std::string> folders;
    const bool failed = Enum::Trapped("CShared32PluginsEnum.FindQuickTimeInstallFolders", halvenlib::sevError, [&] {
        const win::LONG appPathRoot =
            MMain::IsWindows64bit() ? halvenlib::HKEY_LOCAL_MACHINE_64BIT : halvenlib::HKEY_LOCAL_MACHINE;
        if (std::string path = Enum::QueryString(appPathRoot, kQuickTimeAppPath, "Path"); !path.empty())
            folders.push_back(path);
        const std::string location =
            Enum::QueryString(halvenlib::HKEY_LOCAL_MACHINE, kQuickTimeUninstall, "InstallLocation");
        if (!location.empty() && (folders.empty() || !winsys::equalsNoCase(folders[0], location)))
            folders.push_back(location);
    });
    if (failed) return std::nullopt;
    return folders;
}

winsys::com::ComPtr<halvenlib::_CNodes> CShared32PluginsEnum::EnumerateShared32Plugins() {
    try {
        CPluginScan scan(atShared32Plugin);
        QueueMozillaPluginRegistrations(scan, halvenlib::HKEY_LOCAL_MACHINE);
        QueueMozillaPluginRegistrations(scan, halvenlib::HKEY_CURRENT_USER);
        for (const std::string& install : CFFextEnumerator().EnumFirefoxInstallFolders())
            scan.QueuePluginFolder(MMain::JoinPath(install, "plugins"));
        const auto quickTime = FindQuickTimeInstallFolders();
        if (!quickTime) throw ObjectNotSet();
        for (const std::string& folder : *quickTime) scan.QueuePluginFolder(MMain::JoinPath(folder, "Plugins"));
        for (const std::string& reader : Enum::InstallFolders(ProductAdobeReader)) {
            const std::string path = MMain::JoinPath(reader, "browser\\nppdf32.dll");
            scan.QueuePlugin(path, Enum::FileOrFolderConfig(path, false));
        }
        scan.ProcessPluginFolders();
        return scan.ProcessPlugins();
    } catch (const std::exception& e) {
        LogError(e, "CShared32PluginsEnum.EnumerateShared32Plugins");
        return nullptr;
    }
}

} // namespace sorlix
