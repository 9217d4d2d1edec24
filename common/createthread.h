#pragma once
// CreateThread: the deferred call (see common/interfaces/messaging.h).

#include "platform/com/types.h"

namespace halvenlib {

win::HRESULT createCreateThread(win::REFIID riid, void** ppv);

} // namespace halvenlib
