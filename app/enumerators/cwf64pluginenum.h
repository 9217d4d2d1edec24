#pragma once
// CWF64PluginEnum: the plugins of 64-bit Waterfox (add-on type 16, 64-bit
// Windows only): the x64 "np*.dll" files of every Waterfox install's
// "Plugins" folder, of every Firefox profile's "Plugins", of the user's
// "Mozilla\Plugins" folder and of every Waterfox extension folder's
// "Plugins", and the x64 files that the user's "SOFTWARE\MozillaPlugins"
// registrations name. A file found in a folder has itself (in the 64-bit
// view) in its removal record, a registered one its registration: deleting a
// plugin that is only registered removes the registration and leaves the
// file. The run holds file-system redirection off. One object serves one
// collection; it only reads.

#include "common/interfaces/records.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

class CWF64PluginEnum {
public:
    // One node per plugin file; null when the run failed (logged).
    winsys::com::ComPtr<halvenlib::_CNodes> EnumWaterfox64Plugins();
};

} // namespace sorlix
