#pragma once
// CIEEnumerator: the Internet Explorer add-ons of five kinds (toolbars,
// toolbar buttons, context-menu extensions, explorer bars, browser helper
// objects) in the 32-bit or the 64-bit registry view. One object serves one
// collection of one add-on type; each entry returns one node per add-on
// whose parameters are its record and whose "backupCfg" is its removal
// record, or null when the entry itself failed (logged). It only reads.

#include <string>

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
    // Workers, one per kind: each fills `result` from one listing and logs
    // and stops at its first failure, keeping the nodes it added.
    void FillTBInfo(halvenlib::_CCollection* values, halvenlib::_CNodes* result, win::LONG root,
                    const std::string& key, const std::string& scope);
    void FillTBButtonInfo(win::LONG root, const std::string& key, const std::string& scope,
                          halvenlib::_CCollection* subkeys, halvenlib::_CNodes* result);
    void FillContextMenuInfo(win::LONG root, const std::string& key, const std::string& scope,
                             halvenlib::_CCollection* subkeys, halvenlib::_CNodes* result);
    void FillExplorerBarInfo(halvenlib::_CCollection* classes, halvenlib::_CNodes* result, const std::string& CatID,
                             const std::string& typeText, bool is64bit);
    void FillBHOInfo(halvenlib::_CCollection* subkeys, halvenlib::_CNodes* result, win::LONG root);

    // The machine root and the class root of the view that X64 names.
    win::LONG machineRoot() const;
    win::LONG classesRoot() const;

    bool X64 = false;
};

} // namespace sorlix
