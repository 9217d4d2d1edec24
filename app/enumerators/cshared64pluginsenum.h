#pragma once
// CShared64PluginsEnum: the shared 64-bit plugins (add-on type 12, 64-bit
// Windows only): the files that the "SOFTWARE\MozillaPlugins" registrations
// of the machine's 64-bit registry view name. No folder is scanned, so a
// removal record holds only the registrations: deleting such a plugin
// removes them and leaves the file. The run holds file-system redirection
// off. One object serves one collection; it only reads.

#include "common/interfaces/records.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

class CShared64PluginsEnum {
public:
    // One node per plugin file; null when the run failed (logged).
    winsys::com::ComPtr<halvenlib::_CNodes> EnumerateShared64Plugins();
};

} // namespace sorlix
