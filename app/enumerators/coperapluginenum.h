#pragma once
// COperaPluginEnum: the plugins of Opera, 32-bit (add-on type 22) or 64-bit
// (type 24, run with file-system redirection off, so that the 64-bit
// system folders are seen). Plugins named in the installation's
// "defaults\plugin-ignore.ini" are left out. One object serves one
// collection; it only reads.

#include "common/interfaces/records.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

class COperaPluginEnum {
public:
    // One node per plugin file; null when the run failed (logged).
    winsys::com::ComPtr<halvenlib::_CNodes> EnumOperaPlugins(bool Opera64bit);
};

} // namespace sorlix
