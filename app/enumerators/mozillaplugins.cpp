#include "app/enumerators/mozillaplugins.h"

#include "app/core/comcalls.h"
#include "app/core/mmain.h"
#include "app/core/mmainhelpers.h"
#include "app/core/resume_next.h"
#include "app/enumerators/cpluginscan.h"
#include "app/enumerators/enumcalls.h"
#include "common/interfaces/registry.h"

namespace sorlix {

namespace {

using win::LONG;
using winsys::com::call;
using winsys::com::ComPtr;

constexpr const char* kPluginsKey = "SOFTWARE\\MozillaPlugins";

} // namespace

void QueueMozillaPluginRegistrations(CPluginScan& scan, LONG root) {
    LONG key = root;
    std::string subkeys = kPluginsKey;
    ComPtr<halvenlib::_CCollection> names;
    call([&] { return required(Registry)->EnumKey(&key, &subkeys, names.put()); });
    for (const std::string& id : Enum::Texts(names.get())) {
        std::string subkey = std::string(kPluginsKey) + "\\" + id, valueName = "Path", path;
        win::VARIANT_BOOL ok = win::VARIANT_FALSE;
        call([&] { return required(Registry)->QuerySTRING(&key, &subkey, &valueName, &path, &ok); });
        if (ok == win::VARIANT_FALSE) continue;
        const ComPtr<quarncust::_CLittleConfig> record = Enum::NewLittleConfig();
        call([&] { return record->AddRegistrySubkey(root, subkey); });
        scan.QueuePlugin(path, record);
    }
}

} // namespace sorlix
