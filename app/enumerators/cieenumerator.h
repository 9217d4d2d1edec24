#pragma once
// CIEEnumerator: the Internet Explorer add-ons of five kinds (toolbars,
// toolbar buttons, context-menu extensions, explorer bars, browser helper
// objects) in the 32-bit or the 64-bit registry view. One object serves one
// collection of one add-on type; each entry returns one node per add-on
// whose parameters are its record and whose "backupCfg" is its removal
// record, or null when the entry itself failed (logged). It only reads.

#include "common/interfaces/records.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

class CIEEnumerator {
public:
    winsys::com::ComPtr<halvenlib::_CNodes> EnumToolbars(bool IE64bit);
    winsys::com::ComPtr<halvenlib::_CNodes> EnumToolbarButtons(bool IE64bit);
    winsys::com::ComPtr<halvenlib::_CNodes> EnumContextMenus(bool IE64bit);
    winsys::com::ComPtr<halvenlib::_CNodes> EnumExplorerBars(bool IE64bit);
    winsys::com::ComPtr<halvenlib::_CNodes> EnumBHOs(bool IE64bit);

private:
    bool X64 = false;
};

} // namespace sorlix
