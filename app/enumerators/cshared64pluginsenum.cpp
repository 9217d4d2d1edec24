#include "app/enumerators/cshared64pluginsenum.h"

#include <exception>

#include "app/core/caddontypevisor.h"
#include "app/core/comcalls.h"
#include "app/core/mmainhelpers.h"
#include "app/enumerators/mozillaplugins.h"
#include "app/enumerators/cpluginscan.h"
#include "common/interfaces/registry.h"

namespace sorlix {

namespace {

constexpr const char* kSource = "CShared64PluginsEnum.EnumerateShared64Plugins";

} // namespace

winsys::com::ComPtr<halvenlib::_CNodes> CShared64PluginsEnum::EnumerateShared64Plugins() {
    try {
        CPluginScan scan(atShared64Plugin);
        const MMain::Wow64RedirectionOff redirection(kSource, scan.Settings().redirectionOff);
        QueueMozillaPluginRegistrations(scan, halvenlib::HKEY_LOCAL_MACHINE_64BIT);
        return scan.ProcessPlugins();
    } catch (const std::exception& e) {
        LogError(e, kSource);
        return nullptr;
    }
}

} // namespace sorlix
