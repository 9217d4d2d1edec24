#pragma once
// CFFPluginsEnumerator: the plugins of 32-bit Firefox (add-on type 14):
// the i386 "np*.dll" files of the user's "Mozilla\Plugins" folder, of every
// Firefox profile's and Firefox extension folder's "Plugins", every i386
// file of Adobe Reader's "browser" folders but its "nppdf32.dll" (a shared
// plugin), and those of the Windows Media Player folder. Each record's
// removal record holds the file. One object serves one collection; it only
// reads.

#include "common/interfaces/records.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

class CFFPluginsEnumerator {
public:
    // One node per plugin file; null when the run failed (logged).
    winsys::com::ComPtr<halvenlib::_CNodes> EnumFirefoxPlugins();
};

} // namespace sorlix
