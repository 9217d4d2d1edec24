#pragma once
// CChromePluginEnum: the plugins Chrome loads (add-on type 18): the files
// in Chrome's own folders and version folders, the plugins of other
// products Chrome picks up (the roaming Mozilla plugins folder, the Java,
// Adobe Reader and media player folders) and the files extension manifests
// declare, one record per file through the shared plugin scan.

#include "common/interfaces/records.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

class CChromePluginEnum {
public:
    // Null after a trapped error (logged).
    winsys::com::ComPtr<halvenlib::_CNodes> EnumerateChromePlugins();
};

} // namespace sorlix
