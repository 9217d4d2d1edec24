#pragma once
// CSafariExtEnum: the Safari extensions of the user (add-on type 19). Each
// extension is a folder below "Apple Computer\Safari\Extensions" in the
// local application-data folder, described by its "Info.plist"; its record
// takes the list's keys as they are, and its removal removes the folder.
// One object serves one collection.

#include "common/interfaces/records.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

class CSafariExtEnum {
public:
    // One node per extension folder with a property list, in listing order;
    // null when the run fails (one log line), which a property list that
    // cannot be read does: the collection then files no Safari extension.
    winsys::com::ComPtr<halvenlib::_CNodes> EnumSafariExtensions();
};

} // namespace sorlix
