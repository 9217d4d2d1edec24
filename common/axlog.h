#pragma once
// axLog, the log of the system (interface in common/interfaces/log.h).

#include "platform/com/types.h"

namespace halvenlib {

win::HRESULT createaxLog(win::REFIID riid, void** ppv);

} // namespace halvenlib
