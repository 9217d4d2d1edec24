#pragma once
// CFileChecker: the full long path of a file given by a short, relative or
// environment-variable name, searched the way Windows searches for it and
// cached for the life of the object; and the file named in a registry
// command line.

#include <string>

#include "common/interfaces/records.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

class CFileChecker {
public:
    // The long-name conversion is used on the NT family except NT 4 (the
    // start-up flags). Throws ComError when the cache cannot be made.
    CFileChecker(bool isNT, bool isNT4);

    // The program or library file that a registry command line runs.
    std::string GetFileNameFromCommandLine(const std::string& text) const;

    // "\??\" dropped, variables expanded, searched along the system search
    // path (the unexpanded name when the expanded one is not found), then the
    // long form. The name itself (after the "\??\" drop) when nothing is
    // found. Cached by the name as given, without regard to case. Never throws.
    std::string GetFullFileNameFromShortFilename(const std::string& name);

private:
    bool longNames_;
    winsys::com::ComPtr<halvenlib::_CCollection> cache_;
};

} // namespace sorlix
