#pragma once
// CGumArray, the two-dimensional table (interface in common/interfaces/table.h).

#include "platform/com/types.h"

namespace halvenlib {

win::HRESULT createCGumArray(win::REFIID riid, void** ppv);

} // namespace halvenlib
