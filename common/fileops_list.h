#pragma once
// The runtime's standard collection (_Collection) that DirectoryContents
// returns: keys optional, no persistence, nothing else.

#include <string>
#include <vector>

#include "common/interfaces/fileops.h"
#include "platform/com/com_ptr.h"

namespace halvenlib {

// A new collection holding `texts` in order, without keys.
winsys::com::ComPtr<_Collection> newTextCollection(const std::vector<std::string>& texts);

} // namespace halvenlib
