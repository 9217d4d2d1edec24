#pragma once
// COperaExtEnum: the extensions of Opera, 32-bit (add-on type 21) or 64-bit
// (type 23, run with file-system redirection off). An extension is a widget
// package (".oex", a zip) in the user's Opera widgets folder; its
// "config.xml" is taken out into a work folder of the program's temporary
// folder and read there, and its removal removes the package file. One
// object serves one collection.

#include <string>

#include "app/enumerators/cw3cwidgetparser.h"
#include "common/interfaces/records.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

class COperaExtEnum {
public:
    // One node per package whose configuration could be read, in listing
    // order; null when the run fails (logged). A missing widgets folder is
    // an empty result.
    winsys::com::ComPtr<halvenlib::_CNodes> EnumOperaExtensions(bool Opera64bit);

private:
    void ProcessExtensionFile(const std::string& oexPath);
    void ProcessConfigXml(const std::string& configXml, const std::string& oexPath);

    bool opera64bit_ = false;
    std::string workFolder_;
    // Whether the work folder may hold a configuration that is not the one
    // just unpacked: at the start of a run (the folder may not have been
    // emptied) and after a package whose files were not all deleted.
    bool leftOverPossible_ = true;
    CW3CWidgetParser parser_;
    winsys::com::ComPtr<halvenlib::_CNodes> result_;
};

} // namespace sorlix
