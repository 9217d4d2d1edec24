#pragma once
// CSafariPluginEnum: the plugins of Safari for Windows (add-on type 20),
// from Safari's own "Plugins" folder, a fixed plugin folder, the Adobe
// Reader "browser" folders, the Flash and Shockwave folders of the 32-bit
// system folder and the Windows Media Player folder. One object serves one
// collection; it only reads.

#include "common/interfaces/records.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

class CSafariPluginEnum {
public:
    // One node per plugin file; null when the run failed (logged).
    winsys::com::ComPtr<halvenlib::_CNodes> EnumSafariPlugins();
};

} // namespace sorlix
