#pragma once
// CMsgr: the message broadcaster (see common/interfaces/messaging.h).

#include "platform/com/types.h"

namespace halvenlib {

win::HRESULT createCMsgr(win::REFIID riid, void** ppv);

} // namespace halvenlib
