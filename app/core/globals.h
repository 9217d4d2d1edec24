#pragma once
// Program-wide state that start-up sets and the shared helpers read.
// Only the UI thread touches it, so nothing here is locked.

#include "common/interfaces/log.h"
#include "platform/com/com_ptr.h"

namespace sorlix {

// Open requests to switch WOW64 file-system redirection off (see
// DisableWow64Redirection); 0 at start.
inline win::LONG Wow64RedirectionCount = 0;

// The program's log. Start-up sets it and releases it before the common
// library goes; helpers that log skip the line while it is null.
inline winsys::com::ComPtr<halvenlib::_axLog> Log;

} // namespace sorlix
